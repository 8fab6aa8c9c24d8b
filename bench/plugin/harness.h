// What the plug-in's timing harnesses share: the host set up as the host program does (the module
// loaded, its drawing window), drawings built in memory, and runs of TE with an action inside the
// dialog, timed with the performance counter.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "../../cadhost/core/hostservices.h"
#include "DrawingWindow.h"
#include "ModuleLoader.h"
#include "dbents.h"
#include "dbsymtb.h"

namespace bench {

double now();  // seconds

// The host with the module loaded (the 2021 module of this processor) and its drawing window,
// shown or hidden.
class Host : public cadhost::SelectionSource {
 public:
  explicit Host(bool showDrawing);
  ~Host() override;
  bool loaded() const { return mLoaded; }
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest&) override;

  // A new current drawing; the entities appended to it are what the next TE is given.
  AcDbDatabase* newDrawing();
  AcDbObjectId append(AcDbEntity* entity);
  // TEXT lines 3 units apart from y = 0 down, "Line <i> of the note".
  void addTextLines(int count);
  std::vector<AcDbObjectId> picked;

  // Runs TE; once the dialog is shown, action runs inside it (with the dialog's window), then the
  // dialog is closed. The time from the command to the dialog's showing is given back.
  double runTE(const std::function<void(HWND dialog)>& action);

 private:
  cadhost::app::DrawingWindow mWindow;
  cadhost::app::ModuleLoader mLoader;
  AcDbDatabase* mDb = nullptr;
  bool mLoaded = false;
};

// Handles every message waiting in the thread's queue (posted refreshes and the like).
void pumpMessages();

}  // namespace bench
