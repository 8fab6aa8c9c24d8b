// What the drawing-file benchmark programs measure: elapsed time and the process's peak memory.
#pragma once

#include <chrono>
#include <cstdio>

namespace dxfbench {

// The process's peak resident memory (its high-water mark since it started).
inline double peakMiB() {
  FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  double kib = 0;
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
  if (status != nullptr) std::fclose(status);
  return kib / 1024.0;
}

inline double seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace dxfbench
