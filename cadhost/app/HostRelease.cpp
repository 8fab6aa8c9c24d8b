// The host release; see HostRelease.h.
#include "HostRelease.h"

#include "rxapiver.h"

namespace cadhost::app {

unsigned HostRelease::apiVersion() const { return acrxApiVersionForRelease(year); }
std::wstring HostRelease::name() const { return L"release " + std::to_wstring(year); }

HostRelease& currentRelease() {
  static HostRelease release;
  return release;
}

bool isSupportedRelease(int year) { return year >= 2018 && year <= 2021; }

}  // namespace cadhost::app
