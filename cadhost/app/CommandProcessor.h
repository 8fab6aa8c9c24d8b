// The host program's command processor: it prompts "Command: ", reads a command line from the
// current line source (a script, then the window's command line or the console) and runs it: the
// host's own commands, or a command a module registered. Prompts of commands are answered from
// the same source: typed lines, and at the prompts that take them points and objects picked in
// the drawing window. Escape cancels a prompt.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../core/hostservices.h"
#include "HostConsole.h"
#include "ModuleLoader.h"
#include "UserInput.h"

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
  // Whether QUIT (or EXIT) ended the session, rather than the end of the input.
  bool quitRequested() const { return mQuit; }

  enum class Answer { Given, Cancelled, Ended };
  // Shows a prompt and reads its answer. A cancel prints "*Cancel*".
  Answer prompt(const Prompt& prompt, UserInput& input);
  // Shows a prompt and reads a typed answer; false when the user cancelled or the input ended.
  bool ask(const std::wstring& prompt, std::wstring& answer);
  // Asks for a point, typed as x,y or picked in the drawing; false when cancelled or ended.
  bool askPoint(const std::wstring& prompt, Point2& point);

  // A command of the host program itself: it gets the rest of its command line.
  using HostCommand = std::function<void(const std::wstring& arguments)>;
  void addHostCommand(const std::wstring& name, HostCommand command, const std::wstring& help = L"");

  // Answers acedSSGet's prompt from the command line and the mouse.
  SelectionAnswer selectObjects(const SelectionRequest& request) override;

 private:
  void addStandardCommands();
  ModuleLoader& mLoader;
  std::vector<std::unique_ptr<LineSource>> mSources;
  std::map<std::wstring, HostCommand> mHostCommands;  // by upper-case name
  std::map<std::wstring, std::wstring> mHelp;         // what each does, for HELP
  bool mQuit = false;
};

// A point typed as "x,y" (or "x,y,z"); false for anything else.
bool parsePoint(const std::wstring& text, Point2& point);

}  // namespace cadhost::app
