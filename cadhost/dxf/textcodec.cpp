// Decoding and encoding the text of drawing files: UTF-8 or code pages, \U+XXXX escapes and the
// caret notation of control characters.
#include "textcodec.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "plainascii.h"

namespace cadhost::dxf {

namespace {

struct CodePageEntry {
  const char* name;
  const char16_t* table;
};
#include "codepages.inc"

constexpr char32_t kEscapeBase = 0xDC00;  // a byte b that does not decode becomes U+DC00 + b

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

void appendCodePoint(char32_t c, std::wstring& out) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(c));
}

// The character at i of a wide text, a UTF-16 surrogate pair joined (i then stands on its second
// half); an unpaired half is returned as it is.
char32_t codePointAt(std::wstring_view text, size_t& i) {
  char32_t c = static_cast<char32_t>(text[i]);
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const char32_t low = static_cast<char32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
  }
  return c;
}

int hexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when it is not valid UTF-8.
size_t decodeUtf8(std::string_view s, size_t i, char32_t& c) {
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  size_t len;
  char32_t min;
  if (b0 < 0x80) { c = b0; return 1; }
  if ((b0 & 0xE0) == 0xC0) { len = 2; c = b0 & 0x1F; min = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; c = b0 & 0x0F; min = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; c = b0 & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return len;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The reverse of a code page table, made once per table.
const std::unordered_map<char32_t, unsigned char>& reverseTable(const char16_t* table) {
  static std::mutex mutex;
  static std::unordered_map<const char16_t*, std::unordered_map<char32_t, unsigned char>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(table);
  if (it != cache.end()) return it->second;
  auto& reverse = cache[table];
  for (int b = 0; b < 128; ++b)
    if (table[b] != 0) reverse.emplace(table[b], static_cast<unsigned char>(0x80 + b));
  return reverse;
}

void appendEscape(unsigned value, std::string& out) {
  static const char* kHex = "0123456789ABCDEF";
  out += "\\U+";
  out.push_back(kHex[(value >> 12) & 0xF]);
  out.push_back(kHex[(value >> 8) & 0xF]);
  out.push_back(kHex[(value >> 4) & 0xF]);
  out.push_back(kHex[value & 0xF]);
}

}  // namespace

const char16_t* TextCodec::codePageTable(std::string_view name) {
  for (const auto& entry : kCodePages)
    if (sameName(entry.name, name)) return entry.table;
  return nullptr;
}

bool isCodePageName(std::string_view name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '\r')) name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  if (TextCodec::codePageTable(name) != nullptr) return true;
  for (const char* known : {"UTF-8", "UTF8", "ASCII", "BIG5", "GB2312", "KSC5601", "JOHAB", "MACINTOSH"})
    if (sameName(name, known)) return true;
  // The families: ANSI_1252, DOS437, CP1252, ISO8859-1, MAC-ROMAN and the like.
  auto digitsAfter = [&](std::string_view prefix) {
    if (name.size() <= prefix.size() || !sameName(name.substr(0, prefix.size()), prefix)) return false;
    for (char c : name.substr(prefix.size()))
      if (c < '0' || c > '9') return false;
    return true;
  };
  if (digitsAfter("ANSI_") || digitsAfter("DOS") || digitsAfter("CP") || digitsAfter("ISO8859-") || digitsAfter("ISO8859_"))
    return true;
  if (name.size() > 4 && sameName(name.substr(0, 4), "MAC-")) {
    for (char c : name.substr(4))
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return true;
  }
  return false;
}

TextCodec TextCodec::forDrawing(std::string_view version, std::string_view codePage) {
  TextCodec codec;
  if (version.size() == 6 && version.substr(0, 2) == "AC" && version >= "AC1021") return codec;  // UTF-8
  while (!codePage.empty() && (codePage.back() == ' ' || codePage.back() == '\r')) codePage.remove_suffix(1);
  while (!codePage.empty() && codePage.front() == ' ') codePage.remove_prefix(1);
  if (codePage.empty()) codePage = "ANSI_1252";
  codec.mTable = codePageTable(codePage);
  if (codec.mTable == nullptr) {
    if (sameName(codePage, "UTF-8") || sameName(codePage, "UTF8")) return codec;
    codec.mUnknownPage = true;
    // The East Asian code pages: a byte from 0x81 up leads a character of two bytes.
    for (const char* page : {"ANSI_932", "ANSI_936", "ANSI_949", "ANSI_950", "ANSI_1361", "DOS932"})
      if (sameName(codePage, page)) codec.mDoubleByte = true;
  }
  return codec;
}

size_t TextCodec::unitLength(std::wstring_view text, size_t i) const {
  if (i + 1 >= text.size()) return 1;
  const char32_t c = static_cast<char32_t>(text[i]);
  if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF) return 2;  // a surrogate pair
  if (mDoubleByte && c >= kEscapeBase + 0x81 && c <= kEscapeBase + 0xFE) return 2;  // a lead byte and its trail
  return 1;
}

std::wstring TextCodec::decode(std::string_view bytes) const {
  std::wstring out;
  decode(bytes, out);
  return out;
}

void TextCodec::decode(std::string_view s, std::wstring& out) const {
  out.clear();
  out.reserve(s.size());
  // Plain ASCII text without escapes, by far the most common, is widened directly.
  const size_t firstSpecial = widenPlainAscii(s, out);
  if (firstSpecial == s.size()) return;
  // The rest, character by character: bytes to characters (UTF-8 or the code page), then the
  // caret notation and the \U+XXXX escapes, which are ASCII in every encoding.
  auto characterAt = [&](size_t i, char32_t& c) -> size_t {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) { c = b; return 1; }
    if (mTable != nullptr) {
      const char16_t t = mTable[b - 0x80];
      c = t != 0 ? t : kEscapeBase + b;
      return 1;
    }
    if (mUnknownPage) { c = kEscapeBase + b; return 1; }
    const size_t len = decodeUtf8(s, i, c);
    if (len == 0) { c = kEscapeBase + b; return 1; }
    return len;
  };
  char32_t pendingHigh = 0;  // the high half of a surrogate pair written as two \U+ escapes
  auto flushPending = [&] {
    if (pendingHigh != 0) appendCodePoint(0xFFFD, out);
    pendingHigh = 0;
  };
  for (size_t i = firstSpecial; i < s.size();) {
    const char b = s[i];
    if (b == '^' && i + 1 < s.size()) {
      const char n = s[i + 1];
      if (n == ' ' || (n >= 0x40 && n <= 0x5F)) {
        flushPending();
        appendCodePoint(n == ' ' ? U'^' : static_cast<char32_t>(n - 0x40), out);
        i += 2;
        continue;
      }
    }
    if (b == '\\' && i + 6 < s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') && s[i + 2] == '+') {
      int v = 0;
      bool ok = true;
      for (int k = 0; k < 4 && ok; ++k) {
        const int d = hexDigit(static_cast<unsigned char>(s[i + 3 + static_cast<size_t>(k)]));
        ok = d >= 0;
        v = v * 16 + d;
      }
      if (ok) {
        const char32_t u = static_cast<char32_t>(v);
        if (u >= 0xD800 && u <= 0xDBFF) {
          flushPending();
          pendingHigh = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
          if (pendingHigh != 0) appendCodePoint(0x10000 + ((pendingHigh - 0xD800) << 10) + (u - 0xDC00), out);
          else appendCodePoint(0xFFFD, out);
          pendingHigh = 0;
        } else {
          flushPending();
          appendCodePoint(u, out);
        }
        i += 7;
        continue;
      }
    }
    char32_t c;
    const size_t len = characterAt(i, c);
    flushPending();
    appendCodePoint(c, out);
    i += len;
  }
  flushPending();
}

void TextCodec::encode(std::wstring_view text, std::string& out) const {
  // Plain ASCII, the most common, goes in one piece.
  out.reserve(out.size() + text.size());
  const size_t plain = narrowPlainAscii(text, out);
  if (plain == text.size()) return;
  const std::unordered_map<char32_t, unsigned char>* reverse = mTable ? &reverseTable(mTable) : nullptr;
  for (size_t i = plain; i < text.size(); ++i) {
    char32_t c = codePointAt(text, i);
    if (c < 0x20) {
      out.push_back('^');
      out.push_back(static_cast<char>(c + 0x40));
      continue;
    }
    if (c == '^') {
      out += "^ ";
      continue;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));  // a byte that did not decode
      continue;
    }
    if (mTable == nullptr && !mUnknownPage) {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
      appendUtf8(c, out);
      continue;
    }
    if (reverse != nullptr) {
      const auto it = reverse->find(c);
      if (it != reverse->end()) {
        out.push_back(static_cast<char>(it->second));
        continue;
      }
    }
    if (c >= 0x10000) {
      const char32_t v = c - 0x10000;
      appendEscape(static_cast<unsigned>(0xD800 + (v >> 10)), out);
      appendEscape(static_cast<unsigned>(0xDC00 + (v & 0x3FF)), out);
    } else {
      appendEscape(static_cast<unsigned>(c), out);
    }
  }
}

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = codePointAt(text, i);
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    appendUtf8(c, out);
  }
  return out;
}

std::wstring fromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c;
    const size_t len = decodeUtf8(text, i, c);
    if (len == 0) {
      appendCodePoint(0xFFFD, out);
      ++i;
    } else {
      appendCodePoint(c, out);
      i += len;
    }
  }
  return out;
}

}  // namespace cadhost::dxf
