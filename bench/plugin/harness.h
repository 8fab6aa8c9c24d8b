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
  cadhost::app::DrawingWindow& window() { return mWindow; }
  cadhost::app::ModuleLoader& loader() { return mLoader; }
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest&) override;

  // A new current drawing; the entities appended to it are what the next TE is given.
  AcDbDatabase* newDrawing();
  AcDbObjectId append(AcDbEntity* entity);
  // TEXT lines 3 units apart from y = 0 down, "Line <i> of the note".
  void addTextLines(int count);
  std::vector<AcDbObjectId> picked;

  // Runs TE; once the dialog is shown (and, when lines is given, its editor holds that many
  // lines: a long text loads while the dialog is shown), action runs inside it (with the dialog's
  // window), then the dialog is closed. The time from the command to the dialog's showing is
  // given back.
  double runTE(const std::function<void(HWND dialog)>& action, int lines = 0);
  // Runs TE and, once the editor holds all its lines (a long text loads while the dialog is
  // shown), types the keys into it through the dialog's own message loop, as a user does: each
  // key is posted (WM_KEYDOWN, WM_KEYUP; the loop makes the character) once the loop has handled
  // the one before and what it posted. setUp runs first, when the text is in. Gives back the
  // times from the command to the whole text's being in and the mean time of one key, from its
  // posting to the loop's being done with it.
  struct Typed {
    double loaded = 0, key = 0;
  };
  Typed typeInTE(int lines, const std::function<void(HWND editor)>& setUp, const std::vector<WORD>& keys);

 private:
  double runTE(const std::function<void(HWND dialog)>& action, int lines, bool closesItself);
  cadhost::app::DrawingWindow mWindow;
  cadhost::app::ModuleLoader mLoader;
  AcDbDatabase* mDb = nullptr;
  bool mLoaded = false;
};

// Handles every message waiting in the thread's queue (posted refreshes and the like).
void pumpMessages();

}  // namespace bench
