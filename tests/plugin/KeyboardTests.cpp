// The keyboard in the editor dialog: Enter and Ctrl+Enter against the two exit options, Enter in
// a property field, the shortcuts from any control (and never into the editor), Tab, and the
// options' check marks.
#include <windows.h>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kExitOnEnter = 32787, kExitOnCtrlEnter = 32788;
constexpr int kAlignX = 32783, kAlignY = 32784;

BOOL CALLBACK countVisible(HWND w, LPARAM count) {
  if (IsWindowVisible(w)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}
// The visible top-level windows of the test's thread.
int countWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), countVisible, reinterpret_cast<LPARAM>(&count));
  return count;
}

class KeyboardTest : public FreshSettingsTest {
 protected:
  static Step option(int command) { return act([command](Dialog& d) { d.command(command); }); }
};

TEST_F(KeyboardTest, EnterCtrlEnterAndShiftEnterAgainstTheTwoExitOptions) {
  struct Case {
    bool exitOnEnter, exitOnCtrlEnter;
    bool ctrl, shift;
    bool exits;
  };
  const Case cases[] = {
      {false, false, false, false, false}, {false, false, true, false, false}, {false, false, false, true, false},
      {false, true, false, false, false},  {false, true, true, false, true},    {false, true, false, true, false},
      {true, false, false, false, true},   {true, false, true, false, true},   {true, false, false, true, true},
      {true, true, false, false, true},    {true, true, true, false, true},    {true, true, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "exit on Enter " << c.exitOnEnter << ", on Ctrl+Enter " << c.exitOnCtrlEnter
                                    << "; Ctrl " << c.ctrl << ", Shift " << c.shift);
    const AcDbObjectId text = addText(0, 0, L"line");
    selection.pick({text});
    std::vector<Step> steps;
    if (c.exitOnEnter) steps.push_back(option(kExitOnEnter));
    if (c.exitOnCtrlEnter) steps.push_back(option(kExitOnCtrlEnter));
    steps.push_back(act([](Dialog& d) { d.select(4, 4); }));
    steps.push_back(act([c](Dialog& d) { d.key(VK_RETURN, c.ctrl, c.shift, d.editor()); }));
    steps.push_back(c.exits ? awaitClose() : settle(10));
    const int textsBefore = static_cast<int>(textsIn().size());
    EXPECT_TRUE(runTE(steps));
    if (c.exits) {
      EXPECT_EQ(static_cast<int>(textsIn().size()), textsBefore) << "no key makes a new line then";
    } else if (!c.exitOnEnter && !c.exitOnCtrlEnter && !c.ctrl && !c.shift) {
      EXPECT_EQ(static_cast<int>(textsIn().size()), textsBefore + 1) << "Enter is a new line";
    }
    forgetSettings();
  }
}

TEST_F(KeyboardTest, EnterInAPropertyFieldGoesBackToTheEditorAndNeverLeaves) {
  selection.pick({addText(0, 0, L"a")});
  bool editorFocused = false;
  EXPECT_TRUE(runTE({option(kExitOnEnter), act([](Dialog& d) { SetFocus(d.item(206)); }),
                     act([](Dialog& d) { d.key(VK_RETURN, false, false, d.item(206)); }), settle(),
                     act([&](Dialog& d) { editorFocused = GetFocus() == d.editor(); })}));
  EXPECT_TRUE(editorFocused);
}

TEST_F(KeyboardTest, ShortcutsWorkFromTheLineSpaceField) {
  const AcDbObjectId a = addText(0, 10, L"a"), b = addText(3, 8, L"b"), c = addText(-2, 1, L"c");
  selection.pick({a, b, c});
  bool findOpened = false;
  EXPECT_TRUE(runTE({act([](Dialog& d) { SetFocus(d.item(205)); }),
                     act([](Dialog& d) { d.key('Q', true, false, d.item(205)); }),
                     act([](Dialog& d) { d.key('W', true, false, d.item(205)); }),
                     act([](Dialog& d) { d.key('F', true, false, d.item(205)); }),
                     waitUntil([&](Dialog& d) {
                       // The Find dialog, owned by the editor dialog.
                       for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
                         if (GetWindow(w, GW_OWNER) == d.hwnd && IsWindowVisible(w)) findOpened = true;
                       return findOpened;
                     })}));
  EXPECT_TRUE(findOpened);
  EXPECT_NEAR(positionOf(b).x, 0.0, 1e-9) << "Ctrl+Q aligned the lines with the first";
  EXPECT_NEAR(positionOf(c).y, 6.0, 1e-9) << "Ctrl+W spaced them evenly";
}

TEST_F(KeyboardTest, ForAnMTextTheAlignShortcutsDoNothingTheirItemsAreGreyAndNoKeyReachesTheEditor) {
  const AcDbObjectId mtext = addMText(L"unchanged");
  selection.pick({mtext});
  bool greyX = false, greyY = false;
  std::wstring shown;
  int windowsBefore = 0, windowsAfter = 0;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       greyX = d.menuGrey(kAlignX);
                       greyY = d.menuGrey(kAlignY);
                       windowsBefore = countWindows();
                       d.select(0, 0);
                       d.key('Q', true, false, d.editor());
                       d.key('W', true, false, d.editor());
                     }),
                     settle(), act([&](Dialog& d) {
                       shown = d.editorText();
                       windowsAfter = countWindows();
                     })}));
  EXPECT_TRUE(greyX);
  EXPECT_TRUE(greyY);
  EXPECT_EQ(shown, L"unchanged");
  EXPECT_EQ(textOf(mtext), L"unchanged");
  EXPECT_EQ(windowsAfter, windowsBefore) << "no window of the editor's own opened";
}

TEST_F(KeyboardTest, TabInTheEditorMovesOnAndInsertsNothing) {
  const AcDbObjectId text = addText(0, 0, L"ab");
  selection.pick({text});
  bool onOk = false;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(1, 1); }),
                     act([](Dialog& d) { d.key(VK_TAB, false, false, d.editor()); }), settle(),
                     act([&](Dialog& d) { onOk = GetFocus() == d.item(2); })}));
  EXPECT_EQ(textOf(text), L"ab");
  EXPECT_TRUE(onOk) << "the next control in tab order";
}

}  // namespace
}  // namespace plugintest
