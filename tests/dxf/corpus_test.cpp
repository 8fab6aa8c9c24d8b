// The shared corpus of drawings written by other programs: every one loads (or is refused with a
// message), saves back byte for byte (one the reader repaired, to a drawing that reads back with
// nothing to repair), and after texts are changed only those texts (and the handle seed) differ.
// Skipped when the corpus is absent.
#include <set>

#include "support.h"
#include "textcodec.h"

using namespace dxftest;

namespace {

std::vector<std::filesystem::path> corpusFiles() {
  std::vector<std::filesystem::path> files;
  const auto dir = corpus();
  if (dir.empty()) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file() && entry.path().extension() == ".dxf") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The handles of the objects the reader says it gave new handles.
std::set<std::string> rehandled(const cadhost::dxf::ReadResult& result) {
  std::set<std::string> handles;
  for (const auto& m : result.messages) {
    const size_t at = m.text.find(L"gets the new handle ");
    if (at != std::wstring::npos) handles.insert(utf8(m.text.substr(at + 20)));
  }
  return handles;
}

std::string recordType(const std::string& record) {
  const size_t begin = record.find('\n') + 1;
  std::string type = record.substr(begin, record.find('\n', begin) - begin);
  if (!type.empty() && type.back() == '\r') type.pop_back();
  return type;
}

}  // namespace

TEST(DxfCorpus, EveryDrawingLoadsAndSavesBackByteForByte) {
  const auto files = corpusFiles();
  if (files.empty()) GTEST_SKIP() << "the corpus of drawings (PELLATON_CORPUS) is absent";
  size_t identical = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path.string());
    const std::string bytes = readFile(path);
    cadhost::dxf::ReadResult result = cadhost::dxf::readDrawing(path.wstring());
    if (!result.ok()) {
      ASSERT_FALSE(result.messages.empty());
      EXPECT_EQ(result.messages.back().severity, cadhost::dxf::Severity::Error);
      continue;
    }
    const std::string saved = write(result.database.get());
    if (!result.hasWarnings()) {
      EXPECT_EQ(saved, bytes) << utf8(result.report());
      identical += saved == bytes;
      continue;
    }
    // A repaired drawing reads back with nothing left to repair.
    cadhost::dxf::ReadResult again;
    read(saved, &again);
    EXPECT_FALSE(again.hasWarnings()) << utf8(again.report());
    // Objects that got new handles differ in their handles (and the handle seed with them).
    const auto repaired = rehandled(result);
    if (repaired.empty() || bytes.size() != saved.size()) continue;
    for (const auto& record : changedRecords(bytes, saved)) {
      if (record.find("$HANDSEED") != std::string::npos) continue;
      bool named = false;
      for (const auto& handle : repaired) named = named || record.find("\n" + handle + "\n") != std::string::npos;
      EXPECT_TRUE(named) << record;
    }
  }
  EXPECT_GE(identical, files.size() - 2);
}

TEST(DxfCorpus, ChangedTextsAreTheOnlyChange) {
  const auto files = corpusFiles();
  if (files.empty()) GTEST_SKIP() << "the corpus of drawings (PELLATON_CORPUS) is absent";
  for (const auto& path : files) {
    SCOPED_TRACE(path.string());
    cadhost::dxf::ReadResult result = cadhost::dxf::readDrawing(path.wstring());
    if (!result.ok() || result.hasWarnings()) continue;  // (a repaired drawing differs where it was repaired)
    AcDbDatabase* db = result.database.get();
    std::set<std::string> edited;
    for (AcDbStub* stubPointer : stubsOf(db)) {
      AcDbStub& stub = *stubPointer;
      if (AcDbText::cast(stub.object()) == nullptr || stub.erased) continue;
      AcDbText* text = nullptr;
      if (acdbOpenObject(text, AcDbObjectId(&stub), AcDb::kForWrite) != Acad::eOk) continue;  // on a locked layer
      text->setTextString((std::wstring(text->textStringConst()) + L" (rev. B)").c_str());
      text->close();
      ACHAR handle[20];
      stub.handle.getIntoAsciiBuffer(handle, 20);
      edited.insert(utf8(handle));
    }
    const std::string bytes = readFile(path);
    const std::string saved = write(db);
    if (bytes.compare(0, 18, "AutoCAD Binary DXF") == 0) {
      auto again = read(saved);
      for (const auto& handle : edited) {
        const auto* text = object<AcDbText>(again.get(), cadhost::dxf::fromUtf8(handle).c_str());
        ASSERT_NE(text, nullptr);
        EXPECT_NE(std::wstring(text->textStringConst()).find(L" (rev. B)"), std::wstring::npos);
      }
      continue;
    }
    for (const auto& record : changedRecords(bytes, saved)) {
      EXPECT_EQ(recordType(record), "TEXT") << record;
      EXPECT_NE(record.find(" (rev. B)"), std::string::npos) << record;
    }
  }
}
