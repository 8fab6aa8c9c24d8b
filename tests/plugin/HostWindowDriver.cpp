// Driving the host's main window; see HostWindowDriver.h.
#include "HostWindowDriver.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

#include "CommandProcessor.h"
#include "DrawingCommands.h"
#include "EditCommands.h"
#include "ViewCommands.h"
#include "WindowInput.h"

namespace plugintest {

POINT WindowDriver::at(double x, double y) const {
  const cadhost::app::Point2 p = mWindow.view().transform().toScreen({x, y});
  return POINT{static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))};
}

void WindowDriver::mouse(UINT message, POINT p, WPARAM keys) const {
  SendMessageW(mWindow.view().hwnd(), message, keys, MAKELPARAM(p.x, p.y));
}

void WindowDriver::click(POINT p, bool shift) const {
  const WPARAM keys = shift ? MK_SHIFT : 0;
  mouse(WM_MOUSEMOVE, p, keys);
  mouse(WM_LBUTTONDOWN, p, keys | MK_LBUTTON);
  mouse(WM_LBUTTONUP, p, keys);
}

void WindowDriver::drag(POINT from, POINT to, bool shift) const {
  const WPARAM keys = shift ? MK_SHIFT : 0;
  mouse(WM_MOUSEMOVE, from, keys);
  mouse(WM_LBUTTONDOWN, from, keys | MK_LBUTTON);
  for (int step = 1; step <= 4; ++step)
    mouse(WM_MOUSEMOVE, POINT{from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4}, keys | MK_LBUTTON);
  mouse(WM_LBUTTONUP, to, keys);
}

void WindowDriver::rightClick(POINT p) const {
  mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  mouse(WM_RBUTTONUP, p, 0);
}

void WindowDriver::move(POINT p) const { mouse(WM_MOUSEMOVE, p, 0); }

void WindowDriver::wheel(POINT p, int notches) const {
  POINT screen = p;
  ClientToScreen(mWindow.view().hwnd(), &screen);
  SendMessageW(mWindow.view().hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
}

void WindowDriver::pan(POINT from, POINT to) const {
  mouse(WM_MBUTTONDOWN, from, MK_MBUTTON);
  mouse(WM_MOUSEMOVE, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}, MK_MBUTTON);
  mouse(WM_MOUSEMOVE, to, MK_MBUTTON);
  mouse(WM_MBUTTONUP, to, 0);
}

void WindowDriver::type(const std::wstring& text) const {
  for (wchar_t c : text) SendMessageW(mWindow.commandLine().inputBox(), WM_CHAR, c, 1);
}

void WindowDriver::key(UINT vk) const {
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  SendMessageW(mWindow.commandLine().inputBox(), WM_KEYDOWN, vk, 1 | (scan << 16));
  SendMessageW(mWindow.commandLine().inputBox(), WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

std::wstring WindowDriver::inputText() const {
  wchar_t text[512] = {0};
  GetWindowTextW(mWindow.commandLine().inputBox(), text, 512);
  return text;
}

namespace {
BOOL CALLBACK takeEditorDialog(HWND w, LPARAM out) {
  wchar_t title[64] = {0};
  GetWindowTextW(w, title, 64);
  if (IsWindowVisible(w) && wcscmp(title, L"Pellaton 3.5") == 0) {
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND editorDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), takeEditorDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// ---- Sessions --------------------------------------------------------------------------

namespace {

struct Session {
  std::vector<SessionStep>* steps = nullptr;
  size_t index = 0;
  int retries = 0;
  bool failed = false;
  cadhost::app::CommandProcessor* processor = nullptr;
};
Session* gSession = nullptr;

void CALLBACK onSessionTimer(HWND, UINT, UINT_PTR, DWORD) {
  Session& s = *gSession;
  // A step acts once the host has read what the step before gave it (as a user waits for the host).
  if (host().window().hasInput()) return;
  if (s.index >= s.steps->size()) {
    // Done: the session ends at the next prompt (an empty line wakes it).
    s.processor->requestQuit();
    host().window().submit(cadhost::app::UserInput{});
    return;
  }
  if ((*s.steps)[s.index]()) {
    ++s.index;
    s.retries = 0;
  } else if (++s.retries > 500) {
    ADD_FAILURE() << "session step " << s.index << " never completed";
    s.failed = true;
    s.index = s.steps->size();
  }
}

}  // namespace

bool runSession(std::vector<SessionStep> steps) {
  cadhost::app::DrawingWindow& window = host().window();
  cadhost::app::CommandProcessor processor(host().loader());
  cadhost::app::DrawingCommands drawings(processor, window);
  cadhost::app::addViewCommands(processor, window);
  cadhost::app::addEditCommands(processor, window);
  processor.pushSource(std::make_unique<cadhost::app::WindowLineSource>(window, nullptr));
  Session session;
  session.steps = &steps;
  session.processor = &processor;
  gSession = &session;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, onSessionTimer);
  processor.run();
  KillTimer(nullptr, timer);
  gSession = nullptr;
  cadhost::app::UserInput left;
  while (window.takeInput(left)) {}  // nothing stays for the next session
  window.beginPrompt({L"Command: ", cadhost::app::InputKind::Command});
  return !session.failed;
}

RECT differingPixels(const std::vector<COLORREF>& before, const std::vector<COLORREF>& after, int width) {
  RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    if (before[i] == after[i]) continue;
    const LONG x = static_cast<LONG>(i % static_cast<size_t>(width)), y = static_cast<LONG>(i / static_cast<size_t>(width));
    box.left = std::min(box.left, x);
    box.top = std::min(box.top, y);
    box.right = std::max(box.right, x + 1);
    box.bottom = std::max(box.bottom, y + 1);
  }
  if (box.left == LONG_MAX) return RECT{};
  return box;
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring windowsPath(const std::string& path) {
  std::wstring result;
  for (char c : path) result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return result;
}

// ---- The fixture -----------------------------------------------------------------------

void HostWindowTest::SetUp() {
  PluginTest::SetUp();
  cadhost::clearPickFirst();
}

void HostWindowTest::TearDown() {
  cadhost::clearPickFirst();
  window().beginPrompt({L"Command: ", cadhost::app::InputKind::Command});
  cadhost::setSelectionSource(&selection);  // a session's processor answered selections
  PluginTest::TearDown();
}

void HostWindowTest::show() {
  window().refresh();
  window().view().zoomExtents();
}

std::string HostWindowTest::folder() const {
  const std::string path = "Z:" + std::string(PELLATON_BUILD_DIR) + "/host-window-test";
  CreateDirectoryW(windowsPath(path).c_str(), nullptr);
  return path;
}

std::string HostWindowTest::openSample() {
  const std::string path = folder() + "/sheet.dxf";
  std::ofstream(path, std::ios::binary) << readBytes("Z:" + std::string(PELLATON_SOURCE_DIR) + "/samples/architectural-sheet.dxf");
  cadhost::app::CommandProcessor processor(host().loader());
  cadhost::app::DrawingCommands drawings(processor, window());
  EXPECT_TRUE(drawings.open(windowsPath(path)));
  db = acDocManagerPtr()->curDocument()->database();
  cadhost::takeCommandLineOutput();
  return path;
}

std::vector<AcDbObjectId> HostWindowTest::textsStartingWith(const std::wstring& start) {
  std::vector<AcDbObjectId> found;
  for (AcDbObjectId id : textsIn())
    if (textOf(id).rfind(start, 0) == 0) found.push_back(id);
  return found;
}

AcDbObjectId HostWindowTest::addJustifiedText(double x, double y, const wchar_t* text, AcDb::TextHorzMode h,
                                              AcDb::TextVertMode v, double rotation) {
  auto* entity = new AcDbText(AcGePoint3d(x, y, 0), text, AcDbObjectId::kNull, 10, rotation);
  entity->setHorizontalMode(h);
  entity->setVerticalMode(v);
  entity->setAlignmentPoint(AcGePoint3d(x, y, 0));
  return append(entity);
}

}  // namespace plugintest
