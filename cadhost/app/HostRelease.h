// The host release the host program stands in for (2018 to 2021): it decides which modules it
// accepts, by the API version they declare.
#pragma once

#include <string>

namespace cadhost::app {

struct HostRelease {
  int year = 2021;
  unsigned apiVersion() const;
  std::wstring name() const;  // "release 2021"
};

HostRelease& currentRelease();
// A release year the host can stand in for: 2018, 2019, 2020 or 2021.
bool isSupportedRelease(int year);

}  // namespace cadhost::app
