// What the timing harnesses that run under Wine share: a clock, and a selection source that
// answers every selection prompt with the entities the harness picked.
#pragma once

#include <windows.h>

#include <vector>

#include "../cadhost/core/hostservices.h"

namespace hostbench {

// Seconds, from the performance counter.
inline double now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Picker : cadhost::SelectionSource {
  std::vector<AcDbObjectId> objects;
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest&) override {
    cadhost::SelectionAnswer answer;
    answer.objects = objects;
    return answer;
  }
};

}  // namespace hostbench
