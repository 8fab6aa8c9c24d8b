// Database objects: the open/close protocol and its statuses, erasing, handles, cloning and
// appending entities to model space, paper space and blocks.
#include "drawing_fixture.h"

#include <cmath>
#include <deque>

#include "../../cadhost/core/coreaccess.h"

namespace {

using ObjectOpenTest = DrawingTest;

TEST_F(ObjectOpenTest, SeveralReadersOrOneWriter) {
  const AcDbObjectId id = addText(L"Note");
  AcDbText* reader1 = nullptr;
  AcDbText* reader2 = nullptr;
  ASSERT_EQ(acdbOpenObject(reader1, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(reader2, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(reader1, reader2);
  EXPECT_TRUE(reader1->isReadEnabled());
  EXPECT_FALSE(reader1->isWriteEnabled());

  AcDbText* writer = nullptr;
  EXPECT_EQ(acdbOpenObject(writer, id, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(writer, nullptr);
  EXPECT_EQ(reader1->close(), Acad::eOk);
  EXPECT_EQ(acdbOpenObject(writer, id, AcDb::kForWrite), Acad::eWasOpenForRead) << "one reader is still there";
  EXPECT_EQ(reader2->close(), Acad::eOk);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);

  ASSERT_EQ(acdbOpenObject(writer, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_TRUE(writer->isWriteEnabled());
  AcDbText* another = nullptr;
  EXPECT_EQ(acdbOpenObject(another, id, AcDb::kForRead), Acad::eWasOpenForWrite);
  EXPECT_EQ(acdbOpenObject(another, id, AcDb::kForWrite), Acad::eWasOpenForWrite);
  EXPECT_EQ(another, nullptr);
  EXPECT_EQ(cadhost::openObjectCount(db), 1);
  EXPECT_EQ(writer->close(), Acad::eOk);
  EXPECT_EQ(writer->close(), Acad::eNotOpenForRead) << "a second close has nothing to end";
  EXPECT_FAULTS(L"AcDbText::close: close of an object that is not open");
}

TEST_F(ObjectOpenTest, NullIdsAndClassChecksOpenNothing) {
  const AcDbObjectId textId = addText(L"Note");
  AcDbObject* object = reinterpret_cast<AcDbObject*>(0x1);
  EXPECT_EQ(acdbOpenObject(object, AcDbObjectId::kNull, AcDb::kForRead, false, nullptr), Acad::eNullObjectId);
  EXPECT_EQ(object, nullptr);

  AcDbCircle* circle = reinterpret_cast<AcDbCircle*>(0x1);
  EXPECT_EQ(acdbOpenObject(circle, textId, AcDb::kForWrite), Acad::eNotThatKindOfClass);
  EXPECT_EQ(circle, nullptr);
  EXPECT_EQ(acdbOpenObject(circle, textId, AcDb::kForRead), Acad::eNotThatKindOfClass);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);

  // A base class of the object's class is its kind.
  AcDbEntity* entity = nullptr;
  ASSERT_EQ(acdbOpenObject(entity, textId, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(entity->typeName(), L"TEXT");
  entity->close();

  AcDbEntity* notAnEntity = nullptr;
  EXPECT_EQ(acdbOpenAcDbEntity(notAnEntity, db->layerTableId(), AcDb::kForRead), Acad::eNotThatKindOfClass);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
}

TEST_F(ObjectOpenTest, ErasedObjectsOpenOnlyWhenAskedFor) {
  const AcDbObjectId id = addText(L"Gone");
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(text->erase(), Acad::eNotOpenForWrite);
  text->close();
  EXPECT_FALSE(id.isErased());
  EXPECT_FAULTS(L"AcDbText::erase: write to an object open only for read");

  eraseObject(id);
  EXPECT_TRUE(id.isErased());
  EXPECT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eWasErased);
  EXPECT_EQ(acdbOpenObject(text, id, AcDb::kForWrite), Acad::eWasErased);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);

  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForWrite, true), Acad::eOk);
  EXPECT_TRUE(text->isErased());
  EXPECT_EQ(text->erase(true), Acad::eWasErased);
  EXPECT_EQ(text->erase(false), Acad::eOk);
  EXPECT_EQ(text->erase(false), Acad::eWasNotErased);
  text->close();

  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
  EXPECT_FALSE(text->isErased());
  EXPECT_STREQ(text->textStringConst(), L"Gone") << "an erased object keeps what it held";
  text->close();
}

TEST_F(ObjectOpenTest, EntityOnLockedLayerCanBeReadButNotWritten) {
  const AcDbObjectId layer = addLayer(L"Frozen notes");
  auto* text = new AcDbText(AcGePoint3d(), L"Locked");
  ASSERT_EQ(text->setLayer(layer), Acad::eOk);
  const AcDbObjectId id = append(text);
  setLayerLocked(layer, true);

  AcDbText* opened = nullptr;
  EXPECT_EQ(acdbOpenObject(opened, id, AcDb::kForWrite), Acad::eOnLockedLayer);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);

  ASSERT_EQ(acdbOpenObject(opened, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(opened->upgradeOpen(), Acad::eOnLockedLayer);
  EXPECT_TRUE(opened->isReadEnabled()) << "a refused upgrade leaves the read open";
  EXPECT_EQ(opened->close(), Acad::eOk);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);

  setLayerLocked(layer, false);
  change<AcDbText>(id, [](AcDbText* t) { EXPECT_EQ(t->setTextString(L"Unlocked"), Acad::eOk); });
  EXPECT_EQ(textOf(id), L"Unlocked");
}

TEST_F(ObjectOpenTest, TheDrawingCountsItsChangesButNotItsReads) {
  const AcDbObjectId text = addText(L"counted");
  Adesk::UInt64 count = cadhost::drawingChangeCount(db);
  AcDbText* open = nullptr;
  ASSERT_EQ(acdbOpenObject(open, text, AcDb::kForRead), Acad::eOk);
  open->close();
  ASSERT_EQ(acdbOpenObject(open, text, AcDb::kForWrite), Acad::eOk);  // opened, nothing changed
  open->close();
  EXPECT_EQ(cadhost::drawingChangeCount(db), count);
  change<AcDbText>(text, [](AcDbText* t) { t->setTextString(L"changed"); });
  EXPECT_GT(cadhost::drawingChangeCount(db), count);
  count = cadhost::drawingChangeCount(db);
  addText(L"added");
  EXPECT_GT(cadhost::drawingChangeCount(db), count);
  count = cadhost::drawingChangeCount(db);
  eraseObject(text);
  EXPECT_GT(cadhost::drawingChangeCount(db), count);
}

TEST_F(ObjectOpenTest, UpgradeAndDowngrade) {
  const AcDbObjectId id = addText(L"A");
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(text->setTextString(L"B"), Acad::eNotOpenForWrite);
  EXPECT_STREQ(text->textStringConst(), L"A");
  EXPECT_FAULTS(L"AcDbText::setTextString: write to an object open only for read");
  ASSERT_EQ(text->upgradeOpen(), Acad::eOk);
  EXPECT_EQ(text->setTextString(L"B"), Acad::eOk);
  EXPECT_EQ(text->upgradeOpen(), Acad::eWasOpenForWrite);
  ASSERT_EQ(text->downgradeOpen(), Acad::eOk);
  EXPECT_FALSE(text->isWriteEnabled());
  AcDbText* second = nullptr;
  ASSERT_EQ(acdbOpenObject(second, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(text->upgradeOpen(), Acad::eWasOpenForRead) << "two readers: no one may write";
  second->close();
  text->close();
  EXPECT_EQ(textOf(id), L"B");
}

TEST_F(ObjectOpenTest, ReadsOfAnObjectThatIsNotOpenAreRefusedAndNamed) {
  const AcDbObjectId id = addText(L"Closed", AcGePoint3d(1, 2, 0), 3.5);
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(text->height(), 3.5);
  text->close();
  // After its close the object is still in memory, but not the caller's to read.
  EXPECT_EQ(text->height(), 0.0);
  EXPECT_STREQ(text->textStringConst(), L"");
  AcString copy;
  EXPECT_EQ(text->textString(copy), Acad::eNotOpenForRead);
  EXPECT_FAULTS(L"AcDbText::height: read of an object that is not open",
                L"AcDbText::textStringConst: read of an object that is not open",
                L"AcDbText::textString: read of an object that is not open");
  const long long before = cadhost::protocolFaultCount();
  EXPECT_EQ(text->close(), Acad::eNotOpenForRead) << "closing twice";
  EXPECT_FAULTS(L"AcDbText::close: close of an object that is not open");
  EXPECT_EQ(cadhost::protocolFaultCount(), before + 1) << "the program counts every fault";

  // The host's own code reads what it has not opened, as the real host reads its database.
  {
    cadhost::HostReadScope hostReads;
    EXPECT_EQ(text->height(), 3.5);
  }
  EXPECT_FAULTS();
}

TEST_F(ObjectOpenTest, ADebugHostStopsAtTheFirstFaultWithTheCallsName) {
  const AcDbObjectId id = addText(L"Closed");
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
  text->close();
  EXPECT_DEATH(
      {
        cadhost::setProtocolFaultAction(cadhost::ProtocolFaultAction::Stop);
        text->rotation();
      },
      "object protocol fault: AcDbText::rotation: read of an object that is not open");
}

TEST_F(ObjectOpenTest, ObjectsOutsideTheDatabaseCannotBeClosed) {
  AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
  EXPECT_EQ(line.close(), Acad::eNotInDatabase);
  EXPECT_EQ(line.erase(), Acad::eNotInDatabase);
  EXPECT_EQ(line.upgradeOpen(), Acad::eNotInDatabase);
  EXPECT_TRUE(line.isWriteEnabled()) << "a new object is changed directly";
  EXPECT_EQ(line.setEndPoint(AcGePoint3d(2, 2, 0)), Acad::eOk);
  EXPECT_TRUE(line.objectId().isNull());
  EXPECT_EQ(line.database(), nullptr);
}

TEST_F(ObjectOpenTest, HandlesNameObjectsPersistently) {
  const AcDbObjectId id = addText(L"Handled");
  const AcDbHandle handle = id.handle();
  ASSERT_FALSE(handle.isNull());
  AcDbObjectId found;
  ASSERT_EQ(db->getAcDbObjectId(found, false, handle), Acad::eOk);
  EXPECT_EQ(found, id);
  EXPECT_EQ(db->getAcDbObjectId(found, false, AcDbHandle()), Acad::eNullHandle);
  EXPECT_EQ(db->getAcDbObjectId(found, false, AcDbHandle(0xFFFFFF)), Acad::eKeyNotFound);

  EXPECT_EQ(AcDbHandle(L"2f").value(), 0x2Fu);
  EXPECT_EQ(AcDbHandle(L"7FFFFFFFFFFFFFFF").value(), 0x7FFFFFFFFFFFFFFFu);
  EXPECT_TRUE(AcDbHandle(L"12G").isNull());
  EXPECT_TRUE(AcDbHandle(L"10000000000000000").isNull()) << "over 16 digits";
  ACHAR buffer[8];
  EXPECT_TRUE(AcDbHandle(0x2F).getIntoAsciiBuffer(buffer, 8));
  EXPECT_STREQ(buffer, L"2F");
  EXPECT_FALSE(AcDbHandle(0x123456789).getIntoAsciiBuffer(buffer, 8)) << "nine digits do not fit in eight";
}

using CloneAppendTest = DrawingTest;

// A centred, rotated, styled text on its own layer with a field: every property a clone must carry.
AcDbText* makeDetailedText(AcDbObjectId layer, AcDbObjectId style) {
  auto* text = new AcDbText(AcGePoint3d(1, 2, 0), L"Drawn by %<\\AcVar Author>%", style, 2.5, 0.3);
  EXPECT_EQ(text->setLayer(layer), Acad::eOk);
  EXPECT_EQ(text->setWidthFactor(0.8), Acad::eOk);
  EXPECT_EQ(text->setOblique(0.1), Acad::eOk);
  EXPECT_EQ(text->setColorIndex(3), Acad::eOk);
  EXPECT_EQ(text->setHorizontalMode(AcDb::kTextCenter), Acad::eOk);
  EXPECT_EQ(text->setVerticalMode(AcDb::kTextTop), Acad::eOk);
  EXPECT_EQ(text->setAlignmentPoint(AcGePoint3d(20, 10, 0)), Acad::eOk);
  return text;
}

void expectSameText(const AcDbText* copy, const AcDbText* original) {
  EXPECT_EQ(copy->layerId(), original->layerId());
  EXPECT_EQ(copy->textStyle(), original->textStyle());
  EXPECT_EQ(copy->colorIndex(), original->colorIndex());
  EXPECT_DOUBLE_EQ(copy->height(), original->height());
  EXPECT_DOUBLE_EQ(copy->rotation(), original->rotation());
  EXPECT_DOUBLE_EQ(copy->widthFactor(), original->widthFactor());
  EXPECT_DOUBLE_EQ(copy->oblique(), original->oblique());
  EXPECT_EQ(copy->horizontalMode(), original->horizontalMode());
  EXPECT_EQ(copy->verticalMode(), original->verticalMode());
  EXPECT_POINT_NEAR(copy->position(), original->position());
  EXPECT_POINT_NEAR(copy->alignmentPoint(), original->alignmentPoint());
  EXPECT_STREQ(copy->textStringConst(), original->textStringConst());
  EXPECT_EQ(copy->hasFields(), original->hasFields());
}

TEST_F(CloneAppendTest, CloneOfTextIsOutsideTheDrawingWithEveryProperty) {
  const AcDbObjectId layer = addLayer(L"Notes");
  const AcDbObjectId style = addTextStyle(L"Mono");
  const AcDbObjectId id = append(makeDetailedText(layer, style));

  AcDbText* original = nullptr;
  ASSERT_EQ(acdbOpenObject(original, id, AcDb::kForRead), Acad::eOk);
  auto* copy = AcDbText::cast(original->clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->isDatabaseResident());
  EXPECT_TRUE(copy->objectId().isNull());
  EXPECT_TRUE(copy->handle().isNull());
  EXPECT_EQ(copy->database(), nullptr);
  expectSameText(copy, original);
  EXPECT_TRUE(copy->hasFields());
  original->close();
  delete copy;  // a clone that is not appended belongs to whoever made it
}

TEST_F(CloneAppendTest, CloneAppendedToModelAndPaperSpace) {
  const AcDbObjectId layer = addLayer(L"Notes");
  const AcDbObjectId style = addTextStyle(L"Mono");
  const AcDbObjectId id = append(makeDetailedText(layer, style));
  const AcDbObjectId paper = paperSpaceId();

  for (const AcDbObjectId target : {db->modelSpaceId(), paper}) {
    AcDbText* original = nullptr;
    ASSERT_EQ(acdbOpenObject(original, id, AcDb::kForRead), Acad::eOk);
    auto* copy = AcDbText::cast(original->clone());
    ASSERT_NE(copy, nullptr);

    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, target, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId copyId;
    ASSERT_EQ(block->appendAcDbEntity(copyId, copy), Acad::eOk);
    block->close();

    EXPECT_FALSE(copyId.isNull());
    EXPECT_EQ(copy->objectId(), copyId);
    EXPECT_NE(copy->handle(), original->handle());
    EXPECT_EQ(copy->ownerId(), target);
    EXPECT_EQ(copy->blockId(), target);
    EXPECT_EQ(copy->database(), db);
    EXPECT_TRUE(copy->isWriteEnabled()) << "an appended entity is open for write";
    EXPECT_TRUE(copy->isNewObject());
    EXPECT_EQ(db->lastEntityId(), copyId);
    expectSameText(copy, original);
    AcDbObjectId fieldId;
    EXPECT_EQ(copy->getField(L"TEXT", fieldId), Acad::eOk) << "the clone's field joined the drawing";
    AcDbObjectId originalField;
    original->getField(L"TEXT", originalField);
    EXPECT_NE(fieldId, originalField) << "the clone has its own field";
    EXPECT_EQ(copy->close(), Acad::eOk);
    original->close();
  }

  AcDbBlockTableRecord* paperRecord = nullptr;
  ASSERT_EQ(acdbOpenObject(paperRecord, paper, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(paperRecord->layoutName(), L"Layout1");
  EXPECT_TRUE(paperRecord->isLayout());
  EXPECT_EQ(paperRecord->entityCount(), 1);
  paperRecord->close();
}

TEST_F(CloneAppendTest, AppendingNeedsABlockOpenForWriteAndANewEntity) {
  const AcDbObjectId id = addText(L"Resident");
  AcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  AcDbObjectId lineId;
  EXPECT_EQ(model->appendAcDbEntity(lineId, line), Acad::eNotOpenForWrite);
  EXPECT_TRUE(lineId.isNull());
  EXPECT_FALSE(line->isDatabaseResident());
  model->close();

  ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  AcDbText* resident = nullptr;
  ASSERT_EQ(acdbOpenObject(resident, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(model->appendAcDbEntity(resident), Acad::eAlreadyInDb);
  resident->close();
  EXPECT_EQ(model->appendAcDbEntity(nullptr), Acad::eNullEntityPointer);
  EXPECT_EQ(model->entityCount(), 1);
  model->close();
  delete line;

  AcDbBlockTableRecord outside;
  auto* orphan = new AcDbLine;
  EXPECT_EQ(outside.appendAcDbEntity(orphan), Acad::eNotInDatabase);
  delete orphan;
}

TEST_F(CloneAppendTest, AppendedEntitiesTakeTheDrawingsCurrentLayerAndStyle) {
  const AcDbObjectId layer = addLayer(L"Current");
  const AcDbObjectId style = addTextStyle(L"Current style");
  ASSERT_EQ(db->setClayer(layer), Acad::eOk);
  ASSERT_EQ(db->setTextstyle(style), Acad::eOk);
  const AcDbObjectId textId = addText(L"Defaults");
  inspect<AcDbText>(textId, [&](AcDbText* text) {
    EXPECT_EQ(text->layerId(), layer);
    EXPECT_EQ(text->textStyle(), style);
    ACHAR* name = text->layer();
    EXPECT_STREQ(name, L"Current");
    acutDelString(name);
  });
}

TEST_F(CloneAppendTest, EntityOfAnotherDrawingIsRefused) {
  AcDbDatabase other(true);
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(other.getLayerTable(layers, AcDb::kForRead), Acad::eOk);
  AcDbObjectId foreignLayer;
  ASSERT_EQ(layers->getAt(L"0", foreignLayer), Acad::eOk);
  layers->close();

  auto* line = new AcDbLine;
  ASSERT_EQ(line->setLayer(foreignLayer), Acad::eOk);
  // A text on a layer of this drawing in a style of the other, a dimension in the other's
  // dimension style, a reference to the other's block: each would name what is not here.
  auto* text = new AcDbText(AcGePoint3d(), L"Foreign style", other.textstyle());
  auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(), AcGePoint3d(1, 0, 0), AcGePoint3d(), L"", other.dimstyle());
  auto* ref = new AcDbBlockReference(AcGePoint3d(), other.modelSpaceId());
  AcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  for (AcDbEntity* foreign : std::initializer_list<AcDbEntity*>{line, text, dim, ref}) {
    EXPECT_EQ(model->appendAcDbEntity(foreign), Acad::eWrongDatabase) << testing::PrintToString(std::wstring(foreign->typeName()));
    EXPECT_FALSE(foreign->isDatabaseResident());
    delete foreign;
  }
  EXPECT_EQ(model->entityCount(), 0);
  model->close();
}

TEST_F(CloneAppendTest, BlockIteratorWalksEntitiesInDrawingOrder) {
  const AcDbObjectId a = addText(L"A");
  const AcDbObjectId b = addLine(AcGePoint3d(), AcGePoint3d(1, 1, 0));
  const AcDbObjectId c = addText(L"C");
  eraseObject(b);

  AcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(model->entityCount(), 2);
  EXPECT_EQ(model->entityCount(true), 3);
  auto walk = [&](bool skipDeleted) {
    std::vector<AcDbObjectId> seen;
    AcDbBlockTableRecordIterator* it = nullptr;
    EXPECT_EQ(model->newIterator(it, true, skipDeleted), Acad::eOk);
    for (; !it->done(); it->step(true, skipDeleted)) {
      AcDbObjectId id;
      EXPECT_EQ(it->getEntityId(id), Acad::eOk);
      seen.push_back(id);
    }
    AcDbObjectId past;
    EXPECT_EQ(it->getEntityId(past), Acad::eInvalidIndex);
    delete it;
    return seen;
  };
  EXPECT_EQ(walk(true), (std::vector<AcDbObjectId>{a, c}));
  EXPECT_EQ(walk(false), (std::vector<AcDbObjectId>{a, b, c}));

  AcDbBlockTableRecordIterator* backwards = nullptr;
  model->newIterator(backwards, false, true);
  AcDbEntity* last = nullptr;
  ASSERT_EQ(backwards->getEntity(last), Acad::eOk);
  EXPECT_EQ(last->objectId(), c);
  last->close();
  backwards->step(false, true);
  AcDbObjectId first;
  backwards->getEntityId(first);
  EXPECT_EQ(first, a) << "stepping back skips the erased line";
  delete backwards;
  model->close();
}

TEST_F(CloneAppendTest, ErasingAnEntityErasesItsFieldAndUnerasingBringsItBack) {
  const AcDbObjectId id = addText(L"%<\\AcVar Author>%");
  AcDbObjectId fieldId;
  inspect<AcDbText>(id, [&](AcDbText* text) { EXPECT_EQ(text->getField(L"TEXT", fieldId), Acad::eOk); });
  ASSERT_FALSE(fieldId.isNull());
  AcDbField* field = nullptr;
  ASSERT_EQ(acdbOpenObject(field, fieldId, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(field->ownerId(), id);
  field->close();

  eraseObject(id);
  EXPECT_TRUE(fieldId.isErased());
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForWrite, true), Acad::eOk);
  EXPECT_EQ(text->erase(false), Acad::eOk);
  text->close();
  EXPECT_FALSE(fieldId.isErased());
}

// An object a drawing file's reader left in the file is made when first asked for. Asked for while
// the file is still being read, it is not there yet, and its stub stays deferred (emptying it would
// lose the object); once the reader is done it is made. One that cannot be made leaves its stub
// without an object, and is not tried again.
class LineInTheFile : public AcDbDeferredLoader {
 public:
  bool read = false, damaged = false;
  int loads = 0;
  AcDbObject* load(const AcDbStub& stub) override {
    ++loads;
    if (damaged) return nullptr;
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbCore::attachDeferred(stub, line, AcDbObjectId());
    return line;
  }
  AcRxClass* objectClass(const AcDbStub&) const override { return AcDbLine::desc(); }
  bool ready() const override { return read; }
};

TEST_F(ObjectOpenTest, AnObjectLeftInTheFileIsMadeOnlyOnceTheFileIsRead) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  auto owned = std::make_unique<LineInTheFile>();
  LineInTheFile& file = *owned;
  imp->deferredLoader = std::move(owned);
  AcDbStub* later = imp->placeholder(0x7001);
  AcDbStub* lost = imp->placeholder(0x7002);
  later->setDeferred(0);
  lost->setDeferred(1);

  EXPECT_EQ(later->object(), nullptr) << "the file is still being read";
  EXPECT_EQ(file.loads, 0);
  EXPECT_TRUE(later->isDeferred());
  EXPECT_TRUE(later->hasObject()) << "its handle stays taken";

  file.read = true;
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, AcDbObjectId(later), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(line->endPoint(), AcGePoint3d(1, 0, 0));
  line->close();

  file.damaged = true;
  EXPECT_EQ(lost->object(), nullptr);
  EXPECT_FALSE(lost->hasObject());
  EXPECT_EQ(lost->object(), nullptr);
  EXPECT_EQ(file.loads, 2) << "the damaged one is tried once";
}

}  // namespace

// The handle index: many handles, some taken out again (which moves others back in their probe
// runs), others filed anew, and handles that share their low half.
TEST(HandleIndex, FindsEveryHandleFiledAndNoOther) {
  std::deque<AcDbStub> stubs;
  AcDbHandleIndex index(stubs);
  auto add = [&](Adesk::UInt64 handle) {
    stubs.emplace_back().handle = AcDbHandle(handle);
    return index.insert(stubs.size() - 1);
  };
  for (Adesk::UInt64 h = 1; h <= 5000; ++h) ASSERT_TRUE(add(h * 7));
  ASSERT_TRUE(add((Adesk::UInt64(1) << 32) + 7));  // the low half of handle 7
  EXPECT_FALSE(add(14));                          // taken: nothing changes
  stubs.pop_back();
  EXPECT_EQ(index.size(), 5001u);
  for (Adesk::UInt64 h = 3; h <= 5000; h += 3) EXPECT_NE(index.erase(h * 7), AcDbHandleIndex::npos);
  EXPECT_EQ(index.erase(6), AcDbHandleIndex::npos);
  for (Adesk::UInt64 h = 1; h <= 5000; ++h) {
    AcDbStub* found = index.find(h * 7);
    if (h % 3 == 0) {
      EXPECT_EQ(found, nullptr) << h;
    } else {
      ASSERT_NE(found, nullptr) << h;
      EXPECT_EQ(found->handle.value(), h * 7);
    }
  }
  ASSERT_NE(index.find((Adesk::UInt64(1) << 32) + 7), nullptr);
  EXPECT_EQ(index.find(7)->handle.value(), 7u);
  // A stub taken out and filed under a new handle, as a reader gives an object a fresh one.
  const size_t position = index.erase(7 * 7);
  ASSERT_NE(position, AcDbHandleIndex::npos);
  stubs[position].handle = AcDbHandle(999999);
  EXPECT_TRUE(index.insert(position));
  EXPECT_EQ(index.find(999999), &stubs[position]);
  EXPECT_EQ(index.find(49), nullptr);
  size_t seen = 0;
  index.forEach([&seen](const AcDbStub*) { ++seen; });
  EXPECT_EQ(seen, index.size());
}
