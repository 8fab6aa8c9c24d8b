// The geometry blocks of dimensions the host made (see dimensionblocks.h).
#include "dimensionblocks.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "../sdk/acdocman.h"
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

// A block of no name in use: *D1, *D2...
std::wstring freeName(const AcDbBlockTable* table) {
  for (int n = 1;; ++n) {
    const std::wstring name = L"*D" + std::to_wstring(n);
    AcDbObjectId existing;
    if (table->getAt(name.c_str(), existing) != Acad::eOk || existing.isErased()) return name;
  }
}

std::wstring handleText(const AcDbObjectId& id) {
  ACHAR handle[20];
  id.handle().getIntoAsciiBuffer(handle, 20);
  return handle;
}

// The geometry block of dim (open for write), made as any writer of the drawing makes a block: the
// block table opened for write, each part appended and closed. Null when the table cannot be
// opened (a caller holds it open), with status saying why.
AcDbObjectId makeBlock(AcDbDatabase* db, const AcDbDimension* dim, Acad::ErrorStatus& status) {
  AcDbBlockTable* table = nullptr;
  if ((status = acdbOpenObject(table, AcDbCore::imp(db)->blockTable, AcDb::kForWrite)) != Acad::eOk) return AcDbObjectId();
  auto* block = new AcDbBlockTableRecord;
  block->setName(freeName(table).c_str());
  AcDbObjectId blockId;
  status = table->add(blockId, block);
  table->close();
  if (status != Acad::eOk) {
    delete block;
    return AcDbObjectId();
  }
  AcDbObjectId layer;
  AcDbLayerTable* layers = nullptr;
  if (acdbOpenObject(layers, AcDbCore::imp(db)->layerTable, AcDb::kForRead) == Acad::eOk) {
    layers->getAt(L"0", layer);
    layers->close();
  }
  if (layer.isNull()) layer = dim->layerId();
  auto append = [&](AcDbEntity* part) {
    part->setLayer(layer);
    if (block->appendAcDbEntity(part) == Acad::eOk) part->close();
    else delete part;
  };
  for (const auto& [start, end] : linesOf(dim)) append(new AcDbLine(start, end));
  const AcString text = dim->formattedText();
  if (*text.kwszPtr() != 0)
    append(new AcDbText(dim->textPosition(), text.kwszPtr(), dim->dimtxsty(), dim->dimtxt(), dim->textRotation()));
  block->close();
  return blockId;
}

// A geometry block the host made before, erased with its parts. (A part that cannot be opened
// leaves the file with its block all the same.)
void eraseBlock(AcDbObjectId blockId) {
  AcDbBlockTableRecord* block = nullptr;
  if (acdbOpenObject(block, blockId, AcDb::kForWrite) != Acad::eOk) return;
  for (AcDbObjectId id : AcDbCore::entities(block)) {
    AcDbEntity* part = nullptr;
    if (acdbOpenObject(part, id, AcDb::kForWrite) != Acad::eOk) continue;
    part->erase();
    part->close();
  }
  block->erase();
  block->close();
}

}  // namespace

void updateDimensionBlocks(AcDbDatabase* db, FileRecord& file, const std::function<void(std::wstring)>& warn) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  if (AcDbCore::objectAs<AcDbBlockTable>(imp->blockTable) == nullptr) return;
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
  if (dimensions.empty()) return;
  // The save changes the drawing here as any writer does: under the document's lock (a drawing of
  // no document needs none), with each object opened for write.
  const AcAxDocLock lock(db);
  for (AcDbStub* stub : dimensions) {
    const auto made = file.dimensionBlocks.find(stub);
    const bool hasBlock = made != file.dimensionBlocks.end();
    if (stub->erased) {
      if (hasBlock) eraseBlock(made->second.first);
      continue;
    }
    const AcDbObjectId id(stub);
    if (hasBlock && made->second.second == AcDbCore::revision(stub->loaded()) && !made->second.first.isErased()) continue;
    AcDbDimension* dim = nullptr;
    Acad::ErrorStatus status = acdbOpenObject(dim, id, AcDb::kForWrite);
    AcDbObjectId block;
    if (status == Acad::eOk) {
      if (hasBlock) eraseBlock(made->second.first);
      block = makeBlock(db, dim, status);
      if (!block.isNull()) dim->setDimBlockId(block);
      dim->close();
    }
    if (block.isNull()) {
      warn(L"the picture of the dimension " + handleText(id) + L" could not be made (" + acadErrorStatusText(status) +
           L"); other programs may not show the dimension");
      continue;
    }
    file.dimensionBlocks[stub] = {block, AcDbCore::revision(dim)};
  }
}

}  // namespace cadhost::dxf
