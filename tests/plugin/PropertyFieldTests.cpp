// The style list and the height, line space and width fields above the editor: what they show
// for the selected lines or the single entity, and how a choice or a typed value reaches the
// drawing (and its saved file) at once.
#include <windows.h>

#include "../../cadhost/dxf/dxffile.h"
#include "PluginHost.h"
#include "acedads.h"

namespace plugintest {
namespace {

constexpr int kStyleList = 204, kHeight = 206, kLineSpace = 205, kWidth = 216;
constexpr int kFastYAlign = 32789;

class PropertyFieldTest : public FreshSettingsTest {  // (fast Y align, where a test turns it on)
 protected:
  AcDbObjectId addStyle(const std::wstring& name) {
    AcAxDocLock lock(db);
    AcDbTextStyleTable* styles = nullptr;
    EXPECT_EQ(db->getTextStyleTable(styles, AcDb::kForWrite), Acad::eOk);
    auto* style = new AcDbTextStyleTableRecord;
    style->setName(name.c_str());
    AcDbObjectId id;
    EXPECT_EQ(styles->add(id, style), Acad::eOk);
    style->close();
    styles->close();
    return id;
  }
  AcDbObjectId text(double y, const std::wstring& content, double height, AcDbObjectId style = AcDbObjectId::kNull,
                    double widthFactor = 1.0) {
    auto* t = new AcDbText(AcGePoint3d(0, y, 0), content.c_str(), style, height);
    t->setWidthFactor(widthFactor);
    return append(t);
  }
  template <class T, class Get>
  auto property(AcDbObjectId id, Get get) {
    T* entity = nullptr;
    EXPECT_EQ(acdbOpenObject(entity, id, AcDb::kForRead), Acad::eOk);
    const auto value = get(entity);
    entity->close();
    return value;
  }
  double heightOf(AcDbObjectId id) { return property<AcDbText>(id, [](AcDbText* t) { return t->height(); }); }
  AcDbObjectId styleOf(AcDbObjectId id) { return property<AcDbText>(id, [](AcDbText* t) { return t->textStyle(); }); }
  static std::wstring distance(double value) {
    wchar_t text[64];
    acdbRToS(value, -1, -1, text);
    return text;
  }
  static std::wstring fieldText(Dialog& d, int id) {
    wchar_t text[64] = {};
    GetWindowTextW(d.item(id), text, 64);
    return text;
  }
  // Waits for the fields to follow the selection (the refresh is posted).
  static Step selectAndSettle(int start, int end) {
    return act([start, end](Dialog& d) { d.select(start, end); });
  }
  static Step typeInField(int id, const std::wstring& text) {
    return act([id, text](Dialog& d) {
      SendMessageW(d.item(id), EM_SETSEL, 0, -1);
      d.typeInto(id, text);
    });
  }
  static Step chooseStyle(const std::wstring& name) {
    return act([name](Dialog& d) {
      const HWND list = d.item(kStyleList);
      SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
      SendMessageW(d.hwnd, WM_COMMAND, MAKEWPARAM(kStyleList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    });
  }
};

TEST_F(PropertyFieldTest, MixedHeightsShowAnEmptyFieldAndATypedHeightSetsEverySelectedLine) {
  const AcDbObjectId a = text(10, L"small", 2.5), b = text(7, L"large", 3.5), c = text(4, L"apart", 2.5);
  selection.pick({a, b, c});
  std::wstring mixed, single;
  EXPECT_TRUE(runTE({selectAndSettle(0, 8), settle(),  // "small\rla": the first two lines
                     act([&](Dialog& d) { mixed = fieldText(d, kHeight); }), typeInField(kHeight, L"5"), settle(),
                     selectAndSettle(2, 2), settle(), act([&](Dialog& d) { single = fieldText(d, kHeight); })}));
  EXPECT_EQ(mixed, L"");
  EXPECT_EQ(heightOf(a), 5.0);
  EXPECT_EQ(heightOf(b), 5.0);
  EXPECT_EQ(heightOf(c), 2.5) << "a line outside the selection keeps its height";
  EXPECT_EQ(single, distance(5.0));
}

TEST_F(PropertyFieldTest, MixedStylesLeaveTheListUnselectedAndAChoiceSetsEverySelectedLine) {
  const AcDbObjectId narrow = addStyle(L"Narrow"), wide = addStyle(L"Wide");
  const AcDbObjectId a = text(10, L"a", 2.5, narrow), b = text(7, L"b", 2.5, wide);
  selection.pick({a, b});
  int mixed = 0, single = -1;
  std::wstring singleName;
  EXPECT_TRUE(runTE({selectAndSettle(0, -1), settle(),
                     act([&](Dialog& d) { mixed = static_cast<int>(SendMessageW(d.item(kStyleList), CB_GETCURSEL, 0, 0)); }),
                     chooseStyle(L"Wide"), settle(), selectAndSettle(0, 0), settle(), act([&](Dialog& d) {
                       single = static_cast<int>(SendMessageW(d.item(kStyleList), CB_GETCURSEL, 0, 0));
                       wchar_t name[64] = {};
                       GetWindowTextW(d.item(kStyleList), name, 64);
                       singleName = name;
                     })}));
  EXPECT_EQ(mixed, CB_ERR) << "no item selected";
  EXPECT_EQ(styleOf(a), wide);
  EXPECT_EQ(styleOf(b), wide);
  EXPECT_NE(single, CB_ERR);
  EXPECT_EQ(singleName, L"Wide");
}

// The names the style list shows, in its order.
std::vector<std::wstring> stylesListed(Dialog& d) {
  std::vector<std::wstring> listed;
  const HWND list = d.item(kStyleList);
  const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t name[64] = {};
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
    listed.push_back(name);
  }
  return listed;
}

TEST_F(PropertyFieldTest, TheStyleListIsSortedAndNamesEveryStyle) {
  addStyle(L"Zeta");
  addStyle(L"Alpha");
  selection.pick({text(0, L"a", 2.5)});
  std::vector<std::wstring> listed;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    listed = stylesListed(d);
  })}));
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"Alpha", L"Standard", L"Zeta"}));
}

// A style that cannot be opened while the list is filled (another command holds it open for
// write) is left out without a report; the others are listed, sorted.
TEST_F(PropertyFieldTest, AStyleThatCannotBeOpenedIsLeftOutOfTheSortedList) {
  addStyle(L"Zeta");
  const AcDbObjectId busy = addStyle(L"Busy");
  addStyle(L"Alpha");
  AcDbTextStyleTableRecord* held = nullptr;
  {
    AcAxDocLock lock(db);
    ASSERT_EQ(acdbOpenObject(held, busy, AcDb::kForWrite), Acad::eOk);
  }
  selection.pick({text(0, L"a", 2.5)});
  std::vector<std::wstring> listed;
  const ::testing::AssertionResult shown = runTE({act([&](Dialog& d) {
    listed = stylesListed(d);
  })});
  {
    AcAxDocLock lock(db);
    held->close();
  }
  EXPECT_TRUE(shown);
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"Alpha", L"Standard", L"Zeta"}));
  EXPECT_EQ(failureReports(), 0) << commandLine;
}

TEST_F(PropertyFieldTest, ACaretIsAOneLineRange) {
  const AcDbObjectId a = text(10, L"first", 2.5, AcDbObjectId::kNull, 0.8), b = text(7, L"second", 3.0);
  selection.pick({a, b});
  std::wstring height, width;
  EXPECT_TRUE(runTE({selectAndSettle(8, 8), settle(), act([&](Dialog& d) {
                       height = fieldText(d, kHeight);
                       width = fieldText(d, kWidth);
                     }),
                     typeInField(kWidth, L"0.5")}));
  EXPECT_EQ(height, distance(3.0));
  EXPECT_EQ(width, distance(1.0));
  EXPECT_EQ(property<AcDbText>(b, [](AcDbText* t) { return t->widthFactor(); }), 0.5);
  EXPECT_EQ(property<AcDbText>(a, [](AcDbText* t) { return t->widthFactor(); }), 0.8);
}

TEST_F(PropertyFieldTest, ForADimensionTheStyleListAndTheHeightActOnItAndTheOtherFieldsAreGrey) {
  const AcDbObjectId mono = addStyle(L"Mono");
  const AcDbObjectId dimension = addDimension(L"<>");
  selection.pick({dimension});
  bool lineSpaceEnabled = true, widthEnabled = true;
  std::wstring lineSpace = L"?", width = L"?";
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       lineSpaceEnabled = IsWindowEnabled(d.item(kLineSpace)) != FALSE;
                       widthEnabled = IsWindowEnabled(d.item(kWidth)) != FALSE;
                       lineSpace = fieldText(d, kLineSpace);
                       width = fieldText(d, kWidth);
                     }),
                     typeInField(kHeight, L"4"), chooseStyle(L"Mono")}));
  EXPECT_FALSE(lineSpaceEnabled);
  EXPECT_FALSE(widthEnabled);
  EXPECT_EQ(lineSpace, L"");
  EXPECT_EQ(width, L"");
  EXPECT_EQ(property<AcDbDimension>(dimension, [](AcDbDimension* d) { return d->dimtxt(); }), 4.0);
  EXPECT_EQ(property<AcDbDimension>(dimension, [](AcDbDimension* d) { return d->dimtxsty(); }), mono);
}

TEST_F(PropertyFieldTest, AnMTextLineSpacingFactorInArchitecturalUnitsShowsAndReadsAsADistance) {
  {
    AcAxDocLock lock(db);
    ASSERT_EQ(db->setLunits(4), Acad::eOk);
  }
  const AcDbObjectId mtext = addMText(L"one\\Ptwo");
  selection.pick({mtext});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = fieldText(d, kLineSpace); }), typeInField(kLineSpace, L"2\"")}));
  EXPECT_EQ(shown, distance(1.0));
  EXPECT_EQ(property<AcDbMText>(mtext, [](AcDbMText* m) { return m->lineSpacingFactor(); }), 2.0);
}

TEST_F(PropertyFieldTest, EachValueThatConvertsIsAppliedAsItIsTyped) {
  const AcDbObjectId a = text(10, L"a", 2.5);
  selection.pick({a});
  std::vector<double> heights;
  auto record = [&](const wchar_t* c) {
    return std::vector<Step>{act([c](Dialog& d) { d.typeInto(kHeight, c); }), settle(2),
                             act([&](Dialog&) { heights.push_back(heightOf(a)); })};
  };
  std::vector<Step> steps{act([](Dialog& d) { SendMessageW(d.item(kHeight), EM_SETSEL, 0, -1); })};
  for (const wchar_t* c : {L"1", L".", L"5"})
    for (Step& s : record(c)) steps.push_back(s);
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(heights, (std::vector<double>{1.0, 1.0, 1.5}));
}

TEST_F(PropertyFieldTest, AValueTheDrawingRefusesChangesNothingAndIsNotShownAsApplied) {
  const AcDbObjectId a = text(10, L"a", 2.5);
  selection.pick({a});
  const std::wstring refused = russianUser() ? L"Чертёж не принимает это значение" : L"The drawing does not take this value";
  std::wstring status, afterEnter;
  EXPECT_TRUE(runTE({act([](Dialog& d) { SetFocus(d.item(kHeight)); }), typeInField(kHeight, L"0"), settle(),
                     act([&](Dialog& d) {
                       status = d.statusPane(0);
                       d.key(VK_RETURN, false, false, d.item(kHeight));
                     }),
                     settle(), act([&](Dialog& d) { afterEnter = fieldText(d, kHeight); })}));
  EXPECT_EQ(heightOf(a), 2.5);
  EXPECT_EQ(status, refused);
  EXPECT_EQ(afterEnter, distance(2.5)) << "leaving the field shows the height in force";
}

TEST_F(PropertyFieldTest, ALockedLineInTheSelectionRefusesTheWholeChangeAndTheStatusBarSaysWhy) {
  const AcDbObjectId locked = addLayer(L"Locked", true);
  const AcDbObjectId a = text(10, L"free", 2.5);
  auto* fixed = new AcDbText(AcGePoint3d(0, 7, 0), L"fixed", AcDbObjectId::kNull, 2.5);
  fixed->setLayer(locked);
  const AcDbObjectId b = append(fixed);
  selection.pick({a, b});
  std::wstring status;
  EXPECT_TRUE(runTE({selectAndSettle(0, -1), settle(), typeInField(kHeight, L"4"), settle(),
                     act([&](Dialog& d) { status = d.statusPane(0); })}));
  EXPECT_EQ(heightOf(a), 2.5) << "whole or not at all";
  EXPECT_EQ(heightOf(b), 2.5);
  EXPECT_EQ(status.rfind(L"!src/TEDialog@", 0), 0u) << status;
  EXPECT_NE(status.find(L"eOnLockedLayer"), std::wstring::npos) << status;
}

TEST_F(PropertyFieldTest, WithFastYAlignOnANewLineSpacingReSpacesTheLinesAtOnce) {
  const AcDbObjectId a = text(10, L"a", 2.5), b = text(8, L"b", 2.5), c = text(1, L"c", 2.5);
  selection.pick({a, b, c});
  double withoutOption = 0;
  EXPECT_TRUE(runTE({typeInField(kLineSpace, L"4"), settle(), act([&](Dialog& d) {
                       withoutOption = positionOf(c).y;
                       d.command(kFastYAlign);
                     }),
                     typeInField(kLineSpace, L"3")}));
  EXPECT_NEAR(withoutOption, 1.0, 1e-9) << "the option off: the spacing waits for Align Y";
  EXPECT_NEAR(positionOf(b).y, 7.0, 1e-9);
  EXPECT_NEAR(positionOf(c).y, 4.0, 1e-9);
}

TEST_F(PropertyFieldTest, AChangedPropertyReachesTheSavedDrawing) {
  const AcDbObjectId a = text(10, L"a", 2.5);
  selection.pick({a});
  EXPECT_TRUE(runTE({typeInField(kHeight, L"6.25")}));
  std::string bytes;
  const cadhost::dxf::WriteResult written = cadhost::dxf::writeDrawingToMemory(db, bytes);
  ASSERT_TRUE(written.ok) << written.report();
  cadhost::dxf::ReadResult read = cadhost::dxf::readDrawingFromMemory(bytes.data(), bytes.size(), L"saved.dxf");
  ASSERT_NE(read.database, nullptr) << read.report();
  AcDbDatabase* saved = read.database.get();
  AcDbObjectId again;
  ASSERT_EQ(saved->getAcDbObjectId(again, false, a.handle()), Acad::eOk);
  AcDbText* t = nullptr;
  ASSERT_EQ(acdbOpenObject(t, again, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(t->height(), 6.25);
  t->close();
}

}  // namespace
}  // namespace plugintest
