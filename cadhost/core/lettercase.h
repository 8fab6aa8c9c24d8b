// Letter case as the host ignores it in names, wildcards and field formats: Latin, Greek and
// Cyrillic letters, whatever locale the program runs in (the C library's towupper knows only
// ASCII until a program sets a locale, and a host library must not set one).
#pragma once

namespace cadhost_detail {
wchar_t upperLetter(wchar_t c);
wchar_t lowerLetter(wchar_t c);
}  // namespace cadhost_detail
