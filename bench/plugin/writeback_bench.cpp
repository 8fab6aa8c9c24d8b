// Timing harness for the editor's write-back, run under Wine: it loads the module as the host
// does and measures, on drawings built in memory,
//   - one keystroke in a TEXT block of 10, 100, 1,000 and 10,000 lines (the keystroke rewrites
//     every line of the block) and in an MTEXT of about 1 MB;
//   - opening the editor on 10,000 TEXT lines given in scrambled order (selection, ordering of
//     the lines, initialisation, loading the text).
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

#include "../../cadhost/core/hostservices.h"
#include "../HostBenchSupport.h"
#include "DrawingWindow.h"
#include "HostRelease.h"
#include "ModuleLoader.h"
#include "dbents.h"
#include "dbsymtb.h"

namespace {

using hostbench::now;
using hostbench::Picker;

// What one run of TE measures.
struct Measurement {
  double openSeconds = 0;       // from the command to the dialog on screen
  double keystrokeSeconds = 0;  // mean time of one keystroke, write-back included
  int keystrokes = 0;
};

struct Run {
  double started = 0;
  Measurement* result = nullptr;
  int keystrokes = 0;
  bool done = false;
  HHOOK hook = nullptr;
};
Run* gRun = nullptr;

HWND editorDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM out) -> BOOL {
        wchar_t title[64] = {0};
        GetWindowTextW(w, title, 64);
        if (IsWindowVisible(w) && wcscmp(title, L"Pellaton 3.5") == 0) {
          *reinterpret_cast<HWND*>(out) = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && gRun && gRun->result->openSeconds == 0) {
    wchar_t title[64] = {0};
    GetWindowTextW(reinterpret_cast<HWND>(wParam), title, 64);
    if (wcscmp(title, L"Pellaton 3.5") == 0) gRun->result->openSeconds = now() - gRun->started;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
  Run& run = *gRun;
  HWND dialog = editorDialog();
  if (dialog == nullptr || run.done) return;
  run.done = true;
  HWND editor = GetDlgItem(dialog, 203);
  SendMessageW(editor, EM_SETSEL, 0, 0);
  // Each keystroke is sent, so that it returns only when the editor has handled it and the
  // dialog has written the change back.
  const double start = now();
  for (int i = 0; i < run.keystrokes; ++i) SendMessageW(editor, WM_CHAR, i % 2 ? L'\b' : L'x', 1);
  run.result->keystrokeSeconds = (now() - start) / run.keystrokes;
  run.result->keystrokes = run.keystrokes;
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

Measurement runTE(Picker& picker, int keystrokes) {
  Measurement result;
  Run run{now(), &result, keystrokes};
  gRun = &run;
  run.hook = SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId());
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, onTimer);
  run.started = now();
  cadhost::runCommand(L"TE");
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(run.hook);
  gRun = nullptr;
  (void)picker;
  return result;
}

AcDbDatabase* newDrawing() {
  cadhost::closeAllDocuments();
  auto* db = new AcDbDatabase(true, true);
  cadhost::openDocument(db, true, L"Benchmark");
  return db;
}

void append(AcDbDatabase* db, AcDbEntity* entity, std::vector<AcDbObjectId>& ids) {
  AcAxDocLock lock(db);  // the host writes under the document's lock, as it requires of everyone
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite);
  AcDbObjectId id;
  space->appendAcDbEntity(id, entity);
  entity->close();
  space->close();
  ids.push_back(id);
}

}  // namespace

int main(int argc, char** argv) {
  const int keystrokes = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
  cadhost::app::currentRelease().year = 2021;
  cadhost::app::DrawingWindow window;
  window.create(false);
  cadhost::app::ModuleLoader loader;
  std::wstring message;
  if (!loader.load(L"Pellaton2021x64.arx", message)) {
    fwprintf(stderr, L"%ls\n", message.c_str());
    return 1;
  }
  Picker picker;
  cadhost::setSelectionSource(&picker);

  std::printf("%-34s %14s %14s\n", "drawing", "open (ms)", "keystroke (ms)");
  for (int lines : {10, 100, 1000, 10000}) {
    AcDbDatabase* db = newDrawing();
    picker.objects.clear();
    for (int i = 0; i < lines; ++i) {
      auto* text = new AcDbText(AcGePoint3d(0, -3.0 * i, 0), (L"Line " + std::to_wstring(i) + L" of the note").c_str(),
                                AcDbObjectId::kNull, 2.5);
      append(db, text, picker.objects);
    }
    // The user picks the lines in no particular order.
    std::shuffle(picker.objects.begin(), picker.objects.end(), std::mt19937(lines));
    const Measurement m = runTE(picker, lines >= 10000 ? std::max(2, keystrokes / 4) : keystrokes);
    std::printf("%-34s %14.2f %14.3f\n", (std::to_string(lines) + " TEXT lines").c_str(), m.openSeconds * 1000,
                m.keystrokeSeconds * 1000);
    std::fflush(stdout);
  }
  {
    AcDbDatabase* db = newDrawing();
    std::wstring contents;
    for (int paragraph = 0; contents.size() < 1000000; ++paragraph) {
      if (paragraph) contents += L"\\P";
      contents += L"Paragraph " + std::to_wstring(paragraph) + L": the quick brown fox jumps over the lazy dog.";
    }
    auto* mtext = new AcDbMText;
    mtext->setContents(contents.c_str());
    picker.objects.clear();
    append(db, mtext, picker.objects);
    const Measurement m = runTE(picker, keystrokes);
    std::printf("%-34s %14.2f %14.3f\n", ("MTEXT of " + std::to_string(contents.size()) + " characters").c_str(),
                m.openSeconds * 1000, m.keystrokeSeconds * 1000);
  }
  cadhost::setSelectionSource(nullptr);
  cadhost::closeAllDocuments();
  return 0;
}
