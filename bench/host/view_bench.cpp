// Timing harness for the host program's drawing view, run under Wine on a (virtual) screen. It
// loads the module as the host does, shows the host's main window and measures end to end:
//   - a keystroke in TE's editor on a note of five TEXT lines: the keystroke is sent to the editor,
//     which returns when the dialog has written the change into the drawing and the host's view
//     has repainted what changed; on the sample sheet, and on a drawing of 100,000 entities, with
//     the whole drawing in view and zoomed in to the note;
//   - opening that drawing from its file to a painted view.
//
//   host_view_bench [keystrokes] [sample.dxf]
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../plugin/harness.h"
#include "../../cadhost/dxf/dxffile.h"
#include "CommandProcessor.h"
#include "DrawingCommands.h"
#include "DrawingWindow.h"
#include "ModuleLoader.h"
#include "ViewCommands.h"
#include "dbents.h"
#include "dbsymtb.h"

namespace {

using bench::now;

struct Run {
  int keystrokes = 0;
  double seconds = 0;
  int paints = 0;
  bool done = false;
  cadhost::app::DrawingWindow* window = nullptr;
};
Run* gRun = nullptr;

BOOL CALLBACK takeEditor(HWND w, LPARAM out) {
  wchar_t title[64] = {0};
  GetWindowTextW(w, title, 64);
  if (IsWindowVisible(w) && wcscmp(title, L"Pellaton 3.5") == 0) {
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
  Run& run = *gRun;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), takeEditor, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr || run.done) return;
  run.done = true;
  // The dialog stands aside, so that the view's repaints reach the screen.
  SetWindowPos(dialog, nullptr, 0, 700, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND editor = GetDlgItem(dialog, 203);
  SendMessageW(editor, EM_SETSEL, 0, 0);  // the caret at the start of the first line
  const int paintsBefore = run.window->paintCount();
  HWND view = run.window->view().hwnd();
  HDC screen = GetDC(view);
  const double start = now();
  for (int i = 0; i < run.keystrokes; ++i) {
    if (i % 2 == 0) {
      SendMessageW(editor, WM_CHAR, L'x', 1);
    } else {  // Backspace: the editor takes it as a key
      SendMessageW(editor, WM_KEYDOWN, VK_BACK, 0x000E0001);
      SendMessageW(editor, WM_KEYUP, VK_BACK, 0xC00E0001);
    }
    // Reading a pixel back from the screen waits until the screen has drawn what the view gave it.
    GetPixel(screen, 0, 0);
  }
  run.seconds = (now() - start) / run.keystrokes;
  ReleaseDC(view, screen);
  run.paints = run.window->paintCount() - paintsBefore;
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The mean time of a keystroke in TE's editor on the entities picked.
double keystroke(cadhost::app::DrawingWindow& window, int keystrokes, int& paints) {
  Run run;
  run.keystrokes = keystrokes;
  run.window = &window;
  gRun = &run;
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, onTimer);
  cadhost::runCommand(L"TE");
  KillTimer(nullptr, timer);
  gRun = nullptr;
  if (!run.done) {  // a figure of nothing measured would read as a fast keystroke
    std::fprintf(stderr, "TE did not open its editor:\n%ls\n", cadhost::takeCommandLineOutput().c_str());
    std::exit(1);
  }
  paints = run.paints;
  return run.seconds;
}

// The TEXT entities of the current drawing's model space whose text begins as given.
std::vector<AcDbObjectId> textsStartingWith(const std::vector<std::wstring>& starts) {
  std::vector<AcDbObjectId> found;
  AcDbDatabase* db = acDocManagerPtr()->curDocument()->database();
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead) != Acad::eOk) return found;
  AcDbBlockTableRecordIterator* it = nullptr;
  space->newIterator(it);
  for (; !it->done(); it->step()) {
    AcDbText* text = nullptr;
    AcDbObjectId id;
    it->getEntityId(id);
    if (acdbOpenObject(text, id, AcDb::kForRead) != Acad::eOk) continue;
    for (const std::wstring& start : starts)
      if (std::wstring(text->textStringConst()).rfind(start, 0) == 0) found.push_back(id);
    text->close();
  }
  delete it;
  space->close();
  return found;
}

void append(AcDbBlockTableRecord* space, AcDbEntity* entity) {
  space->appendAcDbEntity(entity);
  entity->close();
}

// A drawing of 5,000 TEXT entities, all readable when the whole drawing is in view.
void makeTextGrid() {
  cadhost::closeAllDocuments();
  auto* db = new AcDbDatabase(true, true);
  cadhost::openDocument(db, true, L"5,000 TEXT");
  AcAxDocLock lock(db);
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite);
  for (int row = 0; row < 100; ++row)
    for (int column = 0; column < 50; ++column)
      append(space, new AcDbText(AcGePoint3d(column * 20.0, -row * 5.0, 0), (L"NOTE " + std::to_wstring(row * 50 + column)).c_str(),
                                 AcDbObjectId::kNull, 3));
  space->close();
}

// A drawing of about 100,000 entities: a hundred by a hundred rooms, each a frame with a name,
// notes, a door and a column; and in the middle a note of five TEXT lines.
std::wstring writeLargeDrawing(const std::wstring& path) {
  auto* db = new AcDbDatabase(true, true);
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite);
  for (int row = 0; row < 100; ++row) {
    for (int column = 0; column < 100; ++column) {
      const double x = column * 60.0, y = row * 40.0;
      auto* frame = new AcDbPolyline;
      frame->addVertexAt(0, AcGePoint2d(x, y));
      frame->addVertexAt(1, AcGePoint2d(x + 56, y));
      frame->addVertexAt(2, AcGePoint2d(x + 56, y + 36));
      frame->addVertexAt(3, AcGePoint2d(x, y + 36));
      frame->setClosed(true);
      append(space, frame);
      const std::wstring room = L"ROOM " + std::to_wstring(row * 100 + column);
      append(space, new AcDbText(AcGePoint3d(x + 3, y + 30, 0), room.c_str(), AcDbObjectId::kNull, 2.5));
      for (int line = 0; line < 5; ++line)
        append(space, new AcDbText(AcGePoint3d(x + 3, y + 25 - 4.0 * line, 0), L"Finish: oak on 65 screed", AcDbObjectId::kNull, 1.8));
      append(space, new AcDbLine(AcGePoint3d(x + 40, y, 0), AcGePoint3d(x + 48, y, 0)));
      append(space, new AcDbArc(AcGePoint3d(x + 40, y, 0), 8, 0, M_PI / 2));
      append(space, new AcDbCircle(AcGePoint3d(x + 50, y + 30, 0), AcGeVector3d::kZAxis, 2));
    }
  }
  for (int line = 0; line < 5; ++line)
    append(space, new AcDbText(AcGePoint3d(3003, 2011 - 4.0 * line, 0), (L"NOTE LINE " + std::to_wstring(line)).c_str(),
                               AcDbObjectId::kNull, 2.5));
  space->close();
  const cadhost::dxf::WriteResult written = cadhost::dxf::writeDrawing(db, path);
  delete db;
  return written.ok ? L"" : written.report();
}

}  // namespace

int main(int argc, char** argv) {
  const int keystrokes = argc > 1 ? std::max(2, atoi(argv[1])) : 40;
  std::wstring sample;
  for (const char* c = argc > 2 ? argv[2] : SAMPLE_DRAWING; *c; ++c) sample += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
  bench::Host host(true);
  if (!host.loaded()) return 1;
  cadhost::app::DrawingWindow& window = host.window();
  cadhost::app::CommandProcessor processor(host.loader());
  cadhost::app::DrawingCommands drawings(processor, window);
  cadhost::app::addViewCommands(processor, window);
  cadhost::setSelectionSource(&host);  // the processor took the prompts; the harness answers them
  std::vector<AcDbObjectId>& picked = host.picked;
  std::printf("%-52s %12s\n", "measurement", "ms");
  int paints = 0;

  if (drawings.open(sample)) {
    picked = textsStartingWith({L"GENERAL NOTES", L"1. ALL", L"2. DO NOT", L"3. CHECK", L"4. REPORT"});
    const double seconds = keystroke(window, keystrokes, paints);
    std::printf("%-52s %12.2f   (%zu lines, %d paints)\n", "keystroke, sample sheet", seconds * 1000, picked.size(), paints);
  } else {
    std::printf("the sample %ls cannot be opened\n", sample.c_str());
  }
  std::fflush(stdout);

  makeTextGrid();
  window.refresh();
  picked.clear();
  for (const wchar_t* note : {L"NOTE 0", L"NOTE 50", L"NOTE 100", L"NOTE 150", L"NOTE 200"}) {
    const std::vector<AcDbObjectId> found = textsStartingWith({note});
    for (AcDbObjectId id : found)
      if (std::find(picked.begin(), picked.end(), id) == picked.end()) {
        picked.push_back(id);
        break;
      }
  }
  {
    const double seconds = keystroke(window, keystrokes, paints);
    std::printf("%-52s %12.2f   (%zu lines, %d paints)\n", "keystroke, 5,000 TEXT all in view", seconds * 1000,
                picked.size(), paints);
    std::fflush(stdout);
  }

  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring large = std::wstring(folder) + L"host-view-bench-100k.dxf";
  const std::wstring problem = writeLargeDrawing(large);
  if (!problem.empty()) {
    std::printf("the large drawing cannot be written: %ls\n", problem.c_str());
    return 1;
  }
  const double openStart = now();
  drawings.open(large);
  {
    HDC screen = GetDC(window.view().hwnd());
    GetPixel(screen, 0, 0);
    ReleaseDC(window.view().hwnd(), screen);
  }
  std::printf("%-52s %12.2f\n", "open 100,000 entities to a painted view", (now() - openStart) * 1000);
  picked = textsStartingWith({L"NOTE LINE"});
  double seconds = keystroke(window, keystrokes, paints);
  std::printf("%-52s %12.2f   (%zu lines, %d paints)\n", "keystroke, 100,000 entities, all in view", seconds * 1000,
              picked.size(), paints);
  processor.execute(L"ZOOM W 2990,1985 3060,2020");
  seconds = keystroke(window, keystrokes, paints);
  std::printf("%-52s %12.2f   (%d paints)\n", "keystroke, 100,000 entities, zoomed in to the note", seconds * 1000, paints);
  const double zoomStart = now();
  processor.execute(L"ZOOM E");
  {
    HDC screen = GetDC(window.view().hwnd());
    GetPixel(screen, 0, 0);
    ReleaseDC(window.view().hwnd(), screen);
  }
  std::printf("%-52s %12.2f\n", "ZOOM Extents, 100,000 entities (all painted)", (now() - zoomStart) * 1000);
  DeleteFileW(large.c_str());
  return 0;
}
