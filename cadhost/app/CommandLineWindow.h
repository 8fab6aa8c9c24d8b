// The command line under the drawing: the history of what the host printed (prompts, messages,
// the failure reports of commands and modules, and what was typed), and under it the line being
// written: what the host printed since its last line end (the prompt it waits at) and the input.
// Enter gives the input to the host, Up and Down recall earlier lines, Escape cancels the prompt.
// The line joins the history when it ends (the host shows the answer after its prompt).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "UserInput.h"

namespace cadhost::app {

class CommandLineWindow {
 public:
  CommandLineWindow() = default;
  ~CommandLineWindow();
  CommandLineWindow(const CommandLineWindow&) = delete;
  CommandLineWindow& operator=(const CommandLineWindow&) = delete;

  // A child of parent; the mouse wheel over the view goes to view.
  bool create(HWND parent, InputTarget* target, HWND view);
  HWND hwnd() const { return mWindow; }
  HWND inputBox() const { return mInput; }
  HWND historyBox() const { return mHistory; }

  // Adds printed text: whole lines to the history, the rest to the line being written.
  void append(const std::wstring& text);
  // Everything printed: the history and the line being written.
  std::wstring historyText() const;
  void focusInput();
  // The height that shows lines of history and the input line.
  int heightFor(int historyLines) const;

 private:
  static LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK inputProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  void layout();
  void addToHistory(const std::wstring& piece);
  bool key(WPARAM vk);
  std::wstring inputText() const;

  HWND mWindow = nullptr, mHistory = nullptr, mPromptLabel = nullptr, mInput = nullptr, mView = nullptr;
  InputTarget* mTarget = nullptr;
  HFONT mFont = nullptr;
  int mLineHeight = 16;
  std::wstring mPrompt;                // the line being written (the prompt)
  std::vector<std::wstring> mRecall;  // lines entered, oldest first
  size_t mRecallAt = 0;               // mRecall.size(): at the line being typed
  size_t mHistoryLength = 0;
};

}  // namespace cadhost::app
