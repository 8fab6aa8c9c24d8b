// Reading a drawing file into the host's database: the sections, tables, blocks, entities and
// objects, with repairs of damaged input reported as warnings and refusals as errors.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "aheadworker.h"
#include "dxffile.h"
#include "entityscout.h"
#include "fieldcodes.h"
#include "messages.h"
#include "reading.h"
#include "records.h"
#include "tagfaults.h"

namespace cadhost::dxf {

namespace {

constexpr const char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // then a zero byte
constexpr size_t kBinarySentinelSize = 22;
// Handles the reader lends to objects until the file is read: objects the file gave no handle
// (or a handle another object has) get fresh ones at the end. They lie above any handle a file
// may use, so no reference in the file can reach them.
constexpr uint64_t kProvisionalBase = 0xF000000000000000ull;
constexpr uint64_t kHandleLimit = uint64_t(1) << 60;

enum class Section { None, Header, Classes, Tables, Blocks, Entities, Objects, Other, Unnamed };

std::wstring sectionName(Section s) {
  switch (s) {
    case Section::Header: return L"HEADER";
    case Section::Classes: return L"CLASSES";
    case Section::Tables: return L"TABLES";
    case Section::Blocks: return L"BLOCKS";
    case Section::Entities: return L"ENTITIES";
    case Section::Objects: return L"OBJECTS";
    default: return L"unnamed";
  }
}

// Bytes of a file as they can be shown in a message.
std::wstring shown(std::string_view bytes) {
  std::wstring s;
  for (char c : bytes.substr(0, 60)) {
    const unsigned char u = static_cast<unsigned char>(c);
    s.push_back(u < 0x20 || u >= 0x7F ? L'?' : static_cast<wchar_t>(u));
  }
  if (bytes.size() > 60) s += L"...";
  return s;
}

struct PendingName {
  DecodeContext::Ref kind;
  AcDbObject* referrer;
  std::string name;
  uint64_t offset;
};

// An object whose handle the file shows but the host cannot give it: one another object has, or
// one that is no handle at all (then its text is kept for the message).
struct Rehandled {
  AcDbStub* stub;
  std::string type;
  uint64_t offset;
  uint64_t handle;
  uint64_t holderOffset;
  std::wstring unusable;
};

class Loader : public DecodeContext {
 public:
  Loader(FileImage* image, const std::wstring& name, const ReadOptions& options)
      : DecodeContext(nullptr, *new FileRecord, true), mName(name), mOptions(options),
        mLines(image->data(), image->size()), mSink(options.maxMessages) {
    mFileOwner.reset(&file);
    image->retain();
    file.image = ImageRef(image);
  }

  ReadResult run();

  AcDbObjectId named(Ref kind, std::string_view name, AcDbObject* referrer) override;
  AcDbObjectId object(uint64_t handle) override;
  void badValue(const Tag& tag, const char* what) override;

 private:
  Message at(uint64_t offset, Severity severity, std::wstring text) {
    Message m;
    m.severity = severity;
    m.text = std::move(text);
    if (file.style.binary) m.offset = static_cast<long long>(offset);
    else m.line = mLines.lineOf(offset);
    return m;
  }
  void warn(uint64_t offset, std::wstring text) {
    if (mSink.wants()) mSink.add(at(offset, Severity::Warning, std::move(text)));
    else mSink.add(Message());
  }
  ReadResult refuse(uint64_t offset, std::wstring text);

  bool detectFormat();
  void readHeader();
  void prepareCodec();
  bool readRecord(const Tag& first);
  // Whether the record just read is one the file is cut short in: it is left out (see run), and
  // what is wrong in it is not reported.
  bool isCutShort() const {
    if (!mRecordCut || mRecord.type == "BLOCK") return false;
    if (mRecord.type != "TABLE") return true;
    for (const auto& m : mRecord.main)  // (a table cut before its name is of no kind)
      if (mRecord.tags[m.index].code == 2) return false;
    return true;
  }
  bool cutByUnknownCode();
  void skipRecord(const Tag& first);

  void checkRecord(AcDbObjectId owner);
  void checkTag(const Tag& tag, TagFault fault = TagFault::None);
  void checkVariable(const HeaderVariable& variable, const std::vector<Tag>& values);
  // Whether the tag after x (the next one the reader gives) is x's y.
  bool followedByY(const Tag& x) const {
    TagReader peek = *mReader;
    Tag y;
    return peek.next(y) && y.code == x.code + 10;
  }
  void leaveOut(uint64_t begin, uint64_t end) { file.mends.push_back({StructureMend::Kind::LeaveOut, begin, end}); }
  void leaveOutRecord() {
    leaveOut(mRecordBegin, mRecordEnd);
    if (mRecord.handleValid) file.leftOutHandles.insert(mRecord.handle);
  }
  void endParentAt(uint64_t at, bool report = true);
  void endBlockAt(uint64_t at, bool report = true);
  void endTableAt(uint64_t at, bool report = true);
  void endSectionAt(uint64_t at, const wchar_t* before, bool report = true);
  AcDbObjectId madeForFile(AcDbObject* obj, AcDbObjectId owner);
  std::wstring uniqueName(const AcDbSymbolTable* table, const std::wstring& base);
  void yieldMadeRecord(AcDbSymbolTable* table, AcDbObjectId made);

  void tableRecord();
  void blockRecord();
  void endBlockRecord();
  void entityRecord(bool inBlock);
  bool deferScouted(const Tag& first);
  void objectsSectionRecord();
  AcDbObjectId addObject(AcDbObject* obj, AcDbObjectId owner, uint8_t flags = 0);
  void sectionEndsAt(uint64_t offset);
  bool mayDefer() const;
  bool handleIsFree(uint64_t handle) const;
  // (ownerIsBlock, when given, tells whether the owner handle named a block: one that names none
  // is reported by the caller.)
  AcDbObjectId spaceOf(uint64_t ownerHandle, bool paper, bool* ownerIsBlock = nullptr);
  struct {
    uint64_t handle = 0;
    AcDbObjectId block;
  } mLastOwner;  // the block an owner handle was last found to be
  AcDbObjectId deferObject(AcRxClass* cls, AcDbObjectId owner);
  AcDbObjectId addSynthesized(AcDbObject* obj, AcDbObjectId owner);
  AcDbObjectId addMade(AcDbObject* obj, AcDbObjectId owner, std::vector<AcDbStub*>& list, uint8_t flags);
  void rekey(AcDbStub* stub, uint64_t handle);
  std::wstring whereIs(uint64_t offset);

  AcDbObjectId ensureTable(AcDbObjectId& slot, AcDbObject* (*make)());
  void reportMadeTable(AcDbObjectId table, const wchar_t* kind);
  AcDbObjectId findNamed(Ref kind, std::string_view raw);
  AcDbObjectId synthesizeNamed(Ref kind, std::string_view raw);
  AcDbObjectId makeEmptyBlock(std::string_view raw);
  bool newBlocksCanBeSaved() const;
  void discardDecoded(AcDbObject* obj);
  AcDbObjectId space(bool paper);

  void resolveNames();
  void resolveLayouts();
  void finishHeaderSettings();
  void finishHandles();

  std::unique_ptr<FileRecord> mFileOwner;
  std::unique_ptr<AcDbDatabase> mDb;
  AcDbImpDatabase* mImp = nullptr;
  std::wstring mName;
  ReadOptions mOptions;
  LineCounter mLines;
  MessageSink mSink;
  std::unique_ptr<TagReader> mReader;
  std::unique_ptr<EntityScout> mScout;  // reading the BLOCKS or ENTITIES section ahead, in a large file
  RecordTags mRecord;
  uint64_t mRecordBegin = 0, mRecordEnd = 0;
  Tag mNext;  // the tag after the record or section just read
  bool mHaveNext = false;

  Section mSection = Section::None;
  uint64_t mSectionBegin = 0;
  AcDbObjectId mTable;   // the table being read
  bool mJoining = false; // reading a second table of a kind: its records join the first (mTable)
  bool mDroppingTable = false;  // reading a table that a save leaves out with its records
  AcDbObjectId mBlock;   // the block being read (its block record)
  AcDbObjectId mParent;  // a POLYLINE or INSERT whose VERTEX, ATTRIB and SEQEND follow
  AcDbObjectId mPaperSpace;
  uint64_t mNextProvisional = kProvisionalBase;
  bool mCodecReady = false;
  bool mTablesSeen = false;
  bool mBlockRecordTable = false;  // blocks have records (R13 and later)
  bool mBlocksAsRecords = false;   // BLOCK entities stand for their records (R12)
  std::unordered_set<const AcDbStub*> mMadeTables;  // tables the file lacks, which the reader made

  std::string mVersion, mCodePage;
  uint64_t mVersionOffset = 0, mCodePageOffset = 0;
  // A header setting the host models, as the file gives it.
  struct HeaderValue {
    bool given = false, readable = false;
    bool reported = false;  // (what is wrong with it is reported already)
    double number = 0;
    uint64_t offset = 0;
    std::wstring shown;
  } mLunits, mLuprec, mInsunits, mTextsize;
  uint64_t mHeaderSeed = 0;
  bool mHasSeed = false;
  uint64_t mSeedOffset = 0;
  int64_t mHandling = 1;
  std::string mTextStyleName, mLayerName, mDimStyleName;
  bool mHasTextStyle = false, mHasLayer = false, mHasDimStyle = false;

  std::vector<PendingName> mPending;
  std::vector<std::pair<AcDbStub*, uint64_t>> mExtensionDictionaries;
  std::vector<AcDbStub*> mLayouts;
  std::vector<Rehandled> mRehandled;
  std::vector<AcDbStub*> mUnnamed;  // objects with provisional handles that the file does not show
  uint64_t mHighestHandle = 0;
  bool mMuted = false;  // decoding a record again: its problems are reported already
  bool mFaulty = false;  // the record just read has damage that a save mends
  bool mRecordCut = false;         // ... it ends where the file does (or where it could be read)
  AcDbStub* mLastAdded = nullptr;  // ... the object made of it
  std::vector<char> mReported;  // its tags whose damage a decoding reported
  std::vector<AcDbStub*> mShown;  // objects the reader made that the file will show (closing a block or a sequence)
  std::vector<AcDbStub*> mLeftNew;  // ... and those of them a save writes as new (blocks INSERTs name)
  // Entities whose owner the file gives only after them (a file whose tables follow its entities):
  // they join their block once the file is read (checkLaterOwners).
  struct LaterOwner {
    AcDbStub* entity;
    uint64_t owner;
    uint64_t offset;
    bool paper;
    std::string type;
  };
  std::vector<LaterOwner> mLaterOwners;
  void checkLaterOwners();
  // A message for an entity whose owner is no block: the space it goes to instead.
  void reportOwnerOfNoBlock(uint64_t offset, std::string_view type, uint64_t owner, bool paper, AcDbObjectId space);
  std::vector<AcDbStub*> mNamelessBlockRecords;  // block records without a name (their BLOCK names them)
  // A mapped file's pages are given back behind the reading, every so many bytes.
  static constexpr uint64_t kReleaseEvery = 8 << 20;
  uint64_t mReleasedUpTo = 0;
};

template <class Table>
AcDbObject* makeTable() { return new Table; }

// ---- Objects in the database ----------------------------------------------------------------

// An object the reader makes, with a provisional handle, kept in list (see below) and marked
// synthesized with flags.
AcDbObjectId Loader::addMade(AcDbObject* obj, AcDbObjectId owner, std::vector<AcDbStub*>& list, uint8_t flags) {
  AcDbObjectId id;
  AcDbCore::addToDatabase(mDb.get(), obj, owner, mNextProvisional++, id);
  list.push_back(id.stub());
  AcDbCore::setStoredRecord(obj, new ObjectRecord(nullptr, 0, 0, static_cast<uint8_t>(ObjectRecord::kSynthesized | flags)));
  return id;
}

AcDbObjectId Loader::addSynthesized(AcDbObject* obj, AcDbObjectId owner) {
  return addMade(obj, owner, mUnnamed, ObjectRecord::kNoHandle);
}

// An object the reader makes to mend the file's structure (an ENDBLK or a SEQEND the file lacks, a
// block record): the file will show its handle, which it gets with the objects whose handles were
// taken, below the seed.
AcDbObjectId Loader::madeForFile(AcDbObject* obj, AcDbObjectId owner) {
  return addMade(obj, owner, mShown, ObjectRecord::kMadeForFile);
}

// The ends of what the file leaves open where something else begins (or the file ends): each is
// reported (unless the end of the file is, once) and a save writes it there.
void Loader::endParentAt(uint64_t at, bool report) {
  if (mParent.isNull()) return;
  const auto* parent = AcDbCore::objectAs<AcDbEntity>(mParent);
  const std::wstring type = parent != nullptr ? std::wstring(parent->typeName()) : std::wstring(L"POLYLINE");
  if (report) warn(at, L"the " + type + L" before has no SEQEND; a save ends it with one here");
  AcDbObjectId seqend;
  if (file.handles) {
    auto* entity = new AcDbUnmodeledEntity(L"SEQEND");
    if (parent != nullptr) AcDbCore::setLayerId(entity, parent->layerId());
    seqend = madeForFile(entity, mParent);
  }
  file.mends.push_back({StructureMend::Kind::EndSequence, at, at, seqend, mParent});
  mParent = AcDbObjectId();
}

void Loader::endBlockAt(uint64_t at, bool report) {
  endParentAt(at, report);
  if (mBlock.isNull()) return;
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(mBlock);
  if (report)
    warn(at, L"the block '" + std::wstring(block ? AcDbCore::name(block) : L"") +
                 L"' has no ENDBLK; a save ends it with one here");
  AcDbObjectId endblk;
  if (file.handles) endblk = madeForFile(new AcDbUnmodeledObject(L"ENDBLK"), mBlock);
  file.mends.push_back({StructureMend::Kind::EndBlock, at, at, endblk, mBlock});
  file.blockEnds[mBlock.stub()] = at;  // where its new entities go
  mBlock = AcDbObjectId();
}

void Loader::endTableAt(uint64_t at, bool report) {
  mDroppingTable = false;
  if (mTable.isNull()) return;
  if (!mJoining) {  // (a second table that joins the first needs no end: a save leaves it out)
    if (report) warn(at, L"the table before has no ENDTAB; a save ends it with one here");
    file.mends.push_back({StructureMend::Kind::EndTable, at, at});
    file.tableEnds[mTable.stub()] = at;
  }
  mTable = AcDbObjectId();
  mJoining = false;
}

void Loader::endSectionAt(uint64_t at, const wchar_t* before, bool report) {
  endBlockAt(at, report);
  endTableAt(at, report);
  if (mSection == Section::None) return;
  if (mSection == Section::Unnamed) {
    leaveOut(mSectionBegin, at);  // left out whole
  } else {
    if (report)
      warn(at, L"the " + sectionName(mSection) + L" section has no ENDSEC before " + before +
                   L"; a save ends it with one here");
    if (mSection == Section::Header && file.headerEnd == 0) file.headerEnd = at;
    sectionEndsAt(at);
    file.mends.push_back({StructureMend::Kind::EndSection, at, at});
  }
  mSection = Section::None;
}

void Loader::rekey(AcDbStub* stub, uint64_t handle) {
  const size_t position = mImp->byHandle.erase(stub->handle.value());
  stub->handle = AcDbHandle(handle);
  mImp->byHandle.insert(position);
}

std::wstring Loader::whereIs(uint64_t offset) {
  if (file.style.binary) return L"byte " + std::to_wstring(offset);
  return L"line " + std::to_wstring(mLines.lineOf(offset));
}

// Adds the object of the record just read, with its handle and its bytes as its stored record.
AcDbObjectId Loader::addObject(AcDbObject* obj, AcDbObjectId owner, uint8_t flags) {
  uint64_t handle = 0;
  if (mRecord.handleValid && mRecord.handle < kHandleLimit) {
    handle = mRecord.handle;
    const AcDbStub* holder = mImp->findHandle(handle);
    if (holder != nullptr && holder->hasObject()) {
      uint64_t holderBegin = 0, holderEnd = 0;
      recordPlace(file, *holder, holderBegin, holderEnd);
      mRehandled.push_back({nullptr, std::string(mRecord.type), mRecordBegin, handle, holderBegin, std::wstring()});
      handle = 0;
      flags |= ObjectRecord::kRehandled;
    }
  } else if (mRecord.handleTag >= 0) {
    // No handle (0, beyond any a drawing gives, not hexadecimal): a new one, which a save writes.
    const Tag& tag = mRecord.tags[static_cast<size_t>(mRecord.handleTag)];
    mRehandled.push_back({nullptr, std::string(mRecord.type), tag.begin, 0, 0, L"'" + shown(tag.value) + L"'"});
    flags |= ObjectRecord::kRehandled;
  } else {
    flags |= ObjectRecord::kNoHandle;
  }
  if (mFaulty) flags |= ObjectRecord::kRepaired;
  if (handle == 0) handle = mNextProvisional++;
  else mHighestHandle = std::max(mHighestHandle, handle);
  AcDbObjectId id;
  if (AcDbCore::addToDatabase(mDb.get(), obj, owner, handle, id) != Acad::eOk) {
    discardDecoded(obj);  // cannot happen: the handle was checked
    return AcDbObjectId();
  }
  mLastAdded = id.stub();
  if (flags & ObjectRecord::kRehandled) mRehandled.back().stub = id.stub();
  else if (handle >= kProvisionalBase) mUnnamed.push_back(id.stub());
  ObjectRecord* record = mRecord.type == "FIELD"
                             ? new FieldRecord(file.image.get(), mRecordBegin, mRecordEnd, flags)
                             : new ObjectRecord(file.image.get(), mRecordBegin, mRecordEnd, flags);
  AcDbCore::setStoredRecord(obj, record);
  file.objects.push_back(id.stub());
  if (mRecord.xdictionary != 0 && mRecord.xdictionary < kHandleLimit)
    mExtensionDictionaries.emplace_back(id.stub(), mRecord.xdictionary);
  return id;
}

// Where the section being read ends (its ENDSEC, or where the file leaves it without one): new
// entities, blocks, tables and objects are written there. (A block left open is ended there first.)
void Loader::sectionEndsAt(uint64_t offset) {
  switch (mSection) {
    case Section::Entities: file.entitiesEnd = offset; break;
    case Section::Objects: file.objectsEnd = offset; break;
    case Section::Tables: file.tablesEnd = offset; break;
    case Section::Blocks:
      if (mBlock.isNull()) file.blocksEnd = offset;
      break;
    default: break;
  }
}

// Whether the entity just read can stay in the file until it is used: it has a handle of its own
// and nothing the reader has to join to it.
bool Loader::mayDefer() const {
  return mayStayInFile(mRecord, file.style.binary, kHandleLimit) && handleIsFree(mRecord.handle);
}

bool Loader::handleIsFree(uint64_t handle) const {
  const AcDbStub* holder = mImp->findHandle(handle);
  return holder == nullptr || !holder->hasObject();
}

// The block an entity of the ENTITIES section belongs to: the one its owner handle names, else
// model space or paper space as it says.
// Whether the object of a handle is a block. One still in the file is an entity, and is not made
// to tell: a record that cannot be made would leave its stub without an object, and its handle
// free for a later record of the file while its place is the earlier one's.
namespace {
bool isBlock(const AcDbStub& stub) { return !stub.isDeferred() && AcDbBlockTableRecord::cast(stub.object()) != nullptr; }
}  // namespace

AcDbObjectId Loader::spaceOf(uint64_t ownerHandle, bool paper, bool* ownerIsBlock) {
  if (ownerIsBlock != nullptr) *ownerIsBlock = true;
  if (ownerHandle != 0) {
    // Entities come in long runs with the same owner: the last block found is asked first.
    if (ownerHandle == mLastOwner.handle) return mLastOwner.block;
    AcDbStub* stub = mImp->findHandle(ownerHandle);
    if (stub != nullptr && isBlock(*stub)) {
      mLastOwner = {ownerHandle, AcDbObjectId(stub)};
      return mLastOwner.block;
    }
    if (ownerIsBlock != nullptr) *ownerIsBlock = false;
  }
  return space(paper);
}

AcDbObjectId Loader::deferObject(AcRxClass* cls, AcDbObjectId owner) {
  if (file.deferred == nullptr) {
    auto loader = std::make_unique<DeferredRecords>(mDb.get(), file.image.get());
    loader->reserveFor(file.image->size());
    file.deferred = loader.get();
    mImp->deferredLoader = std::move(loader);
  }
  AcDbStub* stub = mImp->placeholder(mRecord.handle);
  if (!file.deferred->add(stub, mRecordBegin, mRecordEnd, cls, mRecord.type, owner.stub())) return AcDbObjectId();
  mHighestHandle = std::max(mHighestHandle, mRecord.handle);
  file.objects.push_back(stub);
  mLastAdded = stub;
  return AcDbObjectId(stub);
}

AcDbObjectId Loader::object(uint64_t handle) {
  if (handle == 0 || handle >= kHandleLimit) return AcDbObjectId();
  mHighestHandle = std::max(mHighestHandle, handle);
  return AcDbObjectId(mImp->placeholder(handle));
}

void Loader::badValue(const Tag& tag, const char* what) {
  if (mMuted || isCutShort()) return;
  mFaulty = true;
  const size_t index = static_cast<size_t>(&tag - mRecord.tags.data());
  if (index < mRecord.tags.size()) {
    if (mReported.size() < mRecord.tags.size()) mReported.resize(mRecord.tags.size(), 0);
    mReported[index] = 1;
  }
  warn(tag.begin, L"group code " + std::to_wstring(tag.code) + L" of " + file.codec.decode(mRecord.type) + L" holds '" +
                      shown(tag.value) + L"', which is not " + std::wstring(what, what + std::strlen(what)) +
                      L"; the host uses its default there, and so does a save");
}

// What is wrong in the tags of the record just read that its decoding did not report: each is
// reported with its place and what a save writes instead (the owner's tag: the owner's handle).
void Loader::checkRecord(AcDbObjectId owner) {
  if (isCutShort()) return;
  const bool binary = file.style.binary;
  auto report = [&](size_t i, TagFault fault) {
    if (i < mReported.size() && mReported[i]) return;
    mFaulty = true;
    const std::wstring type = file.codec.decode(mRecord.type);
    if (fault == TagFault::UnclosedGroup) {
      const uint64_t at = i < mRecord.tags.size() ? mRecord.tags[i].begin : mRecordEnd;
      warn(at, L"an application group of this " + type + L" has no closing '}'; a save closes it here");
      return;
    }
    const Tag& tag = mRecord.tags[i];
    std::wstring what = describeFault(fault, shown(tag.value), binary);
    if (static_cast<int>(i) == mRecord.ownerTag && fault == TagFault::NotAHandle && !owner.isNull())
      what = L"holds '" + shown(tag.value) + L"', which is not a handle; a save writes its owner's handle there";
    warn(tag.begin, L"group code " + std::to_wstring(tag.code) + L" of " + type + L" " + what);
  };
  forEachFault(mRecord, binary, report);
}

// A tag outside any record (the header's variables, the classes, sections the host does not read):
// what is wrong in it is reported, and a save writes it mended.
void Loader::checkTag(const Tag& tag, TagFault fault) {
  if (fault == TagFault::None) fault = valueFault(tag, file.style.binary);
  if (fault == TagFault::None) return;
  warn(tag.begin, L"group code " + std::to_wstring(tag.code) + L" " + describeFault(fault, shown(tag.value), file.style.binary));
  file.mends.push_back({StructureMend::Kind::MendTag, tag.begin, tag.end, {}, {}, static_cast<uint8_t>(fault)});
}

// ---- Names ----------------------------------------------------------------------------------

AcDbObjectId Loader::ensureTable(AcDbObjectId& slot, AcDbObject* (*make)()) {
  if (slot.isNull()) {
    slot = addSynthesized(make(), AcDbObjectId());
    mMadeTables.insert(slot.stub());
  }
  return slot;
}

// A table that a drawing of R2000 or later with a TABLES section lacks: the host made it, and a
// save writes it at the end of that section, with its records. (Not for blocks that stand for
// their records, as in R12, which a drawing whose version is unknown may have.)
void Loader::reportMadeTable(AcDbObjectId table, const wchar_t* kind) {
  if (!mMadeTables.count(table.stub()) || file.r12() || !mTablesSeen || (table == mImp->blockTable && mBlocksAsRecords)) return;
  warn(file.tablesEnd != 0 ? file.tablesEnd : mSectionBegin,
       std::wstring(L"the drawing has no ") + kind + L" table; the host makes one, and a save writes it");
  file.madeTables.push_back(table);
}

AcDbObjectId Loader::findNamed(Ref kind, std::string_view raw) { return findNamedRecord(file, mImp, kind, raw); }

AcDbObjectId Loader::named(Ref kind, std::string_view raw, AcDbObject* referrer) {
  if (raw.empty()) raw = kind == Ref::Layer ? "0" : "STANDARD";
  const AcDbObjectId id = findNamed(kind, raw);
  if (id.isNull()) mPending.push_back({kind, referrer, std::string(raw), mRecordBegin});
  return id;
}

// Deletes an object decoded from the record being read, and the names it left to be resolved,
// which would otherwise name a deleted object. (They are the last ones, of this record.)
void Loader::discardDecoded(AcDbObject* obj) {
  for (size_t i = mPending.size(); i-- > 0 && mPending[i].offset == mRecordBegin;)
    if (mPending[i].referrer == obj) mPending.erase(mPending.begin() + static_cast<std::ptrdiff_t>(i));
  delete obj;
}

// A layer, text style or dimension style that objects name and the file does not define: the
// host makes it (a CAD program makes layers on use); it is not written back.
AcDbObjectId Loader::synthesizeNamed(Ref kind, std::string_view raw) {
  AcDbSymbolTableRecord* record = nullptr;
  AcDbObjectId tableId;
  const wchar_t* fallback = L"Standard";
  switch (kind) {
    case Ref::Layer: record = new AcDbLayerTableRecord; tableId = mImp->layerTable; fallback = L"0"; break;
    case Ref::TextStyle: record = new AcDbTextStyleTableRecord; tableId = mImp->textStyleTable; break;
    case Ref::DimStyle: record = new AcDbDimStyleTableRecord; tableId = mImp->dimStyleTable; break;
    case Ref::Block: return AcDbObjectId();
  }
  const std::wstring name = text(raw);
  if (record->setName(name.c_str()) != Acad::eOk) record->setName(fallback);
  AcDbObjectId existing;
  auto* table = AcDbCore::objectAs<AcDbSymbolTable>(tableId);
  if (table->getAt(AcDbCore::name(record), existing) == Acad::eOk) {
    delete record;
    return existing;
  }
  const AcDbObjectId id = addSynthesized(record, tableId);
  AcDbCore::addRecordToTable(table, record);
  return id;
}

void Loader::resolveNames() {
  for (const auto& pending : mPending) {
    AcDbObjectId id = findNamed(pending.kind, pending.name);
    if (id.isNull()) {
      id = synthesizeNamed(pending.kind, pending.name);
      if (id.isNull() && AcDbBlockReference::cast(pending.referrer)) {
        std::wstring named = text(pending.name);
        for (wchar_t& c : named) c = c < 0x20 ? L'?' : c;  // (a line break in a name would break the message)
        if (!newBlocksCanBeSaved()) {
          // (A drawing with block records whose table the file lost: a new block would have no
          // record in the file, and the INSERT would name a block a save does not write.)
          warn(pending.offset, L"the INSERT names the block '" + named + L"', which the drawing does not define, and "
                               L"the file has no table of block records for one the host would make; a save leaves "
                               L"the INSERT out");
          pending.referrer->objectId().stub()->erased = true;
          continue;
        }
        id = makeEmptyBlock(pending.name);
        if (!id.isNull()) {
          const std::wstring made = AcDbCore::name(AcDbCore::objectAs<AcDbSymbolTableRecord>(id));
          warn(pending.offset, L"the INSERT names the block '" + named + L"', which the drawing does not define; the "
                               L"host makes an empty block " + (made == named ? std::wstring(L"of that name") : L"named '" + made + L"'") +
                               L", and a save writes it");
        }
      }
      if (id.isNull()) continue;
      std::unordered_map<std::string, AcDbObjectId>* names =
          pending.kind == Ref::Layer ? &file.layerNames : pending.kind == Ref::TextStyle ? &file.styleNames : &file.dimStyleNames;
      names->emplace(pending.name, id);
    }
    AcDbObject* obj = pending.referrer;
    switch (pending.kind) {
      case Ref::Layer:
        if (auto* ent = AcDbEntity::cast(obj)) AcDbCore::setLayerId(ent, id);
        break;
      case Ref::TextStyle:
        if (auto* t = AcDbText::cast(obj)) AcDbCore::setTextStyleRaw(t, id);
        else if (auto* m = AcDbMText::cast(obj)) AcDbCore::setMTextStyleRaw(m, id);
        else if (auto* ds = AcDbDimStyleTableRecord::cast(obj)) {
          AcDbCore::beginWrite(ds);
          ds->setDimtxsty(id);
          ds->close();
        }
        break;
      case Ref::DimStyle:
        if (auto* d = AcDbDimension::cast(obj)) AcDbCore::setDimStyleRaw(d, id);
        break;
      case Ref::Block:
        AcDbCore::beginWrite(obj);
        if (auto* b = AcDbBlockReference::cast(obj)) b->setBlockTableRecord(id);
        else if (auto* d = AcDbDimension::cast(obj)) d->setDimBlockId(id);
        obj->close();
        break;
    }
  }
  mPending.clear();
}

// Whether a block the host makes can be saved: its record needs a table of block records that the
// file holds or the reader made (R12 blocks have no records).
bool Loader::newBlocksCanBeSaved() const {
  return file.r12() || file.tableEnds.count(mImp->blockTable.stub()) != 0 ||
         std::find(file.madeTables.begin(), file.madeTables.end(), mImp->blockTable) != file.madeTables.end();
}

// A block that INSERTs name and the file does not define: the host makes it empty. It stays a
// new block, which a save writes (its record, BLOCK and ENDBLK), with a handle the file will show.
AcDbObjectId Loader::makeEmptyBlock(std::string_view raw) {
  std::wstring name = hostName(text(raw));
  auto* table = AcDbCore::objectAs<AcDbBlockTable>(ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>));
  AcDbObjectId existing;
  if (table == nullptr || name.empty() || table->getAt(name.c_str(), existing) == Acad::eOk) return existing;
  auto* block = new AcDbBlockTableRecord;
  if (block->setName(name.c_str()) != Acad::eOk) {
    delete block;
    return AcDbObjectId();
  }
  AcDbObjectId id;
  AcDbCore::addToDatabase(mDb.get(), block, table->objectId(), mNextProvisional++, id);
  AcDbCore::addRecordToTable(table, block);
  mShown.push_back(id.stub());
  mLeftNew.push_back(id.stub());
  file.blockNames.emplace(std::string(raw), id);
  return id;
}

// The model space or the (active) paper space: the file's, or one the host makes.
AcDbObjectId Loader::space(bool paper) {
  AcDbObjectId& slot = paper ? mPaperSpace : mImp->modelSpace;
  if (!slot.isNull()) return slot;
  const AcDbObjectId tableId = ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>);
  auto* table = AcDbCore::objectAs<AcDbBlockTable>(tableId);
  const wchar_t* name = paper ? ACDB_PAPER_SPACE : ACDB_MODEL_SPACE;
  AcDbObjectId id;
  if (table->getAt(name, id) == Acad::eOk) {
    slot = id;
    return id;
  }
  auto* record = new AcDbBlockTableRecord;
  record->setName(name);
  record->setLayoutName(paper ? L"Layout1" : L"Model");
  slot = addSynthesized(record, tableId);
  AcDbCore::addRecordToTable(table, record);
  return slot;
}

// ---- Reading the sections -------------------------------------------------------------------

ReadResult Loader::refuse(uint64_t offset, std::wstring text) {
  ReadResult result;
  result.messages = mSink.take();
  result.messages.push_back(at(offset, Severity::Error, std::move(text)));
  result.version = file.version;
  result.format = file.style.binary ? FileFormat::Binary : FileFormat::Ascii;
  return result;
}

bool Loader::detectFormat() {
  const char* data = file.image->data();
  const size_t size = file.image->size();
  if (size >= kBinarySentinelSize && std::memcmp(data, kBinarySentinel, kBinarySentinelSize - 1) == 0 &&
      data[kBinarySentinelSize - 1] == 0) {
    file.style.binary = true;
    file.dataStart = kBinarySentinelSize;
    file.image->style.binary = true;
    // R12 binary files give group codes one byte, later ones two; the first tag is 0 SECTION.
    file.style.binaryShortCodes = size > kBinarySentinelSize + 1 && data[kBinarySentinelSize + 1] != 0;
    return size > kBinarySentinelSize;
  }
  size_t p = 0;
  if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF && static_cast<unsigned char>(data[1]) == 0xBB &&
      static_cast<unsigned char>(data[2]) == 0xBF)
    p = 3;  // a byte order mark stays where it is
  file.dataStart = p;
  const char* nl = p < size ? static_cast<const char*>(std::memchr(data + p, '\n', size - p)) : nullptr;
  file.style.crlf = nl != nullptr && nl > data + p && nl[-1] == '\r';
  // Group codes right-aligned or not: as the first "0" line of the file has it.
  file.style.alignedCodes = true;
  for (size_t line = p, n = 0; line < size && n < 64; ++n) {
    const char* end = static_cast<const char*>(std::memchr(data + line, '\n', size - line));
    const size_t next = end ? static_cast<size_t>(end - data) + 1 : size;
    std::string_view text(data + line, next - line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (!text.empty() && text.back() == '0' && text.find_first_not_of(' ') == text.size() - 1) {
      file.style.alignedCodes = text.size() > 1;
      break;
    }
    line = next;
  }
  while (p < size && (data[p] == ' ' || data[p] == '\t' || data[p] == '\r' || data[p] == '\n')) ++p;
  return p < size;
}

void Loader::readHeader() {
  // From the tag after "2 HEADER" up to the 0 tag that ends it.
  Tag t;
  HeaderVariable* current = nullptr;
  std::vector<Tag> values;  // the current variable's tags
  file.hasHeader = true;
  mHaveNext = false;
  bool orphans = false;  // tags of a variable whose name was lost: left out with it
  bool repeated = false;  // the current variable is one the header gave already
  std::unordered_set<std::string> names;
  const bool binary = file.style.binary;
  auto endVariable = [&](uint64_t at) {
    if (current != nullptr) {
      current->end = at;
      if (repeated) {
        warn(current->begin, L"the header gives " + file.codec.decode(current->name) + L" a second time; the first "
                             L"counts, and a save leaves this one out");
        leaveOut(current->begin, current->end);
        file.header.pop_back();
      } else {
        checkVariable(*current, values);
      }
    }
    values.clear();
    current = nullptr;
  };
  while (mReader->next(t)) {
    if (t.code == 0) {
      endVariable(t.begin);
      if (t.value == "ENDSEC" || t.value == "SECTION" || t.value == "EOF") {
        mNext = t;
        mHaveNext = true;
        file.headerEnd = t.begin;
        return;
      }
      warn(t.begin, L"'" + shown(t.value) + L"' stands in the HEADER section where a variable (group code 9) was "
                    L"expected; a save leaves it out with the values that follow it");
      leaveOut(t.begin, t.end);
      orphans = true;
      continue;
    }
    if (t.code == 9) {
      endVariable(t.begin);
      file.header.push_back({std::string(t.value), t.begin, t.end});
      current = &file.header.back();
      orphans = false;
      // A variable the header gave already: the first one counts, and a save leaves this one out.
      repeated = !names.insert(current->name).second;
      continue;
    }
    if (current == nullptr) {
      if (!orphans && t.code != 999)
        warn(t.begin, L"group code " + std::to_wstring(t.code) + L" stands outside any header variable; a save leaves it out");
      if (orphans || t.code != 999) leaveOut(t.begin, t.end);
      continue;
    }
    current->end = t.end;
    values.push_back(t);
    if (repeated) continue;
    const std::string& name = current->name;
    int64_t i;
    // The variables the host models: a value it cannot use is reported when the header is read
    // through (finishHeaderSettings) and a save writes the host's own.
    auto whole = [&](HeaderValue& value) {
      value.given = true;
      value.offset = t.begin;
      value.shown = shown(t.value);
      value.readable = tagInt(t, binary, i) && valueFault(t, binary) == TagFault::None;
      if (value.readable) value.number = static_cast<double>(std::clamp<int64_t>(i, -9999, 9999));
    };
    if (name == "$ACADVER" && t.code == 1) { mVersion = std::string(t.value); mVersionOffset = t.begin; }
    else if (name == "$DWGCODEPAGE" && t.code == 3) { mCodePage = std::string(t.value); mCodePageOffset = t.begin; }
    else if (name == "$HANDSEED" && t.code == 5) {
      mHasSeed = parseHexHandle(t.value, mHeaderSeed) && mHeaderSeed < kHandleLimit;
      mSeedOffset = t.begin;
      if (!mHasSeed) {
        warn(t.begin, L"the handle seed $HANDSEED '" + shown(t.value) + L"' is not a handle the host can use; a save "
                      L"writes the drawing's own seed there");
        file.seedUnusable = true;
      }
    }
    else if (name == "$LUNITS" && t.code == 70) whole(mLunits);
    else if (name == "$LUPREC" && t.code == 70) whole(mLuprec);
    else if (name == "$INSUNITS" && t.code == 70) whole(mInsunits);
    else if (name == "$TEXTSIZE" && t.code == 40) {
      mTextsize.given = true;
      mTextsize.offset = t.begin;
      mTextsize.shown = shown(t.value);
      mTextsize.readable = tagDouble(t, binary, mTextsize.number) && valueFault(t, binary) == TagFault::None;
    }
    else if (name == "$TEXTSTYLE" && t.code == 7) { mTextStyleName = std::string(t.value); mHasTextStyle = true; }
    else if (name == "$CLAYER" && t.code == 8) { mLayerName = std::string(t.value); mHasLayer = true; }
    else if (name == "$DIMSTYLE" && t.code == 2) { mDimStyleName = std::string(t.value); mHasDimStyle = true; }
    else if (name == "$HANDLING" && t.code == 70 && tagInt(t, binary, i)) mHandling = i;
  }
  endVariable(mReader->lastTagEnd());  // (where the tags read whole end: a cut tag is not the variable's)
}

// A header variable holds one value: one tag, or a point (its x and y, and z for a 3D point). A
// variable the host models that holds something else, the host reads as best it can and a save
// writes as the host holds it; any other variable that does (or whose name lacks its '$') a save
// leaves out, and one that holds a value its group code cannot have, it writes mended.
void Loader::checkVariable(const HeaderVariable& variable, const std::vector<Tag>& values) {
  const std::string& name = variable.name;
  const bool binary = file.style.binary;
  const size_t n = values.size();
  const bool point = n >= 1 && isPointX(values[0].code) &&
                     (n == 1 || (values[1].code == values[0].code + 10 && (n == 2 || (n == 3 && values[2].code == values[0].code + 20))) ||
                      (n == 2 && values[1].code == values[0].code + 20));  // (a point without its y gets one)
  const bool shaped = n == 1 || point;
  HeaderValue* modelled = name == "$LUNITS" ? &mLunits : name == "$LUPREC" ? &mLuprec : name == "$INSUNITS" ? &mInsunits
                          : name == "$TEXTSIZE" ? &mTextsize : nullptr;
  if (modelled != nullptr || name == "$ACADVER" || name == "$DWGCODEPAGE" || name == "$HANDSEED") {
    if (shaped) return;
    warn(variable.begin, L"the header variable " + file.codec.decode(name) + L" holds " +
                             (n == 0 ? std::wstring(L"no value") : std::wstring(L"more than one value")) +
                             L"; a save writes the value the host uses");
    if (modelled != nullptr) {
      modelled->given = true;
      modelled->readable = false;
      modelled->reported = true;
    } else if (name == "$ACADVER") {
      file.versionRepaired = true;
    } else if (name == "$DWGCODEPAGE") {
      file.codePageRepaired = true;
    } else {
      file.seedUnusable = true;
    }
    return;
  }
  if (!shaped || name.empty() || name[0] != '$') {
    const std::wstring what = name.empty() || name[0] != '$' ? L"a name without '$'"
                              : n == 0                        ? L"no value"
                                                              : L"more than one value";
    warn(variable.begin, L"the header variable '" + shown(name) + L"' has " + what + L"; a save leaves it out");
    leaveOut(variable.begin, variable.end);
    if (name == "$HANDLING") mHandling = 1;
    if (name == "$CLAYER") mHasLayer = false;
    if (name == "$TEXTSTYLE") mHasTextStyle = false;
    if (name == "$DIMSTYLE") mHasDimStyle = false;
    return;
  }
  std::vector<TagFault> faults(n, TagFault::None);
  for (size_t i = 0; i < n; ++i) {
    TagFault fault = valueFault(values[i], binary);
    if (point && i == 0 && (n == 1 || values[1].code != values[0].code + 10))
      fault = fault == TagFault::None ? TagFault::LonePointX : fault == TagFault::NotANumber ? TagFault::NotANumberNoY : fault;
    faults[i] = fault;
    if (fault != TagFault::None && mendOf(fault) == TagMend::LeaveOut) {
      // (a value a save would leave out leaves the variable without one: it goes whole)
      warn(values[i].begin, L"group code " + std::to_wstring(values[i].code) + L" of the header variable " +
                                file.codec.decode(name) + L" " + describeFault(fault, shown(values[i].value), binary) +
                                L", and the variable with it");
      leaveOut(variable.begin, variable.end);
      if (name == "$HANDLING") mHandling = 1;
      return;
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (faults[i] == TagFault::None) continue;
    checkTag(values[i], faults[i]);
    if (name == "$HANDLING") mHandling = 0;  // as a save writes it
  }
}

void Loader::prepareCodec() {
  if (mCodecReady) return;
  mCodecReady = true;
  std::string version = mVersion.empty() ? "AC1009" : mVersion;
  while (!version.empty() && (version.back() == ' ' || version.back() == '\r')) version.pop_back();
  file.version = version;
  if (version.size() == 6 && version.compare(0, 2, "AC") == 0 &&
      std::all_of(version.begin() + 2, version.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    file.release = std::stoi(version.substr(2));
  } else {
    // (A binary file with group codes of one byte is of R12.)
    const bool r12 = file.style.binary && file.style.binaryShortCodes;
    warn(mVersionOffset, L"the version '" + shown(version) + L"' in $ACADVER is unknown; the drawing is read as " +
                             (r12 ? L"R12, and a save writes AC1009 there" : L"R2018, and a save writes AC1032 there"));
    file.version = r12 ? "AC1009" : "AC1032";
    file.release = r12 ? 1009 : 1032;
    file.versionRepaired = true;
  }
  if (mVersion.empty() && file.style.binary && !file.style.binaryShortCodes) {
    // Group codes of two bytes are those of R13 and later: without its version, other programs
    // cannot tell how to read the file.
    warn(0, L"the drawing gives no version ($ACADVER), yet it is a binary file of R13 or later; it is read as R2000, "
            L"and a save writes AC1015 as its version");
    file.version = "AC1015";
    file.release = 1015;
    file.versionRepaired = true;
  }
  if (!mCodePage.empty() && !isCodePageName(mCodePage)) {
    warn(mCodePageOffset, L"'" + shown(mCodePage) + L"' in $DWGCODEPAGE is not a code page; the drawing is read as "
                          L"ANSI_1252, and a save writes ANSI_1252 there");
    mCodePage = "ANSI_1252";
    file.codePageRepaired = true;
  }
  if (!mCodePage.empty()) file.codePage = mCodePage;
  file.codec = TextCodec::forDrawing(file.version, mCodePage);
  file.image->style = file.style;
  file.image->codec = file.codec;
  if (file.codec.unknownCodePage())
    warn(mCodePageOffset, L"the host has no table for the code page '" + shown(mCodePage) +
                          L"': characters outside ASCII are shown as escapes and kept as they are");
  file.handles = !(file.r12() && mHandling == 0);
}

// In a binary file, a group code no drawing uses leaves the rest of its record unreadable (its
// value's length is unknown; the reader goes on at the next record): an entity cut short like that
// is left out, as one a truncated file cuts. (An object, or a table or block record, keeps what
// could be read of it, as other objects need it; the damaged tag is left out with what follows.)
bool Loader::cutByUnknownCode() {
  if (!file.style.binary || (mSection != Section::Entities && mSection != Section::Blocks) || mRecord.type == "BLOCK" ||
      mRecord.type == "ENDBLK")
    return false;
  for (const Tag& tag : mRecord.tags) {
    if (tag.begin != mReader->resyncedAt()) continue;
    const std::wstring type = file.codec.decode(mRecord.type);
    warn(tag.begin, L"group code " + std::to_wstring(tag.code) + L" of " + type + L" is not a group code drawing files "
                    L"use: the rest of the " + type + L" cannot be read, and a save leaves the " + type + L" out");
    leaveOutRecord();
    return true;
  }
  return false;
}

bool Loader::readRecord(const Tag& first) {
  mRecordBegin = first.begin;
  mHaveNext = readRecordAfter(*mReader, first, mRecord.tags, mNext);
  mRecord.dataEnd = mReader->dataEnd();
  mRecordEnd = mHaveNext ? mNext.begin : mRecord.tags.back().end;
  analyzeRecord(mRecord, file.style.binary);
  mFaulty = false;
  mReported.clear();  // (filled as damage is reported: nearly never)
  mRecordCut = !mHaveNext;
  mLastAdded = nullptr;
  return mRecordEnd - mRecordBegin <= 0xFFFFFFF0ull;
}

ReadResult Loader::run() {
  mDb = std::make_unique<AcDbDatabase>(false, true);
  db = mDb.get();
  mImp = AcDbCore::imp(db);
  if (!detectFormat()) return refuse(0, L"the file is empty: it holds no drawing");
  const size_t size = file.image->size();
  mReader = std::make_unique<TagReader>(file.image->data(), size, file.style, file.dataStart);
  mImp->byHandle.reserve(size / 256 + 16);  // records take about 200 bytes or more
  file.firstSection = size;
  bool sawEof = false;

  Tag t;
  bool haveTag = mReader->next(t);
  if (!haveTag && mReader->failed())
    return refuse(mReader->errorOffset(), L"this is not a drawing file: " + fromUtf8(mReader->error()));
  if (!haveTag) return refuse(0, L"the file holds no drawing: it ends inside its first tag");
  if (haveTag && t.code != 0 && t.code != 999)
    return refuse(t.begin, L"this is not a drawing file: it begins with group code " + std::to_wstring(t.code) +
                               L" where a SECTION was expected");

  while (haveTag) {
    if (mScout != nullptr && mSection != Section::Blocks && mSection != Section::Entities) mScout.reset();  // its section is over
    if (t.code != 0) {
      // Tags outside any record: comments stay where they are; in the classes and the sections
      // the host does not read, each is checked; anywhere else a tag outside any object is left out.
      if (mSection == Section::Classes || mSection == Section::Other) {
        TagFault fault = valueFault(t, file.style.binary);
        if (isPointX(t.code) && !followedByY(t))
          fault = fault == TagFault::None ? TagFault::LonePointX : fault == TagFault::NotANumber ? TagFault::NotANumberNoY : fault;
        checkTag(t, fault);
      } else if (t.code != 999 && mSection != Section::Unnamed) {
        warn(t.begin, L"group code " + std::to_wstring(t.code) + L" stands outside any object; a save leaves it out");
        leaveOut(t.begin, t.end);
      }
      haveTag = mReader->next(t);
      continue;
    }
    const std::string_view type = t.value;
    if (type == "EOF") {
      sawEof = true;
      file.eofAt = t.begin;
      endSectionAt(t.begin, L"EOF");
      const char* data = file.image->data();
      size_t p = t.end;
      while (p < size && (data[p] == ' ' || data[p] == '\r' || data[p] == '\n' || data[p] == '\t' || data[p] == 0x1A || data[p] == 0)) ++p;
      if (p < size) {
        warn(p, L"the file goes on after EOF; what follows is not part of the drawing, and a save leaves it out");
        leaveOut(t.end, size);
      }
      break;
    }
    if (type == "SECTION") {
      endSectionAt(t.begin, L"the next SECTION");
      mSection = Section::Other;
      mSectionBegin = t.begin;
      file.firstSection = std::min<uint64_t>(file.firstSection, t.begin);
      if (!(haveTag = mReader->next(t))) {
        mSection = Section::Unnamed;  // (the file ends before its name)
        break;
      }
      if (t.code != 2) {
        warn(mSectionBegin, L"a SECTION without a name (group code 2); a save leaves the section out");
        mSection = Section::Unnamed;
        continue;
      }
      const std::string_view name = t.value;
      if (name == "HEADER" && (file.hasHeader || mCodecReady)) {
        // (One after what it sets up comes too late: the drawing is read without it.)
        warn(mSectionBegin, file.hasHeader ? L"a second HEADER section; the first counts, and a save leaves this one out"
                                           : L"a HEADER section after what it sets up; the drawing is read without it, "
                                             L"and a save leaves it out");
        mSection = Section::Unnamed;  // (left out whole, as a section without a name)
        haveTag = mReader->next(t);
        continue;
      }
      if (name == "HEADER") {
        mSection = Section::Header;
        readHeader();
        prepareCodec();
        haveTag = mHaveNext;
        if (haveTag) t = mNext;
        continue;
      }
      prepareCodec();
      if (name == "CLASSES") mSection = Section::Classes;
      else if (name == "TABLES") { mSection = Section::Tables; mTablesSeen = file.hasTables = true; }
      else if (name == "BLOCKS") { mSection = Section::Blocks; file.hasBlocks = true; }
      else if (name == "ENTITIES") { mSection = Section::Entities; file.hasEntities = true; file.entitiesBegin = mSectionBegin; }
      else if (name == "OBJECTS") { mSection = Section::Objects; file.hasObjects = true; }
      haveTag = mReader->next(t);
      if (haveTag && (mSection == Section::Blocks || mSection == Section::Entities) && mScout == nullptr &&
          size - t.begin >= mOptions.secondCoreFrom && hasSecondCore())
        mScout = std::make_unique<EntityScout>(db, file, file.image->data(), size, t.begin, kHandleLimit);
      continue;
    }
    if (type == "ENDSEC") {
      if (mSection == Section::None) {
        warn(t.begin, L"ENDSEC without a SECTION; a save leaves it out");
        leaveOut(t.begin, t.end);
      } else if (mSection == Section::Unnamed) {
        leaveOut(mSectionBegin, t.end);
      } else {
        endBlockAt(t.begin);
        endTableAt(t.begin);
        sectionEndsAt(t.begin);
      }
      mSection = Section::None;
      haveTag = mReader->next(t);
      continue;
    }
    prepareCodec();
    if (mSection == Section::None) {
      warn(t.begin, file.codec.decode(type) + L" stands outside any section; a save leaves it out");
      if (!readRecord(t)) return refuse(t.begin, L"an object of more than 4 GB: the file is damaged");
      leaveOutRecord();
      haveTag = mHaveNext;
      if (haveTag) t = mNext;
      continue;
    }
    if (mSection == Section::Classes || mSection == Section::Header || mSection == Section::Other ||
        mSection == Section::Unnamed) {
      haveTag = mReader->next(t);
      continue;
    }
    if (mSection == Section::Tables && type == "ENDTAB") {
      if (mDroppingTable) {
        leaveOut(t.begin, t.end);
        mDroppingTable = false;
      } else if (mTable.isNull()) {
        warn(t.begin, L"ENDTAB without a TABLE; a save leaves it out");
        leaveOut(t.begin, t.end);
      } else if (mJoining) {
        leaveOut(t.begin, t.end);  // the end of a table whose records join the first of its kind
      } else {
        file.tableEnds[mTable.stub()] = t.begin;
      }
      mTable = AcDbObjectId();
      mJoining = false;
      haveTag = mReader->next(t);
      continue;
    }
    if (mScout == nullptr || !deferScouted(t)) {
      if (!readRecord(t)) return refuse(t.begin, L"an object of more than 4 GB: the file is damaged");
      if (cutByUnknownCode()) {
        // (nothing of it is read)
      } else switch (mSection) {
        case Section::Tables: tableRecord(); break;
        case Section::Blocks:
          if (mRecord.type == "BLOCK") blockRecord();
          else if (mRecord.type == "ENDBLK") endBlockRecord();
          else entityRecord(true);
          break;
        case Section::Entities: entityRecord(false); break;
        case Section::Objects: objectsSectionRecord(); break;
        default: break;
      }
    }
    haveTag = mHaveNext;
    if (haveTag) t = mNext;
    if (mRecordEnd - mReleasedUpTo >= kReleaseEvery) {  // the file is read once, front to back
      file.image->releasePages(mReleasedUpTo, mRecordEnd);
      mReleasedUpTo = mRecordEnd;
    }
  }

  mScout.reset();
  if (mReader->failed()) {
    if (!mOptions.recover) return refuse(mReader->errorOffset(), L"the file is damaged: " + fromUtf8(mReader->error()));
    warn(mReader->errorOffset(), L"the file is damaged: " + fromUtf8(mReader->error()) +
                                     L"; the drawing was read up to there (recovered), and a save ends it there, "
                                     L"leaving out what refers to what it lost");
  }
  if (!sawEof) {
    // A file cut short ends, for writing, after its last whole tag: what is open is ended there.
    const uint64_t end = mReader->failed() ? mReader->errorOffset() : mReader->truncated() ? mReader->lastTagEnd() : size;
    file.eofAt = end;
    if (mSection != Section::None || mReader->truncated() || mReader->failed()) {
      const std::wstring where =
          mSection != Section::None ? L"inside the " + sectionName(mSection) + L" section" : std::wstring(L"inside a tag");
      if (!mOptions.recover && !mReader->failed())
        return refuse(end, L"the file ends " + where + L": it is incomplete (truncated)");
      // The object the cut goes through is incomplete: it is left out (not a table's or block's
      // beginning, which what follows in the drawing needs).
      std::wstring lost;
      if (isCutShort() && mLastAdded != nullptr) {
        mLastAdded->erased = true;
        // A SEQEND or ENDBLK cut short still ends its POLYLINE, INSERT or block: a save writes one whole.
        if (mRecord.type == "SEQEND" && mLastAdded->loaded() != nullptr) mParent = mLastAdded->loaded()->ownerId();
        if (mRecord.type == "ENDBLK" && mLastAdded->loaded() != nullptr) mBlock = mLastAdded->loaded()->ownerId();
        if (mRecord.type == "TABLE") mTable = AcDbObjectId();
        lost = L", without the " + file.codec.decode(mRecord.type) + L" cut short there";
      }
      if (!mReader->failed())
        warn(end, L"the file ends " + where + L"; the drawing was read up to there (recovered)" + lost +
                      L", and a save ends it there, leaving out what refers to what it lost");
      else if (!lost.empty())
        warn(mRecordBegin, L"the " + file.codec.decode(mRecord.type) + L" cut short by the damage is left out");
      if (mSection == Section::Header && file.headerEnd == 0) file.headerEnd = end;
      endSectionAt(end, L"", false);
      file.cutShort = true;
    } else {
      warn(end, L"the file has no EOF; a save ends it with one");
    }
    file.mends.push_back({StructureMend::Kind::EndOfFile, end, end});
    if (end < size) leaveOut(end, size);  // a tag cut short, or what the reader could not read
  }
  prepareCodec();

  // Every drawing has these, whether the file has them or not.
  reportMadeTable(ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>), L"BLOCK_RECORD");
  reportMadeTable(ensureTable(mImp->layerTable, makeTable<AcDbLayerTable>), L"LAYER");
  reportMadeTable(ensureTable(mImp->textStyleTable, makeTable<AcDbTextStyleTable>), L"STYLE");
  ensureTable(mImp->dimStyleTable, makeTable<AcDbDimStyleTable>);
  space(false);
  space(true);
  if (findNamed(Ref::Layer, "0").isNull()) synthesizeNamed(Ref::Layer, "0");
  for (AcDbStub* stub : mNamelessBlockRecords) {
    const auto* record = AcDbBlockTableRecord::cast(stub->loaded());
    if (record == nullptr || *AcDbCore::name(record) != 0) continue;
    const ObjectRecord* stored = objectRecord(record);
    warn(stored ? stored->begin() : 0, L"a BLOCK_RECORD without a name (group code 2), and of no BLOCK; a save leaves it out");
    stub->erased = true;
  }
  resolveNames();
  resolveLayouts();
  attachFields(mDb.get(), file, mExtensionDictionaries, [this](const AcDbStub* field) {
    const ObjectRecord* record = objectRecord(field->object());
    warn(record ? record->begin() : 0, L"the FIELD " + fromUtf8(formatHandle(field->handle.value())) +
                                           L" names itself, or too many fields, as its children; those children stay as "
                                           L"stored in its code, and a save cuts its references to them");
  });
  finishHeaderSettings();
  checkLaterOwners();  // (before the objects the reader made take handles that the file's owners might name)
  finishHandles();

  for (auto& stub : mImp->stubs) {
    AcDbObject* obj = stub.loaded();  // deferred objects are made as they were read
    if (obj == nullptr) continue;
    AcDbCore::setNew(obj, std::find(mLeftNew.begin(), mLeftNew.end(), &stub) != mLeftNew.end());
    if (auto* record = objectRecord(obj)) record->setRevisionAtLoad(AcDbCore::revision(obj));
  }
  mImp->changedSinceFlush.clear();
  mImp->lastEntity = AcDbObjectId();
  mImp->currentSpace = mImp->modelSpace;
  file.seedAfterLoad = mImp->handseed;
  file.hasSeed = mHasSeed && mHeaderSeed < kHandleLimit;
  file.seedInFile = file.hasSeed ? mHeaderSeed : 0;
  mDb->setFilename(mName.c_str());
  file.image->releasePages(0, file.image->size());  // read through once; what stays in it is read as used
  file.objects.shrink_to_fit();
  if (const auto* blocks = AcDbCore::objectAs<AcDbBlockTable>(mImp->blockTable))
    for (AcDbObjectId id : AcDbCore::records(blocks))
      if (auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(id)) AcDbCore::compactEntityList(block);

  ReadResult result;
  result.version = file.version;
  result.format = file.style.binary ? FileFormat::Binary : FileFormat::Ascii;
  mImp->fileRecord.reset(mFileOwner.release());
  result.database = std::move(mDb);
  result.messages = mSink.take();
  return result;
}

// ---- Tables ---------------------------------------------------------------------------------

void Loader::tableRecord() {
  const std::string_view type = mRecord.type;
  if (type == "TABLE") {
    std::string_view kind;
    for (const auto& m : mRecord.main)
      if (mRecord.tags[m.index].code == 2) { kind = mRecord.tags[m.index].value; break; }
    endTableAt(mRecordBegin);
    mDroppingTable = false;
    if (kind == "BLOCK_RECORD" && mBlocksAsRecords) {
      // Blocks read before it stand for their own records (as in R12): a table of block records
      // after them would name them twice.
      warn(mRecordBegin, L"a BLOCK_RECORD table after the blocks, which stand for their own records; a save leaves it "
                         L"out with its records");
      leaveOutRecord();
      mDroppingTable = true;
      return;
    }
    AcDbObjectId* slot = nullptr;
    AcDbObject* table = nullptr;
    if (kind == "LAYER") { slot = &mImp->layerTable; table = new AcDbLayerTable; }
    else if (kind == "STYLE") { slot = &mImp->textStyleTable; table = new AcDbTextStyleTable; }
    else if (kind == "DIMSTYLE") { slot = &mImp->dimStyleTable; table = new AcDbDimStyleTable; }
    else if (kind == "BLOCK_RECORD") { slot = &mImp->blockTable; table = new AcDbBlockTable; mBlockRecordTable = true; }
    if (slot != nullptr && !slot->isNull() && mMadeTables.erase(slot->stub()) != 0) {
      // The reader made the table before the file's came (for what came before it): the file's
      // stands for it, and what the reader put into it goes to its end.
      delete table;
      checkRecord(AcDbObjectId());
      addObject(new AcDbUnmodeledObject(L"TABLE"), AcDbObjectId());
      mTable = *slot;
      return;
    }
    if (slot != nullptr && !slot->isNull()) {
      warn(mRecordBegin, L"a second " + file.codec.decode(kind) + L" table; its records join the first one, at whose "
                         L"end a save writes them");
      delete table;
      leaveOutRecord();
      mTable = *slot;
      mJoining = true;
      return;
    }
    checkRecord(AcDbObjectId());
    mTable = addObject(table ? table : new AcDbUnmodeledObject(L"TABLE"), AcDbObjectId());
    if (slot != nullptr) *slot = mTable;
    return;
  }
  if (mDroppingTable) {
    leaveOutRecord();
    return;
  }
  if (mTable.isNull()) {
    warn(mRecordBegin, file.codec.decode(type) + L" stands outside any table; a save leaves it out");
    leaveOutRecord();
    return;
  }
  bool named = false;
  for (const auto& m : mRecord.main) named = named || mRecord.tags[m.index].code == 2;
  // (A block record without a name may yet get its BLOCK's: see blockRecord.)
  const bool blockRecordToName = !named && type == "BLOCK_RECORD" && AcDbBlockTable::cast(AcDbCore::object(mTable));
  if (!named && !blockRecordToName) {
    warn(mRecordBegin, L"a " + file.codec.decode(type) + L" without a name (group code 2); a save leaves it out");
    leaveOutRecord();
    return;
  }
  AcDbObject* obj = decodeRecord(mRecord, *this, false);
  auto* record = AcDbSymbolTableRecord::cast(obj);
  auto* table = AcDbCore::objectAs<AcDbSymbolTable>(mTable);
  const bool symbols = record != nullptr && table != nullptr && table->isKindOf(AcDbSymbolTable::desc());
  std::unordered_map<std::string, AcDbObjectId>* names = nullptr;
  if (symbols) {
    if (AcDbLayerTableRecord::cast(record) && AcDbLayerTable::cast(table)) names = &file.layerNames;
    else if (AcDbTextStyleTableRecord::cast(record) && AcDbTextStyleTable::cast(table)) names = &file.styleNames;
    else if (AcDbDimStyleTableRecord::cast(record) && AcDbDimStyleTable::cast(table)) names = &file.dimStyleNames;
    else if (AcDbBlockTableRecord::cast(record) && AcDbBlockTable::cast(table)) names = &file.blockNames;
    if (names == nullptr) {
      warn(mRecordBegin, L"a " + file.codec.decode(type) + L" in another kind of table; a save leaves it out");
      discardDecoded(obj);
      leaveOutRecord();
      return;
    }
  }
  checkRecord(mTable);
  // A second record of a name gets a name of its own (what names it by its old name finds the first).
  const ACHAR* name = symbols ? AcDbCore::name(record) : L"";
  AcDbObjectId taken;
  if (*name != 0 && table->getAt(name, taken) == Acad::eOk) yieldMadeRecord(table, taken);
  if (*name != 0 && table->getAt(name, taken) == Acad::eOk) {
    const std::wstring renamed = uniqueName(table, name);
    warn(mRecordBegin, L"a second " + file.codec.decode(type) + L" named '" + std::wstring(name) + L"'; it is renamed '" +
                           renamed + L"', and a save writes that");
    record->setName(renamed.c_str());
    mFaulty = true;
  }
  const AcDbObjectId id = addObject(obj, mTable);
  if (id.isNull()) return;
  if (blockRecordToName) mNamelessBlockRecords.push_back(id.stub());
  if (mJoining) {
    objectRecord(obj)->set(ObjectRecord::kMoved);
    file.joinedRecords[mTable.stub()].push_back(id.stub());
  }
  if (!symbols || *AcDbCore::name(record) == 0) return;  // (the shape file entries of the STYLE table have no name)
  AcDbCore::addRecordToTable(table, record);
  for (const auto& m : mRecord.main)
    if (m.first && mRecord.tags[m.index].code == 2) { names->emplace(std::string(mRecord.tags[m.index].value), id); break; }
}

// A record the reader made before the file's own of that name came (the file shows it nowhere):
// it yields the name, quietly, to the file's.
void Loader::yieldMadeRecord(AcDbSymbolTable* table, AcDbObjectId made) {
  auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(made);
  const ObjectRecord* stored = record ? objectRecord(record) : nullptr;
  if (stored == nullptr || isShownInFile(*stored)) return;
  AcDbCore::renameRecord(table, record, uniqueName(table, AcDbCore::name(record)).c_str());
}

// A name in a table that no record has yet: the name with " (2)", " (3)"... after it.
std::wstring Loader::uniqueName(const AcDbSymbolTable* table, const std::wstring& name) {
  const std::wstring base = name.substr(0, 240);
  for (int n = 2;; ++n) {
    const std::wstring candidate = base + L" (" + std::to_wstring(n) + L")";
    AcDbObjectId existing;
    if (table->getAt(candidate.c_str(), existing) != Acad::eOk) return candidate;
  }
}

// ---- Blocks ---------------------------------------------------------------------------------

void Loader::blockRecord() {
  endBlockAt(mRecordBegin);
  const AcDbObjectId tableId = ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>);
  auto* table = AcDbCore::objectAs<AcDbBlockTable>(tableId);
  AcDbBlockTableRecord* decoded = decodeBlockEntity(mRecord, *this);
  std::string_view rawName;
  for (const auto& m : mRecord.main)
    if (m.first && mRecord.tags[m.index].code == 2) { rawName = mRecord.tags[m.index].value; break; }
  if (rawName.empty() && *AcDbCore::name(decoded) != 0) {
    warn(mRecordBegin, L"the BLOCK has no name (group code 2); the name it gives as group code 3, '" +
                           std::wstring(AcDbCore::name(decoded)) + L"', is used, and a save writes it as its name");
    mFaulty = true;
  } else if (rawName.empty()) {
    mFaulty = true;  // (it is named below: as its record, or anew)
  }
  if (!mBlockRecordTable) {
    mBlocksAsRecords = true;
    // An R12 block has no block record: its BLOCK entity stands for it. One without a name, or with
    // the name of a block before it, gets a name of its own.
    AcDbObjectId existing;
    const std::wstring name = AcDbCore::name(decoded);
    if (!name.empty() && table->getAt(name.c_str(), existing) == Acad::eOk) yieldMadeRecord(table, existing);
    if (name.empty() || table->getAt(name.c_str(), existing) == Acad::eOk) {
      const std::wstring renamed = name.empty() ? (table->getAt(L"Unnamed", existing) == Acad::eOk ? uniqueName(table, L"Unnamed")
                                                                                                      : std::wstring(L"Unnamed"))
                                                : uniqueName(table, name);
      warn(mRecordBegin, (name.empty() ? std::wstring(L"a BLOCK without a name") : L"a second block named '" + name + L"'") +
                             L"; it is named '" + renamed + L"', and a save writes that");
      decoded->setName(renamed.c_str());
      mFaulty = true;
    }
    checkRecord(tableId);
    mBlock = addObject(decoded, tableId, ObjectRecord::kBlockEntity);
    AcDbCore::addRecordToTable(table, decoded);
    if (!rawName.empty()) file.blockNames.emplace(std::string(rawName), mBlock);
    return;
  }
  // Later files: the block record (the BLOCK's owner, or the record of its name) gets the origin.
  AcDbObjectId recordId;
  if (mRecord.owner != 0) {
    if (AcDbStub* stub = mImp->findHandle(mRecord.owner); stub && isBlock(*stub)) recordId = AcDbObjectId(stub);
  }
  if (recordId.isNull() && *AcDbCore::name(decoded) != 0) table->getAt(AcDbCore::name(decoded), recordId);
  if (auto* owner = AcDbCore::objectAs<AcDbBlockTableRecord>(recordId); owner != nullptr && *AcDbCore::name(owner) == 0) {
    // A block record without a name takes its BLOCK's.
    AcDbObjectId existing;
    const std::wstring name = *AcDbCore::name(decoded) == 0 || table->getAt(AcDbCore::name(decoded), existing) == Acad::eOk
                                  ? uniqueName(table, *AcDbCore::name(decoded) != 0 ? AcDbCore::name(decoded) : L"Unnamed")
                                  : std::wstring(AcDbCore::name(decoded));
    AcDbCore::addRecordToTable(table, owner);  // (under no name: naming it in the table renames it there)
    AcDbCore::beginWrite(owner);
    owner->setName(name.c_str());
    owner->close();
    if (ObjectRecord* stored = objectRecord(owner)) stored->set(ObjectRecord::kRepaired);
    warn(mRecordBegin, L"the block record " + fromUtf8(formatHandle(recordId.handle().value())) + L" of this BLOCK has no "
                       L"name (group code 2); it takes the name '" + name + L"', and a save writes it");
    mFaulty = true;
  }
  if (recordId.isNull()) {
    // The BLOCK gets a record at the end of the block records (and its own owner's handle).
    auto* record = new AcDbBlockTableRecord;
    AcDbObjectId existing;
    record->setName(*AcDbCore::name(decoded) != 0 ? AcDbCore::name(decoded)
                    : table->getAt(L"Unnamed", existing) == Acad::eOk ? uniqueName(table, L"Unnamed").c_str()
                                                                       : L"Unnamed");
    warn(mRecordBegin, L"the block '" + std::wstring(AcDbCore::name(decoded)) + L"' has no block record; the host makes "
                       L"one named '" + std::wstring(AcDbCore::name(record)) + L"', and a save writes it");
    recordId = madeForFile(record, tableId);
    file.madeRecords.push_back(recordId);
    AcDbCore::addRecordToTable(table, record);
    if (!rawName.empty()) file.blockNames.emplace(std::string(rawName), recordId);
    mFaulty = true;
  }
  auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(recordId);
  if (*AcDbCore::name(decoded) == 0)
    warn(mRecordBegin, L"the BLOCK has no name (group code 2); it takes the name of its block record, '" +
                           std::wstring(AcDbCore::name(record)) + L"', and a save writes it");
  AcDbCore::beginWrite(record);
  record->setOrigin(decoded->origin());
  record->close();
  discardDecoded(decoded);
  checkRecord(recordId);
  addObject(new AcDbUnmodeledObject(L"BLOCK"), recordId);
  mBlock = recordId;
}

void Loader::endBlockRecord() {
  if (mBlock.isNull()) {
    warn(mRecordBegin, L"ENDBLK without a BLOCK; a save leaves it out");
    leaveOutRecord();
    return;
  }
  endParentAt(mRecordBegin);
  file.blockEnds[mBlock.stub()] = mRecordBegin;
  checkRecord(mBlock);
  addObject(new AcDbUnmodeledObject(L"ENDBLK"), mBlock);
  mBlock = AcDbObjectId();
}

// ---- Entities -------------------------------------------------------------------------------

void Loader::entityRecord(bool inBlock) {
  const std::string_view type = mRecord.type;
  const bool subEntity = type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
  if (subEntity && !mParent.isNull()) {
    // The parts of a POLYLINE or an INSERT: owned by it, not listed in the block.
    AcDbObject* obj = decodeRecord(mRecord, *this, true);
    checkRecord(mParent);
    addObject(obj, mParent);
    if (type == "SEQEND") mParent = AcDbObjectId();
    return;
  }
  endParentAt(mRecordBegin);
  if (subEntity) {
    warn(mRecordBegin, L"a " + file.codec.decode(type) + L" that follows no POLYLINE or INSERT; a save leaves it out");
    leaveOutRecord();
    return;
  }
  if (type == "INSERT" && !namesBlock(mRecord)) {
    warn(mRecordBegin, L"an INSERT that names no block (group code 2); a save leaves it out");
    leaveOutRecord();
    return;
  }
  AcDbObjectId owner;
  bool laterOwner = false;
  if (inBlock) {
    if (mBlock.isNull()) {
      warn(mRecordBegin, L"the " + file.codec.decode(type) + L" stands outside any block; a save leaves it out");
      leaveOutRecord();
      return;
    }
    owner = mBlock;
  } else {
    const bool paper = saysPaperSpace(mRecord, file.style.binary);
    const AcDbStub* named = mRecord.owner != 0 && mRecord.owner != mLastOwner.handle ? mImp->findHandle(mRecord.owner) : nullptr;
    if (mRecord.owner != 0 && mRecord.owner != mLastOwner.handle && (named == nullptr || !named->hasObject())) {
      laterOwner = true;  // (one the file may give further on: the entity joins its block then)
    } else {
      bool ownerIsBlock = true;
      owner = spaceOf(mRecord.owner, paper, &ownerIsBlock);
      if (!ownerIsBlock) {
        reportOwnerOfNoBlock(mRecordBegin, type, mRecord.owner, paper, owner);
        mFaulty = true;
      }
    }
  }
  // Every record is decoded as it is read, so that what is wrong in it is reported now. An entity
  // that may stay in the file is decoded without its texts (they cannot be wrong) and left there
  // when it decodes cleanly; otherwise it is decoded again, whole, and read at once.
  const size_t pendingBefore = mPending.size();
  const bool deferrable = mayDefer() && !laterOwner;  // (one that may be mended is read now)
  skipTexts = deferrable;
  AcDbObject* obj = decodeRecord(mRecord, *this, true);
  skipTexts = false;
  checkRecord(owner);
  AcDbObjectId id;
  if (deferrable) {
    if (!mFaulty && mPending.size() == pendingBefore) id = deferObject(obj->isA(), owner);
    delete obj;
    if (id.isNull()) {
      mPending.resize(pendingBefore);  // they named the object just deleted
      mMuted = true;                   // what is wrong in it has been reported
      obj = decodeRecord(mRecord, *this, true);
      mMuted = false;
    }
  }
  if (id.isNull()) id = addObject(obj, owner);
  if (id.isNull()) return;
  if (laterOwner)
    mLaterOwners.push_back({id.stub(), mRecord.owner, mRecordBegin, saysPaperSpace(mRecord, file.style.binary), std::string(type)});
  else
    AcDbCore::addEntityToBlock(AcDbCore::objectAs<AcDbBlockTableRecord>(owner), id);
  if (type == "POLYLINE" || (type == "INSERT" && attributesFollow(mRecord, file.style.binary))) mParent = id;
}

void Loader::reportOwnerOfNoBlock(uint64_t offset, std::string_view type, uint64_t owner, bool paper, AcDbObjectId space) {
  // (A space the file lacks, which the host made and the file does not show, or one the file gave
  // no handle: then no owner is written. One the host makes in a table it writes is shown.)
  const ObjectRecord* stored = objectRecord(AcDbCore::object(space));
  const bool shown = stored == nullptr || showsHandleInFile(*stored) ||
                     std::find(file.madeTables.begin(), file.madeTables.end(), AcDbCore::object(space)->ownerId()) !=
                         file.madeTables.end();
  warn(offset, L"the owner " + fromUtf8(formatHandle(owner)) + L" of this " + file.codec.decode(type) +
                   L" is no block; it goes to " +
                   (paper ? L"paper" : L"model") + L" space, and a save " +
                   (shown ? L"writes that space's handle there" : L"leaves the reference out"));
}

// The owners the file gave after their entities, now that it is read (a file whose tables follow
// its entities): each entity joins its block, or if its owner is no block, the space it says, and
// that is reported and a save writes it mended.
void Loader::checkLaterOwners() {
  for (const LaterOwner& later : mLaterOwners) {
    AcDbObject* entity = later.entity->loaded();
    if (entity == nullptr) continue;
    AcDbStub* named = mImp->findHandle(later.owner);
    AcDbObjectId block = named != nullptr && isBlock(*named) ? AcDbObjectId(named) : AcDbObjectId();
    if (block.isNull()) {
      block = space(later.paper);
      reportOwnerOfNoBlock(later.offset, later.type, later.owner, later.paper, block);
      if (ObjectRecord* record = objectRecord(entity)) record->set(ObjectRecord::kRepaired);
    }
    AcDbCore::setOwner(entity, block);
    AcDbCore::addEntityToBlock(AcDbCore::objectAs<AcDbBlockTableRecord>(block), AcDbObjectId(later.entity));
  }
}

// An entity that the scout found clean, filed as entityRecord files an entity that stays in the
// file, without reading its tags; false (nothing read) when the scout has no clean verdict for it
// or it cannot stay in the file after all.
bool Loader::deferScouted(const Tag& first) {
  const bool inBlock = mSection == Section::Blocks;
  if ((!inBlock && mSection != Section::Entities) || (inBlock && mBlock.isNull()) || !mParent.isNull()) return false;
  ScoutedEntity scouted;
  if (!mScout->entityAt(first.begin, scouted) || !scouted.clean || !handleIsFree(scouted.handle)) return false;
  bool ownerIsBlock = true;
  const AcDbObjectId owner = inBlock ? mBlock : spaceOf(scouted.owner, scouted.paper, &ownerIsBlock);
  if (!ownerIsBlock) return false;  // the reader reports it
  mRecord.type = first.value;
  mRecord.handle = scouted.handle;
  mRecordBegin = scouted.begin;
  mRecordEnd = scouted.end;
  const AcDbObjectId id = deferObject(scouted.cls, owner);
  if (id.isNull()) return false;
  AcDbCore::addEntityToBlock(AcDbCore::objectAs<AcDbBlockTableRecord>(owner), id);
  mReader->seek(scouted.end);
  mHaveNext = mReader->next(mNext);
  return true;
}

// ---- Objects --------------------------------------------------------------------------------

void Loader::objectsSectionRecord() {
  AcDbObject* obj = decodeRecord(mRecord, *this, false);
  AcDbObjectId owner;
  if (mRecord.owner != 0) owner = object(mRecord.owner);
  checkRecord(owner);
  const AcDbObjectId id = addObject(obj, owner);
  if (!id.isNull() && mRecord.type == "LAYOUT") mLayouts.push_back(id.stub());
}

// Layouts name the paper spaces (and model space): the block record of each gets its name.
void Loader::resolveLayouts() {
  RecordTags tags;
  for (AcDbStub* stub : mLayouts) {
    const auto* record = objectRecord(stub->object());
    if (record == nullptr) continue;
    if (!readRecordTags(*record, tags)) continue;
    uint64_t blockHandle = 0;
    for (const auto& m : tags.main) {
      const Tag& t = tags.tags[m.index];
      if (t.code == 330 && m.marker >= 0 && tags.tags[static_cast<size_t>(m.marker)].value == "AcDbLayout") {
        tagHandle(t, file.style.binary, blockHandle);
        break;
      }
    }
    AcDbStub* blockStub = blockHandle ? mImp->findHandle(blockHandle) : nullptr;
    auto* block = blockStub ? AcDbBlockTableRecord::cast(blockStub->object()) : nullptr;
    if (block == nullptr) continue;
    AcDbBlockTableRecord* decoded = decodeLayoutName(tags, *this);
    AcDbCore::beginWrite(block);
    block->setLayoutName(decoded->layoutName());
    if (block->getLayoutId().isNull()) block->setLayoutId(AcDbObjectId(stub));
    block->close();
    delete decoded;
  }
  // Drawings without layouts (R12 to R14): model space and paper space have the usual names.
  for (AcDbObjectId id : {mImp->modelSpace, mPaperSpace}) {
    auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(id);
    if (block == nullptr || *block->layoutName() != 0) continue;
    AcDbCore::beginWrite(block);
    block->setLayoutName(id == mImp->modelSpace ? L"Model" : L"Layout1");
    block->close();
  }
}

// ---- The header -----------------------------------------------------------------------------

void Loader::finishHeaderSettings() {
  HeaderState& h = file.atLoad;
  // A setting the host cannot use (unreadable, or out of its range) is left at the drawing's
  // default and reported; atLoad then holds a value the default differs from, so that a save
  // writes the default.
  const auto setting = [this](const char* name, const HeaderValue& value, bool usable, const wchar_t* what,
                              const wchar_t* instead) {
    if (!value.given || usable) return true;
    if (!value.reported)
      warn(value.offset, L"the header gives " + file.codec.decode(name) + L" '" + value.shown + L"', which is not " + what +
                           L"; " + instead + L", and a save writes that");
    return false;
  };
  const auto inRange = [](const HeaderValue& v, double low, double high) { return v.readable && v.number >= low && v.number <= high; };
  if (setting("$LUNITS", mLunits, inRange(mLunits, 1, 5), L"a unit mode from 1 to 5", L"decimal units are used")) {
    if (mLunits.given) mDb->setLunits(static_cast<Adesk::Int16>(mLunits.number));
    h.lunits = mDb->lunits();
  } else {
    h.lunits = INT16_MIN;
  }
  if (setting("$LUPREC", mLuprec, inRange(mLuprec, 0, 8), L"a precision from 0 to 8", L"4 decimal places are used")) {
    if (mLuprec.given) mDb->setLuprec(static_cast<Adesk::Int16>(mLuprec.number));
    h.luprec = mDb->luprec();
  } else {
    h.luprec = INT16_MIN;
  }
  if (setting("$INSUNITS", mInsunits, inRange(mInsunits, AcDb::kUnitsUndefined, AcDb::kUnitsMax), L"a unit from 0 to 24",
              L"the drawing is taken as unitless")) {
    if (mInsunits.given) mDb->setInsunits(static_cast<AcDb::UnitsValue>(static_cast<int>(mInsunits.number)));
    h.insunits = mDb->insunits();
  } else {
    h.insunits = INT_MIN;
  }
  const bool textsize = mTextsize.readable && std::isfinite(mTextsize.number) && mTextsize.number > 0;
  if (setting("$TEXTSIZE", mTextsize, textsize, L"a text height", L"2.5 is used")) {
    if (mTextsize.given) mDb->setTextsize(mTextsize.number);
    h.textsize = mDb->textsize();
  } else {
    h.textsize = std::numeric_limits<double>::quiet_NaN();
  }
  const AcDbObjectId layer = findNamed(Ref::Layer, mHasLayer && !mLayerName.empty() ? mLayerName : "0");
  mImp->clayer = !layer.isNull() ? layer : findNamed(Ref::Layer, "0");
  AcDbObjectId style = findNamed(Ref::TextStyle, mHasTextStyle && !mTextStyleName.empty() ? mTextStyleName : "STANDARD");
  if (style.isNull()) style = synthesizeNamed(Ref::TextStyle, "Standard");
  mImp->textstyle = style;
  AcDbObjectId dimStyle = findNamed(Ref::DimStyle, mHasDimStyle && !mDimStyleName.empty() ? mDimStyleName : "STANDARD");
  if (dimStyle.isNull()) dimStyle = synthesizeNamed(Ref::DimStyle, "Standard");
  mImp->dimstyle = dimStyle;
  h.clayer = mImp->clayer;
  h.textstyle = mImp->textstyle;
  h.dimstyle = mImp->dimstyle;
}

// Handles: objects that lent one get fresh ones above every handle in use, and the seed goes
// above them all.
void Loader::finishHandles() {
  const uint64_t highest = mHighestHandle;
  uint64_t seed = highest + 1;
  if (mHasSeed && mHeaderSeed < kHandleLimit) {
    if (mHeaderSeed > highest) seed = mHeaderSeed;
    else if (file.handles && !file.header.empty())
      warn(mSeedOffset, L"the handle seed $HANDSEED (" + fromUtf8(formatHandle(mHeaderSeed)) + L") is not above the highest handle in use (" +
                  fromUtf8(formatHandle(highest)) + L"); it is raised above it, and a save writes that");
  }
  mImp->handseed = seed;
  // Objects whose handle another object had get fresh handles that the file will show; then the
  // seed the file should give; then objects the file gave no handle (or that the host made) take
  // handles above it, which the file never shows.
  for (const auto& r : mRehandled)
    if (r.stub != nullptr) rekey(r.stub, mImp->nextHandle());
  // So do the objects the reader made for the file, with the records of the tables it made.
  for (AcDbObjectId table : file.madeTables)
    if (const auto* symbols = AcDbCore::objectAs<AcDbSymbolTable>(table)) {
      mShown.push_back(table.stub());
      for (AcDbObjectId record : AcDbCore::records(symbols)) mShown.push_back(record.stub());
    }
  // (A save writes each of them with its handle, the records of a made table too, though the file
  // gave the object none, as a BLOCK without a handle in a drawing that lost its block records.)
  for (AcDbStub* stub : mShown)
    if (ObjectRecord* stored = objectRecord(stub->loaded())) {
      stored->set(ObjectRecord::kMadeForFile);
      stored->clear(ObjectRecord::kNoHandle);
    }
  for (AcDbStub* stub : mShown)
    if (stub->handle.value() >= kProvisionalBase) rekey(stub, mImp->nextHandle());
  file.atLoad.handseed = mImp->handseed;
  for (AcDbStub* stub : mUnnamed)
    if (stub->handle.value() >= kProvisionalBase) rekey(stub, mImp->nextHandle());
  for (const auto& r : mRehandled) {
    if (r.stub == nullptr) continue;
    const std::wstring newHandle = fromUtf8(formatHandle(r.stub->handle.value()));
    if (!r.unusable.empty())
      warn(r.offset, r.unusable + L" is not a handle the host can use; the " + file.codec.decode(r.type) +
                         L" gets the new handle " + newHandle + L", and a save writes it");
    else
      warn(r.offset, L"the handle " + fromUtf8(formatHandle(r.handle)) + L" of this " + file.codec.decode(r.type) +
                         L" is already taken by the object at " + whereIs(r.holderOffset) + L"; it gets the new handle " +
                         newHandle);
  }
}

// Decoding an entity that stayed in the file, after the file was read: names and handles resolve
// against the drawing as it is now (the names were resolved when the file was read, so they are
// found); what is wrong in the record was reported then.
class LateDecoding : public DecodeContext {
 public:
  LateDecoding(AcDbDatabase* db, FileRecord& file) : DecodeContext(db, file, true), mImp(AcDbCore::imp(db)) {}
  AcDbObjectId named(Ref kind, std::string_view name, AcDbObject*) override {
    if (name.empty()) name = kind == Ref::Layer ? "0" : "STANDARD";
    const AcDbObjectId id = findNamedRecord(file, mImp, kind, name);
    if (!id.isNull()) return id;
    switch (kind) {  // (the reader found every name an entity left in the file gives; else the default)
      case Ref::Layer: return findNamedRecord(file, mImp, kind, "0");
      case Ref::TextStyle: return mImp->textstyle;
      case Ref::DimStyle: return mImp->dimstyle;
      case Ref::Block: break;
    }
    return AcDbObjectId();
  }
  AcDbObjectId object(uint64_t handle) override {
    return handle == 0 || handle >= kHandleLimit ? AcDbObjectId() : AcDbObjectId(mImp->placeholder(handle));
  }
  void badValue(const Tag&, const char*) override {}

 private:
  AcDbImpDatabase* mImp;
};

}  // namespace

AcDbObjectId findNamedRecord(FileRecord& file, AcDbImpDatabase* imp, DecodeContext::Ref kind, std::string_view raw,
                             bool remember) {
  using Ref = DecodeContext::Ref;
  std::unordered_map<std::string, AcDbObjectId>* names = nullptr;
  AcDbObjectId tableId;
  switch (kind) {
    case Ref::Layer: names = &file.layerNames; tableId = imp->layerTable; break;
    case Ref::TextStyle: names = &file.styleNames; tableId = imp->textStyleTable; break;
    case Ref::DimStyle: names = &file.dimStyleNames; tableId = imp->dimStyleTable; break;
    case Ref::Block: names = &file.blockNames; tableId = imp->blockTable; break;
  }
  const std::string key(raw);
  if (const auto it = names->find(key); it != names->end()) return it->second;
  AcDbObjectId id;
  if (const auto* table = AcDbCore::objectAs<AcDbSymbolTable>(tableId)) {
    const std::wstring name = file.codec.decode(raw);
    table->getAt(name.c_str(), id);
  }
  if (remember && !id.isNull()) names->emplace(key, id);
  return id;
}

DeferredRecords::DeferredRecords(AcDbDatabase* db, FileImage* image)
    : mDb(db), mImage(image), mWindow(image), mTags(std::make_unique<RecordTags>()) {
  mImage->retain();
}

DeferredRecords::~DeferredRecords() { mImage->release(); }

bool DeferredRecords::add(AcDbStub* stub, uint64_t begin, uint64_t end, AcRxClass* cls, std::string_view type,
                          AcDbStub* owner) {
  size_t kind = 0;
  while (kind < mKinds.size() && !(mKinds[kind].cls == cls && mKinds[kind].type == type)) ++kind;
  if (kind == mKinds.size()) {
    if (kind > UINT8_MAX) return false;
    mKinds.push_back({cls, std::string(type)});
  }
  if (begin > kPlaceMask || end - begin > UINT32_MAX) return false;
  uint32_t ownerIndex = 0;
  if (mOwners.empty() || mOwners.back() != owner) {  // entities come in runs of one owner
    const auto found = mOwnerIndex.find(owner);
    if (found == mOwnerIndex.end()) {
      if (mOwners.size() == UINT32_MAX) return false;
      ownerIndex = static_cast<uint32_t>(mOwners.size());
      mOwners.push_back(owner);
      mOwnerIndex.emplace(owner, ownerIndex);
    } else {
      ownerIndex = found->second;
    }
  } else {
    ownerIndex = static_cast<uint32_t>(mOwners.size() - 1);
  }
  mEntries.push_back({begin | (uint64_t(kind) << kKindShift), static_cast<uint32_t>(end - begin), ownerIndex});
  stub->setDeferred(static_cast<uint32_t>(mEntries.size() - 1));
  return true;
}

bool DeferredRecords::ready() const { return fileRecord(mDb) != nullptr; }

AcDbObject* DeferredRecords::load(const AcDbStub& stub) {
  FileRecord* file = fileRecord(mDb);
  if (file == nullptr) return nullptr;
  const Kind& kind = mKinds[kindOf(entry(stub))];
  // The record as the file holds it now: it must still be the object's (a file that another
  // program changed may no longer hold it).
  const std::string_view bytes = mWindow.bytes(begin(stub), end(stub));
  RecordTags& tags = *mTags;
  if (!readRecordTags(bytes, mImage->style, tags) || !tags.handleValid || tags.handle != stub.handle.value() ||
      tags.type != kind.type)
    return nullptr;
  if (!mDecoding) mDecoding = std::make_unique<LateDecoding>(mDb, *file);
  AcDbObject* obj = decodeRecord(tags, *mDecoding, true);
  if (obj->isA() != kind.cls) {
    delete obj;
    return nullptr;
  }
  auto* record = new ObjectRecord(mImage, begin(stub), end(stub), 0);
  AcDbCore::setStoredRecord(obj, record);
  AcDbCore::attachDeferred(stub, obj, AcDbObjectId(owner(stub)));
  record->setRevisionAtLoad(AcDbCore::revision(obj));
  return obj;
}

ReadResult readDrawingImage(FileImage* image, const std::wstring& name, const ReadOptions& options) {
  Loader loader(image, name, options);
  return loader.run();
}

}  // namespace cadhost::dxf
