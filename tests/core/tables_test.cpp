// Symbol tables: the default drawing's records, adding and finding records by name, names the
// host refuses, erased records, renaming, and the typed iterators.
#include "drawing_fixture.h"

namespace {

using SymbolTableTest = DrawingTest;

std::vector<std::wstring> layerNames(AcDbDatabase* db, bool skipDeleted, bool forward = true) {
  std::vector<std::wstring> names;
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db->getLayerTable(table, AcDb::kForRead), Acad::eOk);
  AcDbLayerTableIterator* it = nullptr;
  EXPECT_EQ(table->newIterator(it, forward, skipDeleted), Acad::eOk);
  for (; !it->done(); it->step(forward, skipDeleted)) {
    AcDbLayerTableRecord* layer = nullptr;
    EXPECT_EQ(it->getRecord(layer, AcDb::kForRead, true), Acad::eOk);
    AcString name;
    layer->getName(name);
    names.push_back(name.str());
    layer->close();
  }
  delete it;
  table->close();
  return names;
}

TEST_F(SymbolTableTest, DefaultDrawingHasTheStandardRecords) {
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks), Acad::eOk);
  AcDbObjectId model, paper;
  EXPECT_EQ(blocks->getAt(ACDB_MODEL_SPACE, model), Acad::eOk);
  EXPECT_EQ(blocks->getAt(ACDB_PAPER_SPACE, paper), Acad::eOk);
  EXPECT_EQ(model, db->modelSpaceId());
  EXPECT_EQ(db->currentSpaceId(), model);
  blocks->close();

  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db->getLayerTable(layers), Acad::eOk);
  AcDbObjectId zero;
  EXPECT_EQ(layers->getAt(L"0", zero), Acad::eOk);
  EXPECT_EQ(db->clayer(), zero);
  layers->close();

  AcDbTextStyleTable* styles = nullptr;
  ASSERT_EQ(db->getTextStyleTable(styles), Acad::eOk);
  EXPECT_TRUE(styles->has(L"Standard"));
  styles->close();

  AcDbDimStyleTableRecord* dimStyle = nullptr;
  ASSERT_EQ(acdbOpenObject(dimStyle, db->dimstyle(), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(dimStyle->dimtxsty(), db->textstyle()) << "the standard dimension style writes in the standard text style";
  dimStyle->close();
}

TEST_F(SymbolTableTest, RecordsAreFoundByNameWhateverTheLetterCase) {
  const AcDbObjectId walls = addLayer(L"Walls");
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  for (const wchar_t* spelling : {L"Walls", L"WALLS", L"walls", L"wAlLs"}) {
    AcDbObjectId found;
    EXPECT_EQ(table->getAt(spelling, found), Acad::eOk) << spelling;
    EXPECT_EQ(found, walls);
    EXPECT_TRUE(table->has(spelling));
  }
  EXPECT_TRUE(table->has(walls));
  EXPECT_FALSE(table->has(L"Wall"));
  AcDbObjectId missing;
  EXPECT_EQ(table->getAt(L"Doors", missing), Acad::eKeyNotFound);
  EXPECT_TRUE(missing.isNull());
  EXPECT_EQ(table->getAt(nullptr, missing), Acad::eInvalidInput);

  AcDbLayerTableRecord* layer = nullptr;
  ASSERT_EQ(table->getAt(L"WALLS", layer, AcDb::kForRead), Acad::eOk);
  const ACHAR* name = nullptr;
  layer->getName(name);
  EXPECT_STREQ(name, L"Walls") << "the record keeps the name as given";
  layer->close();
  table->close();
}

TEST_F(SymbolTableTest, LetterCaseIsIgnoredBeyondAscii) {
  const AcDbObjectId walls = addLayer(L"Стены");
  const AcDbObjectId roads = addLayer(L"Straße Ærø Ωμέγα");
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  AcDbObjectId found;
  EXPECT_EQ(table->getAt(L"СТЕНЫ", found), Acad::eOk);
  EXPECT_EQ(found, walls);
  EXPECT_EQ(table->getAt(L"стены", found), Acad::eOk);
  EXPECT_EQ(table->getAt(L"STRASSE ÆRØ ΩΜΈΓΑ", found), Acad::eKeyNotFound) << "ß is no pair of letters";
  EXPECT_EQ(table->getAt(L"STRAßE ÆRØ ΩΜΈΓΑ", found), Acad::eOk);
  EXPECT_EQ(found, roads);
  table->close();

  AcDbLayerTable* writable = nullptr;
  ASSERT_EQ(db->getLayerTable(writable, AcDb::kForWrite), Acad::eOk);
  auto* duplicate = new AcDbLayerTableRecord;
  duplicate->setName(L"СТЕНЫ");
  EXPECT_EQ(writable->add(duplicate), Acad::eDuplicateKey);
  writable->close();
  delete duplicate;
}

TEST_F(SymbolTableTest, AddingNeedsATableOpenForWriteAndAFreeValidName) {
  addLayer(L"Walls");
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table, AcDb::kForRead), Acad::eOk);
  auto* layer = new AcDbLayerTableRecord;
  ASSERT_EQ(layer->setName(L"Doors"), Acad::eOk);
  EXPECT_EQ(table->add(layer), Acad::eNotOpenForWrite);
  EXPECT_FALSE(layer->isDatabaseResident());
  table->close();

  ASSERT_EQ(db->getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  auto* duplicate = new AcDbLayerTableRecord;
  ASSERT_EQ(duplicate->setName(L"WALLS"), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, duplicate), Acad::eDuplicateKey);
  EXPECT_TRUE(id.isNull());
  auto* unnamed = new AcDbLayerTableRecord;
  EXPECT_EQ(table->add(unnamed), Acad::eInvalidInput);
  auto* style = new AcDbTextStyleTableRecord;
  style->setName(L"Mono");
  EXPECT_EQ(table->add(style), Acad::eWrongObjectType) << "a text style is no layer";
  EXPECT_EQ(table->numRecords(), 2);
  table->close();
  delete layer;
  delete duplicate;
  delete unnamed;
  delete style;
}

TEST_F(SymbolTableTest, NamesTheHostForbidsAreRefusedAndTheNameKept) {
  AcDbLayerTableRecord layer;
  ASSERT_EQ(layer.setName(L"Keep"), Acad::eOk);
  const std::wstring longest(255, L'N');
  const std::wstring tooLong(256, L'N');
  for (const std::wstring& bad : {std::wstring(), std::wstring(L"   "), tooLong, std::wstring(L"a<b"),
                                  std::wstring(L"a>b"), std::wstring(L"a/b"), std::wstring(L"a\\b"),
                                  std::wstring(L"a\"b"), std::wstring(L"a:b"), std::wstring(L"a;b"),
                                  std::wstring(L"a?b"), std::wstring(L"a*b"), std::wstring(L"a,b"),
                                  std::wstring(L"a=b"), std::wstring(L"a`b"), std::wstring(L"tab\there")}) {
    EXPECT_EQ(layer.setName(bad.c_str()), Acad::eInvalidInput) << "name of " << bad.size() << " characters";
    AcString name;
    layer.getName(name);
    EXPECT_EQ(name.str(), L"Keep");
  }
  EXPECT_EQ(layer.setName(nullptr), Acad::eInvalidInput);
  EXPECT_EQ(layer.setName(longest.c_str()), Acad::eOk);
  EXPECT_EQ(layer.setName(L"Ground floor - Plan (2)"), Acad::eOk);
  EXPECT_EQ(layer.setName(L"Стены"), Acad::eOk) << "names are not limited to ASCII";

  const AcDbObjectId id = addLayer(longest.c_str());
  EXPECT_FALSE(id.isNull());
}

TEST_F(SymbolTableTest, ErasedRecordsAreSkippedUnlessAskedFor) {
  const AcDbObjectId walls = addLayer(L"Walls");
  addLayer(L"Doors");
  eraseObject(walls);

  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  AcDbObjectId found;
  EXPECT_EQ(table->getAt(L"Walls", found), Acad::eKeyNotFound);
  EXPECT_FALSE(table->has(L"Walls"));
  EXPECT_FALSE(table->has(walls));
  EXPECT_EQ(table->getAt(L"Walls", found, true), Acad::eOk);
  EXPECT_EQ(found, walls);
  AcDbLayerTableRecord* record = nullptr;
  EXPECT_EQ(table->getAt(L"Walls", record, AcDb::kForRead), Acad::eKeyNotFound);
  ASSERT_EQ(table->getAt(L"Walls", record, AcDb::kForRead, true), Acad::eOk);
  EXPECT_TRUE(record->isErased());
  record->close();
  EXPECT_EQ(table->numRecords(), 2);
  EXPECT_EQ(table->numRecords(true), 3);
  table->close();

  EXPECT_EQ(layerNames(db, true), (std::vector<std::wstring>{L"0", L"Doors"}));
  EXPECT_EQ(layerNames(db, false), (std::vector<std::wstring>{L"0", L"Walls", L"Doors"}));
  EXPECT_EQ(layerNames(db, true, false), (std::vector<std::wstring>{L"Doors", L"0"}));

  // The name of an erased record is free again, and the erased record cannot come back under it.
  const AcDbObjectId newWalls = addLayer(L"WALLS");
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  EXPECT_EQ(table->getAt(L"walls", found), Acad::eOk);
  EXPECT_EQ(found, newWalls);
  table->close();
  ASSERT_EQ(acdbOpenObject(record, walls, AcDb::kForWrite, true), Acad::eOk);
  EXPECT_EQ(record->erase(false), Acad::eDuplicateKey);
  record->close();
  EXPECT_TRUE(walls.isErased());
  // Once the name is free again, it can.
  eraseObject(newWalls);
  ASSERT_EQ(acdbOpenObject(record, walls, AcDb::kForWrite, true), Acad::eOk);
  EXPECT_EQ(record->erase(false), Acad::eOk);
  record->close();
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  EXPECT_EQ(table->getAt(L"Walls", found), Acad::eOk);
  EXPECT_EQ(found, walls);
  table->close();
}

TEST_F(SymbolTableTest, WhatADrawingCannotDoWithoutCannotBeErased) {
  const AcDbObjectId current = addLayer(L"Current");
  ASSERT_EQ(db->setClayer(current), Acad::eOk);
  AcDbObjectId zero;
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db->getLayerTable(layers), Acad::eOk);
  layers->getAt(L"0", zero);
  layers->close();
  const AcDbObjectId ids[] = {zero, current, db->textstyle(), db->dimstyle(), db->modelSpaceId(), paperSpaceId(),
                              db->layerTableId()};
  for (AcDbObjectId id : ids) {
    AcDbObject* object = nullptr;
    ASSERT_EQ(acdbOpenObject(object, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(object->erase(), Acad::eCannotBeErasedByCaller);
    object->close();
    EXPECT_FALSE(id.isErased());
  }
  // Once another layer is current, the former one can go.
  ASSERT_EQ(db->setClayer(zero), Acad::eOk);
  eraseObject(current);
  EXPECT_TRUE(current.isErased());
}

TEST_F(SymbolTableTest, RenamingKeepsNamesUnique) {
  const AcDbObjectId walls = addLayer(L"Walls");
  addLayer(L"Doors");
  change<AcDbLayerTableRecord>(walls, [](AcDbLayerTableRecord* layer) {
    EXPECT_EQ(layer->setName(L"doors"), Acad::eDuplicateKey);
    EXPECT_EQ(layer->setName(L"WALLS"), Acad::eOk) << "a new letter case of its own name";
    EXPECT_EQ(layer->setName(L"Partitions"), Acad::eOk);
  });
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  AcDbObjectId found;
  EXPECT_EQ(table->getAt(L"Walls", found), Acad::eKeyNotFound);
  EXPECT_EQ(table->getAt(L"PARTITIONS", found), Acad::eOk);
  EXPECT_EQ(found, walls);
  EXPECT_EQ(table->getAt(L"Doors", found), Acad::eOk);
  table->close();

  AcDbLayerTableRecord* layer = nullptr;
  ASSERT_EQ(acdbOpenObject(layer, walls, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(layer->setName(L"Other"), Acad::eNotOpenForWrite);
  EXPECT_FAULTS(L"AcDbLayerTableRecord::setName: write to an object open only for read");
  layer->close();
}

TEST_F(SymbolTableTest, IteratorsSeeTheTableAsItWasWhenStartedAndSeek) {
  addLayer(L"A");
  const AcDbObjectId b = addLayer(L"B");
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db->getLayerTable(table), Acad::eOk);
  AcDbLayerTableIterator* it = nullptr;
  table->newIterator(it);
  table->close();
  addLayer(L"C");
  int count = 0;
  for (; !it->done(); it->step()) ++count;
  EXPECT_EQ(count, 3) << "0, A and B";
  EXPECT_EQ(it->seek(b), Acad::eOk);
  AcDbLayerTableRecord* record = nullptr;
  ASSERT_EQ(it->getRecord(record), Acad::eOk);
  EXPECT_EQ(record->objectId(), b);
  record->close();
  EXPECT_EQ(it->seek(db->modelSpaceId()), Acad::eKeyNotFound);
  it->start();
  AcDbObjectId first;
  it->getRecordId(first);
  EXPECT_EQ(first, db->clayer());
  delete it;
}

TEST_F(SymbolTableTest, TypedIteratorsOpenTheirOwnRecords) {
  addTextStyle(L"Mono");
  AcDbTextStyleTable* styles = nullptr;
  ASSERT_EQ(db->getTextStyleTable(styles), Acad::eOk);
  AcDbTextStyleTableIterator* it = nullptr;
  styles->newIterator(it);
  std::vector<std::wstring> fonts;
  for (; !it->done(); it->step()) {
    AcDbTextStyleTableRecord* style = nullptr;
    ASSERT_EQ(it->getRecord(style), Acad::eOk);
    const ACHAR* font = nullptr;
    style->fileName(font);
    fonts.push_back(font);
    style->close();
  }
  delete it;
  styles->close();
  EXPECT_EQ(fonts.size(), 2u);

  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks), Acad::eOk);
  AcDbBlockTableIterator* blockIt = nullptr;
  blocks->newIterator(blockIt);
  int layouts = 0;
  for (; !blockIt->done(); blockIt->step()) {
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(blockIt->getRecord(block), Acad::eOk);
    if (block->isLayout()) ++layouts;
    EXPECT_FALSE(block->isAnonymous());
    block->close();
  }
  delete blockIt;
  blocks->close();
  EXPECT_EQ(layouts, 2);
}

TEST_F(SymbolTableTest, BlockDefinitionsHoldEntitiesThatReferencesShow) {
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForWrite), Acad::eOk);
  auto* block = new AcDbBlockTableRecord;
  ASSERT_EQ(block->setName(L"Door"), Acad::eOk);
  AcDbObjectId blockId;
  ASSERT_EQ(blocks->add(blockId, block), Acad::eOk);
  blocks->close();
  EXPECT_FALSE(block->isLayout());
  EXPECT_STREQ(block->layoutName(), L"");
  block->close();
  append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 1, 0)), blockId);

  const AcDbObjectId ref = append(new AcDbBlockReference(AcGePoint3d(10, 10, 0), blockId));
  inspect<AcDbBlockReference>(ref, [](AcDbBlockReference* r) {
    AcDbExtents box;
    ASSERT_EQ(r->getGeomExtents(box), Acad::eOk);
    EXPECT_POINT_NEAR(box.minPoint(), AcGePoint3d(10, 10, 0));
    EXPECT_POINT_NEAR(box.maxPoint(), AcGePoint3d(12, 11, 0));
  });
  EXPECT_EQ(db->setCurrentSpace(blockId), Acad::eNotApplicable) << "a block definition is no layout";
  EXPECT_EQ(db->setCurrentSpace(paperSpaceId()), Acad::eOk);
}

TEST_F(SymbolTableTest, NestedBlocksMeasureThroughEachLevelAndStopAtACycle) {
  auto defineBlock = [&](const wchar_t* name) {
    AcDbBlockTable* blocks = nullptr;
    EXPECT_EQ(db->getBlockTable(blocks, AcDb::kForWrite), Acad::eOk);
    auto* block = new AcDbBlockTableRecord;
    block->setName(name);
    AcDbObjectId id;
    EXPECT_EQ(blocks->add(id, block), Acad::eOk);
    blocks->close();
    block->close();
    return id;
  };
  const AcDbObjectId inner = defineBlock(L"Inner");
  append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)), inner);
  const AcDbObjectId outer = defineBlock(L"Outer");
  append(new AcDbBlockReference(AcGePoint3d(5, 0, 0), inner), outer);
  // A damaged drawing: a block that holds a reference to itself, and two that hold each other.
  append(new AcDbBlockReference(AcGePoint3d(1, 1, 0), inner), inner);
  const AcDbObjectId ping = defineBlock(L"Ping");
  const AcDbObjectId pong = defineBlock(L"Pong");
  append(new AcDbBlockReference(AcGePoint3d(), pong), ping);
  append(new AcDbBlockReference(AcGePoint3d(), ping), pong);

  const AcDbObjectId outerRef = append(new AcDbBlockReference(AcGePoint3d(0, 10, 0), outer));
  inspect<AcDbBlockReference>(outerRef, [](AcDbBlockReference* r) {
    AcDbExtents box;
    ASSERT_EQ(r->getGeomExtents(box), Acad::eOk);
    EXPECT_POINT_NEAR(box.minPoint(), AcGePoint3d(5, 10, 0));
    EXPECT_POINT_NEAR(box.maxPoint(), AcGePoint3d(6, 11, 0)) << "the line, once; the reference back adds nothing";
  });
  const AcDbObjectId pingRef = append(new AcDbBlockReference(AcGePoint3d(), ping));
  inspect<AcDbBlockReference>(pingRef, [](AcDbBlockReference* r) {
    AcDbExtents box;
    EXPECT_EQ(r->getGeomExtents(box), Acad::eInvalidExtents) << "nothing but references to each other";
  });
  std::vector<AcDbObjectId> inWindow;
  std::wstring message;
  EXPECT_TRUE(cadhost::parseSelectionAnswer(db, L"W 0,0 10,20", inWindow, message));
  EXPECT_EQ(inWindow, std::vector<AcDbObjectId>{outerRef});
}

TEST_F(SymbolTableTest, DrawingSettingsRefuseWhatTheyCannotHold) {
  EXPECT_EQ(db->setLunits(0), Acad::eInvalidInput);
  EXPECT_EQ(db->setLunits(6), Acad::eInvalidInput);
  EXPECT_EQ(db->setLuprec(9), Acad::eInvalidInput);
  EXPECT_EQ(db->setLuprec(-1), Acad::eInvalidInput);
  EXPECT_EQ(db->setInsunits(static_cast<AcDb::UnitsValue>(AcDb::kUnitsMax + 1)), Acad::eInvalidInput);
  EXPECT_EQ(db->setInsunits(AcDb::kUnitsUSSurveyFeet), Acad::eOk);
  EXPECT_EQ(db->lunits(), 2);
  EXPECT_EQ(db->luprec(), 4);
  EXPECT_EQ(db->setTextsize(0), Acad::eInvalidInput);
  EXPECT_EQ(db->setClayer(db->textstyle()), Acad::eInvalidInput) << "a text style is no layer";
  const AcDbObjectId gone = addLayer(L"Gone");
  eraseObject(gone);
  EXPECT_EQ(db->setClayer(gone), Acad::eInvalidInput);
  const AcDbHandle seed = db->handseed();
  EXPECT_EQ(db->setHandseed(AcDbHandle(1)), Acad::eInvalidInput) << "the seed never goes below a handle in use";
  EXPECT_EQ(db->handseed(), seed);
}

}  // namespace
