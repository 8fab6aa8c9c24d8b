// The demonstration drawing; see DemoDrawing.h.
#include "DemoDrawing.h"

#include "../core/coreaccess.h"

namespace cadhost::app {

namespace {

AcDbObjectId addLayer(AcDbDatabase* db, const ACHAR* name, Adesk::UInt16 color) {
  AcDbLayerTable* table = nullptr;
  db->getLayerTable(table, AcDb::kForWrite);
  auto* layer = new AcDbLayerTableRecord;
  layer->setName(name);
  layer->setColorIndex(color);
  AcDbObjectId id;
  table->add(id, layer);
  layer->close();
  table->close();
  return id;
}

void append(AcDbDatabase* db, AcDbEntity* entity, AcDbObjectId layer) {
  entity->setLayer(layer);
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite);
  space->appendAcDbEntity(entity);
  entity->close();
  space->close();
}

void text(AcDbDatabase* db, AcDbObjectId layer, double x, double y, double height, const ACHAR* content) {
  append(db, new AcDbText(AcGePoint3d(x, y, 0), content, AcDbObjectId::kNull, height), layer);
}

void rectangle(AcDbDatabase* db, AcDbObjectId layer, double x0, double y0, double x1, double y1) {
  auto* frame = new AcDbPolyline;
  frame->addVertexAt(0, AcGePoint2d(x0, y0));
  frame->addVertexAt(1, AcGePoint2d(x1, y0));
  frame->addVertexAt(2, AcGePoint2d(x1, y1));
  frame->addVertexAt(3, AcGePoint2d(x0, y1));
  frame->setClosed(true);
  append(db, frame, layer);
}

}  // namespace

AcDbDatabase* buildDemoDrawing() {
  auto* db = new AcDbDatabase(true, true);
  const AcDbObjectId frame = addLayer(db, L"Frame", 8);
  const AcDbObjectId walls = addLayer(db, L"Walls", 7);
  const AcDbObjectId notes = addLayer(db, L"Notes", 2);
  const AcDbObjectId dims = addLayer(db, L"Dims", 3);

  rectangle(db, frame, 0, 0, 420, 297);
  rectangle(db, frame, 250, 0, 420, 50);
  text(db, frame, 255, 35, 5, L"DEMONSTRATION SHEET");
  text(db, frame, 255, 20, 3.5, L"Scale 1:50");
  text(db, frame, 255, 8, 3.5, L"Sheet 1 of 1");

  rectangle(db, walls, 40, 120, 200, 250);
  rectangle(db, walls, 50, 130, 190, 240);
  auto* column = new AcDbCircle(AcGePoint3d(120, 185, 0), AcGeVector3d::kZAxis, 12);
  append(db, column, walls);

  text(db, notes, 230, 230, 4, L"NOTES:");
  text(db, notes, 230, 223, 3, L"1. Check all dimensions on site.");
  text(db, notes, 230, 216, 3, L"2. Do not scale this drawing.");

  auto* general = new AcDbMText;
  general->setLocation(AcGePoint3d(230, 190, 0));
  general->setTextHeight(3);
  general->setWidth(120);
  general->setContents(L"GENERAL:\\PWalls are 250 mm brick.\\PColumn is reinforced concrete.");
  append(db, general, notes);

  append(db, new AcDbRotatedDimension(0, AcGePoint3d(40, 120, 0), AcGePoint3d(200, 120, 0),
                                      AcGePoint3d(120, 105, 0), L""),
         dims);
  auto* radius = new AcDbRadialDimension(AcGePoint3d(120, 185, 0), AcGePoint3d(128.49, 193.49, 0), 10, L"R<>");
  append(db, radius, dims);
  db->setFilename(L"");
  return db;
}

}  // namespace cadhost::app
