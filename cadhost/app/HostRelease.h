// The host release the host program stands in for (2018 to 2021), chosen at start, and the
// processor it is built for: together they decide which modules it accepts (by the API version
// they declare and the processor they are built for) and which module of a plug-in bundle it
// loads (by release series and platform).
#pragma once

#include <string>

namespace cadhost::app {

struct HostRelease {
  int year = 2021;
  unsigned apiVersion() const;
  std::wstring series() const;  // "R24.0": how plug-in bundles name the release
  std::wstring name() const;    // "release 2021"
};

HostRelease& currentRelease();
// A release year the host can stand in for: 2018, 2019, 2020 or 2021.
bool isSupportedRelease(int year);
// The releases whose hosts load modules of an API version: "release 2018", "releases 2019 and
// 2020"; empty for a version no release knows.
std::wstring releasesOfApiVersion(unsigned apiVersion);

// The processors modules and hosts are built for.
enum class Processor { x86, x64 };
// The processor this host program is built for.
constexpr Processor hostProcessor() { return sizeof(void*) == 8 ? Processor::x64 : Processor::x86; }
// "x64" or "x86 (32-bit)", for messages.
std::wstring processorName(Processor processor);
// "Win64" or "Win32": the platform a plug-in bundle names.
std::wstring processorPlatform(Processor processor);

}  // namespace cadhost::app
