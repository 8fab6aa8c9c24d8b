// printf-style formatting with the host's conventions on every platform: "%s" and "%S" take
// ACHAR strings, "%c" an ACHAR, "%I64d" and "%lld" 64-bit integers.
#pragma once

#include <cstdarg>
#include <string>

namespace cadhost_detail {
std::wstring formatPrintf(const wchar_t* format, va_list args);
}
