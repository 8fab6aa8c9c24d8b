// Reading a drawing file into the host's database: the sections, tables, blocks, entities and
// objects, with repairs of damaged input reported as warnings and refusals as errors.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "aheadworker.h"
#include "dxffile.h"
#include "entityscout.h"
#include "fieldcodes.h"
#include "messages.h"
#include "reading.h"
#include "records.h"

namespace cadhost::dxf {

namespace {

constexpr const char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // then a zero byte
constexpr size_t kBinarySentinelSize = 22;
// Handles the reader lends to objects until the file is read: objects the file gave no handle
// (or a handle another object has) get fresh ones at the end. They lie above any handle a file
// may use, so no reference in the file can reach them.
constexpr uint64_t kProvisionalBase = 0xF000000000000000ull;
constexpr uint64_t kHandleLimit = uint64_t(1) << 60;

enum class Section { None, Header, Classes, Tables, Blocks, Entities, Objects, Other };

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

struct Rehandled {
  AcDbStub* stub;
  std::string type;
  uint64_t offset;
  uint64_t handle;
  uint64_t holderOffset;
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
  void skipRecord(const Tag& first);

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
  AcDbObjectId spaceOf(uint64_t ownerHandle, bool paper);
  struct {
    uint64_t handle = 0;
    AcDbObjectId block;
  } mLastOwner;  // the block an owner handle was last found to be
  AcDbObjectId deferObject(AcRxClass* cls, AcDbObjectId owner);
  AcDbObjectId addSynthesized(AcDbObject* obj, AcDbObjectId owner);
  void rekey(AcDbStub* stub, uint64_t handle);
  std::wstring whereIs(uint64_t offset);

  AcDbObjectId ensureTable(AcDbObjectId& slot, AcDbObject* (*make)(), const wchar_t* kind, bool expected);
  AcDbObjectId findNamed(Ref kind, std::string_view raw);
  AcDbObjectId synthesizeNamed(Ref kind, std::string_view raw);
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
  AcDbObjectId mBlock;   // the block being read (its block record)
  AcDbObjectId mParent;  // a POLYLINE or INSERT whose VERTEX, ATTRIB and SEQEND follow
  AcDbObjectId mPaperSpace;
  uint64_t mNextProvisional = kProvisionalBase;
  bool mCodecReady = false;
  bool mTablesSeen = false;
  bool mBlockRecordTable = false;  // blocks have records (R13 and later)

  std::string mVersion, mCodePage;
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
  // A mapped file's pages are given back behind the reading, every so many bytes.
  static constexpr uint64_t kReleaseEvery = 8 << 20;
  uint64_t mReleasedUpTo = 0;
};

template <class Table>
AcDbObject* makeTable() { return new Table; }

// ---- Objects in the database ----------------------------------------------------------------

AcDbObjectId Loader::addSynthesized(AcDbObject* obj, AcDbObjectId owner) {
  AcDbObjectId id;
  AcDbCore::addToDatabase(mDb.get(), obj, owner, mNextProvisional++, id);
  mUnnamed.push_back(id.stub());
  AcDbCore::setStoredRecord(obj, new ObjectRecord(nullptr, 0, 0, ObjectRecord::kSynthesized | ObjectRecord::kNoHandle));
  return id;
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
      mRehandled.push_back({nullptr, std::string(mRecord.type), mRecordBegin, handle, holderBegin});
      handle = 0;
      flags |= ObjectRecord::kRehandled;
    }
  } else {
    if (mRecord.handleTag >= 0) {
      const Tag& tag = mRecord.tags[static_cast<size_t>(mRecord.handleTag)];
      if (!(mRecord.handleValid == false && tagHandle(tag, file.style.binary, handle) && handle == 0))
        warn(tag.begin, L"'" + shown(tag.value) + L"' is not a handle; the " + file.codec.decode(mRecord.type) +
                            L" gets a new one");
      handle = 0;
    }
    flags |= ObjectRecord::kNoHandle;
  }
  if (handle == 0) handle = mNextProvisional++;
  else mHighestHandle = std::max(mHighestHandle, handle);
  AcDbObjectId id;
  if (AcDbCore::addToDatabase(mDb.get(), obj, owner, handle, id) != Acad::eOk) {
    delete obj;  // cannot happen: the handle was checked
    return AcDbObjectId();
  }
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
// entities, blocks and objects are written there. Not for a section that ends inside a block: what
// is new would land in that block.
void Loader::sectionEndsAt(uint64_t offset) {
  switch (mSection) {
    case Section::Entities: file.entitiesEnd = offset; break;
    case Section::Objects: file.objectsEnd = offset; break;
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
AcDbObjectId Loader::spaceOf(uint64_t ownerHandle, bool paper) {
  if (ownerHandle != 0) {
    // Entities come in long runs with the same owner: the last block found is asked first.
    if (ownerHandle == mLastOwner.handle) return mLastOwner.block;
    AcDbStub* stub = mImp->findHandle(ownerHandle);
    if (stub != nullptr && AcDbBlockTableRecord::cast(stub->object())) {
      mLastOwner = {ownerHandle, AcDbObjectId(stub)};
      return mLastOwner.block;
    }
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
  return AcDbObjectId(stub);
}

AcDbObjectId Loader::object(uint64_t handle) {
  if (handle == 0 || handle >= kHandleLimit) return AcDbObjectId();
  mHighestHandle = std::max(mHighestHandle, handle);
  return AcDbObjectId(mImp->placeholder(handle));
}

void Loader::badValue(const Tag& tag, const char* what) {
  if (mMuted) return;
  warn(tag.begin, L"group code " + std::to_wstring(tag.code) + L" of " + file.codec.decode(mRecord.type) + L" holds '" +
                      shown(tag.value) + L"', which is not " + std::wstring(what, what + std::strlen(what)) +
                      L"; the host uses its default there and the file keeps the value");
}

// ---- Names ----------------------------------------------------------------------------------

AcDbObjectId Loader::ensureTable(AcDbObjectId& slot, AcDbObject* (*make)(), const wchar_t* kind, bool expected) {
  if (!slot.isNull()) return slot;
  slot = addSynthesized(make(), AcDbObjectId());
  if (expected && !file.r12() && mTablesSeen)
    warn(mSectionBegin, std::wstring(L"the drawing has no ") + kind + L" table; the host makes an empty one");
  return slot;
}

AcDbObjectId Loader::findNamed(Ref kind, std::string_view raw) { return findNamedRecord(file, mImp, kind, raw); }

AcDbObjectId Loader::named(Ref kind, std::string_view raw, AcDbObject* referrer) {
  if (raw.empty()) raw = kind == Ref::Layer ? "0" : "STANDARD";
  const AcDbObjectId id = findNamed(kind, raw);
  if (id.isNull()) mPending.push_back({kind, referrer, std::string(raw), mRecordBegin});
  return id;
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
      if (id.isNull()) {
        if (AcDbBlockReference::cast(pending.referrer))
          warn(pending.offset, L"the INSERT names the block '" + text(pending.name) + L"', which the drawing does not define");
        continue;
      }
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

// The model space or the (active) paper space: the file's, or one the host makes.
AcDbObjectId Loader::space(bool paper) {
  AcDbObjectId& slot = paper ? mPaperSpace : mImp->modelSpace;
  if (!slot.isNull()) return slot;
  const AcDbObjectId tableId = ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>, L"BLOCK_RECORD", true);
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
  // From the tag after "2 HEADER" up to the next 0 tag.
  Tag t;
  HeaderVariable* current = nullptr;
  file.hasHeader = true;
  mHaveNext = false;
  while (mReader->next(t)) {
    if (t.code == 0) {
      if (current) current->end = t.begin;
      mNext = t;
      mHaveNext = true;
      file.headerEnd = t.begin;
      return;
    }
    if (t.code == 9) {
      if (current) current->end = t.begin;
      file.header.push_back({std::string(t.value), t.begin, t.end});
      current = &file.header.back();
      continue;
    }
    if (current == nullptr) continue;
    current->end = t.end;
    const std::string& name = current->name;
    const bool binary = file.style.binary;
    int64_t i;
    if (name == "$ACADVER" && t.code == 1) mVersion = std::string(t.value);
    else if (name == "$DWGCODEPAGE" && t.code == 3) mCodePage = std::string(t.value);
    else if (name == "$HANDSEED" && t.code == 5) { mHasSeed = parseHexHandle(t.value, mHeaderSeed); mSeedOffset = t.begin; }
    else if (name == "$HANDLING" && t.code == 70 && tagInt(t, binary, i)) mHandling = i;
    else if (name == "$LUNITS" && t.code == 70 && tagInt(t, binary, i)) file.atLoad.lunits = static_cast<int16_t>(std::clamp<int64_t>(i, -9999, 9999));
    else if (name == "$LUPREC" && t.code == 70 && tagInt(t, binary, i)) file.atLoad.luprec = static_cast<int16_t>(std::clamp<int64_t>(i, -9999, 9999));
    else if (name == "$INSUNITS" && t.code == 70 && tagInt(t, binary, i)) file.atLoad.insunits = static_cast<int>(std::clamp<int64_t>(i, -9999, 9999));
    else if (name == "$TEXTSIZE" && t.code == 40) tagDouble(t, binary, file.atLoad.textsize);
    else if (name == "$TEXTSTYLE" && t.code == 7) { mTextStyleName = std::string(t.value); mHasTextStyle = true; }
    else if (name == "$CLAYER" && t.code == 8) { mLayerName = std::string(t.value); mHasLayer = true; }
    else if (name == "$DIMSTYLE" && t.code == 2) { mDimStyleName = std::string(t.value); mHasDimStyle = true; }
  }
  if (current) current->end = mReader->position();
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
    warn(0, L"the version '" + shown(version) + L"' in $ACADVER is unknown; the drawing is read as R2018");
    file.release = 1032;
  }
  file.codec = TextCodec::forDrawing(file.version, mCodePage);
  file.image->style = file.style;
  file.image->codec = file.codec;
  if (file.codec.unknownCodePage())
    warn(0, L"the host has no table for the code page '" + shown(mCodePage) +
                L"': characters outside ASCII are shown as escapes and kept as they are");
  file.handles = !(file.r12() && mHandling == 0);
  if (mHasSeed && mHeaderSeed >= kHandleLimit) warn(mSeedOffset, L"the handle seed $HANDSEED is out of range; it is ignored");
}

bool Loader::readRecord(const Tag& first) {
  mRecordBegin = first.begin;
  mHaveNext = readRecordAfter(*mReader, first, mRecord.tags, mNext);
  mRecordEnd = mHaveNext ? mNext.begin : mRecord.tags.back().end;
  analyzeRecord(mRecord, file.style.binary);
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
      // Tags outside any record (comments before the first section and the like) stay in place.
      if (t.code != 999 && mSection != Section::None && mSection != Section::Classes && mSection != Section::Other)
        warn(t.begin, L"group code " + std::to_wstring(t.code) + L" stands outside any object; it is kept as it is");
      haveTag = mReader->next(t);
      continue;
    }
    const std::string_view type = t.value;
    if (type == "EOF") {
      sawEof = true;
      file.eofAt = t.begin;
      if (mSection != Section::None) {
        warn(t.begin, L"the " + sectionName(mSection) + L" section has no ENDSEC before EOF");
        sectionEndsAt(t.begin);
        mSection = Section::None;
      }
      const char* data = file.image->data();
      size_t p = t.end;
      while (p < size && (data[p] == ' ' || data[p] == '\r' || data[p] == '\n' || data[p] == '\t' || data[p] == 0x1A || data[p] == 0)) ++p;
      if (p < size) warn(p, L"the file goes on after EOF; what follows is not part of the drawing and is kept as it is");
      break;
    }
    if (type == "SECTION") {
      if (mSection != Section::None) {
        warn(t.begin, L"the " + sectionName(mSection) + L" section has no ENDSEC before the next SECTION");
        sectionEndsAt(t.begin);
      }
      mSection = Section::Other;
      mSectionBegin = t.begin;
      file.firstSection = std::min<uint64_t>(file.firstSection, t.begin);
      mTable = mBlock = mParent = AcDbObjectId();
      if (!(haveTag = mReader->next(t))) break;
      if (t.code != 2) {
        warn(t.begin, L"a SECTION without a name (group code 2); the section is kept as it is");
        continue;
      }
      const std::string_view name = t.value;
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
      else if (name == "TABLES") { mSection = Section::Tables; mTablesSeen = true; }
      else if (name == "BLOCKS") { mSection = Section::Blocks; file.hasBlocks = true; }
      else if (name == "ENTITIES") { mSection = Section::Entities; file.hasEntities = true; }
      else if (name == "OBJECTS") { mSection = Section::Objects; file.hasObjects = true; }
      haveTag = mReader->next(t);
      if (haveTag && (mSection == Section::Blocks || mSection == Section::Entities) && mScout == nullptr &&
          size - t.begin >= mOptions.secondCoreFrom && hasSecondCore())
        mScout = std::make_unique<EntityScout>(db, file, file.image->data(), size, t.begin, kHandleLimit);
      continue;
    }
    if (type == "ENDSEC") {
      switch (mSection) {
        case Section::None: warn(t.begin, L"ENDSEC without a SECTION; it is kept as it is"); break;
        case Section::Blocks:
          file.blocksEnd = t.begin;  // the ENDSEC ends the last block too
          if (!mBlock.isNull()) warn(t.begin, L"the last block has no ENDBLK before ENDSEC");
          break;
        case Section::Tables:
          if (!mTable.isNull()) warn(t.begin, L"the last table has no ENDTAB before ENDSEC");
          break;
        default: break;
      }
      sectionEndsAt(t.begin);
      mSection = Section::None;
      mTable = mBlock = mParent = AcDbObjectId();
      haveTag = mReader->next(t);
      continue;
    }
    prepareCodec();
    if (mSection == Section::None || mSection == Section::Classes || mSection == Section::Header ||
        mSection == Section::Other) {
      if (mSection == Section::None) warn(t.begin, file.codec.decode(type) + L" stands outside any section; it is kept as it is");
      haveTag = mReader->next(t);
      continue;
    }
    if (mSection == Section::Tables && type == "ENDTAB") {
      if (mTable.isNull()) warn(t.begin, L"ENDTAB without a TABLE; it is kept as it is");
      else file.tableEnds[mTable.stub()] = t.begin;
      mTable = AcDbObjectId();
      haveTag = mReader->next(t);
      continue;
    }
    if (mScout == nullptr || !deferScouted(t)) {
      if (!readRecord(t)) return refuse(t.begin, L"an object of more than 4 GB: the file is damaged");
      switch (mSection) {
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
                                     L"; the drawing was read up to there (recovered)");
  }
  if (!sawEof) {
    // A file cut short ends, for writing, after its last whole tag.
    const uint64_t end = mReader->failed() ? mReader->errorOffset() : mReader->truncated() ? mReader->lastTagEnd() : size;
    file.eofAt = end;
    if (mSection != Section::None || mReader->truncated() || mReader->failed()) {
      const std::wstring where =
          mSection != Section::None ? L"inside the " + sectionName(mSection) + L" section" : std::wstring(L"inside a tag");
      if (!mOptions.recover && !mReader->failed())
        return refuse(end, L"the file ends " + where + L": it is incomplete (truncated)");
      if (!mReader->failed()) warn(end, L"the file ends " + where + L"; the drawing was read up to there (recovered)");
      if (mSection != Section::None && mBlock.isNull()) sectionEndsAt(end);  // where its ENDSEC is written
      if (!mBlock.isNull()) file.unclosed.push_back("ENDBLK");
      if (!mTable.isNull()) file.unclosed.push_back("ENDTAB");
      if (mSection != Section::None) file.unclosed.push_back("ENDSEC");
      file.unclosed.push_back("EOF");
      file.unclosedBlock = mBlock;
    } else {
      warn(end, L"the file has no EOF; it gets one when it is saved");
      file.unclosed.push_back("EOF");
    }
  }
  prepareCodec();

  // Every drawing has these, whether the file has them or not.
  ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>, L"BLOCK_RECORD", true);
  ensureTable(mImp->layerTable, makeTable<AcDbLayerTable>, L"LAYER", true);
  ensureTable(mImp->textStyleTable, makeTable<AcDbTextStyleTable>, L"STYLE", true);
  ensureTable(mImp->dimStyleTable, makeTable<AcDbDimStyleTable>, L"DIMSTYLE", false);
  space(false);
  space(true);
  if (findNamed(Ref::Layer, "0").isNull()) synthesizeNamed(Ref::Layer, "0");
  resolveNames();
  resolveLayouts();
  attachFields(mDb.get(), file, mExtensionDictionaries, [this](const AcDbStub* field) {
    const ObjectRecord* record = objectRecord(field->object());
    warn(record ? record->begin() : 0, L"the FIELD " + fromUtf8(formatHandle(field->handle.value())) +
                                           L" names itself, or too many fields, as its children; those children are kept as stored");
  });
  finishHeaderSettings();
  finishHandles();

  for (auto& stub : mImp->stubs) {
    AcDbObject* obj = stub.loaded();  // deferred objects are made as they were read
    if (obj == nullptr) continue;
    AcDbCore::setNew(obj, false);
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
    if (!mTable.isNull()) warn(mRecordBegin, L"the table before has no ENDTAB");
    AcDbObjectId* slot = nullptr;
    AcDbObject* table = nullptr;
    if (kind == "LAYER") { slot = &mImp->layerTable; table = new AcDbLayerTable; }
    else if (kind == "STYLE") { slot = &mImp->textStyleTable; table = new AcDbTextStyleTable; }
    else if (kind == "DIMSTYLE") { slot = &mImp->dimStyleTable; table = new AcDbDimStyleTable; }
    else if (kind == "BLOCK_RECORD") { slot = &mImp->blockTable; table = new AcDbBlockTable; mBlockRecordTable = true; }
    if (slot != nullptr && !slot->isNull()) {
      warn(mRecordBegin, L"a second " + file.codec.decode(kind) + L" table; its records join the first one");
      delete table;
      addObject(new AcDbUnmodeledObject(L"TABLE"), AcDbObjectId());
      mTable = *slot;
      return;
    }
    mTable = addObject(table ? table : new AcDbUnmodeledObject(L"TABLE"), AcDbObjectId());
    if (slot != nullptr) *slot = mTable;
    return;
  }
  if (mTable.isNull()) {
    warn(mRecordBegin, file.codec.decode(type) + L" stands outside any table; it is kept as it is");
    return;
  }
  AcDbObject* obj = decodeRecord(mRecord, *this, false);
  auto* record = AcDbSymbolTableRecord::cast(obj);
  auto* table = AcDbCore::objectAs<AcDbSymbolTable>(mTable);
  const AcDbObjectId id = addObject(obj, mTable);
  if (id.isNull() || record == nullptr || table == nullptr || !table->isKindOf(AcDbSymbolTable::desc())) return;
  std::unordered_map<std::string, AcDbObjectId>* names = nullptr;
  if (AcDbLayerTableRecord::cast(record) && AcDbLayerTable::cast(table)) names = &file.layerNames;
  else if (AcDbTextStyleTableRecord::cast(record) && AcDbTextStyleTable::cast(table)) names = &file.styleNames;
  else if (AcDbDimStyleTableRecord::cast(record) && AcDbDimStyleTable::cast(table)) names = &file.dimStyleNames;
  else if (AcDbBlockTableRecord::cast(record) && AcDbBlockTable::cast(table)) names = &file.blockNames;
  if (names == nullptr) {
    warn(mRecordBegin, L"a " + file.codec.decode(type) + L" in another kind of table; it is kept as it is");
    return;
  }
  const ACHAR* name = AcDbCore::name(record);
  if (*name == 0) return;  // the shape file entries of the STYLE table have no name
  if (AcDbCore::addRecordToTable(table, record) != Acad::eOk) {
    warn(mRecordBegin, L"a second " + file.codec.decode(type) + L" named '" + std::wstring(name) +
                           L"'; the first one is used and this one is kept as it is");
    return;
  }
  for (const auto& m : mRecord.main)
    if (m.first && mRecord.tags[m.index].code == 2) { names->emplace(std::string(mRecord.tags[m.index].value), id); break; }
}

// ---- Blocks ---------------------------------------------------------------------------------

void Loader::blockRecord() {
  if (!mBlock.isNull()) warn(mRecordBegin, L"the block before has no ENDBLK");
  mParent = AcDbObjectId();
  const AcDbObjectId tableId = ensureTable(mImp->blockTable, makeTable<AcDbBlockTable>, L"BLOCK_RECORD", true);
  auto* table = AcDbCore::objectAs<AcDbBlockTable>(tableId);
  AcDbBlockTableRecord* decoded = decodeBlockEntity(mRecord, *this);
  std::string_view rawName;
  for (const auto& m : mRecord.main)
    if (m.first && mRecord.tags[m.index].code == 2) { rawName = mRecord.tags[m.index].value; break; }
  if (!mBlockRecordTable) {
    // An R12 block has no block record: its BLOCK entity stands for it.
    AcDbObjectId existing;
    if (*AcDbCore::name(decoded) == 0 || table->getAt(AcDbCore::name(decoded), existing) == Acad::eOk) {
      warn(mRecordBegin, *AcDbCore::name(decoded) == 0 ? std::wstring(L"a BLOCK without a name")
                                                        : L"a second block named '" + std::wstring(AcDbCore::name(decoded)) + L"'");
      mBlock = addObject(decoded, tableId, ObjectRecord::kBlockEntity);  // kept, outside the table
      return;
    }
    mBlock = addObject(decoded, tableId, ObjectRecord::kBlockEntity);
    AcDbCore::addRecordToTable(table, decoded);
    if (!rawName.empty()) file.blockNames.emplace(std::string(rawName), mBlock);
    return;
  }
  // Later files: the block record (the BLOCK's owner, or the record of its name) gets the origin.
  AcDbObjectId recordId;
  if (mRecord.owner != 0) {
    if (AcDbStub* stub = mImp->findHandle(mRecord.owner); stub && AcDbBlockTableRecord::cast(stub->object())) recordId = AcDbObjectId(stub);
  }
  if (recordId.isNull() && *AcDbCore::name(decoded) != 0) table->getAt(AcDbCore::name(decoded), recordId);
  if (recordId.isNull()) {
    warn(mRecordBegin, L"the block '" + std::wstring(AcDbCore::name(decoded)) +
                           L"' has no block record; the host makes one");
    auto* record = new AcDbBlockTableRecord;
    if (*AcDbCore::name(decoded) != 0) record->setName(AcDbCore::name(decoded));
    recordId = addSynthesized(record, tableId);
    if (*AcDbCore::name(record) != 0) AcDbCore::addRecordToTable(table, record);
    if (!rawName.empty()) file.blockNames.emplace(std::string(rawName), recordId);
  }
  auto* record = AcDbCore::objectAs<AcDbBlockTableRecord>(recordId);
  AcDbCore::beginWrite(record);
  record->setOrigin(decoded->origin());
  record->close();
  delete decoded;
  addObject(new AcDbUnmodeledObject(L"BLOCK"), recordId);
  mBlock = recordId;
}

void Loader::endBlockRecord() {
  if (mBlock.isNull()) {
    warn(mRecordBegin, L"ENDBLK without a BLOCK; it is kept as it is");
    return;
  }
  file.blockEnds[mBlock.stub()] = mRecordBegin;
  addObject(new AcDbUnmodeledObject(L"ENDBLK"), mBlock);
  mBlock = AcDbObjectId();
  mParent = AcDbObjectId();
}

// ---- Entities -------------------------------------------------------------------------------

void Loader::entityRecord(bool inBlock) {
  const std::string_view type = mRecord.type;
  const bool subEntity = type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
  if (subEntity && !mParent.isNull()) {
    // The parts of a POLYLINE or an INSERT: owned by it, not listed in the block.
    AcDbObject* obj = decodeRecord(mRecord, *this, true);
    addObject(obj, mParent);
    if (type == "SEQEND") mParent = AcDbObjectId();
    return;
  }
  if (!mParent.isNull()) {
    warn(mRecordBegin, L"the POLYLINE or INSERT before has no SEQEND");
    mParent = AcDbObjectId();
  }
  AcDbObjectId owner;
  if (inBlock) {
    if (mBlock.isNull()) {
      warn(mRecordBegin, L"the " + file.codec.decode(type) + L" stands outside any block; it is kept as it is");
      return;
    }
    owner = mBlock;
  } else {
    owner = spaceOf(mRecord.owner, saysPaperSpace(mRecord, file.style.binary));
  }
  // Every record is decoded as it is read, so that what is wrong in it is reported now. An entity
  // that may stay in the file is decoded without its texts (they cannot be wrong) and left there
  // when it decodes cleanly; otherwise it is decoded again, whole, and read at once.
  const size_t warningsBefore = mSink.count(), pendingBefore = mPending.size();
  const bool deferrable = mayDefer();
  skipTexts = deferrable;
  AcDbObject* obj = decodeRecord(mRecord, *this, true);
  skipTexts = false;
  AcDbObjectId id;
  if (deferrable) {
    if (mSink.count() == warningsBefore && mPending.size() == pendingBefore) id = deferObject(obj->isA(), owner);
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
  AcDbCore::addEntityToBlock(AcDbCore::objectAs<AcDbBlockTableRecord>(owner), id);
  if (type == "POLYLINE" || (type == "INSERT" && attributesFollow(mRecord, file.style.binary))) mParent = id;
}

// An entity that the scout found clean, filed as entityRecord files an entity that stays in the
// file, without reading its tags; false (nothing read) when the scout has no clean verdict for it
// or it cannot stay in the file after all.
bool Loader::deferScouted(const Tag& first) {
  const bool inBlock = mSection == Section::Blocks;
  if ((!inBlock && mSection != Section::Entities) || (inBlock && mBlock.isNull()) || !mParent.isNull()) return false;
  ScoutedEntity scouted;
  if (!mScout->entityAt(first.begin, scouted) || !scouted.clean || !handleIsFree(scouted.handle)) return false;
  const AcDbObjectId owner = inBlock ? mBlock : spaceOf(scouted.owner, scouted.paper);
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
  // A setting out of its range is left at the drawing's default and reported; the file's own
  // value stays in the header for as long as the setting is not changed.
  const auto outOfRange = [this](const char* name, int value, const wchar_t* instead) {
    uint64_t at = 0;
    for (const HeaderVariable& v : file.header)
      if (v.name == name) at = v.begin;
    warn(at, L"the header gives " + file.codec.decode(name) + L" " + std::to_wstring(value) + L", which is out of range; " + instead);
  };
  if (h.lunits >= 1 && h.lunits <= 5) mDb->setLunits(h.lunits);
  else outOfRange("$LUNITS", h.lunits, L"decimal units are used");
  if (h.luprec >= 0 && h.luprec <= 8) mDb->setLuprec(h.luprec);
  else outOfRange("$LUPREC", h.luprec, L"4 decimal places are used");
  if (h.insunits >= AcDb::kUnitsUndefined && h.insunits <= AcDb::kUnitsMax) mDb->setInsunits(static_cast<AcDb::UnitsValue>(h.insunits));
  else outOfRange("$INSUNITS", h.insunits, L"the drawing is taken as unitless");
  if (std::isfinite(h.textsize) && h.textsize > 0) mDb->setTextsize(h.textsize);
  // Read back what the database took, so that unchanged settings compare equal when writing.
  h.lunits = mDb->lunits();
  h.luprec = mDb->luprec();
  h.insunits = mDb->insunits();
  h.textsize = mDb->textsize();
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
                  fromUtf8(formatHandle(highest)) + L"); it is raised to " + fromUtf8(formatHandle(highest + 1)));
  }
  mImp->handseed = seed;
  // Objects whose handle another object had get fresh handles that the file will show; then the
  // seed the file should give; then objects the file gave no handle (or that the host made) take
  // handles above it, which the file never shows.
  for (const auto& r : mRehandled)
    if (r.stub != nullptr) rekey(r.stub, mImp->nextHandle());
  file.atLoad.handseed = mImp->handseed;
  for (AcDbStub* stub : mUnnamed) rekey(stub, mImp->nextHandle());
  for (const auto& r : mRehandled) {
    if (r.stub == nullptr) continue;
    warn(r.offset, L"the handle " + fromUtf8(formatHandle(r.handle)) + L" of this " + file.codec.decode(r.type) +
                       L" is already taken by the object at " + whereIs(r.holderOffset) + L"; it gets the new handle " +
                       fromUtf8(formatHandle(r.stub->handle.value())));
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
