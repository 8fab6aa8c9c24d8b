// Group codes and tags: the kind of value each group code carries, and reading tags out of the
// bytes of an ASCII or binary drawing file without copying them.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cadhost::dxf {

enum class ValueKind : uint8_t { String, Double, Int16, Int32, Int64, Bool, Binary };

// What the group codes 0-1071 are, looked up (valueKind and isKnownCode are asked for every tag):
// the kind of value in the low three bits, kCodeKnown for the codes drawing files use.
namespace codes {
// kQuietString: a string of a known code other than 0, whose value nothing checks.
inline constexpr uint8_t kKindBits = 7, kCodeKnown = 8, kPointX = 16, kQuietString = 32;
inline constexpr int kCount = 1072;
constexpr ValueKind kindOf(int code) {
  if (code >= 10 && code <= 59) return ValueKind::Double;
  if (code >= 60 && code <= 79) return ValueKind::Int16;
  if (code >= 90 && code <= 99) return ValueKind::Int32;
  if (code >= 110 && code <= 149) return ValueKind::Double;
  if (code >= 160 && code <= 169) return ValueKind::Int64;
  if (code >= 170 && code <= 179) return ValueKind::Int16;
  if (code >= 210 && code <= 239) return ValueKind::Double;
  if (code >= 270 && code <= 289) return ValueKind::Int16;
  if (code >= 290 && code <= 299) return ValueKind::Bool;
  if (code >= 310 && code <= 319) return ValueKind::Binary;
  if (code >= 370 && code <= 389) return ValueKind::Int16;
  if (code >= 400 && code <= 409) return ValueKind::Int16;
  if (code >= 420 && code <= 429) return ValueKind::Int32;
  if (code >= 440 && code <= 459) return ValueKind::Int32;
  if (code >= 460 && code <= 469) return ValueKind::Double;
  if (code == 1004) return ValueKind::Binary;
  if (code >= 1010 && code <= 1059) return ValueKind::Double;
  if (code >= 1060 && code <= 1070) return ValueKind::Int16;
  if (code == 1071) return ValueKind::Int32;
  return ValueKind::String;
}
// The ranges drawing files use; 80-89, 103-104, 106-109, 150-159, 180-209, 240-269 and 482-998
// are used by none.
constexpr bool isKnown(int code) {
  if (code < 0 || code > 1071) return false;
  if (code >= 1000 || code == 999) return true;
  if (code > 481) return false;
  return !((code >= 80 && code <= 89) || code == 103 || code == 104 || (code >= 106 && code <= 109) ||
           (code >= 150 && code <= 159) || (code >= 180 && code <= 209) || (code >= 240 && code <= 269));
}
// A point's x, which its y (the code and 10) must follow.
constexpr bool isPointX(int code) {
  return (code >= 10 && code <= 18) || (code >= 110 && code <= 112) || (code >= 210 && code <= 213) ||
         (code >= 1010 && code <= 1013);
}
struct Table {
  uint8_t info[kCount] = {};
  constexpr Table() {
    for (int code = 0; code < kCount; ++code)
      info[code] = static_cast<uint8_t>(static_cast<uint8_t>(kindOf(code)) | (isKnown(code) ? kCodeKnown : 0) |
                                        (isPointX(code) ? kPointX : 0) |
                                        (code != 0 && isKnown(code) && kindOf(code) == ValueKind::String ? kQuietString : 0));
  }
};
inline constexpr Table kTable;
// What the table says of a code (0 for codes beyond it: unknown strings).
inline uint8_t infoOf(int code) {
  return static_cast<unsigned>(code) < static_cast<unsigned>(kCount) ? kTable.info[code] : 0;
}
}  // namespace codes

// The kind of value of a group code, as binary files store it; codes drawing files do not use
// are strings.
inline ValueKind valueKind(int code) { return static_cast<ValueKind>(codes::infoOf(code) & codes::kKindBits); }
// Codes whose value is a handle of another object (pointers and ownership).
inline bool isReferenceCode(int code) {
  return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 ||
         code == 1005;
}
// Whether a code is one drawing files use at all.
inline bool isKnownCode(int code) { return (codes::infoOf(code) & codes::kCodeKnown) != 0; }

// How a file is laid out, as far as writing more tags into it in its own style needs.
struct FileStyle {
  bool binary = false;
  bool binaryShortCodes = false;  // R12 binary files: one-byte group codes (255 escapes)
  bool crlf = false;              // ASCII lines end with CR LF
  bool alignedCodes = true;       // ASCII group codes right-aligned in three columns ("  0")
};

// One tag of a file: its code and its value as it stands in the file. For ASCII files the value
// is the value line without its line end; for binary files the value's bytes (strings without
// their terminating zero).
struct Tag {
  int code = 0;
  std::string_view value;
  uint64_t begin = 0;  // offset of the tag's first byte (its group code)
  uint64_t end = 0;    // offset just past the tag (its line end, or its last value byte)
};

// Whether an ASCII value is plainly sound for its kind of number, told by one look at each byte:
// an optional '-' and few enough digits that no value of the kind goes beyond them (a real's
// with one '.' among them). False says nothing (the value may still be sound).
namespace plain {
// What each byte adds up to: a digit 0, a point 1, anything else 64.
struct Bytes {
  uint8_t add[256] = {};
  constexpr Bytes() {
    for (int c = 0; c < 256; ++c) add[c] = c >= '0' && c <= '9' ? 0 : c == '.' ? 1 : 64;
  }
};
inline constexpr Bytes kBytes;
// The most characters (digits and a point) of each kind: none for strings and binary data.
inline constexpr uint8_t kMost[] = {0, 63, 4, 9, 18, 2, 0};
}  // namespace plain
// (dataEnd: the end of the bytes s lies in, if known: 16 bytes from s are looked at at once when
// they lie before it.)
inline bool isPlainNumber(std::string_view s, ValueKind kind, const char* dataEnd = nullptr) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  if (n != 0 && *p == '-') {
    if (kind == ValueKind::Bool) return false;
    ++p;
    --n;
  }
  // (up to 63 characters: the sum stays below 64 unless a byte is neither digit nor point)
  if (n == 0 || n > plain::kMost[static_cast<size_t>(kind)]) return false;
  const unsigned mostPoints = kind == ValueKind::Double ? 1u : 0u;
#if defined(__SSE2__)
  if (n <= 16 && dataEnd != nullptr && reinterpret_cast<const unsigned char*>(dataEnd) - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
    const __m128i point = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'));
    const unsigned inValue = (1u << n) - 1;
    const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(digit)) & inValue;
    const unsigned points = static_cast<unsigned>(_mm_movemask_epi8(point)) & inValue;
    // Every byte a digit or a point; no point or (in a real) one; a digit.
    return (digits | points) == inValue && (points == 0 || (mostPoints == 1 && (points & (points - 1)) == 0)) &&
           digits != 0;
  }
#endif
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) sum += plain::kBytes.add[p[i]];
  // No other byte, no point or (in a real) one, and a digit.
  return sum <= mostPoints && n > sum;
}

// Whether tags[i] of a record's count tags is plainly sound, told by a quick look: a string of a
// known group code (not 0), or a number plainly sound for its code (in a binary file any number
// but a real that is no finite number); a point's x must have its y next. False says nothing.
inline bool isPlainlySound(const Tag* tags, size_t i, size_t count, bool binary, const char* dataEnd) {
  const Tag& tag = tags[i];
  const uint8_t info = codes::infoOf(tag.code);
  if (info & codes::kQuietString) return true;
  if (!(info & codes::kCodeKnown) || tag.code == 0) return false;
  if ((info & codes::kPointX) && !(i + 1 < count && tags[i + 1].code == tag.code + 10)) return false;
  const auto kind = static_cast<ValueKind>(info & codes::kKindBits);
  if (binary) {
    if (kind != ValueKind::Double) return true;
    double real = 0;
    if (tag.value.size() != sizeof real) return false;
    std::memcpy(&real, tag.value.data(), sizeof real);
    return std::isfinite(real);
  }
  return isPlainNumber(tag.value, kind, dataEnd);
}

#if defined(__SSE2__)
namespace detail {
// A well-formed ASCII tag at pos, as nearly every tag is, read fast (see tags.cpp): the position
// after it, or 0 (tag untouched) when the careful reading must read it. Needs 32 bytes after pos.
size_t quickAsciiTag(const char* data, size_t size, size_t pos, Tag& tag);
}  // namespace detail
#endif

// Reads tags one after another. Malformed input stops the reader with a description of what is
// wrong and where.
class TagReader {
 public:
  // Reads the tags of data[start, size). (A damaged binary group code is recognised by reading on
  // past it, as far as the data goes: dataSize, when the tags read end before the data does.)
  TagReader(const char* data, size_t size, const FileStyle& style, size_t start, size_t dataSize = 0);

  // The next tag; false at the end of the data or on malformed input (see failed()).
  bool next(Tag& tag) {
#if defined(__SSE2__)
    if (mQuick && mPos + 32 <= mSize) {
      if (const size_t after = detail::quickAsciiTag(mData, mSize, mPos, tag)) {
        mPos = after;
        mLastTagEnd = tag.end;
        return true;
      }
    }
#endif
    return nextCarefully(tag);
  }
  bool failed() const { return !mError.empty(); }
  const std::string& error() const { return mError; }
  uint64_t errorOffset() const { return mErrorOffset; }
  // Where the next tag begins.
  uint64_t position() const { return mPos; }
  void seek(uint64_t pos) { mPos = pos; }
  // True when the data ended inside a tag (a group code without its value).
  bool truncated() const { return mTruncated; }
  // Where the last tag read whole ends (where the data can be cut after a truncation).
  uint64_t lastTagEnd() const { return mLastTagEnd; }
  // The end of the bytes the reader reads in (the tags' values lie before it).
  const char* dataEnd() const { return mData + mDataSize; }
  // Where the last tag begins whose group code no drawing uses and whose value's length nothing
  // tells (binary files): its value runs up to the next record; UINT64_MAX if none.
  uint64_t resyncedAt() const { return mResyncedAt; }

 private:
  bool nextCarefully(Tag& tag);
  bool nextAscii(Tag& tag);
  bool nextBinary(Tag& tag);
  size_t nextBinaryRecord(size_t p) const;
  size_t valueEndOfNearCode(int code, size_t value) const;
  bool fail(uint64_t at, std::string text);

  const char* mData;
  size_t mSize;
  size_t mDataSize;
  FileStyle mStyle;
  uint64_t mPos;
  std::string mError;
  bool mQuick;  // an ASCII file, and no error yet: tags are read fast where they can be
  uint64_t mErrorOffset = 0;
  bool mTruncated = false;
  uint64_t mLastTagEnd = 0;
  uint64_t mResyncedAt = UINT64_MAX;
  bool mCheckingAhead = false;  // reading ahead to see whether a code reads on in step
};

// Typed values of tags. The ASCII forms are parsed leniently (spaces around numbers); false when
// a value cannot be read as asked.
bool tagDouble(const Tag& tag, bool binary, double& value);
bool tagInt(const Tag& tag, bool binary, int64_t& value);
// A handle in hexadecimal (or, in binary files, a string holding one); 0 is no handle.
bool tagHandle(const Tag& tag, bool binary, uint64_t& handle);
// The value of a string tag as it is stored (binary and ASCII alike).
inline std::string_view tagString(const Tag& tag) { return tag.value; }

// Parses a handle written in hexadecimal digits.
bool parseHexHandle(std::string_view text, uint64_t& handle);
std::string formatHandle(uint64_t handle);

// The line number of a byte offset in a file: counts line ends, remembering where it stopped
// so that offsets asked for in increasing order cost one pass over the file.
class LineCounter {
 public:
  LineCounter(const char* data, size_t size) : mData(data), mSize(size) {}
  long long lineOf(uint64_t offset);

 private:
  const char* mData;
  size_t mSize;
  uint64_t mAt = 0;
  long long mLine = 1;
};

}  // namespace cadhost::dxf
