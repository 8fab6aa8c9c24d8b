// Saving on two cores: the ordered work shared with a worker thread, and a save that patches its
// changed entities on both threads writing the same bytes as a save on one.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <new>
#include <thread>

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

TEST(DxfAheadWorker, ItemsTheWorkerCannotMakeAreMadeByTheCallerAndStoppingEarlyEndsTheWorker) {
  constexpr size_t kCount = 2000;
  std::string out, expected;
  {
    AheadWorker worker(kCount, [&](size_t item, std::string& bytes) {
      if (item % 2 == 0) throw std::bad_alloc();
      bytes = itemBytes(item);
    });
    for (size_t item = 0; item < kCount; ++item) {
      expected += itemBytes(item);
      worker.take(item, &out, [&] {
        busy(std::chrono::microseconds(5));
        out += itemBytes(item);
      });
    }
  }
  EXPECT_EQ(out, expected);
  // The caller stops after a few items: the worker, waiting for room, ends with it.
  AheadWorker early(kCount, [](size_t item, std::string& bytes) { bytes = itemBytes(item); });
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
