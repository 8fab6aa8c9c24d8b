// Group codes and the tag reader: ASCII lines and binary values, read in place.
#include "tags.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define CADHOST_TAGS_SSE2 1
#endif

namespace cadhost::dxf {

TagReader::TagReader(const char* data, size_t size, const FileStyle& style, size_t start, size_t dataSize)
    : mData(data), mSize(size), mDataSize(std::max(size, dataSize)), mStyle(style), mPos(start), mQuick(!style.binary),
      mLastTagEnd(start) {}

bool TagReader::fail(uint64_t at, std::string text) {
  mQuick = false;
  mError = std::move(text);
  mErrorOffset = at;
  return false;
}

namespace {
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
}  // namespace

#if defined(CADHOST_TAGS_SSE2)
namespace detail {
// Where the first line end among the 16 bytes at from lies, or null.
inline const char* lineEndWithin16(const char* from) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  const int ends = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  return ends != 0 ? from + __builtin_ctz(static_cast<unsigned>(ends)) : nullptr;
}

// A tag whose code line is well formed and shorter than 16 bytes, as nearly every tag is, read
// without a bounds check per byte: the line end found first bounds every loop. Needs 32 bytes
// after pos. The new position, or 0 (tag untouched) for anything else, which the careful reader
// reads and reports.
size_t quickAsciiTag(const char* data, size_t size, size_t pos, Tag& tag) {
  const char* const begin = data + pos;
  const char* const codeEnd = lineEndWithin16(begin);
  if (codeEnd == nullptr) return 0;
  auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
  bool negative = false;
  int64_t code = 0;  // at most 15 digits fit before the line end
  if (codeEnd - begin == 3 && digit(begin[2]) < 10 &&
      ((begin[0] == ' ' && begin[1] == ' ') || (begin[0] == ' ' && digit(begin[1]) < 10) ||
       (digit(begin[0]) < 10 && digit(begin[1]) < 10))) {
    // The usual layout: right aligned in three columns ("  0", " 10", "330").
    const unsigned hundreds = digit(begin[0]), tens = digit(begin[1]);
    code = (hundreds < 10 ? hundreds * 100 : 0) + (tens < 10 ? tens * 10 : 0) + digit(begin[2]);
  } else {
    const char* c = begin;
    while (*c == ' ' || *c == '\t') ++c;
    negative = *c == '-';
    if (negative) ++c;
    const char* const digits = c;
    for (unsigned d; (d = digit(*c)) < 10; ++c) code = code * 10 + d;
    if (c == digits || c - digits > 9) return 0;
    while (isBlank(*c)) ++c;
    if (c != codeEnd) return 0;
  }
  const char* const value = codeEnd + 1;
  const char* valueEnd = lineEndWithin16(value);
  if (valueEnd == nullptr)
    valueEnd = static_cast<const char*>(std::memchr(value, '\n', static_cast<size_t>(data + size - value)));
  if (valueEnd == nullptr) return 0;  // the last line, without a line end
  const size_t next = static_cast<size_t>(valueEnd - data) + 1;
  if (valueEnd > value && valueEnd[-1] == '\r') --valueEnd;
  tag.begin = pos;
  tag.code = static_cast<int>(negative ? -code : code);
  tag.value = std::string_view(value, static_cast<size_t>(valueEnd - value));
  tag.end = next;
  return next;
}
}  // namespace detail
#endif


bool TagReader::nextCarefully(Tag& tag) {
  if (failed() || mPos >= mSize) return false;
  const bool read = mStyle.binary ? nextBinary(tag) : nextAscii(tag);
  if (read) mLastTagEnd = tag.end;
  return read;
}


bool TagReader::nextAscii(Tag& tag) {
  const char* const data = mData;
  const size_t size = mSize;
  size_t p = mPos;
  tag.begin = p;
  // The group code line: an integer with blanks around it.
  while (p < size && (data[p] == ' ' || data[p] == '\t')) ++p;
  bool negative = false;
  if (p < size && data[p] == '-') {
    negative = true;
    ++p;
  }
  int code = 0;
  int digits = 0;
  while (p < size && data[p] >= '0' && data[p] <= '9') {
    if (digits < 9) code = code * 10 + (data[p] - '0');
    ++digits;
    ++p;
  }
  while (p < size && isBlank(data[p])) ++p;
  if (p >= size) {
    // The data ends on the code line.
    mTruncated = true;
    mPos = size;
    return false;
  }
  if (data[p] != '\n' || digits == 0 || digits > 9) {
    const char* lineEnd = static_cast<const char*>(std::memchr(data + tag.begin, '\n', size - tag.begin));
    size_t len = (lineEnd ? static_cast<size_t>(lineEnd - data) : size) - tag.begin;
    std::string shown(data + tag.begin, std::min<size_t>(len, 40));
    while (!shown.empty() && (shown.back() == '\r' || shown.back() == ' ')) shown.pop_back();
    for (char& c : shown)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';  // (a message is one line)
    return fail(tag.begin, "'" + shown + "' stands where a group code was expected");
  }
  ++p;  // past the line end
  tag.code = negative ? -code : code;
  // The value line: everything up to the line end, without a carriage return.
  const size_t valueBegin = p;
  const char* nl = static_cast<const char*>(std::memchr(data + p, '\n', size - p));
  size_t valueEnd;
  if (nl == nullptr) {
    // The last line of the file may end without a line end.
    valueEnd = size;
    mPos = size;
  } else {
    valueEnd = static_cast<size_t>(nl - data);
    mPos = valueEnd + 1;
  }
  tag.end = mPos;
  if (valueEnd > valueBegin && data[valueEnd - 1] == '\r') --valueEnd;
  if (valueBegin > size || (nl == nullptr && valueBegin == size)) {
    // A code line is the last line: its value is missing.
    mTruncated = true;
    mPos = size;
    return false;
  }
  tag.value = std::string_view(data + valueBegin, valueEnd - valueBegin);
  return true;
}

// Where the next record of a binary file begins from p on: a 0 tag whose value is a record's name
// (three or more capital letters, digits and underscores); the end of the data when none does.
size_t TagReader::nextBinaryRecord(size_t p) const {
  const unsigned char* const data = reinterpret_cast<const unsigned char*>(mData);
  const size_t codeSize = mStyle.binaryShortCodes ? 1 : 2;
  for (; p + codeSize < mSize; ++p) {
    const void* zero = std::memchr(data + p, 0, mSize - p);
    if (zero == nullptr) break;
    p = static_cast<size_t>(static_cast<const unsigned char*>(zero) - data);
    if (codeSize == 2 && (p + 1 >= mSize || data[p + 1] != 0)) continue;
    size_t q = p + codeSize, length = 0;
    while (q < mSize && ((data[q] >= 'A' && data[q] <= 'Z') || (data[q] >= '0' && data[q] <= '9') || data[q] == '_')) {
      ++q;
      ++length;
    }
    if (length >= 3 && q < mSize && data[q] == 0 && data[p + codeSize] >= 'A' && data[p + codeSize] <= 'Z') return p;
  }
  return mSize;
}

// For a group code no drawing uses at p (its value begins at value): where the value ends if the
// code is one of those one bit away that drawings use and the tags after it read on in step (up to
// the next record, or for 64 tags); 0 when none does.
size_t TagReader::valueEndOfNearCode(int code, size_t value) const {
  const int bits = mStyle.binaryShortCodes ? 8 : 16;
  for (int bit = 0; bit < bits; ++bit) {
    const int near = mStyle.binaryShortCodes ? (code ^ (1 << bit)) & 0xFF : static_cast<int16_t>(code ^ (1 << bit));
    if (!isKnownCode(near)) continue;
    // Its value as that code's, then the tags after it (as far as the data goes).
    TagReader ahead(mData, mDataSize, mStyle, value);
    ahead.mCheckingAhead = true;
    size_t end = 0;
    switch (valueKind(near)) {
      case ValueKind::Double: case ValueKind::Int64: end = value + 8; break;
      case ValueKind::Int16: end = value + 2; break;
      case ValueKind::Int32: end = value + 4; break;
      case ValueKind::Bool: end = value + 1; break;
      case ValueKind::Binary: end = value < mDataSize ? value + 1 + static_cast<unsigned char>(mData[value]) : mDataSize; break;
      case ValueKind::String: {
        const void* nul = value < mDataSize ? std::memchr(mData + value, 0, mDataSize - value) : nullptr;
        end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - mData) + 1 : mDataSize;
        break;
      }
    }
    if (end > mSize) continue;  // (the tag must end within the tags read)
    ahead.mPos = end;
    Tag t;
    int read = 0;
    bool inStep = false;
    while (read < 64 && ahead.next(t) && isKnownCode(t.code)) {
      ++read;
      if (t.code == 0) {
        inStep = !t.value.empty() && t.value.front() >= 'A' && t.value.front() <= 'Z';
        break;
      }
    }
    if (inStep || read == 64) return end;
  }
  return 0;
}

bool TagReader::nextBinary(Tag& tag) {
  const unsigned char* const data = reinterpret_cast<const unsigned char*>(mData);
  const size_t size = mSize;
  size_t p = mPos;
  tag.begin = p;
  int code;
  if (mStyle.binaryShortCodes) {
    if (data[p] == 255) {
      if (p + 3 > size) { mTruncated = true; mPos = size; return false; }
      code = data[p + 1] | (data[p + 2] << 8);
      p += 3;
    } else {
      code = data[p];
      p += 1;
    }
  } else {
    if (p + 2 > size) { mTruncated = true; mPos = size; return false; }
    code = static_cast<int16_t>(data[p] | (data[p + 1] << 8));
    p += 2;
  }
  tag.code = code;
  if (!isKnownCode(code)) {
    // A group code no drawing uses (a damaged byte, most likely): how long its value is, a code
    // one bit away that reads on in step tells; failing that, the value runs up to the next record,
    // where reading goes on in step again.
    size_t next = mCheckingAhead ? mSize : valueEndOfNearCode(code, p);
    if (next == 0) {
      next = nextBinaryRecord(p);
      mResyncedAt = tag.begin;
    }
    tag.value = std::string_view(mData + p, next - p);
    mPos = next;
    tag.end = next;
    return true;
  }
  size_t length = 0;
  switch (valueKind(code)) {
    case ValueKind::Double: length = 8; break;
    case ValueKind::Int16: length = 2; break;
    case ValueKind::Int32: length = 4; break;
    case ValueKind::Int64: length = 8; break;
    case ValueKind::Bool: length = 1; break;
    case ValueKind::Binary:
      if (p >= size) { mTruncated = true; mPos = size; return false; }
      length = data[p];
      ++p;
      break;
    case ValueKind::String: {
      const void* nul = p < size ? std::memchr(data + p, 0, size - p) : nullptr;
      if (nul == nullptr) { mTruncated = true; mPos = size; return false; }
      const size_t end = static_cast<size_t>(static_cast<const unsigned char*>(nul) - data);
      tag.value = std::string_view(mData + p, end - p);
      mPos = end + 1;
      tag.end = mPos;
      return true;
    }
  }
  if (p + length > size) { mTruncated = true; mPos = size; return false; }
  tag.value = std::string_view(mData + p, length);
  mPos = p + length;
  tag.end = mPos;
  return true;
}

namespace {

inline std::string_view trimmed(std::string_view s) {
  // Nearly every value has no blank around it: two comparisons tell.
  if (s.empty() || (s.front() > ' ' && s.back() > ' ')) return s;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

template <class T>
T readLittleEndian(std::string_view bytes) {
  T value{};
  std::memcpy(&value, bytes.data(), std::min(sizeof(T), bytes.size()));
  return value;
}

bool binaryNumber(const Tag& tag, double* asDouble, int64_t* asInt) {
  switch (valueKind(tag.code)) {
    case ValueKind::Double: {
      if (tag.value.size() != 8) return false;
      const double v = readLittleEndian<double>(tag.value);
      if (asDouble) *asDouble = v;
      if (asInt) {
        if (!(v >= -9.2e18 && v <= 9.2e18)) return false;
        *asInt = static_cast<int64_t>(v);
      }
      return true;
    }
    case ValueKind::Int16: {
      if (tag.value.size() != 2) return false;
      const int16_t v = readLittleEndian<int16_t>(tag.value);
      if (asDouble) *asDouble = v;
      if (asInt) *asInt = v;
      return true;
    }
    case ValueKind::Int32: {
      if (tag.value.size() != 4) return false;
      const int32_t v = readLittleEndian<int32_t>(tag.value);
      if (asDouble) *asDouble = v;
      if (asInt) *asInt = v;
      return true;
    }
    case ValueKind::Int64: {
      if (tag.value.size() != 8) return false;
      const int64_t v = readLittleEndian<int64_t>(tag.value);
      if (asDouble) *asDouble = static_cast<double>(v);
      if (asInt) *asInt = v;
      return true;
    }
    case ValueKind::Bool: {
      if (tag.value.size() != 1) return false;
      const int v = static_cast<unsigned char>(tag.value[0]);
      if (asDouble) *asDouble = v;
      if (asInt) *asInt = v;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

namespace {
// Reals as drawing files write them ("-12.5", "0.0", "1e-05"): at most 19 digits whose value is
// at most 2^53 and a power of ten up to 22, where the digits and the power are both exact doubles
// and so one multiplication or division rounds correctly. False (nothing set) for anything else,
// which the full parser reads.
bool simpleDecimal(std::string_view s, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = s.data();
  const char* const end = p + s.size();
  const bool negative = *p == '-';
  if (negative) ++p;
  auto digitAt = [&](const char* q) { return q < end ? static_cast<unsigned>(*q - '0') : 10u; };
  uint64_t digits = 0;  // wraps beyond 19 digits, which are refused below
  const char* const first = p;
  for (unsigned d; (d = digitAt(p)) < 10; ++p) digits = digits * 10 + d;
  std::ptrdiff_t count = p - first;
  int scale = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    for (unsigned d; (d = digitAt(p)) < 10; ++p) digits = digits * 10 + d;
    count += p - fraction;
    scale = -static_cast<int>(p - fraction);
  }
  if (count == 0 || count > 19 || digits > (uint64_t(1) << 53)) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool minus = false;
    if (p < end && (*p == '-' || *p == '+')) minus = *p++ == '-';
    int exponent = 0, expDigits = 0;
    for (unsigned d; expDigits < 4 && (d = digitAt(p)) < 10; ++p, ++expDigits)
      exponent = exponent * 10 + static_cast<int>(d);
    if (expDigits == 0) return false;
    scale += minus ? -exponent : exponent;
  }
  if (p != end || scale < -22 || scale > 22) return false;
  double v = static_cast<double>(digits);
  v = scale < 0 ? v / kPowers[-scale] : v * kPowers[scale];
  value = negative ? -v : v;
  return true;
}
}  // namespace

bool tagDouble(const Tag& tag, bool binary, double& value) {
  if (binary && valueKind(tag.code) != ValueKind::String) return binaryNumber(tag, &value, nullptr);
  std::string_view s = trimmed(tag.value);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  if (simpleDecimal(s, value)) return true;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && ptr == s.data() + s.size();
}

bool tagInt(const Tag& tag, bool binary, int64_t& value) {
  if (binary && valueKind(tag.code) != ValueKind::String) return binaryNumber(tag, nullptr, &value);
  std::string_view s = trimmed(tag.value);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec == std::errc() && ptr == s.data() + s.size()) return true;
  // Some programs write integers as reals ("1.0").
  double d = 0;
  const auto [dptr, dec] = std::from_chars(s.data(), s.data() + s.size(), d);
  // The range is checked first: converting a double outside it to an integer is undefined.
  if (dec != std::errc() || dptr != s.data() + s.size() || !(d >= -9.2e18 && d <= 9.2e18) ||
      d != static_cast<double>(static_cast<int64_t>(d)))
    return false;
  value = static_cast<int64_t>(d);
  return true;
}

bool parseHexHandle(std::string_view text, uint64_t& handle) {
  text = trimmed(text);
  if (text.empty() || text.size() > 16) return false;
  uint64_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return false;
    v = (v << 4) | static_cast<uint64_t>(d);
  }
  handle = v;
  return true;
}

bool tagHandle(const Tag& tag, bool binary, uint64_t& handle) {
  if (binary && valueKind(tag.code) == ValueKind::Binary) return false;
  return parseHexHandle(tag.value, handle);
}

std::string formatHandle(uint64_t handle) {
  char buffer[17];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, handle, 16);
  std::string s(buffer, ptr);
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
  return s;
}

long long LineCounter::lineOf(uint64_t offset) {
  if (offset > mSize) offset = mSize;
  if (offset < mAt) {
    mAt = 0;
    mLine = 1;
  }
  mLine += std::count(mData + mAt, mData + offset, '\n');
  mAt = offset;
  return mLine;
}

}  // namespace cadhost::dxf
