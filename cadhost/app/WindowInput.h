// The command processor's input from the host's window: what the user types at the command line
// and does with the mouse in the drawing view, and, while there is any, what comes from the
// console or a pipe as well (the console keeps working beside the window). It keeps the window
// answering while it waits. The window closing ends it; the console's input ending does not.
#pragma once

#include <memory>

#include "DrawingWindow.h"
#include "HostConsole.h"

namespace cadhost::app {

class WindowLineSource : public LineSource {
 public:
  // console may be null (the window alone).
  WindowLineSource(DrawingWindow& window, std::unique_ptr<ConsoleLineSource> console);
  bool readLine(std::wstring& line) override;
  bool interactive() const override { return true; }
  bool read(const Prompt& prompt, UserInput& input) override;

 private:
  DrawingWindow& mWindow;
  std::unique_ptr<ConsoleLineSource> mConsole;
};

}  // namespace cadhost::app
