// The host program's command line: text out to the console (or a pipe, as UTF-8), and lines in,
// from the console, a pipe or a script. While it waits for a line from the console the host keeps
// its windows alive by pumping window messages. (The command line of the host's window is
// WindowInput.h.)
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>

#include "UserInput.h"

namespace cadhost::app {

// Writes text to standard output: to the console as it is, to a file or pipe as UTF-8.
void writeOutput(const std::wstring& text);
// Writes what the command line prints to standard output, unless a pause is on (the console
// already shows a line its user typed).
void echoToConsole(const std::wstring& text);
class ConsoleEchoPause {
 public:
  ConsoleEchoPause();
  ~ConsoleEchoPause();
  ConsoleEchoPause(const ConsoleEchoPause&) = delete;
  ConsoleEchoPause& operator=(const ConsoleEchoPause&) = delete;
};

class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line end; false at the end of the input.
  virtual bool readLine(std::wstring& line) = 0;
  // Whether the lines come from a person typing them (who sees what is typed) or from a script or
  // a pipe (the host shows each answer after its prompt, as if it had been typed).
  virtual bool interactive() const = 0;
  // The answer to a prompt: a line, unless the source also takes the mouse (the host's window).
  virtual bool read(const Prompt& prompt, UserInput& input) {
    (void)prompt;
    input = UserInput();
    input.shownByTerminal = interactive();  // the console shows what its user types
    return readLine(input.line);
  }
};

// Lines typed at the console (or piped in), read on a thread of their own so that the host's
// windows keep answering while it waits.
class ConsoleLineSource : public LineSource {
 public:
  ConsoleLineSource();
  ~ConsoleLineSource() override;
  bool readLine(std::wstring& line) override;
  // A console's user sees what they type; a pipe's lines are shown as they are read.
  bool interactive() const override { return mConsole; }
  // A line if one is waiting, without waiting; ended is set when no more will come.
  bool poll(std::wstring& line, bool& ended);
  // Signalled when a line is waiting or the input ended.
  HANDLE available() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> mShared;
  bool mConsole = false;
};

// Lines of a script file (UTF-8, with or without a byte order mark), one command or answer a line.
class ScriptLineSource : public LineSource {
 public:
  // False with a message when the file cannot be read.
  bool open(const std::wstring& path, std::wstring& message);
  bool readLine(std::wstring& line) override;
  bool interactive() const override { return false; }

 private:
  std::deque<std::wstring> mLines;
};

// Text of a file given as UTF-8 (a byte order mark is skipped), as UTF-16.
std::wstring decodeUtf8(const std::string& bytes);
std::string encodeUtf8(const std::wstring& text);

}  // namespace cadhost::app
