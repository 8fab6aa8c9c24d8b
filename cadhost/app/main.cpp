// cadhost.exe: the stand-in CAD host program. It opens a drawing window on a drawing file (a
// demonstration drawing built in memory when none is given), loads the plug-in bundles of its
// plug-ins folders and the application modules it is given, and runs commands typed at its command
// line or read from a script. The release it stands in for is chosen at start; its processor is
// the one it is built for.
//
//   cadhost [/release 2018|2019|2020|2021] [/plugins folder]... [/load module.arx]... [/b script.scr]
//           [/hidden] [drawing.dxf]
//
// /plugins names a plug-ins folder to look for bundles in, instead of the host's own ones.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "../core/hostservices.h"
#include "CommandProcessor.h"
#include "DemoDrawing.h"
#include "DrawingCommands.h"
#include "DrawingWindow.h"
#include "HostConsole.h"
#include "HostRelease.h"
#include "ModuleLoader.h"
#include "PluginBundles.h"
#include "acutads.h"

using namespace cadhost::app;

namespace {

const wchar_t kUsage[] =
    L"usage: cadhost [/release 2018|2019|2020|2021] [/plugins folder]... [/load module.arx]... [/b script.scr] "
    L"[/hidden] [drawing.dxf]\n";

struct Options {
  std::vector<std::wstring> pluginFolders;  // empty: the host's own
  std::vector<std::wstring> modules;
  std::wstring script;
  std::wstring drawing;
  bool hidden = false;
};

bool parseArguments(Options& options) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  bool ok = true;
  for (int i = 1; i < argc && ok; ++i) {
    const std::wstring arg = argv[i];
    auto next = [&](std::wstring& value) {
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    std::wstring value;
    if (_wcsicmp(arg.c_str(), L"/release") == 0 && next(value)) {
      const int year = _wtoi(value.c_str());
      if (!isSupportedRelease(year)) {
        writeOutput(L"cadhost stands in for releases 2018 to 2021, not \"" + value + L"\".\n");
        ok = false;
      }
      currentRelease().year = year;
    } else if (_wcsicmp(arg.c_str(), L"/plugins") == 0 && next(value)) {
      options.pluginFolders.push_back(value);
    } else if (_wcsicmp(arg.c_str(), L"/load") == 0 && next(value)) {
      options.modules.push_back(value);
    } else if (_wcsicmp(arg.c_str(), L"/b") == 0 && next(value)) {
      options.script = value;
    } else if (_wcsicmp(arg.c_str(), L"/hidden") == 0) {
      options.hidden = true;
    } else if (!arg.empty() && arg[0] != L'/' && options.drawing.empty()) {
      options.drawing = arg;
    } else {
      writeOutput(L"cadhost: unexpected argument \"" + arg + L"\".\n" + kUsage);
      ok = false;
    }
  }
  LocalFree(argv);
  return ok;
}

}  // namespace

int main() {
  Options options;
  if (!parseArguments(options)) return 2;

  cadhost::setCommandLineEcho([](const std::wstring& text) { writeOutput(text); });
  writeOutput(L"cadhost, " + currentRelease().name() + L", " + processorName(hostProcessor()) + L"\n");

  DrawingWindow window;
  window.create(!options.hidden);

  int status = 0;
  {
    ModuleLoader loader;
    CommandProcessor processor(loader);
    DrawingCommands drawings(processor, window);
    if (options.drawing.empty() || !drawings.open(options.drawing)) {
      if (!options.drawing.empty()) status = 1;
      drawings.show(buildDemoDrawing(), L"Demonstration");
    }
    std::vector<std::wstring> bundleMessages;
    const auto& folders = options.pluginFolders.empty() ? defaultPluginFolders() : options.pluginFolders;
    if (!loadPluginBundles(loader, folders, bundleMessages)) status = 1;
    for (const std::wstring& message : bundleMessages) acutPrintf(L"%s\n", message.c_str());
    for (const std::wstring& module : options.modules) {
      std::wstring message;
      if (!loader.load(module, message)) status = 1;
      acutPrintf(L"%s\n", message.c_str());
    }
    processor.pushSource(std::make_unique<ConsoleLineSource>());
    if (!options.script.empty()) {
      auto script = std::make_unique<ScriptLineSource>();
      std::wstring message;
      if (!script->open(options.script, message)) {
        acutPrintf(L"%s\n", message.c_str());
        return 1;
      }
      processor.pushSource(std::move(script));
    }
    processor.run();
  }  // modules get their unload message here
  cadhost::closeAllDocuments();
  return status;
}
