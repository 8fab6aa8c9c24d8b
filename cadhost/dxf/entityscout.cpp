// The entities of a large drawing read ahead on a second thread (see entityscout.h).
#include "entityscout.h"

#include <new>

#include "../core/coreaccess.h"
#include "tagfaults.h"

namespace cadhost::dxf {

// Decoding for the scout: names from its own copy, no handles, and any of these or a problem
// makes the record one for the reader. One for all the records the scout judges (clean is set
// again for each).
class ScoutContext : public DecodeContext {
 public:
  ScoutContext(AcDbDatabase* db, FileRecord& file, const std::unordered_map<std::string, AcDbObjectId>* names)
      : DecodeContext(db, file, true), mNames(names) {
    skipTexts = true;  // as the reader checks an entity that may stay in the file
  }
  bool clean = true;

  AcDbObjectId named(Ref kind, std::string_view raw, AcDbObject*) override {
    if (raw.empty()) raw = kind == Ref::Layer ? "0" : "STANDARD";
    const auto& names = mNames[static_cast<int>(kind)];
    mKey.assign(raw);
    if (const auto it = names.find(mKey); it != names.end()) return it->second;
    clean = false;
    return AcDbObjectId();
  }
  AcDbObjectId object(uint64_t) override {
    clean = false;
    return AcDbObjectId();
  }
  void badValue(const Tag&, const char*) override { clean = false; }

 private:
  const std::unordered_map<std::string, AcDbObjectId>* mNames;
  std::string mKey;
};


EntityScout::EntityScout(AcDbDatabase* db, FileRecord& file, const char* data, size_t size, uint64_t start,
                         uint64_t handleLimit)
    : mDb(db), mFile(file), mData(data), mSize(size), mStart(start), mHandleLimit(handleLimit),
      mVerdicts(new ScoutedEntity[kAhead]) {
  using Ref = DecodeContext::Ref;
  mNames[static_cast<int>(Ref::Layer)] = file.layerNames;
  mNames[static_cast<int>(Ref::TextStyle)] = file.styleNames;
  mNames[static_cast<int>(Ref::DimStyle)] = file.dimStyleNames;
  mNames[static_cast<int>(Ref::Block)] = file.blockNames;
  mThread = std::thread([this] { scout(); });
}

EntityScout::~EntityScout() {
  mStop.store(true, std::memory_order_release);
  mThread.join();
}

// Whether a record may stay in the file as it stands: the reader's own conditions for that, on
// what the record alone says.
bool EntityScout::judge(RecordTags& record, ScoutedEntity& entity, ScoutContext& context) {
  analyzeRecord(record, mFile.style.binary);
  const std::string_view type = record.type;
  entity.handle = record.handle;
  entity.owner = record.owner;
  entity.paper = saysPaperSpace(record, mFile.style.binary);
  // Parts and block ends depend on what came before them: the reader's.
  if (type == "VERTEX" || type == "ATTRIB" || type == "SEQEND" || type == "BLOCK" || type == "ENDBLK") return false;
  if (type == "INSERT" && !namesBlock(record)) return false;  // (the reader reports it)
  if (!mayStayInFile(record, mFile.style.binary, mHandleLimit) || entity.end - entity.begin > 0xFFFFFFF0ull) return false;
  context.clean = true;
  AcDbObject* obj = decodeRecord(record, context, true);
  entity.cls = obj->isA();
  delete obj;
  return context.clean && !forEachFault(record, mFile.style.binary, [](size_t, TagFault) {});
}

void EntityScout::scout() {
  try {
    TagReader reader(mData, mSize, mFile.style, mStart);
    ScoutContext context(mDb, mFile, mNames);
    RecordTags record;
    Tag t, next;
    bool have = reader.next(t);
    for (size_t n = 0; have && !mStop.load(std::memory_order_acquire); ++n) {
      // Past the section (or a stray tag, which the reader reports): the reader goes on alone.
      if (t.code != 0 || t.value == "ENDSEC" || t.value == "SECTION" || t.value == "EOF") break;
      // (The last record of a file that ends here is the reader's.)
      if (!readRecordAfter(reader, t, record.tags, next)) break;
      record.dataEnd = reader.dataEnd();
      while (n >= mTaken.load(std::memory_order_acquire) + kAhead) {  // the reader is far behind
        if (mStop.load(std::memory_order_acquire)) return;
        std::this_thread::yield();
      }
      ScoutedEntity& entity = mVerdicts[n % kAhead];
      entity = ScoutedEntity();
      entity.begin = t.begin;
      entity.end = next.begin;
      // A record in the reader's stretch is the reader's: the scout passes over it to get ahead.
      entity.clean = t.begin >= mStretchEnd.load(std::memory_order_relaxed) && judge(record, entity, context);
      mFilled.store(n + 1, std::memory_order_release);
      t = next;
    }
  } catch (const std::bad_alloc&) {
    // The reader reads the rest itself.
  }
}

bool EntityScout::entityAt(uint64_t begin, ScoutedEntity& entity) {
  if (begin < mOwnStretchEnd) return false;
  for (;;) {
    if (mTakenHere >= mKnownFilled) {
      mKnownFilled = mFilled.load(std::memory_order_acquire);
      if (mTakenHere >= mKnownFilled) {  // not yet: the reader takes a stretch, which the scout passes over
        mOwnStretchEnd = begin + kStretchBytes;
        mStretchEnd.store(mOwnStretchEnd, std::memory_order_relaxed);
        mTaken.store(mTakenHere, std::memory_order_release);
        return false;
      }
    }
    const ScoutedEntity& next = mVerdicts[mTakenHere % kAhead];
    if (next.begin > begin) return false;  // the scout has nothing for it
    const bool found = next.begin == begin;
    if (found) entity = next;  // (copied before the slot is given back)
    if (++mTakenHere % kTellTakenEvery == 0) mTaken.store(mTakenHere, std::memory_order_release);
    if (found) return true;
  }
}

}  // namespace cadhost::dxf
