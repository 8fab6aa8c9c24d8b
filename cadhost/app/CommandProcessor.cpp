// The host program's command processor; see CommandProcessor.h.
#include "CommandProcessor.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <sstream>

#include "CommandText.h"
#include "acedads.h"
#include "acutads.h"
#include "dbents.h"
#include "dbdim.h"

namespace cadhost::app {


CommandProcessor::CommandProcessor(ModuleLoader& loader) : mLoader(loader) {
  addStandardCommands();
  cadhost::setSelectionSource(this);
}

CommandProcessor::~CommandProcessor() {
  if (cadhost::selectionSource() == this) cadhost::setSelectionSource(nullptr);
}

void CommandProcessor::pushSource(std::unique_ptr<LineSource> source) { mSources.push_back(std::move(source)); }

void CommandProcessor::addHostCommand(const std::wstring& name, HostCommand command, const std::wstring& help) {
  mHostCommands[upper(name)] = std::move(command);
  if (!help.empty()) mHelp[upper(name)] = help;
}

CommandProcessor::Answer CommandProcessor::prompt(const Prompt& shown, UserInput& input) {
  if (!cadhost::commandLineAtLineStart()) print(L"\n");  // a message that did not end its line
  print(shown.text);
  while (!mSources.empty()) {
    LineSource& source = *mSources.back();
    if (source.read(shown, input)) {
      if (input.kind == UserInput::Kind::Cancel) {
        print(L"*Cancel*\n");
        return Answer::Cancelled;
      }
      if (input.kind == UserInput::Kind::Line) {
        // The answer stands after its prompt, as typed; a console shows what its user typed.
        std::unique_ptr<ConsoleEchoPause> pause;
        if (input.shownByTerminal) pause = std::make_unique<ConsoleEchoPause>();
        print(input.line + L"\n");
      }
      return Answer::Given;
    }
    mSources.pop_back();
  }
  print(L"\n");
  return Answer::Ended;
}

bool CommandProcessor::ask(const std::wstring& text, std::wstring& answer) {
  UserInput input;
  for (;;) {
    if (prompt({text, InputKind::Text}, input) != Answer::Given) return false;
    if (input.kind == UserInput::Kind::Line) {
      answer = input.line;
      return true;
    }
  }
}

bool parsePoint(const std::wstring& text, Point2& point) {
  const std::wstring t = trim(text);
  const size_t comma = t.find(L',');
  if (comma == std::wstring::npos) return false;
  wchar_t* end = nullptr;
  const double x = std::wcstod(t.c_str(), &end);
  if (end != t.c_str() + comma) return false;
  const wchar_t* yText = t.c_str() + comma + 1;
  const double y = std::wcstod(yText, &end);
  if (end == yText || !std::isfinite(x) || !std::isfinite(y)) return false;
  const std::wstring rest = trim(end);
  if (!rest.empty()) {  // a z after a second comma is allowed and left out
    if (rest[0] != L',') return false;
    wchar_t* zEnd = nullptr;
    std::wcstod(rest.c_str() + 1, &zEnd);
    if (zEnd == rest.c_str() + 1 || !trim(zEnd).empty()) return false;
  }
  point = {x, y};
  return true;
}

bool CommandProcessor::askPoint(const std::wstring& text, Point2& point) {
  UserInput input;
  for (;;) {
    if (prompt({text, InputKind::Point}, input) != Answer::Given) return false;
    if (input.kind == UserInput::Kind::Point) {
      point = input.point;
      return true;
    }
    if (input.kind != UserInput::Kind::Line) continue;
    if (trim(input.line).empty()) return false;
    if (parsePoint(input.line, point)) return true;
    print(L"A point is given as x,y, or picked in the drawing.\n");
  }
}

void CommandProcessor::run() {
  while (!mQuit) {
    UserInput input;
    const Answer answer = prompt({L"Command: ", InputKind::Command}, input);
    if (answer == Answer::Ended) break;
    if (answer == Answer::Given && input.kind == UserInput::Kind::Line) execute(input.line);
  }
}

bool CommandProcessor::execute(const std::wstring& typed) {
  const std::wstring line = trim(typed);
  if (line.empty()) return !mQuit;
  const size_t space = line.find_first_of(L" \t");
  const std::wstring name = line.substr(0, space);
  const std::wstring arguments = space == std::wstring::npos ? L"" : trim(line.substr(space));
  std::wstring hostName = upper(name);
  if (!hostName.empty() && hostName[0] == L'_') hostName.erase(0, 1);
  if (const auto it = mHostCommands.find(hostName); it != mHostCommands.end()) {
    it->second(arguments);
  } else if (!cadhost::runCommand(name)) {
    print(L"Unknown command \"" + upper(name) + L"\". Type HELP for the list of commands.\n");
  }
  return !mQuit;
}

SelectionAnswer CommandProcessor::selectObjects(const SelectionRequest& request) {
  SelectionAnswer answer;
  // Only what the command takes is counted and kept; what its filter refuses is said.
  auto take = [&](const std::vector<AcDbObjectId>& picked) {
    size_t found = 0, filteredOut = 0, duplicates = 0;
    for (AcDbObjectId id : picked) {
      if (!request.accepts(id)) {
        ++filteredOut;
      } else if (std::find(answer.objects.begin(), answer.objects.end(), id) != answer.objects.end()) {
        ++found;
        ++duplicates;
      } else {
        answer.objects.push_back(id);
        ++found;
      }
    }
    std::wstring report = std::to_wstring(found) + L" found";
    if (duplicates > 0) report += L" (" + std::to_wstring(duplicates) + L" duplicate)";
    if (filteredOut > 0) report += L", " + std::to_wstring(filteredOut) + L" filtered out";
    print(report + L", " + std::to_wstring(answer.objects.size()) + L" total\n");
  };
  for (;;) {
    UserInput input;
    if (prompt({request.prompt, InputKind::Objects, &answer.objects}, input) != Answer::Given) {
      answer.cancelled = true;
      return answer;
    }
    if (input.kind == UserInput::Kind::Objects) {
      if (input.removing) {
        size_t removed = 0;
        for (AcDbObjectId id : input.objects) removed += std::erase(answer.objects, id);
        print(std::to_wstring(removed) + L" removed, " + std::to_wstring(answer.objects.size()) + L" total\n");
      } else {
        take(input.objects);
      }
      continue;
    }
    if (input.kind != UserInput::Kind::Line) continue;
    const std::wstring line = trim(input.line);
    if (line.empty()) return answer;
    const std::wstring keyword = upper(line);
    if (keyword == L"*CANCEL*" || keyword == L"ESC" || keyword == L"CANCEL") {
      print(L"*Cancel*\n");
      answer.cancelled = true;
      return answer;
    }
    std::vector<AcDbObjectId> picked;
    std::wstring message;
    if (!cadhost::parseSelectionAnswer(request.database, line, picked, message)) {
      print(message + L"\n");
      continue;
    }
    take(picked);
  }
}

// ---- The host's own commands ------------------------------------------------------------

void CommandProcessor::addStandardCommands() {
  addHostCommand(L"QUIT", [this](const std::wstring&) { mQuit = true; });  // the drawing commands ask first
  addHostCommand(L"EXIT", [this](const std::wstring&) { mQuit = true; });

  // HELP: the commands there are.
  addHostCommand(L"HELP", [this](const std::wstring&) {
    print(L"The host's commands:\n");
    for (const auto& [name, help] : mHelp) print(L"  " + name + std::wstring(name.size() < 8 ? 8 - name.size() : 1, L' ') + help + L"\n");
    const std::vector<std::wstring> modules = cadhost::registeredCommands();
    if (!modules.empty()) print(L"Commands of application modules:\n");
    for (const std::wstring& command : modules) print(L"  " + command + L"\n");
  }, L"lists the commands");

  // APPLOAD [file]: loads an application module chosen in a file dialog (or named).
  addHostCommand(L"APPLOAD", [this](const std::wstring& arguments) {
    std::wstring path = unquoted(arguments);
    if (path.empty()) {
      wchar_t file[MAX_PATH] = L"";
      OPENFILENAMEW dialog{};
      dialog.lStructSize = sizeof dialog;
      dialog.hwndOwner = adsw_acadMainWnd();
      dialog.lpstrFilter = L"Application modules (*.arx)\0*.arx\0All files (*.*)\0*.*\0";
      dialog.lpstrFile = file;
      dialog.nMaxFile = MAX_PATH;
      dialog.lpstrTitle = L"Load an application module";
      dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
      if (!GetOpenFileNameW(&dialog)) return;
      path = file;
    }
    std::wstring message;
    mLoader.load(path, message);
    print(message + L"\n");
  }, L"loads an application module chosen in a file dialog");

  // ARX [Load path | Unload name | ?]: loads and unloads application modules.
  addHostCommand(L"ARX", [this](const std::wstring& arguments) {
    std::wstring option = arguments, rest;
    if (option.empty() && !ask(L"Enter an option [?/Load/Unload]: ", option)) return;
    option = trim(option);
    const size_t space = option.find_first_of(L" \t");
    if (space != std::wstring::npos) {
      rest = trim(option.substr(space));
      option = option.substr(0, space);
    }
    option = upper(option);
    std::wstring message;
    if (option == L"?" ) {
      for (const auto& m : mLoader.modules()) print(m.path + L"\n");
      return;
    }
    if (option == L"L" || option == L"LOAD") {
      if (rest.empty() && !ask(L"Module to load: ", rest)) return;
      mLoader.load(unquoted(rest), message);
    } else if (option == L"U" || option == L"UNLOAD") {
      if (rest.empty() && !ask(L"Module to unload: ", rest)) return;
      mLoader.unload(rest, message);
    } else {
      message = L"Unknown option \"" + option + L"\".";
    }
    print(message + L"\n");
  }, L"loads, unloads (Load, Unload) and lists (?) application modules");

  // PICK: selects objects for the next command, as clicking them before a command does.
  addHostCommand(L"PICK", [](const std::wstring&) {
    ads_name set;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, set) != RTNORM) return;
    acedSSSetFirst(set, nullptr);
    Adesk::Int32 length = 0;
    acedSSLength(set, &length);
    acedSSFree(set);
    acutPrintf(L"%d picked for the next command.\n", static_cast<int>(length));
  }, L"selects objects for the next command, as picking them at the Command prompt does");

  // LIST: the type, handle, layer and text of selected entities (those picked before, if any).
  addHostCommand(L"LIST", [](const std::wstring&) {
    ads_name set;
    const bool picked = !cadhost::pickFirst().empty() && acedSSGet(L"I", nullptr, nullptr, nullptr, set) == RTNORM;
    cadhost::clearPickFirst();
    if (!picked && acedSSGet(nullptr, nullptr, nullptr, nullptr, set) != RTNORM) return;
    Adesk::Int32 length = 0;
    acedSSLength(set, &length);
    for (Adesk::Int32 i = 0; i < length; ++i) {
      ads_name name;
      AcDbObjectId id;
      acedSSName(set, i, name);
      acdbGetObjectId(id, name);
      AcDbEntity* entity = nullptr;
      if (acdbOpenObject(entity, id, AcDb::kForRead) != Acad::eOk) continue;
      ACHAR handle[20];
      entity->handle().getIntoAsciiBuffer(handle, 20);
      ACHAR* layer = entity->layer();
      std::wstring text;
      if (auto* t = AcDbText::cast(entity)) {
        const AcGePoint3d p = t->position();
        std::wostringstream where;
        where << L" at " << p.x << L"," << p.y;
        text = L" \"" + std::wstring(t->textStringConst()) + L"\"" + where.str();
      } else if (auto* m = AcDbMText::cast(entity)) {
        text = L" \"" + std::wstring(m->contentsConst()) + L"\"";
      } else if (auto* d = AcDbDimension::cast(entity)) {
        text = L" \"" + std::wstring(d->dimensionTextConst()) + L"\"";
      }
      acutPrintf(L"%s handle %s layer %s%s\n", entity->typeName(), handle, layer, text.c_str());
      acutDelString(layer);
      entity->close();
    }
    acedSSFree(set);
  }, L"prints the type, handle, layer and text of selected objects");
}

}  // namespace cadhost::app
