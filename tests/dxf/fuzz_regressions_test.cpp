// Inputs the fuzzer found problems with (tests/dxf/fuzz-regressions/): each must read or be
// refused with a message, save, save byte for byte when read without repairs (and, repaired, to a
// drawing that reads back with nothing to report), save the same once every object is made, and
// read back after its texts are changed.
#include "support.h"

using namespace dxftest;

TEST(DxfFuzzRegressions, EveryFindingIsHandled) {
  const char* dir = std::getenv("PELLATON_DXF_REGRESSIONS");
  ASSERT_NE(dir, nullptr);
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++count;
    const std::string bytes = readFile(entry.path());
    for (bool recover : {false, true}) {
      cadhost::dxf::ReadOptions options;
      options.recover = recover;
      cadhost::dxf::ReadResult result = cadhost::dxf::readDrawingFromMemory(bytes.data(), bytes.size(), L"x.dxf", options);
      if (!result.ok()) {
        ASSERT_FALSE(result.messages.empty());
        EXPECT_EQ(result.messages.back().severity, cadhost::dxf::Severity::Error);
        continue;
      }
      const std::string saved = write(result.database.get());
      if (!result.hasWarnings()) {
        EXPECT_EQ(saved, bytes);
      }
      // What was repaired is saved repaired: the save reads back with nothing to report.
      const cadhost::dxf::ReadResult back = cadhost::dxf::readDrawingFromMemory(saved.data(), saved.size(), L"s.dxf");
      ASSERT_TRUE(back.ok()) << utf8(back.report());
      EXPECT_FALSE(back.hasWarnings()) << utf8(back.report());
      EXPECT_TRUE(write(back.database.get()) == saved) << "the save saves again as it is";
      // As the fuzzer does: every object made from the file changes nothing written; then every
      // text gets longer (keeping the fields it has).
      for (AcDbStub* stub : stubsOf(result.database.get())) stub->object();
      EXPECT_EQ(write(result.database.get()), saved);
      for (AcDbStub* stubPointer : stubsOf(result.database.get())) {
        AcDbStub& stub = *stubPointer;
        AcDbText* text = nullptr;
        if (AcDbText::cast(stub.object()) == nullptr || acdbOpenObject(text, AcDbObjectId(&stub), AcDb::kForWrite) != Acad::eOk) continue;
        text->setTextString((std::wstring(text->textStringConst()) + L"é^\n").c_str());
        text->close();
      }
      const std::string edited = write(result.database.get());
      cadhost::dxf::ReadOptions again;
      again.recover = true;
      EXPECT_TRUE(cadhost::dxf::readDrawingFromMemory(edited.data(), edited.size(), L"y.dxf", again).ok());
    }
  }
  EXPECT_GT(count, 0u);
}
