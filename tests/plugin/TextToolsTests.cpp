// Upper and lower case of the selection, and the Edit menu (also the editor's context menu): each
// reaches the editor, and through it the drawing; its items are grey when they would do nothing.
#include <windows.h>

#include <richedit.h>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kUndo = 32768, kRedo = 32769, kCut = 32770, kCopy = 32771, kPaste = 32772, kSelectAll = 32773;
constexpr int kUppercase = 32781, kLowercase = 32782;

CHARRANGE selectionOf(Dialog& d) {
  CHARRANGE range{};
  SendMessageW(d.editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

void emptyClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// Opens the editor's context menu and gives the grey state of each item asked for, in the
// dialog's menu (the context menu is its Edit menu; the case conversions are in its Tools menu).
struct MenuLook {
  std::vector<int> commands;
  std::vector<bool> grey;
};
std::vector<Step> lookAtTheContextMenu(MenuLook& look) {
  return {act([](Dialog& d) {
            RECT r;
            GetWindowRect(d.editor(), &r);
            PostMessageW(d.editor(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(d.editor()),
                         MAKELPARAM(r.left + 20, r.top + 20));
          }),
          waitUntil([&look](Dialog& d) {
            HWND popup = FindWindowW(L"#32768", nullptr);
            if (popup == nullptr || !IsWindowVisible(popup)) return false;
            HMENU menu = GetMenu(d.hwnd);
            look.grey.clear();
            for (int command : look.commands)
              look.grey.push_back((GetMenuState(menu, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0);
            EndMenu();
            return true;
          })};
}

class TextToolsTest : public PluginTest {};

TEST_F(TextToolsTest, UppercaseKeepsTheSelectionReachesTheEntityAndCannotBeUndone) {
  const AcDbObjectId text = addText(0, 0, L"mixed Case here");
  selection.pick({text});
  CHARRANGE after{};
  std::wstring shown, afterUndo;
  bool canUndo = true;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 10); }), act([](Dialog& d) { d.key('U', true, false, d.editor()); }),
                     settle(), act([&](Dialog& d) {
                       after = selectionOf(d);
                       shown = d.editorText();
                       canUndo = SendMessageW(d.editor(), EM_CANUNDO, 0, 0) != 0;
                       d.command(kUndo);
                     }),
                     settle(), act([&](Dialog& d) { afterUndo = d.editorText(); })}));
  EXPECT_EQ(shown, L"MIXED CASE here");
  EXPECT_EQ(after.cpMin, 0);
  EXPECT_EQ(after.cpMax, 10);
  EXPECT_FALSE(canUndo);
  EXPECT_EQ(afterUndo, L"MIXED CASE here");
  EXPECT_EQ(textOf(text), L"MIXED CASE here");
}

TEST_F(TextToolsTest, LowercaseMapsEveryLetterOneForOneCyrillicIncluded) {
  const AcDbObjectId top = addText(0, 10, L"ПРИВЕТ Мир"), bottom = addText(0, 5, L"ÄÖÜ ẞ Straße");
  selection.pick({top, bottom});
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, -1); }), act([](Dialog& d) { d.command(kLowercase); }), settle()}));
  EXPECT_EQ(textOf(top), L"привет мир");
  EXPECT_EQ(textOf(bottom).size(), std::wstring(L"ÄÖÜ ẞ Straße").size()) << "one character for one";
  EXPECT_EQ(textOf(bottom).substr(0, 3), L"äöü");
}

TEST_F(TextToolsTest, TheMenuGreysWhatWouldDoNothing) {
  selection.pick({addText(0, 0, L"text")});
  emptyClipboard();
  MenuLook atStart{{kUndo, kRedo, kCut, kCopy, kPaste, kSelectAll, kUppercase, kLowercase}, {}};
  MenuLook afterTyping = atStart, withClipboard = atStart;
  std::vector<Step> steps{act([](Dialog& d) { d.select(0, 0); })};
  for (Step& s : lookAtTheContextMenu(atStart)) steps.push_back(s);
  steps.push_back(act([](Dialog& d) { d.type(L"x"); }));
  steps.push_back(act([](Dialog& d) { d.select(0, 2); }));
  for (Step& s : lookAtTheContextMenu(afterTyping)) steps.push_back(s);
  steps.push_back(act([](Dialog&) { setClipboardText(L"pasted"); }));
  for (Step& s : lookAtTheContextMenu(withClipboard)) steps.push_back(s);
  EXPECT_TRUE(runTE(steps));
  //                                     Undo   Redo  Cut    Copy   Paste  All    Upper  Lower
  EXPECT_EQ(atStart.grey, (std::vector<bool>{true, true, true, true, true, false, true, true}));
  EXPECT_EQ(afterTyping.grey, (std::vector<bool>{false, true, false, false, true, false, false, false}));
  EXPECT_FALSE(withClipboard.grey[4]) << "Paste with text on the clipboard";
}

TEST_F(TextToolsTest, TheEditCommandsReachTheEditorAndEveryLineOfTheDrawing) {
  const AcDbObjectId top = addText(0, 10, L"first"), bottom = addText(0, 7, L"second");
  selection.pick({top, bottom});
  CHARRANGE all{};
  std::wstring afterCut, afterPaste, afterUndo, afterRedo;
  EXPECT_TRUE(runTE({act([](Dialog& d) {
                       d.select(0, 0);
                       d.command(kSelectAll);
                     }),
                     act([&](Dialog& d) {
                       all = selectionOf(d);
                       d.select(0, 12);  // "first\rsecond" (what the platform copies past the last line is its own)
                       d.command(kCopy);
                       d.command(kCut);
                     }),
                     settle(), act([&](Dialog& d) {
                       afterCut = d.editorText();
                       d.command(kPaste);
                     }),
                     settle(), act([&](Dialog& d) {
                       afterPaste = d.editorText();
                       d.command(kUndo);
                     }),
                     settle(), act([&](Dialog& d) {
                       afterUndo = d.editorText();
                       d.command(kRedo);
                     }),
                     settle(), act([&](Dialog& d) { afterRedo = d.editorText(); })}));
  EXPECT_EQ(all.cpMin, 0);
  EXPECT_GE(all.cpMax, 12) << "Select All covers every line";
  EXPECT_EQ(afterCut, L"");
  EXPECT_EQ(afterPaste, L"first\rsecond");
  EXPECT_EQ(afterUndo, L"");
  EXPECT_EQ(afterRedo, L"first\rsecond");
  EXPECT_EQ(blockLines(), (std::vector<std::wstring>{L"first@10", L"second@7"})) << "the drawing followed each";
}

}  // namespace
}  // namespace plugintest
