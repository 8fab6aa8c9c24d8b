// The timing harnesses' host; see harness.h.
#include "harness.h"

#include <cstdio>
#include <cstdlib>

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
  bool closesItself = false;  // the action leaves the closing to what it set going
  int lines = 0;               // the action waits for the editor to hold this many lines
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
  if (run.lines > 0 && SendMessageW(GetDlgItem(dialog, 203), EM_GETLINECOUNT, 0, 0) < run.lines) return;
  run.done = true;
  pumpMessages();  // what the dialog posted itself while opening
  (*run.action)(dialog);
  if (!run.closesItself) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Typing through the loop: a window of the harness gets a marker behind each posted key; when
// the loop hands it the marker, the key has been handled and the next one is posted.
struct Typing {
  HWND dialog = nullptr, editor = nullptr, marker = nullptr;
  int lines = 0;
  const std::function<void(HWND)>* setUp = nullptr;
  const std::vector<WORD>* keys = nullptr;
  size_t next = 0;
  double loaded = 0, started = 0, ended = 0;
};
Typing* gTyping = nullptr;

void postKey(const Typing& typing, WORD key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(typing.editor, WM_KEYDOWN, key, scan | 1);
  PostMessageW(typing.editor, WM_KEYUP, key, scan | 1 | (LPARAM(3) << 30));
  PostMessageW(typing.marker, WM_APP, 0, 0);
}

LRESULT CALLBACK markerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && gTyping != nullptr) {
    // Waiting, at the loop's lowest priority, for the text to be in.
    Typing& typing = *gTyping;
    if (SendMessageW(typing.editor, EM_GETLINECOUNT, 0, 0) < typing.lines) return 0;
    typing.loaded = now();
    KillTimer(window, 1);
    (*typing.setUp)(typing.editor);
    pumpMessages();
    typing.started = now();
    PostMessageW(window, WM_APP, 0, 0);
    return 0;
  }
  if (message != WM_APP || gTyping == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  Typing& typing = *gTyping;
  if (typing.next < typing.keys->size()) {
    postKey(typing, (*typing.keys)[typing.next++]);
  } else {
    typing.ended = now();
    PostMessageW(typing.dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

}  // namespace

double Host::runTE(const std::function<void(HWND)>& action, int lines) { return runTE(action, lines, false); }

Host::Typed Host::typeInTE(int lines, const std::function<void(HWND)>& setUp, const std::vector<WORD>& keys) {
  WNDCLASSW markerClass{};
  markerClass.lpfnWndProc = markerProc;
  markerClass.lpszClassName = L"BenchTypingMarker";
  RegisterClassW(&markerClass);
  Typing typing;
  typing.lines = lines;
  typing.setUp = &setUp;
  typing.keys = &keys;
  typing.marker = CreateWindowExW(0, markerClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  gTyping = &typing;
  const double started = now();
  runTE(
      [&](HWND dialog) {
        typing.dialog = dialog;
        typing.editor = GetDlgItem(dialog, 203);
        SetTimer(typing.marker, 1, 1, nullptr);
      },
      0, true);
  gTyping = nullptr;
  DestroyWindow(typing.marker);
  Typed typed;
  typed.loaded = typing.loaded - started;
  typed.key = keys.empty() ? 0 : (typing.ended - typing.started) / static_cast<double>(keys.size());
  return typed;
}

double Host::runTE(const std::function<void(HWND)>& action, int lines, bool closesItself) {
  Run run;
  run.action = &action;
  run.closesItself = closesItself;
  run.lines = lines;
  gRun = &run;
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, onTimer);
  run.started = now();
  cadhost::runCommand(L"TE");
  KillTimer(nullptr, timer);
  gRun = nullptr;
  if (run.shown == 0) {
    // The dialog never showed: there is no time to give, and a figure would mislead.
    std::fprintf(stderr, "TE did not open its dialog\n");
    std::exit(1);
  }
  return run.shown - run.started;
}

}  // namespace bench
