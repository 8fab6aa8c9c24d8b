// Timing harness for the editor's write-back, run under Wine: it loads the module as the host
// does and measures, on drawings built in memory,
//   - one keystroke in the middle line of a TEXT block of 10, 100, 1,000 and 10,000 lines, and at
//     the start of an MTEXT of about 1 MB;
//   - Enter and Backspace in the middle of the middle line (each moves the texts of half the
//     lines one entity down or up);
//   - opening the editor on each (the lines given in scrambled order: selection, ordering of the
//     lines, initialisation, loading the text, up to the dialog on screen), and the time until
//     the whole text is in the editor (a long text loads while the dialog is shown).
// The host's own drawing window stays hidden, so that the figures are the plug-in's and the
// host database's, not the screen's.
//
//   plugin_writeback_bench [keystrokes [10|100|1000|10000|mtext]]
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// Puts the caret into the middle line of the editor, at the given column.
void caretIntoMiddleLine(HWND editor, int column) {
  const LRESULT lines = SendMessageW(editor, EM_GETLINECOUNT, 0, 0);
  const LRESULT start = SendMessageW(editor, EM_LINEINDEX, static_cast<WPARAM>(lines / 2), 0);
  SendMessageW(editor, EM_SETSEL, static_cast<WPARAM>(start + column), start + column);
}

// Keys alternately typed and taken back, so that the text stays as long as it was.
std::vector<WORD> alternately(WORD key, WORD back, int count) {
  std::vector<WORD> keys;
  for (int i = 0; i < count; ++i) keys.push_back(i % 2 ? back : key);
  return keys;
}

}  // namespace

int main(int argc, char** argv) {
  const int keystrokes = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
  // A second argument measures that one block size alone ("mtext": the MTEXT alone).
  const std::string only = argc > 2 ? argv[2] : "";
  bench::Host host(false);
  if (!host.loaded()) return 1;

  std::printf("Keys are typed through the dialog's message loop, each timed until the loop is done with it.\n");
  std::printf("%-34s %10s %12s %14s %18s\n", "drawing", "open (ms)", "loaded (ms)", "keystroke (ms)",
              "Enter, middle (ms)");
  for (int lines : {10, 100, 1000, 10000}) {
    if (!only.empty() && only != std::to_string(lines)) continue;
    host.newDrawing();
    host.addTextLines(lines);
    // The user picks the lines in no particular order.
    std::shuffle(host.picked.begin(), host.picked.end(), std::mt19937(lines));
    const double open = host.runTE([](HWND) {});
    const bench::Host::Typed keystroke = host.typeInTE(lines, [](HWND editor) { caretIntoMiddleLine(editor, 4); },
                                                       alternately('X', VK_BACK, keystrokes));
    const bench::Host::Typed enter = host.typeInTE(lines, [](HWND editor) { caretIntoMiddleLine(editor, 4); },
                                                   alternately(VK_RETURN, VK_BACK, keystrokes));
    std::printf("%-34s %10.2f %12.2f %14.3f %18.3f\n", (std::to_string(lines) + " TEXT lines").c_str(), open * 1000,
                keystroke.loaded * 1000, keystroke.key * 1000, enter.key * 1000);
    std::fflush(stdout);
  }
  if (only.empty() || only == "mtext") {
    host.newDrawing();
    std::wstring contents;
    int paragraphs = 0;
    for (int paragraph = 0; contents.size() < 1000000; ++paragraph, ++paragraphs) {
      if (paragraph) contents += L"\\P";
      contents += L"Paragraph " + std::to_wstring(paragraph) + L": the quick brown fox jumps over the lazy dog.";
    }
    auto* mtext = new AcDbMText;
    mtext->setContents(contents.c_str());
    host.append(mtext);
    const double open = host.runTE([](HWND) {});
    const bench::Host::Typed keystroke = host.typeInTE(paragraphs, [](HWND editor) { SendMessageW(editor, EM_SETSEL, 0, 0); },
                                                       alternately('X', VK_BACK, keystrokes));
    std::printf("%-34s %10.2f %12.2f %14.3f\n", ("MTEXT of " + std::to_string(contents.size()) + " characters").c_str(),
                open * 1000, keystroke.loaded * 1000, keystroke.key * 1000);
  }
  return 0;
}
