// The records of a drawing file as objects of the host: splitting a record's tags into their
// parts, decoding them into the host's objects, and the properties the writer compares and writes
// for each kind of record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filerecord.h"

namespace cadhost::dxf {

// The tags of one record (from its 0 tag up to the next), with its parts found.
struct RecordTags {
  // A tag of the object's own data outside 102 groups, with the subclass marker it follows.
  struct Main {
    uint32_t index;   // into tags
    int32_t marker;   // index of the 100 tag before it, -1 if none
    bool first;       // the first tag with its code (later ones are kept as they are)
  };
  std::vector<Tag> tags;
  std::vector<Main> main;
  std::string_view type;   // the value of the 0 tag
  size_t mainEnd = 0;      // the first tag after the object's own data: extended data (1001), an
                           // embedded object (101), or the end
  bool hasSubclasses = false;
  int handleTag = -1;      // the 5 (or 105) tag
  int ownerTag = -1;       // the owner's 330 tag (outside 102 groups, before the first 100)
  int nextOwnerTag = -1;   // a second 330 tag where the owner's stands: read as the owner when the
                           // first is left out
  uint64_t handle = 0;
  bool handleValid = false;
  uint64_t owner = 0;
  uint64_t xdictionary = 0;  // the extension dictionary named in {ACAD_XDICTIONARY
  int xdictionaryTag = -1;   // its 360 tag
  bool ownerReadable = true, xdictionaryReadable = true;  // whether their tags hold handles
  const char* dataEnd = nullptr;  // the end of the bytes the tags' values lie in, if known
  // Application groups without their closing "102 }": for each, the index of the tag the group
  // ends before (the first subclass marker, the next group, the extended data or the record's end).
  std::vector<uint32_t> unclosedGroups;
};

// Reads the next tag into a new last element of tags, in its place there; false (and tags as they
// were) when the data ends or the reader stops.
bool appendTag(TagReader& reader, std::vector<Tag>& tags);
// Whether the value of a 0 tag can name a kind of record ("LINE", "ACAD_TABLE"): a word that
// begins with a letter. A 0 tag whose value cannot (a line out of step after a damaged one, most
// likely) is a tag of the record it stands in, and no record's start.
bool isRecordType(std::string_view value);
// Reads a record: first (its 0 tag, already read) and the tags after it up to the next 0 tag that
// begins a record, each read in its place in tags; that 0 tag goes into next. False when the data
// ends or the reader stops before it.
bool readRecordAfter(TagReader& reader, const Tag& first, std::vector<Tag>& tags, Tag& next);
// Splits the tags of a record into its parts (they must already be in tags).
void analyzeRecord(RecordTags& record, bool binary);
// Whether an INSERT says that ATTRIB records follow it (66 = 1).
bool attributesFollow(const RecordTags& record, bool binary);
// Whether an INSERT names a block (group code 2, not empty).
bool namesBlock(const RecordTags& record);
// Whether an entity says that it lies in paper space (67 = 1).
bool saysPaperSpace(const RecordTags& record, bool binary);
// Whether what an entity's record says lets it stay in the file until it is used: a handle of its
// own (non-zero, below handleLimit), no extension dictionary, and no parts that follow it (a
// POLYLINE's vertices, an INSERT's attributes). Whether the handle is free is the reader's to see.
bool mayStayInFile(const RecordTags& record, bool binary, uint64_t handleLimit);

// Where decoded properties come from and where problems go.
class DecodeContext {
 public:
  DecodeContext(AcDbDatabase* db, FileRecord& file, bool loading) : db(db), file(file), loading(loading) {}
  virtual ~DecodeContext() = default;

  AcDbDatabase* db;
  FileRecord& file;
  bool loading;  // false while the writer decodes a record to compare it

  std::wstring text(std::string_view bytes) const { return skipTexts ? std::wstring() : file.codec.decode(bytes); }
  // The same into a buffer that the next call overwrites (no allocation once it has grown).
  const std::wstring& scratchText(std::string_view bytes) {
    if (skipTexts) mScratch.clear();
    else file.codec.decode(bytes, mScratch);
    return mScratch;
  }
  // Set while a record is decoded only to see whether it can be used: texts come out empty.
  bool skipTexts = false;
  bool binary() const { return file.style.binary; }
  // The record a name refers to (a layer, text style, dimension style or block). While loading, a
  // name the file has not defined yet gives a null id and the reader sets the reference on
  // referrer once the file is read.
  enum class Ref { Layer, TextStyle, DimStyle, Block };
  virtual AcDbObjectId named(Ref kind, std::string_view name, AcDbObject* referrer) = 0;
  // The object of a handle; while loading a placeholder for objects still to come.
  virtual AcDbObjectId object(uint64_t handle) = 0;
  // A value that could not be used, at a tag.
  virtual void badValue(const Tag& tag, const char* what) = 0;

 private:
  std::wstring mScratch;
};

// Makes the host's object for a record (not yet in the database): a modeled entity, record or
// object, or an unmodeled one. inBlockSection tells entities from objects for unknown types.
AcDbObject* decodeRecord(const RecordTags& record, DecodeContext& context, bool isEntity);
// Decodes a BLOCK entity into a block record (its name and origin).
AcDbBlockTableRecord* decodeBlockEntity(const RecordTags& record, DecodeContext& context);
// Decodes a LAYOUT's name into a block record (the layout name only).
AcDbBlockTableRecord* decodeLayoutName(const RecordTags& record, DecodeContext& context);
// The extents of an unmodeled entity from the points of its own data; empty if it has none.
AcDbExtents pointExtents(const RecordTags& record, bool binary);
// A symbol name as the host accepts it: characters the host forbids in names become '_'.
std::wstring hostName(const std::wstring& name);
// A record's type that the host models as an entity of its own kind.
bool isModeledEntityType(std::string_view type);

// ---- Properties for writing -----------------------------------------------------------------

// A value as a drawing file holds it (angles in degrees, references as objects).
struct Value {
  enum Kind : uint8_t { None, Real, Int, Text, Ref } kind = None;
  double real = 0;
  int64_t integer = 0;
  std::wstring text;
  AcDbObjectId ref;
  static Value ofReal(double v) { Value x; x.kind = Real; x.real = v; return x; }
  static Value ofInt(int64_t v) { Value x; x.kind = Int; x.integer = v; return x; }
  static Value ofText(std::wstring v) { Value x; x.kind = Text; x.text = std::move(v); return x; }
  static Value ofRef(AcDbObjectId v) { Value x; x.kind = Ref; x.ref = v; return x; }
  bool operator==(const Value& o) const {
    if (kind != o.kind) return false;
    switch (kind) {
      case None: return true;
      case Real: return real == o.real;
      case Int: return integer == o.integer;
      case Text: return text == o.text;
      case Ref: return ref == o.ref;
    }
    return false;
  }
};

// Properties that span several tags.
enum class Span : uint8_t {
  One,          // one tag
  TextChunks,   // MTEXT contents: 3 tags then a 1 tag
  Vertices,     // LWPOLYLINE vertices: 10, 20 and the per-vertex 40, 41, 42, 91
};

// One property of a record: the tag (or tags) that hold it in a subclass of the record.
struct Property {
  int code;
  int slot;            // index into the schema's subclass list
  Span span = Span::One;
  int64_t mask = 0;    // for flags: the bits the host models (0: all)
  // The value of the property of an object (the host's object the record stands for).
  std::function<Value(const AcDbObject*)> get;
  // Whether a record that lacks the property must be given it for this object.
  std::function<bool(const AcDbObject*)> needed;
  // For text properties: the text in place, so that texts compare without copies.
  const ACHAR* (*text)(const AcDbObject*) = nullptr;
};

struct Schema {
  std::vector<const char*> subclasses;  // markers in order; empty strings for records without
  std::vector<Property> properties;     // in the order they are written
  int handleCode = 5;
  std::vector<std::pair<int, const char*>> newRecordTags;  // what a new record needs besides
  // For finding the property of a tag without comparing names: for each slot the first slot of
  // the same subclass name, and the properties by the codes of the tags they hold, in order.
  std::vector<int> sameSubclass;
  std::vector<std::pair<int, int>> byCode;  // (code, property)
  std::vector<int16_t> firstOfCode;         // for each group code: its first entry in byCode, or -1
  static constexpr int kIndexedCodes = 1072;  // group codes run from 0 to 1071
  // The first property (in order) that a tag holds: its code, whether it is the first tag with
  // that code in the record, and the subclass slot it lies in (-1 before any; any for flat
  // records); -1 for none.
  int propertyOf(int code, bool first, int slot, bool flat) const;
};

// The schema for a record type (by the type of the host object that is written from it); null
// for records whose properties the host does not model (written as read).
const Schema* schemaFor(std::string_view recordType, const AcDbObject* source, bool r12);

// Degrees and radians, the same way for reading and writing.
inline double degreesToRadians(double d) { return d * (3.14159265358979323846 / 180.0); }
inline double radiansToDegrees(double r) { return r * (180.0 / 3.14159265358979323846); }

}  // namespace cadhost::dxf
