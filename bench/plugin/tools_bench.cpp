// Timing harness for the editor's tools, run under Wine, on blocks of TEXT lines built in memory:
//   - a text height, a text style and a line spacing (with fast Y align on) applied to 1,000
//     selected lines;
//   - the caret moved down line by line through a block of 10,000 lines (each step shows the
//     caret position and the properties of the line);
//   - Replace All of 10,000 occurrences in a block of 10,000 lines, write-back included;
//   - Uppercase of a whole block of 10,000 lines.
// Each figure is the time from the user's action to the change in the drawing (the action's
// messages are sent, so they return when the dialog has handled them).
//
//   plugin_tools_bench [--shown]   (--shown: with the host's drawing window on screen)
#include <windows.h>

#include <dlgs.h>
#include <richedit.h>

#include <cstdio>
#include <cstring>

#include "harness.h"

namespace {

constexpr int kEditor = 203, kStyleList = 204, kLineSpace = 205, kHeight = 206;
constexpr int kUppercase = 32781, kReplace = 32775, kFastYAlign = 32789;

void print(const char* what, double seconds) {
  std::printf("%-58s %10.2f ms\n", what, seconds * 1000);
  std::fflush(stdout);
}

// Selects every line and lets the dialog show their properties.
void selectEverything(HWND dialog) {
  SendMessageW(GetDlgItem(dialog, kEditor), EM_SETSEL, 0, -1);
  bench::pumpMessages();
}

// Types one character into a field as a key press would arrive (sent: it returns when applied).
double typeInField(HWND dialog, int id, wchar_t c) {
  const HWND field = GetDlgItem(dialog, id);
  SendMessageW(field, EM_SETSEL, 0, -1);
  const double start = bench::now();
  SendMessageW(field, WM_CHAR, c, 1);
  return bench::now() - start;
}

double gBoxShown = 0;
HHOOK gHook = nullptr;
LRESULT CALLBACK closeBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    wchar_t cls[32] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 32);
    HWND w = reinterpret_cast<HWND>(wParam);
    if (wcscmp(cls, L"#32770") == 0 && GetDlgItem(w, edt1) == nullptr && GetDlgItem(w, kEditor) == nullptr) {
      gBoxShown = bench::now();
      PostMessageW(w, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(gHook, code, wParam, lParam);
}

BOOL CALLBACK findReplaceDialog(HWND w, LPARAM out) {
  if (IsWindowVisible(w) && GetDlgItem(w, edt2) != nullptr) *reinterpret_cast<HWND*>(out) = w;
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const bool shown = argc > 1 && std::strcmp(argv[1], "--shown") == 0;
  bench::Host host(shown);
  if (!host.loaded()) return 1;
  std::printf("(the drawing window %s)\n", shown ? "on screen" : "hidden");

  // Properties of 1,000 selected lines.
  host.newDrawing();
  {
    AcDbTextStyleTable* styles = nullptr;
    AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase());
    acdbHostApplicationServices()->workingDatabase()->getTextStyleTable(styles, AcDb::kForWrite);
    auto* narrow = new AcDbTextStyleTableRecord;
    narrow->setName(L"Narrow");
    styles->add(narrow);
    narrow->close();
    styles->close();
  }
  host.addTextLines(1000);
  host.runTE([](HWND dialog) {
    selectEverything(dialog);
    print("text height of 1,000 selected lines", typeInField(dialog, kHeight, L'5'));
    const HWND list = GetDlgItem(dialog, kStyleList);
    SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Narrow"));
    double start = bench::now();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kStyleList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    print("text style of 1,000 selected lines", bench::now() - start);
    SendMessageW(dialog, WM_COMMAND, kFastYAlign, 0);
    print("line spacing of 1,000 lines, fast Y align on", typeInField(dialog, kLineSpace, L'4'));
    SendMessageW(dialog, WM_COMMAND, kFastYAlign, 0);
  }, 1000);
  // The figures are of changes made: every line has the new height and style.
  {
    AcDbObjectId narrow;
    AcDbTextStyleTable* styles = nullptr;
    acdbHostApplicationServices()->workingDatabase()->getTextStyleTable(styles, AcDb::kForRead);
    styles->getAt(L"Narrow", narrow);
    styles->close();
    int changed = 0;
    for (AcDbObjectId id : host.picked) {
      AcDbText* text = nullptr;
      if (acdbOpenObject(text, id, AcDb::kForRead) != Acad::eOk) continue;
      if (text->textStyle() == narrow && text->height() == 5.0) ++changed;
      text->close();
    }
    if (changed != 1000) std::printf("(only %d of the 1,000 lines took the height and the style)\n", changed);
  }

  // The caret through 10,000 lines.
  host.newDrawing();
  host.addTextLines(10000);
  host.runTE([](HWND dialog) {
    const HWND editor = GetDlgItem(dialog, kEditor);
    SendMessageW(editor, EM_SETSEL, 0, 0);
    bench::pumpMessages();
    constexpr int kSteps = 500;
    const double start = bench::now();
    double inControl = 0;
    for (int i = 0; i < kSteps; ++i) {
      const double key = bench::now();
      SendMessageW(editor, WM_KEYDOWN, VK_DOWN, 1);
      inControl += bench::now() - key;
      bench::pumpMessages();  // the posted refresh: caret position and the line's properties
    }
    print("caret one line down in 10,000 lines (per step)", (bench::now() - start) / kSteps);
    print("  of which the control's own handling of the key", inControl / kSteps);

    // Uppercase of the whole block.
    SendMessageW(editor, EM_SETSEL, 0, -1);
    bench::pumpMessages();
    const double upper = bench::now();
    SendMessageW(dialog, WM_COMMAND, kUppercase, 0);
    print("Uppercase of 10,000 lines", bench::now() - upper);
  }, 10000);

  // Replace All of 10,000 occurrences ("of" in every line), from the top.
  host.newDrawing();
  host.addTextLines(10000);
  host.runTE([](HWND dialog) {
    SendMessageW(GetDlgItem(dialog, kEditor), EM_SETSEL, 0, 0);
    SendMessageW(dialog, WM_COMMAND, kReplace, 0);
    bench::pumpMessages();
    HWND replace = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findReplaceDialog, reinterpret_cast<LPARAM>(&replace));
    if (replace == nullptr) {
      std::printf("the Replace dialog did not open\n");
      return;
    }
    SetDlgItemTextW(replace, edt1, L"of");
    SetDlgItemTextW(replace, edt2, L"in");
    gHook = SetWindowsHookExW(WH_CBT, closeBoxes, nullptr, GetCurrentThreadId());
    gBoxShown = 0;
    const double start = bench::now();
    SendMessageW(GetDlgItem(replace, psh2), BM_CLICK, 0, 0);
    UnhookWindowsHookEx(gHook);
    print("Replace All of 10,000 occurrences in 10,000 lines", (gBoxShown > 0 ? gBoxShown : bench::now()) - start);
  }, 10000);
  return 0;
}
