// The TE command: one edit run from selection to the end of the editor dialog, and the display
// refresh that every write of the run ends with.
#pragma once

// The function the host calls for TE and _TE.
void TECommand();

// Draws what the run changed while the dialog stays open: the current document's transaction
// manager queues the changed entities and flushes them, then the display is updated.
void RefreshDisplay();
