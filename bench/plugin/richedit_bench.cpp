// The platform's rich edit control alone, with the editor's style and font and none of the
// plug-in: the floor under the editor's own figures. It measures, for a block of 10,000 lines
// and for a text of about 1 MB (22,000 paragraphs):
//   - filling an empty control with the text in one piece, and its first paint;
//   - one keystroke in the middle line (a character typed and taken back, sent to the control);
//   - the queries the write-back asks after a keystroke (line count, line of a position, start
//     of a line, a range of text, the length) and, for comparison, the whole text.
//
//   plugin_richedit_bench
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using bench::now;
using bench::pumpMessages;

// The editor as the dialog has it: plain text, no wrapping, both scroll bars.
struct Editor {
  HWND frame = nullptr, control = nullptr;
  Editor() {
    frame = CreateWindowExW(0, L"STATIC", L"rich edit", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                            nullptr, nullptr, nullptr);
    control = CreateWindowExW(WS_EX_CLIENTEDGE, L"RichEdit20W", L"", 0x503111C4 & ~WS_TABSTOP, 0, 0, 680, 460, frame,
                              nullptr, nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageW(control, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    SendMessageW(control, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
    SetForegroundWindow(frame);
    SetFocus(control);  // with its caret, as the editor has it
    pumpMessages();
  }
  ~Editor() { DestroyWindow(frame); }
  LRESULT send(UINT message, WPARAM w = 0, LPARAM l = 0) const { return SendMessageW(control, message, w, l); }
};

template <typename F>
double timed(F&& f, int times = 1) {
  const double start = now();
  for (int i = 0; i < times; ++i) f();
  return (now() - start) * 1000 / times;
}

void measure(const char* name, const std::wstring& text) {
  Editor editor;
  SETTEXTEX set{ST_DEFAULT, 1200};
  const double fill = timed([&] { editor.send(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set), reinterpret_cast<LPARAM>(text.c_str())); });
  const double paint = timed([&] {
    InvalidateRect(editor.control, nullptr, TRUE);
    UpdateWindow(editor.control);
  });
  const int lines = static_cast<int>(editor.send(EM_GETLINECOUNT));
  const LONG middle = static_cast<LONG>(text.size() / 2);
  const LONG middleLine = static_cast<LONG>(editor.send(EM_LINEINDEX, static_cast<WPARAM>(lines / 2)));
  editor.send(EM_SETSEL, static_cast<WPARAM>(middleLine + 4), middleLine + 4);
  pumpMessages();
  const double keystroke = timed([&] {
    editor.send(WM_CHAR, L'x', 1);
    pumpMessages();  // and what it posted, its paint among it
    editor.send(WM_KEYDOWN, VK_BACK, 1);
    pumpMessages();
  }, 10) / 2;
  const double lineCount = timed([&] { editor.send(EM_GETLINECOUNT); }, 20);
  const double lineFromChar = timed([&] { editor.send(EM_EXLINEFROMCHAR, 0, middle); }, 20);
  const double lineIndex = timed([&] { editor.send(EM_LINEINDEX, static_cast<WPARAM>(lines / 2)); }, 20);
  GETTEXTLENGTHEX lengthRequest{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const double length = timed([&] { editor.send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest)); }, 20);
  std::vector<wchar_t> buffer(text.size() + 16);
  const double range = timed([&] {
    TEXTRANGEW r{{middle, middle + 40}, buffer.data()};
    editor.send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&r));
  }, 20);
  const double whole = timed([&] {
    GETTEXTEX get{static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
    editor.send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buffer.data()));
  }, 5);
  std::printf("%-26s %9.2f %9.2f %9.3f | %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n", name, fill, paint, keystroke, lineCount,
              lineFromChar, lineIndex, length, range, whole);
  std::fflush(stdout);
}

}  // namespace

int main() {
  LoadLibraryW(L"riched20.dll");
  std::printf("%-26s %9s %9s %9s | %8s %8s %8s %8s %8s %8s\n", "text (ms)", "fill", "paint", "keystroke", "lines",
              "lineof", "linestart", "length", "range", "whole");
  std::wstring block;
  for (int i = 0; i < 10000; ++i) {
    if (i) block += L'\r';
    block += L"Line " + std::to_wstring(i) + L" of the note";
  }
  measure("10,000 lines", block);
  std::wstring large;
  for (int paragraph = 0; large.size() < 1000000; ++paragraph) {
    if (paragraph) large += L'\r';
    large += L"Paragraph " + std::to_wstring(paragraph) + L": the quick brown fox jumps over the lazy dog.";
  }
  measure("1 MB in 22,000 paragraphs", large);
  return 0;
}
