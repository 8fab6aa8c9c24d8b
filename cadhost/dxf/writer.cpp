// Writing a drawing back into its file's form: unchanged objects as the bytes they were read
// from, changed ones from their own record with the changed values replaced, new ones where the
// host puts them, erased ones left out with what they own and the references to them.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_set>

#include "aheadworker.h"
#include "dimensionblocks.h"
#include "fieldwriter.h"
#include "messages.h"
#include "reading.h"
#include "records.h"
#include "tagfaults.h"
#include "tagout.h"

namespace cadhost::dxf {

namespace {

// Decoding records again to compare them with the objects: names and handles are looked up,
// nothing is made.
class CompareContext : public DecodeContext {
 public:
  CompareContext(AcDbDatabase* db, FileRecord& file) : DecodeContext(db, file, false) {}
  // While a damaged record is decoded: its tags whose values the decoding could not use are
  // marked in flagged (by their index from tags).
  std::vector<uint8_t>* flagged = nullptr;
  const Tag* tags = nullptr;
  AcDbObjectId named(Ref kind, std::string_view raw, AcDbObject*) override {
    if (raw.empty()) raw = kind == Ref::Layer ? "0" : "STANDARD";
    return findNamedRecord(file, AcDbCore::imp(db), kind, raw, false);
  }
  AcDbObjectId object(uint64_t handle) override {
    AcDbStub* stub = handle ? AcDbCore::imp(db)->findHandle(handle) : nullptr;
    return AcDbObjectId(stub);
  }
  void badValue(const Tag& tag, const char*) override {
    if (flagged == nullptr) return;
    const size_t index = static_cast<size_t>(&tag - tags);
    if (index < flagged->size() && (*flagged)[index] == 0) (*flagged)[index] = kFlaggedByDecoding;
  }
  static constexpr uint8_t kFlaggedByDecoding = 0xFF;  // beside the TagFault values
};

bool isPaperSpace(AcDbObjectId blockId) {
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
  if (block == nullptr || !block->isLayout()) return false;
  return acdbUpperName(AcDbCore::name(block)) != L"*MODEL_SPACE";
}

// Among edits at the same place, in this order: the ends of what the file left open come after
// what is added inside them, and before what is added after them; what is left out comes last.
enum EditOrder : int {
  kHeaderSection = -1,  // a HEADER section for a drawing without one
  kEndSequence = 0,     // a SEQEND the file lacks
  kRecordsAtEnd,        // records at the end of their table, entities at the end of their block
  kEndTableOrBlock,     // an ENDTAB or ENDBLK the file lacks
  kNewObjects,          // objects at the end of the OBJECTS section
  kNewTablesAndBlocks,  // tables and blocks at the end of their sections (or a BLOCKS section)
  kNewEntities,         // entities at the end of the ENTITIES section
  kEndSection,          // an ENDSEC the file lacks
  kBlocksSection,       // a BLOCKS section for a drawing without one (before its ENTITIES)
  kEntitiesSection,     // an ENTITIES section for a drawing without one
  kEndOfFile,           // an EOF the file lacks
  kLeftOut,             // bytes left out, or a tag written mended
};

struct Edit {
  uint64_t begin = 0, end = 0;  // the bytes of the file it replaces (none for an insertion)
  int order = 0;                // among edits at the same place
  std::string text;             // written first
  std::vector<AcDbStub*> moved;    // then these objects of the file, written here
  std::vector<AcDbStub*> tables;   // then these tables the reader made, with their records
  std::vector<AcDbStub*> objects;  // then these new objects
  std::string after;            // then this
};

class Writer {
 public:
  Writer(AcDbDatabase* db, std::string& out, size_t flushAt, const std::function<bool(std::string&)>& flush)
      : mDb(db), mImp(AcDbCore::imp(db)), mFile(*fileRecord(db)), mBuffer(out),
        mOut(out, mFile.style, mFile.codec), mFlushAt(flushAt), mFlush(flush), mCompare(db, mFile), mSink(200) {}

  WriteResult run();

 private:
  void warn(std::wstring text) {
    Message m;
    m.text = std::move(text);
    mSink.add(m);
  }
  bool flushIfFull() {
    if (mBuffer.size() < mFlushAt) return true;
    if (!mFlush(mBuffer)) {
      mFailed = true;
      return false;
    }
    mBuffer.clear();
    return true;
  }

  // What is written.
  bool isWritten(const AcDbStub* stub);
  void prepare();
  Edit& insertion(uint64_t offset, int order);
  void planNewObjects();
  void planMends();
  void writeEnd(TagOut& out, const char* type, AcDbObjectId object, AcDbObjectId owner, const char* subclass);
  void mended(TagOut& out, const Tag& tag, const FileImage* image, TagFault fault);
  void writeMadeTable(AcDbStub* table);
  void emitTag(const RecordTags& tags, size_t i, const FileImage* image);
  void planHeader();
  void headerValue(const char* name, int code, const std::function<void(TagOut&, const Tag*)>& write);
  AcDbObjectId layoutBlock(const AcDbStub* layout);

  // Writing.
  void copyGap(uint64_t from, uint64_t to);
  void emitEdit(const Edit& edit);
  void writeObject(AcDbStub* stub);
  void writeChanged(AcDbStub* stub, const ObjectRecord& record, const AcDbObject* source);
  bool copyUnchanged(const FileImage* image, uint64_t begin, uint64_t end);
  // Patching changed entities on a second core.
  bool patchableAhead(AcDbStub* stub);
  std::unique_ptr<AheadWorker> startPatchingAhead();
  void writeNewObject(AcDbStub* stub);
  void writeNewBlock(AcDbStub* blockStub);
  // A drawing the host made, written whole.
  void writeFresh();
  AcDbObjectId freshPart(const std::string& key, const wchar_t* type, AcDbObjectId owner);
  void writeFreshTable(const char* kind, AcDbObjectId table, int count, const char* subclass = nullptr);
  bool needsFixup(const RecordTags& tags, const FileImage* image);
  void patch(const RecordTags& tags, const FileImage* image, AcDbStub* stub, const AcDbObject* source,
             bool isNew);
  void generate(AcDbStub* stub, const AcDbObject* obj);
  void writeValue(const Property& property, const Value& value, const Tag* tag, const FileImage* image);
  void writeTextChunks(const std::wstring& text);
  void writeVertices(const AcDbPolyline* pline, const RecordTags* before = nullptr, const FileImage* image = nullptr);
  void encodeCut(const std::wstring& text);
  static constexpr size_t kMaxOldString = 255;
  // The object being written (for messages).
  const AcDbStub* mWriting = nullptr;
  std::string mWritingType;  // (its type, as the file writes it: plain ASCII)
  void writeDimensionOverrides(const RecordTags& tags, const FileImage* image, size_t from, const AcDbDimension* dim,
                               const AcDbDimension* before);
  bool isRenamed(AcDbObjectId id) const { return mRenamed.count(id) != 0; }
  // Whether references to a handle go: the object is erased (or what owns it is); or no object
  // has the handle, because the reader left the object out or read the file up to where it was
  // cut short.
  bool isGone(uint64_t handle) const {
    if (mErasedHandles.count(handle) != 0) return true;
    if (handle == 0 || !(mFile.cutShort || mFile.leftOutHandles.count(handle) != 0)) return false;
    const AcDbStub* stub = mImp->findHandle(handle);
    return stub == nullptr || !stub->hasObject();
  }
  uint64_t handleOf(AcDbObjectId id) const { return id.isNull() ? 0 : id.handle().value(); }

  AcDbDatabase* mDb;
  AcDbImpDatabase* mImp;
  FileRecord& mFile;
  std::string& mBuffer;
  TagOut mOut;
  size_t mFlushAt;
  // A mapped file's pages are given back behind the copy, every so many bytes.
  static constexpr uint64_t kReleaseEvery = 1 << 20;
  uint64_t mReleasedUpTo = 0;
  const std::function<bool(std::string&)>& mFlush;
  CompareContext mCompare;
  MessageSink mSink;
  bool mFailed = false;

  bool mAnyErased = false;
  std::unordered_map<const AcDbStub*, bool> mWrittenCache;
  std::unordered_set<uint64_t> mErasedHandles;
  std::unordered_set<AcDbObjectId> mRenamed;
  std::unordered_set<std::string> mRenamedRaw;
  std::unordered_map<const AcDbStub*, AcDbObjectId> mLayoutBlocks;
  bool mLayoutBlocksReady = false;
  // Blocks have records of their own (R12 drawings have none, unless the file gives a table of
  // them anyway): a new block then gets its record, and its BLOCK a handle of its own.
  bool mBlocksHaveRecords = true;
  std::vector<Edit> mEdits;
  std::unordered_map<uint64_t, size_t> mInsertionAt;  // insertions by place and order
  size_t mNextEdit = 0;
  // While a damaged record is patched: the fault of each of its tags (0 for none), else null.
  std::vector<uint8_t> mFaultsScratch;
  const std::vector<uint8_t>* mFaults = nullptr;
  RecordTags mTags;
  size_t mStubsBefore = 0;                // objects the database held when the save began
  std::vector<AcDbStub*> mNewObjects;     // in the order they were made
  std::vector<AcDbStub*> mWithFields;
  std::vector<Value> mValues;
  std::string mEncoded;  // a text value encoded for the file
  std::vector<char> mChanged, mPresent, mEmitted;
  std::vector<int> mSlotOfMarker;
  std::vector<int> mMainProperty;
  // The changed entities patched ahead (by their places in mFile.objects), and the worker's own
  // writer, which shares this one's plan.
  std::vector<uint32_t> mAheadItems;
  std::string mHelperBuffer;
  std::unique_ptr<Writer> mHelper;
  // What the worker's writer reports, by item (rare: guarded by a lock), and how much of it this
  // thread has passed on, in the order of the items as one thread would report it.
  std::mutex mAheadMessagesLock;
  std::vector<std::pair<size_t, Message>> mAheadMessages;
  std::atomic<size_t> mAheadMessageCount{0};
  size_t mAheadMessagesPassed = 0;
  void passAheadMessagesUpTo(size_t item);
};

// ---- What is written ------------------------------------------------------------------------

// An object is written unless it, or an object that owns it, is erased.
bool Writer::isWritten(const AcDbStub* stub) {
  if (stub == nullptr || !stub->hasObject()) return false;
  if (!mAnyErased) return !stub->erased;
  const auto cached = mWrittenCache.find(stub);
  if (cached != mWrittenCache.end()) return cached->second;
  bool written = true;
  const AcDbStub* s = stub;
  for (int depth = 0; s != nullptr && depth < 64; ++depth) {
    if (s->erased) { written = false; break; }
    if (!s->hasObject()) break;
    const AcDbStub* owner = s->isDeferred() ? mFile.deferred->owner(*s) : s->loaded()->ownerId().stub();
    if (owner == s) break;
    if (const auto it = mWrittenCache.find(owner); owner && it != mWrittenCache.end()) {
      written = it->second;
      break;
    }
    s = owner;
  }
  mWrittenCache.emplace(stub, written);
  return written;
}

AcDbObjectId Writer::layoutBlock(const AcDbStub* layout) {
  if (!mLayoutBlocksReady) {
    mLayoutBlocksReady = true;
    if (const auto* table = AcDbCore::objectAs<AcDbBlockTable>(mImp->blockTable))
      for (AcDbObjectId id : AcDbCore::records(table))
        if (const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(id); block && !block->getLayoutId().isNull())
          mLayoutBlocks[block->getLayoutId().stub()] = id;
  }
  const auto it = mLayoutBlocks.find(layout);
  return it == mLayoutBlocks.end() ? AcDbObjectId() : it->second;
}

void Writer::prepare() {
  updateDimensionBlocks(mDb, mFile, [this](std::wstring text) { warn(std::move(text)); });
  // One pass over the objects: what is erased, what is new, what has fields.
  mStubsBefore = mImp->stubs.size();
  mBlocksHaveRecords = !mFile.r12() || mFile.tableEnds.count(mImp->blockTable.stub()) != 0;
  for (auto& stub : mImp->stubs) {
    if (stub.erased && stub.hasObject()) mAnyErased = true;  // (the reader may leave out one still in the file)
    const AcDbObject* obj = stub.loaded();  // those still in the file are as they were read
    if (obj == nullptr) continue;
    if (obj->isNewObject()) mNewObjects.push_back(&stub);
    if (AcDbCore::fields(obj) != nullptr && !stub.erased) mWithFields.push_back(&stub);
  }
  if (mAnyErased) {
    for (AcDbStub* stub : mFile.objects)
      if (!isWritten(stub)) mErasedHandles.insert(stub->handle.value());
    for (const auto& stub : mImp->stubs)
      if (stub.erased) mErasedHandles.insert(stub.handle.value());
  }
  // References to what the reader left out, or what a cut lost, go as those to erased objects.
  if (mFile.cutShort || !mFile.leftOutHandles.empty()) mAnyErased = true;
  // Records renamed since the file was read: what refers to them by name changes too.
  std::unordered_map<AcDbObjectId, bool> checked;
  RecordTags tags;
  auto collect = [&](const std::unordered_map<std::string, AcDbObjectId>& names) {
    for (const auto& [raw, id] : names) {
      const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(id);
      const auto* stored = record ? objectRecord(record) : nullptr;
      // (A block the reader made for a name the file does not define has the name as the host
      // spells it: references spelt otherwise are written with it.)
      if (record != nullptr && stored == nullptr && mFile.codec.decode(raw) != AcDbCore::name(record)) {
        mRenamed.insert(id);
        mRenamedRaw.insert(raw);
        continue;
      }
      if (stored == nullptr || stored->has(ObjectRecord::kSynthesized) ||
          AcDbCore::revision(record) == stored->revisionAtLoad())
        continue;
      auto it = checked.find(id);
      if (it == checked.end()) {
        bool renamed = false;
        if (readRecordTags(*stored, tags)) {
          std::unique_ptr<AcDbObject> before(stored->has(ObjectRecord::kBlockEntity) ? decodeBlockEntity(tags, mCompare)
                                                                                     : decodeRecord(tags, mCompare, false));
          const auto* old = AcDbSymbolTableRecord::cast(before.get());
          renamed = old != nullptr && std::wstring_view(AcDbCore::name(old)) != AcDbCore::name(record);
        }
        it = checked.emplace(id, renamed).first;
      }
      if (it->second) {
        mRenamed.insert(id);
        mRenamedRaw.insert(raw);
      }
    }
  };
  collect(mFile.layerNames);
  collect(mFile.styleNames);
  collect(mFile.dimStyleNames);
  collect(mFile.blockNames);
  // New blocks need a BLOCK and an ENDBLK with handles of their own.
  auto ensureParts = [&](AcDbStub* block) {
    auto& parts = mFile.newBlockParts[block];
    const AcDbObjectId blockId(block);
    if (parts.first.isNull() && mBlocksHaveRecords) {
      AcDbCore::addToDatabase(mDb, new AcDbUnmodeledObject(L"BLOCK"), blockId, 0, parts.first);
      AcDbCore::setStoredRecord(AcDbCore::object(parts.first), new ObjectRecord(nullptr, 0, 0, ObjectRecord::kSynthesized));
    }
    if (parts.second.isNull() && mFile.handles) {
      AcDbCore::addToDatabase(mDb, new AcDbUnmodeledObject(L"ENDBLK"), blockId, 0, parts.second);
      AcDbCore::setStoredRecord(AcDbCore::object(parts.second), new ObjectRecord(nullptr, 0, 0, ObjectRecord::kSynthesized));
    }
  };
  for (AcDbStub* stub : mNewObjects) {
    const auto* block = AcDbBlockTableRecord::cast(stub->object());
    if (block != nullptr && !stub->erased && !block->isLayout()) ensureParts(stub);
  }
  // Copies of entities whose records are followed by parts (a POLYLINE's vertices, an INSERT's
  // attributes): the parts are copied too, with handles of their own.
  for (AcDbStub* newStub : mNewObjects) {
    AcDbStub& stub = *newStub;
    AcDbObject* obj = stub.object();
    if (obj == nullptr || stub.erased || AcDbEntity::cast(obj) == nullptr) continue;
    const ObjectRecord* record = objectRecord(obj);
    if (record == nullptr || record->image() == nullptr || hasOwnBytes(*record) || mFile.copiedParts.count(&stub)) continue;
    if (!readRecordTags(*record, tags) || (tags.type != "POLYLINE" && tags.type != "INSERT")) continue;
    std::vector<FileRecord::CopiedPart> parts;
    const FileImage* image = record->image();
    uint64_t at = record->end();
    RecordTags part;
    while (at < image->size()) {
      TagReader reader(image->data(), image->size(), image->style, static_cast<size_t>(at));
      Tag t;
      if (!reader.next(t) || t.code != 0 || !(t.value == "VERTEX" || t.value == "ATTRIB" || t.value == "SEQEND")) break;
      const bool last = t.value == "SEQEND";
      uint64_t end = t.end;
      while (reader.next(t) && !(t.code == 0 && isRecordType(t.value))) end = t.end;
      parts.push_back({at, end, AcDbObjectId()});
      at = end;
      if (last) break;
    }
    for (auto& p : parts) {
      auto* ent = new AcDbUnmodeledEntity(L"");
      AcDbCore::addToDatabase(mDb, ent, AcDbObjectId(&stub), 0, p.id);
      AcDbCore::setStoredRecord(ent, new ObjectRecord(nullptr, 0, 0, ObjectRecord::kSynthesized));
    }
    mFile.copiedParts.emplace(&stub, std::move(parts));
  }
}

// ---- Planning the edits ---------------------------------------------------------------------

Edit& Writer::insertion(uint64_t offset, int order) {
  const uint64_t key = offset * 16 + static_cast<uint64_t>(order + 1);
  const auto it = mInsertionAt.find(key);
  if (it != mInsertionAt.end()) return mEdits[it->second];
  Edit edit;
  edit.begin = edit.end = offset;
  edit.order = order;
  mEdits.push_back(std::move(edit));
  mInsertionAt.emplace(key, mEdits.size() - 1);
  return mEdits.back();
}

void Writer::planNewObjects() {
  std::vector<AcDbStub*> newBlocks;
  std::vector<AcDbStub*> newEntities;
  // What the reader made for the file: tables it lacked (with their records) at the end of the
  // TABLES section, block records at the end of theirs, and records of second tables of a kind at
  // the end of the first.
  std::unordered_set<const AcDbStub*> madeTables;
  for (AcDbObjectId table : mFile.madeTables) {
    madeTables.insert(table.stub());
    insertion(mFile.tablesEnd, kNewTablesAndBlocks).tables.push_back(table.stub());
  }
  for (const auto& [table, records] : mFile.joinedRecords) {
    const auto endTab = mFile.tableEnds.find(const_cast<AcDbStub*>(table));
    if (endTab == mFile.tableEnds.end()) continue;
    auto& moved = insertion(endTab->second, kRecordsAtEnd).moved;
    moved.insert(moved.end(), records.begin(), records.end());
  }
  for (AcDbObjectId id : mFile.madeRecords) {
    const AcDbObject* record = AcDbCore::object(id);
    if (record == nullptr || !isWritten(id.stub()) || madeTables.count(record->ownerId().stub())) continue;
    const auto endTab = mFile.tableEnds.find(record->ownerId().stub());
    if (endTab != mFile.tableEnds.end()) insertion(endTab->second, kRecordsAtEnd).objects.push_back(id.stub());
  }
  // The new objects, and what the save itself made (parts of blocks and copies, fields).
  for (size_t i = mStubsBefore; i < mImp->stubs.size(); ++i) mNewObjects.push_back(&mImp->stubs[i]);
  for (AcDbStub* newStub : mNewObjects) {
    AcDbStub& stub = *newStub;
    AcDbObject* obj = stub.object();
    if (obj == nullptr || !obj->isNewObject() || !isWritten(&stub)) continue;
    const auto* record = objectRecord(obj);
    if (record && record->has(ObjectRecord::kSynthesized)) continue;
    if (AcDbEntity::cast(obj)) {
      newEntities.push_back(&stub);
    } else if (auto* rec = AcDbSymbolTableRecord::cast(obj)) {
      const bool isBlock = AcDbBlockTableRecord::cast(obj) != nullptr;
      if (isBlock) newBlocks.push_back(&stub);
      if (madeTables.count(obj->ownerId().stub()) || (isBlock && !mBlocksHaveRecords)) continue;
      const auto endTab = mFile.tableEnds.find(obj->ownerId().stub());
      if (endTab == mFile.tableEnds.end()) {
        warn(L"the new " + std::wstring(rec->isA()->dxfName()) + L" '" + std::wstring(AcDbCore::name(rec)) +
             L"' is not saved: the file has no table for it");
        if (isBlock) newBlocks.pop_back();
        continue;
      }
      insertion(endTab->second, kRecordsAtEnd).objects.push_back(&stub);
    } else if (record != nullptr && hasOwnBytes(*record) && mFile.hasObjects && mFile.objectsEnd != 0) {
      // Objects the writer made (fields and their dictionaries) go to the end of the OBJECTS.
      insertion(mFile.objectsEnd, kNewObjects).objects.push_back(&stub);
    }
  }
  // A new block is a BLOCK, its entities and an ENDBLK, at the end of the BLOCKS section (a
  // drawing without one gets one before its entities).
  std::unordered_set<const AcDbStub*> blocksWritten;
  for (AcDbStub* block : newBlocks) {
    if (AcDbCore::objectAs<AcDbBlockTableRecord>(AcDbObjectId(block))->isLayout()) continue;
    if (!blocksWritten.insert(block).second) continue;
    Edit* edit = nullptr;
    if (mFile.hasBlocks) {
      edit = &insertion(mFile.blocksEnd, kNewTablesAndBlocks);
    } else {
      edit = &insertion(mFile.hasEntities ? mFile.entitiesBegin : mFile.eofAt, kBlocksSection);
      if (edit->objects.empty()) {
        TagOut out(edit->text, mFile.style, mFile.codec);
        out.string(0, "SECTION");
        out.string(2, "BLOCKS");
        TagOut end(edit->after, mFile.style, mFile.codec);
        end.string(0, "ENDSEC");
      }
    }
    edit->objects.push_back(nullptr);  // a marker: the next object is a whole new block
    edit->objects.push_back(block);
  }
  for (AcDbStub* stub : newEntities) {
    const AcDbObjectId owner = stub->object()->ownerId();
    const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(owner);
    if (block == nullptr) continue;
    if (block->isNewObject()) continue;  // written with its new block
    const auto blockEnd = mFile.blockEnds.find(owner.stub());
    const bool inEntities = block->isLayout() && (acdbUpperName(AcDbCore::name(block)) == L"*MODEL_SPACE" ||
                                                  acdbUpperName(AcDbCore::name(block)) == L"*PAPER_SPACE");
    if (inEntities || blockEnd == mFile.blockEnds.end()) {
      if (mFile.hasEntities && mFile.entitiesEnd != 0) {
        insertion(mFile.entitiesEnd, kNewEntities).objects.push_back(stub);
      } else {
        Edit& edit = insertion(mFile.eofAt, kEntitiesSection);
        if (edit.objects.empty()) {
          TagOut out(edit.text, mFile.style, mFile.codec);
          out.string(0, "SECTION");
          out.string(2, "ENTITIES");
          TagOut end(edit.after, mFile.style, mFile.codec);
          end.string(0, "ENDSEC");
        }
        edit.objects.push_back(stub);
      }
    } else {
      insertion(blockEnd->second, kRecordsAtEnd).objects.push_back(stub);
    }
  }
}

// The mends of the file's structure the reader found it needs: what it leaves out, the tags it
// writes mended, and the ends of what the file leaves open.
void Writer::planMends() {
  const FileImage* image = mFile.image.get();
  for (const StructureMend& mend : mFile.mends) {
    using Kind = StructureMend::Kind;
    if ((mend.kind == Kind::EndBlock || mend.kind == Kind::EndSequence) && !isWritten(mend.owner.stub())) continue;
    Edit edit;
    edit.begin = mend.begin;
    edit.end = mend.begin;
    TagOut out(edit.text, mFile.style, mFile.codec);
    switch (mend.kind) {
      case Kind::LeaveOut:
        edit.end = mend.end;
        edit.order = kLeftOut;
        break;
      case Kind::MendTag: {
        edit.end = mend.end;
        edit.order = kLeftOut;
        TagReader reader(image->data(), static_cast<size_t>(mend.end), image->style, static_cast<size_t>(mend.begin), image->size());
        Tag tag;
        if (reader.next(tag)) mended(out, tag, image, static_cast<TagFault>(mend.fault));
        break;
      }
      case Kind::EndTable:
        edit.order = kEndTableOrBlock;
        out.string(0, "ENDTAB");
        break;
      case Kind::EndBlock:
        edit.order = kEndTableOrBlock;
        writeEnd(out, "ENDBLK", mend.object, mend.owner, "AcDbBlockEnd");
        break;
      case Kind::EndSequence:
        edit.order = kEndSequence;
        writeEnd(out, "SEQEND", mend.object, mend.owner, nullptr);
        break;
      case Kind::EndSection:
        edit.order = kEndSection;
        out.string(0, "ENDSEC");
        break;
      case Kind::EndOfFile:
        edit.order = kEndOfFile;
        out.string(0, "EOF");
        break;
    }
    mEdits.push_back(std::move(edit));
  }
}

// An ENDBLK (of a block) or a SEQEND (of a POLYLINE or an INSERT) with the handle of the object
// that stands for it; subclass names the ENDBLK's marker.
void Writer::writeEnd(TagOut& out, const char* type, AcDbObjectId object, AcDbObjectId owner, const char* subclass) {
  const bool r12 = mFile.r12();
  out.string(0, type);
  if (mFile.handles && !object.isNull()) out.handle(5, handleOf(object));
  if (!r12) {
    out.handle(330, handleOf(owner));
    out.string(100, "AcDbEntity");
  }
  const auto* entity = AcDbCore::objectAs<AcDbEntity>(subclass == nullptr ? object : AcDbObjectId());
  const auto* layer = entity ? AcDbCore::objectAs<AcDbLayerTableRecord>(entity->layerId()) : nullptr;
  out.text(8, layer ? AcDbCore::name(layer) : L"0");
  if (!r12 && subclass != nullptr) out.string(100, subclass);
}

// A tag with a fault, written as a save mends it (see TagMend).
void Writer::mended(TagOut& out, const Tag& tag, const FileImage* image, TagFault fault) {
  switch (mendOf(fault)) {
    case TagMend::WriteZero:
      if (valueKind(tag.code) == ValueKind::Double) out.replaceReal(tag, image, 0);
      else if (valueKind(tag.code) == ValueKind::String) return;  // (no number goes there)
      else out.replaceInteger(tag, image, 0);
      return;
    case TagMend::AddY:
      out.copy(tag, image);
      out.real(tag.code + 10, 0);
      return;
    case TagMend::ZeroAndY:
      out.replaceReal(tag, image, 0);
      out.real(tag.code + 10, 0);
      return;
    case TagMend::LeaveOut:
    case TagMend::CloseGroup:
      return;
  }
}

// Replaces the value of a header variable, or adds the variable at the end of the header.
void Writer::headerValue(const char* name, int code, const std::function<void(TagOut&, const Tag*)>& write) {
  for (const auto& variable : mFile.header) {
    if (variable.name != name) continue;
    Edit edit;
    edit.begin = variable.begin;
    edit.end = variable.end;
    TagOut out(edit.text, mFile.style, mFile.codec);
    TagReader reader(mFile.image->data(), static_cast<size_t>(variable.end), mFile.style, static_cast<size_t>(variable.begin),
                     mFile.image->size());
    // The variable is written with its name and the one value (what else it held goes).
    Tag t;
    const Tag* value = nullptr;
    std::vector<Tag> tags;
    while (reader.next(t)) tags.push_back(t);
    for (const Tag& tag : tags)
      if (tag.code == code && value == nullptr) value = &tag;
    if (!tags.empty()) out.copy(tags[0], mFile.image.get());
    write(out, value);
    mEdits.push_back(std::move(edit));
    return;
  }
  std::string text;
  TagOut out(text, mFile.style, mFile.codec);
  out.string(9, name);
  write(out, nullptr);
  if (mFile.hasHeader) {
    Edit edit;
    edit.begin = edit.end = mFile.headerEnd;
    edit.text = std::move(text);
    mEdits.push_back(std::move(edit));
    return;
  }
  // A drawing without a HEADER section gets one before its first section.
  for (auto& edit : mEdits) {
    if (edit.order == -1) {
      edit.text += text;
      return;
    }
  }
  Edit edit;
  edit.begin = edit.end = std::min<uint64_t>({mFile.firstSection, mFile.eofAt, mFile.image->size()});
  edit.order = -1;
  TagOut open(edit.text, mFile.style, mFile.codec);
  open.string(0, "SECTION");
  open.string(2, "HEADER");
  edit.text += text;
  TagOut close(edit.after, mFile.style, mFile.codec);
  close.string(0, "ENDSEC");
  mEdits.push_back(std::move(edit));
}

void Writer::planHeader() {
  const HeaderState& h = mFile.atLoad;
  if (mFile.handles) {
    // The seed goes past the handles given out since the file was read; a seed the file gave too
    // low is raised.
    const bool handedOut = mImp->handseed != mFile.seedAfterLoad;
    const uint64_t seed = handedOut ? mImp->handseed : h.handseed;
    if (mFile.seedUnusable || (mFile.hasSeed ? seed != mFile.seedInFile : handedOut))
      headerValue("$HANDSEED", 5, [seed](TagOut& out, const Tag*) { out.handle(5, seed); });
  }
  const FileImage* image = mFile.image.get();
  // A version or code page the reader could not use: the drawing was read as the host writes it.
  const auto stringVar = [&](const char* name, int code, const std::string& value) {
    headerValue(name, code, [image, code, value](TagOut& out, const Tag* t) {
      if (t) out.replaceString(*t, image, value);
      else out.string(code, value);
    });
  };
  if (mFile.versionRepaired) stringVar("$ACADVER", 1, mFile.version);
  if (mFile.codePageRepaired) stringVar("$DWGCODEPAGE", 3, mFile.codePage);
  auto intVar = [&](const char* name, int64_t value) {
    headerValue(name, 70, [value, image](TagOut& out, const Tag* t) {
      if (t) out.replaceInteger(*t, image, value);
      else out.integer(70, value);
    });
  };
  if (mDb->lunits() != h.lunits) intVar("$LUNITS", mDb->lunits());
  if (mDb->luprec() != h.luprec) intVar("$LUPREC", mDb->luprec());
  if (mDb->insunits() != h.insunits) intVar("$INSUNITS", mDb->insunits());
  if (mDb->textsize() != h.textsize) {
    const double size = mDb->textsize();
    headerValue("$TEXTSIZE", 40, [size, image](TagOut& out, const Tag* t) {
      if (t) out.replaceReal(*t, image, size);
      else out.real(40, size);
    });
  }
  auto nameVar = [&](const char* name, int code, AcDbObjectId now, AcDbObjectId before) {
    if (now == before && !isRenamed(now)) return;
    const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(now);
    if (record == nullptr) return;
    const std::string encoded = mFile.codec.encode(AcDbCore::name(record));
    headerValue(name, code, [encoded, image, code](TagOut& out, const Tag* t) {
      if (t) out.replaceString(*t, image, encoded);
      else out.string(code, encoded);
    });
  };
  nameVar("$CLAYER", 8, mImp->clayer, h.clayer);
  nameVar("$TEXTSTYLE", 7, mImp->textstyle, h.textstyle);
  nameVar("$DIMSTYLE", 2, mImp->dimstyle, h.dimstyle);
}

// ---- Writing --------------------------------------------------------------------------------

void Writer::copyGap(uint64_t from, uint64_t to) {
  const char* data = mFile.image->data();
  while (mNextEdit < mEdits.size() && mEdits[mNextEdit].begin <= to) {
    const Edit& edit = mEdits[mNextEdit];
    if (edit.begin < from) {  // inside an object that was replaced: cannot happen
      ++mNextEdit;
      continue;
    }
    mBuffer.append(data + from, static_cast<size_t>(edit.begin - from));
    emitEdit(edit);
    from = std::max(from, edit.end);
    ++mNextEdit;
  }
  if (to > from) mBuffer.append(data + from, static_cast<size_t>(to - from));
  flushIfFull();
}

void Writer::emitEdit(const Edit& edit) {
  mOut.endOpenLine();
  mBuffer.append(edit.text);
  for (AcDbStub* stub : edit.moved) writeObject(stub);
  for (AcDbStub* table : edit.tables) writeMadeTable(table);
  for (size_t i = 0; i < edit.objects.size(); ++i) {
    if (edit.objects[i] == nullptr && i + 1 < edit.objects.size()) {
      writeNewBlock(edit.objects[++i]);
      continue;
    }
    writeNewObject(edit.objects[i]);
    flushIfFull();
  }
  mBuffer.append(edit.after);
}

// An unchanged record goes out as it is, unless it names an object that was erased or a record
// that was renamed: then false, with its tags in mTags for the patch.
bool Writer::copyUnchanged(const FileImage* image, uint64_t begin, uint64_t end) {
  if (image == nullptr) return true;  // nothing the file held
  if (mAnyErased || !mRenamed.empty()) {
    if (!readRecordTags(image, begin, end, mTags)) {
      mBuffer.append(image->view(begin, end));  // not a record the writer can patch
      return true;
    }
    if (needsFixup(mTags, image)) return false;
  }
  mBuffer.append(image->view(begin, end));
  return true;
}

void Writer::writeObject(AcDbStub* stub) {
  if (stub->isDeferred()) {
    // Still in the file, so unchanged; made only when it has to be patched.
    if (!isWritten(stub)) return;
    if (!copyUnchanged(mFile.image.get(), mFile.deferred->begin(*stub), mFile.deferred->end(*stub)))
      patch(mTags, mFile.image.get(), stub, stub->object(), false);
    return;
  }
  AcDbObject* obj = stub->object();
  const ObjectRecord* record = objectRecord(obj);
  if (record == nullptr || !isWritten(stub)) return;
  // The object whose properties the record holds: itself, or for a BLOCK or LAYOUT the block
  // record they belong to.
  const AcDbObject* source = obj;
  // (A record with damage the reader reported, or a new handle, is written mended.)
  bool changed = AcDbCore::revision(obj) != record->revisionAtLoad() ||
                 record->has(static_cast<ObjectRecord::Flags>(ObjectRecord::kRehandled | ObjectRecord::kRepaired)) ||
                 (!mFile.addedXdicts.empty() && mFile.addedXdicts.count(stub) != 0);
  if (const auto* unmodeled = AcDbUnmodeledObject::cast(obj)) {
    const std::wstring_view type = unmodeled->typeName();
    if (type == L"BLOCK" || type == L"LAYOUT") {
      const AcDbObjectId blockId = type == L"BLOCK" ? obj->ownerId() : layoutBlock(stub);
      const AcDbObject* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
      if (block != nullptr) {
        source = block;
        const auto* blockRecord = objectRecord(block);
        if (blockRecord && (AcDbCore::revision(block) != blockRecord->revisionAtLoad() ||
                            (type == L"BLOCK" && blockRecord->has(ObjectRecord::kRepaired))))
          changed = true;
      }
    }
  }
  if (!mFile.replaced.empty()) {
    if (const auto it = mFile.replaced.find(stub); it != mFile.replaced.end()) {
      mBuffer.append(it->second);  // a dictionary that gained entries, a field with a new code
      return;
    }
  }
  if (!changed) {
    if (!copyUnchanged(record->image(), record->begin(), record->end())) patch(mTags, record->image(), stub, source, false);
    return;
  }
  writeChanged(stub, *record, source);
}

// A changed object written from its own record, patched with the properties of source.
void Writer::writeChanged(AcDbStub* stub, const ObjectRecord& record, const AcDbObject* source) {
  if (!readRecordTags(record, mTags)) {
    mBuffer.append(record.bytes());
    return;
  }
  patch(mTags, record.image(), stub, source, false);
}

// Whether an entity is one whose record the save patches and that nothing else in the save
// touches, so that a second thread may patch it: made and changed, written, with no dictionary
// added and no record replaced. The worker asks this of the entities made from the file (reading
// them, and maps that stay as they are while the objects are written) and patches only these
// while this thread writes the rest; it shares no scratch with this thread.
bool Writer::patchableAhead(AcDbStub* stub) {
  AcDbObject* obj = stub->loaded();
  if (obj == nullptr || AcDbEntity::cast(obj) == nullptr || AcDbUnmodeledObject::cast(obj) != nullptr) return false;
  const ObjectRecord* record = objectRecord(obj);
  if (record == nullptr || record->image() == nullptr || !isWritten(stub)) return false;
  if (mFile.addedXdicts.count(stub) != 0 || mFile.replaced.count(stub) != 0) return false;
  return AcDbCore::revision(obj) != record->revisionAtLoad() ||
         record->has(static_cast<ObjectRecord::Flags>(ObjectRecord::kRehandled | ObjectRecord::kRepaired));
}

// Starts a worker that patches changed entities ahead of this thread when many were made from the
// file. Not when anything is erased or renamed: then writing unchanged entities still in the file
// makes them, which changes the database that the worker reads.
std::atomic<size_t> gPatchAheadFrom{256};  // below, starting a thread costs more than it saves

std::unique_ptr<AheadWorker> Writer::startPatchingAhead() {
  mAheadItems.clear();
  if (mAnyErased || !mRenamed.empty() || !hasSecondCore() || mFile.objects.size() > UINT32_MAX)
    return nullptr;
  // The candidates are the entities a command made from the file, found from their stubs alone;
  // whether each is one to patch the worker sees as it reaches it (looking at every object here
  // first would keep the worker waiting), and leaves the others to this thread.
  for (size_t n = 0; n < mFile.objects.size(); ++n)
    if (mFile.objects[n]->madeFromFile()) mAheadItems.push_back(static_cast<uint32_t>(n));
  if (mAheadItems.size() < gPatchAheadFrom.load()) return nullptr;
  mHelper = std::make_unique<Writer>(mDb, mHelperBuffer, mFlushAt, mFlush);
  return std::make_unique<AheadWorker>(mAheadItems.size(), [this](size_t item, std::string& out) {
    AcDbStub* stub = mFile.objects[mAheadItems[item]];
    if (!patchableAhead(stub)) return false;
    mHelper->mSink.take();  // (what an item that failed left: this thread writes that item again)
    mHelper->writeChanged(stub, *objectRecord(stub->loaded()), stub->loaded());
    std::vector<Message> found = mHelper->mSink.take();
    if (!found.empty()) {
      const std::lock_guard<std::mutex> lock(mAheadMessagesLock);
      for (Message& m : found) mAheadMessages.emplace_back(item, std::move(m));
      mAheadMessageCount.store(mAheadMessages.size(), std::memory_order_release);
    }
    out.swap(mHelperBuffer);
    mHelperBuffer.clear();
    return true;
  });
}

// The worker's messages of the items up to item (taken: done), after this thread's own so far.
void Writer::passAheadMessagesUpTo(size_t item) {
  if (mAheadMessageCount.load(std::memory_order_acquire) == mAheadMessagesPassed) return;
  const std::lock_guard<std::mutex> lock(mAheadMessagesLock);
  for (; mAheadMessagesPassed < mAheadMessages.size() && mAheadMessages[mAheadMessagesPassed].first <= item;
       ++mAheadMessagesPassed)
    mSink.add(std::move(mAheadMessages[mAheadMessagesPassed].second));
}

// Whether an unchanged record refers to an erased object or to a renamed record by name.
bool Writer::needsFixup(const RecordTags& tags, const FileImage* image) {
  const bool binary = image->style.binary;
  for (const Tag& t : tags.tags) {
    if (mAnyErased && isReferenceCode(t.code) && t.code != 1005) {
      uint64_t h = 0;
      if (tagHandle(t, binary, h) && isGone(h)) return true;
    }
    if (!mRenamedRaw.empty() && (t.code == 2 || t.code == 3 || t.code == 7 || t.code == 8) &&
        mRenamedRaw.count(std::string(t.value)))
      return true;
  }
  return false;
}

namespace {
bool isNameCode(int code) { return code == 2 || code == 3 || code == 6 || code == 7 || code == 8; }
}  // namespace

void Writer::writeValue(const Property& property, const Value& value, const Tag* tag, const FileImage* image) {
  const int code = tag ? tag->code : property.code;
  switch (value.kind) {
    case Value::Real:
      if (tag) mOut.replaceReal(*tag, image, value.real);
      else mOut.real(code, value.real);
      return;
    case Value::Int: {
      int64_t v = value.integer;
      // Flags keep the bits the host does not model as the file gives them, but not from a value
      // the host could not use (that is written as the host holds it).
      if (property.mask != 0 && tag != nullptr && valueFault(*tag, image->style.binary) == TagFault::None) {
        int64_t original = 0;
        if (tagInt(*tag, image->style.binary, original)) v = (original & ~property.mask) | (v & property.mask);
      }
      if (tag) mOut.replaceInteger(*tag, image, v);
      else mOut.integer(code, v);
      return;
    }
    case Value::Text: {
      mEncoded.clear();
      mFile.codec.encode(value.text, mEncoded);
      if (mFile.release < 1021 && code == 1 && mEncoded.size() > kMaxOldString) encodeCut(value.text);
      if (tag) mOut.replaceString(*tag, image, mEncoded);
      else mOut.string(code, mEncoded);
      return;
    }
    case Value::Ref: {
      std::string encoded;
      if (isNameCode(code)) {
        const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(value.ref);
        encoded = mFile.codec.encode(record ? AcDbCore::name(record) : L"");
      } else {
        encoded = formatHandle(handleOf(value.ref));
      }
      if (tag) mOut.replaceString(*tag, image, encoded);
      else mOut.string(code, encoded);
      return;
    }
    case Value::None:
      if (tag) mOut.copy(*tag, image);
      return;
  }
}

// MTEXT contents: pieces of at most 250 characters in 3 tags, the last piece in a 1 tag. A piece
// never ends inside an escape or a caret pair.
void Writer::writeTextChunks(const std::wstring& text) {
  std::string encoded;
  std::vector<std::string> pieces;
  std::string piece;
  size_t units = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t n = mFile.codec.unitLength(text, i);
    encoded.clear();
    mFile.codec.encode(std::wstring_view(text).substr(i, n), encoded);
    i += n - 1;
    if (units + encoded.size() > 250 && !piece.empty()) {
      pieces.push_back(std::move(piece));
      piece.clear();
      units = 0;
    }
    piece += encoded;
    units += encoded.size();
  }
  for (const auto& p : pieces) mOut.string(3, p);
  mOut.string(1, piece);
}

// A text of more than kMaxOldString bytes, which R12 to R2004 drawings cannot hold in one string
// (a TEXT's, a DIMENSION's): cut there, between two characters, and said so.
void Writer::encodeCut(const std::wstring& text) {
  const size_t whole = mEncoded.size();
  mEncoded.clear();
  std::string unit;
  for (size_t i = 0; i < text.size();) {
    const size_t n = mFile.codec.unitLength(text, i);
    unit.clear();
    mFile.codec.encode(std::wstring_view(text).substr(i, n), unit);
    if (mEncoded.size() + unit.size() > kMaxOldString) break;
    mEncoded += unit;
    i += n;
  }
  ACHAR handle[20] = L"";
  if (mWriting != nullptr) mWriting->handle.getIntoAsciiBuffer(handle, 20);
  warn(L"the text of the " + (mWritingType.empty() ? std::wstring(L"object") : fromUtf8(mWritingType)) + L" " + handle + L" is " +
       std::to_wstring(whole) + L" bytes long; a drawing of version " + fromUtf8(mFile.version) + L" holds at most " +
       std::to_wstring(kMaxOldString) + L" there, and the save keeps the first " + std::to_wstring(mEncoded.size()));
}

void Writer::writeVertices(const AcDbPolyline* pline, const RecordTags* before, const FileImage* image) {
  // The identifiers (91) the record gave its vertices go with them: by place while as many vertices
  // remain, else with the vertex at the same point; a vertex that is new gets one no vertex has.
  struct Old {
    double x = 0, y = 0;
    int64_t id = 0;
    bool used = false;
  };
  std::vector<Old> old;
  bool ids = false;
  int64_t nextId = 1;
  if (before != nullptr && image != nullptr) {
    const bool binary = image->style.binary;
    for (const auto& m : before->main) {
      const Tag& t = before->tags[m.index];
      if (t.code == 10) old.emplace_back();
      if (old.empty()) continue;
      if (t.code == 10) tagDouble(t, binary, old.back().x);
      else if (t.code == 20) tagDouble(t, binary, old.back().y);
      else if (t.code == 91 && tagInt(t, binary, old.back().id)) {
        ids = true;
        nextId = std::max(nextId, old.back().id + 1);
      }
    }
  }
  const bool samePlaces = old.size() == pline->numVerts();
  for (unsigned i = 0; i < pline->numVerts(); ++i) {
    AcGePoint2d pt;
    double bulge = 0, startWidth = 0, endWidth = 0;
    pline->getPointAt(i, pt);
    pline->getBulgeAt(i, bulge);
    pline->getWidthsAt(i, startWidth, endWidth);
    mOut.real(10, pt.x);
    mOut.real(20, pt.y);
    if (ids) {
      Old* same = samePlaces ? &old[i] : nullptr;
      for (size_t k = 0; same == nullptr && k < old.size(); ++k)
        if (!old[k].used && old[k].x == pt.x && old[k].y == pt.y) same = &old[k];
      if (same != nullptr) same->used = true;
      mOut.integer(91, same != nullptr ? same->id : nextId++);
    }
    if (startWidth != 0 || endWidth != 0) {
      mOut.real(40, startWidth);
      mOut.real(41, endWidth);
    }
    if (bulge != 0) mOut.real(42, bulge);
  }
}

// The DSTYLE overrides of a dimension in its "ACAD" extended data: DIMTXT (140) and DIMTXSTY
// (340), kept with every other override and every other application's data.
void Writer::writeDimensionOverrides(const RecordTags& tags, const FileImage* image, size_t from,
                                     const AcDbDimension* dim, const AcDbDimension* before) {
  const bool unchanged = before != nullptr && before->hasDimtxtOverride() == dim->hasDimtxtOverride() &&
                         (!dim->hasDimtxtOverride() || before->dimtxt() == dim->dimtxt()) &&
                         before->hasDimtxstyOverride() == dim->hasDimtxstyOverride() &&
                         (!dim->hasDimtxstyOverride() || before->dimtxsty() == dim->dimtxsty());
  if (unchanged) {
    for (size_t i = from; i < tags.tags.size(); ++i) emitTag(tags, i, image);
    return;
  }
  const bool binary = image ? image->style.binary : false;
  auto writePairs = [&](std::vector<std::pair<const Tag*, const Tag*>> kept) {
    for (const auto& [var, value] : kept) {
      emitTag(tags, static_cast<size_t>(var - tags.tags.data()), image);
      emitTag(tags, static_cast<size_t>(value - tags.tags.data()), image);
    }
    if (dim->hasDimtxtOverride()) {
      mOut.integer(1070, 140);
      mOut.real(1040, dim->dimtxt());
    }
    if (dim->hasDimtxstyOverride() && mFile.handles && !mFile.r12()) {
      mOut.integer(1070, 340);
      mOut.handle(1005, handleOf(dim->dimtxsty()));
    }
  };
  const bool anyOverride = dim->hasDimtxtOverride() || (dim->hasDimtxstyOverride() && !mFile.r12());
  bool written = false;
  size_t i = from;
  while (i < tags.tags.size()) {
    const Tag& t = tags.tags[i];
    if (!(t.code == 1001 && t.value == "ACAD")) {
      emitTag(tags, i, image);
      ++i;
      continue;
    }
    // The "ACAD" application's data.
    mOut.copy(t, image);
    ++i;
    while (i < tags.tags.size() && tags.tags[i].code != 1001) {
      const Tag& u = tags.tags[i];
      if (u.code == 1000 && u.value == "DSTYLE" && i + 1 < tags.tags.size() && tags.tags[i + 1].code == 1002) {
        std::vector<std::pair<const Tag*, const Tag*>> kept;
        size_t k = i + 2;
        for (; k + 1 < tags.tags.size() && tags.tags[k].code == 1070; k += 2) {
          int64_t var = 0;
          tagInt(tags.tags[k], binary, var);
          if (var != 140 && var != 340) kept.emplace_back(&tags.tags[k], &tags.tags[k + 1]);
        }
        const bool closed = k < tags.tags.size() && tags.tags[k].code == 1002;
        if (!kept.empty() || anyOverride) {
          mOut.copy(u, image);
          mOut.copy(tags.tags[i + 1], image);
          writePairs(kept);
          if (closed) mOut.copy(tags.tags[k], image);
          else mOut.string(1002, "}");
        }
        i = closed ? k + 1 : k;
        written = true;
        continue;
      }
      emitTag(tags, i, image);
      ++i;
    }
    if (!written && anyOverride) {
      mOut.string(1000, "DSTYLE");
      mOut.string(1002, "{");
      writePairs({});
      mOut.string(1002, "}");
      written = true;
    }
  }
  if (!written && anyOverride) {
    mOut.string(1001, "ACAD");
    mOut.string(1000, "DSTYLE");
    mOut.string(1002, "{");
    writePairs({});
    mOut.string(1002, "}");
  }
}

// Writes an object from its record: the record's tags with the changed values replaced, the
// values the record lacks added where they belong, references to erased objects left out.
void Writer::patch(const RecordTags& tags, const FileImage* image, AcDbStub* stub, const AcDbObject* source,
                   bool isNew) {
  const AcDbObject* obj = stub->object();
  const bool r12 = mFile.r12();
  const Schema* schema = schemaFor(tags.type, source, r12);
  mWriting = stub;
  if (mFile.release < 1021) mWritingType.assign(tags.type);
  const bool binary = image->style.binary;
  // A record with damage the reader reported: the fault of each tag, those its decoding finds too.
  const ObjectRecord* stored = objectRecord(obj);
  const bool repairing = stored != nullptr && stored->has(ObjectRecord::kRepaired);
  mFaults = nullptr;
  if (repairing) {
    mFaultsScratch.assign(tags.tags.size(), 0);
    forEachFault(tags, binary, [&](size_t i, TagFault fault) {
      if (fault != TagFault::UnclosedGroup) mFaultsScratch[i] = static_cast<uint8_t>(fault);
    });
    mCompare.flagged = &mFaultsScratch;
    mCompare.tags = tags.tags.data();
  }
  // What the record says, decoded the way the reader decodes it, to compare with the object.
  AcDbObject* before = nullptr;
  if (schema != nullptr) {
    // (A BLOCK or LAYOUT that stands where entities stand was read as an entity.)
    const bool ofBlock = AcDbBlockTableRecord::cast(source) != nullptr;
    if (ofBlock && (tags.type == "BLOCK" || (objectRecord(obj) && objectRecord(obj)->has(ObjectRecord::kBlockEntity))))
      before = decodeBlockEntity(tags, mCompare);
    else if (ofBlock && tags.type == "LAYOUT")
      before = decodeLayoutName(tags, mCompare);
    else
      before = decodeRecord(tags, mCompare, AcDbEntity::cast(source) != nullptr);
    if (before != nullptr && before->isA() != source->isA() &&
        !(AcDbBlockTableRecord::cast(before) && AcDbBlockTableRecord::cast(source))) {
      delete before;
      before = nullptr;
      schema = nullptr;  // the record no longer fits the object: only its references are fixed
    }
  }
  std::unique_ptr<AcDbObject> beforeOwner(before);
  if (repairing) {
    mCompare.flagged = nullptr;
    for (uint8_t& fault : mFaultsScratch) {
      if (fault != CompareContext::kFlaggedByDecoding) continue;
      const ValueKind kind = valueKind(static_cast<int>(tags.tags[static_cast<size_t>(&fault - mFaultsScratch.data())].code));
      fault = static_cast<uint8_t>(kind == ValueKind::Double   ? TagFault::NotANumber
                                   : kind == ValueKind::String ? TagFault::NotAHandle
                                                               : TagFault::NotAWholeNumber);
    }
    mFaults = &mFaultsScratch;
  }
  auto faultAt = [&](size_t i) { return repairing ? static_cast<TagFault>(mFaultsScratch[i]) : TagFault::None; };
  const size_t count = schema ? schema->properties.size() : 0;
  // Scratch of the writer, reused from one record to the next (patch is not reentered).
  std::vector<Value>& values = mValues;
  values.resize(count);
  std::vector<char>& changed = mChanged;
  std::vector<char>& present = mPresent;
  std::vector<char>& emitted = mEmitted;
  changed.assign(count, 0);
  present.assign(count, 0);
  emitted.assign(count, 0);
  for (size_t k = 0; k < count; ++k) {
    const Property& p = schema->properties[k];
    if (p.text != nullptr) {
      // Texts compare in place; their value is taken when it is written.
      changed[k] = before == nullptr || std::wcscmp(p.text(source), p.text(before)) != 0;
      values[k].kind = changed[k] ? Value::Text : Value::None;
      if (changed[k]) values[k].text.assign(p.text(source));  // into the scratch's own buffer
      continue;
    }
    values[k] = p.get(source);
    const Value old = before ? p.get(before) : Value();
    changed[k] = !(values[k] == old) || (values[k].kind == Value::Ref && isRenamed(values[k].ref));
  }
  const bool flat = r12 || !tags.hasSubclasses;
  // Which properties the record has, and in which subclass each tag lies.
  std::vector<int>& slotOfMarker = mSlotOfMarker;
  slotOfMarker.assign(tags.tags.size(), -1);
  {
    int slot = -1;
    for (size_t i = 1; i < tags.mainEnd; ++i) {
      if (tags.tags[i].code != 100 || schema == nullptr) continue;
      for (int j = slot + 1; j < static_cast<int>(schema->subclasses.size()); ++j) {
        if (tags.tags[i].value == schema->subclasses[static_cast<size_t>(j)]) {
          slot = j;
          break;
        }
      }
      slotOfMarker[i] = slot;
    }
  }
  auto slotOf = [&](const RecordTags::Main& m) -> int {
    if (flat) return 0;
    return m.marker >= 0 ? slotOfMarker[static_cast<size_t>(m.marker)] : -1;
  };
  auto propertyOf = [&](const RecordTags::Main& m, int slot) -> int {
    return schema->propertyOf(tags.tags[m.index].code, m.first, slot, flat);
  };
  // The property of each main tag, found once for both passes over them.
  std::vector<int>& mainProperty = mMainProperty;
  mainProperty.resize(tags.main.size());
  for (size_t j = 0; j < tags.main.size(); ++j) {
    int k = schema ? propertyOf(tags.main[j], slotOf(tags.main[j])) : -1;
    // (In a damaged record, a value under a subclass marker the record misspells is still its own.)
    if (k < 0 && schema && repairing && tags.main[j].first) k = schema->propertyOf(tags.tags[tags.main[j].index].code, true, 0, true);
    mainProperty[j] = k;
    if (k >= 0) present[static_cast<size_t>(k)] = 1;
    // A damaged value of a property is written as the host holds it (a point's x without its y
    // keeps its value and gets its y after it; a damaged vertex rewrites the vertices).
    const TagFault fault = k >= 0 ? faultAt(tags.main[j].index) : TagFault::None;
    if (fault != TagFault::None && (fault != TagFault::LonePointX || schema->properties[static_cast<size_t>(k)].span != Span::One)) {
      const Property& p = schema->properties[static_cast<size_t>(k)];
      changed[static_cast<size_t>(k)] = 1;
      if (p.text != nullptr) {
        values[static_cast<size_t>(k)].kind = Value::Text;
        values[static_cast<size_t>(k)].text.assign(p.text(source));
      }
    }
  }
  // A damaged record is written whole: what the host holds that it lacks too (not where a tag of
  // the property's code stands elsewhere in the record).
  if (repairing) {
    for (size_t k = 0; k < count; ++k) {
      const Property& p = schema->properties[k];
      if (present[k] || changed[k] || !p.needed(source)) continue;
      bool codeStands = false;
      for (const auto& m : tags.main) codeStands = codeStands || tags.tags[m.index].code == p.code;
      if (codeStands) continue;
      changed[k] = 1;
      if (p.text != nullptr) {
        values[k].kind = Value::Text;
        values[k].text.assign(p.text(source));
      }
    }
  }
  // Whether a changed property is missing from the record (most edits change values it has).
  bool anyMissing = false;
  for (size_t k = 0; k < count && !anyMissing; ++k) anyMissing = changed[k] && !present[k];
  auto emitMissing = [&](int slot, size_t below) {
    if (!anyMissing) return;
    for (size_t k = 0; k < count && k < below; ++k) {
      const Property& p = schema->properties[k];
      if (present[k] || emitted[k] || (!flat && p.slot != slot)) continue;
      // A value the record leaves to its default is added only when it is no longer the default.
      if (!changed[k] || !p.needed(source)) continue;
      emitted[k] = 1;
      if (p.span == Span::TextChunks) writeTextChunks(values[k].text);
      else if (p.span == Span::Vertices) writeVertices(AcDbPolyline::cast(source), &tags, image);
      else writeValue(p, values[k], nullptr, image);
      // A point's x added here has its y at once, even where a damaged record gives a y elsewhere:
      // an x without its y would be damage again.
      if (p.span == Span::One && p.code >= 10 && p.code <= 18) {
        const int y = schema->propertyOf(p.code + 10, true, flat ? 0 : slot, flat);
        if (y >= 0) {
          writeValue(schema->properties[static_cast<size_t>(y)], values[static_cast<size_t>(y)], nullptr, image);
          emitted[static_cast<size_t>(y)] = 1;
        }
      }
    }
  };

  // The record's own handle and owner, and for a new object its place in the drawing.
  const uint64_t handle = stub->handle.value();
  const bool keepHandle = stored != nullptr && stored->has(ObjectRecord::kNoHandle) && !isNew;
  const uint64_t owner = handleOf(obj->ownerId());
  const ObjectRecord* ownerRecord = objectRecord(AcDbCore::object(obj->ownerId()));
  const bool ownerIsNotWritten = ownerRecord != nullptr && !showsHandleInFile(*ownerRecord);
  const bool paper = AcDbEntity::cast(obj) && isNew && isPaperSpace(obj->ownerId());

  // An extension dictionary the writer made for the object (for its fields).
  AcDbObjectId addedXdict;
  if (const auto it = mFile.addedXdicts.find(stub); it != mFile.addedXdicts.end() && isWritten(it->second.stub()) &&
      (isNew || tags.xdictionary == 0))
    addedXdict = it->second;
  auto writeAddedXdict = [&] {
    if (addedXdict.isNull() || r12) return;
    mOut.string(102, "{ACAD_XDICTIONARY");
    mOut.handle(360, handleOf(addedXdict));
    mOut.string(102, "}");
    addedXdict = AcDbObjectId();
  };
  mOut.copy(tags.tags[0], image);
  size_t i = 1;
  bool wrote67 = false;
  // A record without subclass markers (R12) has no AcDbEntity marker to put the paper space flag
  // after: it goes right after the handle, where any order of the common groups is read.
  auto writePaperFlagOfFlatRecord = [&] {
    if (!paper || wrote67 || tags.hasSubclasses) return;
    mOut.integer(67, 1);
    wrote67 = true;
  };
  if (isNew && tags.handleTag < 0 && mFile.handles) mOut.handle(schema ? schema->handleCode : 5, handle);
  if (tags.handleTag < 0) {
    writeAddedXdict();
    writePaperFlagOfFlatRecord();
  }
  int slot = flat ? 0 : -1;
  size_t nextMain = 0;  // into tags.main
  bool inGroup = false, dropGroup = false;
  int pendingSpan = -1;  // a multi-tag property being written or skipped
  // Application groups the record leaves open are closed where they end.
  size_t nextClose = 0;
  auto closeGroupsBefore = [&](size_t index) {
    for (; nextClose < tags.unclosedGroups.size() && tags.unclosedGroups[nextClose] <= index; ++nextClose) {
      if (inGroup && !dropGroup) mOut.string(102, "}");
      inGroup = dropGroup = false;
    }
  };
  // A FIELD whose children name it: the references a save cuts, and where its children are.
  const std::vector<size_t>* cutChildren = nullptr;
  if (!mFile.cutChildren.empty() && tags.type == "FIELD")
    if (const auto it = mFile.cutChildren.find(stub); it != mFile.cutChildren.end()) cutChildren = &it->second;
  bool inChildren = false;
  size_t childIndex = 0;
  for (; i < tags.mainEnd; ++i) {
    const Tag& t = tags.tags[i];
    if (repairing) closeGroupsBefore(i);
    if (static_cast<int>(i) == tags.handleTag) {
      uint64_t old = 0;
      tagHandle(t, binary, old);
      if (keepHandle || old == handle) mOut.copy(t, image);
      else mOut.replaceString(t, image, formatHandle(handle));
      writeAddedXdict();
      writePaperFlagOfFlatRecord();
      continue;
    }
    if (static_cast<int>(i) == tags.ownerTag) {
      uint64_t old = 0;
      const bool readable = tagHandle(t, binary, old);
      // (R12 records give their owner only where the reader found it damaged, which is mended.)
      if (r12 && !(repairing && (old != owner || !readable))) { emitTag(tags, i, image); continue; }
      // An owner the host does not know, or one the file does not show (or not by its handle):
      // the reference is left out. A record that was not repaired keeps "no owner" as the file
      // gave it; where a second 330 tag stands in the owner's place (it would be read as the
      // owner), the tag says "no owner".
      if ((owner == 0 && !readable) || (old != owner && ownerIsNotWritten)) {
        if (!repairing && readable && old == 0) mOut.copy(t, image);
        else if (tags.nextOwnerTag >= 0) mOut.replaceString(t, image, "0");
        continue;
      }
      if (old == owner || owner == 0) mOut.copy(t, image);
      else mOut.replaceString(t, image, formatHandle(owner));
      continue;
    }
    if (t.code == 102) {
      if (!t.value.empty() && t.value.front() == '{') {
        inGroup = true;
        // A copy belongs to none of its template's dictionaries and reactors.
        dropGroup = isNew && (t.value == "{ACAD_XDICTIONARY" || t.value == "{ACAD_REACTORS");
        if (!dropGroup) mOut.copy(t, image);
      } else {
        if (!dropGroup) mOut.copy(t, image);
        inGroup = dropGroup = false;
      }
      continue;
    }
    if (inGroup) {
      if (dropGroup) continue;
      uint64_t h = 0;
      if (mAnyErased && isReferenceCode(t.code) && tagHandle(t, binary, h) && isGone(h)) continue;
      emitTag(tags, i, image);
      continue;
    }
    if (t.code == 100) {
      if (schema != nullptr) {
        emitMissing(slot, count);
        if (!flat && slotOfMarker[i] >= 0) slot = slotOfMarker[i];
      }
      mOut.copy(t, image);
      if (paper && !wrote67 && t.value == "AcDbEntity") {
        mOut.integer(67, 1);
        wrote67 = true;
      }
      continue;
    }
    if (t.code == 67 && isNew) {
      if (paper && !wrote67) mOut.replaceInteger(t, image, 1);
      wrote67 = wrote67 || paper;
      continue;  // an entity moved out of paper space loses the flag
    }
    // A dictionary entry goes with its key when the object it names is erased.
    if (mAnyErased && t.code == 3 && (tags.type == "DICTIONARY" || tags.type == "ACDBDICTIONARYWDFLT") &&
        i + 1 < tags.mainEnd && (tags.tags[i + 1].code == 350 || tags.tags[i + 1].code == 360)) {
      uint64_t h = 0;
      if (tagHandle(tags.tags[i + 1], binary, h) && isGone(h)) {
        ++i;
        continue;
      }
    }
    // The main entry of this tag (the entries are in the order of their tags), and its property:
    // the slot this pass has reached is the one the entry's marker gave.
    while (nextMain < tags.main.size() && tags.main[nextMain].index < i) ++nextMain;
    const bool isMain = nextMain < tags.main.size() && tags.main[nextMain].index == i;
    const int k = (schema && isMain) ? mainProperty[nextMain] : -1;
    if (k < 0) {
      // A hatch boundary's count of source objects (97, then one 330 each) counts only those
      // that stay.
      if (mAnyErased && t.code == 97 && tags.type == "HATCH") {
        int64_t count = 0, gone = 0;
        for (size_t j = i + 1; j < tags.mainEnd && tags.tags[j].code == 330; ++j) {
          uint64_t h = 0;
          if (tagHandle(tags.tags[j], binary, h) && isGone(h)) ++gone;
        }
        if (gone > 0 && tagInt(t, binary, count)) {
          mOut.replaceInteger(t, image, std::max<int64_t>(0, count - gone));
          continue;
        }
      }
      if (mAnyErased && isReferenceCode(t.code) && tags.type != "FIELD") {
        uint64_t h = 0;
        if (tagHandle(t, binary, h) && isGone(h)) {
          // A sort entry goes with its sort handle.
          if (tags.type == "SORTENTSTABLE" && i + 1 < tags.mainEnd && tags.tags[i + 1].code == 5) ++i;
          continue;
        }
      }
      if ((t.code == 7 || t.code == 8) && !mRenamedRaw.empty() && mRenamedRaw.count(std::string(t.value))) {
        const AcDbObjectId id = mCompare.named(t.code == 8 ? DecodeContext::Ref::Layer : DecodeContext::Ref::TextStyle, t.value, nullptr);
        if (!id.isNull() && isRenamed(id)) {
          const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(id);
          mOut.replaceString(t, image, mFile.codec.encode(AcDbCore::name(record)));
          continue;
        }
      }
      if (cutChildren != nullptr) {
        // The children follow the count (90) of them, as their references (360).
        if (t.code == 90 && !inChildren) inChildren = true;
        else if (t.code == 97) inChildren = false;
        else if (t.code == 360 && inChildren &&
                 std::find(cutChildren->begin(), cutChildren->end(), childIndex++) != cutChildren->end()) {
          mOut.replaceString(t, image, "0");
          continue;
        }
      }
      emitTag(tags, i, image);
      continue;
    }
    const Property& p = schema->properties[static_cast<size_t>(k)];
    if (!flat) emitMissing(slot, static_cast<size_t>(k));
    else emitMissing(0, static_cast<size_t>(k));
    if (p.span != Span::One) {
      if (!changed[static_cast<size_t>(k)]) {
        mOut.copy(t, image);
        continue;
      }
      if (pendingSpan != k && !emitted[static_cast<size_t>(k)]) {
        emitted[static_cast<size_t>(k)] = 1;
        if (p.span == Span::TextChunks) writeTextChunks(values[static_cast<size_t>(k)].text);
        else writeVertices(AcDbPolyline::cast(source), &tags, image);
      }
      pendingSpan = k;
      continue;  // the old pieces are left out
    }
    emitted[static_cast<size_t>(k)] = 1;
    if (!changed[static_cast<size_t>(k)]) mOut.copy(t, image);
    else writeValue(p, values[static_cast<size_t>(k)], &t, image);
    if (faultAt(i) == TagFault::LonePointX || faultAt(i) == TagFault::NotANumberNoY) {
      // The point's y after its x: as the host holds it, and never again where it would be missing.
      const int y = schema->propertyOf(t.code + 10, true, flat ? 0 : slot, flat);
      if (y >= 0) {
        writeValue(schema->properties[static_cast<size_t>(y)], values[static_cast<size_t>(y)], nullptr, image);
        emitted[static_cast<size_t>(y)] = 1;
      } else {
        mOut.real(t.code + 10, 0);
      }
    }
  }
  if (repairing) closeGroupsBefore(tags.mainEnd);
  if (schema != nullptr) {
    emitMissing(slot, count);
    if (!flat) {
      // Subclasses the record lacks entirely.
      for (int s = slot + 1; s < static_cast<int>(schema->subclasses.size()); ++s) {
        bool any = false;
        for (size_t k = 0; k < count; ++k)
          any = any || (schema->properties[k].slot == s && !present[k] && !emitted[k] && changed[k] &&
                        schema->properties[k].needed(source));
        if (!any) continue;
        mOut.string(100, schema->subclasses[static_cast<size_t>(s)]);
        emitMissing(s, count);
      }
    }
  }
  // Extended data and embedded objects.
  const auto* dim = AcDbDimension::cast(source);
  if (dim != nullptr && before != nullptr) {
    writeDimensionOverrides(tags, image, tags.mainEnd, dim, repairing ? nullptr : AcDbDimension::cast(before));
  } else {
    for (i = tags.mainEnd; i < tags.tags.size(); ++i) emitTag(tags, i, image);
  }
  mFaults = nullptr;
}

void Writer::emitTag(const RecordTags& tags, size_t i, const FileImage* image) {
  if (mFaults != nullptr && (*mFaults)[i] != 0) mended(mOut, tags.tags[i], image, static_cast<TagFault>((*mFaults)[i]));
  else mOut.copy(tags.tags[i], image);
}

// A table the drawing lacked, which the reader made: its head, its records and its end.
void Writer::writeMadeTable(AcDbStub* tableStub) {
  const AcDbObject* table = tableStub->object();
  const auto* symbols = AcDbSymbolTable::cast(table);
  if (symbols == nullptr) return;
  const char* kind = AcDbLayerTable::cast(table)       ? "LAYER"
                     : AcDbTextStyleTable::cast(table) ? "STYLE"
                     : AcDbDimStyleTable::cast(table)  ? "DIMSTYLE"
                                                       : "BLOCK_RECORD";
  std::vector<AcDbObjectId> records;
  for (AcDbObjectId id : AcDbCore::records(symbols))
    if (isWritten(id.stub())) records.push_back(id);
  writeFreshTable(kind, AcDbObjectId(tableStub), static_cast<int>(records.size()),
                  AcDbDimStyleTable::cast(table) ? "AcDbDimStyleTable" : nullptr);
  for (AcDbObjectId id : records) generate(id.stub(), AcDbCore::object(id));
  mOut.string(0, "ENDTAB");
}

// A new object without a record of its own: written from the host's object alone.
void Writer::generate(AcDbStub* stub, const AcDbObject* obj) {
  const bool r12 = mFile.r12();
  std::string type;
  if (const auto* ent = AcDbEntity::cast(obj)) type = toUtf8(ent->typeName());
  else type = toUtf8(obj->isA()->dxfName());
  const Schema* schema = schemaFor(type, obj, r12);
  mWriting = stub;
  mWritingType = type;
  mOut.string(0, type);
  if (mFile.handles) mOut.handle(schema ? schema->handleCode : 5, stub->handle.value());
  if (const auto it = mFile.addedXdicts.find(stub); it != mFile.addedXdicts.end() && !r12 && isWritten(it->second.stub())) {
    mOut.string(102, "{ACAD_XDICTIONARY");
    mOut.handle(360, handleOf(it->second));
    mOut.string(102, "}");
  }
  if (!r12) mOut.handle(330, handleOf(obj->ownerId()));
  const bool paper = AcDbEntity::cast(obj) && isPaperSpace(obj->ownerId());
  if (schema == nullptr) return;
  int slot = -1;
  for (size_t k = 0; k < schema->properties.size(); ++k) {
    const Property& p = schema->properties[k];
    while (!r12 && slot < p.slot) {
      ++slot;
      mOut.string(100, schema->subclasses[static_cast<size_t>(slot)]);
      if (paper && slot == 0) mOut.integer(67, 1);
    }
    if (!p.needed(obj)) continue;
    const Value v = p.get(obj);
    if (p.span == Span::TextChunks) writeTextChunks(v.text);
    else if (p.span == Span::Vertices) writeVertices(AcDbPolyline::cast(obj));
    else writeValue(p, v, nullptr, nullptr);
    if (r12 && paper && k == 0) mOut.integer(67, 1);
  }
  while (!r12 && slot + 1 < static_cast<int>(schema->subclasses.size())) {
    ++slot;
    mOut.string(100, schema->subclasses[static_cast<size_t>(slot)]);
  }
  for (const auto& [code, value] : schema->newRecordTags) mOut.string(code, value);
}

void Writer::writeNewObject(AcDbStub* stub) {
  AcDbObject* obj = stub->object();
  if (obj == nullptr || !isWritten(stub)) return;
  const ObjectRecord* record = objectRecord(obj);
  if (record != nullptr && hasOwnBytes(*record)) {
    mBuffer.append(record->bytes());
  } else if (record != nullptr && record->image() != nullptr && readRecordTags(*record, mTags)) {
    RecordTags tags = mTags;  // the template of a copy
    patch(tags, record->image(), stub, obj, true);
    // Its parts: the template's, with the handles made for them and the copy as their owner.
    const auto parts = mFile.copiedParts.find(stub);
    if (parts == mFile.copiedParts.end()) return;
    for (const auto& part : parts->second) {
      ObjectRecord partRecord(record->image(), part.begin, part.end, 0);
      if (!readRecordTags(partRecord, tags)) continue;
      const bool r12 = mFile.r12();
      bool inGroup = false;
      mOut.copy(tags.tags[0], record->image());
      if (tags.handleTag < 0 && mFile.handles) mOut.handle(5, handleOf(part.id));
      for (size_t i = 1; i < tags.tags.size(); ++i) {
        const Tag& t = tags.tags[i];
        if (t.code == 102) {
          inGroup = !t.value.empty() && t.value.front() == '{';
          continue;  // a copy's parts belong to no dictionary and have no reactors
        }
        if (inGroup) continue;
        if (static_cast<int>(i) == tags.handleTag) mOut.replaceString(t, record->image(), formatHandle(handleOf(part.id)));
        else if (static_cast<int>(i) == tags.ownerTag && !r12) mOut.replaceString(t, record->image(), formatHandle(stub->handle.value()));
        else mOut.copy(t, record->image());
      }
    }
  } else {
    generate(stub, obj);
  }
}

// A block made since the file was read: its BLOCK, its entities and its ENDBLK.
void Writer::writeNewBlock(AcDbStub* blockStub) {
  auto* block = AcDbBlockTableRecord::cast(blockStub->object());
  if (block == nullptr) return;
  const bool r12 = mFile.r12();
  const auto parts = mFile.newBlockParts[blockStub];
  mOut.string(0, "BLOCK");
  if (mFile.handles) mOut.handle(5, mBlocksHaveRecords ? handleOf(parts.first) : blockStub->handle.value());
  if (!r12) {
    mOut.handle(330, blockStub->handle.value());
    mOut.string(100, "AcDbEntity");
  }
  mOut.string(8, "0");
  if (!r12) mOut.string(100, "AcDbBlockBegin");
  const std::string name = mFile.codec.encode(AcDbCore::name(block));
  mOut.string(2, name);
  mOut.integer(70, 0);
  mOut.real(10, block->origin().x);
  mOut.real(20, block->origin().y);
  mOut.real(30, block->origin().z);
  mOut.string(3, name);
  mOut.string(1, "");
  for (AcDbObjectId id : AcDbCore::entities(block)) {
    if (id.stub() && id.stub()->object() && id.stub()->object()->isNewObject()) writeNewObject(id.stub());
  }
  mOut.string(0, "ENDBLK");
  if (mFile.handles) mOut.handle(5, handleOf(parts.second));
  if (!r12) {
    mOut.handle(330, blockStub->handle.value());
    mOut.string(100, "AcDbEntity");
  }
  mOut.string(8, "0");
  if (!r12) mOut.string(100, "AcDbBlockEnd");
}

WriteResult Writer::run() {
  WriteResult result;
  if (mFile.fresh) {
    writeFresh();
    if (!mFailed && !mBuffer.empty() && !mFlush(mBuffer)) mFailed = true;
    if (!mFailed) mBuffer.clear();
    result.ok = !mFailed;
    result.messages = mSink.take();
    return result;
  }
  if (!mFile.image->intact()) {
    Message m;
    m.severity = Severity::Error;
    m.text = L"the drawing's file was changed by another program after it was opened, and the parts of the drawing "
             L"that are still read from it are lost with it; the drawing cannot be saved";
    result.messages.push_back(m);
    return result;
  }
  if (mFile.deferred != nullptr) mFile.deferred->releaseWindow();
  prepare();
  if (prepareFields(mDb, mFile, mWithFields, [this](std::wstring text) { warn(std::move(text)); })) {
    // Child fields gave way to new ones: they leave the file with what they own.
    mAnyErased = true;
    mWrittenCache.clear();
    for (AcDbStub* stub : mFile.objects)
      if (!isWritten(stub)) mErasedHandles.insert(stub->handle.value());
  }
  mWrittenCache.clear();
  planNewObjects();
  planMends();
  planHeader();
  std::stable_sort(mEdits.begin(), mEdits.end(), [](const Edit& a, const Edit& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.order < b.order;
  });
  uint64_t pos = 0;
  const std::unique_ptr<AheadWorker> ahead = startPatchingAhead();
  size_t nextAhead = 0;  // into mAheadItems
  for (size_t n = 0; n < mFile.objects.size(); ++n) {
    AcDbStub* stub = mFile.objects[n];
    const bool isAhead = ahead && nextAhead < mAheadItems.size() && mAheadItems[nextAhead] == n;
    uint64_t begin = 0, end = 0;
    if (!recordPlace(mFile, *stub, begin, end) || begin < pos) {
      if (isAhead) ahead->take(nextAhead++, nullptr, {});
      continue;
    }
    copyGap(pos, begin);
    if (!mFile.joinedRecords.empty() && !stub->isDeferred() && objectRecord(stub->loaded()) &&
        objectRecord(stub->loaded())->has(ObjectRecord::kMoved)) {
      if (isAhead) ahead->take(nextAhead++, nullptr, {});
      pos = end;  // written at the end of the first table of its kind
      continue;
    }
    if (isAhead) {
      ahead->take(nextAhead, &mBuffer, [&] { writeObject(stub); });
      passAheadMessagesUpTo(nextAhead++);
    } else {
      writeObject(stub);
    }
    pos = end;
    if (mFailed) break;
    if (pos - mReleasedUpTo >= kReleaseEvery) {
      mFile.image->releasePages(mReleasedUpTo, pos);
      mReleasedUpTo = pos;
    }
  }
  if (!mFailed) copyGap(pos, mFile.image->size());  // (with the ends a damaged file lacked)
  if (!mFailed && !mBuffer.empty() && !mFlush(mBuffer)) mFailed = true;
  if (!mFailed) mBuffer.clear();
  mFile.image->releasePages(0, mFile.image->size());
  result.ok = !mFailed;
  result.messages = mSink.take();
  return result;
}

// ---- Drawings the host made --------------------------------------------------------------------

// An object every drawing has that the host does not model (a table, a dictionary, a layout):
// made once, kept in the database with its handle, never written by the other paths.
AcDbObjectId Writer::freshPart(const std::string& key, const wchar_t* type, AcDbObjectId owner) {
  AcDbObjectId& id = mFile.freshParts[key];
  if (id.isNull() || AcDbCore::object(id) == nullptr) {
    AcDbCore::addToDatabase(mDb, new AcDbUnmodeledObject(type), owner, 0, id);
    AcDbCore::setStoredRecord(AcDbCore::object(id), new ObjectRecord(nullptr, 0, 0, ObjectRecord::kSynthesized));
  }
  return id;
}

void Writer::writeFreshTable(const char* kind, AcDbObjectId table, int count, const char* subclass) {
  mOut.string(0, "TABLE");
  mOut.string(2, kind);
  mOut.handle(5, handleOf(table));
  mOut.handle(330, 0);
  mOut.string(100, "AcDbSymbolTable");
  mOut.integer(70, count);
  if (subclass != nullptr) {
    mOut.string(100, subclass);
    mOut.integer(71, 0);
  }
}

void Writer::writeFresh() {
  prepare();  // no erasures to follow, but new blocks get their BLOCK and ENDBLK
  const AcDbObjectId root = freshPart("root", L"DICTIONARY", AcDbObjectId());
  const AcDbObjectId groups = freshPart("groups", L"DICTIONARY", root);
  const AcDbObjectId layouts = freshPart("layouts", L"DICTIONARY", root);
  const AcDbObjectId vports = freshPart("vport table", L"TABLE", AcDbObjectId());
  const AcDbObjectId active = freshPart("vport *Active", L"VPORT", vports);
  const AcDbObjectId ltypes = freshPart("ltype table", L"TABLE", AcDbObjectId());
  const AcDbObjectId byBlock = freshPart("ltype ByBlock", L"LTYPE", ltypes);
  const AcDbObjectId byLayer = freshPart("ltype ByLayer", L"LTYPE", ltypes);
  const AcDbObjectId continuous = freshPart("ltype Continuous", L"LTYPE", ltypes);
  const AcDbObjectId views = freshPart("view table", L"TABLE", AcDbObjectId());
  const AcDbObjectId ucs = freshPart("ucs table", L"TABLE", AcDbObjectId());
  const AcDbObjectId appids = freshPart("appid table", L"TABLE", AcDbObjectId());
  const AcDbObjectId acad = freshPart("appid ACAD", L"APPID", appids);
  auto* blockTable = AcDbCore::objectAs<AcDbBlockTable>(mImp->blockTable);
  std::vector<AcDbObjectId> blocks;
  if (blockTable != nullptr)
    for (AcDbObjectId id : AcDbCore::records(blockTable))
      if (!id.isErased() && AcDbCore::objectAs<AcDbBlockTableRecord>(id)) blocks.push_back(id);
  std::vector<std::pair<AcDbObjectId, AcDbObjectId>> layoutOf;  // block, its LAYOUT
  for (AcDbObjectId block : blocks) {
    const auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(block);
    auto& parts = mFile.newBlockParts[block.stub()];
    if (parts.first.isNull()) parts.first = freshPart("block " + formatHandle(handleOf(block)), L"BLOCK", block);
    if (parts.second.isNull()) parts.second = freshPart("endblk " + formatHandle(handleOf(block)), L"ENDBLK", block);
    if (record->isLayout()) layoutOf.emplace_back(block, freshPart("layout " + formatHandle(handleOf(block)), L"LAYOUT", layouts));
  }
  prepareFields(mDb, mFile, mWithFields, [this](std::wstring text) { warn(std::move(text)); });

  // The header.
  mOut.string(999, "written by the host's drawing files");
  mOut.string(0, "SECTION");
  mOut.string(2, "HEADER");
  auto name = [](AcDbObjectId id) {
    const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(id);
    return std::wstring(record ? AcDbCore::name(record) : L"");
  };
  mOut.string(9, "$ACADVER");
  mOut.string(1, "AC1032");
  mOut.string(9, "$DWGCODEPAGE");
  mOut.string(3, "ANSI_1252");
  mOut.string(9, "$INSBASE");
  mOut.real(10, 0);
  mOut.real(20, 0);
  mOut.real(30, 0);
  mOut.string(9, "$TEXTSIZE");
  mOut.real(40, mDb->textsize());
  mOut.string(9, "$LUNITS");
  mOut.integer(70, mDb->lunits());
  mOut.string(9, "$LUPREC");
  mOut.integer(70, mDb->luprec());
  mOut.string(9, "$INSUNITS");
  mOut.integer(70, mDb->insunits());
  mOut.string(9, "$TEXTSTYLE");
  mOut.text(7, name(mDb->textstyle()));
  mOut.string(9, "$CLAYER");
  mOut.text(8, name(mDb->clayer()));
  mOut.string(9, "$DIMSTYLE");
  mOut.text(2, name(mDb->dimstyle()));
  mOut.string(9, "$HANDSEED");
  mOut.handle(5, mImp->handseed);
  mOut.string(0, "ENDSEC");
  mOut.string(0, "SECTION");
  mOut.string(2, "CLASSES");
  mOut.string(0, "ENDSEC");

  // The tables.
  mOut.string(0, "SECTION");
  mOut.string(2, "TABLES");
  writeFreshTable("VPORT", vports, 1);
  mOut.string(0, "VPORT");
  mOut.handle(5, handleOf(active));
  mOut.handle(330, handleOf(vports));
  mOut.string(100, "AcDbSymbolTableRecord");
  mOut.string(100, "AcDbViewportTableRecord");
  mOut.string(2, "*Active");
  mOut.integer(70, 0);
  for (const auto& [code, value] : std::vector<std::pair<int, double>>{
           {10, 0}, {20, 0}, {11, 1}, {21, 1}, {12, 0}, {22, 0}, {13, 0}, {23, 0}, {14, 10}, {24, 10}, {15, 10}, {25, 10},
           {16, 0}, {26, 0}, {36, 1}, {17, 0}, {27, 0}, {37, 0}, {40, 1000}, {41, 1.34}, {42, 50}, {43, 0}, {44, 0},
           {50, 0}, {51, 0}})
    mOut.real(code, value);
  mOut.string(0, "ENDTAB");
  writeFreshTable("LTYPE", ltypes, 3);
  for (const auto& [id, ltype, text] : std::vector<std::tuple<AcDbObjectId, const char*, const char*>>{
           {byBlock, "ByBlock", ""}, {byLayer, "ByLayer", ""}, {continuous, "Continuous", "Solid line"}}) {
    mOut.string(0, "LTYPE");
    mOut.handle(5, handleOf(id));
    mOut.handle(330, handleOf(ltypes));
    mOut.string(100, "AcDbSymbolTableRecord");
    mOut.string(100, "AcDbLinetypeTableRecord");
    mOut.string(2, ltype);
    mOut.integer(70, 0);
    mOut.string(3, text);
    mOut.integer(72, 65);
    mOut.integer(73, 0);
    mOut.real(40, 0);
  }
  mOut.string(0, "ENDTAB");
  auto records = [&](AcDbObjectId tableId) {
    std::vector<AcDbObjectId> ids;
    if (const auto* table = AcDbCore::objectAs<AcDbSymbolTable>(tableId))
      for (AcDbObjectId id : AcDbCore::records(table))
        if (!id.isErased() && AcDbCore::object(id) != nullptr) ids.push_back(id);
    return ids;
  };
  const auto layers = records(mImp->layerTable), styles = records(mImp->textStyleTable), dimStyles = records(mImp->dimStyleTable);
  writeFreshTable("LAYER", mImp->layerTable, static_cast<int>(layers.size()));
  for (AcDbObjectId id : layers) generate(id.stub(), AcDbCore::object(id));
  mOut.string(0, "ENDTAB");
  writeFreshTable("STYLE", mImp->textStyleTable, static_cast<int>(styles.size()));
  for (AcDbObjectId id : styles) generate(id.stub(), AcDbCore::object(id));
  mOut.string(0, "ENDTAB");
  writeFreshTable("VIEW", views, 0);
  mOut.string(0, "ENDTAB");
  writeFreshTable("UCS", ucs, 0);
  mOut.string(0, "ENDTAB");
  writeFreshTable("APPID", appids, 1);
  mOut.string(0, "APPID");
  mOut.handle(5, handleOf(acad));
  mOut.handle(330, handleOf(appids));
  mOut.string(100, "AcDbSymbolTableRecord");
  mOut.string(100, "AcDbRegAppTableRecord");
  mOut.string(2, "ACAD");
  mOut.integer(70, 0);
  mOut.string(0, "ENDTAB");
  writeFreshTable("DIMSTYLE", mImp->dimStyleTable, static_cast<int>(dimStyles.size()), "AcDbDimStyleTable");
  for (AcDbObjectId id : dimStyles) generate(id.stub(), AcDbCore::object(id));
  mOut.string(0, "ENDTAB");
  writeFreshTable("BLOCK_RECORD", mImp->blockTable, static_cast<int>(blocks.size()));
  for (AcDbObjectId block : blocks) {
    const auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(block);
    mOut.string(0, "BLOCK_RECORD");
    mOut.handle(5, handleOf(block));
    mOut.handle(330, handleOf(mImp->blockTable));
    mOut.string(100, "AcDbSymbolTableRecord");
    mOut.string(100, "AcDbBlockTableRecord");
    mOut.text(2, AcDbCore::name(record));
    AcDbObjectId layout;
    for (const auto& [b, l] : layoutOf)
      if (b == block) layout = l;
    mOut.handle(340, handleOf(layout));
  }
  mOut.string(0, "ENDTAB");
  mOut.string(0, "ENDSEC");

  // The blocks, and the entities of model space and the paper space.
  auto writeEntities = [&](const AcDbBlockTableRecord* block) {
    for (AcDbObjectId id : AcDbCore::entities(block))
      if (isWritten(id.stub())) {
        generate(id.stub(), AcDbCore::object(id));
        flushIfFull();
      }
  };
  auto inEntitiesSection = [](const AcDbBlockTableRecord* block) {
    const std::wstring upper = acdbUpperName(AcDbCore::name(block));
    return upper == L"*MODEL_SPACE" || upper == L"*PAPER_SPACE";
  };
  mOut.string(0, "SECTION");
  mOut.string(2, "BLOCKS");
  for (AcDbObjectId block : blocks) {
    const auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(block);
    const auto& parts = mFile.newBlockParts[block.stub()];
    const std::string encoded = mFile.codec.encode(AcDbCore::name(record));
    mOut.string(0, "BLOCK");
    mOut.handle(5, handleOf(parts.first));
    mOut.handle(330, handleOf(block));
    mOut.string(100, "AcDbEntity");
    if (record->isLayout() && acdbUpperName(AcDbCore::name(record)) != L"*MODEL_SPACE") mOut.integer(67, 1);
    mOut.string(8, "0");
    mOut.string(100, "AcDbBlockBegin");
    mOut.string(2, encoded);
    mOut.integer(70, 0);
    mOut.real(10, record->origin().x);
    mOut.real(20, record->origin().y);
    mOut.real(30, record->origin().z);
    mOut.string(3, encoded);
    mOut.string(1, "");
    if (!inEntitiesSection(record)) writeEntities(record);
    mOut.string(0, "ENDBLK");
    mOut.handle(5, handleOf(parts.second));
    mOut.handle(330, handleOf(block));
    mOut.string(100, "AcDbEntity");
    mOut.string(8, "0");
    mOut.string(100, "AcDbBlockEnd");
  }
  mOut.string(0, "ENDSEC");
  mOut.string(0, "SECTION");
  mOut.string(2, "ENTITIES");
  for (AcDbObjectId block : blocks) {
    const auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(block);
    if (inEntitiesSection(record)) writeEntities(record);
  }
  mOut.string(0, "ENDSEC");

  // The objects: the root dictionary, groups, layouts, and what the fields need.
  mOut.string(0, "SECTION");
  mOut.string(2, "OBJECTS");
  mOut.string(0, "DICTIONARY");
  mOut.handle(5, handleOf(root));
  mOut.handle(330, 0);
  mOut.string(100, "AcDbDictionary");
  mOut.integer(281, 1);
  mOut.string(3, "ACAD_GROUP");
  mOut.handle(350, handleOf(groups));
  mOut.string(3, "ACAD_LAYOUT");
  mOut.handle(350, handleOf(layouts));
  for (const auto& [id, owner, entries] : std::vector<std::tuple<AcDbObjectId, AcDbObjectId, bool>>{
           {groups, root, false}, {layouts, root, true}}) {
    mOut.string(0, "DICTIONARY");
    mOut.handle(5, handleOf(id));
    mOut.string(102, "{ACAD_REACTORS");
    mOut.handle(330, handleOf(owner));
    mOut.string(102, "}");
    mOut.handle(330, handleOf(owner));
    mOut.string(100, "AcDbDictionary");
    mOut.integer(281, 1);
    if (!entries) continue;
    for (const auto& [block, layout] : layoutOf) {
      mOut.text(3, AcDbCore::objectAs<AcDbBlockTableRecord>(block)->layoutName());
      mOut.handle(350, handleOf(layout));
    }
  }
  int order = 0;
  for (const auto& [block, layout] : layoutOf) {
    const auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(block);
    const bool model = acdbUpperName(AcDbCore::name(record)) == L"*MODEL_SPACE";
    mOut.string(0, "LAYOUT");
    mOut.handle(5, handleOf(layout));
    mOut.string(102, "{ACAD_REACTORS");
    mOut.handle(330, handleOf(layouts));
    mOut.string(102, "}");
    mOut.handle(330, handleOf(layouts));
    mOut.string(100, "AcDbPlotSettings");
    mOut.string(1, "");
    mOut.string(2, "none_device");
    mOut.string(4, "");
    mOut.string(6, "");
    for (int code : {40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 140, 141}) mOut.real(code, 0);
    mOut.real(142, 1);
    mOut.real(143, 1);
    mOut.integer(70, model ? 1712 : 688);
    mOut.integer(72, 0);
    mOut.integer(73, 0);
    mOut.integer(74, 5);
    mOut.string(7, "");
    mOut.integer(75, 16);
    mOut.real(147, 1);
    mOut.real(148, 0);
    mOut.real(149, 0);
    mOut.string(100, "AcDbLayout");
    mOut.text(1, record->layoutName());
    mOut.integer(70, 1);
    mOut.integer(71, model ? 0 : ++order);
    mOut.real(10, 0);
    mOut.real(20, 0);
    mOut.real(11, 420);
    mOut.real(21, 297);
    for (int code : {12, 22, 32}) mOut.real(code, 0);
    for (int code : {14, 24, 34}) mOut.real(code, 1e20);
    for (int code : {15, 25, 35}) mOut.real(code, -1e20);
    mOut.real(146, 0);
    for (int code : {13, 23, 33}) mOut.real(code, 0);
    mOut.real(16, 1);
    mOut.real(26, 0);
    mOut.real(36, 0);
    mOut.real(17, 0);
    mOut.real(27, 1);
    mOut.real(37, 0);
    mOut.integer(76, 0);
    mOut.handle(330, handleOf(block));
  }
  for (auto& stub : mImp->stubs) {
    const auto* record = objectRecord(stub.loaded());
    if (record != nullptr && hasOwnBytes(*record) && isWritten(&stub)) mBuffer.append(record->bytes());
  }
  mOut.string(0, "ENDSEC");
  mOut.string(0, "EOF");
}

}  // namespace

size_t setPatchAheadFrom(size_t changedEntities) { return gPatchAheadFrom.exchange(changedEntities); }

WriteResult writeDrawingBytes(AcDbDatabase* db, std::string& out, size_t flushAt,
                              const std::function<bool(std::string&)>& flush) {
  if (fileRecord(db) == nullptr) {
    // A drawing the host made: from now on it is written as a new R2018 drawing.
    auto* file = new FileRecord;
    file->fresh = true;
    file->version = "AC1032";
    file->release = 1032;
    file->codec = TextCodec::forDrawing("AC1032", "");
    file->style.alignedCodes = true;
    file->image = ImageRef(FileImage::allocate(0));
    file->image->style = file->style;
    file->image->codec = file->codec;
    file->hasObjects = file->hasEntities = file->hasBlocks = file->hasHeader = true;
    AcDbCore::imp(db)->fileRecord.reset(file);
  }
  Writer writer(db, out, flushAt, flush);
  return writer.run();
}

}  // namespace cadhost::dxf
