// Driving the host's main window as a user does, for the tests of the host program: mouse
// messages to the drawing view (clicks, Shift-clicks, drags), keys and characters to the command
// line's input, and a command line session run by the host's command processor while a test acts
// from a timer (as a user acts while the host waits for input or a dialog is open).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DrawingWindow.h"
#include "PluginHost.h"

namespace plugintest {

class WindowDriver {
 public:
  explicit WindowDriver(cadhost::app::DrawingWindow& window) : mWindow(window) {}

  // The view pixel where a drawing point is shown.
  POINT at(double x, double y) const;
  void click(POINT p, bool shift = false) const;
  // Presses the left button at from, moves to to in steps, releases it there.
  void drag(POINT from, POINT to, bool shift = false) const;
  void rightClick(POINT p) const;
  void move(POINT p) const;
  // Turns the wheel by notches (away from the user: positive) with the cursor at p.
  void wheel(POINT p, int notches) const;
  // Drags with the middle button from one point to another.
  void pan(POINT from, POINT to) const;
  // Characters typed into the command line's input, and a key pressed there (Enter, Escape, Up).
  void type(const std::wstring& text) const;
  void key(UINT vk) const;
  // Types a line and presses Enter.
  void enter(const std::wstring& line) const {
    type(line);
    key(VK_RETURN);
  }
  std::wstring history() const { return mWindow.commandLine().historyText(); }
  std::wstring inputText() const;

 private:
  void mouse(UINT message, POINT p, WPARAM keys) const;
  cadhost::app::DrawingWindow& mWindow;
};

// TE's editor dialog, when it is open.
HWND editorDialog();

// A step of a command line session: done when it returns true; false runs it again next turn.
using SessionStep = std::function<bool()>;

// Runs the host's command line on the window (the host's own commands and the modules'), doing
// the steps one after another from a timer while the host waits; when they are done the session
// ends. Returns false when a step never completed.
bool runSession(std::vector<SessionStep> steps);

// The box (in view pixels) of the pixels that differ between two pictures of the view.
RECT differingPixels(const std::vector<COLORREF>& before, const std::vector<COLORREF>& after, int width);

std::string readBytes(const std::string& path);
// A path of the tests (drive Z: under Wine, forward slashes) as the host is given it.
std::wstring windowsPath(const std::string& path);

// The tests of the host's window: the window starts each test at the Command prompt with nothing
// selected, and shows the test's drawing or a copy of the sample sheet.
class HostWindowTest : public PluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  cadhost::app::DrawingWindow& window() { return host().window(); }
  // Shows the test's drawing in the window, fitted to it.
  void show();
  // Opens a copy of the sample sheet in the window (it becomes the test's drawing); returns the
  // copy's path.
  std::string openSample();
  // A folder of the build for the files of the test.
  std::string folder() const;
  // The model space TEXT entities whose text begins as given, in drawing order.
  std::vector<AcDbObjectId> textsStartingWith(const std::wstring& start);
  AcDbObjectId addJustifiedText(double x, double y, const wchar_t* text, AcDb::TextHorzMode h, AcDb::TextVertMode v,
                                double rotation = 0);
};

}  // namespace plugintest
