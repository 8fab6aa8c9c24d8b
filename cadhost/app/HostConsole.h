// The host program's command line: text out to the console (or a pipe, as UTF-8), and lines in,
// from the console or a script. While it waits for a line from the console the host keeps its
// windows alive by pumping window messages.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>

namespace cadhost::app {

// Writes text to standard output: to the console as it is, to a file or pipe as UTF-8.
void writeOutput(const std::wstring& text);

class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line end; false at the end of the input.
  virtual bool readLine(std::wstring& line) = 0;
  // Whether the lines come from a person (prompts are shown) or from a script (lines are echoed).
  virtual bool interactive() const = 0;
};

// Lines typed at the console (or piped in), read on a thread of their own so that the host's
// windows keep answering while it waits.
class ConsoleLineSource : public LineSource {
 public:
  ConsoleLineSource();
  ~ConsoleLineSource() override;
  bool readLine(std::wstring& line) override;
  bool interactive() const override { return true; }

 private:
  struct Shared;
  std::shared_ptr<Shared> mShared;
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
