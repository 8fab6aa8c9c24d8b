// What a dimension draws: extension lines, the dimension line or arc with its arrowheads, and its
// text (the measurement, or the text that replaces it) at its text position in its text style. The
// sizes follow the dimension's text height, as the host's dimension styles keep only that: arrows
// as long as the text is high, extension lines reaching half of it beyond the dimension line and
// starting a quarter of it off the measured points. The block a drawing file may hold for a
// dimension is not used: it shows the text the dimension had when the file was written.
#pragma once

#include "ItemSink.h"

class AcDbDimension;

namespace cadhost::app {

void drawDimension(const AcDbDimension* dimension, ItemSink& sink);

}  // namespace cadhost::app
