// The host program's main window; see DrawingWindow.h.
#include "DrawingWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"
#include "HostConsole.h"
#include "acedads.h"
#include "acutads.h"

namespace cadhost::app {

namespace {
constexpr wchar_t kClassName[] = L"CadhostDrawingWindow";
constexpr int kHistoryLines = 6;

void addUnique(std::vector<AcDbObjectId>& to, AcDbObjectId id) {
  if (std::find(to.begin(), to.end(), id) == to.end()) to.push_back(id);
}
}  // namespace

DrawingWindow::~DrawingWindow() {
  cadhost::setHostEventListener(nullptr);
  cadhost::setCommandLineEcho(nullptr);
  if (adsw_acadMainWnd() == mWindow) cadhost::setMainWindow(nullptr);
  if (mWindow) DestroyWindow(mWindow);
}

bool DrawingWindow::create(bool visible) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &DrawingWindow::windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second registration fails harmlessly
  // Most of the screen, as a CAD program opens.
  RECT work{0, 0, 1280, 1024};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = std::min(1200, static_cast<int>(work.right - work.left) - 40);
  const int height = std::min(860, static_cast<int>(work.bottom - work.top) - 40);
  mWindow = CreateWindowExW(0, kClassName, L"cadhost", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, work.left + 20, work.top + 20,
                            width, height, nullptr, nullptr, wc.hInstance, this);
  if (mWindow == nullptr) return false;
  mView.create(mWindow, this);
  mCommandLine.create(mWindow, this, mView.hwnd());
  mStatus = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, mWindow, nullptr,
                            wc.hInstance, nullptr);
  const int panes[] = {260, 420, -1};
  SendMessageW(mStatus, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(panes));
  layout();
  cadhost::setMainWindow(mWindow);
  cadhost::setCommandLineEcho([this](const std::wstring& text) {
    mCommandLine.append(text);
    if (mConsoleEcho) echoToConsole(text);
  });
  cadhost::setHostEventListener([this](const cadhost::HostEvent& event) { hostEvent(static_cast<int>(event.kind), event.document); });
  if (visible) {
    ShowWindow(mWindow, SW_SHOWNORMAL);
    UpdateWindow(mWindow);
    mCommandLine.focusInput();
  }
  return true;
}

void DrawingWindow::layout() {
  if (mWindow == nullptr || mStatus == nullptr) return;
  SendMessageW(mStatus, WM_SIZE, 0, 0);
  RECT client, status;
  GetClientRect(mWindow, &client);
  GetWindowRect(mStatus, &status);
  const int statusHeight = status.bottom - status.top;
  const int lineHeight = mCommandLine.heightFor(kHistoryLines);
  const int viewHeight = std::max(1, static_cast<int>(client.bottom) - statusHeight - lineHeight);
  MoveWindow(mView.hwnd(), 0, 0, client.right, viewHeight, TRUE);
  MoveWindow(mCommandLine.hwnd(), 0, viewHeight, client.right, lineHeight, TRUE);
}

LRESULT CALLBACK DrawingWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<DrawingWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<DrawingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      self->layout();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the children cover it
    case WM_SETFOCUS:
      self->mCommandLine.focusInput();
      return 0;
    case WM_CLOSE: {
      // Closing the window is QUIT (which asks about unsaved changes); a prompt is cancelled first.
      if (self->mPrompt.kind != InputKind::Command) {
        UserInput cancel;
        cancel.kind = UserInput::Kind::Cancel;
        self->submit(cancel);
      }
      UserInput quit;
      quit.line = L"QUIT";
      self->mInputs.push_back(quit);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void DrawingWindow::updateTitle() {
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  std::wstring title = L"cadhost";
  if (doc != nullptr) {
    title += L" - ";
    title += *doc->fileName() ? doc->fileName() : doc->docTitle();
  }
  SetWindowTextW(mWindow, title.c_str());
}

void DrawingWindow::refresh() {
  if (mWindow == nullptr) return;
  updateTitle();
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  AcDbDatabase* db = doc ? doc->database() : nullptr;
  mPending.clear();
  if (db != mView.database()) {
    mView.showDrawing(db);
  } else {
    mView.redraw();
  }
  updateHighlight();
}

std::wstring DrawingWindow::statusText(int pane) const {
  const auto length = LOWORD(SendMessageW(mStatus, SB_GETTEXTLENGTHW, pane, 0));
  std::wstring text(length + 1u, L'\0');
  SendMessageW(mStatus, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

// ---- Display events --------------------------------------------------------------------

void DrawingWindow::flushChanges(AcApDocument* doc, bool queuedOnly) {
  AcDbDatabase* db = doc ? doc->database() : nullptr;
  if (db == nullptr || db != mView.database()) return;
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  mPending.insert(mPending.end(), imp->queuedForFlush.begin(), imp->queuedForFlush.end());
  if (!queuedOnly) mPending.insert(mPending.end(), imp->changedSinceFlush.begin(), imp->changedSinceFlush.end());
}

void DrawingWindow::hostEvent(int kind, AcApDocument* doc) {
  using K = cadhost::HostEventKind;
  switch (static_cast<K>(kind)) {
    case K::GraphicsQueued:
      flushChanges(doc, true);
      break;
    case K::GraphicsFlushed:
    case K::DisplayUpdated: {
      flushChanges(doc, false);
      if (mPending.empty()) break;
      std::vector<AcDbObjectId> changed;
      changed.swap(mPending);
      // What a command creates is what it edits: it is highlighted with what it was given.
      if (mCommandRunning)
        for (AcDbObjectId id : changed)
          if (mView.displayList().find(id) == nullptr) addUnique(mCommandObjects, id);
      mView.entitiesChanged(changed);
      if (mCommandRunning) updateHighlight();
      break;
    }
    case K::Redrawn:
      mView.redraw();
      break;
    case K::CommandStarted:
      mCommandRunning = true;
      mCommandObjects = cadhost::pickFirst();  // (kept only for commands that take it)
      updateHighlight();
      break;
    case K::CommandEnded:
      mCommandRunning = false;
      mCommandObjects.clear();
      updateHighlight();
      break;
    case K::DocumentClosing:
      // The view lets go of a drawing that goes away (it shows nothing until the next refresh).
      if (doc != nullptr && doc->database() == mView.database()) {
        mPending.clear();
        mCommandObjects.clear();
        mPromptSelection.clear();
        mView.showDrawing(nullptr);
      }
      break;
    default:
      break;
  }
}

// ---- Input -----------------------------------------------------------------------------

void DrawingWindow::updateHighlight() {
  std::vector<AcDbObjectId> shown = cadhost::pickFirst();
  for (AcDbObjectId id : mPromptSelection) addUnique(shown, id);
  for (AcDbObjectId id : mCommandObjects) addUnique(shown, id);
  mView.setHighlighted(shown);
  const size_t picked = cadhost::pickFirst().size();
  const std::wstring text = picked == 0 ? L"" : std::to_wstring(picked) + L" selected";
  SendMessageW(mStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void DrawingWindow::beginPrompt(const Prompt& prompt) {
  if (prompt.kind != InputKind::Objects && mPrompt.kind == InputKind::Objects && mCommandRunning) {
    // The selection the prompt made is what the command works on.
    for (AcDbObjectId id : mPromptSelection) addUnique(mCommandObjects, id);
  }
  mPrompt = {prompt.text, prompt.kind, nullptr};
  mPromptSelection = prompt.selection ? *prompt.selection : std::vector<AcDbObjectId>();
  if (prompt.kind != InputKind::Objects && prompt.kind != InputKind::Command) mView.cancelWindow();
  updateHighlight();
}

bool DrawingWindow::takeInput(UserInput& input) {
  if (mInputs.empty()) return false;
  input = std::move(mInputs.front());
  mInputs.pop_front();
  return true;
}

void DrawingWindow::submit(UserInput input) {
  if (input.kind == UserInput::Kind::Cancel) mView.cancelWindow();
  if (mPrompt.kind == InputKind::Command) {
    // At the Command prompt the mouse selects for the next command, and Escape clears that.
    if (input.kind == UserInput::Kind::Objects) {
      std::vector<AcDbObjectId> picked = cadhost::pickFirst();
      for (AcDbObjectId id : input.objects) {
        if (input.removing) std::erase(picked, id);
        else addUnique(picked, id);
      }
      cadhost::setPickFirst(picked);
      updateHighlight();
      return;
    }
    if (input.kind == UserInput::Kind::Cancel) {
      cadhost::clearPickFirst();
      updateHighlight();
    }
  }
  mInputs.push_back(std::move(input));
}

void DrawingWindow::cursorMoved(const Point2& at) {
  AcDbDatabase* db = mView.database();
  const int units = db ? db->lunits() : 2, precision = db ? db->luprec() : 4;
  ACHAR x[64] = L"", y[64] = L"";
  acdbRToS(at.x, units, precision, x);
  acdbRToS(at.y, units, precision, y);
  const std::wstring text = std::wstring(x) + L", " + y;
  SendMessageW(mStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace cadhost::app
