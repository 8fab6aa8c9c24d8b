// TEXT lines in their own frame: the order of the lines, the line step, and Align X and Align Y,
// for rotated texts and every justification.
#include "PluginHost.h"

#include <commctrl.h>

#include <cmath>

namespace plugintest {
namespace {

constexpr double kTolerance = 1e-9;

class TextGeometryTest : public PluginTest {
 protected:
  AcDbObjectId text(double x, double y, const std::wstring& content, double rotation = 0,
                    AcDb::TextHorzMode h = AcDb::kTextLeft, AcDb::TextVertMode v = AcDb::kTextBase, double z = 0) {
    auto* t = new AcDbText(AcGePoint3d(x, y, z), content.c_str(), AcDbObjectId::kNull, 2.0, rotation);
    if (h != AcDb::kTextLeft || v != AcDb::kTextBase) {
      t->setHorizontalMode(h);
      t->setVerticalMode(v);
      if (h != AcDb::kTextAlign && h != AcDb::kTextFit) t->setAlignmentPoint(AcGePoint3d(x, y, z));
    }
    return append(t);
  }
  AcDbText* open(AcDbObjectId id) {
    AcDbText* t = nullptr;
    EXPECT_EQ(acdbOpenObject(t, id, AcDb::kForRead), Acad::eOk);
    return t;
  }
  AcGePoint3d alignmentOf(AcDbObjectId id) {
    AcDbText* t = open(id);
    const AcGePoint3d p = t->alignmentPoint();
    t->close();
    return p;
  }
  static Step command(int id) { return act([id](Dialog& d) { d.command(id); }); }
  static Step addLineAtEnd() {
    return act([](Dialog& d) {
      d.select(100000, 100000);
      d.key(VK_RETURN, false, false, d.editor());
    });
  }
};

TEST_F(TextGeometryTest, LinesAreOrderedTopFirstWhateverTheSelectionOrder) {
  const AcDbObjectId at4 = text(0, 4, L"four"), at10 = text(0, 10, L"ten"), at7 = text(0, 7, L"seven");
  selection.pick({at4, at10, at7});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), addLineAtEnd()}));
  EXPECT_EQ(shown, L"ten\rseven\rfour");
  // The spacing measured from the top two lines is 3: the new line goes to y = 1.
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_NEAR(positionOf(texts[3]).y, 1.0, kTolerance);
}

TEST_F(TextGeometryTest, LinesAtTheSameHeightKeepTheirSelectionOrder) {
  const AcDbObjectId b = text(0, 5, L"b"), a = text(20, 5, L"a"), top = text(0, 9, L"top");
  selection.pick({b, a, top});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(shown, L"top\rb\ra");
}

TEST_F(TextGeometryTest, ManyLinesOnFewHeightsKeepTheirSelectionOrderOnEachHeight) {
  // A table of notes: four rows of twenty cells, picked in a scattered order. Each row keeps the
  // order in which its cells were picked (enough lines that a sort that is not stable mixes them).
  std::vector<AcDbObjectId> picked;
  std::wstring expected[4];
  for (int i = 0; i < 80; ++i) {
    const int row = (i * 7) % 4;
    const std::wstring name = L"r" + std::to_wstring(row) + L"c" + std::to_wstring(i);
    picked.push_back(text((i * 13) % 50, 30.0 - 5.0 * row, name));
    expected[row] += (expected[row].empty() ? L"" : L"\r") + name;
  }
  selection.pick(picked);
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(shown, expected[0] + L"\r" + expected[1] + L"\r" + expected[2] + L"\r" + expected[3]);
}

TEST_F(TextGeometryTest, TwoFirstLinesAtOneHeightGiveSpacingZeroAndAlignYStacksEveryLineOnTheFirst) {
  const AcDbObjectId a = text(0, 5, L"a"), b = text(10, 5, L"b"), c = text(0, 1, L"c");
  selection.pick({a, b, c});
  EXPECT_TRUE(runTE({command(208)}));
  for (AcDbObjectId id : {a, b, c}) EXPECT_NEAR(positionOf(id).y, 5.0, kTolerance);
  EXPECT_NEAR(positionOf(b).x, 10.0, kTolerance);
}

TEST_F(TextGeometryTest, ForTextTurnedNinetyDegreesTheLeftmostLineIsTheTopAndNewLinesGoRight) {
  const double quarter = M_PI / 2;
  const AcDbObjectId middle = text(3, 0, L"middle", quarter), left = text(0, 0, L"left", quarter),
                     right = text(6, 0, L"right", quarter);
  selection.pick({middle, left, right});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), addLineAtEnd()}));
  EXPECT_EQ(shown, L"left\rmiddle\rright");
  std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_NEAR(positionOf(texts[3]).x, 9.0, kTolerance);
  EXPECT_NEAR(positionOf(texts[3]).y, 0.0, kTolerance);
}

TEST_F(TextGeometryTest, AlignXLinesUpEveryLineWithTheFirstAndKeepsHeightsAndZ) {
  const AcDbObjectId a = text(2, 10, L"a", 0, AcDb::kTextLeft, AcDb::kTextBase, 5.0);
  const AcDbObjectId b = text(7, 7, L"b", 0, AcDb::kTextLeft, AcDb::kTextBase, 6.0);
  const AcDbObjectId c = text(-3, 3, L"c", 0, AcDb::kTextLeft, AcDb::kTextBase, 7.0);
  selection.pick({a, b, c});
  EXPECT_TRUE(runTE({command(207)}));
  EXPECT_NEAR(positionOf(b).x, 2.0, kTolerance);
  EXPECT_NEAR(positionOf(c).x, 2.0, kTolerance);
  EXPECT_NEAR(positionOf(b).y, 7.0, kTolerance);
  EXPECT_NEAR(positionOf(c).y, 3.0, kTolerance);
  EXPECT_EQ(positionOf(a).z, 5.0);
  EXPECT_EQ(positionOf(b).z, 6.0);
  EXPECT_EQ(positionOf(c).z, 7.0);
}

TEST_F(TextGeometryTest, AlignYSpacesTheLinesEvenlyAndASecondAlignYChangesNothing) {
  const AcDbObjectId a = text(0, 10, L"a"), b = text(4, 8, L"b"), c = text(1, 2.5, L"c", 0, AcDb::kTextLeft,
                                                                                   AcDb::kTextBase, 3.0);
  selection.pick({a, b, c});
  AcGePoint3d afterFirst[3];
  EXPECT_TRUE(runTE({command(208), act([&](Dialog&) {
                       afterFirst[0] = positionOf(a);
                       afterFirst[1] = positionOf(b);
                       afterFirst[2] = positionOf(c);
                     }),
                     command(208)}));
  // The measured spacing is 2: lines at 10, 8, 6, the x coordinates as they were.
  EXPECT_NEAR(afterFirst[2].y, 6.0, kTolerance);
  EXPECT_NEAR(afterFirst[2].x, 1.0, kTolerance);
  EXPECT_EQ(afterFirst[2].z, 3.0);
  const AcDbObjectId ids[] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(positionOf(ids[i]).x, afterFirst[i].x, kTolerance);
    EXPECT_NEAR(positionOf(ids[i]).y, afterFirst[i].y, kTolerance);
  }
}

TEST_F(TextGeometryTest, AlignYWritesUnderItsOwnLockRefreshesTheDrawingAndRewritesTheCaret) {
  const AcDbObjectId a = text(0, 10, L"a"), b = text(0, 6, L"b"), c = text(0, 1, L"c");
  selection.pick({a, b, c});
  int locks = 0, flushes = 0, updates = 0;
  std::wstring caret;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }),
                     act([](Dialog& d) {
                       // (after the caret's own refresh) the pane is blanked: only Align Y can fill it
                       SendMessageW(d.item(217), SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(L"?"));
                       cadhost::clearHostEvents();
                       d.command(208);
                     }),
                     act([&](Dialog& d) {
                       locks = cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked);
                       flushes = cadhost::countHostEvents(cadhost::HostEventKind::GraphicsFlushed);
                       updates = cadhost::countHostEvents(cadhost::HostEventKind::DisplayUpdated);
                       caret = d.statusPane(3);
                     })}));
  EXPECT_NEAR(positionOf(c).y, 2.0, kTolerance) << "moved: the host takes writes only under a lock";
  EXPECT_EQ(locks, 1);
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(caret, russianUser() ? L"Стр:1, Кол:1" : L"Ln 1, Col 1");
}

TEST_F(TextGeometryTest, AlignedAndFitTextsMoveBothEndsOfTheirBaseline) {
  const AcDbObjectId first = text(0, 10, L"first");
  auto* aligned = new AcDbText(AcGePoint3d(5, 6, 0), L"aligned", AcDbObjectId::kNull, 2.0);
  aligned->setHorizontalMode(AcDb::kTextAlign);
  aligned->setAlignmentPoint(AcGePoint3d(15, 7, 0));
  const AcDbObjectId alignedId = append(aligned);
  auto* fit = new AcDbText(AcGePoint3d(-4, 2, 0), L"fit", AcDbObjectId::kNull, 2.0);
  fit->setHorizontalMode(AcDb::kTextFit);
  fit->setAlignmentPoint(AcGePoint3d(6, 2, 0));
  const AcDbObjectId fitId = append(fit);
  selection.pick({first, alignedId, fitId});
  EXPECT_TRUE(runTE({command(207)}));
  EXPECT_NEAR(positionOf(alignedId).x, 0.0, kTolerance);
  EXPECT_NEAR(positionOf(alignedId).y, 6.0, kTolerance);
  EXPECT_NEAR(alignmentOf(alignedId).x, 10.0, kTolerance);
  EXPECT_NEAR(alignmentOf(alignedId).y, 7.0, kTolerance);
  EXPECT_NEAR(positionOf(fitId).x, 0.0, kTolerance);
  EXPECT_NEAR(alignmentOf(fitId).x, 10.0, kTolerance);
  EXPECT_NEAR(alignmentOf(fitId).y, 2.0, kTolerance);
}

TEST_F(TextGeometryTest, AlignedTextsWithAVerticalModeAreStillPlacedByTheirBaseline) {
  // Aligned text is placed by its baseline whatever its vertical mode: a new line goes one step
  // straight below its template, both ends of its baseline moved alike.
  const AcDbObjectId top = text(0, 10, L"top", 0, AcDb::kTextAlign, AcDb::kTextVertMid);
  const AcDbObjectId below = text(0, 5, L"below", 0, AcDb::kTextAlign, AcDb::kTextVertMid);
  AcAxDocLock lock(db);
  for (AcDbObjectId id : {top, below}) {
    AcDbText* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    t->setAlignmentPoint(AcGePoint3d(20, t->position().y, 0));
    t->close();
  }
  selection.pick({top, below});
  EXPECT_TRUE(runTE({addLineAtEnd()}));
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NEAR(positionOf(texts[2]).x, 0.0, kTolerance);
  EXPECT_NEAR(positionOf(texts[2]).y, 0.0, kTolerance);
  EXPECT_NEAR(alignmentOf(texts[2]).x, 20.0, kTolerance);
  EXPECT_NEAR(alignmentOf(texts[2]).y, 0.0, kTolerance);
}

TEST_F(TextGeometryTest, JustifiedTextsAreMovedByTheirAlignmentPoint) {
  // A centred first line: every line's own anchor lines up on its alignment point.
  const AcDbObjectId centred = text(20, 10, L"centred", 0, AcDb::kTextCenter);
  const AcDbObjectId right = text(35, 7, L"right", 0, AcDb::kTextRight);
  const AcDbObjectId middle = text(5, 4, L"middle", 0, AcDb::kTextMid);
  const AcDbObjectId topLeft = text(-8, 1, L"top left", 0, AcDb::kTextLeft, AcDb::kTextTop);
  selection.pick({centred, right, middle, topLeft});
  EXPECT_TRUE(runTE({command(207)}));
  for (AcDbObjectId id : {right, middle, topLeft}) EXPECT_NEAR(alignmentOf(id).x, 20.0, kTolerance);
  EXPECT_NEAR(alignmentOf(right).y, 7.0, kTolerance);
  EXPECT_NEAR(alignmentOf(topLeft).y, 1.0, kTolerance);
}

TEST_F(TextGeometryTest, LinesOfDifferentRotationsAndANegativeSpacing) {
  // The order follows the first selected line's direction (unrotated: higher y first); the
  // geometry after it follows the new top line, turned 90 degrees, whose frame measures the
  // second line above it: the spacing is negative and Align Y stacks the lines upwards.
  const double quarter = M_PI / 2;
  const AcDbObjectId low = text(-5, 0, L"low");
  const AcDbObjectId high = text(0, 10, L"high", quarter);
  const AcDbObjectId lowest = text(-9, -4, L"lowest");
  selection.pick({low, high, lowest});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), command(208)}));
  EXPECT_EQ(shown, L"high\rlow\rlowest");
  // In the top line's frame b(P) = -x: b(high) = 0, b(low) = 5, so the spacing is -5. Line i goes
  // to b = 0 - i * (-5), that is x = -5 i, its along coordinate (y) unchanged.
  EXPECT_NEAR(positionOf(low).x, -5.0, kTolerance);
  EXPECT_NEAR(positionOf(low).y, 0.0, kTolerance);
  EXPECT_NEAR(positionOf(lowest).x, -10.0, kTolerance);
  EXPECT_NEAR(positionOf(lowest).y, -4.0, kTolerance);
}

TEST_F(TextGeometryTest, ASingleTextStillLocksRefreshesAndShowsTheCaret) {
  const AcDbObjectId only = text(3, 3, L"alone");
  selection.pick({only});
  std::wstring pane;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(2, 2);
                       SendMessageW(d.item(217), SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(L"-"));
                     }),
                     act([](Dialog& d) { cadhost::clearHostEvents(); d.command(32783); }),
                     act([&](Dialog& d) { pane = d.statusPane(3); })}));
  EXPECT_EQ(pane, russianUser() ? L"Стр:1, Кол:3" : L"Ln 1, Col 3");
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked), 1);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::GraphicsFlushed), 1);
  EXPECT_NEAR(positionOf(only).x, 3.0, kTolerance);
}

TEST_F(TextGeometryTest, AlignCommandsDoNothingForMTextAndDimensions) {
  selection.pick({addMText(L"note")});
  EXPECT_TRUE(runTE({act([](Dialog&) { cadhost::clearHostEvents(); }), command(207), command(208),
                     command(32783), command(32784)}));
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked), 0);
  selection.pick({addDimension(L"")});
  bool buttonsEnabled = true;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       cadhost::clearHostEvents();
                       buttonsEnabled = IsWindowEnabled(d.item(207)) || IsWindowEnabled(d.item(208));
                     }),
                     command(32783), command(32784)}));
  EXPECT_FALSE(buttonsEnabled);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked), 0);
}

}  // namespace
}  // namespace plugintest
