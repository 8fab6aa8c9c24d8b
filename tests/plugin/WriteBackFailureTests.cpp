// A change of the editor that the drawing cannot take whole (a line on a locked layer, an entity
// erased or held open by someone else) is refused: the failure is reported once, on a line of its
// own, nothing of the change reaches the drawing, and the editor shows the drawing's lines again.
// The drawing never holds a text the editor does not show, and never loses a line the user did
// not delete.
#include "PluginHost.h"

namespace plugintest {
namespace {

using Lines = std::vector<std::wstring>;

class WriteBackFailureTest : public PluginTest {
 protected:
  // Lines 3 units apart from y = 10 down; the first on a locked layer when asked.
  std::vector<AcDbObjectId> lines(const Lines& texts, bool firstLocked = false, bool lastLocked = false) {
    const AcDbObjectId locked = addLayer(L"Locked", true);
    std::vector<AcDbObjectId> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
      const bool onLocked = (i == 0 && firstLocked) || (i + 1 == texts.size() && lastLocked);
      ids.push_back(addText(0, 10 - 3.0 * static_cast<double>(i), texts[i], 2.5, AcDbObjectId::kNull,
                            onLocked ? locked : AcDbObjectId::kNull));
    }
    return ids;
  }
  static Step readEditor(std::wstring& into) {
    return act([&into](Dialog& d) { into = d.editorText(); });
  }
  bool reported(const std::wstring& status) const { return commandLine.find(L": " + status + L"\n") != std::wstring::npos; }
};

TEST_F(WriteBackFailureTest, DeletingALockedFirstLineWithItsBreakChangesNothing) {
  selection.pick(lines({L"X", L"Y", L"Z"}, true));
  std::wstring shown, status;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(0, 2);  // "X\r"
                       d.key(VK_DELETE, false, false, d.editor());
                     }),
                     readEditor(shown), act([&](Dialog& d) { status = d.statusPane(0); })}));
  EXPECT_EQ(status + L"\n", commandLine) << "the status bar shows the report too (the command line is behind)";
  EXPECT_EQ(blockLines(), (Lines{L"X@10", L"Y@7", L"Z@4"})) << "Y is not lost, X is not kept twice";
  EXPECT_EQ(shown, L"X\rY\rZ");
  EXPECT_EQ(failureReports(), 1) << commandLine;
  EXPECT_TRUE(reported(L"eOnLockedLayer")) << commandLine;
}

TEST_F(WriteBackFailureTest, EnterBeforeALockedLineChangesNothing) {
  selection.pick(lines({L"X", L"Y"}, true));
  std::wstring shown;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(0, 0);
                       d.key(VK_RETURN, false, false, d.editor());
                     }),
                     readEditor(shown)}));
  EXPECT_EQ(blockLines(), (Lines{L"X@10", L"Y@7"})) << "X is not in the drawing twice";
  EXPECT_EQ(shown, L"X\rY");
  EXPECT_EQ(failureReports(), 1) << commandLine;
}

TEST_F(WriteBackFailureTest, EnterAboveALockedLaterLineChangesNothing) {
  // The first line can be written; the change is refused before it is, as the locked second line
  // would have to take its text.
  selection.pick(lines({L"X", L"Y"}, false, true));
  std::wstring shown;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(0, 0);
                       d.key(VK_RETURN, false, false, d.editor());
                     }),
                     readEditor(shown)}));
  EXPECT_EQ(blockLines(), (Lines{L"X@10", L"Y@7"})) << "X is not lost";
  EXPECT_EQ(shown, L"X\rY");
  EXPECT_EQ(failureReports(), 1) << commandLine;
}

TEST_F(WriteBackFailureTest, TheFreeLinesOfABlockWithALockedLineAreStillWritten) {
  selection.pick(lines({L"X", L"Y", L"Z"}, true));
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(3, 3);  // the end of "Y"
    d.type(L"!");
  })}));
  EXPECT_EQ(blockLines(), (Lines{L"X@10", L"Y!@7", L"Z@4"}));
  EXPECT_EQ(failureReports(), 0) << "a line whose text did not change is not written";
}

TEST_F(WriteBackFailureTest, ANewLineBelowALockedLastLineIsNotCreated) {
  selection.pick(lines({L"A", L"X"}, false, true));
  std::wstring shown;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(100, 100);
                       d.key(VK_RETURN, false, false, d.editor());
                     }),
                     readEditor(shown)}));
  // Its clone would lie on the locked layer too and could not be placed.
  EXPECT_EQ(blockLines(), (Lines{L"A@10", L"X@7"}));
  EXPECT_EQ(shown, L"A\rX");
  EXPECT_TRUE(reported(L"eOnLockedLayer")) << commandLine;
}

TEST_F(WriteBackFailureTest, AnEntityErasedElsewhereIsReportedAndNothingElseIsWritten) {
  const auto ids = lines({L"A", L"B", L"C"});
  selection.pick(ids);
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog&) { eraseEntity(ids[1]); }), act([](Dialog& d) {
                       d.select(0, 5);  // "A\rB": both lines change
                       SendMessageW(d.editor(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"a\rb"));
                     }),
                     readEditor(shown)}));
  EXPECT_EQ(textOf(ids[0]), L"A") << "the change is refused whole";
  EXPECT_EQ(textOf(ids[2]), L"C");
  EXPECT_EQ(shown, L"A\rB\rC");
  EXPECT_TRUE(reported(L"eWasErased")) << commandLine;
}

TEST_F(WriteBackFailureTest, ALineHeldOpenElsewhereIsRefusedUntilItIsClosed) {
  const auto ids = lines({L"A", L"B"});
  selection.pick(ids);
  AcDbText* holder = nullptr;
  std::wstring whileHeld;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       ASSERT_EQ(acdbOpenObject(holder, ids[1], AcDb::kForRead), Acad::eOk);
                       d.select(2, 2);
                       d.type(L"x");
                     }),
                     act([&](Dialog& d) {
                       whileHeld = d.editorText();
                       holder->close();
                       d.select(2, 2);
                       d.type(L"y");
                     })}));
  EXPECT_EQ(whileHeld, L"A\rB");
  EXPECT_EQ(blockLines(), (Lines{L"A@10", L"yB@7"}));
  EXPECT_EQ(failureReports(), 1) << commandLine;
  EXPECT_TRUE(reported(L"eWasOpenForRead")) << commandLine;
}

TEST_F(WriteBackFailureTest, ALineToEraseThatIsHeldOpenKeepsEveryLine) {
  const auto ids = lines({L"A", L"B", L"C"});
  selection.pick(ids);
  AcDbText* holder = nullptr;
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       ASSERT_EQ(acdbOpenObject(holder, ids[2], AcDb::kForRead), Acad::eOk);
                       d.select(2, 4);  // "B\r"
                       d.key(VK_DELETE, false, false, d.editor());
                     }),
                     act([&](Dialog& d) {
                       shown = d.editorText();
                       holder->close();
                     })}));
  // Deleting B would write C into B's entity and erase C's: C's cannot be erased, so B stays too.
  EXPECT_EQ(blockLines(), (Lines{L"A@10", L"B@7", L"C@4"}));
  EXPECT_EQ(shown, L"A\rB\rC");
  for (AcDbObjectId id : ids) EXPECT_FALSE(id.isErased());
}

TEST_F(WriteBackFailureTest, EachReportEndsItsLine) {
  selection.pick(lines({L"X", L"Y"}, true));
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(0, 0);
    d.type(L"ab");  // two keystrokes, two refusals
  })}));
  const std::wstring report = commandLine.substr(0, commandLine.find(L'\n') + 1);
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report.rfind(L"!src/TEDialog@", 0), 0u) << commandLine;
  EXPECT_EQ(commandLine, report + report) << "each report on a line of its own";
  EXPECT_EQ(blockLines(), (Lines{L"X@10", L"Y@7"}));
}

TEST_F(WriteBackFailureTest, AnMTextOnALockedLayerKeepsItsTextAndTheEditorShowsIt) {
  const AcDbObjectId locked = addLayer(L"Locked", true);
  auto* mtext = new AcDbMText;
  mtext->setContents(L"first\\Psecond");
  mtext->setLayer(locked);
  const AcDbObjectId id = append(mtext);
  selection.pick({id});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(0, 0);
                       d.type(L"x");
                     }),
                     readEditor(shown)}));
  EXPECT_EQ(textOf(id), L"first\\Psecond");
  EXPECT_EQ(shown, L"first\rsecond");
  EXPECT_TRUE(reported(L"eOnLockedLayer")) << commandLine;
}

}  // namespace
}  // namespace plugintest
