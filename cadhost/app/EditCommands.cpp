// The host's commands that change the drawing; see EditCommands.h.
#include "EditCommands.h"

#include <cwctype>
#include <sstream>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"
#include "CommandText.h"
#include "DrawingWindow.h"
#include "acedads.h"
#include "acutads.h"

namespace cadhost::app {

namespace {

AcDbDatabase* currentDrawing() {
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  return doc ? doc->database() : nullptr;
}

// The display shows what changed, as after any command.
void flushGraphics(AcDbDatabase* db) {
  if (AcApDocument* doc = acDocManagerPtr()->document(db)) {
    doc->transactionManager()->queueForGraphicsFlush();
    doc->transactionManager()->flushGraphics();
  }
  acedUpdateDisplay();
}

// Undoes (or redoes) up to count groups, saying which.
void step(DrawingWindow& window, int count, bool redo) {
  AcDbDatabase* db = currentDrawing();
  if (db == nullptr) {
    print(L"No drawing is open.\n");
    return;
  }
  {
    AcAxDocLock lock(db);  // the host locks the document for its own commands
    for (int i = 0; i < count; ++i) {
      std::wstring nameOrReason;
      const bool done = redo ? cadhost::redoLastGroup(db, nameOrReason) : cadhost::undoLastGroup(db, nameOrReason);
      if (!done) {
        print(nameOrReason + L"\n");
        break;
      }
      // A command's group is named by its global name; the user knows it without the underscore.
      if (!nameOrReason.empty() && nameOrReason[0] == L'_') nameOrReason.erase(0, 1);
      print((redo ? L"Redo " : L"Undo ") + nameOrReason + L"\n");
    }
  }
  // What was selected may be gone, or back where it was.
  cadhost::clearPickFirst();
  window.updateHighlight();
  flushGraphics(db);
}

struct LayerOption {
  const wchar_t* name;     // as typed in full
  const wchar_t* short_;   // the shortest form accepted
  const wchar_t* verb;     // for the prompt and the report
};
constexpr LayerOption kLayerOptions[] = {
    {L"LOCK", L"L", L"lock"}, {L"UNLOCK", L"U", L"unlock"}, {L"ON", L"ON", L"turn on"},
    {L"OFF", L"OF", L"turn off"}, {L"FREEZE", L"F", L"freeze"}, {L"THAW", L"T", L"thaw"},
};

const LayerOption* layerOption(const std::wstring& typed) {
  const std::wstring u = upper(typed);
  for (const LayerOption& option : kLayerOptions) {
    const std::wstring full = option.name;
    if (u.size() >= wcslen(option.short_) && full.compare(0, u.size(), u) == 0) return &option;
  }
  return nullptr;
}

std::vector<AcDbObjectId> layersMatching(AcDbDatabase* db, const std::wstring& patterns) {
  std::vector<AcDbObjectId> found;
  cadhost::HostReadScope hostReads;
  const auto* table = AcDbCore::objectAs<AcDbLayerTable>(db->layerTableId());
  if (table == nullptr) return found;
  for (AcDbObjectId id : AcDbCore::records(table)) {
    const auto* layer = AcDbCore::objectAs<AcDbLayerTableRecord>(id);
    if (layer == nullptr || id.isErased()) continue;
    if (acutWcMatch(upper(AcDbCore::name(layer)).c_str(), upper(patterns).c_str()) == RTNORM) found.push_back(id);
  }
  return found;
}

void listLayers(AcDbDatabase* db) {
  print(L"Layer                 State\n");
  for (AcDbObjectId id : layersMatching(db, L"*")) {
    AcDbLayerTableRecord* layer = nullptr;
    if (acdbOpenObject(layer, id, AcDb::kForRead) != Acad::eOk) continue;
    const ACHAR* name = nullptr;
    layer->getName(name);
    std::wstring line = name;
    line.resize(std::max<size_t>(line.size() + 1, 22), L' ');
    line += layer->isOff() ? L"off" : L"on";
    if (layer->isFrozen()) line += L", frozen";
    if (layer->isLocked()) line += L", locked";
    line += L", colour " + std::to_wstring(layer->colorIndex());
    print(line + L"\n");
    layer->close();
  }
}

// Applies a -LAYER option to the layers named; returns how many changed.
int applyLayerOption(AcDbDatabase* db, const LayerOption& option, const std::wstring& names) {
  const std::wstring which = option.name;
  cadhost::UndoGroup group(L"-LAYER");
  AcAxDocLock lock(db);
  int changed = 0;
  const std::vector<AcDbObjectId> layers = layersMatching(db, names);
  if (layers.empty()) print(L"No layer matches \"" + names + L"\".\n");
  for (AcDbObjectId id : layers) {
    if (which == L"FREEZE" && id == db->clayer()) {
      print(L"The current layer cannot be frozen.\n");
      continue;
    }
    AcDbLayerTableRecord* layer = nullptr;
    const Acad::ErrorStatus es = acdbOpenObject(layer, id, AcDb::kForWrite);
    if (es != Acad::eOk) {
      print(std::wstring(L"A layer could not be changed: ") + acadErrorStatusText(es) + L"\n");
      continue;
    }
    if (which == L"LOCK") layer->setIsLocked(true);
    else if (which == L"UNLOCK") layer->setIsLocked(false);
    else if (which == L"ON") layer->setIsOff(false);
    else if (which == L"OFF") layer->setIsOff(true);
    else if (which == L"FREEZE") layer->setIsFrozen(true);
    else if (which == L"THAW") layer->setIsFrozen(false);
    layer->close();
    ++changed;
  }
  return changed;
}

}  // namespace

void addEditCommands(CommandProcessor& processor, DrawingWindow& window) {
  processor.addHostCommand(L"U", [&window](const std::wstring&) { step(window, 1, false); },
                           L"undoes the last command");
  processor.addHostCommand(L"UNDO", [&processor, &window](const std::wstring& arguments) {
    std::wstring count = trim(arguments);
    if (count.empty() && !processor.ask(L"Enter the number of operations to undo <1>: ", count)) return;
    count = trim(count);
    const int n = count.empty() ? 1 : static_cast<int>(std::wcstol(count.c_str(), nullptr, 10));
    if (n < 1) {
      print(L"Enter a number of operations, 1 or more.\n");
      return;
    }
    step(window, n, false);
  }, L"undoes the last commands, each as a whole");
  processor.addHostCommand(L"REDO", [&window](const std::wstring&) { step(window, 1, true); },
                           L"gives back what the last undo took back");

  // -LAYER [option [names]]: the options until an empty answer; wildcards in names.
  processor.addHostCommand(L"-LAYER", [&processor, &window](const std::wstring& arguments) {
    AcDbDatabase* db = currentDrawing();
    if (db == nullptr) return;
    std::wistringstream given(arguments);
    std::wstring typedOption, typedNames;
    given >> typedOption;
    std::getline(given, typedNames);
    const bool once = !trim(arguments).empty();
    for (;;) {
      std::wstring option = typedOption;
      if (option.empty() && !processor.ask(L"Enter an option [?/Lock/Unlock/ON/OFf/Freeze/Thaw]: ", option)) break;
      option = trim(option);
      if (option.empty()) break;
      if (option == L"?") {
        listLayers(db);
      } else if (const LayerOption* chosen = layerOption(option)) {
        std::wstring names = trim(typedNames);
        if (names.empty() && !processor.ask(std::wstring(L"Enter name list of layer(s) to ") + chosen->verb + L": ", names)) break;
        names = trim(names);
        if (!names.empty()) {
          const int changed = applyLayerOption(db, *chosen, names);
          if (changed > 0) print(std::to_wstring(changed) + L" layer(s) changed.\n");
          window.view().redraw();  // what is shown depends on the layers
          window.updateHighlight();
        }
      } else {
        print(L"Unknown option \"" + option + L"\".\n");
      }
      if (once) break;
      typedOption.clear();
      typedNames.clear();
    }
  }, L"locks, unlocks, turns on and off, freezes and thaws layers");

  // SETVAR [name [value]]: LUNITS and LUPREC, the drawing's linear units and their precision.
  processor.addHostCommand(L"SETVAR", [&processor](const std::wstring& arguments) {
    AcDbDatabase* db = currentDrawing();
    if (db == nullptr) return;
    std::wistringstream given(arguments);
    std::wstring name, value;
    given >> name >> value;
    if (name.empty() && !processor.ask(L"Enter variable name: ", name)) return;
    name = upper(trim(name));
    if (name != L"LUNITS" && name != L"LUPREC") {
      print(L"Unknown variable name \"" + name + L"\". SETVAR knows LUNITS and LUPREC.\n");
      return;
    }
    const int current = name == L"LUNITS" ? db->lunits() : db->luprec();
    if (value.empty() &&
        !processor.ask(L"Enter new value for " + name + L" <" + std::to_wstring(current) + L">: ", value))
      return;
    value = trim(value);
    if (value.empty()) return;
    wchar_t* end = nullptr;
    const long number = std::wcstol(value.c_str(), &end, 10);
    Acad::ErrorStatus es = Acad::eInvalidInput;
    if (end != value.c_str() && *end == 0) {
      cadhost::UndoGroup group(L"SETVAR");
      AcAxDocLock lock(db);
      es = name == L"LUNITS" ? db->setLunits(static_cast<Adesk::Int16>(number)) : db->setLuprec(static_cast<Adesk::Int16>(number));
    }
    if (es != Acad::eOk)
      print(name == L"LUNITS" ? L"LUNITS takes 1 to 5.\n" : L"LUPREC takes 0 to 8.\n");
  }, L"sets LUNITS (1 to 5) or LUPREC (0 to 8)");
}

}  // namespace cadhost::app
