// The host's clock, which tests can fix so that Date fields give known values.
#include <chrono>
#include <mutex>

#include "hostservices.h"

namespace {
std::optional<std::tm>& fixedClock() {
  static std::optional<std::tm> when;
  return when;
}
}  // namespace

namespace cadhost {

void setFixedClock(std::optional<std::tm> when) { fixedClock() = when; }

std::tm currentTime() {
  if (fixedClock()) return *fixedClock();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

}  // namespace cadhost
