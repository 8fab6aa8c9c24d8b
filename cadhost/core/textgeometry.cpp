// The host's text size estimate; see textgeometry.h.
#include "textgeometry.h"

#include <cwctype>

namespace textgeometry {

int drawnCharacterCount(const std::wstring& text) {
  int count = 0;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, L"%%") == 0 && i + 2 < text.size()) {
      const wchar_t code = static_cast<wchar_t>(std::towlower(text[i + 2]));
      if (code == L'u' || code == L'o' || code == L'k') { i += 3; continue; }
      if (code == L'd' || code == L'c' || code == L'p' || code == L'%') { ++count; i += 3; continue; }
      if (std::iswdigit(code)) {
        size_t j = i + 2;
        while (j < text.size() && j < i + 5 && std::iswdigit(text[j])) ++j;
        ++count;
        i = j;
        continue;
      }
    }
    ++count;
    ++i;
  }
  return count;
}

double estimatedWidth(const std::wstring& text, double height, double widthFactor) {
  return drawnCharacterCount(text) * kAdvance * height * widthFactor;
}

JustificationOffset justificationOffset(int horizontalMode, int verticalMode, double width, double height) {
  JustificationOffset offset;
  switch (horizontalMode) {
    case 1: offset.along = width / 2; break;  // center
    case 2: offset.along = width; break;      // right
    case 4:                                    // middle: the centre of the capitals
      offset.along = width / 2;
      offset.across = height / 2;
      return offset;
    default: break;
  }
  switch (verticalMode) {
    case 1: offset.across = -kDescent * height; break;  // bottom
    case 2: offset.across = height / 2; break;          // middle
    case 3: offset.across = height; break;              // top
    default: break;
  }
  return offset;
}

std::wstring stripMTextFormatting(const std::wstring& contents) {
  std::wstring out;
  for (size_t i = 0; i < contents.size(); ++i) {
    const wchar_t c = contents[i];
    if (c == L'{' || c == L'}') continue;
    if (c != L'\\' || i + 1 >= contents.size()) { out += c; continue; }
    const wchar_t code = contents[++i];
    switch (code) {
      case L'P': out += L'\n'; break;
      case L'~': out += L' '; break;
      case L'\\': case L'{': case L'}': out += code; break;
      case L'L': case L'l': case L'O': case L'o': case L'K': case L'k': break;  // toggles
      case L'U': {  // \U+XXXX, four hexadecimal digits; anything else is shown as written
        const bool escape = i + 5 < contents.size() && contents[i + 1] == L'+' &&
                            std::iswxdigit(contents[i + 2]) && std::iswxdigit(contents[i + 3]) &&
                            std::iswxdigit(contents[i + 4]) && std::iswxdigit(contents[i + 5]);
        const long character = escape ? std::wcstol(contents.substr(i + 2, 4).c_str(), nullptr, 16) : 0;
        if (character != 0) {
          out += static_cast<wchar_t>(character);
          i += 5;
        } else {
          out += code;
        }
        break;
      }
      case L'S': {  // stacked text up to ';': shown as a/b
        const size_t end = contents.find(L';', i);
        std::wstring stacked = contents.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
        for (auto& s : stacked) if (s == L'^' || s == L'#') s = L'/';
        out += stacked;
        i = end == std::wstring::npos ? contents.size() : end;
        break;
      }
      default: {  // codes with an argument up to ';' (font, height, colour, tracking, ...)
        const size_t end = contents.find(L';', i);
        i = end == std::wstring::npos ? contents.size() : end;
        break;
      }
    }
  }
  return out;
}

}  // namespace textgeometry
