// Fuzzing harness for the drawing-file reader and writer (libFuzzer, or AFL++ with its libFuzzer
// driver). For every input: read it; if it loads, save it unchanged and check that a file read
// without repairs comes back byte for byte, and that the save of any file reads back with nothing
// to report (what the reader repaired is saved repaired); then change every text, save, and read
// the result again, which must load without errors. Every input is also read and saved on one
// core, and must give the same messages and the same bytes as on two.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../../../cadhost/core/coreaccess.h"
#include "dxffile.h"
#include "textcodec.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

// Every text gets longer (at most 50 of them).
void editTexts(AcDbDatabase* db) {
  auto& stubs = AcDbCore::imp(db)->stubs;
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
}

// The bytes of a save, with changed entities patched on a second core from the first or not at all.
std::string saved(AcDbDatabase* db, bool secondCore) {
  const size_t previous = cadhost::dxf::setPatchAheadFrom(secondCore ? 1 : SIZE_MAX);
  std::string bytes;
  const bool ok = cadhost::dxf::writeDrawingToMemory(db, bytes).ok;
  cadhost::dxf::setPatchAheadFrom(previous);
  return ok ? bytes : std::string("(not saved)");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cadhost::dxf;
  ReadOptions options;
  options.recover = size > 0 && (data[size - 1] & 1) != 0;
  options.secondCoreFrom = 0;
  ReadResult read = readDrawingFromMemory(data, size, L"fuzz.dxf", options);
  ReadOptions oneCore = options;
  oneCore.secondCoreFrom = SIZE_MAX;
  ReadResult single = readDrawingFromMemory(data, size, L"fuzz.dxf", oneCore);
  check(read.ok() == single.ok() && read.report() == single.report(), "a read on two cores says what a read on one says");
  if (read.ok()) {
    check(saved(read.database.get(), true) == saved(single.database.get(), false), "reads on one and two cores save alike");
    editTexts(read.database.get());
    editTexts(single.database.get());
    check(saved(read.database.get(), true) == saved(single.database.get(), false), "edits save alike on one and two cores");
    read = readDrawingFromMemory(data, size, L"fuzz.dxf", options);  // afresh for the checks below
  }
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
  // What was repaired is saved repaired: the save reads back, without recovery, with nothing to
  // report (but that the host has no table for its code page, which is no damage), and saves
  // again as it is.
  ReadResult back = readDrawingFromMemory(saved.data(), saved.size(), L"saved.dxf");
  check(back.ok(), "a save reads back");
  for (const auto& m : back.messages)
    if (m.text.find(L"has no table for the code page") == std::wstring::npos) {
      std::fprintf(stderr, "%s\n", toUtf8(m.toString()).c_str());
      check(false, "a save reads back with nothing to report");
    }
  std::string savedAgain;
  check(writeDrawingToMemory(back.database.get(), savedAgain).ok && savedAgain == saved, "a save saves again as it is");
  // Making every object that stayed in the file changes nothing that is written.
  // (by position: objects made or changed may add stubs, which a walk over the list would lose its
  // place at)
  auto& stubs = AcDbCore::imp(db)->stubs;
  for (size_t i = 0, n = stubs.size(); i < n; ++i) stubs[i].object();
  std::string madeAll;
  check(writeDrawingToMemory(db, madeAll).ok && madeAll == saved, "objects made from the file save as they were");
  // Edits: every text gets longer, and the result must read back.
  editTexts(db);
  std::string edited;
  check(writeDrawingToMemory(db, edited).ok, "an edited drawing can be saved");
  ReadOptions again;
  again.recover = true;
  ReadResult reread = readDrawingFromMemory(edited.data(), edited.size(), L"edited.dxf", again);
  check(reread.ok(), "an edited drawing reads back");
  return 0;
}
