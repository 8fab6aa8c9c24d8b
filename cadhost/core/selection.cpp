// Selection sets, entity names, the pick-first set and the selection prompt.
#include <algorithm>
#include <cwctype>
#include <map>
#include <sstream>

#include "../sdk/accmd.h"
#include "../sdk/acedads.h"
#include "../sdk/acutads.h"
#include "coreaccess.h"
#include "hostservices.h"
#include "selectionfilter.h"
#include "selectionstate.h"

namespace {

// The second integer of a selection-set name; entity names carry their database there.
constexpr Adesk::LongPtr kSelectionSetMark = 0x5353;

struct SelectionState {
  std::map<Adesk::LongPtr, std::vector<AcDbObjectId>> sets;
  Adesk::LongPtr nextSet = 1;
  std::vector<AcDbObjectId> pickFirst;
  cadhost::SelectionSource* source = nullptr;
};
SelectionState& selection() {
  static SelectionState s;
  return s;
}

std::vector<AcDbObjectId>* findSet(const ads_name ss) {
  if (ss == nullptr || ss[1] != kSelectionSetMark) return nullptr;
  const auto it = selection().sets.find(ss[0]);
  return it == selection().sets.end() ? nullptr : &it->second;
}

void newSet(std::vector<AcDbObjectId> members, ads_name ss) {
  SelectionState& s = selection();
  const Adesk::LongPtr id = s.nextSet++;
  s.sets.emplace(id, std::move(members));
  ss[0] = id;
  ss[1] = kSelectionSetMark;
}

// An entity of the drawing that a user can select: not erased, and drawn in a layout (model space
// or a paper space), never one inside a block definition.
bool isSelectableEntity(AcDbObjectId id, const AcDbDatabase* db) {
  if (!id.isValid() || id.isErased() || id.database() != db) return false;
  const AcDbEntity* entity = AcDbEntity::cast(AcDbCore::object(id));
  if (entity == nullptr) return false;
  const auto* owner = AcDbCore::objectAs<AcDbBlockTableRecord>(entity->ownerId());
  return owner != nullptr && AcDbCore::isLayout(owner);
}

// Keeps the selectable entities that pass the filter, in order, without repeats.
std::vector<AcDbObjectId> applyFilter(const std::vector<AcDbObjectId>& candidates, const AcDbDatabase* db,
                                      const cadhost_detail::SelectionFilter* filter) {
  std::vector<AcDbObjectId> kept;
  for (AcDbObjectId id : candidates) {
    if (!isSelectableEntity(id, db) || std::find(kept.begin(), kept.end(), id) != kept.end()) continue;
    if (filter == nullptr || filter->matches(AcDbEntity::cast(AcDbCore::object(id)))) kept.push_back(id);
  }
  return kept;
}

// Every entity of the drawing's layouts (model space and paper spaces), in drawing order.
std::vector<AcDbObjectId> everyEntity(AcDbDatabase* db, bool currentSpaceOnly) {
  std::vector<AcDbObjectId> all;
  const auto* table = AcDbCore::objectAs<AcDbBlockTable>(db->blockTableId());
  if (table == nullptr) return all;
  for (AcDbObjectId blockId : AcDbCore::records(table)) {
    const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
    if (block == nullptr || blockId.isErased() || !block->isLayout()) continue;
    if (currentSpaceOnly && blockId != db->currentSpaceId()) continue;
    for (AcDbObjectId id : AcDbCore::entities(block))
      if (!id.isErased()) all.push_back(id);
  }
  return all;
}

std::wstring upperTrimmed(const ACHAR* s) {
  std::wstring text = acdbUpperName(s);
  while (!text.empty() && std::iswspace(text.back())) text.pop_back();
  while (!text.empty() && std::iswspace(text.front())) text.erase(0, 1);
  if (!text.empty() && text[0] == L'_') text.erase(0, 1);
  return text;
}

}  // namespace

// ---- Entity names -----------------------------------------------------------------------

namespace {
Acad::ErrorStatus setEntityName(Adesk::LongPtr* objName, AcDbObjectId objId) {
  objName[0] = objName[1] = 0;
  if (objId.isNull()) return Acad::eNullObjectId;
  if (!objId.isValid()) return Acad::eKeyNotFound;
  objName[0] = reinterpret_cast<Adesk::LongPtr>(objId.stub());
  objName[1] = reinterpret_cast<Adesk::LongPtr>(objId.database());
  return Acad::eOk;
}
}  // namespace

Acad::ErrorStatus acdbGetAdsName(ads_name& objName, AcDbObjectId objId) { return setEntityName(objName, objId); }

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& objId, const ads_name objName) {
  objId.setNull();
  if (objName == nullptr || objName[0] == 0) return Acad::eNullObjectId;
  if (objName[1] == kSelectionSetMark) return Acad::eInvalidInput;
  objId = AcDbObjectId(reinterpret_cast<AcDbStub*>(objName[0]));
  return Acad::eOk;
}

int acdbEntLast(ads_name result) {
  cadhost::HostReadScope hostReads;
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (db == nullptr) return RTERROR;
  // The last entity appended that still exists.
  const std::vector<AcDbObjectId> all = everyEntity(db, false);
  AcDbObjectId last = db->lastEntityId();
  if (last.isNull() || last.isErased()) last = all.empty() ? AcDbObjectId() : all.back();
  if (last.isNull()) return RTERROR;
  return setEntityName(result, last) == Acad::eOk ? RTNORM : RTERROR;
}

// ---- Selection sets ---------------------------------------------------------------------

int acedSSGet(const ACHAR* str, const void* pt1, const void* pt2, const resbuf* filter, ads_name ss) {
  cadhost::HostReadScope hostReads;  // the host reads what it offers for selection
  (void)pt1;
  (void)pt2;
  if (ss == nullptr) return RTERROR;
  ss[0] = ss[1] = 0;
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (db == nullptr) return RTERROR;
  std::wstring message;
  std::unique_ptr<cadhost_detail::SelectionFilter> compiled;
  if (filter != nullptr) {
    compiled = cadhost_detail::SelectionFilter::compile(filter, message);
    if (!compiled) {
      acutPrintf(L"\n*Invalid selection*: %s\n", message.c_str());
      return RTERROR;
    }
  }
  SelectionState& s = selection();
  const std::wstring mode = upperTrimmed(str);
  std::vector<AcDbObjectId> chosen;
  if (mode == L"X") {
    chosen = applyFilter(everyEntity(db, false), db, compiled.get());
  } else if (mode == L"L") {
    ads_name last;
    AcDbObjectId id;
    if (acdbEntLast(last) == RTNORM && acdbGetObjectId(id, last) == Acad::eOk) chosen = applyFilter({id}, db, compiled.get());
  } else if (mode == L"I") {
    chosen = applyFilter(s.pickFirst, db, compiled.get());
  } else if (mode.empty()) {
    // A selection made before a command that takes one serves instead of the prompt.
    if ((cadhost::activeCommandFlags() & ACRX_CMD_USEPICKSET) != 0 && !s.pickFirst.empty()) {
      chosen = applyFilter(s.pickFirst, db, compiled.get());
      s.pickFirst.clear();
    }
    if (chosen.empty()) {
      if (s.source == nullptr) return RTCAN;
      cadhost::SelectionRequest request;
      request.database = db;
      const cadhost_detail::SelectionFilter* accepted = compiled.get();
      request.accepts = [db, accepted](AcDbObjectId id) {
        cadhost::HostReadScope hostReads;
        return !applyFilter({id}, db, accepted).empty();
      };
      const cadhost::SelectionAnswer answer = s.source->selectObjects(request);
      if (answer.cancelled) return RTCAN;
      chosen = applyFilter(answer.objects, db, compiled.get());
    }
  } else {
    return RTREJ;  // a selection mode this host does not offer
  }
  if (chosen.empty()) return RTERROR;
  newSet(std::move(chosen), ss);
  return RTNORM;
}

int acedSSLength(const ads_name ss, Adesk::Int32* len) {
  const std::vector<AcDbObjectId>* set = findSet(ss);
  if (set == nullptr || len == nullptr) return RTERROR;
  *len = static_cast<Adesk::Int32>(set->size());
  return RTNORM;
}

int acedSSName(const ads_name ss, Adesk::Int32 i, ads_name entres) {
  const std::vector<AcDbObjectId>* set = findSet(ss);
  if (set == nullptr || entres == nullptr || i < 0 || static_cast<size_t>(i) >= set->size()) return RTERROR;
  return setEntityName(entres, (*set)[static_cast<size_t>(i)]) == Acad::eOk ? RTNORM : RTERROR;
}

int acedSSFree(const ads_name ss) {
  if (findSet(ss) == nullptr) return RTERROR;
  selection().sets.erase(ss[0]);
  return RTNORM;
}

int acedSSAdd(const ads_name ename, const ads_name sname, ads_name result) {
  AcDbObjectId id;
  const bool haveEntity = ename != nullptr && !ads_name_nil(ename);
  if (haveEntity && (acdbGetObjectId(id, ename) != Acad::eOk || !id.isValid())) return RTERROR;
  if (sname == nullptr || ads_name_nil(sname)) {
    if (result == nullptr) return RTERROR;
    newSet(haveEntity ? std::vector<AcDbObjectId>{id} : std::vector<AcDbObjectId>{}, result);
    return RTNORM;
  }
  std::vector<AcDbObjectId>* set = findSet(sname);
  if (set == nullptr) return RTERROR;
  if (haveEntity && std::find(set->begin(), set->end(), id) == set->end()) set->push_back(id);
  if (result != nullptr && result != sname) ads_name_set(sname, result);
  return RTNORM;
}

int acedSSDel(const ads_name ename, const ads_name ss) {
  std::vector<AcDbObjectId>* set = findSet(ss);
  AcDbObjectId id;
  if (set == nullptr || acdbGetObjectId(id, ename) != Acad::eOk) return RTERROR;
  const auto it = std::find(set->begin(), set->end(), id);
  if (it == set->end()) return RTERROR;
  set->erase(it);
  return RTNORM;
}

int acedSSMemb(const ads_name ename, const ads_name ss) {
  const std::vector<AcDbObjectId>* set = findSet(ss);
  AcDbObjectId id;
  if (set == nullptr || acdbGetObjectId(id, ename) != Acad::eOk) return RTERROR;
  return std::find(set->begin(), set->end(), id) != set->end() ? RTNORM : RTERROR;
}

int acedSSSetFirst(const ads_name pset, const ads_name) {
  SelectionState& s = selection();
  if (pset == nullptr || ads_name_nil(pset)) {
    s.pickFirst.clear();
    return RTNORM;
  }
  const std::vector<AcDbObjectId>* set = findSet(pset);
  if (set == nullptr) return RTERROR;
  s.pickFirst = *set;
  return RTNORM;
}

int acedSSGetFirst(resbuf** gset, resbuf** pset) {
  const std::vector<AcDbObjectId>& first = selection().pickFirst;
  auto make = [&](resbuf** out) {
    if (out == nullptr) return;
    *out = nullptr;
    if (first.empty()) return;
    *out = acutNewRb(RTPICKS);
    newSet(first, (*out)->resval.rlname);
  };
  make(gset);
  make(pset);
  return RTNORM;
}

namespace cadhost_detail {
void forgetSelectedEntities(const AcDbDatabase* db) {
  auto belongs = [db](AcDbObjectId id) { return id.database() == db; };
  SelectionState& s = selection();
  std::erase_if(s.pickFirst, belongs);
  for (auto& [name, members] : s.sets) std::erase_if(members, belongs);
}
}  // namespace cadhost_detail

// ---- Host side --------------------------------------------------------------------------

namespace cadhost {

void setSelectionSource(SelectionSource* source) { selection().source = source; }
SelectionSource* selectionSource() { return selection().source; }
int openSelectionSetCount() { return static_cast<int>(selection().sets.size()); }

void clearPickFirst() { selection().pickFirst.clear(); }

bool isOnShownLayer(const AcDbEntity* entity, bool offCounts) {
  HostReadScope hostReads;
  const auto* layer = entity ? AcDbCore::objectAs<AcDbLayerTableRecord>(entity->layerId()) : nullptr;
  return layer == nullptr || (!layer->isFrozen() && !(offCounts && layer->isOff()));
}

bool parseSelectionAnswer(AcDbDatabase* db, const std::wstring& line, std::vector<AcDbObjectId>& objects,
                          std::wstring& message) {
  HostReadScope hostReads;
  if (db == nullptr) {
    message = L"No drawing is open.";
    return false;
  }
  std::wistringstream in(line);
  std::wstring word;
  in >> word;
  const std::wstring keyword = acdbUpperName(word.c_str());
  auto add = [&](AcDbObjectId id) {
    if (std::find(objects.begin(), objects.end(), id) == objects.end()) objects.push_back(id);
  };
  // As the host does: ALL leaves out what is on frozen layers, a window also what is on layers
  // that are off; only what the drawing shows can be picked by where it is.
  if (keyword == L"ALL") {
    for (AcDbObjectId id : everyEntity(db, true))
      if (isOnShownLayer(AcDbCore::objectAs<AcDbEntity>(id), false)) add(id);
    return true;
  }
  if (keyword == L"L" || keyword == L"LAST") {
    ads_name last;
    AcDbObjectId id;
    if (acdbEntLast(last) != RTNORM || acdbGetObjectId(id, last) != Acad::eOk) {
      message = L"The drawing has no entity.";
      return false;
    }
    add(id);
    return true;
  }
  if (keyword == L"W" || keyword == L"C") {
    double x1, y1, x2, y2;
    wchar_t comma1 = 0, comma2 = 0;
    in >> x1 >> comma1 >> y1 >> x2 >> comma2 >> y2;
    if (!in || comma1 != L',' || comma2 != L',') {
      message = L"A window is given as " + keyword + L" x1,y1 x2,y2.";
      return false;
    }
    const double minX = std::min(x1, x2), maxX = std::max(x1, x2), minY = std::min(y1, y2), maxY = std::max(y1, y2);
    for (AcDbObjectId id : everyEntity(db, true)) {
      const auto* ent = AcDbCore::objectAs<AcDbEntity>(id);
      AcDbExtents box;
      if (ent == nullptr || !isOnShownLayer(ent) || ent->getGeomExtents(box) != Acad::eOk) continue;
      const AcGePoint3d& lo = box.minPoint();
      const AcGePoint3d& hi = box.maxPoint();
      const bool inside = lo.x >= minX && hi.x <= maxX && lo.y >= minY && hi.y <= maxY;
      const bool touches = lo.x <= maxX && hi.x >= minX && lo.y <= maxY && hi.y >= minY;
      if (keyword == L"W" ? inside : touches) add(id);
    }
    return true;
  }
  // Handles, one or more.
  bool any = false;
  for (std::wistringstream handles(line); handles >> word;) {
    const AcDbHandle handle(word.c_str());
    AcDbObjectId id;
    if (handle.isNull() || db->getAcDbObjectId(id, false, handle) != Acad::eOk || !isSelectableEntity(id, db)) {
      message = L"No entity with the handle " + word + L".";
      return false;
    }
    add(id);
    any = true;
  }
  if (!any) message = L"Nothing to select.";
  return any;
}

}  // namespace cadhost
