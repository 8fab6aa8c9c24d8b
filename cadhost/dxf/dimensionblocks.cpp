// The geometry blocks of dimensions the host made (see dimensionblocks.h).
#include "dimensionblocks.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "../sdk/dbdim.h"

namespace cadhost::dxf {

namespace {

using Segment = std::pair<AcGePoint3d, AcGePoint3d>;

// The lines of a dimension's picture: for a linear one its extension lines and its dimension line
// (between the feet of the extension lines on it); for the others the lines between their points.
std::vector<Segment> linesOf(const AcDbDimension* dim) {
  std::vector<Segment> lines;
  auto add = [&lines](const AcGePoint3d& a, const AcGePoint3d& b) {
    if (a != b) lines.emplace_back(a, b);
  };
  if (const auto* aligned = AcDbAlignedDimension::cast(dim)) {
    const AcGePoint3d p1 = aligned->xLine1Point(), p2 = aligned->xLine2Point(), on = aligned->dimLinePoint();
    AcGeVector3d along = p2 - p1;
    if (const auto* rotated = AcDbRotatedDimension::cast(dim))
      along = AcGeVector3d(std::cos(rotated->rotation()), std::sin(rotated->rotation()), 0);
    along = along.isZeroLength() ? AcGeVector3d(1, 0, 0) : along.normal();
    const AcGePoint3d foot1 = on + along * (p1 - on).dotProduct(along);
    const AcGePoint3d foot2 = on + along * (p2 - on).dotProduct(along);
    add(p1, foot1);
    add(p2, foot2);
    add(foot1, foot2);
  } else if (const auto* twoLines = AcDb2LineAngularDimension::cast(dim)) {
    add(twoLines->xLine1Start(), twoLines->xLine1End());
    add(twoLines->xLine2Start(), twoLines->xLine2End());
  } else if (const auto* threePoints = AcDb3PointAngularDimension::cast(dim)) {
    add(threePoints->centerPoint(), threePoints->xLine1Point());
    add(threePoints->centerPoint(), threePoints->xLine2Point());
  } else if (const auto* radial = AcDbRadialDimension::cast(dim)) {
    add(radial->center(), radial->chordPoint());
  } else if (const auto* diametric = AcDbDiametricDimension::cast(dim)) {
    add(diametric->farChordPoint(), diametric->chordPoint());
  } else if (const auto* ordinate = AcDbOrdinateDimension::cast(dim)) {
    add(ordinate->definingPoint(), ordinate->leaderEndPoint());
  }
  return lines;
}

// An object added to the database, owned by owner; null (the object deleted) if it cannot be.
AcDbObjectId addOwned(AcDbDatabase* db, AcDbObject* obj, AcDbObjectId owner) {
  AcDbObjectId id;
  if (AcDbCore::addToDatabase(db, obj, owner, 0, id) != Acad::eOk) {
    delete obj;
    return AcDbObjectId();
  }
  return id;
}

// An entity of a geometry block: on layer 0, owned by the block.
AcDbObjectId addToBlock(AcDbDatabase* db, AcDbBlockTableRecord* block, AcDbEntity* entity, AcDbObjectId layer) {
  if (!layer.isNull()) AcDbCore::setLayerId(entity, layer);
  const AcDbObjectId id = addOwned(db, entity, block->objectId());
  if (!id.isNull()) AcDbCore::addEntityToBlock(block, id);
  return id;
}

// A block of no name in use: *D1, *D2...
std::wstring freeName(const AcDbBlockTable* table) {
  for (int n = 1;; ++n) {
    const std::wstring name = L"*D" + std::to_wstring(n);
    AcDbObjectId existing;
    if (table->getAt(name.c_str(), existing) != Acad::eOk || existing.isErased()) return name;
  }
}

AcDbObjectId makeBlock(AcDbDatabase* db, AcDbBlockTable* table, const AcDbDimension* dim) {
  auto* block = new AcDbBlockTableRecord;
  block->setName(freeName(table).c_str());
  const AcDbObjectId blockId = addOwned(db, block, table->objectId());
  if (blockId.isNull()) return blockId;
  AcDbCore::addRecordToTable(table, block);
  AcDbObjectId layer;
  if (const auto* layers = AcDbCore::objectAs<AcDbLayerTable>(AcDbCore::imp(db)->layerTable)) layers->getAt(L"0", layer);
  if (layer.isNull()) layer = dim->layerId();
  for (const auto& [start, end] : linesOf(dim)) addToBlock(db, block, new AcDbLine(start, end), layer);
  const AcString text = dim->formattedText();
  if (*text.kwszPtr() != 0) {
    auto* label = new AcDbText(dim->textPosition(), text.kwszPtr(), dim->dimtxsty(), dim->dimtxt(), dim->textRotation());
    addToBlock(db, block, label, layer);
  }
  return blockId;
}

void erase(AcDbObjectId blockId) {
  auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
  if (block == nullptr) return;
  for (AcDbObjectId id : AcDbCore::entities(block))
    if (id.stub() != nullptr) id.stub()->erased = true;
  blockId.stub()->erased = true;
}

}  // namespace

void updateDimensionBlocks(AcDbDatabase* db, FileRecord& file) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  auto* table = AcDbCore::objectAs<AcDbBlockTable>(imp->blockTable);
  if (table == nullptr) return;
  // (The dimensions first: making blocks adds stubs.)
  std::vector<AcDbStub*> dimensions;
  for (auto& stub : imp->stubs) {
    // (Cheap looks first: nearly every object came from the file.)
    const AcDbObject* obj = stub.loaded();
    if (obj == nullptr || stub.madeFromFile() || !obj->isNewObject()) continue;
    const auto* dim = AcDbDimension::cast(obj);
    if (dim == nullptr || objectRecord(dim) != nullptr) continue;
    // (one given a block of its own by whoever made it keeps that)
    if (file.dimensionBlocks.count(&stub) != 0 || dim->dimBlockId().isNull()) dimensions.push_back(&stub);
  }
  for (AcDbStub* stub : dimensions) {
    auto* dim = AcDbDimension::cast(stub->loaded());
    const auto made = file.dimensionBlocks.find(stub);
    const bool hasBlock = made != file.dimensionBlocks.end();
    if (stub->erased) {
      if (hasBlock) erase(made->second.first);
      continue;
    }
    if (hasBlock && made->second.second == AcDbCore::revision(dim) && !made->second.first.isErased()) continue;
    if (hasBlock) erase(made->second.first);
    const AcDbObjectId block = makeBlock(db, table, dim);
    if (block.isNull()) continue;
    AcDbCore::beginWrite(dim);
    dim->setDimBlockId(block);
    dim->close();
    file.dimensionBlocks[stub] = {block, AcDbCore::revision(dim)};
  }
}

}  // namespace cadhost::dxf
