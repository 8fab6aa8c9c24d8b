// Undo groups: a command's changes are undone and redone as one, and an undone drawing is the
// drawing before the command, revisions and handle seed included (what the file writer compares).
#include <functional>

#include "accmd.h"
#include "core/coreaccess.h"
#include "drawing_fixture.h"

namespace {

std::function<void()> gCommandBody;
void runBody() { gCommandBody(); }

class UndoTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    ASSERT_EQ(acedRegCmds->addCommand(L"UNDO_TESTS", L"CHANGE", L"CHANGE", ACRX_CMD_MODAL, runBody), Acad::eOk);
  }
  void TearDown() override {
    acedRegCmds->removeGroup(L"UNDO_TESTS");
    DrawingTest::TearDown();
  }
  // Runs a command whose body is f, as the command line does.
  void runCommand(std::function<void()> f) {
    gCommandBody = std::move(f);
    ASSERT_TRUE(cadhost::runCommand(L"CHANGE"));
  }
  bool undo() {
    std::wstring name;
    return cadhost::undoLastGroup(db, name);
  }
  bool redo() {
    std::wstring name;
    return cadhost::redoLastGroup(db, name);
  }
  Adesk::UInt32 revisionOf(AcDbObjectId id) { return AcDbCore::revision(AcDbCore::object(id)); }
  std::vector<AcDbObjectId> modelSpaceList() {
    return AcDbCore::entities(AcDbCore::objectAs<AcDbBlockTableRecord>(db->modelSpaceId()));
  }
};

TEST_F(UndoTest, ACommandThatChangedAddedAndErasedIsUndoneAndRedoneAsOne) {
  const AcDbObjectId text = addText(L"first", AcGePoint3d(0, 10, 0));
  const AcDbObjectId line = addLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
  change<AcDbText>(text, [](AcDbText* t) { t->setHeight(2); });  // a revision of its own
  const Adesk::UInt32 textRevision = revisionOf(text);
  ASSERT_GT(textRevision, 0u);
  const auto listBefore = modelSpaceList();
  const Adesk::UInt64 seedBefore = db->handseed().value();
  AcDbObjectId added;
  runCommand([&] {
    change<AcDbText>(text, [](AcDbText* t) {
      t->setTextString(L"changed");
      t->setPosition(AcGePoint3d(5, 5, 0));
    });
    added = addText(L"second", AcGePoint3d(0, 8, 0));
    eraseObject(line);
  });
  ASSERT_EQ(cadhost::undoGroupCount(db), 1);
  ASSERT_TRUE(undo());
  EXPECT_EQ(textOf(text), L"first");
  inspect<AcDbText>(text, [](AcDbText* t) { EXPECT_EQ(t->position(), AcGePoint3d(0, 10, 0)); });
  EXPECT_EQ(revisionOf(text), textRevision);
  EXPECT_TRUE(added.isErased());
  EXPECT_FALSE(line.isErased());
  EXPECT_EQ(modelSpaceList(), listBefore);
  EXPECT_EQ(db->handseed().value(), seedBefore);

  ASSERT_TRUE(redo());
  EXPECT_EQ(textOf(text), L"changed");
  EXPECT_FALSE(added.isErased());
  EXPECT_EQ(textOf(added), L"second");
  EXPECT_TRUE(line.isErased());
  EXPECT_EQ(modelSpaceList().size(), listBefore.size() + 1);
  EXPECT_GT(db->handseed().value(), seedBefore);
}

TEST_F(UndoTest, UndoGivesBackTheFieldsATextHad) {
  const AcDbObjectId text = addText(L"%<\\AcVar Author>%");
  AcDbObjectId field;
  inspect<AcDbText>(text, [&](AcDbText* t) { EXPECT_EQ(t->getField(L"TEXT", field), Acad::eOk); });
  auto fieldCode = [&] {
    AcDbField* opened = nullptr;
    if (acdbOpenObject(opened, field, AcDb::kForRead) != Acad::eOk) return std::wstring(L"<cannot open>");
    std::wstring code = opened->getFieldCode(AcDbField::kAddMarkers);
    opened->close();
    return code;
  };
  // Another expression: the text's field takes the new code.
  runCommand([&] { change<AcDbText>(text, [](AcDbText* t) { t->setTextString(L"%<\\AcVar Filename>%"); }); });
  EXPECT_EQ(fieldCode(), L"%<\\AcVar Filename>%");
  // No expression: the field goes.
  runCommand([&] { change<AcDbText>(text, [](AcDbText* t) { t->setTextString(L"no field"); }); });
  EXPECT_TRUE(field.isErased());
  ASSERT_TRUE(undo());
  EXPECT_FALSE(field.isErased());
  inspect<AcDbText>(text, [&](AcDbText* t) {
    AcDbObjectId now;
    EXPECT_EQ(t->getField(L"TEXT", now), Acad::eOk);
    EXPECT_EQ(now, field);
  });
  ASSERT_TRUE(undo());
  EXPECT_EQ(fieldCode(), L"%<\\AcVar Author>%");
  EXPECT_EQ(textOf(text), L"%<\\AcVar Author>%");
}

TEST_F(UndoTest, GroupsStackUpAndANewCommandEndsWhatCouldBeRedone) {
  const AcDbObjectId text = addText(L"0");
  for (const wchar_t* value : {L"1", L"2", L"3"})
    runCommand([&] { change<AcDbText>(text, [value](AcDbText* t) { t->setTextString(value); }); });
  runCommand([] {});  // a command that changed nothing is no group
  EXPECT_EQ(cadhost::undoGroupCount(db), 3);
  ASSERT_TRUE(undo());
  ASSERT_TRUE(undo());
  EXPECT_EQ(textOf(text), L"1");
  EXPECT_EQ(cadhost::redoGroupCount(db), 2);
  runCommand([&] { change<AcDbText>(text, [](AcDbText* t) { t->setTextString(L"new"); }); });
  EXPECT_EQ(cadhost::redoGroupCount(db), 0);
  EXPECT_FALSE(redo());
  ASSERT_TRUE(undo());
  ASSERT_TRUE(undo());
  EXPECT_EQ(textOf(text), L"0");
  std::wstring reason;
  EXPECT_FALSE(cadhost::undoLastGroup(db, reason));
  EXPECT_EQ(reason, L"Nothing to undo.");
}

TEST_F(UndoTest, NestedGroupsAreOneAndHeaderSettingsAreUndone) {
  const Adesk::Int16 lunits = db->lunits();
  {
    cadhost::UndoGroup outer(L"OUTER");
    cadhost::UndoGroup inner(L"INNER");
    db->setLunits(lunits == 2 ? 4 : 2);
    addLayer(L"Added");
  }
  ASSERT_EQ(cadhost::undoGroupCount(db), 1);
  std::wstring name;
  ASSERT_TRUE(cadhost::undoLastGroup(db, name));
  EXPECT_EQ(name, L"OUTER");
  EXPECT_EQ(db->lunits(), lunits);
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db->getLayerTable(layers, AcDb::kForRead), Acad::eOk);
  EXPECT_FALSE(layers->has(L"Added"));
  layers->close();
}

TEST_F(UndoTest, UndoIsRefusedWithoutTheLockWhileObjectsAreOpenAndInsideACommand) {
  const AcDbObjectId text = addText(L"before");
  runCommand([&] { change<AcDbText>(text, [](AcDbText* t) { t->setTextString(L"after"); }); });
  std::wstring reason;
  runCommand([&] { EXPECT_FALSE(cadhost::undoLastGroup(db, reason)); });
  EXPECT_EQ(reason, L"A command is being recorded.");
  AcDbText* open = nullptr;
  ASSERT_EQ(acdbOpenObject(open, text, AcDb::kForRead), Acad::eOk);
  EXPECT_FALSE(cadhost::undoLastGroup(db, reason));
  EXPECT_EQ(reason, L"Objects of the drawing are open.");
  open->close();
  unlockDocument();
  EXPECT_FALSE(cadhost::undoLastGroup(db, reason));
  EXPECT_EQ(reason, L"The drawing is not locked.");
  AcAxDocLock lock(db);
  EXPECT_TRUE(cadhost::undoLastGroup(db, reason));
  EXPECT_EQ(textOf(text), L"before");
}

}  // namespace
