// Reading the entities of a large drawing on a second thread. The scout runs through the BLOCKS
// or the ENTITIES section ahead of the reader: it splits the records, finds their parts and decodes each
// the way the reader checks an entity that may stay in the file (texts left out), and hands the
// reader a short verdict per record. An entity it finds clean the reader files as it stands,
// without reading its tags again; any other record the reader reads itself. The scout shares
// nothing with the reader that changes: it knows the names of the drawing as they were when the
// section began, and any name it does not know, any handle the record refers to and any problem
// make the record one for the reader. Neither waits for the other: when the reader reaches a record
// the scout has not judged, the reader takes the records of a stretch of the file from there, and
// the scout passes over them.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

#include "filerecord.h"
#include "records.h"
#include "tags.h"

class AcRxClass;

namespace cadhost::dxf {

class ScoutContext;  // how the scout decodes (entityscout.cpp)

struct ScoutedEntity {
  uint64_t begin = 0, end = 0;  // the record: its 0 tag, and where the next record begins
  uint64_t handle = 0, owner = 0;
  AcRxClass* cls = nullptr;     // the host's class for it
  bool clean = false;           // it may stay in the file as it stands
  bool paper = false;           // it says it lies in paper space (67 = 1)
};

class EntityScout {
 public:
  // Scouts the records from start (a 0 tag) up to the end of the section. Records whose handle
  // reaches handleLimit are not clean, nor are BLOCK and ENDBLK, nor entities with parts.
  EntityScout(AcDbDatabase* db, FileRecord& file, const char* data, size_t size, uint64_t start, uint64_t handleLimit);
  ~EntityScout();  // stops the thread
  EntityScout(const EntityScout&) = delete;
  EntityScout& operator=(const EntityScout&) = delete;

  // The verdict on the record that begins at begin (records before it are passed over); false
  // when the scout has none for it yet, or stopped before it, or the record is in the reader's
  // stretch: the reader then reads the record itself (it does not wait). Asked in the order of
  // the file.
  bool entityAt(uint64_t begin, ScoutedEntity& entity);

  static constexpr size_t kAhead = 4096;  // verdicts waiting at most

 private:
  void scout();
  bool judge(RecordTags& record, ScoutedEntity& entity, ScoutContext& context);

  AcDbDatabase* mDb;
  FileRecord& mFile;
  const char* mData;
  size_t mSize;
  uint64_t mStart, mHandleLimit;
  // The names of the drawing when the section began: layers, text styles, dimension styles, blocks.
  std::unordered_map<std::string, AcDbObjectId> mNames[4];
  std::unique_ptr<ScoutedEntity[]> mVerdicts;  // verdict n in mVerdicts[n % kAhead]
  std::atomic<bool> mStop{false};
  std::thread mThread;
  // What each thread tells the other sits on a cache line of its own, and the reader tells only
  // what the scout needs: a line written by both would pass between the cores at every record.
  alignas(64) std::atomic<size_t> mFilled{0};  // verdicts handed over
  alignas(64) std::atomic<size_t> mTaken{0};   // verdicts the reader is done with (told now and then)
  // The end of the reader's stretch: records that begin before it the reader reads itself, and
  // the scout passes over them. When the scout has nothing for the record the reader asks for, the
  // reader takes the next kStretchBytes. (While the scout is ahead, the reader does not say where
  // it is.) A stretch at a time, instead of single records, keeps the two threads from trading
  // cache lines at every record when they run at the same place.
  std::atomic<uint64_t> mStretchEnd{0};
  alignas(64) size_t mKnownFilled = 0;  // the reader's own
  size_t mTakenHere = 0;                // verdicts the reader is done with
  uint64_t mOwnStretchEnd = 0;          // the reader's copy of mStretchEnd (which only it sets)
  static constexpr size_t kTellTakenEvery = 64;
  static constexpr uint64_t kStretchBytes = 64 * 1024;
};

}  // namespace cadhost::dxf
