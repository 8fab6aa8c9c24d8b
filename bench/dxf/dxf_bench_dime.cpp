// Benchmark of Debian's dime (a C++ DXF library that rounds values to 6 digits) on the same task:
// read a drawing, change every TEXT of the ENTITIES section, write it; prints the times and the
// peak memory as one JSON line.
//   dxf_bench_dime IN.dxf OUT.dxf
#include <dime/Input.h>
#include <dime/Model.h>
#include <dime/Output.h>
#include <dime/entities/Text.h>
#include <dime/sections/EntitiesSection.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "measure.h"

using dxfbench::peakMiB;
using dxfbench::seconds;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dxf_bench_dime IN.dxf OUT.dxf\n");
    return 1;
  }
  using clock = std::chrono::steady_clock;
  auto started = clock::now();
  dimeInput in;
  if (!in.setFile(argv[1])) return 2;
  dimeModel model;
  if (!model.read(&in)) {
    std::fprintf(stderr, "dime cannot read %s\n", argv[1]);
    return 2;
  }
  const double load = seconds(started);
  auto editing = clock::now();
  long texts = 0;
  auto* entities = static_cast<dimeEntitiesSection*>(model.findSection("ENTITIES"));
  for (int i = 0; entities != nullptr && i < entities->getNumEntities(); ++i) {
    dimeEntity* entity = entities->getEntity(i);
    if (entity->typeId() != dimeBase::dimeTextType) continue;
    auto* text = static_cast<dimeText*>(entity);
    const std::string changed = std::string(text->getTextString()) + " (rev. B)";
    text->setTextString(changed.c_str());
    ++texts;
  }
  const double edit = seconds(editing);
  auto saving = clock::now();
  dimeOutput out;
  if (!out.setFilename(argv[2]) || !model.write(&out)) return 3;
  const double save = seconds(saving);
  const double total = seconds(started);
  std::printf("{\"tool\":\"dime\",\"load\":%.3f,\"edit\":%.3f,\"save\":%.3f,\"total\":%.3f,\"texts\":%ld,\"peak_mib\":%.1f}\n",
              load, edit, save, total, texts, peakMiB());
  std::fflush(stdout);
  std::_Exit(0);  // the times are taken; the model's memory goes with the process
}
