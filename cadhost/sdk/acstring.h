// The host's string class: an owned UTF-16 (Windows) or UTF-32 (elsewhere) string.
#pragma once

#include <algorithm>
#include <cwctype>
#include <string>
#include <utility>

#include "adesk.h"

class AcString {
 public:
  AcString() = default;
  AcString(const ACHAR* s) : mText(s ? s : L"") {}  // NOLINT: implicit like the host's
  AcString(const std::wstring& s) : mText(s) {}     // NOLINT
  AcString(std::wstring&& s) : mText(std::move(s)) {}  // NOLINT

  const ACHAR* kwszPtr() const { return mText.c_str(); }
  const ACHAR* constPtr() const { return mText.c_str(); }
  operator const ACHAR*() const { return mText.c_str(); }
  int length() const { return static_cast<int>(mText.size()); }
  bool isEmpty() const { return mText.empty(); }
  AcString& setEmpty() { mText.clear(); return *this; }
  AcString& assign(const ACHAR* s) { mText = s ? s : L""; return *this; }
  AcString& operator=(const ACHAR* s) { return assign(s); }
  AcString& operator+=(const AcString& s) { mText += s.mText; return *this; }
  AcString& operator+=(const ACHAR* s) { if (s) mText += s; return *this; }
  AcString& operator+=(ACHAR c) { mText += c; return *this; }
  bool operator==(const AcString& s) const { return mText == s.mText; }
  bool operator!=(const AcString& s) const { return mText != s.mText; }
  bool operator==(const ACHAR* s) const { return mText == (s ? s : L""); }
  ACHAR getAt(int i) const { return mText.at(static_cast<size_t>(i)); }
  int compareNoCase(const ACHAR* s) const;
  const std::wstring& str() const { return mText; }

 private:
  std::wstring mText;
};

inline int AcString::compareNoCase(const ACHAR* s) const {
  const std::wstring other = s ? s : L"";
  const size_t n = std::min(mText.size(), other.size());
  for (size_t i = 0; i < n; ++i) {
    const wint_t a = std::towupper(mText[i]), b = std::towupper(other[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return mText.size() == other.size() ? 0 : (mText.size() < other.size() ? -1 : 1);
}
