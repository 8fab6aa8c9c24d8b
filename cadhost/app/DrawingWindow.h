// The host program's main window: the drawing view, the command line under it and a status bar
// with the cursor's coordinates in the drawing's units. It is the host's main window (the parent
// of modules' dialogs).
//
// It follows the host's display events: the entities a graphics flush or a display update names
// are drawn again where they changed, a redraw paints everything again, and a drawing that is
// opened is shown whole. It keeps what is highlighted: the selection made at the Command prompt
// (the pick-first set), the objects selected so far at a selection prompt, and while a command
// runs the objects it was given and those it created (the entities it is editing).
//
// It is also where the user's input gathers (UserInput.h): the command line's lines and cancels,
// the view's picks and points. At the Command prompt a pick changes the pick-first set at once;
// at other prompts the input waits for the command processor (WindowInput.h).
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "CommandLineWindow.h"
#include "DrawingView.h"
#include "UserInput.h"

class AcApDocument;

namespace cadhost::app {

class DrawingWindow : public InputTarget {
 public:
  DrawingWindow() = default;
  ~DrawingWindow() override;
  DrawingWindow(const DrawingWindow&) = delete;
  DrawingWindow& operator=(const DrawingWindow&) = delete;

  // Creates the window (shown or hidden) and makes it the host's main window. What the host
  // prints goes to its command line (and to the console when echoToConsole is set).
  bool create(bool visible);
  HWND hwnd() const { return mWindow; }
  void setConsoleEcho(bool on) { mConsoleEcho = on; }
  // Shows the current drawing: a drawing opened since is shown whole, fitted to the window; the
  // one shown is painted again.
  void refresh();
  // The number of times the drawing was painted (wholly or in part).
  int paintCount() const { return mView.paintCount(); }

  DrawingView& view() { return mView; }
  CommandLineWindow& commandLine() { return mCommandLine; }
  std::wstring statusText(int pane) const;

  // The prompt the host waits at (the command line shows it; the view takes the mouse for it).
  void beginPrompt(const Prompt& prompt);
  // The next input the user gave at the prompt; false when there is none yet.
  bool takeInput(UserInput& input);
  // Whether input waits to be read (the user typed ahead).
  bool hasInput() const { return !mInputs.empty(); }
  // Recomputes what is highlighted (after the pick-first set or a selection changed).
  void updateHighlight();

  // InputTarget
  void submit(UserInput input) override;
  InputKind inputKind() const override { return mPrompt.kind; }
  void cursorMoved(const Point2& at) override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void layout();
  void hostEvent(int kind, AcApDocument* doc);
  void flushChanges(AcApDocument* doc, bool queuedOnly);
  void updateTitle();

  HWND mWindow = nullptr, mStatus = nullptr;
  DrawingView mView;
  CommandLineWindow mCommandLine;
  bool mConsoleEcho = false;
  Prompt mPrompt{L"Command: ", InputKind::Command};
  std::vector<AcDbObjectId> mPromptSelection;  // a copy of what the prompt said is selected
  std::deque<UserInput> mInputs;
  std::vector<AcDbObjectId> mPending;          // changed entities queued for the next flush
  bool mCommandRunning = false;
  std::vector<AcDbObjectId> mCommandObjects;   // what the running command was given and made
};

}  // namespace cadhost::app
