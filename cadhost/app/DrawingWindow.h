// The host program's drawing window: it draws the current space of the current document (lines,
// arcs, circles, polylines, text, multi-line text, dimensions, block references) and draws again
// whenever the host flushes graphics, updates the display or redraws.
#pragma once

#include <windows.h>

namespace cadhost::app {

class DrawingWindow {
 public:
  DrawingWindow() = default;
  ~DrawingWindow();
  DrawingWindow(const DrawingWindow&) = delete;
  DrawingWindow& operator=(const DrawingWindow&) = delete;

  // Creates the window (shown or hidden) and makes it the host's main window.
  bool create(bool visible);
  HWND hwnd() const { return mWindow; }
  // Draws the drawing again now.
  void refresh();
  // The number of times the drawing was drawn.
  int paintCount() const { return mPaintCount; }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc, const RECT& client);
  HWND mWindow = nullptr;
  int mPaintCount = 0;
};

}  // namespace cadhost::app
