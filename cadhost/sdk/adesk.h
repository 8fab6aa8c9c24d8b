// Basic types of the host interface: fixed-size integers, the character type, handles of the
// windowing system, and the export macro of the host's core library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace Adesk {
using Int8 = std::int8_t;
using Int16 = std::int16_t;
using Int32 = std::int32_t;
using Int64 = std::int64_t;
using UInt8 = std::uint8_t;
using UInt16 = std::uint16_t;
using UInt32 = std::uint32_t;
using UInt64 = std::uint64_t;
using Boolean = bool;
constexpr Boolean kFalse = false;
constexpr Boolean kTrue = true;
using IntPtr = std::intptr_t;
using UIntPtr = std::uintptr_t;
using LongPtr = std::intptr_t;
using ULongPtr = std::uintptr_t;
using IntDbId = std::intptr_t;
}  // namespace Adesk

// The host's character type: UTF-16 on Windows; on other systems wchar_t is UTF-32.
typedef wchar_t ACHAR;
#ifndef ACRX_T
#define ACRX_T(x) L##x
#endif

// Window and module handles as the windowing system declares them, so that the interface does
// not need <windows.h> (the declarations agree with it when both are seen).
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

#if defined(_WIN32)
#  if defined(ACCORE_BUILDING)
#    define ACCORE_PORT __declspec(dllexport)
#  else
#    define ACCORE_PORT __declspec(dllimport)
#  endif
#else
#  define ACCORE_PORT __attribute__((visibility("default")))
#endif
