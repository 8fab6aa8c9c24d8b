// The host's commands that change the drawing itself: U and UNDO (the last commands' changes
// taken back, each command as a whole), REDO (what the last undo took back, given back),
// -LAYER (Lock, Unlock, ON, OFf, Freeze, Thaw, ?) and SETVAR (LUNITS, LUPREC). Each locks the
// drawing's document as the host does for its own commands; -LAYER and SETVAR are undo groups.
#pragma once

#include "CommandProcessor.h"

namespace cadhost::app {

class DrawingWindow;

void addEditCommands(CommandProcessor& processor, DrawingWindow& window);

}  // namespace cadhost::app
