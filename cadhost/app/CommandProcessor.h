// The host program's command processor: it prompts "Command: ", reads a command line from the
// current line source (a script, then the console) and runs it: the host's own commands, or a
// command a module registered. Selection prompts of commands are answered from the same source.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../core/hostservices.h"
#include "HostConsole.h"
#include "ModuleLoader.h"

namespace cadhost::app {

class CommandProcessor : public cadhost::SelectionSource {
 public:
  explicit CommandProcessor(ModuleLoader& loader);
  ~CommandProcessor() override;

  // Line sources are read last pushed first; an exhausted source is dropped.
  void pushSource(std::unique_ptr<LineSource> source);

  // Runs command lines until QUIT or the end of all input.
  void run();
  // Runs one command line. False when the host is asked to quit.
  bool execute(const std::wstring& line);
  // Ends run() after the command in hand.
  void requestQuit() { mQuit = true; }
  // Shows a prompt and reads the answer; false at the end of the input.
  bool ask(const std::wstring& prompt, std::wstring& answer);

  // A command of the host program itself: it gets the rest of its command line.
  using HostCommand = std::function<void(const std::wstring& arguments)>;
  void addHostCommand(const std::wstring& name, HostCommand command);

  // Answers acedSSGet's prompt from the command line.
  SelectionAnswer selectObjects(const SelectionRequest& request) override;

 private:
  void addStandardCommands();
  ModuleLoader& mLoader;
  std::vector<std::unique_ptr<LineSource>> mSources;
  std::map<std::wstring, HostCommand> mHostCommands;  // by upper-case name
  bool mQuit = false;
};

}  // namespace cadhost::app
