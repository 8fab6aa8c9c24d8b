// Text at the edge of drawing files: bytes of a file to the host's wide strings and back.
//
// Drawings of AC1021 (R2007) and later hold UTF-8; older ones hold the code page that
// $DWGCODEPAGE names, with \U+XXXX escapes for characters outside it. Every version writes
// control characters in caret notation (^J is a line feed, ^I a tab, "^ " a caret). Bytes that do
// not decode (broken UTF-8, bytes a code page leaves undefined, code pages the host has no table
// for) become the characters U+DC80..U+DCFF and are written back as the same bytes, so that no
// text is ever lost on the way through. Characters above U+FFFF are surrogate pairs where
// wchar_t has 16 bits.
#pragma once

#include <string>
#include <string_view>

namespace cadhost::dxf {

class TextCodec {
 public:
  // UTF-8 (the default) or a code page.
  TextCodec() = default;
  // The codec of a drawing: its version ("AC1015") and $DWGCODEPAGE value ("ANSI_1251").
  static TextCodec forDrawing(std::string_view version, std::string_view codePage);
  // The code page named, or nullptr when the host has no table for it.
  static const char16_t* codePageTable(std::string_view name);

  bool operator==(const TextCodec& other) const {
    return mTable == other.mTable && mUnknownPage == other.mUnknownPage;
  }
  bool isUtf8() const { return mTable == nullptr && !mUnknownPage; }
  // True when the drawing names a code page the host cannot decode (its bytes are kept).
  bool unknownCodePage() const { return mUnknownPage; }

  std::wstring decode(std::string_view bytes) const;
  void decode(std::string_view bytes, std::wstring& out) const;
  // How many characters from i on make one unit that must not be split between two pieces of a
  // long text: a surrogate pair, or (in a double-byte code page the host keeps as bytes) a lead
  // byte with its trail byte.
  size_t unitLength(std::wstring_view text, size_t i) const;
  // Appends the encoded form of text to out.
  void encode(std::wstring_view text, std::string& out) const;
  std::string encode(std::wstring_view text) const {
    std::string out;
    encode(text, out);
    return out;
  }

 private:
  const char16_t* mTable = nullptr;  // characters of bytes 0x80..0xFF; null for UTF-8
  bool mUnknownPage = false;         // bytes above 0x7F are kept as they are
  bool mDoubleByte = false;          // ... and they are an East Asian page's pairs of bytes
};

// Whether a $DWGCODEPAGE value names a code page at all (one the host has a table for, or one of
// the families drawings name: ANSI_nnnn, DOSnnn, ISO8859-n, MAC-..., BIG5 and the like).
bool isCodePageName(std::string_view name);

// UTF-8 conversions for file names and messages.
std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

}  // namespace cadhost::dxf
