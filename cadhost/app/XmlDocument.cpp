// Reading XML documents; see XmlDocument.h.
#include "XmlDocument.h"

#include <cwchar>
#include <cwctype>

#include "HostConsole.h"

namespace cadhost::app {

const std::wstring* XmlElement::attribute(const std::wstring& attributeName) const {
  for (const auto& [name, value] : attributes)
    if (name == attributeName) return &value;
  return nullptr;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(const std::wstring& childName) const {
  std::vector<const XmlElement*> found;
  for (const XmlElement& child : children)
    if (child.name == childName) found.push_back(&child);
  return found;
}

namespace {

// Deeper nesting than any package description needs is refused rather than followed down the
// stack.
constexpr int kMaxDepth = 64;

class XmlParser {
 public:
  explicit XmlParser(const std::wstring& text) : s(text) {}

  bool document(XmlElement& root) {
    if (!skipMisc()) return false;
    if (p >= s.size() || s[p] != L'<') return fail(L"no root element");
    if (!element(root, 1)) return false;
    if (!skipMisc()) return false;
    if (p < s.size()) return fail(L"content after the root element");
    return true;
  }

  std::wstring error;

 private:
  bool at(const wchar_t* text) const { return s.compare(p, std::wcslen(text), text) == 0; }

  int line() const {
    int count = 1;
    for (size_t i = 0; i < p && i < s.size(); ++i)
      if (s[i] == L'\n') ++count;
    return count;
  }

  bool fail(const std::wstring& what) {
    if (error.empty()) error = what + L" at line " + std::to_wstring(line());
    return false;
  }

  // Moves past the next occurrence of `end`.
  bool skipPast(const wchar_t* end, const wchar_t* what) {
    const size_t found = s.find(end, p);
    if (found == std::wstring::npos) return fail(std::wstring(L"unterminated ") + what);
    p = found + std::wcslen(end);
    return true;
  }

  void skipSpace() {
    while (p < s.size() && (s[p] == L' ' || s[p] == L'\t' || s[p] == L'\r' || s[p] == L'\n')) ++p;
  }

  // Space, comments, processing instructions and a document type outside the root element.
  bool skipMisc() {
    for (;;) {
      skipSpace();
      if (at(L"<!--")) {
        if (!skipPast(L"-->", L"comment")) return false;
      } else if (at(L"<?")) {
        if (!skipPast(L"?>", L"processing instruction")) return false;
      } else if (at(L"<!DOCTYPE")) {
        const size_t close = s.find(L'>', p);
        const size_t subset = s.find(L'[', p);
        if (!skipPast(subset < close ? L"]>" : L">", L"document type")) return false;
      } else {
        return true;
      }
    }
  }

  static bool nameStart(wchar_t c) { return std::iswalpha(c) || c == L'_' || c == L':' || c > 0x7F; }
  static bool nameChar(wchar_t c) { return nameStart(c) || std::iswdigit(c) || c == L'-' || c == L'.'; }

  bool name(std::wstring& out) {
    if (p >= s.size() || !nameStart(s[p])) return fail(L"a name expected");
    const size_t start = p;
    while (p < s.size() && nameChar(s[p])) ++p;
    out = s.substr(start, p - start);
    return true;
  }

  // One entity reference at p ('&'), appended to out as its character.
  bool entity(std::wstring& out) {
    const size_t end = s.find(L';', p);
    if (end == std::wstring::npos || end - p > 12) return fail(L"an unterminated entity reference");
    const std::wstring ref = s.substr(p + 1, end - p - 1);
    if (ref == L"amp") out += L'&';
    else if (ref == L"lt") out += L'<';
    else if (ref == L"gt") out += L'>';
    else if (ref == L"quot") out += L'"';
    else if (ref == L"apos") out += L'\'';
    else if (ref.size() > 1 && ref[0] == L'#') {
      const bool hex = ref[1] == L'x';
      const std::wstring digits = ref.substr(hex ? 2 : 1);
      unsigned long code = 0;
      if (digits.empty()) return fail(L"an empty character reference");
      for (wchar_t c : digits) {
        const int digit = std::iswdigit(c) ? c - L'0' : hex && std::iswxdigit(c) ? std::towlower(c) - L'a' + 10 : -1;
        if (digit < 0) return fail(L"a bad character reference");
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        if (code > 0x10FFFF) return fail(L"a character reference beyond Unicode");
      }
      if (code == 0) return fail(L"a character reference to NUL");
      if (code >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        out += static_cast<wchar_t>(code);
      }
    } else {
      return fail(L"an unknown entity &" + ref + L";");
    }
    p = end + 1;
    return true;
  }

  bool attributeValue(std::wstring& value) {
    if (p >= s.size() || (s[p] != L'"' && s[p] != L'\'')) return fail(L"a quoted attribute value expected");
    const wchar_t quote = s[p++];
    for (;;) {
      if (p >= s.size()) return fail(L"an unterminated attribute value");
      const wchar_t c = s[p];
      if (c == quote) break;
      if (c == L'<') return fail(L"'<' in an attribute value");
      if (c == L'&') {
        if (!entity(value)) return false;
      } else {
        value += c;
        ++p;
      }
    }
    ++p;
    return true;
  }

  bool element(XmlElement& e, int depth) {
    if (depth > kMaxDepth) return fail(L"elements nested too deep");
    ++p;  // '<'
    if (!name(e.name)) return false;
    for (;;) {
      const size_t before = p;
      skipSpace();
      if (at(L"/>")) {
        p += 2;
        return true;
      }
      if (at(L">")) {
        ++p;
        break;
      }
      if (p == before) return fail(L"space, '>' or '/>' expected in <" + e.name + L">");
      std::wstring attributeName, value;
      if (!name(attributeName)) return false;
      skipSpace();
      if (!at(L"=")) return fail(L"'=' expected after " + attributeName);
      ++p;
      skipSpace();
      if (!attributeValue(value)) return false;
      if (e.attribute(attributeName) != nullptr) return fail(L"attribute " + attributeName + L" given twice");
      e.attributes.emplace_back(std::move(attributeName), std::move(value));
    }
    for (;;) {
      if (p >= s.size()) return fail(L"<" + e.name + L"> not closed");
      if (at(L"</")) {
        p += 2;
        std::wstring closing;
        if (!name(closing)) return false;
        if (closing != e.name) return fail(L"</" + closing + L"> closes <" + e.name + L">");
        skipSpace();
        if (!at(L">")) return fail(L"'>' expected after </" + closing);
        ++p;
        return true;
      }
      if (at(L"<!--")) {
        if (!skipPast(L"-->", L"comment")) return false;
      } else if (at(L"<![CDATA[")) {
        if (!skipPast(L"]]>", L"CDATA section")) return false;
      } else if (at(L"<?")) {
        if (!skipPast(L"?>", L"processing instruction")) return false;
      } else if (at(L"<")) {
        e.children.emplace_back();
        if (!element(e.children.back(), depth + 1)) return false;
      } else {
        const size_t next = s.find(L'<', p);
        p = next == std::wstring::npos ? s.size() : next;
      }
    }
  }

  const std::wstring& s;
  size_t p = 0;
};

}  // namespace

bool readXmlDocument(const std::string& utf8, XmlElement& root, std::wstring& error) {
  const std::wstring text = decodeUtf8(utf8);
  XmlParser parser(text);
  root = XmlElement{};
  if (parser.document(root)) return true;
  error = parser.error;
  return false;
}

}  // namespace cadhost::app
