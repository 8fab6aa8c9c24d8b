// The host program's command processor; see CommandProcessor.h.
#include "CommandProcessor.h"

#include <cwctype>
#include <sstream>

#include "acedads.h"
#include "acutads.h"
#include "dbents.h"
#include "dbdim.h"

namespace cadhost::app {

namespace {
std::wstring upper(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}
std::wstring trim(const std::wstring& s) {
  const size_t first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  const size_t last = s.find_last_not_of(L" \t");
  return s.substr(first, last - first + 1);
}
void print(const std::wstring& text) { acutPrintf(L"%s", text.c_str()); }
}  // namespace

CommandProcessor::CommandProcessor(ModuleLoader& loader) : mLoader(loader) {
  addStandardCommands();
  cadhost::setSelectionSource(this);
}

CommandProcessor::~CommandProcessor() {
  if (cadhost::selectionSource() == this) cadhost::setSelectionSource(nullptr);
}

void CommandProcessor::pushSource(std::unique_ptr<LineSource> source) { mSources.push_back(std::move(source)); }

void CommandProcessor::addHostCommand(const std::wstring& name, HostCommand command) {
  mHostCommands[upper(name)] = std::move(command);
}

bool CommandProcessor::ask(const std::wstring& prompt, std::wstring& answer) {
  if (!cadhost::commandLineAtLineStart()) print(L"\n");  // a message that did not end its line
  print(prompt);
  while (!mSources.empty()) {
    LineSource& source = *mSources.back();
    if (source.readLine(answer)) {
      if (!source.interactive()) print(answer + L"\n");  // a script's answers show as if typed
      return true;
    }
    mSources.pop_back();
  }
  print(L"\n");
  return false;
}

void CommandProcessor::run() {
  std::wstring line;
  while (!mQuit && ask(L"Command: ", line)) execute(line);
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
    print(L"Unknown command \"" + upper(name) + L"\".\n");
  }
  return !mQuit;
}

SelectionAnswer CommandProcessor::selectObjects(const SelectionRequest& request) {
  SelectionAnswer answer;
  std::wstring line;
  for (;;) {
    if (!ask(request.prompt, line)) {
      answer.cancelled = true;
      return answer;
    }
    line = trim(line);
    if (line.empty()) return answer;
    const std::wstring keyword = upper(line);
    if (keyword == L"*CANCEL*" || keyword == L"ESC" || keyword == L"CANCEL") {
      print(L"*Cancel*\n");
      answer.cancelled = true;
      return answer;
    }
    std::vector<AcDbObjectId> picked = answer.objects;
    std::wstring message;
    if (!cadhost::parseSelectionAnswer(request.database, line, picked, message)) {
      print(message + L"\n");
      continue;
    }
    // Only what the command takes is counted and kept; what its filter refuses is said.
    size_t found = 0, filteredOut = 0;
    for (size_t i = answer.objects.size(); i < picked.size(); ++i) {
      if (request.accepts(picked[i])) {
        answer.objects.push_back(picked[i]);
        ++found;
      } else {
        ++filteredOut;
      }
    }
    std::wstring report = std::to_wstring(found) + L" found";
    if (filteredOut > 0) report += L", " + std::to_wstring(filteredOut) + L" filtered out";
    print(report + L", " + std::to_wstring(answer.objects.size()) + L" total\n");
  }
}

// ---- The host's own commands ------------------------------------------------------------

void CommandProcessor::addStandardCommands() {
  addHostCommand(L"QUIT", [this](const std::wstring&) { mQuit = true; });  // the drawing commands ask first
  addHostCommand(L"EXIT", [this](const std::wstring&) { mQuit = true; });

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
      if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') rest = rest.substr(1, rest.size() - 2);
      mLoader.load(rest, message);
    } else if (option == L"U" || option == L"UNLOAD") {
      if (rest.empty() && !ask(L"Module to unload: ", rest)) return;
      mLoader.unload(rest, message);
    } else {
      message = L"Unknown option \"" + option + L"\".";
    }
    print(message + L"\n");
  });

  // PICK: selects objects for the next command, as clicking them before a command does.
  addHostCommand(L"PICK", [](const std::wstring&) {
    ads_name set;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, set) != RTNORM) return;
    acedSSSetFirst(set, nullptr);
    Adesk::Int32 length = 0;
    acedSSLength(set, &length);
    acedSSFree(set);
    acutPrintf(L"%d picked for the next command.\n", static_cast<int>(length));
  });

  // LIST: the type, handle, layer and text of selected entities.
  addHostCommand(L"LIST", [](const std::wstring&) {
    ads_name set;
    if (acedSSGet(nullptr, nullptr, nullptr, nullptr, set) != RTNORM) return;
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
  });
}

}  // namespace cadhost::app
