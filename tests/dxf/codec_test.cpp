// Text at the edge of drawing files and the reading of tags.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support.h"
#include "tags.h"
#include "textcodec.h"

using cadhost::dxf::FileStyle;
using cadhost::dxf::Tag;
using cadhost::dxf::TagReader;
using cadhost::dxf::TextCodec;

TEST(DxfTextCodec, Utf8ForLaterDrawingsWithCaretsAndCharactersAboveTheBasicPlane) {
  const TextCodec codec = TextCodec::forDrawing("AC1032", "ANSI_1252");
  EXPECT_TRUE(codec.isUtf8());
  const std::wstring text = L"Мир^ a\tb\n\U0001F600";
  const std::string bytes = codec.encode(text);
  EXPECT_EQ(bytes, "\xD0\x9C\xD0\xB8\xD1\x80^  a^Ib^J\xF0\x9F\x98\x80");
  EXPECT_EQ(codec.decode(bytes), text);
  EXPECT_EQ(codec.decode("\xF0\x9F\x98\x80").size(), sizeof(wchar_t) == 2 ? 2u : 1u);  // a pair where wchar_t has 16 bits
}

TEST(DxfTextCodec, CodePageWithEscapesForOtherCharacters) {
  const TextCodec codec = TextCodec::forDrawing("AC1015", "ANSI_1251");
  EXPECT_EQ(codec.encode(L"Щит ∑ é"), "\xD9\xE8\xF2 \\U+2211 \\U+00E9");
  EXPECT_EQ(codec.decode("\xD9\xE8\xF2 \\U+2211 \\u+00e9"), L"Щит ∑ é");
  // Characters above U+FFFF go as the two halves of their surrogate pair.
  EXPECT_EQ(codec.encode(L"\U0001F600"), "\\U+D83D\\U+DE00");
  EXPECT_EQ(codec.decode("\\U+D83D\\U+DE00"), L"\U0001F600");
  // Something that only looks like an escape stays as it is.
  EXPECT_EQ(codec.decode("C:\\Users\\U+12"), L"C:\\Users\\U+12");
}

TEST(DxfTextCodec, CaretNotation) {
  const TextCodec codec;
  EXPECT_EQ(codec.decode("a^Jb^Mc^ d^Ie^@"), std::wstring(L"a\nb\rc^d\te") + L'\0');
  EXPECT_EQ(codec.decode("x^2 and ^a"), L"x^2 and ^a");  // not control characters: kept
  EXPECT_EQ(codec.encode(std::wstring(L"a\nb^c") + L'\x1F'), "a^Jb^ c^_");
}

TEST(DxfTextCodec, BytesThatDoNotDecodeComeBackUnchanged) {
  const TextCodec utf8 = TextCodec::forDrawing("AC1021", "");
  const std::string broken = "ok \xC3 \xFF\xFE end";
  EXPECT_EQ(utf8.encode(utf8.decode(broken)), broken);
  const TextCodec windows = TextCodec::forDrawing("AC1015", "ansi_1252");
  const std::string undefined = "\x81\x8D\x8F\x90\x9D \xE9";  // bytes Windows-1252 leaves undefined
  EXPECT_EQ(windows.decode(undefined).back(), L'é');
  EXPECT_EQ(windows.encode(windows.decode(undefined)), undefined);
  const TextCodec unknown = TextCodec::forDrawing("AC1015", "ANSI_936");
  EXPECT_TRUE(unknown.unknownCodePage());
  EXPECT_EQ(unknown.encode(unknown.decode("\xC4\xE3\xBA\xC3")), "\xC4\xE3\xBA\xC3");
}

// Long plain runs go 16 characters at a time: whatever stands anywhere in them, and however long
// they are, a text comes out as it does character by character.
TEST(DxfTextCodec, ACharacterAnywhereInALongPlainRunIsEncodedAndDecodedAsAlone) {
  const std::wstring plain = L"Note 12: check the grid line before fixing; ~ and DEL \x7F are plain.";
  const std::vector<std::wstring> specials = {L"^", L"\n", L"\x1F", L"\x80", L"é", L"Щ", L"\x100", L"\x7FFF",
                                              L"\x8000", L"\xFFFD", L"\\", L"\U0001F600"};
  for (const char* version : {"AC1032", "AC1015"}) {
    const TextCodec codec = TextCodec::forDrawing(version, "ANSI_1251");
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 48u, 64u}) {
      const std::wstring run = plain.substr(0, std::min(length, plain.size()));
      EXPECT_EQ(codec.decode(codec.encode(run)), run);
      for (const std::wstring& special : specials) {
        for (size_t at = 0; at <= run.size(); ++at) {
          const std::wstring before = run.substr(0, at), after = run.substr(at);
          const std::wstring text = before + special + after;
          const std::string bytes = codec.encode(text);
          ASSERT_EQ(bytes, codec.encode(before) + codec.encode(special) + codec.encode(after))
              << version << " at " << at << " of " << run.size();
          ASSERT_EQ(codec.decode(bytes), text) << version << " at " << at << " of " << run.size();
        }
      }
    }
  }
  // Bytes: a byte of 0x80 or more, a caret or a backslash anywhere in a long run.
  const TextCodec utf8 = TextCodec::forDrawing("AC1032", "");
  const std::string run(40, 'x');
  for (const std::string special : {"\xC3\xA9", "^J", "\\U+0429", "\xFF"}) {
    for (size_t at = 0; at <= run.size(); ++at) {
      const std::string bytes = run.substr(0, at) + special + run.substr(at);
      ASSERT_EQ(utf8.decode(bytes), utf8.decode(run.substr(0, at)) + utf8.decode(special) + utf8.decode(run.substr(at)))
          << "at " << at;
    }
  }
}

TEST(DxfTags, AsciiTagsInEveryLayout) {
  const std::string text = "  0\r\nSECTION\r\n2\nHEADER\n 10\n1.5 \n999\n  trailing spaces kept  \n  0\nEOF";
  FileStyle style;
  TagReader reader(text.data(), text.size(), style, 0);
  Tag t;
  std::vector<std::pair<int, std::string>> tags;
  while (reader.next(t)) tags.emplace_back(t.code, std::string(t.value));
  EXPECT_FALSE(reader.failed());
  EXPECT_FALSE(reader.truncated());
  const std::vector<std::pair<int, std::string>> expected = {
      {0, "SECTION"}, {2, "HEADER"}, {10, "1.5 "}, {999, "  trailing spaces kept  "}, {0, "EOF"}};
  EXPECT_EQ(tags, expected);
  double v = 0;
  TagReader again(text.data(), text.size(), style, 0);
  again.next(t);
  again.next(t);
  again.next(t);
  EXPECT_TRUE(cadhost::dxf::tagDouble(t, false, v));
  EXPECT_DOUBLE_EQ(v, 1.5);
}

// Reals are read on a quick path where that is exact; every value must come out bit for bit as
// the full parser gives it, and what it refuses must stay refused.
TEST(DxfTags, RealsReadBitForBitAsTheFullParserReadsThem) {
  std::vector<std::string> values = {"0",     "-0.0",  "0.5",   ".5",  "5.",  "-.25", "1e5",  "1E-05", "2.5e+3", "1e22",
                                     "1e23",  "1e-22", "1e-23", "123456789012345", "1234567890123456", "0.1",
                                     "0.30000000000000004", "9007199254740993", "000012.50000", "-",   ".",
                                     "1e",    "1e+",   "e5",    "1.2.3", "12a",  "inf",  "nan",   "1e99999", "0x10",
                                     "3.14159265358979", "-1234.5678e-3", "4.9e-324", "1.7976931348623157e308",
                                     "9007199254740992", "9007199254740993.0", "0.0000000000000000001",
                                     "00000000000000000000001", "1234567890123456789", "12345678901234567890",
                                     "18446744073709551617", "1.00000000000000000000000001", "-", "+", "-.", "1e-0022"};
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    char text[64];
    const double v = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 60);
    std::snprintf(text, sizeof text, "%.*g", static_cast<int>(random() % 17) + 1, random() % 2 ? v : -v);
    values.push_back(text);
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(random() % 12), v);
    values.push_back(text);
  }
  for (const std::string& text : values) {
    Tag t;
    t.code = 10;
    t.value = text;
    double quick = 0, full = 0;
    const bool read = cadhost::dxf::tagDouble(t, false, quick);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), full);
    const bool whole = error == std::errc() && end == text.data() + text.size();
    ASSERT_EQ(read, whole) << text;
    if (whole) {
      EXPECT_EQ(std::memcmp(&quick, &full, sizeof quick), 0) << text;
    }
  }
}

TEST(DxfTags, IntegersWrittenAsRealsAreReadOnlyWhenWholeAndInRange) {
  const auto integer = [](const char* value, int64_t& out) {
    Tag t;
    t.code = 70;
    t.value = value;
    return cadhost::dxf::tagInt(t, false, out);
  };
  int64_t i = 0;
  EXPECT_TRUE(integer(" 42", i));
  EXPECT_EQ(i, 42);
  EXPECT_TRUE(integer("1.0", i));
  EXPECT_EQ(i, 1);
  EXPECT_FALSE(integer("1.5", i));
  EXPECT_FALSE(integer("7.77778e41", i));
  EXPECT_FALSE(integer("-1e300", i));
  EXPECT_FALSE(integer("nan", i));
}

TEST(DxfTags, MalformedAndTruncatedInputStopTheReader) {
  FileStyle style;
  const std::string bad = "  0\nSECTION\nabc\nHEADER\n";
  TagReader reader(bad.data(), bad.size(), style, 0);
  Tag t;
  EXPECT_TRUE(reader.next(t));
  EXPECT_FALSE(reader.next(t));
  EXPECT_TRUE(reader.failed());
  EXPECT_EQ(reader.errorOffset(), 12u);
  const std::string cut = "  0\nSECTION\n  2\n";
  TagReader truncated(cut.data(), cut.size(), style, 0);
  EXPECT_TRUE(truncated.next(t));
  EXPECT_FALSE(truncated.next(t));
  EXPECT_TRUE(truncated.truncated());
}

// Most tags are read on a quick path that needs some bytes after them; the last ones of the data
// are read with a check per byte. A tag, good or bad, reads the same either way.
TEST(DxfTags, ATagReadsTheSameAtTheEndOfTheDataAsWithMoreAfterIt) {
  const std::vector<std::string> tags = {
      "  0\nLINE\n", "0\nLINE\n", "  0\r\nLINE\r\n", "\t 10\n1.5 \n", " -3\nnegative\n", "  1\n\n", "  1\r\n\r\n",
      "999\nA comment line that is longer than sixteen bytes\n", "1071 \t\r\n123456789\n", "123456789\nnine digits\n",
      "1234567890\nten digits\n", "abc\nnot a code\n", "  \nno digits\n", "  5 x\nafter the code\n", "-\nminus alone\n",
      "1 5\nsplit code\n", " 1 \nblank after\n", "               10\nlong code line\n", std::string("1\0\nzero\n", 8), " 10\nvalue\rwith a carriage return inside\n"};
  const std::string after = "  0\nLINE\n  5\n2A\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n";
  FileStyle style;
  struct Read {
    std::vector<std::tuple<int, std::string, uint64_t, uint64_t>> tags;
    bool failed, truncated;
    uint64_t errorOffset;
  };
  auto readFirst = [&](const std::string& data) {
    TagReader reader(data.data(), data.size(), style, 0);
    Read r;
    Tag t;
    if (reader.next(t)) r.tags.emplace_back(t.code, std::string(t.value), t.begin, t.end);
    r.failed = reader.failed();
    r.truncated = reader.truncated();
    r.errorOffset = reader.errorOffset();
    return r;
  };
  for (const std::string& tag : tags) {
    const Read alone = readFirst(tag), followed = readFirst(tag + after);
    EXPECT_EQ(alone.tags, followed.tags) << tag;
    EXPECT_EQ(alone.failed, followed.failed) << tag;
    EXPECT_EQ(alone.errorOffset, followed.errorOffset) << tag;
    // A bad tag after good ones stops the reader at the same place too.
    const std::string later = after + tag + after;
    TagReader reader(later.data(), later.size(), style, 0);
    Tag t;
    size_t count = 0;
    while (reader.next(t)) ++count;
    EXPECT_EQ(reader.failed(), alone.failed) << tag;
    if (alone.failed) EXPECT_EQ(reader.errorOffset(), after.size() + alone.errorOffset) << tag;
    else EXPECT_EQ(count, 2 * 6 + 1u) << tag;
  }
}

TEST(DxfTags, BinaryTagsOfBothCodeWidths) {
  FileStyle style;
  style.binary = true;
  std::string bytes;
  auto push16 = [&](int v) { bytes.push_back(static_cast<char>(v & 0xFF)); bytes.push_back(static_cast<char>((v >> 8) & 0xFF)); };
  push16(0);
  bytes += std::string("LINE\0", 5);
  push16(10);
  const double x = 2.25;
  bytes.append(reinterpret_cast<const char*>(&x), 8);
  push16(1071);
  const int32_t n = -7;
  bytes.append(reinterpret_cast<const char*>(&n), 4);
  TagReader reader(bytes.data(), bytes.size(), style, 0);
  Tag t;
  ASSERT_TRUE(reader.next(t));
  EXPECT_EQ(t.value, "LINE");
  ASSERT_TRUE(reader.next(t));
  double v = 0;
  EXPECT_TRUE(cadhost::dxf::tagDouble(t, true, v));
  EXPECT_EQ(v, 2.25);
  ASSERT_TRUE(reader.next(t));
  int64_t i = 0;
  EXPECT_TRUE(cadhost::dxf::tagInt(t, true, i));
  EXPECT_EQ(i, -7);
  // R12 binary: one-byte codes, 255 before a two-byte one.
  style.binaryShortCodes = true;
  const std::string r12 = std::string("\x00" "EOF\x00" "\xFF\xE8\x03" "ACAD\x00", 13);
  TagReader shortCodes(r12.data(), r12.size(), style, 0);
  ASSERT_TRUE(shortCodes.next(t));
  EXPECT_EQ(t.code, 0);
  ASSERT_TRUE(shortCodes.next(t));
  EXPECT_EQ(t.code, 1000);
  EXPECT_EQ(t.value, "ACAD");
}
