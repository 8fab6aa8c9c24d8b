// Undo groups: what a command changed in a drawing, recorded so that UNDO gives the drawing back
// exactly as it stood before the command, and REDO as it stood after.
//
// An object is recorded once per group, just before its first change: a copy of its whole state
// (undoSnapshot) and its erased flag. Undoing the group puts the copy in the object's place (the
// stub swaps objects) and keeps the object it replaced for a redo; an object the group created is
// erased again. The copy keeps the revision the file writer compares with the one the file was
// read at, so a drawing saved after an undo holds the bytes it held before the command. The
// drawing's header settings, last entity and handle seed are kept as they stood before and after.
#include "undo.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_set>
#include <vector>

#include "coreaccess.h"
#include "documentstate.h"
#include "hostservices.h"

namespace cadhost_detail {

namespace {

// What a drawing holds besides its objects that a command may change.
struct HeaderState {
  Adesk::UInt64 handseed = 1;
  AcDbObjectId lastEntity, currentSpace, textstyle, clayer, dimstyle;
  Adesk::Int16 lunits = 2, luprec = 4;
  AcDb::UnitsValue insunits = AcDb::kUnitsUndefined;
  double textsize = 2.5;
  AcDbDatabaseSummaryInfo summary;

  static HeaderState of(const AcDbImpDatabase& d) {
    return {d.handseed, d.lastEntity, d.currentSpace, d.textstyle, d.clayer, d.dimstyle,
            d.lunits, d.luprec, d.insunits, d.textsize, d.summary};
  }
  void applyTo(AcDbImpDatabase& d) const {
    d.handseed = handseed;
    d.lastEntity = lastEntity;
    d.currentSpace = currentSpace;
    d.textstyle = textstyle;
    d.clayer = clayer;
    d.dimstyle = dimstyle;
    d.lunits = lunits;
    d.luprec = luprec;
    d.insunits = insunits;
    d.textsize = textsize;
    d.summary = summary;
  }
};

// One object of a group: the state it does not have now (before the group while the group stands
// done, after it while it stands undone), given back by swapping.
struct ObjectState {
  AcDbStub* stub = nullptr;
  AcDbObject* other = nullptr;  // owned; null: the object itself did not change (created, or not made)
  bool otherErased = false;
};

struct Group {
  std::wstring name;
  std::vector<ObjectState> objects;        // in the order they were first changed
  std::unordered_set<AcDbStub*> recorded;  // while the group is recorded
  HeaderState before, after;
  ~Group() {
    for (ObjectState& s : objects) delete s.other;
  }
  // Swaps every object between its two states, the last changed first, and the header to the
  // state given; returns the entities whose drawing changed.
  std::vector<AcDbObjectId> swap(AcDbImpDatabase& d, const HeaderState& header) {
    std::vector<AcDbObjectId> entities;
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
      if (it->other != nullptr) it->stub->swapObject(it->other);
      std::swap(it->stub->erased, it->otherErased);
      const AcDbObject* now = it->stub->loaded();
      const AcDbObject* then = it->other;
      if (AcDbEntity::cast(now) != nullptr || AcDbEntity::cast(then) != nullptr) entities.push_back(AcDbObjectId(it->stub));
    }
    header.applyTo(d);
    ++d.changeCount;
    return entities;
  }
};

// How many groups a drawing keeps: older ones are forgotten.
constexpr size_t kKeptGroups = 100;

int gDepth = 0;            // UndoGroup objects alive
std::wstring gGroupName;   // the outermost one's
std::vector<AcDbImpDatabase*> gTouched;  // drawings with a group being recorded

}  // namespace

class UndoHistory {
 public:
  explicit UndoHistory(AcDbImpDatabase* imp) : mImp(imp) {}
  ~UndoHistory() { std::erase(gTouched, mImp); }

  // The group being recorded, opened on the drawing's first change in it.
  Group& recording() {
    if (!mRecording) {
      mRecording = std::make_unique<Group>();
      mRecording->name = gGroupName;
      mRecording->before = HeaderState::of(*mImp);
      gTouched.push_back(mImp);
    }
    return *mRecording;
  }
  void closeRecording() {
    if (!mRecording) return;
    std::unique_ptr<Group> group = std::move(mRecording);
    group->recorded.clear();
    group->after = HeaderState::of(*mImp);
    mRedo.clear();
    mUndo.push_back(std::move(group));
    if (mUndo.size() > kKeptGroups) mUndo.pop_front();
  }
  bool isRecording() const { return mRecording != nullptr; }

  std::deque<std::unique_ptr<Group>> mUndo;
  std::deque<std::unique_ptr<Group>> mRedo;

 private:
  AcDbImpDatabase* mImp;
  std::unique_ptr<Group> mRecording;
};

void deleteUndoHistory(UndoHistory* history) { delete history; }

namespace {
UndoHistory& historyOf(AcDbImpDatabase* imp) {
  if (imp->undo == nullptr) imp->undo = new UndoHistory(imp);
  return *imp->undo;
}

// Records an object the first time the running group touches it: as it stands now, or (created)
// as one that did not exist before the group.
void record(AcDbStub* stub, bool created) {
  if (gDepth == 0 || stub == nullptr || stub->database == nullptr) return;
  Group& group = historyOf(stub->database).recording();
  if (!group.recorded.insert(stub).second) return;
  ObjectState state;
  state.stub = stub;
  state.otherErased = created || stub->erased;
  if (!created)
    if (const AcDbObject* obj = stub->loaded()) state.other = AcDbCore::undoSnapshot(obj);
  group.objects.push_back(state);
}
}  // namespace

void undoWillChange(AcDbStub* stub) { record(stub, false); }
void undoAdded(AcDbStub* stub) { record(stub, true); }

void undoWillAdd(AcDbImpDatabase* imp) {
  if (gDepth != 0 && imp != nullptr) historyOf(imp).recording();
}

void undoWillChangeHeader(AcDbImpDatabase* imp) { undoWillAdd(imp); }

}  // namespace cadhost_detail

AcDbObject* AcDbCore::undoSnapshot(const AcDbObject* obj) {
  const AcRxClass::CopyFunction copier = obj->isA()->copier();
  if (copier == nullptr) return nullptr;
  auto* copy = static_cast<AcDbObject*>(copier(obj));
  // The copy constructor gives a clone copies of the fields, outside the drawing; the snapshot
  // keeps the fields the object has (they are objects of the drawing, recorded on their own).
  if (copy->mpFields) {
    for (auto& slot : copy->mpFields->slots) delete slot.pending;
    delete copy->mpFields;
    copy->mpFields = nullptr;
  }
  if (obj->mpFields) {
    copy->mpFields = new AcDbFieldTable;
    for (const auto& slot : obj->mpFields->slots) copy->mpFields->slots.push_back({slot.property, slot.id, nullptr});
  }
  copy->mpStub = obj->mpStub;
  copy->mOwnerId = obj->mOwnerId;
  copy->mRevision = obj->mRevision;
  copy->mNew = obj->mNew;
  return copy;
}

namespace cadhost {

UndoGroup::UndoGroup(const std::wstring& name) {
  if (cadhost_detail::gDepth++ == 0) cadhost_detail::gGroupName = name;
}

UndoGroup::~UndoGroup() {
  if (--cadhost_detail::gDepth != 0) return;
  const std::vector<AcDbImpDatabase*> touched = std::move(cadhost_detail::gTouched);
  cadhost_detail::gTouched.clear();
  for (AcDbImpDatabase* imp : touched)
    if (imp->undo != nullptr) imp->undo->closeRecording();
}

bool isRecordingUndo() { return cadhost_detail::gDepth > 0; }

namespace {

// Why a group cannot be undone or redone now; empty when it can.
std::wstring refusal(AcDbDatabase* db) {
  if (db == nullptr) return L"No drawing is open.";
  if (isRecordingUndo()) return L"A command is being recorded.";
  if (requireDocumentLockForWrite() && !cadhost_detail::isDatabaseLocked(db)) return L"The drawing is not locked.";
  if (openObjectCount(db) > 0) return L"Objects of the drawing are open.";
  return L"";
}

bool step(AcDbDatabase* db, bool undo, std::wstring& nameOrReason) {
  nameOrReason = refusal(db);
  if (!nameOrReason.empty()) return false;
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  cadhost_detail::UndoHistory* history = imp->undo;
  if (history == nullptr || (undo ? history->mUndo.empty() : history->mRedo.empty())) {
    nameOrReason = undo ? L"Nothing to undo." : L"Nothing to redo.";
    return false;
  }
  std::unique_ptr<cadhost_detail::Group> group;
  if (undo) {
    group = std::move(history->mUndo.back());
    history->mUndo.pop_back();
  } else {
    group = std::move(history->mRedo.back());
    history->mRedo.pop_back();
  }
  const std::vector<AcDbObjectId> entities = group->swap(*imp, undo ? group->before : group->after);
  // The display draws them again at its next flush, as after any change.
  imp->changedSinceFlush.insert(imp->changedSinceFlush.end(), entities.begin(), entities.end());
  nameOrReason = group->name;
  (undo ? history->mRedo : history->mUndo).push_back(std::move(group));
  return true;
}

}  // namespace

bool undoLastGroup(AcDbDatabase* db, std::wstring& nameOrReason) { return step(db, true, nameOrReason); }
bool redoLastGroup(AcDbDatabase* db, std::wstring& nameOrReason) { return step(db, false, nameOrReason); }

int undoGroupCount(const AcDbDatabase* db) {
  const auto* history = db ? AcDbCore::imp(db)->undo : nullptr;
  return history ? static_cast<int>(history->mUndo.size()) : 0;
}

int redoGroupCount(const AcDbDatabase* db) {
  const auto* history = db ? AcDbCore::imp(db)->undo : nullptr;
  return history ? static_cast<int>(history->mRedo.size()) : 0;
}

}  // namespace cadhost
