// A small drawing built in memory for demonstrations: a sheet frame with a title block, a note of
// three TEXT lines, an MTEXT note and dimensions, on their own layers.
#pragma once

class AcDbDatabase;

namespace cadhost::app {
AcDbDatabase* buildDemoDrawing();
}
