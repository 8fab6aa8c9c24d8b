// Damage that the tags of a drawing file show by themselves, and how a save mends each kind: a
// group code drawing files do not use, a value that does not fit its group code (a real that is no
// number, a whole number that is none or too large, a reference that is no handle, binary data
// that is no hexadecimal), a point's x without its y, an application group ("102 {NAME") that is
// never closed. The reader reports each with its place; a save writes the tag mended, so that the
// file it writes reads back with no report (here, and in other programs).
#pragma once

#include <cstdint>
#include <string>

#include "records.h"
#include "tags.h"

namespace cadhost::dxf {

enum class TagFault : uint8_t {
  None,
  UnknownCode,      // a group code drawing files do not use
  NotANumber,       // a real that is no finite number
  NotAWholeNumber,  // a whole number that is none (or a real with a fraction)
  TooLarge,         // a whole number too large for its group code
  NotAHandle,       // a reference that is no handle in hexadecimal
  NotHexBytes,      // binary data that is not pairs of hexadecimal digits
  LonePointX,       // a point's x that no y follows (before the next x of the point)
  NotANumberNoY,    // a point's x that is no number and that no y follows
  UnclosedGroup,    // an application group that no "102 }" closes (reported at the tag it ends before)
  NoRecordType,     // a 0 tag inside a record, whose value names no kind of record
};

// What a save writes for a tag with a fault that the host does not model (a modelled value is
// written as the host holds it).
enum class TagMend : uint8_t {
  WriteZero,   // the number 0 in the tag's place
  LeaveOut,    // the tag is left out
  AddY,        // the tag, then its y as 0
  ZeroAndY,    // 0 in the tag's place, then its y as 0
  CloseGroup,  // "102 }" before the tag
};
TagMend mendOf(TagFault fault);

// Whether a group code is a point's x (10-18, 110-112, 210-213, 1010-1013), which its y (the code
// and 10) must follow.
inline bool isPointX(int code) { return (codes::infoOf(code) & codes::kPointX) != 0; }
// The fault of a tag's value for its group code alone (None, or any fault up to NotHexBytes).
TagFault valueFault(const Tag& tag, bool binary);
// Whether a reference holds no handle in hexadecimal.
bool isUnreadableHandle(const Tag& tag);
// Whether the tag at index i of tags is a point's x without its y: the next tag is not the y, and
// no y comes before the next x of the same code. Codes 10-18, 110-112, 210-213, 1010-1013 are x.
bool isLonePointX(const std::vector<Tag>& tags, size_t i);

// Whether a record's tags may have a fault: false for nearly every record, told by a quick look at
// each tag (see isPlainlySound).
inline bool mayHaveFault(const RecordTags& record, bool binary) {
  if (!record.unclosedGroups.empty() || !record.ownerReadable || !record.xdictionaryReadable) return true;
  const Tag* const tags = record.tags.data();
  const size_t count = record.tags.size();
  for (size_t i = 1; i < count; ++i) {
    if (codes::infoOf(tags[i].code) & codes::kQuietString) continue;  // (half the tags: at once)
    if (!isPlainlySound(tags, i, count, binary, record.dataEnd)) return true;
  }
  return false;
}

// Every fault of a record's tags in the order of the tags: found(index, fault); for an unclosed
// group, the index of the tag that "102 }" goes before (the number of tags at the record's end).
// Of the references, those the reader follows are looked at: the owner and the extension
// dictionary; not the record's own handle (the reader gives a record whose handle is unusable a
// new one). Returns whether there was any.
template <class Found>
bool forEachFault(const RecordTags& record, bool binary, Found found) {
  if (!mayHaveFault(record, binary)) return false;
  bool any = false;
  size_t nextClose = 0;
  const size_t count = record.tags.size();
  for (size_t i = 1; i < count; ++i) {
    while (nextClose < record.unclosedGroups.size() && record.unclosedGroups[nextClose] == i) {
      found(i, TagFault::UnclosedGroup);
      any = true;
      ++nextClose;
    }
    if (static_cast<int>(i) == record.handleTag) continue;
    const Tag& tag = record.tags[i];
    const uint8_t info = codes::infoOf(tag.code);
    // (A string of a known code needs no look at its value, unless the reader follows it.)
    const auto kind = static_cast<ValueKind>(info & codes::kKindBits);
    TagFault fault = TagFault::None;
    if (tag.code == 0) fault = TagFault::NoRecordType;
    else if (!(info & codes::kCodeKnown)) fault = TagFault::UnknownCode;
    else if (kind != ValueKind::String) {
      if (binary || !isPlainNumber(tag.value, kind, record.dataEnd)) fault = valueFault(tag, binary);
    } else if ((static_cast<int>(i) == record.ownerTag && !record.ownerReadable) ||
               (static_cast<int>(i) == record.xdictionaryTag && !record.xdictionaryReadable))
      fault = TagFault::NotAHandle;
    if ((info & codes::kPointX) && (fault == TagFault::None || fault == TagFault::NotANumber) &&
        !(i + 1 < count && record.tags[i + 1].code == tag.code + 10) && isLonePointX(record.tags, i))
      fault = fault == TagFault::None ? TagFault::LonePointX : TagFault::NotANumberNoY;
    if (fault == TagFault::None) continue;
    found(i, fault);
    any = true;
  }
  for (; nextClose < record.unclosedGroups.size(); ++nextClose) {
    found(count, TagFault::UnclosedGroup);
    any = true;
  }
  return any;
}

// What is wrong and what a save does, for a message: "holds 'abc', which is not a number; a save
// writes 0 there". shownValue is the value as it can be shown.
std::wstring describeFault(TagFault fault, const std::wstring& shownValue, bool binary);

}  // namespace cadhost::dxf
