// Group codes and tags: the kind of value each group code carries, and reading tags out of the
// bytes of an ASCII or binary drawing file without copying them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cadhost::dxf {

enum class ValueKind : uint8_t { String, Double, Int16, Int32, Int64, Bool, Binary };

// The kind of value of a group code, as binary files store it; codes drawing files do not use
// are strings.
ValueKind valueKind(int code);
// Codes whose value is a handle of another object (pointers and ownership).
inline bool isReferenceCode(int code) {
  return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 ||
         code == 1005;
}
// Whether a code is one drawing files use at all.
bool isKnownCode(int code);

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

// Reads tags one after another. Malformed input stops the reader with a description of what is
// wrong and where.
class TagReader {
 public:
  // Reads the tags of data[start, size). (A damaged binary group code is recognised by reading on
  // past it, as far as the data goes: dataSize, when the tags read end before the data does.)
  TagReader(const char* data, size_t size, const FileStyle& style, size_t start, size_t dataSize = 0);

  // The next tag; false at the end of the data or on malformed input (see failed()).
  bool next(Tag& tag);
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
  // Where the last tag begins whose group code no drawing uses and whose value's length nothing
  // tells (binary files): its value runs up to the next record; UINT64_MAX if none.
  uint64_t resyncedAt() const { return mResyncedAt; }

 private:
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
