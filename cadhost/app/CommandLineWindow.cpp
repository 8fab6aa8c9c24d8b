// The command line window; see CommandLineWindow.h.
#include "CommandLineWindow.h"

#include <commctrl.h>

#include <algorithm>

namespace cadhost::app {

namespace {

constexpr wchar_t kClassName[] = L"CadhostCommandLine";
constexpr size_t kKeptHistory = 256 * 1024;  // characters; past it the older half goes
constexpr COLORREF kPaper = RGB(45, 52, 62);
constexpr COLORREF kInk = RGB(225, 230, 235);

int CALLBACK noteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// A fixed-pitch face the system has.
HFONT commandLineFont(int height) {
  const wchar_t* candidates[] = {L"Consolas", L"Liberation Mono", L"DejaVu Sans Mono", L"Courier New"};
  const wchar_t* chosen = L"Courier New";
  HDC dc = GetDC(nullptr);
  for (const wchar_t* family : candidates) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &query, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    if (found) {
      chosen = family;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                     CLEARTYPE_QUALITY, FIXED_PITCH, chosen);
}

std::wstring withCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

}  // namespace

CommandLineWindow::~CommandLineWindow() {
  if (mWindow) DestroyWindow(mWindow);
  if (mFont) DeleteObject(mFont);
}

bool CommandLineWindow::create(HWND parent, InputTarget* target, HWND view) {
  mTarget = target;
  mView = view;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &CommandLineWindow::frameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  mWindow = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100, parent, nullptr,
                            wc.hInstance, this);
  if (mWindow == nullptr) return false;
  mFont = commandLineFont(14);
  HDC dc = GetDC(mWindow);
  HGDIOBJ previous = SelectObject(dc, mFont);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, previous);
  ReleaseDC(mWindow, dc);
  mLineHeight = tm.tmHeight + tm.tmExternalLeading;
  mHistory = CreateWindowExW(0, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 10, 10,
                             mWindow, nullptr, wc.hInstance, nullptr);
  mPromptLabel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 10, 10, mWindow,
                                 nullptr, wc.hInstance, nullptr);
  mInput = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10, 10, mWindow, nullptr,
                           wc.hInstance, nullptr);
  for (HWND w : {mHistory, mPromptLabel, mInput}) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(mFont), FALSE);
  SendMessageW(mHistory, EM_SETLIMITTEXT, 0, 0);
  SetWindowSubclass(mInput, &CommandLineWindow::inputProc, 1, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

int CommandLineWindow::heightFor(int historyLines) const { return mLineHeight * (historyLines + 1) + 10; }

void CommandLineWindow::layout() {
  RECT client;
  GetClientRect(mWindow, &client);
  const int inputHeight = mLineHeight + 4;
  const int historyHeight = std::max(0, static_cast<int>(client.bottom) - inputHeight - 2);
  MoveWindow(mHistory, 0, 0, client.right, historyHeight, TRUE);
  HDC dc = GetDC(mWindow);
  HGDIOBJ previous = SelectObject(dc, mFont);
  SIZE size{};
  GetTextExtentPoint32W(dc, mPrompt.c_str(), static_cast<int>(mPrompt.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(mWindow, dc);
  const int labelWidth = static_cast<int>(size.cx) + 6;
  MoveWindow(mPromptLabel, 2, historyHeight + 3, labelWidth, inputHeight - 2, TRUE);
  MoveWindow(mInput, labelWidth + 2, historyHeight + 2, std::max(10, static_cast<int>(client.right) - labelWidth - 4),
             inputHeight, TRUE);
}

LRESULT CALLBACK CommandLineWindow::frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CommandLineWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<CommandLineWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_SIZE:
      if (self && self->mInput) self->layout();
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH paper = CreateSolidBrush(kPaper);
      FillRect(reinterpret_cast<HDC>(wParam), &r, paper);
      DeleteObject(paper);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      static HBRUSH paper = CreateSolidBrush(kPaper);
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kInk);
      SetBkColor(dc, kPaper);
      return reinterpret_cast<LRESULT>(paper);
    }
    case WM_SETFOCUS:
      if (self) SetFocus(self->mInput);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

std::wstring CommandLineWindow::inputText() const {
  const int length = GetWindowTextLengthW(mInput);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(mInput, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

bool CommandLineWindow::key(WPARAM vk) {
  switch (vk) {
    case VK_RETURN: {
      UserInput input;
      input.line = inputText();
      if (!input.line.empty() && (mRecall.empty() || mRecall.back() != input.line)) mRecall.push_back(input.line);
      mRecallAt = mRecall.size();
      SetWindowTextW(mInput, L"");
      if (mTarget) mTarget->submit(std::move(input));
      return true;
    }
    case VK_ESCAPE: {
      SetWindowTextW(mInput, L"");
      mRecallAt = mRecall.size();
      UserInput input;
      input.kind = UserInput::Kind::Cancel;
      if (mTarget) mTarget->submit(std::move(input));
      return true;
    }
    case VK_UP:
    case VK_DOWN: {
      if (mRecall.empty()) return true;
      if (vk == VK_UP && mRecallAt > 0) --mRecallAt;
      if (vk == VK_DOWN && mRecallAt < mRecall.size()) ++mRecallAt;
      const std::wstring text = mRecallAt < mRecall.size() ? mRecall[mRecallAt] : L"";
      SetWindowTextW(mInput, text.c_str());
      SendMessageW(mInput, EM_SETSEL, text.size(), text.size());
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK CommandLineWindow::inputProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CommandLineWindow*>(data);
  switch (message) {
    case WM_KEYDOWN:
      if (self->key(wParam)) return 0;
      break;
    case WM_CHAR:
      if (wParam == L'\r' || wParam == 27) return 0;  // handled as keys (no beep)
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_MOUSEWHEEL: {
      // The wheel zooms the drawing when the cursor is over it, wherever the keyboard is.
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (self->mView && WindowFromPoint(at) == self->mView) return SendMessageW(self->mView, message, wParam, lParam);
      break;
    }
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void CommandLineWindow::append(const std::wstring& text) {
  if (mHistory == nullptr || text.empty()) return;
  std::wstring line = mPrompt;
  for (wchar_t c : text)
    if (c != L'\r') line += c;
  const size_t lastEnd = line.rfind(L'\n');
  if (lastEnd != std::wstring::npos) {
    addToHistory(withCrLf(line.substr(0, lastEnd + 1)));
    line.erase(0, lastEnd + 1);
  }
  if (line != mPrompt) {
    mPrompt = line;
    std::wstring shown = mPrompt;
    while (!shown.empty() && shown.back() == L' ') shown.pop_back();
    SetWindowTextW(mPromptLabel, shown.c_str());
    layout();
  }
}

void CommandLineWindow::addToHistory(const std::wstring& piece) {
  if (mHistoryLength + piece.size() > kKeptHistory) {
    // The older half goes, from a line start.
    const int length = GetWindowTextLengthW(mHistory);
    std::wstring all(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(mHistory, all.data(), length + 1);
    all.resize(static_cast<size_t>(length));
    size_t cut = all.find(L"\r\n", all.size() / 2);
    cut = cut == std::wstring::npos ? all.size() : cut + 2;
    all.erase(0, cut);
    SetWindowTextW(mHistory, all.c_str());
    mHistoryLength = all.size();
  }
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(mHistory));
  SendMessageW(mHistory, EM_SETSEL, end, end);
  SendMessageW(mHistory, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  SendMessageW(mHistory, EM_SCROLLCARET, 0, 0);
  mHistoryLength += piece.size();
}

std::wstring CommandLineWindow::historyText() const {
  const int length = GetWindowTextLengthW(mHistory);
  std::wstring all(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(mHistory, all.data(), length + 1);
  all.resize(static_cast<size_t>(length));
  std::wstring out;
  for (wchar_t c : all)
    if (c != L'\r') out += c;
  return out + mPrompt;
}

void CommandLineWindow::focusInput() {
  if (mInput) SetFocus(mInput);
}

}  // namespace cadhost::app
