// The host release; see HostRelease.h.
#include "HostRelease.h"

#include "rxapiver.h"

namespace cadhost::app {

unsigned HostRelease::apiVersion() const { return acrxApiVersionForRelease(year); }

std::wstring HostRelease::series() const {
  switch (year) {
    case 2018: return L"R22.0";
    case 2019: return L"R23.0";
    case 2020: return L"R23.1";
    default: return L"R24.0";
  }
}

std::wstring HostRelease::name() const { return L"release " + std::to_wstring(year); }

HostRelease& currentRelease() {
  static HostRelease release;
  return release;
}

bool isSupportedRelease(int year) { return year >= 2018 && year <= 2021; }

std::wstring releasesOfApiVersion(unsigned apiVersion) {
  std::wstring years;
  int count = 0;
  for (int year = 2018; year <= 2021; ++year) {
    if (acrxApiVersionForRelease(year) != apiVersion) continue;
    years += (count == 0 ? L"" : L" and ") + std::to_wstring(year);
    ++count;
  }
  if (count == 0) return L"";
  return (count == 1 ? L"release " : L"releases ") + years;
}

std::wstring processorName(Processor processor) { return processor == Processor::x64 ? L"x64" : L"x86 (32-bit)"; }

std::wstring processorPlatform(Processor processor) { return processor == Processor::x64 ? L"Win64" : L"Win32"; }

}  // namespace cadhost::app
