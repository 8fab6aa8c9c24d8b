// The host's clock, which tests can fix so that Date fields give known values.
#include <chrono>
#include <mutex>

#include "hostservices.h"

namespace {
std::optional<std::tm>& fixedClock() {
  static std::optional<std::tm> when;
  return when;
}

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
long long floorMod(long long a, long long b) { return a - floorDiv(a, b) * b; }

// Days from 1970-01-01 to a date of the Gregorian calendar (month 1..12), and back.
long long daysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = floorDiv(y, 400);
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
void civilFromDays(long long z, long long& y, long long& m, long long& d) {
  z += 719468;
  const long long era = floorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

// A time given field by field, as a test writes it: fields out of range carry over (month 13 is
// January of the next year) and the weekday and day of the year follow from the date, so that
// the Date field never names a day or month from a field that was left unset or out of range.
std::tm normalized(const std::tm& t) {
  const long long year = t.tm_year + 1900LL + floorDiv(t.tm_mon, 12);
  const long long month = floorMod(t.tm_mon, 12) + 1;
  const long long seconds = (daysFromCivil(year, month, 1) + t.tm_mday - 1) * 86400LL + t.tm_hour * 3600LL +
                            t.tm_min * 60LL + t.tm_sec;
  const long long days = floorDiv(seconds, 86400), inDay = floorMod(seconds, 86400);
  long long y = 0, m = 0, d = 0;
  civilFromDays(days, y, m, d);
  std::tm out = t;
  out.tm_year = static_cast<int>(y - 1900);
  out.tm_mon = static_cast<int>(m - 1);
  out.tm_mday = static_cast<int>(d);
  out.tm_hour = static_cast<int>(inDay / 3600);
  out.tm_min = static_cast<int>(inDay / 60 % 60);
  out.tm_sec = static_cast<int>(inDay % 60);
  out.tm_wday = static_cast<int>(floorMod(days + 4, 7));  // 1970-01-01 was a Thursday
  out.tm_yday = static_cast<int>(days - daysFromCivil(y, 1, 1));
  return out;
}
}  // namespace

namespace cadhost {

void setFixedClock(std::optional<std::tm> when) {
  if (when) when = normalized(*when);
  fixedClock() = when;
}

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
