// The editor dialog as the user sees it: controls, menu, status bar, hints, resizing, context
// menu, the ways out, and the placement kept between runs.
#include "PluginHost.h"

#include <commctrl.h>
#include <richedit.h>

#include <map>

namespace plugintest {
namespace {

constexpr wchar_t kPlacementKey[] = L"Software\\Cadhost\\Dialogs\\Pellaton:TEDialog";

std::wstring caretText(int line, int column) {
  wchar_t text[64];
  swprintf(text, 64, russianUser() ? L"Стр:%d, Кол:%d" : L"Ln %d, Col %d", line, column);
  return text;
}

class DialogShellTest : public PluginTest {
 protected:
  // Every test starts from the template's placement and leaves none behind.
  void SetUp() override {
    PluginTest::SetUp();
    RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
    PluginTest::TearDown();
  }
};

TEST_F(DialogShellTest, ControlsStandWhereTheTemplatePutsThem) {
  selection.pick({addText(0, 0, L"a")});
  struct Expected { int id, x, y, width, height; };
  const Expected template_[] = {{203, 1, 17, 359, 126}, {2, 325, 1, 35, 14},   {204, 1, 1, 95, 58},
                                {206, 99, 1, 44, 13},   {205, 145, 1, 45, 13}, {216, 193, 1, 49, 13},
                                {207, 261, 1, 16, 14},  {208, 279, 1, 16, 14}};
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    // The menu bar, attached after the controls were made, takes its height from the editor.
    RECT client, templateClient{0, 0, 361, 160};
    GetClientRect(d.hwnd, &client);
    MapDialogRect(d.hwnd, &templateClient);
    const int menuBar = templateClient.bottom - client.bottom;
    EXPECT_GT(menuBar, 0);
    for (const Expected& e : template_) {
      RECT origin{e.x, e.y, 0, 0}, size{0, 0, e.width, e.height};
      MapDialogRect(d.hwnd, &origin);
      MapDialogRect(d.hwnd, &size);
      const RECT actual = d.itemRect(e.id);
      EXPECT_EQ(actual.left, origin.left) << e.id;
      EXPECT_EQ(actual.top, origin.top) << e.id;
      EXPECT_EQ(actual.right - actual.left, size.right) << e.id;
      if (e.id == 203) {
        EXPECT_EQ(actual.bottom - actual.top, size.bottom - menuBar);
      } else if (e.id != 204) {  // a drop-down list sizes itself
        EXPECT_EQ(actual.bottom - actual.top, size.bottom) << e.id;
      }
    }
    wchar_t caption[64];
    GetWindowTextW(d.hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Pellaton 3.5");
    wchar_t exitText[16];
    GetWindowTextW(d.item(2), exitText, 16);
    EXPECT_STREQ(exitText, L"Ok");
    EXPECT_EQ(GetDlgItem(d.hwnd, IDOK), nullptr);  // there is no OK button
  })}));
}

TEST_F(DialogShellTest, TheMenuIsInTheUsersLanguage) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    HMENU menu = GetMenu(d.hwnd);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    wchar_t text[128];
    auto at = [&](HMENU m, UINT item, UINT flags) {
      GetMenuStringW(m, item, text, 128, flags);
      return std::wstring(text);
    };
    if (russianUser()) {
      EXPECT_EQ(at(menu, 0, MF_BYPOSITION), L"&Редактирование");
      EXPECT_EQ(at(menu, 1, MF_BYPOSITION), L"&Инструменты");
      EXPECT_EQ(at(menu, 32783, MF_BYCOMMAND), L"Выровнять по &X\tCtrl+Q");
      EXPECT_EQ(at(menu, 32772, MF_BYCOMMAND), L"Вставить\tCtr+V");
      EXPECT_EQ(at(menu, 32789, MF_BYCOMMAND), L"Быстрое выравнивание по Y");
    } else {
      EXPECT_EQ(at(menu, 0, MF_BYPOSITION), L"&Edit");
      EXPECT_EQ(at(menu, 1, MF_BYPOSITION), L"&Tools");
      EXPECT_EQ(at(menu, 32783, MF_BYCOMMAND), L"Align &X\tCtrl+Q");
      EXPECT_EQ(at(menu, 32772, MF_BYCOMMAND), L"&Paste\tCtr+V");
      EXPECT_EQ(at(menu, 32789, MF_BYCOMMAND), L"Fast Y align");
    }
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 11);  // eight commands and three separators
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 3), 0), 32786u);
  })}));
}

TEST_F(DialogShellTest, TheStatusBarShowsTheKindAndTheCaretPosition) {
  selection.pick({addText(0, 20, L"first line"), addText(0, 10, L"second"), addText(0, 0, L"third line")});
  const int thirdLine = 11 + 7;  // "first line\r" and "second\r"
  EXPECT_TRUE(runTE({
      waitUntil([](Dialog& d) { return d.statusPane(2) == L"DTEXT"; }),
      act([&](Dialog& d) { d.select(thirdLine, thirdLine); }),
      waitUntil([](Dialog& d) { return d.statusPane(3) == caretText(3, 1); }),
      // Backwards from the middle of the third line to the middle of the first: the far end.
      act([&](Dialog& d) { d.select(thirdLine + 5, 4); }),
      waitUntil([](Dialog& d) { return d.statusPane(3) == caretText(3, 6); }),
  }));
}

TEST_F(DialogShellTest, AnEmptyEditorShowsTheFirstLineAndColumn) {
  selection.pick({addMText(L"")});
  EXPECT_TRUE(runTE({
      act([](Dialog& d) { d.select(0, 0); }),
      waitUntil([](Dialog& d) { return d.statusPane(3) == caretText(1, 1) && d.statusPane(2) == L"MTEXT"; }),
  }));
}

TEST_F(DialogShellTest, HintsFollowTheMouseOverThePropertyControls) {
  const std::wstring height = russianUser() ? L"Высота текста" : L"Text height";
  const std::wstring widthFactor = russianUser() ? L"Коэффициент ширины" : L"Width factor";
  const std::wstring alignY = russianUser() ? L"Выровнять по вертикали" : L"Align vertically";
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({
      act([](Dialog& d) { d.hover(d.item(206)); }),
      waitUntil([&](Dialog& d) { return d.statusPane(0) == height; }),
      act([](Dialog& d) { d.hover(d.item(2)); }),
      waitUntil([](Dialog& d) { return d.statusPane(0).empty(); }),
      act([](Dialog& d) { d.hover(d.item(206)); }),
      waitUntil([&](Dialog& d) { return d.statusPane(0) == height; }),
      act([](Dialog& d) { d.hover(d.item(216)); }),
      waitUntil([&](Dialog& d) { return d.statusPane(0) == widthFactor; }),
      act([](Dialog& d) { d.hover(d.item(208)); }),
      waitUntil([&](Dialog& d) { return d.statusPane(0) == alignY; }),
      act([](Dialog& d) { d.hover(d.hwnd); }),
      waitUntil([](Dialog& d) { return d.statusPane(0).empty(); }),
  }));
}

TEST_F(DialogShellTest, TheWidthFieldOfAnMTextIsTheMTextWidth) {
  const std::wstring mtextWidth = russianUser() ? L"Ширина МТЕКСТ" : L"MTEXT width";
  selection.pick({addMText(L"a")});
  EXPECT_TRUE(runTE({
      act([](Dialog& d) { d.hover(d.item(216)); }),
      waitUntil([&](Dialog& d) { return d.statusPane(0) == mtextWidth; }),
  }));
}

TEST_F(DialogShellTest, EachKindEnablesOnlyTheControlsThatApplyToIt) {
  // Line space (205), width (216), Align X (207) and Align Y (208), enabled or not.
  const int ids[] = {205, 216, 207, 208};
  const auto enabled = [&](AcDbObjectId entity) {
    std::vector<bool> state;
    selection.pick({entity});
    EXPECT_TRUE(runTE({act([&](Dialog& d) {
      for (int id : ids) state.push_back(IsWindowEnabled(d.item(id)) != FALSE);
    })}));
    return state;
  };
  EXPECT_EQ(enabled(addText(0, 0, L"a")), (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(enabled(addMText(L"a")), (std::vector<bool>{true, true, false, false}));
  EXPECT_EQ(enabled(addDimension(L"")), (std::vector<bool>{false, false, false, false}));
}

TEST_F(DialogShellTest, WideningTheDialogMovesTheExitButtonAndStretchesTheEditor) {
  selection.pick({addText(0, 0, L"a")});
  std::map<int, RECT> before, after;
  const int ids[] = {203, 2, 204, 206, 205, 216, 207, 208, 217};
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    for (int id : ids) before[id] = d.itemRect(id);
    RECT window;
    GetWindowRect(d.hwnd, &window);
    SetWindowPos(d.hwnd, nullptr, 0, 0, window.right - window.left + 100, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    for (int id : ids) after[id] = d.itemRect(id);
  })}));
  EXPECT_EQ(after[2].left - before[2].left, 100);
  EXPECT_EQ(after[2].right - before[2].right, 100);
  EXPECT_EQ(after[217].right - before[217].right, 100);
  EXPECT_EQ(after[217].left, before[217].left);
  EXPECT_EQ((after[203].right - after[203].left) - (before[203].right - before[203].left), 100);
  EXPECT_EQ(after[203].left, before[203].left);
  for (int id : {204, 206, 205, 216, 207, 208}) {
    EXPECT_EQ(after[id].left, before[id].left) << id;
    EXPECT_EQ(after[id].right, before[id].right) << id;
    EXPECT_EQ(after[id].top, before[id].top) << id;
  }
}

// The mouse, as the system's input: moved to a point of the screen, its left button pressed or not.
void mouseTo(POINT p, DWORD button = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
  SendInput(1, &input, sizeof input);
}

TEST_F(DialogShellTest, DraggingTheSizeGripResizesTheDialog) {
  selection.pick({addText(0, 0, L"a")});
  RECT before{}, after{};
  POINT grip{};
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       GetWindowRect(d.hwnd, &before);
                       RECT bar;
                       GetWindowRect(d.item(217), &bar);
                       grip = {bar.right - 6, bar.bottom - 6};  // inside the status bar's grip
                       mouseTo(grip);
                       mouseTo(grip, MOUSEEVENTF_LEFTDOWN);
                     }),
                     settle(3), act([&](Dialog&) { mouseTo({grip.x + 50, grip.y + 40}); }), settle(3),
                     act([&](Dialog&) { mouseTo({grip.x + 100, grip.y + 80}); }), settle(3),
                     act([&](Dialog&) { mouseTo({grip.x + 100, grip.y + 80}, MOUSEEVENTF_LEFTUP); }), settle(5),
                     act([&](Dialog& d) { GetWindowRect(d.hwnd, &after); })}));
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ((after.right - after.left) - (before.right - before.left), 100);
  EXPECT_EQ((after.bottom - after.top) - (before.bottom - before.top), 80);
}

TEST_F(DialogShellTest, TheContextMenuIsTheEditMenu) {
  selection.pick({addText(0, 0, L"right click me")});
  HMENU shown = nullptr, editMenu = nullptr;
  EXPECT_TRUE(runTE({
      act([&](Dialog& d) {
        editMenu = GetSubMenu(GetMenu(d.hwnd), 0);
        RECT r;
        GetWindowRect(d.editor(), &r);
        PostMessageW(d.editor(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(d.editor()), MAKELPARAM(r.left + 20, r.top + 20));
      }),
      // The menu runs a loop of its own; the timer still ticks inside it.
      waitUntil([&](Dialog&) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (popup == nullptr || !IsWindowVisible(popup)) return false;
        shown = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        EndMenu();
        return true;
      }),
      waitUntil([](Dialog& d) { return GetFocus() == d.editor(); }),
  }));
  EXPECT_EQ(shown, editMenu);
}

TEST_F(DialogShellTest, EscapeInTheEditorEndsTheDialog) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.key(VK_ESCAPE, false, false, d.editor()); }), awaitClose()}));
}

TEST_F(DialogShellTest, EscapeInTheStyleListEndsTheDialog) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       SetFocus(d.item(204));
                       d.key(VK_ESCAPE, false, false, d.item(204));
                     }),
                     awaitClose()}));
}

TEST_F(DialogShellTest, TheCloseBoxEndsTheDialog) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({act([](Dialog& d) { PostMessageW(d.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }), awaitClose()}));
}

TEST_F(DialogShellTest, TheExitButtonEndsTheDialogAndKeepsEveryEdit) {
  const AcDbObjectId text = addText(0, 0, L"ab");
  selection.pick({text});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(2, 2);
                       d.type(L"c");
                     }),
                     act([](Dialog& d) { SendMessageW(d.item(2), BM_CLICK, 0, 0); }), awaitClose()}));
  EXPECT_EQ(textOf(text), L"abc");
}

TEST_F(DialogShellTest, LoadingTheTextWritesNothingAndCannotBeUndone) {
  const AcDbObjectId text = addText(0, 0, L"as it was");
  selection.pick({text});
  bool canUndo = true;
  cadhost::clearHostEvents();
  EXPECT_TRUE(runTE({act([&](Dialog& d) { canUndo = SendMessageW(d.editor(), EM_CANUNDO, 0, 0) != 0; })}));
  EXPECT_FALSE(canUndo);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::GraphicsFlushed), 0);
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked), 0);
}

TEST_F(DialogShellTest, ThePlacementSurvivesToTheNextRun) {
  const AcDbObjectId text = addText(0, 0, L"a");
  selection.pick({text});
  RECT placed{};
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    RECT window;
    GetWindowRect(d.hwnd, &window);
    SetWindowPos(d.hwnd, nullptr, 37, 52, window.right - window.left + 80, window.bottom - window.top + 60,
                 SWP_NOZORDER);
    GetWindowRect(d.hwnd, &placed);
  })}));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  if (key) RegCloseKey(key);

  selection.pick({text});
  RECT restored{};
  EXPECT_TRUE(runTE({act([&](Dialog& d) { GetWindowRect(d.hwnd, &restored); })}));
  EXPECT_EQ(restored.left, placed.left);
  EXPECT_EQ(restored.top, placed.top);
  EXPECT_EQ(restored.right, placed.right);
  EXPECT_EQ(restored.bottom, placed.bottom);
}

}  // namespace
}  // namespace plugintest
