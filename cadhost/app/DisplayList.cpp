// The drawing view's display list; see DisplayList.h.
#include "DisplayList.h"

#include <algorithm>
#include <unordered_set>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"
#include "EntityDrawing.h"
#include "RecordedEntities.h"

namespace cadhost::app {

void DisplayList::clear() {
  mDb = nullptr;
  mSpace = mLayerZero = AcDbObjectId();
  mItems.clear();
  mIndex.clear();
  mParts.clear();
  mPaints.clear();
  mPaintIndex.clear();
  mGrid.reset(Box2(), 0);
}

uint16_t DisplayList::paintIndex(const Paint& paint) {
  const auto it = mPaintIndex.find(paint);
  if (it != mPaintIndex.end()) return it->second;
  if (mPaints.size() >= 0xFFFF) return 0;  // (a drawing of that many colours and layers shares the first)
  mPaints.push_back(paint);
  const auto index = static_cast<uint16_t>(mPaints.size() - 1);
  mPaintIndex.emplace(paint, index);
  return index;
}

const DisplayItem* DisplayList::find(AcDbObjectId id) const {
  const auto it = mIndex.find(id.stub());
  return it == mIndex.end() ? nullptr : &mItems[it->second];
}

void DisplayList::makeItem(DisplayItem& item) {
  const auto* entity = AcDbCore::objectAs<AcDbEntity>(item.id);
  item.live = entity != nullptr && !item.id.isErased() && entity->ownerId() == mSpace && !isPartRecord(entity);
  if (!item.live) {
    item.points.clear();
    item.primitives.clear();
    item.texts.clear();
    item.bounds = Box2();
    return;
  }
  EntityDrawing drawing(mFonts, *this, mParts);
  drawing.draw(entity, item);
}

void DisplayList::build(AcDbDatabase* db) {
  clear();
  mDb = db;
  if (db == nullptr) return;
  cadhost::HostReadScope hostReads;  // the view reads its own drawing
  mSpace = db->currentSpaceId();
  if (const auto* layers = AcDbCore::objectAs<AcDbLayerTable>(db->layerTableId()))
    mLayerZero = AcDbCore::findRecord(layers, L"0");
  // The parts that follow entities in the file: they are made as the file is read, never left in it.
  for (const AcDbStub& stub : AcDbCore::imp(db)->stubs) {
    const auto* part = AcDbEntity::cast(stub.loaded());
    if (part != nullptr && !stub.erased && isPartRecord(part)) mParts[part->ownerId().stub()].push_back(AcDbObjectId(const_cast<AcDbStub*>(&stub)));
  }
  const auto* space = AcDbCore::objectAs<AcDbBlockTableRecord>(mSpace);
  if (space == nullptr) return;
  const std::vector<AcDbObjectId>& entities = AcDbCore::entities(space);
  mItems.reserve(entities.size());
  Box2 all;
  for (size_t k = 0; k < entities.size(); ++k) {
    if (entities[k].isErased()) continue;
    DisplayItem item;
    item.id = entities[k];
    item.order = k;
    makeItem(item);
    if (!item.live) continue;
    all.add(item.bounds);
    mIndex.emplace(item.id.stub(), static_cast<uint32_t>(mItems.size()));
    mItems.push_back(std::move(item));
  }
  mGrid.reset(all, mItems.size());
  for (uint32_t i = 0; i < mItems.size(); ++i) mGrid.insert(i, mItems[i].bounds);
}

uint64_t DisplayList::orderOf(AcDbObjectId id) {
  // A new entity is at the end of its block's list; one that came back keeps its place.
  const auto* space = AcDbCore::objectAs<AcDbBlockTableRecord>(mSpace);
  if (space == nullptr) return mItems.size();
  const std::vector<AcDbObjectId>& entities = AcDbCore::entities(space);
  for (size_t k = entities.size(); k-- > 0;)
    if (entities[k] == id) return k;
  return entities.size();
}

void DisplayList::update(const std::vector<AcDbObjectId>& ids, std::vector<Box2>& changed) {
  if (mDb == nullptr) return;
  cadhost::HostReadScope hostReads;
  std::unordered_set<AcDbStub*> done;
  for (AcDbObjectId id : ids) {
    if (id.isNull() || id.database() != mDb || !done.insert(id.stub()).second) continue;
    const auto it = mIndex.find(id.stub());
    if (it != mIndex.end()) {
      DisplayItem& item = mItems[it->second];
      if (item.live) {
        changed.push_back(item.bounds);
        mGrid.remove(it->second, item.bounds);
      }
      makeItem(item);
      if (item.live) {
        changed.push_back(item.bounds);
        mGrid.insert(it->second, item.bounds);
      }
      continue;
    }
    DisplayItem item;
    item.id = id;
    makeItem(item);
    if (!item.live) continue;
    item.order = orderOf(id);
    const auto index = static_cast<uint32_t>(mItems.size());
    mIndex.emplace(id.stub(), index);
    changed.push_back(item.bounds);
    mGrid.insert(index, item.bounds);
    mItems.push_back(std::move(item));
  }
}

void DisplayList::query(const Box2& box, std::vector<uint32_t>& out) {
  out.clear();
  mGrid.query(box, out);
  std::erase_if(out, [&](uint32_t i) { return !mItems[i].live || !mItems[i].bounds.intersects(box); });
  std::sort(out.begin(), out.end(), [&](uint32_t a, uint32_t b) { return mItems[a].order < mItems[b].order; });
}

}  // namespace cadhost::app
