// Timing harness for the editor's write-back, run under Wine: it loads the module as the host
// does and measures, on drawings built in memory,
//   - one keystroke in a TEXT block of 10, 100, 1,000 and 10,000 lines and in an MTEXT of about
//     1 MB;
//   - opening the editor on each (the lines given in scrambled order: selection, ordering of the
//     lines, initialisation, loading the text, up to the dialog on screen).
// The host's own drawing window stays hidden, so that the figures are the plug-in's and the
// host database's, not the screen's.
//
//   plugin_writeback_bench [keystrokes]
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// Types keystrokes at the start of the editor; the mean time of one, write-back included. Each
// keystroke is sent, so that it returns only when the editor has handled it and the dialog has
// written the change back.
double typeKeystrokes(HWND dialog, int keystrokes) {
  HWND editor = GetDlgItem(dialog, 203);
  SendMessageW(editor, EM_SETSEL, 0, 0);
  bench::pumpMessages();
  const double start = bench::now();
  for (int i = 0; i < keystrokes; ++i) SendMessageW(editor, WM_CHAR, i % 2 ? L'\b' : L'x', 1);
  return (bench::now() - start) / keystrokes;
}

}  // namespace

int main(int argc, char** argv) {
  const int keystrokes = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
  bench::Host host(false);
  if (!host.loaded()) return 1;

  std::printf("%-34s %14s %14s\n", "drawing", "open (ms)", "keystroke (ms)");
  for (int lines : {10, 100, 1000, 10000}) {
    host.newDrawing();
    host.addTextLines(lines);
    // The user picks the lines in no particular order.
    std::shuffle(host.picked.begin(), host.picked.end(), std::mt19937(lines));
    double keystroke = 0;
    const double open = host.runTE([&](HWND dialog) {
      keystroke = typeKeystrokes(dialog, lines >= 10000 ? std::max(2, keystrokes / 4) : keystrokes);
    });
    std::printf("%-34s %14.2f %14.3f\n", (std::to_string(lines) + " TEXT lines").c_str(), open * 1000, keystroke * 1000);
    std::fflush(stdout);
  }
  {
    host.newDrawing();
    std::wstring contents;
    for (int paragraph = 0; contents.size() < 1000000; ++paragraph) {
      if (paragraph) contents += L"\\P";
      contents += L"Paragraph " + std::to_wstring(paragraph) + L": the quick brown fox jumps over the lazy dog.";
    }
    auto* mtext = new AcDbMText;
    mtext->setContents(contents.c_str());
    host.append(mtext);
    double keystroke = 0;
    const double open = host.runTE([&](HWND dialog) { keystroke = typeKeystrokes(dialog, keystrokes); });
    std::printf("%-34s %14.2f %14.3f\n", ("MTEXT of " + std::to_string(contents.size()) + " characters").c_str(),
                open * 1000, keystroke * 1000);
  }
  return 0;
}
