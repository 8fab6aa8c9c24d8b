// Drawing files on two cores: the ordered work shared with a worker thread; a save that patches
// its changed entities on both threads writes the same bytes as a save on one; a read whose
// entities a second thread scouts ahead gives the same drawing, messages and saves as a read on one.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <thread>
#include <vector>

#include "aheadworker.h"
#include "support.h"

using cadhost::dxf::AheadWorker;
using namespace dxftest;

namespace {

void busy(std::chrono::microseconds time) {
  const auto until = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < until) {
  }
}

std::string itemBytes(size_t item) { return "<" + std::to_string(item) + ">"; }

}  // namespace

TEST(DxfAheadWorker, ItemsComeOutInOrderWhoeverMakesThemAndDroppedOnesNot) {
  constexpr size_t kCount = 3000;
  std::atomic<size_t> byWorker{0};
  size_t byCaller = 0;
  std::string out, expected;
  {
    AheadWorker worker(kCount, [&](size_t item, std::string& bytes) {
      busy(std::chrono::microseconds(item % 3));
      bytes = itemBytes(item);
      ++byWorker;
      return true;
    });
    for (size_t item = 0; item < kCount; ++item) {
      const bool dropped = item % 10 == 9;
      if (!dropped) expected += itemBytes(item);
      worker.take(item, dropped ? nullptr : &out, [&] {
        busy(std::chrono::microseconds(item < 300 ? 20 : 2));  // a slow start lets the worker get ahead
        out += itemBytes(item);
        ++byCaller;
      });
    }
  }
  EXPECT_EQ(out, expected);
  EXPECT_GT(byWorker.load(), 0u);
  EXPECT_GT(byCaller, 0u);
  EXPECT_LE(byWorker.load() + byCaller, kCount);
}

TEST(DxfAheadWorker, ItemsTheWorkerLeavesOrCannotMakeAreMadeByTheCallerAndStoppingEarlyEndsTheWorker) {
  constexpr size_t kCount = 2000;
  std::string out, expected;
  std::vector<char> madeByCaller(kCount, 0);
  {
    AheadWorker worker(kCount, [&](size_t item, std::string& bytes) {
      if (item % 3 == 0) return false;  // not the worker's to make
      if (item % 3 == 1) throw std::bad_alloc();
      bytes = itemBytes(item);
      return true;
    });
    for (size_t item = 0; item < kCount; ++item) {
      expected += itemBytes(item);
      worker.take(item, &out, [&] {
        busy(std::chrono::microseconds(5));
        out += itemBytes(item);
        madeByCaller[item] = 1;
      });
    }
  }
  EXPECT_EQ(out, expected);
  for (size_t item = 0; item < kCount; item += 3) EXPECT_TRUE(madeByCaller[item]) << item;
  // The caller stops after a few items: the worker, waiting for room, ends with it.
  AheadWorker early(kCount, [](size_t item, std::string& bytes) {
    bytes = itemBytes(item);
    return true;
  });
  std::string some;
  for (size_t item = 0; item < 5; ++item) early.take(item, &some, [&] { some += itemBytes(item); });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(some, "<0><1><2><3><4>");
}

TEST(DxfParallelSave, ChangedEntitiesPatchedOnTwoCoresGiveTheSameBytesAsOnOne) {
  Tags t;
  for (int i = 0; i < 1500; ++i) {
    char text[16], line[16], mtext[16];
    std::snprintf(text, sizeof text, "%X", 0x1000 + 3 * i);
    std::snprintf(line, sizeof line, "%X", 0x1001 + 3 * i);
    std::snprintf(mtext, sizeof mtext, "%X", 0x1002 + 3 * i);
    t(0, "TEXT")(5, text)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, double(i))(30, 0.0)
     (40, 2.5)(1, "note " + std::to_string(i))(7, "Romans")(100, "AcDbText");
    t(0, "LINE")(5, line)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, double(i))(30, 0.0)
     (11, 9.0)(21, double(i))(31, 0.0);
    if (i % 4 == 0)
      t(0, "MTEXT")(5, mtext)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbMText")(10, 0.0)(20, double(i))(30, 0.0)
       (40, 2.0)(41, 30.0)(71, 1)(1, "first\\Psecond");
  }
  const std::string original = drawing(t.str());
  auto save = [&](size_t patchAheadFrom, size_t& changed) {
    std::unique_ptr<AcDbDatabase> db = read(original);
    changed = 0;
    for (AcDbStub* stub : stubsOf(db.get())) {
      const AcDbObjectId id(stub);
      if (id.objectClass() == AcDbText::desc()) {
        AcDbText* text = nullptr;
        if (acdbOpenObject(text, id, AcDb::kForWrite) != Acad::eOk) continue;
        const uint64_t n = stub->handle.value();
        if (n % 2) text->setTextString((std::wstring(text->textStringConst()) + L" (rev. Б)").c_str());
        if (n % 3 == 0) text->setHeight(3.5);
        if (n % 5 == 0) text->setPosition(AcGePoint3d(7, 8, 0));
        if (n % 7 == 0) text->setLayer(L"Notes");
        text->close();
        if (n % 2 || n % 3 == 0 || n % 5 == 0 || n % 7 == 0) ++changed;
      } else if (id.objectClass() == AcDbLine::desc() && stub->handle.value() % 4 == 1) {
        AcDbLine* line = nullptr;
        if (acdbOpenObject(line, id, AcDb::kForWrite) != Acad::eOk) continue;
        line->setEndPoint(AcGePoint3d(12, 0, 0));
        line->close();
        ++changed;
      } else if (id.objectClass() == AcDbMText::desc()) {
        AcDbMText* mtext = nullptr;
        if (acdbOpenObject(mtext, id, AcDb::kForWrite) != Acad::eOk) continue;
        mtext->setContents(L"one\\Ptwo\\Pthree");
        mtext->close();
        ++changed;
      }
    }
    const size_t previous = cadhost::dxf::setPatchAheadFrom(patchAheadFrom);
    std::string bytes = write(db.get());
    cadhost::dxf::setPatchAheadFrom(previous);
    return bytes;
  };
  size_t changedOnTwo = 0, changedOnOne = 0;
  const std::string onTwo = save(1, changedOnTwo);
  const std::string onOne = save(SIZE_MAX, changedOnOne);
  ASSERT_EQ(changedOnTwo, changedOnOne);
  EXPECT_TRUE(onTwo == onOne) << "the saves differ";
  // Only the changed entities differ from the file, and the header (its handle seed: the file's
  // handles run past the seed it gives).
  const std::vector<std::string> changed = changedRecords(original, onTwo);
  ASSERT_EQ(changed.size(), changedOnTwo + 1);
  EXPECT_EQ(changed.front().rfind("  0\nSECTION\n  2\nHEADER", 0), 0u);
  std::unique_ptr<AcDbDatabase> back = read(onTwo);
  AcDbText* text = object<AcDbText>(back.get(), L"1003");  // handle 0x1003: odd, so its text changed
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text->textStringConst(), L"note 1 (rev. Б)");
}

// What the second thread finds as it patches (a text too long for the drawing's version, cut) is
// reported as on one core.
TEST(DxfParallelSave, MessagesOfEntitiesPatchedOnTheSecondCoreAreKept) {
  Tags t;
  for (int i = 0; i < 300; ++i) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "%X", 0x1000 + i);
    t(0, "TEXT")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, double(i))(30, 0.0)
     (40, 2.5)(1, "note " + std::to_string(i))(100, "AcDbText");
  }
  const std::string original = drawing(t.str(), "", "", "AC1018");
  auto save = [&](size_t patchAheadFrom, std::string& bytes) {
    std::unique_ptr<AcDbDatabase> db = read(original);
    for (AcDbStub* stub : stubsOf(db.get())) {
      AcDbText* text = nullptr;
      if (AcDbObjectId(stub).objectClass() != AcDbText::desc() ||
          acdbOpenObject(text, AcDbObjectId(stub), AcDb::kForWrite) != Acad::eOk)
        continue;
      // (every tenth too long for an R2004 drawing)
      const bool tooLong = stub->handle.value() % 10 == 0;
      text->setTextString(tooLong ? std::wstring(300, L'x').c_str() : L"changed");
      text->close();
    }
    const size_t previous = cadhost::dxf::setPatchAheadFrom(patchAheadFrom);
    const cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawingToMemory(db.get(), bytes);
    cadhost::dxf::setPatchAheadFrom(previous);
    EXPECT_TRUE(result.ok);
    std::vector<std::wstring> texts;
    for (const auto& m : result.messages) texts.push_back(m.text);
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  std::string onTwo, onOne;
  const std::vector<std::wstring> messagesOnTwo = save(1, onTwo);
  const std::vector<std::wstring> messagesOnOne = save(SIZE_MAX, onOne);
  EXPECT_TRUE(onTwo == onOne) << "the saves differ";
  EXPECT_EQ(messagesOnOne.size(), 30u);
  EXPECT_EQ(messagesOnTwo, messagesOnOne);
}

namespace {

// What a read gives: whether it succeeded, its messages, every object's handle, class and whether
// it is still in the file, the bytes of an unchanged save and of a save after every TEXT changed.
std::string readingOf(const std::string& bytes, size_t secondCoreFrom, bool recover) {
  cadhost::dxf::ReadOptions options;
  options.secondCoreFrom = secondCoreFrom;
  options.recover = recover;
  cadhost::dxf::ReadResult result = cadhost::dxf::readDrawingFromMemory(bytes.data(), bytes.size(), L"t.dxf", options);
  std::ostringstream out;
  out << (result.ok() ? "read" : "refused") << "\n" << utf8(result.report()) << "\n";
  if (!result.ok()) return out.str();
  AcDbDatabase* db = result.database.get();
  for (AcDbStub* stub : stubsOf(db)) {
    const AcDbObjectId id(stub);
    out << std::hex << stub->handle.value() << (stub->isDeferred() ? " in the file " : " made ")
        << (id.objectClass() ? utf8(id.objectClass()->name()) : std::string("-")) << "\n";
  }
  std::string saved;
  cadhost::dxf::writeDrawingToMemory(db, saved);
  out << saved;
  for (AcDbStub* stub : stubsOf(db)) {
    AcDbText* text = nullptr;
    if (AcDbObjectId(stub).objectClass() != AcDbText::desc() ||
        acdbOpenObject(text, AcDbObjectId(stub), AcDb::kForWrite) != Acad::eOk)
      continue;
    text->setTextString(L"changed");
    text->close();
  }
  saved.clear();
  cadhost::dxf::writeDrawingToMemory(db, saved);
  return out.str() + saved;
}

void expectSameReadingOnTwoCores(const std::string& bytes) {
  for (bool recover : {false, true}) {
    const std::string onOne = readingOf(bytes, SIZE_MAX, recover);
    const std::string onTwo = readingOf(bytes, 0, recover);
    EXPECT_TRUE(onOne == onTwo) << "recover " << recover << ": the reads differ\n"
                                << onOne.substr(0, 2000) << "\n----\n" << onTwo.substr(0, 2000);
  }
}

// Entities of both sections in every case the reader tells apart: clean ones that stay in the
// file, ones with problems, unknown or differently spelt names, references by handle, parts,
// dictionaries, a taken handle, paper space, stray tags and an unknown entity.
std::string mixedEntities() {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "Notes")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, "clean")(7, "Romans")(100, "AcDbText");
  t(0, "TEXT")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "notes")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, "layer spelt otherwise")(7, "ROMANS")(100, "AcDbText");
  t(0, "TEXT")(5, "42")(330, "1F")(100, "AcDbEntity")(8, "Nowhere")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, "unknown layer")(100, "AcDbText");
  t(0, "TEXT")(5, "43")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, "tall")
   (1, "bad height")(100, "AcDbText");
  t(0, "LINE")(5, "44")(330, "1B")(100, "AcDbEntity")(67, 1)(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)
   (11, 1.0)(21, 1.0)(31, 0.0);
  t(0, "LINE")(5, "45")(100, "AcDbEntity")(67, 1)(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 1.0)(31, 0.0);
  t(0, "CIRCLE")(5, "44")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbCircle")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.0);
  t(0, "CIRCLE")(5, "46")(102, "{ACAD_XDICTIONARY")(360, "C")(102, "}")(330, "1F")(100, "AcDbEntity")(8, "0")
   (100, "AcDbCircle")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0);
  t(0, "DIMENSION")(5, "47")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbDimension")(2, "Title")(10, 0.0)(20, 0.0)
   (30, 0.0)(11, 1.0)(21, 1.0)(31, 0.0)(70, 1)(1, "<>")(3, "Standard")(100, "AcDbAlignedDimension")(13, 0.0)(23, 0.0)
   (33, 0.0)(14, 5.0)(24, 0.0)(34, 0.0);
  t(999, "a comment between records");
  t(0, "SOLID")(5, "48")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbTrace")(10, 0.0)(20, 0.0)(30, 0.0);
  t(0, "INSERT")(5, "49")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbBlockReference")(2, "Title")(10, 5.0)(20, 0.0)(30, 0.0);
  t(0, "TEXT")(5, "4A")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)(1, "last")
   (100, "AcDbText");
  return t.str() + entitiesWithParts();
}

}  // namespace

TEST(DxfSecondCoreRead, DrawingsReadTheSameWithTheirEntitiesScoutedAhead) {
  Tags blockBody;
  blockBody(0, "LINE")(5, "31")(330, "30")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)
   (21, 1.0)(31, 0.0);
  blockBody(0, "TEXT")(5, "32")(330, "30")(100, "AcDbEntity")(8, "Nowhere")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)
   (40, 2.5)(1, "in the block")(100, "AcDbText");
  const std::string whole = drawing(mixedEntities(), "", blockBody.str());
  expectSameReadingOnTwoCores(whole);
  expectSameReadingOnTwoCores(drawing(mixedEntities(), "", blockBody.str(), "AC1032"));
  // Files that end inside the sections the scout reads, at every few bytes.
  const size_t entities = whole.find("ENTITIES");
  ASSERT_NE(entities, std::string::npos);
  for (size_t cut = whole.find("BLOCKS"); cut < whole.size(); cut += cut < entities ? 97 : 13)
    expectSameReadingOnTwoCores(whole.substr(0, cut));
}

// A section of some megabytes: the scout judges stretches ahead while the reader takes stretches of
// its own whenever it catches up, and records of every kind fall on either side.
TEST(DxfSecondCoreRead, ALargeSectionSharedBetweenTheReaderAndTheScoutReadsTheSame) {
  Tags t;
  char handle[16];
  for (int i = 0; i < 24000; ++i) {
    std::snprintf(handle, sizeof handle, "%X", 0x1000 + i);
    switch (i % 8) {
      case 5:  // a layer the drawing does not have: the reader's to report
        t(0, "TEXT")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "Nowhere")(100, "AcDbText")(10, 1.0)(20, i * 1.0)(30, 0.0)
         (40, 2.5)(1, "lost " + std::to_string(i))(100, "AcDbText");
        break;
      case 6:
        t(0, "LINE")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "Notes")(100, "AcDbLine")(10, 0.0)(20, i * 1.0)(30, 0.0)
         (11, 1.0)(21, 1.0)(31, 0.0);
        break;
      case 7:
        t(999, "between records");
        [[fallthrough]];
      default:
        t(0, "TEXT")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "Notes")(100, "AcDbText")(10, 1.0)(20, i * 1.0)(30, 0.0)
         (40, 2.5)(1, "line " + std::to_string(i))(7, "Romans")(100, "AcDbText");
    }
  }
  expectSameReadingOnTwoCores(drawing(t.str() + entitiesWithParts()));
}

TEST(DxfSecondCoreRead, CorpusAndFuzzingFindingsReadTheSameOnTwoCores) {
  std::vector<std::filesystem::path> files;
  if (const char* dir = std::getenv("PELLATON_DXF_REGRESSIONS"))
    for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path());
  if (const auto dir = corpus(); !dir.empty())
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
      if (entry.is_regular_file() && entry.path().extension() == ".dxf") files.push_back(entry.path());
  if (files.empty()) GTEST_SKIP() << "neither the fuzzing findings nor the corpus of drawings is at hand";
  for (const auto& path : files) {
    SCOPED_TRACE(path.string());
    expectSameReadingOnTwoCores(readFile(path));
  }
}
