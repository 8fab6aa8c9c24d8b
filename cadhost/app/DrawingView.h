// The drawing view: a child window that shows the current space of a drawing and takes the mouse.
//
// What it shows is painted from the display list into a back buffer, which the window shows; a
// change of some entities repaints only the parts of the buffer where they were and are now, and
// shows those parts at once, so that a keystroke in an editor repaints a few hundred pixels of a
// drawing of any size. Nothing flickers: the window is never erased, only copied to.
//
// The mouse: the wheel zooms about the cursor, the middle button pans; a click picks the entity
// under the cursor (with Shift: takes it out of the selection), a window dragged (or clicked
// corner to corner) from left to right selects what lies wholly inside, from right to left what
// it touches; at a point prompt a click gives the point; a right click is Enter. What the mouse
// selects goes to the input target (the main window), which decides what it means at the prompt.
#pragma once

#include <windows.h>

#include <memory>
#include <unordered_set>
#include <vector>

#include "DisplayList.h"
#include "UserInput.h"
#include "ViewRenderer.h"

namespace cadhost::app {

class DrawingView {
 public:
  DrawingView();
  ~DrawingView();
  DrawingView(const DrawingView&) = delete;
  DrawingView& operator=(const DrawingView&) = delete;

  bool create(HWND parent, InputTarget* target);
  HWND hwnd() const { return mWindow; }

  // Shows a drawing: every entity made anew, the view fitted to the drawing's extents.
  void showDrawing(AcDbDatabase* db);
  AcDbDatabase* database() const { return mList.database(); }
  // Makes every entity anew (REGEN) and paints; the view stays where it is.
  void regen();
  // Paints everything again from what was made.
  void redraw();
  // Makes the entities given anew and repaints where they were and are.
  void entitiesChanged(const std::vector<AcDbObjectId>& ids);
  // The entities shown highlighted (selected, or being edited).
  void setHighlighted(const std::vector<AcDbObjectId>& ids);
  bool isHighlighted(AcDbObjectId id) const { return mHighlighted.count(id.stub()) != 0; }

  void zoomExtents();
  void zoomWindow(const Box2& window);
  // Zooms by a factor about a point of the window, which stays where it is.
  void zoomAt(int x, int y, double factor);
  void panBy(int dx, int dy);
  const ViewTransform& transform() const { return mView; }

  // The entity drawn nearest a window point within the pick box; null when there is none.
  AcDbObjectId pickAt(int x, int y);
  // The entities a window between two window points selects: from left to right those wholly
  // inside, from right to left those it touches.
  std::vector<AcDbObjectId> selectWindow(POINT from, POINT to);
  // Where an entity is drawn, in window pixels (empty when it is not drawn).
  RECT screenBoxOf(AcDbObjectId id) const;
  // Cancels a window begun with a click.
  void cancelWindow();

  DisplayList& displayList() { return mList; }
  // How many times the view painted (wholly or in part).
  int paintCount() const { return mPaintCount; }
  // The pixels the window shows now, read from the screen (row by row, top first).
  std::vector<COLORREF> screenPixels() const;

  static constexpr int kPickBox = 4;  // pixels about the cursor that a pick takes in

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void resizeBuffer(int width, int height);
  void fit(const Box2& box);
  void renderAll();
  void renderRect(const RECT& r);
  void present(const RECT& r);
  void repaintBoxes(const std::vector<Box2>& boxes);
  RECT toScreenRect(const Box2& box) const;
  void showBand(POINT to);
  void hideBand();
  void mouseDown(int x, int y, bool shift);
  void mouseUp(int x, int y);
  void mouseMove(int x, int y);
  void select(std::vector<AcDbObjectId> ids, bool removing);

  HWND mWindow = nullptr;
  InputTarget* mTarget = nullptr;
  FontCatalog mFonts;
  DisplayList mList{mFonts};
  ViewRenderer mRenderer{mFonts};
  ViewTransform mView;
  HDC mMemDc = nullptr;
  HBITMAP mBitmap = nullptr;
  HGDIOBJ mPreviousBitmap = nullptr;
  bool mBufferValid = false;
  bool mStale = false;  // changes came while the view was hidden: everything is made again
  int mPaintCount = 0;
  std::unordered_set<AcDbStub*> mHighlighted;
  std::vector<uint32_t> mCandidates;

  enum class Drag { None, Pressed, Window, Panning };
  Drag mDrag = Drag::None;
  bool mWindowPending = false;  // a window begun with a click, waiting for its second corner
  bool mShiftAtPress = false;
  POINT mAnchor{}, mLast{};
  RECT mBand{};
  bool mBandShown = false;
};

}  // namespace cadhost::app
