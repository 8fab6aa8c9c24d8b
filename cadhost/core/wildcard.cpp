// Wildcard matching as the host's selection filters and lookups use it.
#include <cwctype>
#include <string>
#include <vector>

#include "../sdk/acutads.h"
#include "lettercase.h"

namespace {

wchar_t fold(wchar_t c) { return cadhost_detail::upperLetter(c); }

// Whether the one-character token of the pattern at p matches ch; next is where the token ends.
// A bracket without its closing bracket is a bad pattern and matches nothing.
bool matchToken(const std::wstring& pat, size_t p, wchar_t ch, size_t& next) {
  const wchar_t c = pat[p];
  next = p + 1;
  switch (c) {
    case L'?': return true;
    case L'#': return std::iswdigit(ch) != 0;
    case L'@': return std::iswalpha(ch) != 0;
    case L'.': return std::iswalnum(ch) == 0;
    case L'`':
      if (p + 1 >= pat.size()) return false;
      next = p + 2;
      return fold(pat[p + 1]) == fold(ch);
    case L'[': {
      size_t q = p + 1;
      bool negate = false;
      if (q < pat.size() && pat[q] == L'~') { negate = true; ++q; }
      bool found = false;
      const size_t start = q;
      while (q < pat.size() && (pat[q] != L']' || q == start)) {
        if (q + 2 < pat.size() && pat[q + 1] == L'-' && pat[q + 2] != L']') {
          if (fold(ch) >= fold(pat[q]) && fold(ch) <= fold(pat[q + 2])) found = true;
          q += 3;
        } else {
          if (fold(pat[q]) == fold(ch)) found = true;
          ++q;
        }
      }
      if (q >= pat.size()) return false;
      next = q + 1;
      return found != negate;
    }
    default: return fold(c) == fold(ch);
  }
}

// Matches one alternative (no top-level commas) from pattern position p against the whole text.
// Every token but * matches exactly one character, so after a mismatch only the last * needs to
// take one more character: the time grows with the product of the lengths, never exponentially
// with the number of stars.
bool matchHere(const std::wstring& pat, size_t p, const std::wstring& s) {
  constexpr size_t kNone = std::wstring::npos;
  size_t t = 0, starP = kNone, starT = 0;
  while (t < s.size()) {
    if (p < pat.size() && pat[p] == L'*') {
      while (p < pat.size() && pat[p] == L'*') ++p;
      starP = p;
      starT = t;
      continue;
    }
    size_t next = 0;
    if (p < pat.size() && matchToken(pat, p, s[t], next)) {
      p = next;
      ++t;
      continue;
    }
    if (starP == kNone) return false;
    p = starP;
    t = ++starT;
  }
  while (p < pat.size() && pat[p] == L'*') ++p;
  return p == pat.size();
}

}  // namespace

int acutWcMatch(const ACHAR* string, const ACHAR* pattern) {
  if (string == nullptr || pattern == nullptr) return RTERROR;
  const std::wstring s = string;
  // Split at top-level commas (not escaped, not in brackets).
  std::vector<std::wstring> alternatives(1);
  int depth = 0;
  for (size_t i = 0; pattern[i]; ++i) {
    const wchar_t c = pattern[i];
    if (c == L'`' && pattern[i + 1]) {
      alternatives.back() += c;
      alternatives.back() += pattern[++i];
      continue;
    }
    if (c == L'[') ++depth;
    if (c == L']' && depth > 0) --depth;
    if (c == L',' && depth == 0) { alternatives.emplace_back(); continue; }
    alternatives.back() += c;
  }
  for (const auto& alt : alternatives) {
    const bool negate = !alt.empty() && alt[0] == L'~';
    const bool matched = matchHere(alt, negate ? 1 : 0, s);
    if (matched != negate) return RTNORM;
  }
  return RTERROR;
}
