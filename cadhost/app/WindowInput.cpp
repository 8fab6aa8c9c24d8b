// The window's input to the command processor; see WindowInput.h.
#include "WindowInput.h"

namespace cadhost::app {

WindowLineSource::WindowLineSource(DrawingWindow& window, std::unique_ptr<ConsoleLineSource> console)
    : mWindow(window), mConsole(std::move(console)) {}

bool WindowLineSource::readLine(std::wstring& line) {
  UserInput input;
  for (;;) {
    if (!read({L"", InputKind::Text}, input)) return false;
    if (input.kind == UserInput::Kind::Line) {
      line = input.line;
      return true;
    }
  }
}

bool WindowLineSource::read(const Prompt& prompt, UserInput& input) {
  mWindow.beginPrompt(prompt);
  for (;;) {
    input = UserInput();
    if (mWindow.takeInput(input)) return true;
    if (mConsole) {
      bool ended = false;
      if (mConsole->poll(input.line, ended)) {
        input.shownByTerminal = mConsole->interactive();
        return true;
      }
      if (ended) mConsole.reset();  // the window goes on alone
    }
    if (!IsWindow(mWindow.hwnd())) return false;
    HANDLE available = mConsole ? mConsole->available() : nullptr;
    const DWORD woke = MsgWaitForMultipleObjects(available ? 1 : 0, available ? &available : nullptr, FALSE, INFINITE,
                                                 QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 + (available ? 1 : 0)) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
}

}  // namespace cadhost::app
