// Documents: locks that nest, writes refused without a lock when the host asks for locks,
// switching documents while activation is disabled, the graphics flush, and the display calls
// the host records.
#include "drawing_fixture.h"

namespace {

// These tests are about locks themselves: the document starts unlocked.
class DocumentTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    unlockDocument();
    cadhost::clearHostEvents();
  }
};

std::vector<std::pair<cadhost::HostEventKind, long long>> lockEvents() {
  std::vector<std::pair<cadhost::HostEventKind, long long>> events;
  for (const auto& e : cadhost::hostEvents())
    if (e.kind == cadhost::HostEventKind::DocumentLocked || e.kind == cadhost::HostEventKind::DocumentUnlocked)
      events.emplace_back(e.kind, e.detail);
  return events;
}

const cadhost::HostEvent* lastEvent(cadhost::HostEventKind kind) {
  const auto& events = cadhost::hostEvents();
  for (auto it = events.rbegin(); it != events.rend(); ++it)
    if (it->kind == kind) return &*it;
  return nullptr;
}

TEST_F(DocumentTest, ALongSessionKeepsOnlyItsRecentEvents) {
  cadhost::clearHostEvents();
  constexpr long long kMany = 600000;
  for (long long i = 0; i < kMany; ++i) cadhost::recordHostEvent(cadhost::HostEventKind::DisplayUpdated, doc, i);
  const auto& events = cadhost::hostEvents();
  EXPECT_LT(events.size(), 300000u);
  EXPECT_GT(events.size(), 100000u);
  EXPECT_EQ(events.back().detail, kMany - 1) << "the newest event is kept";
  for (size_t i = 1; i < events.size(); ++i) ASSERT_EQ(events[i].detail, events[i - 1].detail + 1) << "in order, none missing";
  cadhost::clearHostEvents();
}

TEST_F(DocumentTest, TheFirstDocumentIsCurrentAndItsDrawingIsTheWorkingOne) {
  EXPECT_EQ(acDocManager->curDocument(), doc);
  EXPECT_EQ(acDocManager->mdiActiveDocument(), doc);
  EXPECT_EQ(acDocManager->document(db), doc);
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), db);
  EXPECT_STREQ(doc->docTitle(), L"Drawing1.dwg");
  EXPECT_EQ(doc->database(), db);
  EXPECT_TRUE(doc->isQuiescent());

  AcApDocument* second = cadhost::openDocument(new AcDbDatabase(true), true, L"Second.dwg");
  EXPECT_EQ(acDocManager->documentCount(), 2);
  EXPECT_EQ(acDocManager->curDocument(), doc) << "opening another document does not switch";
  cadhost::closeDocument(doc);
  doc = nullptr;
  EXPECT_EQ(acDocManager->curDocument(), second);
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), second->database());
  db = second->database();
}

TEST_F(DocumentTest, LocksNestAndEachIsRecorded) {
  EXPECT_EQ(doc->lockMode(), AcAp::kNotLocked);
  {
    AcAxDocLock outer;
    ASSERT_EQ(outer.lockStatus(), Acad::eOk);
    EXPECT_EQ(outer.document(), doc);
    EXPECT_EQ(doc->lockMode(), AcAp::kWrite);
    {
      AcAxDocLock inner(db);
      ASSERT_EQ(inner.lockStatus(), Acad::eOk);
      EXPECT_EQ(doc->lockDepth(), 2);
      EXPECT_FALSE(doc->isQuiescent());
    }
    EXPECT_EQ(doc->lockDepth(), 1);
    EXPECT_EQ(doc->lockMode(), AcAp::kWrite);
  }
  EXPECT_EQ(doc->lockDepth(), 0);
  EXPECT_EQ(doc->lockMode(), AcAp::kNotLocked);
  using K = cadhost::HostEventKind;
  EXPECT_EQ(lockEvents(), (std::vector<std::pair<K, long long>>{
                              {K::DocumentLocked, 1}, {K::DocumentLocked, 2}, {K::DocumentUnlocked, 1}, {K::DocumentUnlocked, 0}}));
  for (const auto& e : cadhost::hostEvents()) EXPECT_EQ(e.document, doc);

  EXPECT_EQ(acDocManager->unlockDocument(doc), Acad::eNotApplicable) << "nothing left to unlock";
  EXPECT_EQ(acDocManager->lockDocument(nullptr), Acad::eNoDocument);
}

TEST_F(DocumentTest, LockByObjectAndForDrawingsWithoutADocument) {
  const AcDbObjectId id = addText(L"x");
  {
    AcAxDocLock lock(id);
    EXPECT_EQ(lock.lockStatus(), Acad::eOk);
    EXPECT_EQ(doc->lockDepth(), 1);
  }
  AcDbDatabase loose(true);
  AcAxDocLock noDocument(&loose);
  EXPECT_EQ(noDocument.lockStatus(), Acad::eNoDocument);
  EXPECT_EQ(noDocument.document(), nullptr);
  AcAxDocLock nullId(AcDbObjectId::kNull);
  EXPECT_EQ(nullId.lockStatus(), Acad::eNoDocument);
  EXPECT_EQ(doc->lockDepth(), 0);
}

TEST_F(DocumentTest, LockingAnotherDocumentSwitchesOnlyWhenAskedTo) {
  auto* otherDb = new AcDbDatabase(true);
  AcApDocument* other = cadhost::openDocument(otherDb, true, L"Other.dwg");
  {
    AcAxDocLock refused(otherDb);
    EXPECT_EQ(refused.lockStatus(), Acad::eNotCurrentDatabase);
    EXPECT_EQ(other->lockDepth(), 0);
  }
  {
    AcAxDocLock switching(otherDb, AcAxDocLock::kCurDocSwitch);
    EXPECT_EQ(switching.lockStatus(), Acad::eOk);
    EXPECT_EQ(acDocManager->curDocument(), other);
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), otherDb);
    EXPECT_EQ(other->lockDepth(), 1);
  }
  EXPECT_EQ(acDocManager->curDocument(), doc) << "the previous document is current again";
  EXPECT_EQ(other->lockDepth(), 0);

  ASSERT_EQ(acDocManager->disableDocumentActivation(), Acad::eOk);
  {
    AcAxDocLock switching(otherDb, AcAxDocLock::kCurDocSwitch);
    EXPECT_EQ(switching.lockStatus(), Acad::eDocumentSwitchDisabled);
    EXPECT_EQ(acDocManager->curDocument(), doc);
  }
  EXPECT_EQ(other->lockDepth(), 0);
  ASSERT_EQ(acDocManager->enableDocumentActivation(), Acad::eOk);
}

TEST_F(DocumentTest, TheHostAsksForLocksUnlessATestLoosensItByName) {
  EXPECT_TRUE(cadhost::requireDocumentLockForWrite()) << "as the real host, from the start";
}

TEST_F(DocumentTest, WritesNeedALock) {
  const AcDbObjectId id = addText(L"Locked write");
  AcDbText* text = nullptr;
  EXPECT_EQ(acdbOpenObject(text, id, AcDb::kForWrite), Acad::eLockViolation);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk) << "reading needs no lock";
  EXPECT_EQ(text->upgradeOpen(), Acad::eLockViolation);
  text->close();
  AcDbBlockTable* blocks = nullptr;
  EXPECT_EQ(db->getBlockTable(blocks, AcDb::kForWrite), Acad::eLockViolation);

  {
    AcAxDocLock lock;
    ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(text->setTextString(L"Written under a lock"), Acad::eOk);
    text->close();
  }
  EXPECT_EQ(textOf(id), L"Written under a lock");

  // A drawing without a document belongs to no one and needs no lock.
  AcDbDatabase loose(true);
  AcDbBlockTable* looseBlocks = nullptr;
  EXPECT_EQ(loose.getBlockTable(looseBlocks, AcDb::kForWrite), Acad::eOk);
  looseBlocks->close();
}

TEST_F(DocumentTest, DisabledActivationRefusesEverySwitch) {
  AcApDocument* other = cadhost::openDocument(new AcDbDatabase(true), true, L"Other.dwg");
  ASSERT_EQ(acDocManager->disableDocumentActivation(), Acad::eOk);
  ASSERT_EQ(acDocManager->disableDocumentActivation(), Acad::eOk);
  EXPECT_FALSE(acDocManager->isDocumentActivationEnabled());
  EXPECT_EQ(acDocManager->setCurDocument(other), Acad::eDocumentSwitchDisabled);
  EXPECT_EQ(acDocManager->activateDocument(other), Acad::eDocumentSwitchDisabled);
  EXPECT_EQ(acDocManager->curDocument(), doc);
  EXPECT_EQ(acDocManager->setCurDocument(doc), Acad::eOk) << "staying where one is, is no switch";

  ASSERT_EQ(acDocManager->enableDocumentActivation(), Acad::eOk);
  EXPECT_EQ(acDocManager->activateDocument(other), Acad::eDocumentSwitchDisabled) << "disabled twice, enabled once";
  ASSERT_EQ(acDocManager->enableDocumentActivation(), Acad::eOk);
  EXPECT_TRUE(acDocManager->isDocumentActivationEnabled());
  EXPECT_EQ(acDocManager->enableDocumentActivation(), Acad::eNotApplicable);
  EXPECT_EQ(acDocManager->activateDocument(other), Acad::eOk);
  EXPECT_EQ(acDocManager->curDocument(), other);
  EXPECT_EQ(acDocManager->setCurDocument(nullptr), Acad::eNoDocument);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentActivationDisabled), 2);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentActivationEnabled), 2);

  EXPECT_EQ(acDocManager->setCurDocument(doc, AcAp::kWrite), Acad::eOk);
  EXPECT_EQ(doc->lockDepth(), 1) << "switching with a lock mode locks the document";
  acDocManager->unlockDocument(doc);
}

TEST_F(DocumentTest, GraphicsFlushDrawsWhatChanged) {
  const AcDbObjectId a = addText(L"A");
  const AcDbObjectId b = addText(L"B");
  const AcDbObjectId c = addText(L"C");
  AcTransactionManager* tm = doc->transactionManager();
  ASSERT_NE(tm, nullptr);
  ASSERT_EQ(tm->queueForGraphicsFlush(), Acad::eOk);
  ASSERT_EQ(tm->flushGraphics(), Acad::eOk);
  EXPECT_EQ(lastEvent(cadhost::HostEventKind::GraphicsFlushed)->detail, 3) << "three new entities";
  cadhost::clearHostEvents();

  change<AcDbText>(a, [](AcDbText* t) { t->setTextString(L"A2"); });
  change<AcDbText>(b, [](AcDbText* t) { t->setHeight(3); });
  change<AcDbText>(a, [](AcDbText* t) { t->setTextString(L"A3"); });
  change<AcDbText>(c, [](AcDbText*) {});  // opened for write, left as it was
  ASSERT_EQ(tm->queueForGraphicsFlush(), Acad::eOk);
  const cadhost::HostEvent* queued = lastEvent(cadhost::HostEventKind::GraphicsQueued);
  ASSERT_NE(queued, nullptr);
  EXPECT_EQ(queued->detail, 2);
  EXPECT_EQ(queued->document, doc);
  ASSERT_EQ(tm->flushGraphics(), Acad::eOk);
  EXPECT_EQ(lastEvent(cadhost::HostEventKind::GraphicsFlushed)->detail, 2);

  ASSERT_EQ(tm->queueForGraphicsFlush(), Acad::eOk);
  ASSERT_EQ(tm->flushGraphics(), Acad::eOk);
  EXPECT_EQ(lastEvent(cadhost::HostEventKind::GraphicsFlushed)->detail, 0) << "nothing changed since";

  // A field's new value is a change too.
  const AcDbObjectId field = addText(L"%<\\AcVar Date \\f \"yyyy\">%");
  tm->queueForGraphicsFlush();
  tm->flushGraphics();
  EXPECT_EQ(acdbEvaluateFields(field, AcFd::kDemand), Acad::eLockViolation) << "a field's value is written like any other change";
  {
    AcAxDocLock lock;
    ASSERT_EQ(acdbEvaluateFields(field, AcFd::kDemand), Acad::eOk);
  }
  tm->queueForGraphicsFlush();
  EXPECT_EQ(lastEvent(cadhost::HostEventKind::GraphicsQueued)->detail, 1);
  tm->flushGraphics();
}

TEST_F(DocumentTest, DisplayCallsAreRecorded) {
  const AcDbObjectId id = addText(L"x");
  acedUpdateDisplay();
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DisplayUpdated), 1);

  EXPECT_EQ(acedRedraw(nullptr, 1), RTNORM);
  ads_name name;
  acdbGetAdsName(name, id);
  EXPECT_EQ(acedRedraw(name, 3), RTNORM);
  const cadhost::HostEvent* redraw = lastEvent(cadhost::HostEventKind::Redrawn);
  ASSERT_NE(redraw, nullptr);
  EXPECT_EQ(redraw->detail, 3);
  EXPECT_EQ(redraw->text, handleText(id));
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::Redrawn), 2);

  cadhost::setStandardTextArea(-1, L"Ready");
  EXPECT_EQ(acedGrText(-1, L"Editing 3 texts", 0), RTNORM);
  EXPECT_EQ(cadhost::textArea(-1), L"Editing 3 texts");
  EXPECT_EQ(lastEvent(cadhost::HostEventKind::TextAreaWritten)->text, L"Editing 3 texts");
  EXPECT_EQ(acedGrText(-3, nullptr, 0), RTNORM);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::TextAreasRestored), 1);
  EXPECT_EQ(cadhost::textArea(-1), L"Ready");
  cadhost::setStandardTextArea(-1, L"");
}

}  // namespace
