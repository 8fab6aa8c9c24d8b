// Damage the tags of a drawing file show by themselves (see tagfaults.h).
#include "tagfaults.h"

#include <cmath>
#include <limits>

namespace cadhost::dxf {

namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Most values are plain: an optional sign and digits (a real's with one point among them),
// nothing around them. Such a value is sound when its digits are few enough for its kind; it is
// told by one look at each byte, and any other value is parsed in full.
// The number of digits of a plain value (0 if it is not plain); sets point if a '.' is among them.
size_t plainDigits(std::string_view s, bool& point) {
  const char* p = s.data();
  const char* const end = p + s.size();
  if (p != end && (*p == '-' || *p == '+')) ++p;
  size_t digits = 0;
  point = false;
  for (; p != end; ++p) {
    if (static_cast<unsigned>(*p - '0') < 10u) ++digits;
    else if (*p == '.' && !point) point = true;
    else return 0;
  }
  return digits;
}

// (safeDigits: the most digits no value of the range's kind can go beyond, a plain whole number
// of which is sound without more ado.)
TagFault wholeNumberFault(const Tag& tag, bool binary, int64_t low, int64_t high, size_t safeDigits) {
  bool point = false;
  const size_t digits = plainDigits(tag.value, point);
  if (digits != 0 && digits <= safeDigits && !point && !(low >= 0 && tag.value.front() == '-')) return TagFault::None;
  int64_t value = 0;
  if (!tagInt(tag, binary, value)) {
    // A number too large for 64 bits is still a whole number, only too large.
    double real = 0;
    return tagDouble(tag, binary, real) && std::isfinite(real) && real == std::floor(real) ? TagFault::TooLarge
                                                                                       : TagFault::NotAWholeNumber;
  }
  return value < low || value > high ? TagFault::TooLarge : TagFault::None;
}

}  // namespace

TagMend mendOf(TagFault fault) {
  switch (fault) {
    case TagFault::NotANumber:
    case TagFault::NotAWholeNumber:
    case TagFault::TooLarge: return TagMend::WriteZero;
    case TagFault::LonePointX: return TagMend::AddY;
    case TagFault::NotANumberNoY: return TagMend::ZeroAndY;
    case TagFault::UnclosedGroup: return TagMend::CloseGroup;
    default: return TagMend::LeaveOut;
  }
}

TagFault valueFault(const Tag& tag, bool binary) {
  const int code = tag.code;
  if (!isKnownCode(code)) return TagFault::UnknownCode;
  switch (valueKind(code)) {
    case ValueKind::Double: {
      bool point = false;
      // (Up to 300 digits, whatever the point's place, a plain real is finite.)
      if (!binary) {
        const size_t digits = plainDigits(tag.value, point);
        if (digits != 0 && digits <= 300) return TagFault::None;
      }
      double value = 0;
      return tagDouble(tag, binary, value) && std::isfinite(value) ? TagFault::None : TagFault::NotANumber;
    }
    case ValueKind::Int16: return binary ? TagFault::None : wholeNumberFault(tag, binary, INT16_MIN, INT16_MAX, 4);
    case ValueKind::Int32: return binary ? TagFault::None : wholeNumberFault(tag, binary, INT32_MIN, INT32_MAX, 9);
    case ValueKind::Int64:
      return binary ? TagFault::None
                    : wholeNumberFault(tag, binary, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), 18);
    case ValueKind::Bool: return binary ? TagFault::None : wholeNumberFault(tag, binary, 0, 255, 2);
    case ValueKind::Binary: {
      if (binary) return TagFault::None;
      std::string_view hex = tag.value;
      while (!hex.empty() && (hex.back() == ' ' || hex.back() == '\t')) hex.remove_suffix(1);
      if (hex.size() % 2 != 0) return TagFault::NotHexBytes;
      for (char c : hex)
        if (!isHexDigit(c)) return TagFault::NotHexBytes;
      return TagFault::None;
    }
    case ValueKind::String:
      // (References are kept as written, whatever they hold: some programs write names there. Those
      // the reader follows, a record's owner and extension dictionary, are checked with the record.)
      return TagFault::None;
  }
  return TagFault::None;
}

bool isUnreadableHandle(const Tag& tag) {
  uint64_t handle = 0;
  return !parseHexHandle(tag.value, handle);
}

bool isLonePointX(const std::vector<Tag>& tags, size_t i) {
  const int x = tags[i].code;
  if (!isPointX(x)) return false;
  // Nearly always the y is the next tag; some programs write a LINE's x, x, y, y.
  for (size_t j = i + 1; j < tags.size() && tags[j].code != 0 && tags[j].code != x; ++j)
    if (tags[j].code == x + 10) return false;
  return true;
}

std::wstring describeFault(TagFault fault, const std::wstring& shownValue, bool binary) {
  const std::wstring holds = L"holds '" + shownValue + L"', which ";
  switch (fault) {
    case TagFault::UnknownCode:
      // (In a binary file whose value's length nothing tells, the value runs up to the next object.)
      return binary ? L"is not a group code drawing files use; a save leaves it out with its value"
                    : L"is not a group code drawing files use; a save leaves the tag out";
    case TagFault::NotANumber: return holds + L"is not a number; a save writes 0 there";
    case TagFault::NotAWholeNumber: return holds + L"is not a whole number; a save writes 0 there";
    case TagFault::TooLarge: return holds + L"is too large for it; a save writes 0 there";
    case TagFault::NotAHandle: return holds + L"is not a handle; a save leaves the tag out";
    case TagFault::NotHexBytes: return holds + L"is not binary data in hexadecimal; a save leaves the tag out";
    case TagFault::LonePointX: return L"is a point's x without its y; a save writes 0 as its y";
    case TagFault::NotANumberNoY: return holds + L"is not a number, and no y follows it; a save writes 0 there, and 0 as its y";
    case TagFault::UnclosedGroup: return L"ends an application group that has no closing '}'; a save closes it there";
    case TagFault::NoRecordType: return holds + L"names no kind of object; a save leaves the tag out";
    case TagFault::None: break;
  }
  return std::wstring();
}

}  // namespace cadhost::dxf
