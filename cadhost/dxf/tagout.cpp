// Tags written in the style of the file they go into.
#include "tagout.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace cadhost::dxf {

namespace {

void appendLittleEndian(std::string& out, const void* value, size_t size) {
  out.append(static_cast<const char*>(value), size);  // the hosts this builds for are little-endian
}

}  // namespace

std::string TagOut::formatReal(double value) {
  if (!std::isfinite(value)) value = 0;
  char buffer[64];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string s(buffer, ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

void TagOut::code(int c) {
  if (mStyle.binary) {
    if (mStyle.binaryShortCodes) {
      if (c >= 0 && c < 255) {
        mOut.push_back(static_cast<char>(c));
      } else {
        mOut.push_back(static_cast<char>(255));
        const int16_t v = static_cast<int16_t>(c);
        appendLittleEndian(mOut, &v, 2);
      }
    } else {
      const int16_t v = static_cast<int16_t>(c);
      appendLittleEndian(mOut, &v, 2);
    }
    return;
  }
  char buffer[16];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, c);
  const size_t len = static_cast<size_t>(ptr - buffer);
  if (mStyle.alignedCodes && len < 3) mOut.append(3 - len, ' ');
  mOut.append(buffer, len);
  eol();
}

void TagOut::string(int c, std::string_view encoded) {
  code(c);
  if (mStyle.binary) {
    if (valueKind(c) == ValueKind::Binary) {
      // Binary chunks are written as hexadecimal text in ASCII files.
      std::string bytes;
      for (size_t i = 0; i + 1 < encoded.size(); i += 2) {
        auto hex = [](char h) { return h >= 'a' ? h - 'a' + 10 : h >= 'A' ? h - 'A' + 10 : h - '0'; };
        bytes.push_back(static_cast<char>(hex(encoded[i]) * 16 + hex(encoded[i + 1])));
      }
      if (bytes.size() > 255) bytes.resize(255);
      mOut.push_back(static_cast<char>(bytes.size()));
      mOut.append(bytes);
      return;
    }
    mOut.append(encoded);
    mOut.push_back('\0');
    return;
  }
  mOut.append(encoded);
  eol();
}

void TagOut::text(int c, std::wstring_view text) {
  std::string encoded;
  mCodec.encode(text, encoded);
  string(c, encoded);
}

void TagOut::real(int c, double value) {
  if (mStyle.binary) {
    const ValueKind kind = valueKind(c);
    if (kind != ValueKind::Double && kind != ValueKind::String) {
      integer(c, std::isfinite(value) ? static_cast<int64_t>(std::llround(value)) : 0);
      return;
    }
    code(c);
    if (kind == ValueKind::Double) {
      appendLittleEndian(mOut, &value, 8);
    } else {
      mOut.append(formatReal(value));
      mOut.push_back('\0');
    }
    return;
  }
  code(c);
  mOut.append(formatReal(value));
  eol();
}

void TagOut::integer(int c, int64_t value) {
  if (mStyle.binary) {
    code(c);
    switch (valueKind(c)) {
      case ValueKind::Int16: { const int16_t v = static_cast<int16_t>(value); appendLittleEndian(mOut, &v, 2); return; }
      case ValueKind::Int32: { const int32_t v = static_cast<int32_t>(value); appendLittleEndian(mOut, &v, 4); return; }
      case ValueKind::Int64: appendLittleEndian(mOut, &value, 8); return;
      case ValueKind::Bool: mOut.push_back(static_cast<char>(value != 0)); return;
      case ValueKind::Double: { const double v = static_cast<double>(value); appendLittleEndian(mOut, &v, 8); return; }
      default: {
        char buffer[32];
        const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        mOut.append(buffer, ptr);
        mOut.push_back('\0');
        return;
      }
    }
  }
  code(c);
  char buffer[32];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  mOut.append(buffer, ptr);
  eol();
}

void TagOut::handle(int c, uint64_t h) { string(c, formatHandle(h)); }

bool TagOut::sameForm(const FileImage* source) const {
  if (source == nullptr) return false;
  if (source == mSameSource) return mSame;
  const FileStyle& s = source->style;
  const bool same = s.binary == mStyle.binary && (!s.binary || s.binaryShortCodes == mStyle.binaryShortCodes) &&
                    source->codec == mCodec;
  mSameSource = source;
  mSame = same;
  return same;
}

void TagOut::endOpenLine() {
  if (!mStyle.binary && !mOut.empty() && mOut.back() != '\n') eol();
}

void TagOut::copy(const Tag& tag, const FileImage* source) {
  if (sameForm(source)) {
    mOut.append(source->data() + tag.begin, static_cast<size_t>(tag.end - tag.begin));
    endOpenLine();
    return;
  }
  // Another file's record: the value is read in its form and written in this one.
  const bool binary = source && source->style.binary;
  switch (valueKind(tag.code)) {
    case ValueKind::Double: {
      double v = 0;
      if (tagDouble(tag, binary, v)) real(tag.code, v);
      else string(tag.code, tag.value);
      return;
    }
    case ValueKind::Int16:
    case ValueKind::Int32:
    case ValueKind::Int64:
    case ValueKind::Bool: {
      int64_t v = 0;
      if (tagInt(tag, binary, v)) integer(tag.code, v);
      else string(tag.code, tag.value);
      return;
    }
    case ValueKind::Binary:
      if (binary) {
        static const char* kHex = "0123456789ABCDEF";
        std::string hex;
        for (char ch : tag.value) {
          hex.push_back(kHex[(static_cast<unsigned char>(ch) >> 4) & 0xF]);
          hex.push_back(kHex[static_cast<unsigned char>(ch) & 0xF]);
        }
        string(tag.code, hex);
      } else {
        string(tag.code, tag.value);
      }
      return;
    case ValueKind::String:
      if (source) text(tag.code, source->codec.decode(tag.value));
      else string(tag.code, tag.value);
      return;
  }
}

void TagOut::valueWithLineEnd(const Tag& tag, const FileImage* source, std::string_view value, bool pad) {
  const char* base = source->data();
  const uint64_t valueBegin = static_cast<uint64_t>(tag.value.data() - base);
  mOut.append(base + tag.begin, static_cast<size_t>(valueBegin - tag.begin));  // the code as it was
  if (pad && !tag.value.empty() && tag.value.front() == ' ' && value.size() < tag.value.size())
    mOut.append(tag.value.size() - value.size(), ' ');
  mOut.append(value);
  const uint64_t valueEnd = valueBegin + tag.value.size();
  if (valueEnd < tag.end) mOut.append(base + valueEnd, static_cast<size_t>(tag.end - valueEnd));
  else eol();
}

void TagOut::replaceString(const Tag& tag, const FileImage* source, std::string_view encoded) {
  if (!sameForm(source) || mStyle.binary) {
    string(tag.code, encoded);
    return;
  }
  valueWithLineEnd(tag, source, encoded, false);
}

void TagOut::replaceReal(const Tag& tag, const FileImage* source, double value) {
  if (!sameForm(source) || mStyle.binary || valueKind(tag.code) != ValueKind::Double) {
    real(tag.code, value);
    return;
  }
  valueWithLineEnd(tag, source, formatReal(value), false);
}

void TagOut::replaceInteger(const Tag& tag, const FileImage* source, int64_t value) {
  if (!sameForm(source) || mStyle.binary) {
    integer(tag.code, value);
    return;
  }
  char buffer[32];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  valueWithLineEnd(tag, source, std::string_view(buffer, static_cast<size_t>(ptr - buffer)), true);
}

}  // namespace cadhost::dxf
