// Find and Replace in the editor through the platform's common dialogs: Find Next in both
// directions, Replace of the occurrence after the selection, Replace All from the selection on,
// whole words and letter case, several dialogs at once, and the drawing following every change.
#include <windows.h>

#include <dlgs.h>
#include <richedit.h>

#include <fstream>
#include <iterator>

#include "../../cadhost/dxf/dxffile.h"
#include "CommandProcessor.h"
#include "DrawingCommands.h"
#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kFind = 32774, kReplace = 32775;

BOOL CALLBACK collectFindDialog(HWND w, LPARAM data) {
  auto* found = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(data);
  if (GetWindow(w, GW_OWNER) == found->first && IsWindowVisible(w) && GetDlgItem(w, edt1) != nullptr)
    found->second.push_back(w);
  return TRUE;
}

// The find and replace dialogs the editor dialog owns, newest first.
std::vector<HWND> findDialogs(Dialog& d) {
  std::pair<HWND, std::vector<HWND>> found{d.hwnd, {}};
  EnumThreadWindows(GetCurrentThreadId(), collectFindDialog, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

CHARRANGE selectionOf(Dialog& d) {
  CHARRANGE range{};
  SendMessageW(d.editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

class FindReplaceTest : public PluginTest {
 protected:
  // Opens a find (or replace) dialog and waits for it; it is then dialogs.front().
  Step open(int command, std::vector<HWND>& dialogs) {
    return [command, &dialogs, asked = false](Dialog& d) mutable {
      const size_t before = dialogs.size();
      if (!asked) {
        d.command(command);
        asked = true;
        return false;
      }
      std::vector<HWND> now = findDialogs(d);
      for (HWND w : now)
        if (std::find(dialogs.begin(), dialogs.end(), w) == dialogs.end()) dialogs.insert(dialogs.begin(), w);
      return dialogs.size() > before;
    };
  }
  static Step set(std::vector<HWND>& dialogs, int item, const std::wstring& text) {
    return act([&dialogs, item, text](Dialog&) { SetDlgItemTextW(dialogs.front(), item, text.c_str()); });
  }
  static Step click(std::vector<HWND>& dialogs, int button, size_t which = 0) {
    // Posted, as a click arrives: the dialog handles it (and any message box it shows) in its loop.
    return act([&dialogs, button, which](Dialog&) { PostMessageW(GetDlgItem(dialogs[which], button), BM_CLICK, 0, 0); });
  }
  static Step record(CHARRANGE& into) { return act([&into](Dialog& d) { into = selectionOf(d); }); }
  std::wstring finished() const { return russianUser() ? L"Поиск завершен" : L"Search finished"; }
  std::wstring information() const { return russianUser() ? L"Информация" : L"Information"; }
  std::wstring replaced(int count) const {
    return russianUser() ? L"Заменено " + std::to_wstring(count) + L" вхождений"
                         : std::to_wstring(count) + L" occurrences replaced";
  }
};

bool operator==(const CHARRANGE& a, const std::pair<int, int>& b) { return a.cpMin == b.first && a.cpMax == b.second; }

TEST_F(FindReplaceTest, FindNextDownFindsEachOccurrenceAndThenSaysTheSearchIsFinished) {
  selection.pick({addMText(L"abc abc abc")});
  std::vector<HWND> dialogs;
  CHARRANGE first{}, second{}, third{}, last{};
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kFind, dialogs), set(dialogs, edt1, L"abc"),
                     click(dialogs, IDOK), record(first), click(dialogs, IDOK), record(second), click(dialogs, IDOK),
                     record(third), click(dialogs, IDOK), record(last)}));
  EXPECT_TRUE(first == std::make_pair(0, 3));
  EXPECT_TRUE(second == std::make_pair(4, 7));
  EXPECT_TRUE(third == std::make_pair(8, 11));
  EXPECT_TRUE(last == std::make_pair(8, 11)) << "the last occurrence stays selected";
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].caption, information());
  EXPECT_EQ(messageBoxes[0].text, finished());
}

TEST_F(FindReplaceTest, FindNextUpFromTheEndFindsThemLastFirst) {
  selection.pick({addMText(L"abc abc abc")});
  std::vector<HWND> dialogs;
  CHARRANGE first{}, second{}, third{};
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(11, 11); }), open(kFind, dialogs), set(dialogs, edt1, L"abc"),
                     click(dialogs, rad1),  // Up
                     click(dialogs, IDOK), record(first), click(dialogs, IDOK), record(second), click(dialogs, IDOK),
                     record(third), click(dialogs, IDOK)}));
  EXPECT_TRUE(first == std::make_pair(8, 11));
  EXPECT_TRUE(second == std::make_pair(4, 7));
  EXPECT_TRUE(third == std::make_pair(0, 3));
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].text, finished());
}

TEST_F(FindReplaceTest, ReplaceAfterFindReplacesTheNextOccurrenceAndTheEntityFollows) {
  const AcDbObjectId mtext = addMText(L"abc abc abc");
  selection.pick({mtext});
  std::vector<HWND> dialogs;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kReplace, dialogs), set(dialogs, edt1, L"abc"),
                     set(dialogs, edt2, L"x"), click(dialogs, IDOK), click(dialogs, psh1), settle()}));
  EXPECT_EQ(textOf(mtext), L"abc x abc");
}

TEST_F(FindReplaceTest, ReplaceAllOfAFindStringByOneThatHoldsItReplacesEachOnce) {
  const AcDbObjectId mtext = addMText(L"abc abc");
  selection.pick({mtext});
  std::vector<HWND> dialogs;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kReplace, dialogs), set(dialogs, edt1, L"abc"),
                     set(dialogs, edt2, L"abcabc"), click(dialogs, psh2), settle()}));
  EXPECT_EQ(textOf(mtext), L"abcabc abcabc");
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].caption, information());
  EXPECT_EQ(messageBoxes[0].text, replaced(2));
}

TEST_F(FindReplaceTest, ReplaceAllStartsAtTheSelectionAndCountsWhatItReplaced) {
  const AcDbObjectId mtext = addMText(L"abc abc abc abc abc");
  selection.pick({mtext});
  std::vector<HWND> dialogs;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(5, 5); }), open(kReplace, dialogs), set(dialogs, edt1, L"abc"),
                     set(dialogs, edt2, L"x"), click(dialogs, psh2), settle(), click(dialogs, psh2), settle()}));
  EXPECT_EQ(textOf(mtext), L"abc abc x x x") << "those before the selection stay";
  ASSERT_EQ(messageBoxes.size(), 2u);
  EXPECT_EQ(messageBoxes[0].text, replaced(3));
  EXPECT_EQ(messageBoxes[1].text, finished()) << "none left after the caret";
}

TEST_F(FindReplaceTest, WholeWordsAndLetterCase) {
  selection.pick({addMText(L"xabcx ABC abc")});
  std::vector<HWND> dialogs;
  CHARRANGE anyCase{}, exactCase{};
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kFind, dialogs), set(dialogs, edt1, L"abc"),
                     click(dialogs, chx1),  // whole word
                     click(dialogs, IDOK), record(anyCase), act([](Dialog& d) { d.select(0, 0); }),
                     click(dialogs, chx2),  // match case
                     click(dialogs, IDOK), record(exactCase)}));
  EXPECT_TRUE(anyCase == std::make_pair(6, 9)) << "not inside xabcx; ABC matches without match case";
  EXPECT_TRUE(exactCase == std::make_pair(10, 13));
}

TEST_F(FindReplaceTest, TwoFindDialogsWorkEachOnItsOwnStringAndOneOutlivesTheOther) {
  selection.pick({addMText(L"aaa bbb aaa bbb")});
  std::vector<HWND> dialogs;
  CHARRANGE byFirst{}, bySecond{}, afterClosing{};
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kFind, dialogs), set(dialogs, edt1, L"aaa"),
                     open(kFind, dialogs), set(dialogs, edt1, L"bbb"),  // the newest is dialogs[0]
                     click(dialogs, IDOK, 1), record(byFirst), click(dialogs, IDOK, 0), record(bySecond),
                     click(dialogs, IDCANCEL, 0), settle(), click(dialogs, IDOK, 1), record(afterClosing)}));
  EXPECT_TRUE(byFirst == std::make_pair(0, 3));
  EXPECT_TRUE(bySecond == std::make_pair(4, 7));
  EXPECT_TRUE(afterClosing == std::make_pair(8, 11));
}

TEST_F(FindReplaceTest, ReplaceAllOnTextLinesWritesTheDrawingOnceAndCreatesAndErasesNothingItNeedNot) {
  const AcDbObjectId a = addText(0, 10, L"a plan"), b = addText(0, 7, L"a"), c = addText(0, 4, L"b a");
  selection.pick({a, b, c});
  std::vector<HWND> dialogs;
  int writes = -1;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kReplace, dialogs), set(dialogs, edt1, L"a"),
                     set(dialogs, edt2, L"x"), act([](Dialog&) { cadhost::clearHostEvents(); }), click(dialogs, psh2),
                     settle(), act([&](Dialog&) { writes = cadhost::countHostEvents(cadhost::HostEventKind::DocumentLocked); })}));
  EXPECT_EQ(blockLines(), (std::vector<std::wstring>{L"x plxn@10", L"x@7", L"b x@4"}));
  EXPECT_EQ(writes, 1);
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].text, replaced(4));
}

// The text tools on a drawing opened from its file, each in a run of its own: Uppercase, Replace
// All, and Edit-menu Pastes that add a line and remove one (TEXT made and erased as for typing).
// After each run the host's SAVE writes a file that holds the new texts and none of the old: a
// change the host was not told of would be saved from the bytes the file held.
class SavedDrawingTest : public FindReplaceTest {
 protected:
  void SetUp() override {
    FindReplaceTest::SetUp();
    const std::string folder = "Z:" + std::string(PELLATON_BUILD_DIR) + "/text-tools-save";
    CreateDirectoryA(folder.c_str(), nullptr);
    mPath = folder + "/notes.dxf";
    for (char c : mPath) mWindowsPath += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  }
  // Writes the test drawing to its file and opens that file as the host program does.
  void openAsFile() {
    ASSERT_TRUE(cadhost::dxf::writeDrawing(db, mWindowsPath).ok);
    ASSERT_TRUE(mDrawings.open(mWindowsPath));
    db = acDocManagerPtr()->curDocument()->database();
    cadhost::setSelectionSource(&selection);  // (the host program's command processor took the prompts)
  }
  // Saves the drawing (SAVE) and gives the file's bytes.
  std::string save() {
    EXPECT_TRUE(mDrawings.hasUnsavedChanges());
    EXPECT_TRUE(mDrawings.save(mWindowsPath));
    std::ifstream in(mPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  // The TEXT lines of the saved file read back, top line first, each as "text@y".
  std::vector<std::wstring> savedLines() {
    cadhost::dxf::ReadResult again = cadhost::dxf::readDrawing(mWindowsPath);
    EXPECT_TRUE(again.ok()) << again.report();
    if (!again.ok()) return {};
    AcDbDatabase* open = db;
    db = again.database.get();
    std::vector<std::wstring> lines = blockLines();
    db = open;
    return lines;
  }
  // A value of the file on a line of its own.
  static bool holdsLine(const std::string& saved, const std::string& line) {
    for (size_t at = saved.find("\n" + line); at != std::string::npos; at = saved.find("\n" + line, at + 1)) {
      const size_t end = at + 1 + line.size();
      if (end < saved.size() && (saved[end] == '\r' || saved[end] == '\n')) return true;
    }
    return false;
  }
  static Step paste(const std::wstring& replacing, const std::wstring& clipboard) {
    return act([replacing, clipboard](Dialog& d) {
      const int at = static_cast<int>(d.editorText().find(replacing));
      d.select(at, at + static_cast<int>(replacing.size()));
      setClipboardText(clipboard);
      d.command(32772);  // Edit, Paste
    });
  }

  std::string mPath;
  std::wstring mWindowsPath;
  cadhost::app::CommandProcessor mProcessor{host().loader()};
  cadhost::app::DrawingCommands mDrawings{mProcessor, host().window()};
};

TEST_F(SavedDrawingTest, WhatEachTextToolChangesReachesTheSavedDrawingFile) {
  addText(0, 10, L"alpha one");
  addText(0, 7, L"beta two");
  addText(0, 4, L"gamma three");
  addText(0, 1, L"delta four");
  openAsFile();

  selection.pick(textsIn());
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 5); }), act([](Dialog& d) { d.command(32781); })}));  // Uppercase
  std::string saved = save();
  EXPECT_TRUE(holdsLine(saved, "ALPHA one"));
  EXPECT_EQ(saved.find("alpha"), std::string::npos) << "Uppercase did not reach the saved file";

  selection.pick(textsIn());
  std::vector<HWND> dialogs;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kReplace, dialogs), set(dialogs, edt1, L"two"),
                     set(dialogs, edt2, L"2"), click(dialogs, psh2), settle()}));
  saved = save();
  EXPECT_TRUE(holdsLine(saved, "beta 2"));
  EXPECT_EQ(saved.find("two"), std::string::npos) << "Replace All did not reach the saved file";

  selection.pick(textsIn());
  EXPECT_TRUE(runTE({paste(L"gamma three", L"epsilon\r\nzeta"), settle(),  // one line more
                     paste(L"\rdelta four", L"!"), settle()}));            // one line less
  saved = save();
  for (const char* now : {"ALPHA one", "beta 2", "epsilon", "zeta!"}) EXPECT_TRUE(holdsLine(saved, now)) << now;
  for (const char* before : {"gamma", "delta"})
    EXPECT_EQ(saved.find(before), std::string::npos) << before << " is still saved";
  EXPECT_EQ(savedLines(), (std::vector<std::wstring>{L"ALPHA one@10", L"beta 2@7", L"epsilon@4", L"zeta!@1"}));
}

TEST_F(FindReplaceTest, AfterReplaceAllInALongBlockTheEditorWorksAsBefore) {
  // A long block takes the result in a new editor control (the platform empties a long one
  // slowly): typing, the layout and the status bar go on with it.
  std::vector<AcDbObjectId> ids;
  for (int i = 0; i < 600; ++i) ids.push_back(addText(0, -3.0 * i, L"a" + std::to_wstring(i)));
  selection.pick(ids);
  std::vector<HWND> dialogs;
  LONG widthBefore = 0, widthAfter = 0;
  std::wstring caret;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.select(0, 0); }), open(kReplace, dialogs), set(dialogs, edt1, L"a"),
                     set(dialogs, edt2, L"b"), click(dialogs, psh2), settle(), click(dialogs, IDCANCEL), settle(),
                     act([](Dialog& d) {
                       SetFocus(d.editor());
                       d.select(0, 0);
                       d.type(L"x");
                     }),
                     settle(), act([&](Dialog& d) {
                       caret = d.statusPane(3);
                       RECT r;
                       GetWindowRect(d.editor(), &r);
                       widthBefore = r.right - r.left;
                       GetWindowRect(d.hwnd, &r);
                       SetWindowPos(d.hwnd, nullptr, 0, 0, r.right - r.left + 50, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
                       GetWindowRect(d.editor(), &r);
                       widthAfter = r.right - r.left;
                     })}));
  EXPECT_EQ(textOf(ids[0]), L"xb0");
  EXPECT_EQ(textOf(ids[599]), L"b599");
  EXPECT_EQ(caret, russianUser() ? L"Стр:1, Кол:2" : L"Ln 1, Col 2");
  EXPECT_EQ(widthAfter - widthBefore, 50) << "the new editor follows the layout";
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].text, replaced(600));
}

}  // namespace
}  // namespace plugintest
