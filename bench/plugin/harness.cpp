// The timing harnesses' host; see harness.h.
#include "harness.h"

#include <cstdio>

#include "HostRelease.h"

namespace bench {

double now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

Host::Host(bool showDrawing) {
  cadhost::app::currentRelease().year = 2021;
  mWindow.create(showDrawing);
  std::wstring message;
  mLoaded = mLoader.load(sizeof(void*) == 8 ? L"Pellaton2021x64.arx" : L"Pellaton2020x32.arx", message);
  if (!mLoaded) fwprintf(stderr, L"%ls\n", message.c_str());
  cadhost::setSelectionSource(this);
}

Host::~Host() {
  cadhost::setSelectionSource(nullptr);
  cadhost::closeAllDocuments();
}

cadhost::SelectionAnswer Host::selectObjects(const cadhost::SelectionRequest&) {
  cadhost::SelectionAnswer answer;
  answer.objects = picked;
  return answer;
}

AcDbDatabase* Host::newDrawing() {
  cadhost::closeAllDocuments();
  mDb = new AcDbDatabase(true, true);
  cadhost::openDocument(mDb, true, L"Benchmark");
  picked.clear();
  return mDb;
}

AcDbObjectId Host::append(AcDbEntity* entity) {
  AcAxDocLock lock(mDb);  // the harness draws as the host's own commands do
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, mDb->modelSpaceId(), AcDb::kForWrite);
  AcDbObjectId id;
  space->appendAcDbEntity(id, entity);
  entity->close();
  space->close();
  picked.push_back(id);
  return id;
}

void Host::addTextLines(int count) {
  for (int i = 0; i < count; ++i)
    append(new AcDbText(AcGePoint3d(0, -3.0 * i, 0), (L"Line " + std::to_wstring(i) + L" of the note").c_str(),
                        AcDbObjectId::kNull, 2.5));
}

namespace {

struct Run {
  const std::function<void(HWND)>* action = nullptr;
  double started = 0, shown = 0;
  bool done = false;
};
Run* gRun = nullptr;

BOOL CALLBACK findEditorDialog(HWND w, LPARAM out) {
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
  EnumThreadWindows(GetCurrentThreadId(), findEditorDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr || run.done) return;
  if (run.shown == 0) run.shown = now();
  run.done = true;
  pumpMessages();  // what the dialog posted itself while opening
  (*run.action)(dialog);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

double Host::runTE(const std::function<void(HWND)>& action) {
  Run run;
  run.action = &action;
  gRun = &run;
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, onTimer);
  run.started = now();
  cadhost::runCommand(L"TE");
  KillTimer(nullptr, timer);
  gRun = nullptr;
  return run.shown - run.started;
}

}  // namespace bench
