// What a drawing file held, as the reader keeps it for the writer: the file's bytes, each
// object's byte range (its stored record), and the file's own record with the order of its
// objects, its style and its header.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "../core/coreaccess.h"
#include "tags.h"
#include "textcodec.h"

namespace cadhost::dxf {

// The bytes of a drawing file, shared by the records that point into them.
class FileImage {
 public:
  // An image of size bytes for the reader to fill; nullptr when there is not enough memory.
  static FileImage* allocate(size_t size);
  static FileImage* copy(std::string_view bytes);
  // The bytes of a file: mapped (a large file, where the system allows it) or read into memory;
  // nullptr with the system's reason when the file cannot be read.
  static FileImage* open(const std::filesystem::path& path, std::string& error);
  FileImage(const FileImage&) = delete;
  FileImage& operator=(const FileImage&) = delete;
  void retain() { mRefs.fetch_add(1, std::memory_order_relaxed); }
  void release() {
    if (mRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  const char* data() const { return mBytes; }
  char* mutableData() { return mBytes; }
  size_t size() const { return mSize; }
  void shrink(size_t size) { if (size < mSize) mSize = size; }
  std::string_view view(uint64_t begin, uint64_t end) const {
    return std::string_view(mBytes + begin, static_cast<size_t>(end - begin));
  }
  // False when the file behind a mapped image was changed by another program since it was
  // opened (its bytes can no longer be trusted, or read at all); true for bytes in memory.
  bool intact() const;
  // Gives the pages of [begin, end) of a mapped image back to the system after a pass over them;
  // the bytes stay readable (they are mapped again when touched). Nothing for bytes in memory.
  void releasePages(uint64_t begin, uint64_t end);
  bool mapped() const { return mStorage == Storage::MappedFile; }
  // The bytes of [begin, end): in place for bytes in memory; for a mapped file read from the file
  // into buffer, so that a file another program shortened gives no bytes (empty) rather than
  // bytes that are no longer there, and the pages of the mapping stay as they are.
  std::string_view read(uint64_t begin, uint64_t end, std::string& buffer) const;
  // How the file writes tags and text (set while the file is read).
  FileStyle style;
  TextCodec codec;

 private:
  enum class Storage : uint8_t { Heap, OwnPages, MappedFile };
  FileImage(char* bytes, size_t size, size_t capacity, Storage storage)
      : mBytes(bytes), mSize(size), mCapacity(capacity), mStorage(storage) {}
  ~FileImage();
  char* mBytes;
  size_t mSize, mCapacity;
  Storage mStorage;
  int mFile = -1;              // a mapped file, kept open to notice changes to it
  long long mFileSize = 0, mFileChanged = 0;  // as they were when it was opened
  std::atomic<long> mRefs{1};
};

// A reference to a file image that retains it.
class ImageRef {
 public:
  ImageRef() = default;
  explicit ImageRef(FileImage* adopted) : mImage(adopted) {}
  ImageRef(const ImageRef& other) : mImage(other.mImage) { if (mImage) mImage->retain(); }
  ImageRef& operator=(const ImageRef& other) {
    if (other.mImage) other.mImage->retain();
    if (mImage) mImage->release();
    mImage = other.mImage;
    return *this;
  }
  ~ImageRef() { if (mImage) mImage->release(); }
  FileImage* get() const { return mImage; }
  FileImage* operator->() const { return mImage; }
  explicit operator bool() const { return mImage != nullptr; }

 private:
  FileImage* mImage = nullptr;
};

// The stored record of one object: where its record (from its 0 tag up to the next 0 tag) lies
// in the file, and how the object stood when it was read.
class ObjectRecord : public AcDbStoredRecord {
 public:
  enum Flags : uint8_t {
    kNoHandle = 1,      // the file gave the object no handle; none is written for it
    kSynthesized = 2,   // made by the reader (a table or record the file lacked); never written
    kRehandled = 4,     // the file's handle was taken by another object: written with the new one
    kBlockEntity = 8,   // R12: the block record's record is its BLOCK entity
    kOwnBytes = 16,     // made by the writer for a new object: its bytes are written as they are
    kRepaired = 32,     // the record has damage the reader reported: a save writes it mended
    kMoved = 64,        // a record of a second table of a kind: written at the end of the first
    kMadeForFile = 128, // made by the reader to mend the file (a closing ENDBLK, a table it lacks): written
  };
  ObjectRecord(FileImage* image, uint64_t begin, uint64_t end, uint8_t flags)
      : mImage(image), mBegin(begin), mLength(static_cast<uint32_t>(end - begin)), mFlags(flags) {
    if (mImage) mImage->retain();
  }
  ObjectRecord(const ObjectRecord& other)
      : AcDbStoredRecord(), mImage(other.mImage), mBegin(other.mBegin), mLength(other.mLength),
        mRevisionAtLoad(other.mRevisionAtLoad), mFlags(other.mFlags) {
    if (mImage) mImage->retain();
  }
  ObjectRecord& operator=(const ObjectRecord&) = delete;
  ~ObjectRecord() override {
    if (mImage) mImage->release();
  }
  AcDbStoredRecord* cloneRecord() const override { return new ObjectRecord(*this); }

  FileImage* image() const { return mImage; }
  uint64_t begin() const { return mBegin; }
  uint64_t end() const { return mBegin + mLength; }
  std::string_view bytes() const {
    return mImage ? mImage->view(mBegin, end()) : std::string_view();
  }
  uint8_t flags() const { return mFlags; }
  bool has(Flags f) const { return (mFlags & f) != 0; }
  void set(Flags f) { mFlags = static_cast<uint8_t>(mFlags | f); }
  void clear(Flags f) { mFlags = static_cast<uint8_t>(mFlags & ~f); }
  uint32_t revisionAtLoad() const { return mRevisionAtLoad; }
  void setRevisionAtLoad(uint32_t r) { mRevisionAtLoad = r; }

 private:
  FileImage* mImage;
  uint64_t mBegin;
  uint32_t mLength;
  uint32_t mRevisionAtLoad = 0;
  uint8_t mFlags;
};

// A header variable: where its tags lie (from its 9 tag to the next variable).
struct HeaderVariable {
  std::string name;  // "$CLAYER"
  uint64_t begin = 0, end = 0;
};

// The header settings the host models, as they stood when the file was read.
// (A setting the host could not use holds a value no setting has: a save then writes the host's.)
struct HeaderState {
  uint64_t handseed = 0;
  int16_t lunits = 2, luprec = 4;
  int insunits = 0;
  double textsize = 2.5;
  AcDbObjectId textstyle, clayer, dimstyle;
};

// The bytes of records of a file image, read one after another. A mapped file is read through a
// window: a command that walks the drawing makes its objects in the order of the file, and
// reading the next 256 KB with the first of them saves a read of the file for every object.
class RecordWindow {
 public:
  explicit RecordWindow(const FileImage* image) : mImage(image) {}
  // The bytes of [begin, end); empty when the file no longer holds them.
  std::string_view bytes(uint64_t begin, uint64_t end);
  void release() { std::string().swap(mWindow); }  // gives back the bytes read ahead

 private:
  static constexpr uint64_t kWindow = 256 * 1024;
  const FileImage* mImage;
  std::string mWindow;  // the bytes of [mWindowBegin, mWindowBegin + size) of a mapped file
  uint64_t mWindowBegin = 0;
  uint64_t mLastEnd = 0;  // where the record read last ends
};

// Entities of the file that stay in it until they are first used: for each, where its record lies,
// its owner and its kind. The reader decoded each of them once (reporting what was wrong in it)
// and keeps them in the file where the file needs nothing else of them: entities with a handle of
// their own, without an extension dictionary, parts (a POLYLINE's vertices, an INSERT's
// attributes) or names still to resolve. Owned by the database (its deferred loader).
class DeferredRecords : public AcDbDeferredLoader {
 public:
  DeferredRecords(AcDbDatabase* db, FileImage* image);
  ~DeferredRecords() override;
  // Files an entity of a class and a record type; false when it cannot be deferred.
  bool add(AcDbStub* stub, uint64_t begin, uint64_t end, AcRxClass* cls, std::string_view type, AcDbStub* owner);
  // Where the record of a deferred stub lies, and its owner.
  uint64_t begin(const AcDbStub& stub) const { return entry(stub).place & kPlaceMask; }
  uint64_t end(const AcDbStub& stub) const { return begin(stub) + entry(stub).length; }
  AcDbStub* owner(const AcDbStub& stub) const { return mOwners[entry(stub).owner]; }
  std::string_view bytes(const AcDbStub& stub) const { return mImage->view(begin(stub), end(stub)); }
  // Room for the entities of a file of some size, made once: growing by doubling would copy
  // them over and over. Room that stays unused is never touched and costs no memory. (A record
  // takes 192 bytes or more.)
  void reserveFor(uint64_t fileSize) { mEntries.reserve(static_cast<size_t>(fileSize / 192)); }
  // Gives back the bytes read ahead for making objects (a save, which reads the file itself).
  void releaseWindow() { mWindow.release(); }
  // The reader's decoding; an object whose record the file no longer holds (another program
  // changed it) cannot be made.
  AcDbObject* load(const AcDbStub& stub) override;
  // Once the file has been read (its record is attached to the database).
  bool ready() const override;
  AcRxClass* objectClass(const AcDbStub& stub) const override { return mKinds[kindOf(entry(stub))].cls; }

 private:
  // 16 bytes an entity: where its record begins (with its kind in the top byte), its length and
  // its owner (into the owners: the blocks, which are few).
  struct Entry {
    uint64_t place;
    uint32_t length;
    uint32_t owner;
  };
  static constexpr int kKindShift = 56;
  static constexpr uint64_t kPlaceMask = (uint64_t(1) << kKindShift) - 1;
  static size_t kindOf(const Entry& e) { return static_cast<size_t>(e.place >> kKindShift); }
  const Entry& entry(const AcDbStub& stub) const { return mEntries[stub.deferredSlot()]; }
  struct Kind {  // the object's class and the record's type
    AcRxClass* cls;
    std::string type;
  };
  AcDbDatabase* mDb;
  FileImage* mImage;
  std::vector<Entry> mEntries;
  std::vector<Kind> mKinds;
  std::vector<AcDbStub*> mOwners;
  std::unordered_map<AcDbStub*, uint32_t> mOwnerIndex;
  RecordWindow mWindow;  // the records of the objects made
  std::unique_ptr<struct RecordTags> mTags;  // the tags of the record being made
  std::unique_ptr<class DecodeContext> mDecoding;  // made with the first object
};

// A mend of the file's structure that a save makes where the reader found it damaged: bytes the
// drawing does not hold left out, and the ends the file lacks written in their place.
struct StructureMend {
  enum class Kind : uint8_t {
    LeaveOut,     // the bytes [begin, end) are left out (a stray record, tag or end, what follows EOF)
    MendTag,      // the tag at begin is written mended (a tag outside any object: header, classes)
    EndTable,     // "0 ENDTAB" at begin
    EndBlock,     // "0 ENDBLK" at begin, with the handle of object (null without handles), for its block
    EndSequence,  // "0 SEQEND" at begin, with the handle of object, for its POLYLINE or INSERT
    EndSection,   // "0 ENDSEC" at begin
    EndOfFile,    // "0 EOF" at begin
  };
  StructureMend(Kind kind, uint64_t begin, uint64_t end, AcDbObjectId object = AcDbObjectId(),
                AcDbObjectId owner = AcDbObjectId(), uint8_t fault = 0)
      : kind(kind), begin(begin), end(end), object(object), owner(owner), fault(fault) {}
  Kind kind;
  uint64_t begin, end;
  AcDbObjectId object;
  AcDbObjectId owner;  // EndBlock, EndSequence: the block or the entity ended (written only with it)
  uint8_t fault;       // MendTag: the tag's fault (a TagFault)
};

// The file's own record.
class FileRecord : public AcDbStoredRecord {
 public:
  AcDbStoredRecord* cloneRecord() const override { return new FileRecord(*this); }

  ImageRef image;
  FileStyle style;
  size_t dataStart = 0;       // where the first tag begins (after a binary file's sentinel)
  // A drawing the host made (not read from a file): written whole, as a new R2018 drawing, with
  // the tables and objects every drawing has (made once and kept for the next save).
  bool fresh = false;
  std::unordered_map<std::string, AcDbObjectId> freshParts;
  std::string version = "AC1009";
  int release = 1009;         // the number in the version
  std::string codePage = "ANSI_1252";  // $DWGCODEPAGE as the drawing is read
  TextCodec codec;
  bool handles = true;        // the file gives its objects handles (R12 may not)
  bool r12() const { return release <= 1009; }

  // Every object of the file in file order; the bytes between two objects (sections, table
  // ends, comments, classes, the thumbnail, what follows EOF) are copied as they are.
  std::vector<AcDbStub*> objects;
  // The objects among them still in the file (owned by the database; null when there are none).
  DeferredRecords* deferred = nullptr;

  std::vector<HeaderVariable> header;
  bool hasHeader = false;
  uint64_t headerEnd = 0;      // where the HEADER section's ENDSEC begins
  uint64_t firstSection = 0;   // where the first SECTION begins
  // Where each section ends (its ENDSEC begins, or where the file leaves it without one); 0 where
  // that is not known (a file that ends inside a block).
  bool hasEntities = false;
  uint64_t entitiesBegin = 0;  // its SECTION
  uint64_t entitiesEnd = 0;
  bool hasObjects = false;
  uint64_t objectsEnd = 0;
  bool hasBlocks = false;
  uint64_t blocksEnd = 0;
  uint64_t eofAt = 0;          // where "0 EOF" begins (or the end of the data)
  bool cutShort = false;       // the file ends (or could be read) only up to eofAt: what it lost is lost
  // Where each block's ENDBLK begins, and where each table's ENDTAB begins.
  std::unordered_map<AcDbStub*, uint64_t> blockEnds;
  std::unordered_map<AcDbStub*, uint64_t> tableEnds;
  bool hasTables = false;
  uint64_t tablesEnd = 0;
  // What a save mends in the file's structure, in the order of the file.
  std::vector<StructureMend> mends;
  // The handles of objects the reader left out (references to them are left out too, where no
  // other object has the handle).
  std::unordered_set<uint64_t> leftOutHandles;
  // Tables the reader made for a drawing that lacks them (written at the end of the TABLES section,
  // with their records), and records it made for the file (a block record a BLOCK lacks: written at
  // the end of its table).
  std::vector<AcDbObjectId> madeTables;
  std::vector<AcDbObjectId> madeRecords;
  // Records of second tables of a kind, joined to the first: for the first table, its records
  // from the others (written at its end).
  std::unordered_map<const AcDbStub*, std::vector<AcDbStub*>> joinedRecords;
  // Fields whose children name them (or go too deep): for each, the indexes of the children whose
  // references a save cuts (writes as no handle).
  std::unordered_map<const AcDbStub*, std::vector<size_t>> cutChildren;

  HeaderState atLoad;
  // Header values the reader could not use, which a save writes as the host holds them.
  bool seedUnusable = false;     // $HANDSEED is no handle the host can use
  bool versionRepaired = false;  // $ACADVER is no version: the drawing is read (and written) as AC1032
  bool codePageRepaired = false; // $DWGCODEPAGE is no code page: read (and written) as ANSI_1252
  bool hasSeed = false;        // the file gives $HANDSEED
  uint64_t seedInFile = 0;     // as it gives it
  uint64_t seedAfterLoad = 0;  // the database's seed when the file had been read
  // What the writer added to the drawing's structure, kept from one save to the next: objects of
  // the file written from other bytes (dictionaries that gained entries), extension dictionaries
  // made for entities, and the BLOCK and ENDBLK of new blocks.
  std::unordered_map<const AcDbStub*, std::string> replaced;
  std::unordered_map<const AcDbStub*, AcDbObjectId> addedXdicts;
  std::unordered_map<const AcDbStub*, std::pair<AcDbObjectId, AcDbObjectId>> newBlockParts;
  // Dimensions the host made: the geometry block made for each, and the dimension's revision then.
  std::unordered_map<const AcDbStub*, std::pair<AcDbObjectId, uint32_t>> dimensionBlocks;
  // Fields written with a code of the host's: the code, the child fields made for it, the bytes.
  struct GeneratedField {
    std::wstring code;
    std::vector<AcDbObjectId> children;
    std::string bytes;
  };
  std::unordered_map<const AcDbStub*, GeneratedField> generatedFields;
  std::unordered_map<const AcDbStub*, AcDbObjectId> fieldDictionaries;  // entity to its ACAD_FIELD dictionary
  // Copies of a POLYLINE or an INSERT with attributes: the parts that follow their template's
  // record (VERTEX, ATTRIB, SEQEND), where they lie and the objects made to give them handles.
  struct CopiedPart {
    uint64_t begin, end;
    AcDbObjectId id;
  };
  std::unordered_map<const AcDbStub*, std::vector<CopiedPart>> copiedParts;
  // Names of symbol records as they stood in the file (by table kind), for objects that refer to
  // them by name: the raw bytes of the name to the record.
  std::unordered_map<std::string, AcDbObjectId> layerNames, styleNames, dimStyleNames, blockNames;
};

// The stored record of a field: also its code as it was read, or as it was last written.
class FieldRecord : public ObjectRecord {
 public:
  using ObjectRecord::ObjectRecord;
  AcDbStoredRecord* cloneRecord() const override { return new FieldRecord(*this); }
  std::wstring codeAtLoad;
};

inline bool hasOwnBytes(const ObjectRecord& record) { return record.has(ObjectRecord::kOwnBytes); }
// Whether a save writes the object of a record (not one the reader made that the file never shows).
inline bool isShownInFile(const ObjectRecord& record) {
  return !record.has(ObjectRecord::kSynthesized) || record.has(ObjectRecord::kMadeForFile);
}
// Whether a save writes the object with its handle, so that a reference to it finds it when read
// back (not one the file gave no handle).
inline bool showsHandleInFile(const ObjectRecord& record) {
  return isShownInFile(record) && !record.has(ObjectRecord::kNoHandle);
}

inline ObjectRecord* objectRecord(const AcDbObject* obj) {
  AcDbStoredRecord* record = obj ? AcDbCore::storedRecord(obj) : nullptr;
  if (record == nullptr) return nullptr;
  if (typeid(*record) == typeid(ObjectRecord)) return static_cast<ObjectRecord*>(record);  // the common case, cheaply
  return dynamic_cast<ObjectRecord*>(record);
}
// Where the record of an object of the file lies: from its stored record, or for an entity still
// in the file from the deferred records; false for an object the file did not hold.
inline bool recordPlace(const FileRecord& file, const AcDbStub& stub, uint64_t& begin, uint64_t& end) {
  if (stub.isDeferred()) {
    begin = file.deferred->begin(stub);
    end = file.deferred->end(stub);
    return true;
  }
  const ObjectRecord* record = objectRecord(stub.loaded());
  if (record == nullptr) return false;
  begin = record->begin();
  end = record->end();
  return true;
}

inline FileRecord* fileRecord(const AcDbDatabase* db) {
  return db ? dynamic_cast<FileRecord*>(AcDbCore::imp(db)->fileRecord.get()) : nullptr;
}

}  // namespace cadhost::dxf
