// Benchmark of the host's drawing files: reads a drawing, changes every TEXT through the host's
// open/close protocol, and saves it; prints the times and the peak memory as one JSON line.
//   dxf_bench_ours IN.dxf OUT.dxf [--unchanged] [--one-core]
// (--unchanged: save without changing anything; --one-core: read and save on one core only)

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "measure.h"

#include "../../cadhost/core/coreaccess.h"
#include "dxffile.h"
#include "textcodec.h"

using dxfbench::peakMiB;
using dxfbench::seconds;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dxf_bench_ours IN.dxf OUT.dxf [--unchanged] [--one-core]\n");
    return 1;
  }
  bool change = true;
  cadhost::dxf::ReadOptions options;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) == "--unchanged") change = false;
    if (std::string(argv[i]) == "--one-core") {
      options.secondCoreFrom = SIZE_MAX;
      cadhost::dxf::setPatchAheadFrom(SIZE_MAX);
    }
  }
  using clock = std::chrono::steady_clock;
  auto started = clock::now();
  cadhost::dxf::ReadResult read = cadhost::dxf::readDrawing(cadhost::dxf::fromUtf8(argv[1]), options);
  if (!read.ok()) {
    std::fprintf(stderr, "%s\n", cadhost::dxf::toUtf8(read.report()).c_str());
    return 2;
  }
  const double load = seconds(started);
  auto editing = clock::now();
  AcDbDatabase* db = read.database.get();
  long texts = 0;
  // Every TEXT of model space, found by its class (the others stay unopened), as a command would.
  AcDbBlockTableRecord* model = nullptr;
  std::vector<AcDbObjectId> ids;  // (given back before the save, as a command's would be)
  if (change && acdbOpenObject(model, AcDbCore::imp(db)->modelSpace, AcDb::kForRead) == Acad::eOk) {
    AcDbBlockTableRecordIterator* it = nullptr;
    model->newIterator(it);
    for (; it != nullptr && !it->done(); it->step()) {
      AcDbObjectId id;
      if (it->getEntityId(id) == Acad::eOk && id.objectClass() != nullptr && id.objectClass()->isDerivedFrom(AcDbText::desc()))
        ids.push_back(id);
    }
    delete it;
    model->close();
  }
  for (const AcDbObjectId& id : ids) {
    AcDbText* text = nullptr;
    if (acdbOpenObject(text, id, AcDb::kForWrite) != Acad::eOk) continue;
    std::wstring changed = text->textStringConst();
    changed += L" (rev. B)";
    text->setTextString(changed.c_str());
    text->close();
    ++texts;
  }
  std::vector<AcDbObjectId>().swap(ids);
  const double edit = seconds(editing);
  auto saving = clock::now();
  const cadhost::dxf::WriteResult written = cadhost::dxf::writeDrawing(db, cadhost::dxf::fromUtf8(argv[2]));
  if (!written.ok) {
    std::fprintf(stderr, "%s\n", cadhost::dxf::toUtf8(written.report()).c_str());
    return 3;
  }
  const double save = seconds(saving);
  const double total = seconds(started);
  std::printf("{\"tool\":\"%s\",\"load\":%.3f,\"edit\":%.3f,\"save\":%.3f,\"total\":%.3f,\"texts\":%ld,\"peak_mib\":%.1f}\n",
              options.secondCoreFrom == SIZE_MAX ? "ours/1" : "ours", load, edit, save, total, texts, peakMiB());
  std::fflush(stdout);
  std::_Exit(0);  // the times are taken; the drawing's memory goes with the process
}
