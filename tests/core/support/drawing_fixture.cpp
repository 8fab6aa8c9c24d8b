// The drawing fixture of the core tests; see drawing_fixture.h.
#include "drawing_fixture.h"

#include <sstream>

void DrawingTest::SetUp() {
  cadhost::closeAllDocuments();
  cadhost::setSelectionSource(nullptr);
  cadhost::clearPickFirst();
  cadhost::setProtocolFaultAction(cadhost::ProtocolFaultAction::Record);
  cadhost::takeProtocolFaults();
  mLocksRequiredAtStart = cadhost::requireDocumentLockForWrite();
  cadhost::setFixedClock(std::nullopt);
  acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  db = new AcDbDatabase(true);
  doc = cadhost::openDocument(db, true, L"Drawing1.dwg");
  mCommandLock = std::make_unique<AcAxDocLock>(db);
  cadhost::clearHostEvents();
  cadhost::takeCommandLineOutput();
  mSelectionSetsAtStart = cadhost::openSelectionSetCount();
}

void DrawingTest::TearDown() {
  // Whatever a test did, it must not break the open protocol, and must leave no object open and
  // no selection set allocated.
  for (const std::wstring& fault : cadhost::takeProtocolFaults()) ADD_FAILURE() << "object protocol fault: " << fault;
  mCommandLock.reset();
  for (int i = 0; i < acDocManager->documentCount(); ++i) {
    AcDbDatabase* open = acDocManager->documentAt(i)->database();
    EXPECT_EQ(cadhost::openObjectCount(open), 0) << "objects left open in document " << i;
  }
  EXPECT_EQ(cadhost::openSelectionSetCount(), mSelectionSetsAtStart) << "selection sets left allocated";
  while (!acDocManager->isDocumentActivationEnabled()) acDocManager->enableDocumentActivation();
  cadhost::setSelectionSource(nullptr);
  cadhost::clearPickFirst();
  cadhost::setRequireDocumentLockForWrite(mLocksRequiredAtStart);  // a test that loosened the host says so itself
  cadhost::setFixedClock(std::nullopt);
  acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  cadhost::closeAllDocuments();
  cadhost::clearHostEvents();
  cadhost::takeCommandLineOutput();
  db = nullptr;
  doc = nullptr;
}

void DrawingTest::unlockDocument() { mCommandLock.reset(); }

AcDbObjectId DrawingTest::append(AcDbEntity* entity, AcDbObjectId block) {
  if (block.isNull()) block = db->modelSpaceId();
  AcAxDocLock lock(block);
  AcDbBlockTableRecord* record = nullptr;
  EXPECT_EQ(acdbOpenObject(record, block, AcDb::kForWrite), Acad::eOk);
  if (record == nullptr) {
    delete entity;
    return AcDbObjectId();
  }
  AcDbObjectId id;
  EXPECT_EQ(record->appendAcDbEntity(id, entity), Acad::eOk);
  EXPECT_EQ(record->close(), Acad::eOk);
  if (id.isNull()) {
    delete entity;
    return id;
  }
  EXPECT_EQ(entity->close(), Acad::eOk);
  return id;
}

AcDbObjectId DrawingTest::addText(const wchar_t* text, const AcGePoint3d& at, double height) {
  return append(new AcDbText(at, text, AcDbObjectId::kNull, height));
}

AcDbObjectId DrawingTest::addMText(const wchar_t* contents, const AcGePoint3d& at) {
  auto* mtext = new AcDbMText;
  mtext->setLocation(at);
  mtext->setContents(contents);
  return append(mtext);
}

AcDbObjectId DrawingTest::addLine(const AcGePoint3d& from, const AcGePoint3d& to) {
  return append(new AcDbLine(from, to));
}

AcDbObjectId DrawingTest::addLayer(const wchar_t* name) {
  AcAxDocLock lock(db);
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db->getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  auto* layer = new AcDbLayerTableRecord;
  EXPECT_EQ(layer->setName(name), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, layer), Acad::eOk);
  EXPECT_EQ(table->close(), Acad::eOk);
  if (id.isNull()) delete layer;
  else EXPECT_EQ(layer->close(), Acad::eOk);
  return id;
}

AcDbObjectId DrawingTest::addTextStyle(const wchar_t* name) {
  AcAxDocLock lock(db);
  AcDbTextStyleTable* table = nullptr;
  EXPECT_EQ(db->getTextStyleTable(table, AcDb::kForWrite), Acad::eOk);
  auto* style = new AcDbTextStyleTableRecord;
  EXPECT_EQ(style->setName(name), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, style), Acad::eOk);
  EXPECT_EQ(table->close(), Acad::eOk);
  if (id.isNull()) delete style;
  else EXPECT_EQ(style->close(), Acad::eOk);
  return id;
}

AcDbObjectId DrawingTest::paperSpaceId() {
  AcDbBlockTable* table = nullptr;
  EXPECT_EQ(db->getBlockTable(table, AcDb::kForRead), Acad::eOk);
  AcDbObjectId id;
  if (table) {
    EXPECT_EQ(table->getAt(ACDB_PAPER_SPACE, id), Acad::eOk);
    table->close();
  }
  return id;
}

void DrawingTest::setLayerLocked(AcDbObjectId layerId, bool locked) {
  change<AcDbLayerTableRecord>(layerId, [&](AcDbLayerTableRecord* layer) { EXPECT_EQ(layer->setIsLocked(locked), Acad::eOk); });
}

void DrawingTest::eraseObject(AcDbObjectId id) {
  change<AcDbObject>(id, [](AcDbObject* object) { EXPECT_EQ(object->erase(), Acad::eOk); });
}

std::wstring DrawingTest::textOf(AcDbObjectId textId) {
  std::wstring text;
  inspect<AcDbEntity>(textId, [&](AcDbEntity* entity) {
    if (auto* t = AcDbText::cast(entity)) text = t->textStringConst();
    else if (auto* m = AcDbMText::cast(entity)) text = m->contentsConst();
    else if (auto* d = AcDbDimension::cast(entity)) text = d->dimensionTextConst();
  });
  return text;
}

std::wstring DrawingTest::handleText(AcDbObjectId id) {
  ACHAR buffer[20] = {};
  id.handle().getIntoAsciiBuffer(buffer, 20);
  return buffer;
}

std::wstring DrawingTest::handleDecimal(AcDbObjectId id) { return std::to_wstring(id.handle().value()); }

cadhost::SelectionAnswer ScriptedSelection::selectObjects(const cadhost::SelectionRequest& request) {
  ++prompts;
  askedDatabase = request.database;
  cadhost::SelectionAnswer answer;
  answer.cancelled = cancel;
  answer.objects = picks;
  return answer;
}

std::vector<AcDbObjectId> selectionMembers(const ads_name ss) {
  std::vector<AcDbObjectId> members;
  Adesk::Int32 length = 0;
  if (acedSSLength(ss, &length) != RTNORM) return members;
  for (Adesk::Int32 i = 0; i < length; ++i) {
    ads_name name;
    AcDbObjectId id;
    if (acedSSName(ss, i, name) == RTNORM && acdbGetObjectId(id, name) == Acad::eOk) members.push_back(id);
  }
  return members;
}

::testing::AssertionResult faultsWere(std::vector<std::wstring> expected) {
  const std::vector<std::wstring> faults = cadhost::takeProtocolFaults();
  if (faults == expected) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure() << "the host recorded these faults:";
  for (const std::wstring& fault : faults) failure << "\n  " << fault;
  failure << "\nbut these were expected:";
  for (const std::wstring& fault : expected) failure << "\n  " << fault;
  return failure;
}

::testing::AssertionResult pointNear(const AcGePoint3d& actual, const AcGePoint3d& expected, double tolerance) {
  if (actual.distanceTo(expected) <= tolerance) return ::testing::AssertionSuccess();
  std::ostringstream message;
  message << "point (" << actual.x << ", " << actual.y << ", " << actual.z << ") is not (" << expected.x << ", "
          << expected.y << ", " << expected.z << ")";
  return ::testing::AssertionFailure() << message.str();
}
