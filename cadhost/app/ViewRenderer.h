// Paints display items into the view's back buffer with GDI: lines and filled polygons in their
// colours (ACI colours, by layer, true colours), text in its face through a world transform that
// carries its height, rotation, width factor and oblique angle, with the advances it was laid out
// with; text too small to read as a placeholder bar. Highlighted items (selected, or being
// edited) are drawn in the highlight colour, dashed. Layers that are off or frozen hide what is on
// them; their states and colours are read once per paint.
#pragma once

#include <windows.h>

#include <map>
#include <unordered_map>
#include <vector>

#include "DisplayList.h"

namespace cadhost::app {

class ViewRenderer {
 public:
  static constexpr COLORREF kBackground = RGB(33, 40, 48);
  static constexpr COLORREF kHighlight = RGB(80, 170, 255);
  // Text whose capitals would be lower than this many pixels is drawn as a bar.
  static constexpr double kReadablePixels = 3.0;
  // Upright text whose capitals are lower than this is fitted to the pixels (see drawText).
  static constexpr double kFittedBelow = 48.0;

  explicit ViewRenderer(FontCatalog& fonts) : mFonts(fonts) {}
  ~ViewRenderer();
  ViewRenderer(const ViewRenderer&) = delete;
  ViewRenderer& operator=(const ViewRenderer&) = delete;

  // Starts a paint into a DC (the layers' states are read again).
  void begin(HDC dc, const DisplayList& list, const ViewTransform& view);
  void draw(const DisplayItem& item, bool highlighted);
  // Whether an item's own layer shows it.
  bool isShown(const DisplayItem& item);

  static COLORREF aciColor(int aci);

 private:
  struct LayerState {
    bool shown = true;
    int aci = 7;
  };
  const LayerState& layer(AcDbObjectId id);
  bool colorOf(uint16_t paint, COLORREF& color);  // false when the paint's layer hides it
  HPEN pen(COLORREF color, bool dashed);
  HBRUSH brush(COLORREF color);
  void drawText(const DisplayItem& item, const Primitive& p, COLORREF color, bool highlighted);
  // Text in any direction: the face at its reference size through a world transform.
  void drawTransformedText(const TextPrimitive& t, const Affine2& m);

  FontCatalog& mFonts;
  HDC mDc = nullptr;
  const DisplayList* mList = nullptr;
  ViewTransform mView;
  Affine2 mToScreen;
  std::unordered_map<AcDbStub*, LayerState> mLayers;
  std::map<std::pair<COLORREF, bool>, HPEN> mPens;
  std::map<COLORREF, HBRUSH> mBrushes;
  std::vector<POINT> mPoints;
  std::vector<int> mAdvances;
};

}  // namespace cadhost::app
