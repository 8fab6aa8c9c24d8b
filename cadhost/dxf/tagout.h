// Writing tags in the style of a drawing file: ASCII lines (group codes aligned or not, LF or
// CR LF) or binary values, and text encoded as the drawing encodes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filerecord.h"
#include "tags.h"
#include "textcodec.h"

namespace cadhost::dxf {

class TagOut {
 public:
  TagOut(std::string& buffer, const FileStyle& style, const TextCodec& codec)
      : mOut(buffer), mStyle(style), mCodec(codec) {}

  const FileStyle& style() const { return mStyle; }
  const TextCodec& codec() const { return mCodec; }
  std::string& buffer() { return mOut; }

  void bytes(std::string_view b) { mOut.append(b); }
  // A tag with a value already encoded for the file (strings), or typed values.
  void string(int code, std::string_view encoded);
  void text(int code, std::wstring_view text);
  void real(int code, double value);
  void integer(int code, int64_t value);
  void handle(int code, uint64_t handle);

  // A tag copied from a record: as its bytes when the record's file writes like this one, else
  // read and written again. An ASCII tag always ends with a line end.
  void copy(const Tag& tag, const FileImage* source);
  // A tag of a record with a new value: the code as the record had it, the value in the same
  // place (numbers keep their padding in ASCII files).
  void replaceString(const Tag& tag, const FileImage* source, std::string_view encoded);
  void replaceReal(const Tag& tag, const FileImage* source, double value);
  void replaceInteger(const Tag& tag, const FileImage* source, int64_t value);

  // Whether records of source can be copied byte for byte.
  bool sameForm(const FileImage* source) const;
  // Ends an ASCII line that was left open (the last line of a file may have no line end).
  void endOpenLine();

  static std::string formatReal(double value);

 private:
  void code(int code);
  void eol() { mOut.append(mStyle.crlf ? "\r\n" : "\n"); }
  void valueWithLineEnd(const Tag& tag, const FileImage* source, std::string_view value, bool pad);

  std::string& mOut;
  FileStyle mStyle;
  TextCodec mCodec;
  mutable const FileImage* mSameSource = nullptr;
  mutable bool mSame = false;
};

}  // namespace cadhost::dxf
