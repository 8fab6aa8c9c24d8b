// The command line: acutPrintf and the text it receives.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "../sdk/acutads.h"
#include "hostservices.h"
#include "printformat.h"

namespace {
struct CommandLine {
  std::wstring pending;  // not yet taken by the host program or a test
  std::wstring history;  // everything ever printed
  std::function<void(const std::wstring&)> echo;
};
CommandLine& commandLine() {
  static CommandLine line;
  return line;
}
}  // namespace

int acutPrintf(const ACHAR* format, ...) {
  if (format == nullptr) return RTERROR;
  va_list args;
  va_start(args, format);
  const std::wstring text = cadhost_detail::formatPrintf(format, args);
  va_end(args);
  CommandLine& line = commandLine();
  line.pending += text;
  line.history += text;
  if (line.echo) line.echo(text);
  return static_cast<int>(text.size());
}

namespace cadhost {

std::wstring takeCommandLineOutput() {
  std::wstring taken;
  taken.swap(commandLine().pending);
  return taken;
}

const std::wstring& commandLineHistory() { return commandLine().history; }

bool commandLineAtLineStart() {
  const std::wstring& history = commandLine().history;
  return history.empty() || history.back() == L'\n';
}

void setCommandLineEcho(std::function<void(const std::wstring&)> echo) { commandLine().echo = std::move(echo); }

}  // namespace cadhost
