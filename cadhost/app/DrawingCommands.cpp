// The host program's drawing file commands; see DrawingCommands.h.
#include "DrawingCommands.h"

#include <windows.h>

#include <cwctype>

#include "../core/hostservices.h"
#include "../dxf/dxffile.h"
#include "CommandText.h"
#include "DrawingWindow.h"
#include "acutads.h"

namespace cadhost::app {

namespace {
std::wstring fileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
}  // namespace

DrawingCommands::DrawingCommands(CommandProcessor& processor, DrawingWindow& window)
    : mProcessor(processor), mWindow(window) {
  processor.addHostCommand(L"OPEN", [this](const std::wstring& arguments) {
    std::wstring path = arguments;
    if (path.empty() && !mProcessor.ask(L"File to open: ", path)) return;
    path = unquoted(path);
    if (path.empty()) return;
    // A file that is not there is said before anything is asked about the drawing open now.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      print(L"Cannot open " + path + L": there is no such file.\n");
      return;
    }
    if (!settleUnsavedChanges()) return;
    open(path);
  }, L"opens a drawing file (DXF)");
  processor.addHostCommand(L"SAVE", [this](const std::wstring& arguments) {
    std::wstring path = arguments.empty() ? currentPath() : unquoted(arguments);
    if (path.empty() && !mProcessor.ask(L"Save drawing as: ", path)) return;
    if (!path.empty()) save(unquoted(path));
  }, L"saves the drawing to its file");
  processor.addHostCommand(L"SAVEAS", [this](const std::wstring& arguments) {
    std::wstring path = arguments;
    if (path.empty() && !mProcessor.ask(L"Save drawing as: ", path)) return;
    if (!path.empty()) save(unquoted(path));
  }, L"saves the drawing to a file it names");
  const auto quit = [this](const std::wstring&) {
    if (settleUnsavedChanges()) mProcessor.requestQuit();
  };
  processor.addHostCommand(L"QUIT", quit, L"ends the host, asking whether to save unsaved changes");
  processor.addHostCommand(L"EXIT", quit, L"the same as QUIT");
}

AcDbDatabase* DrawingCommands::current() const {
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  return doc ? doc->database() : nullptr;
}

std::wstring DrawingCommands::currentPath() const {
  const ACHAR* path = L"";
  if (AcDbDatabase* db = current()) db->getFilename(path);
  return path;
}

bool DrawingCommands::hasUnsavedChanges() const {
  return current() != nullptr && cadhost::drawingChangeCount(current()) != mSavedChangeCount;
}

bool DrawingCommands::open(const std::wstring& path) {
  cadhost::dxf::ReadResult result = cadhost::dxf::readDrawing(path);
  if (!result.ok()) {
    print(L"Cannot open " + path + L":\n" + result.report() + L"\n");
    return false;
  }
  if (result.hasWarnings()) print(result.report() + L"\n");
  AcDbDatabase* db = result.database.release();
  cadhost::closeAllDocuments();
  cadhost::openDocument(db, true, fileNameOf(path));
  mSavedChangeCount = cadhost::drawingChangeCount(db);
  print(L"Opened " + path + L".\n");
  mWindow.refresh();
  return true;
}

void DrawingCommands::show(AcDbDatabase* db, const std::wstring& title) {
  cadhost::closeAllDocuments();
  cadhost::openDocument(db, true, title);
  mSavedChangeCount = cadhost::drawingChangeCount(db);
  mWindow.refresh();
}

bool DrawingCommands::save(const std::wstring& path) {
  AcDbDatabase* db = current();
  if (db == nullptr) return false;
  const cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawing(db, path);
  if (!result.ok) {
    print(L"The drawing was not saved:\n" + result.report() + L"\n");
    return false;
  }
  mSavedChangeCount = cadhost::drawingChangeCount(db);
  print(L"Saved " + path + L".\n");
  mWindow.refresh();
  return true;
}

bool DrawingCommands::settleUnsavedChanges() {
  if (!hasUnsavedChanges()) return true;
  const std::wstring path = currentPath();
  const std::wstring name = path.empty() ? std::wstring(acDocManagerPtr()->curDocument()->docTitle()) : fileNameOf(path);
  for (;;) {
    std::wstring answer;
    if (!mProcessor.ask(L"Save changes to " + name + L"? [Yes/No/Cancel] <Yes>: ", answer)) return false;
    answer = upper(answer);
    if (answer.empty() || answer == L"Y" || answer == L"YES") {
      std::wstring target = path;
      if (target.empty() && !mProcessor.ask(L"Save drawing as: ", target)) return false;
      return !target.empty() && save(unquoted(target));
    }
    if (answer == L"N" || answer == L"NO") return true;
    if (answer == L"C" || answer == L"CANCEL") return false;
    print(L"Answer Yes, No or Cancel.\n");
  }
}

}  // namespace cadhost::app
