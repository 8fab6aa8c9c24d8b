// The host's commands for the view: ZOOM (Extents, Window, In, Out, or a scale factor nX) and
// REGEN (every entity made again from the drawing).
#pragma once

#include "CommandProcessor.h"

namespace cadhost::app {

class DrawingWindow;

void addViewCommands(CommandProcessor& processor, DrawingWindow& window);

}  // namespace cadhost::app
