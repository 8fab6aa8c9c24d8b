// Wildcard matching as the host's selection filters and lookups use it.
#include <cwctype>
#include <string>
#include <vector>

#include "../sdk/acutads.h"
#include "lettercase.h"

namespace {

wchar_t fold(wchar_t c) { return cadhost_detail::upperLetter(c); }

// Matches one alternative (no top-level commas) from pattern position p and text position t.
bool matchHere(const std::wstring& pat, size_t p, const std::wstring& s, size_t t) {
  while (p < pat.size()) {
    const wchar_t c = pat[p];
    if (c == L'*') {
      while (p < pat.size() && pat[p] == L'*') ++p;
      if (p == pat.size()) return true;
      for (size_t k = t; k <= s.size(); ++k)
        if (matchHere(pat, p, s, k)) return true;
      return false;
    }
    if (t >= s.size()) return false;
    const wchar_t ch = s[t];
    switch (c) {
      case L'?': break;
      case L'#': if (!std::iswdigit(ch)) return false; break;
      case L'@': if (!std::iswalpha(ch)) return false; break;
      case L'.': if (std::iswalnum(ch)) return false; break;
      case L'`':
        if (p + 1 >= pat.size() || fold(pat[p + 1]) != fold(ch)) return false;
        ++p;
        break;
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
        if (q >= pat.size()) return false;  // no closing bracket: the pattern is bad
        if (found == negate) return false;
        p = q;
        break;
      }
      default:
        if (fold(c) != fold(ch)) return false;
    }
    ++p;
    ++t;
  }
  return t == s.size();
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
    const bool matched = matchHere(alt, negate ? 1 : 0, s, 0);
    if (matched != negate) return RTNORM;
  }
  return RTERROR;
}
