// Puts the primitives of an entity into its display item: lines, curves (flattened finely enough
// for any zoom a sheet is looked at), filled polygons, arrowheads and runs of text, each through
// the map from the entity's coordinates (a block's, for what a block reference draws) to the
// drawing's, in the paint the caller sets.
#pragma once

#include <vector>

#include "DisplayList.h"
#include "TextLayout.h"

namespace cadhost::app {

class ItemSink {
 public:
  ItemSink(DisplayItem& item, FontCatalog& fonts) : mItem(item), mFonts(fonts) {}

  Affine2 map;         // entity coordinates to drawing coordinates
  uint16_t paint = 0;  // of what is put next

  void polyline(const std::vector<Point2>& points, bool closed);
  void polygon(const std::vector<Point2>& points);
  void segment(const Point2& a, const Point2& b) { polyline({a, b}, false); }
  // The points of an elliptical arc c + u cos t + v sin t, t from start over sweep (radians).
  static void arcPoints(const Point2& c, const Point2& u, const Point2& v, double start, double sweep,
                        std::vector<Point2>& out);
  void arc(const Point2& c, double radius, double start, double sweep);
  void dot(const Point2& p);
  // A filled arrowhead with its tip at tip, pointing along direction (any length).
  void arrow(const Point2& tip, const Point2& direction, double size);
  // Runs of laid-out text; frame maps the text's own frame (drawing units) to entity coordinates.
  void text(const std::vector<LaidRun>& runs, const Affine2& frame);

  FontCatalog& fonts() { return mFonts; }

 private:
  void add(Primitive::Kind kind, const std::vector<Point2>& entityPoints, bool closed);
  DisplayItem& mItem;
  FontCatalog& mFonts;
};

}  // namespace cadhost::app
