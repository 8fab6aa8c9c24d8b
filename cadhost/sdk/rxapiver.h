// The API version a module declares to the host. The host loads a module only when the module's
// version belongs to the host's release: 0x160000 for release 2018, 0x170000 for 2019 and 2020,
// 0x180000 for 2021. Build a module with ACAD_HOST_RELEASE set to its release and include this
// header in exactly one of its source files: it defines the exported acrxGetApiVersion.
#pragma once

#include "adesk.h"

#define ACRX_API_VERSION_2018 0x160000
#define ACRX_API_VERSION_2019 0x170000
#define ACRX_API_VERSION_2020 0x170000
#define ACRX_API_VERSION_2021 0x180000

constexpr Adesk::UInt32 acrxApiVersionForRelease(int release) {
  return release <= 2018 ? ACRX_API_VERSION_2018 : release <= 2020 ? ACRX_API_VERSION_2019
                                                                   : ACRX_API_VERSION_2021;
}

#if defined(ACAD_HOST_RELEASE)
// The version is kept scrambled in the module so that it is not a plain constant a tool could
// patch by accident; the function unscrambles it.
namespace acrx_detail {
constexpr Adesk::UInt32 kApiVersionKey = 0x5A17C3E9u;
extern "C" volatile const Adesk::UInt32 acrxApiVersionStamp;
volatile const Adesk::UInt32 acrxApiVersionStamp = acrxApiVersionForRelease(ACAD_HOST_RELEASE) ^ kApiVersionKey;
}  // namespace acrx_detail

#if defined(_WIN32)
extern "C" __declspec(dllexport) Adesk::UInt32 acrxGetApiVersion() {
#else
extern "C" __attribute__((visibility("default"))) Adesk::UInt32 acrxGetApiVersion() {
#endif
  return acrx_detail::acrxApiVersionStamp ^ acrx_detail::kApiVersionKey;
}
#endif
