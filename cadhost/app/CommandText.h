// Small helpers of the host's commands for the text they read and print.
#pragma once

#include <cwctype>
#include <string>

#include "acutads.h"

namespace cadhost::app {

// Prints on the host's command line.
inline void print(const std::wstring& text) { acutPrintf(L"%s", text.c_str()); }

inline std::wstring upper(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}

// Without the spaces and tabs at either end.
inline std::wstring trim(const std::wstring& s) {
  const size_t first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

// A path without the quotes it may be given in.
inline std::wstring unquoted(std::wstring path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  return path;
}

}  // namespace cadhost::app
