// Several TEXT entities edited as the lines of one block: each keystroke rewrites the lines, a
// new editor line clones the TEXT above it one line step lower, a removed line erases the
// bottom TEXT.
#include <cmath>

#include "../../cadhost/core/coreaccess.h"
#include "PluginHost.h"
#include "acdocman.h"

namespace plugintest {
namespace {

class TextListTest : public PluginTest {
 protected:
  // Three unrotated lines 3 units apart: y = 10, 7, 4.
  std::vector<AcDbObjectId> threeLines(const std::wstring& a, const std::wstring& b, const std::wstring& c) {
    return {addText(0, 10, a), addText(0, 7, b), addText(0, 4, c)};
  }
  std::vector<std::wstring> block() { return blockLines(); }
  using Lines = std::vector<std::wstring>;
};

TEST_F(TextListTest, AnEmptyMiddleLineLoadsAsAnEmptyEditorLine) {
  const auto ids = threeLines(L"top", L"", L"bottom");
  selection.pick(ids);
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(shown, L"top\r\rbottom");
}

TEST_F(TextListTest, EveryKeystrokeRewritesTheLinesUnderALockAndRefreshes) {
  const auto ids = threeLines(L"a", L"b", L"c");
  selection.pick(ids);
  cadhost::clearHostEvents();
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(3, 3);  // the end of the second line
    d.type(L"12");
  })}));
  EXPECT_EQ(block(), (Lines{L"a@10", L"b12@7", L"c@4"}));
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked), 2);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentUnlocked), 2);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::GraphicsFlushed), 2);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DisplayUpdated), 2);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
}

TEST_F(TextListTest, AnAlignedLineWithAFieldKeepsItsHeightWhileOtherLinesAreTyped) {
  setAuthor(L"JS");
  auto* aligned = new AcDbText(AcGePoint3d(0, 10, 0), L"%<\\AcVar Author>%", AcDbObjectId::kNull, 2.0);
  aligned->setHorizontalMode(AcDb::kTextAlign);
  aligned->setAlignmentPoint(AcGePoint3d(10, 10, 0));
  const AcDbObjectId field = append(aligned);
  evaluateFields(field);
  const double height = [&] {
    AcDbText* t = nullptr;
    acdbOpenObject(t, field, AcDb::kForRead);
    const double h = t->height();
    t->close();
    return h;
  }();
  selection.pick({field, addText(0, 7, L"b")});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(100000, 100000);
    d.type(L"123");  // three rewrites of every line
  })}));
  AcDbText* t = nullptr;
  ASSERT_EQ(acdbOpenObject(t, field, AcDb::kForRead), Acad::eOk);
  EXPECT_DOUBLE_EQ(t->height(), height);
  EXPECT_STREQ(t->textStringConst(), L"JS");
  t->close();
}

TEST_F(TextListTest, EnterAtTheEndCreatesATextOneLineStepBelowWithTheTemplatesProperties) {
  const AcDbObjectId layer = addLayer(L"Notes");
  AcAxDocLock lock(db);
  AcDbTextStyleTable* styles = nullptr;
  db->getTextStyleTable(styles, AcDb::kForWrite);
  auto* style = new AcDbTextStyleTableRecord;
  style->setName(L"Narrow");
  AcDbObjectId styleId;
  styles->add(styleId, style);
  style->close();
  styles->close();

  const AcDbObjectId first = addText(0, 10, L"first");
  auto* second = new AcDbText(AcGePoint3d(0, 7, 0), L"second", styleId, 3.0);
  second->setLayer(layer);
  second->setWidthFactor(0.8);
  second->setHorizontalMode(AcDb::kTextLeft);
  const AcDbObjectId secondId = append(second);
  selection.pick({first, secondId});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(13, 13);
    d.key(VK_RETURN, false, false, d.editor());
  })}));
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 3u);
  AcDbText* created = nullptr;
  ASSERT_EQ(acdbOpenObject(created, texts[2], AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(std::wstring(created->textStringConst()), L"");
  EXPECT_NEAR(created->position().y, 4.0, 1e-9);
  EXPECT_NEAR(created->position().x, 0.0, 1e-9);
  EXPECT_EQ(created->layerId(), layer);
  EXPECT_EQ(created->textStyle(), styleId);
  EXPECT_EQ(created->height(), 3.0);
  EXPECT_EQ(created->widthFactor(), 0.8);
  EXPECT_EQ(created->rotation(), 0.0);
  EXPECT_EQ(created->horizontalMode(), AcDb::kTextLeft);
  created->close();
}

TEST_F(TextListTest, ANewLineWithAFieldShowsItsValueAndKeepsItsCode) {
  setAuthor(L"J. Smith");
  const AcDbObjectId first = addText(0, 10, L"Drawn by:");
  selection.pick({first});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(100, 100);
                       SendMessageW(d.editor(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\r%<\\AcVar Author>%"));
                     }),
                     act([&](Dialog& d) { shown = d.editorText(); })}));
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(textOf(texts[1]), L"J. Smith") << "the new line's field is evaluated";
  EXPECT_EQ(shown, L"Drawn by:\r%<\\AcVar Author>%");
  selection.pick(texts);
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(shown, L"Drawn by:\r%<\\AcVar Author>%") << "the next run shows its code again";
}

TEST_F(TextListTest, SplittingTheSecondOfThreeLinesMovesTheTextsDownAndAddsABottomLine) {
  selection.pick(threeLines(L"one", L"twothree", L"four"));
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(7, 7);  // "one\rtwo|three"
    d.key(VK_RETURN, false, false, d.editor());
  })}));
  EXPECT_EQ(block(), (Lines{L"one@10", L"two@7", L"three@4", L"four@1"}));
}

TEST_F(TextListTest, DeletingAMiddleLineShiftsTheTextsUpAndErasesTheBottomText) {
  const auto ids = threeLines(L"one", L"two", L"three");
  selection.pick(ids);
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(4, 8);  // "two\r"
    d.key(VK_DELETE, false, false, d.editor());
  })}));
  EXPECT_EQ(block(), (Lines{L"one@10", L"three@7"}));
  EXPECT_TRUE(ids[2].isErased());
  EXPECT_FALSE(ids[1].isErased());
}

TEST_F(TextListTest, PastingFiveLinesOverOneCreatesFourEachBelowTheOneBefore) {
  const AcDbObjectId only = addText(5, 20, L"replace me", 2.0);
  selection.pick({only});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    setClipboardText(L"L1\r\nL2\r\nL3\r\nL4\r\nL5");
    d.select(0, -1);
    SendMessageW(d.editor(), WM_PASTE, 0, 0);
  })}));
  // A single TEXT starts with the host's standard spacing: 5/3 of its height.
  const double step = 2.0 * 5.0 / 3.0;
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 5u);
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(textOf(texts[i]), L"L" + std::to_wstring(i + 1));
    EXPECT_NEAR(positionOf(texts[i]).y, 20 - step * static_cast<double>(i), 1e-9) << i;
    EXPECT_NEAR(positionOf(texts[i]).x, 5, 1e-9);
  }
}

TEST_F(TextListTest, ClearingTheEditorLeavesOneEmptyTextAndErasesTheOthers) {
  const auto ids = threeLines(L"one", L"two", L"three");
  selection.pick(ids);
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(0, -1);
    d.key(VK_DELETE, false, false, d.editor());
  })}));
  EXPECT_EQ(textOf(ids[0]), L"");
  EXPECT_FALSE(ids[0].isErased());
  EXPECT_TRUE(ids[1].isErased());
  EXPECT_TRUE(ids[2].isErased());
}

TEST_F(TextListTest, ATextOnAPaperSpaceLayoutIsClonedIntoThatLayout) {
  const AcDbObjectId layout = paperSpace();
  const AcDbObjectId title = addText(100, 50, L"TITLE", 5.0, layout);
  selection.pick({title});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(5, 5);
    d.type(L"\rSUBTITLE");
  })}));
  EXPECT_TRUE(textsIn().empty());  // nothing in model space
  const std::vector<AcDbObjectId> texts = textsIn(layout);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(textOf(texts[1]), L"SUBTITLE");
  AcDbText* subtitle = nullptr;
  ASSERT_EQ(acdbOpenObject(subtitle, texts[1], AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(subtitle->ownerId(), layout);
  subtitle->close();
}

TEST_F(TextListTest, EqualNumbersOfLinesOnlyRewrite) {
  const auto ids = threeLines(L"a", L"b", L"c");
  selection.pick(ids);
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(0, 1);
    d.type(L"A");
  })}));
  EXPECT_EQ(block(), (Lines{L"A@10", L"b@7", L"c@4"}));
  EXPECT_EQ(textsIn().size(), 3u);
  for (AcDbObjectId id : ids) EXPECT_FALSE(id.isErased());
}

TEST_F(TextListTest, ACloneThatCannotBeAppendedIsDiscardedAndTheListStaysWhole) {
  // A TEXT whose owner is not a block (a damaged drawing): its clone has nowhere to go.
  const AcDbObjectId first = addText(0, 10, L"first");
  const AcDbObjectId stray = addText(0, 7, L"stray");
  const AcDbObjectId notABlock = addLayer(L"NotABlock");
  selection.pick({first, stray});
  const Adesk::Int64 objectsBefore = db->approxNumObjects();
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       // (made stray once selected: the host offers no entity outside a layout)
                       AcDbCore::setOwner(AcDbCore::object(stray), notABlock);
                       d.select(100, 100);
                       d.type(L"\r");
                     }),
                     act([&](Dialog& d) {
                       // The line that could not be added is gone from the editor again.
                       shown = d.editorText();
                       d.select(0, 0);
                       d.type(L"1");
                     })}));
  EXPECT_EQ(shown, L"first\rstray");
  EXPECT_NE(commandLine.find(L": eNotInBlock"), std::wstring::npos) << commandLine;
  EXPECT_EQ(db->approxNumObjects(), objectsBefore);  // no clone reached the drawing
  EXPECT_EQ(textOf(first), L"1first");
  EXPECT_EQ(textOf(stray), L"stray");
  EXPECT_EQ(textsIn().size(), 2u);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
}

}  // namespace
}  // namespace plugintest
