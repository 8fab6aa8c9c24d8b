// The host's main window as a CAD user works it, with real mouse and keyboard messages: picks,
// windows and crossing windows select what they show (rotated and justified text included),
// Shift takes out; the "Select objects:" prompt takes the mouse; a keystroke in TE's editor
// repaints the view where the note stands and nowhere else; ZOOM Extents frames every entity; the
// command line shows a module's messages, recalls lines and cancels; layers that are off hide
// what is on them; an entity on a locked layer can be selected.
#include <cmath>

#include "HostWindowDriver.h"
#include "PluginHost.h"
#include "acdocman.h"
#include "acedads.h"
#include "acutads.h"

namespace plugintest {
namespace {

bool contains(const std::vector<AcDbObjectId>& ids, AcDbObjectId id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The GENERAL NOTES panel of the sample: its frame and where its lines stand.
constexpr double kPanelLeft = 13400, kPanelRight = 22000, kPanelTop = 9200, kPanelBottom = 7120;

TEST_F(HostWindowTest, PickWindowAndCrossingSelectWhatTheViewShows) {
  // A long text turned by 45 degrees, a text right-justified at x = 300, a line well away.
  const AcDbObjectId turned = addJustifiedText(0, 0, L"TURNED NOTE TEXT", AcDb::kTextLeft, AcDb::kTextBase, M_PI / 4);
  const AcDbObjectId right = addJustifiedText(300, 0, L"RIGHT", AcDb::kTextRight, AcDb::kTextBase);
  const AcDbObjectId line = append(new AcDbLine(AcGePoint3d(0, 200, 0), AcGePoint3d(300, 200, 0)));
  show();
  WindowDriver mouse(window());

  // On the turned text's characters; off them but inside the box that holds the turned text.
  const double along = 30, up = 4;  // well inside its first letters
  mouse.click(mouse.at(along * std::cos(M_PI / 4) - up * std::sin(M_PI / 4), along * std::sin(M_PI / 4) + up * std::cos(M_PI / 4)));
  EXPECT_EQ(cadhost::pickFirst(), std::vector<AcDbObjectId>{turned});
  mouse.key(VK_ESCAPE);  // lets the selection go
  EXPECT_TRUE(cadhost::pickFirst().empty());
  mouse.click(mouse.at(80, 8));  // takes nothing (and begins a window, which Escape ends)
  EXPECT_TRUE(cadhost::pickFirst().empty()) << "a pick off the turned text took it";
  mouse.key(VK_ESCAPE);

  // The right-justified text ends at its alignment point.
  mouse.click(mouse.at(296, 4));
  EXPECT_EQ(cadhost::pickFirst(), std::vector<AcDbObjectId>{right});
  mouse.click(mouse.at(330, 4));  // beyond its end: nothing more
  EXPECT_EQ(cadhost::pickFirst(), std::vector<AcDbObjectId>{right});
  mouse.key(VK_ESCAPE);
  mouse.click(mouse.at(296, 4));
  mouse.click(mouse.at(296, 4), true);  // Shift takes it out
  EXPECT_TRUE(cadhost::pickFirst().empty());

  // A window from left to right takes what lies wholly inside it: the right text, not the turned
  // text it holds part of.
  mouse.drag(mouse.at(20, -20), mouse.at(340, 30));
  EXPECT_EQ(cadhost::pickFirst(), std::vector<AcDbObjectId>{right});
  cadhost::clearPickFirst();
  // The same box from right to left: a crossing window, which takes what it touches.
  mouse.drag(mouse.at(340, 30), mouse.at(20, -20));
  std::vector<AcDbObjectId> crossed = cadhost::pickFirst();
  EXPECT_TRUE(contains(crossed, right) && contains(crossed, turned) && !contains(crossed, line)) << crossed.size();
  // A crossing window through the line alone; Shift takes what it touches out again.
  mouse.drag(mouse.at(160, 210), mouse.at(140, 190));
  EXPECT_TRUE(contains(cadhost::pickFirst(), line));
  mouse.drag(mouse.at(160, 210), mouse.at(140, 190), true);
  EXPECT_FALSE(contains(cadhost::pickFirst(), line));
  EXPECT_EQ(cadhost::pickFirst().size(), 2u);
  // Escape at the Command prompt lets the selection go.
  mouse.key(VK_ESCAPE);
  EXPECT_TRUE(cadhost::pickFirst().empty());
}

TEST_F(HostWindowTest, TheWheelZoomsAboutTheCursorTheMiddleButtonPansAndTheStatusBarSaysWhere) {
  append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1000, 500, 0)));
  show();
  WindowDriver user(window());
  const cadhost::app::DrawingView& view = window().view();
  const POINT p = user.at(700, 300);
  const cadhost::app::Point2 under = view.transform().toDrawing(p.x, p.y);
  const double scale = view.transform().scale;
  user.wheel(p, 2);
  EXPECT_NEAR(view.transform().scale, scale * 1.25 * 1.25, scale * 1e-9);
  const cadhost::app::Point2 stillUnder = view.transform().toDrawing(p.x, p.y);
  EXPECT_NEAR(stillUnder.x, under.x, 1e-6);
  EXPECT_NEAR(stillUnder.y, under.y, 1e-6);
  user.pan(p, POINT{p.x + 40, p.y - 25});
  const cadhost::app::Point2 moved = view.transform().toDrawing(p.x + 40, p.y - 25);
  EXPECT_NEAR(moved.x, under.x, 1e-6);
  EXPECT_NEAR(moved.y, under.y, 1e-6);
  {
    AcAxDocLock lock(db);
    db->setLuprec(3);
  }
  user.move(p);
  const cadhost::app::Point2 at = view.transform().toDrawing(p.x, p.y);
  ACHAR x[64], y[64];
  acdbRToS(at.x, db->lunits(), 3, x);
  acdbRToS(at.y, db->lunits(), 3, y);
  EXPECT_EQ(window().statusText(0), std::wstring(x) + L", " + y);
  EXPECT_NE(window().statusText(0).find(L'.'), std::wstring::npos);
}

TEST_F(HostWindowTest, TheSelectObjectsPromptTakesPicksWindowsAndTypedAnswers) {
  const AcDbObjectId first = addText(0, 0, L"FIRST NOTE", 10);
  const AcDbObjectId second = addText(0, -30, L"SECOND NOTE", 10);
  append(new AcDbLine(AcGePoint3d(0, -80, 0), AcGePoint3d(200, -80, 0)));
  show();
  WindowDriver user(window());
  const std::wstring secondHandle = [&] {
    ACHAR h[20];
    second.handle().getIntoAsciiBuffer(h, 20);
    return std::wstring(h);
  }();
  bool listed = false;
  EXPECT_TRUE(runSession({
      [&] { user.enter(L"LIST"); return true; },
      [&] { return window().inputKind() == cadhost::app::InputKind::Objects; },
      [&] { user.click(user.at(20, 4)); return true; },                  // the first note
      [&] { user.click(user.at(20, 4), true); return true; },            // taken out again
      [&] { user.drag(user.at(-10, -40), user.at(400, 20)); return true; },  // a window round both
      [&] { user.enter(secondHandle); return true; },                    // typed: already there
      [&] { user.rightClick(user.at(500, 500)); return true; },          // Enter
      [&] { return listed = window().inputKind() == cadhost::app::InputKind::Command; },
  }));
  const std::wstring history = user.history();
  EXPECT_NE(history.find(L"Select objects: 1 found, 1 total\n"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Select objects: 1 removed, 0 total\n"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Select objects: 2 found, 2 total\n"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Select objects: " + secondHandle + L"\n1 found (1 duplicate), 2 total\n"), std::wstring::npos)
      << history;
  EXPECT_NE(history.find(L"\"FIRST NOTE\""), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"\"SECOND NOTE\""), std::wstring::npos) << history;
  EXPECT_TRUE(listed);
  (void)first;
}

TEST_F(HostWindowTest, AKeystrokeInTheEditorRepaintsTheNoteAndNothingElse) {
  openSample();
  WindowDriver mouse(window());
  // The notes of the GENERAL NOTES panel, picked with a window inside the panel's frame.
  mouse.drag(mouse.at(kPanelLeft + 50, kPanelTop - 50), mouse.at(kPanelRight - 50, kPanelBottom + 20));
  ASSERT_EQ(cadhost::pickFirst().size(), 5u);
  const cadhost::app::ViewTransform viewBefore = window().view().transform();
  const POINT frameTopLeft = mouse.at(kPanelLeft, kPanelTop), frameBottomRight = mouse.at(kPanelRight, kPanelBottom);
  std::vector<COLORREF> before, after;
  ASSERT_TRUE(runTE({act([&](Dialog& d) {
    before = window().view().screenPixels();
    const LRESULT secondLine = SendMessageW(d.editor(), EM_LINEINDEX, 1, 0);
    d.select(static_cast<int>(secondLine), static_cast<int>(secondLine));
    SendMessageW(d.editor(), WM_CHAR, L'X', 1);  // returns when the change is in the drawing and shown
    after = window().view().screenPixels();
  })}));
  EXPECT_EQ(textsStartingWith(L"X1. ALL DIMENSIONS").size(), 1u);
  const RECT changed = differingPixels(before, after, window().view().transform().width);
  EXPECT_FALSE(IsRectEmpty(&changed)) << "the view did not show the keystroke";
  EXPECT_GE(changed.left, frameTopLeft.x);
  EXPECT_GE(changed.top, frameTopLeft.y);
  EXPECT_LE(changed.right, frameBottomRight.x + 1);
  EXPECT_LE(changed.bottom, frameBottomRight.y + 1);
  // Typing does not move the view.
  const cadhost::app::ViewTransform viewAfter = window().view().transform();
  EXPECT_EQ(viewAfter.scale, viewBefore.scale);
  EXPECT_EQ(viewAfter.centerX, viewBefore.centerX);
}

TEST_F(HostWindowTest, ZoomExtentsFramesEveryEntity) {
  openSample();
  WindowDriver user(window());
  EXPECT_TRUE(runSession({[&] { user.enter(L"ZOOM W 0,0 2000,2000"); return true; },
                          [&] { user.enter(L"ZOOM"); return true; },
                          [&] { user.enter(L"E"); return true; }}));
  cadhost::app::DrawingView& view = window().view();
  const RECT client{0, 0, view.transform().width, view.transform().height};
  RECT all{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  int shown = 0;
  for (const cadhost::app::DisplayItem& item : view.displayList().items()) {
    if (!item.live) continue;
    const RECT box = view.screenBoxOf(item.id);
    EXPECT_TRUE(box.left >= client.left && box.top >= client.top && box.right <= client.right && box.bottom <= client.bottom)
        << "an entity outside the view after ZOOM Extents";
    UnionRect(&all, &all, &box);
    ++shown;
  }
  EXPECT_GT(shown, 50);
  // The drawing fills the view one way or the other.
  EXPECT_TRUE(all.right - all.left > client.right * 9 / 10 || all.bottom - all.top > client.bottom * 9 / 10);
}

TEST_F(HostWindowTest, TheCommandLineShowsAModulesFailureReportsRecallsLinesAndCancels) {
  // A note on a locked layer can be selected and opened in TE; the module's write is refused by
  // the host and the module reports it on the command line.
  const AcDbObjectId locked = addLayer(L"Locked", true);
  const AcDbObjectId note = addText(0, 0, L"LOCKED NOTE", 10, AcDbObjectId::kNull, locked);
  show();
  WindowDriver user(window());
  HWND dialog = nullptr;
  EXPECT_TRUE(runSession({
      [&] { user.click(user.at(20, 4)); return true; },
      [&] { return cadhost::pickFirst() == std::vector<AcDbObjectId>{note}; },
      [&] { user.enter(L"TE"); return true; },
      [&] { return (dialog = editorDialog()) != nullptr; },
      [&] {
        SendMessageW(GetDlgItem(dialog, 203), WM_CHAR, L'X', 1);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&] { return editorDialog() == nullptr && window().inputKind() == cadhost::app::InputKind::Command; },
      [&] { user.enter(L"LIST"); return true; },
      [&] { return window().inputKind() == cadhost::app::InputKind::Objects; },
      [&] { user.key(VK_ESCAPE); return true; },  // cancels the prompt
      [&] { return window().inputKind() == cadhost::app::InputKind::Command; },
      [&] { user.key(VK_UP); return user.inputText() == L"LIST"; },
      [&] { user.key(VK_UP); return user.inputText() == L"TE"; },
      [&] { user.key(VK_DOWN); return user.inputText() == L"LIST"; },
      [&] { user.key(VK_ESCAPE); return user.inputText().empty(); },
  }));
  EXPECT_EQ(textOf(note), L"LOCKED NOTE");
  const std::wstring history = user.history();
  EXPECT_NE(history.find(L"!src/TEDialog@"), std::wstring::npos) << history;
  EXPECT_NE(history.find(acadErrorStatusText(Acad::eOnLockedLayer)), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"Command: LIST\nSelect objects: *Cancel*\nCommand: "), std::wstring::npos) << history;
}

TEST_F(HostWindowTest, LayersThatAreOffHideTheirEntitiesAndLockedOnesCanBeSelected) {
  openSample();
  WindowDriver user(window());
  const POINT note = user.at(kPanelLeft + 400, kPanelTop - 290);  // on "GENERAL NOTES:"
  EXPECT_FALSE(window().view().pickAt(note.x, note.y).isNull());
  EXPECT_TRUE(runSession({[&] { user.enter(L"-LAYER OFF A-ANNO-NOTE"); return true; }}));
  EXPECT_TRUE(window().view().pickAt(note.x, note.y).isNull()) << "an entity of a layer that is off was picked";
  EXPECT_TRUE(runSession({[&] { user.enter(L"-LAYER"); return true; },
                          [&] { user.enter(L"ON"); return true; },
                          [&] { user.enter(L"A-ANNO-*"); return true; },
                          [&] { user.enter(L""); return true; }}));
  EXPECT_FALSE(window().view().pickAt(note.x, note.y).isNull());
  // The revision note lies on a locked layer: it is selected like any other.
  const std::vector<AcDbObjectId> revision = textsStartingWith(L"REV A");
  ASSERT_EQ(revision.size(), 1u);
  user.click(user.at(5400 + 300, 1100 + 60));
  EXPECT_EQ(cadhost::pickFirst(), revision);
  EXPECT_NE(user.history().find(L"layer(s) changed."), std::wstring::npos);
}

// Whether a straight piece of the item's lines crosses the point (x, y) on a horizontal line.
bool aLineCrosses(const cadhost::app::DisplayItem& item, double x, double y) {
  for (const cadhost::app::Primitive& p : item.primitives) {
    if (p.kind != cadhost::app::Primitive::Kind::Polyline) continue;
    for (uint32_t i = 1; i < p.count; ++i) {
      const cadhost::app::Point2 &a = item.points[p.first + i - 1], &b = item.points[p.first + i];
      if (std::fabs(a.y - y) < 1e-6 && std::fabs(b.y - y) < 1e-6 && std::min(a.x, b.x) < x && std::max(a.x, b.x) > x)
        return true;
    }
  }
  return false;
}

TEST_F(HostWindowTest, ADimensionLineBreaksForATextCentredOnItAndRunsUnderATextAboveIt) {
  const AcDbObjectId centred = addDimension(L"<>");  // 0,0 to 40,0, its line at y = -10
  const AcDbObjectId above = addDimension(L"<>");
  {
    AcAxDocLock lock(db);
    AcDbDimension* dimension = nullptr;
    ASSERT_EQ(acdbOpenObject(dimension, centred, AcDb::kForWrite), Acad::eOk);
    dimension->setTextPosition(AcGePoint3d(20, -10, 0));
    dimension->close();
    ASSERT_EQ(acdbOpenObject(dimension, above, AcDb::kForWrite), Acad::eOk);
    dimension->setTextPosition(AcGePoint3d(20, -10 + 2 * dimension->dimtxt(), 0));
    dimension->close();
  }
  show();
  const cadhost::app::DisplayItem* struck = window().view().displayList().find(centred);
  const cadhost::app::DisplayItem* clear = window().view().displayList().find(above);
  ASSERT_TRUE(struck && clear);
  EXPECT_FALSE(aLineCrosses(*struck, 20, -10)) << "the dimension line strikes its text out";
  EXPECT_TRUE(aLineCrosses(*struck, 1, -10) && aLineCrosses(*struck, 39, -10)) << "the line is gone beside the text";
  EXPECT_TRUE(aLineCrosses(*clear, 20, -10)) << "the line is broken under a text that stands above it";
}

TEST_F(HostWindowTest, AppLoadTakesTheModuleChosenInItsFileDialogAndHelpListsTheCommands) {
  show();
  WindowDriver user(window());
  // The module the test loaded, by its full path.
  const std::wstring loaded = host().loader().modules().front().path;
  const std::wstring name = loaded.substr(loaded.find_last_of(L"\\/") + 1);
  wchar_t module[MAX_PATH] = L"";
  ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(name.c_str()), module, MAX_PATH), 0u);
  auto fileDialog = [] { return FindWindowW(L"#32770", L"Load an application module"); };
  EXPECT_TRUE(runSession({
      [&] { user.enter(L"APPLOAD"); return true; },
      [&] {  // the module's path typed as its file name, then Open
        HWND dialog = fileDialog();
        if (dialog == nullptr) return false;
        for (int id : {1148, 1152}) SetDlgItemTextW(dialog, id, module);  // the name box: combo or edit
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
      },
      [&] { return fileDialog() == nullptr && window().inputKind() == cadhost::app::InputKind::Command; },
      [&] { user.enter(L"APPLOAD"); return true; },
      [&] {  // cancelled: nothing is loaded
        HWND dialog = fileDialog();
        if (dialog == nullptr) return false;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&] { return fileDialog() == nullptr && window().inputKind() == cadhost::app::InputKind::Command; },
      [&] { user.enter(L"HELP"); return true; },
  }));
  const std::wstring history = user.history();
  std::wstring shownName = name;  // the host names modules in capitals
  for (wchar_t& c : shownName) c = towupper(c);
  EXPECT_NE(history.find(L"Command: APPLOAD\n" + shownName + L" is already loaded.\nCommand: APPLOAD\nCommand: HELP\n"),
            std::wstring::npos)
      << history;
  for (const wchar_t* command : {L"  OPEN ", L"  SAVEAS ", L"  QUIT ", L"  LIST ", L"  UNDO ", L"  ZOOM ", L"  -LAYER "})
    EXPECT_NE(history.find(command), std::wstring::npos) << command;
  EXPECT_NE(history.find(L"Commands of application modules:\n  Pellaton: TE\n"), std::wstring::npos) << history;
}

}  // namespace
}  // namespace plugintest
