// Fuzzing harness for the drawing-file reader and writer (libFuzzer, or AFL++ with its libFuzzer
// driver). For every input: read it; if it loads, save it unchanged and check that a file read
// without repairs comes back byte for byte; then change every text, save, and read the result
// again, which must load without errors.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../../../cadhost/core/coreaccess.h"
#include "dxffile.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cadhost::dxf;
  ReadOptions options;
  options.recover = size > 0 && (data[size - 1] & 1) != 0;
  ReadResult read = readDrawingFromMemory(data, size, L"fuzz.dxf", options);
  if (!read.ok()) {
    check(!read.messages.empty() && read.messages.back().severity == Severity::Error, "a refusal names its reason");
    return 0;
  }
  AcDbDatabase* db = read.database.get();
  std::string saved;
  WriteResult written = writeDrawingToMemory(db, saved);
  check(written.ok, "a drawing that loads can be saved");
  if (!read.hasWarnings()) {
    check(saved == std::string(reinterpret_cast<const char*>(data), size), "an unchanged drawing saves byte for byte");
  }
  // Making every object that stayed in the file changes nothing that is written.
  // (by position: objects made or changed may add stubs, which a walk over the list would lose its
  // place at)
  auto& stubs = AcDbCore::imp(db)->stubs;
  for (size_t i = 0, n = stubs.size(); i < n; ++i) stubs[i].object();
  std::string madeAll;
  check(writeDrawingToMemory(db, madeAll).ok && madeAll == saved, "objects made from the file save as they were");
  // Edits: every text gets longer, and the result must read back.
  int changed = 0;
  for (size_t i = 0, n = stubs.size(); i < n; ++i) {
    AcDbStub& stub = stubs[i];
    auto* text = AcDbText::cast(stub.object());
    if (text == nullptr || stub.erased || changed > 50) continue;
    AcDbText* open = nullptr;
    if (acdbOpenObject(open, AcDbObjectId(&stub), AcDb::kForWrite) != Acad::eOk) continue;
    open->setTextString((std::wstring(open->textStringConst()) + L"\u00e9^\n").c_str());
    open->close();
    ++changed;
  }
  std::string edited;
  check(writeDrawingToMemory(db, edited).ok, "an edited drawing can be saved");
  ReadOptions again;
  again.recover = true;
  ReadResult reread = readDrawingFromMemory(edited.data(), edited.size(), L"edited.dxf", again);
  check(reread.ok(), "an edited drawing reads back");
  return 0;
}
