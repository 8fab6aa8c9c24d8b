// printf-style formatting with the host's conventions; see printformat.h.
#include "printformat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace cadhost_detail {

namespace {
std::wstring widen(const char* s) {
  std::wstring out;
  for (; *s; ++s) out += static_cast<wchar_t>(static_cast<unsigned char>(*s));
  return out;
}

void pad(std::wstring& out, const std::wstring& body, int width, bool left, wchar_t fill = L' ') {
  const int missing = width - static_cast<int>(body.size());
  if (missing > 0 && !left) out.append(static_cast<size_t>(missing), fill);
  out += body;
  if (missing > 0 && left) out.append(static_cast<size_t>(missing), L' ');
}
}  // namespace

std::wstring formatPrintf(const wchar_t* format, va_list args) {
  std::wstring out;
  va_list ap;
  va_copy(ap, args);
  for (const wchar_t* p = format; *p; ++p) {
    if (*p != L'%') { out += *p; continue; }
    if (p[1] == L'%') { out += L'%'; ++p; continue; }
    // %[flags][width][.precision][length]conversion
    std::string spec = "%";
    const wchar_t* q = p + 1;
    bool left = false;
    while (*q && std::wcschr(L"-+ #0", *q)) {
      if (*q == L'-') left = true;
      spec += static_cast<char>(*q++);
    }
    int width = 0;
    if (*q == L'*') {
      width = va_arg(ap, int);
      if (width < 0) { left = true; width = -width; spec += '-'; }
      spec += std::to_string(width);
      ++q;
    } else {
      while (*q >= L'0' && *q <= L'9') { width = width * 10 + (*q - L'0'); spec += static_cast<char>(*q++); }
    }
    int precision = -1;
    if (*q == L'.') {
      ++q;
      precision = 0;
      if (*q == L'*') {
        precision = va_arg(ap, int);
        ++q;
      } else {
        while (*q >= L'0' && *q <= L'9') precision = precision * 10 + (*q++ - L'0');
      }
      if (precision >= 0) spec += "." + std::to_string(precision);
    }
    int longs = 0;
    bool size64 = false, sizeT = false, shortArg = false;
    for (;; ++q) {
      if (*q == L'l') ++longs;
      else if (*q == L'h') shortArg = true;
      else if (*q == L'z' || *q == L'j' || *q == L't') sizeT = true;
      else if (*q == L'L') {}
      else if (q[0] == L'I' && q[1] == L'6' && q[2] == L'4') { size64 = true; q += 2; }
      else if (q[0] == L'I' && q[1] == L'3' && q[2] == L'2') { q += 2; }
      else if (*q == L'I') sizeT = true;
      else break;
    }
    const wchar_t conv = *q;
    if (conv == 0) break;  // a lone '%' at the end
    p = q;
    char buffer[512];
    switch (conv) {
      case L'd': case L'i': {
        long long v = (size64 || longs >= 2) ? va_arg(ap, long long)
                      : sizeT ? static_cast<long long>(va_arg(ap, std::intptr_t))
                      : longs == 1 ? va_arg(ap, long) : va_arg(ap, int);
        if (shortArg) v = static_cast<short>(v);
        std::snprintf(buffer, sizeof buffer, (spec + "lld").c_str(), v);
        out += widen(buffer);
        break;
      }
      case L'u': case L'x': case L'X': case L'o': {
        unsigned long long v = (size64 || longs >= 2) ? va_arg(ap, unsigned long long)
                               : sizeT ? static_cast<unsigned long long>(va_arg(ap, std::uintptr_t))
                               : longs == 1 ? va_arg(ap, unsigned long) : va_arg(ap, unsigned int);
        if (shortArg) v = static_cast<unsigned short>(v);
        std::snprintf(buffer, sizeof buffer, (spec + "ll" + static_cast<char>(conv)).c_str(), v);
        out += widen(buffer);
        break;
      }
      case L'f': case L'F': case L'e': case L'E': case L'g': case L'G': case L'a': case L'A': {
        const double v = va_arg(ap, double);
        std::snprintf(buffer, sizeof buffer, (spec + static_cast<char>(conv)).c_str(), v);
        out += widen(buffer);
        break;
      }
      case L'c': case L'C': {
        const wchar_t c = static_cast<wchar_t>(va_arg(ap, int));
        pad(out, std::wstring(1, c), width, left);
        break;
      }
      case L's': case L'S': {
        // The wide printf convention: %s and %ls are wide, %S and %hs narrow (byte) strings.
        const bool narrow = shortArg || (conv == L'S' && longs == 0);
        std::wstring body;
        if (narrow) {
          const char* s = va_arg(ap, const char*);
          body = s ? widen(s) : L"(null)";
        } else {
          const wchar_t* s = va_arg(ap, const wchar_t*);
          body = s ? s : L"(null)";
        }
        if (precision >= 0 && body.size() > static_cast<size_t>(precision)) body.resize(static_cast<size_t>(precision));
        pad(out, body, width, left);
        break;
      }
      case L'p': {
        const void* v = va_arg(ap, void*);
        std::snprintf(buffer, sizeof buffer, "%p", v);
        out += widen(buffer);
        break;
      }
      default:
        out += L'%';
        out += conv;
    }
  }
  va_end(ap);
  return out;
}

}  // namespace cadhost_detail
