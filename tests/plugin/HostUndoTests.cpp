// Undo of a whole command, as a user meets it: TE opens with the whole text selected, the first
// keystroke replaces every line, Enter adds one; U takes the whole run back (the notes return with
// their handles and places, the lines TE made are gone), the view shows the drawing as it was, a
// save holds the bytes the drawing file held, and REDO gives the run back.
#include "HostWindowDriver.h"

namespace plugintest {
namespace {

class HostUndoTest : public HostWindowTest {
 protected:
  // TE on the GENERAL NOTES lines of the sample: the first keystroke replaces the five lines with
  // one, Enter adds a second.
  void replaceTheNotes() {
    cadhost::setPickFirst(notes);
    ASSERT_TRUE(runTE({act([](Dialog& d) {
      d.select(0, -1);  // as the editor opens: everything selected
      d.type(L"REPLACED\rADDED");
    }),
                       waitUntil([](Dialog& d) { return d.editorText() == L"REPLACED\rADDED\r" || d.editorText() == L"REPLACED\rADDED"; })}));
  }
  std::vector<std::wstring> notesText() {
    std::vector<std::wstring> texts;
    for (AcDbObjectId id : notes) texts.push_back(id.isErased() ? L"<erased>" : textOf(id));
    return texts;
  }
  std::vector<AcDbObjectId> notes;
};

TEST_F(HostUndoTest, UndoTakesBackAWholeRunOfTeAndASaveHoldsTheBytesOfTheFile) {
  const std::string sheet = openSample();
  notes = textsStartingWith(L"GENERAL NOTES");
  for (const wchar_t* start : {L"1. ALL", L"2. DO NOT", L"3. CHECK", L"4. REPORT"}) notes.push_back(textsStartingWith(start).at(0));
  const std::vector<std::wstring> before = notesText();
  std::vector<AcGePoint3d> places;
  for (AcDbObjectId id : notes) places.push_back(positionOf(id));
  const std::vector<COLORREF> pixelsBefore = window().view().screenPixels();

  replaceTheNotes();
  EXPECT_EQ(textsStartingWith(L"REPLACED").size(), 1u);
  const std::vector<AcDbObjectId> added = textsStartingWith(L"ADDED");
  ASSERT_EQ(added.size(), 1u);
  int erased = 0;
  for (AcDbObjectId id : notes) erased += id.isErased() ? 1 : 0;
  EXPECT_GE(erased, 3);  // the lines that were replaced by nothing went

  const std::string copy = folder() + "/after-undo.dxf";
  std::remove(copy.c_str());
  WindowDriver user(window());
  EXPECT_TRUE(runSession({[&] { user.enter(L"U"); return true; },
                          [&] { user.enter(L"SAVEAS " + windowsPath(copy)); return true; }}));
  // The notes are back, the same entities where they were; what TE made is gone.
  EXPECT_EQ(notesText(), before);
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(positionOf(notes[i]).y, places[i].y);
  EXPECT_TRUE(added[0].isErased());
  EXPECT_TRUE(textsStartingWith(L"REPLACED").empty());
  EXPECT_EQ(readBytes(copy), readBytes(sheet)) << "the drawing saved after the undo differs from its file";
  // And the view shows the drawing as it was before TE.
  const std::vector<COLORREF> pixelsAfter = window().view().screenPixels();
  const RECT differing = differingPixels(pixelsBefore, pixelsAfter, window().view().transform().width);
  EXPECT_TRUE(IsRectEmpty(&differing)) << "pixels differ in " << differing.left << "," << differing.top << " - "
                                       << differing.right << "," << differing.bottom;
  EXPECT_NE(user.history().find(L"Command: U\nUndo TE\n"), std::wstring::npos) << user.history();

  // REDO gives the run back, UNDO takes it again; with nothing left to undo, the host says so.
  EXPECT_TRUE(runSession({[&] { user.enter(L"REDO"); return true; }}));
  EXPECT_EQ(textsStartingWith(L"REPLACED").size(), 1u);
  EXPECT_FALSE(added[0].isErased());
  EXPECT_TRUE(runSession({[&] { user.enter(L"UNDO"); return true; },
                          [&] { user.enter(L"3"); return true; }}));
  EXPECT_EQ(notesText(), before);
  EXPECT_NE(user.history().find(L"Undo TE\nNothing to undo.\n"), std::wstring::npos) << user.history();
}

TEST_F(HostUndoTest, TheHostsOwnCommandsThatChangeTheDrawingAreUndoneToo) {
  openSample();
  WindowDriver user(window());
  const Adesk::Int16 units = db->lunits();
  EXPECT_TRUE(runSession({[&] { user.enter(L"SETVAR LUNITS 4"); return true; },
                          [&] { user.enter(L"-LAYER FREEZE A-ANNO-NOTE"); return true; }}));
  EXPECT_EQ(db->lunits(), 4);
  const POINT note = user.at(13800, 8910);
  EXPECT_TRUE(window().view().pickAt(note.x, note.y).isNull());
  EXPECT_TRUE(runSession({[&] { user.enter(L"U"); return true; }}));
  EXPECT_FALSE(window().view().pickAt(note.x, note.y).isNull()) << "the layer is still frozen";
  EXPECT_EQ(db->lunits(), 4);
  EXPECT_TRUE(runSession({[&] { user.enter(L"U"); return true; }}));
  EXPECT_EQ(db->lunits(), units);
  const std::wstring history = user.history();
  EXPECT_NE(history.find(L"Undo -LAYER\n"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Undo SETVAR\n"), std::wstring::npos) << history;
}

}  // namespace
}  // namespace plugintest
