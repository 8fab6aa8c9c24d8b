// Primitives of display items; see ItemSink.h.
#include "ItemSink.h"

#include <algorithm>
#include <cmath>

namespace cadhost::app {

namespace {
// Segments of a whole ellipse: fine enough that a circle filling a screen looks round.
constexpr int kSegmentsPerTurn = 96;
}  // namespace

void ItemSink::add(Primitive::Kind kind, const std::vector<Point2>& entityPoints, bool closed) {
  if (entityPoints.empty()) return;
  Primitive p;
  p.kind = kind;
  p.closed = closed;
  p.paint = paint;
  p.first = static_cast<uint32_t>(mItem.points.size());
  p.count = static_cast<uint32_t>(entityPoints.size());
  for (const Point2& e : entityPoints) {
    const Point2 d = map.apply(e);
    mItem.points.push_back(d);
    mItem.bounds.add(d);
  }
  mItem.primitives.push_back(p);
}

void ItemSink::polyline(const std::vector<Point2>& points, bool closed) {
  if (points.size() >= 2) add(Primitive::Kind::Polyline, points, closed);
}

void ItemSink::polygon(const std::vector<Point2>& points) {
  if (points.size() >= 3) add(Primitive::Kind::Polygon, points, true);
}

void ItemSink::dot(const Point2& p) { add(Primitive::Kind::Dot, {p}, false); }

void ItemSink::arcPoints(const Point2& c, const Point2& u, const Point2& v, double start, double sweep,
                         std::vector<Point2>& out) {
  const int steps = std::max(4, static_cast<int>(std::ceil(std::fabs(sweep) / (2 * M_PI) * kSegmentsPerTurn)));
  for (int i = 0; i <= steps; ++i) {
    const double t = start + sweep * i / steps;
    out.push_back({c.x + u.x * std::cos(t) + v.x * std::sin(t), c.y + u.y * std::cos(t) + v.y * std::sin(t)});
  }
}

void ItemSink::arc(const Point2& c, double radius, double start, double sweep) {
  std::vector<Point2> points;
  arcPoints(c, {radius, 0}, {0, radius}, start, sweep, points);
  const bool whole = std::fabs(sweep) >= 2 * M_PI - 1e-12;
  if (whole) points.pop_back();
  polyline(points, whole);
}

void ItemSink::arrow(const Point2& tip, const Point2& direction, double size) {
  const double len = std::hypot(direction.x, direction.y);
  if (len <= 0 || size <= 0) return;
  const double ux = direction.x / len, uy = direction.y / len;
  const double halfWidth = size / 6;  // a closed filled arrow is a third as wide as it is long
  const Point2 base{tip.x - ux * size, tip.y - uy * size};
  polygon({tip, {base.x - uy * halfWidth, base.y + ux * halfWidth}, {base.x + uy * halfWidth, base.y - ux * halfWidth}});
}

void ItemSink::text(const std::vector<LaidRun>& runs, const Affine2& frame) {
  for (const LaidRun& run : runs) {
    if (run.text.empty()) continue;
    const FontCatalog::Face& face = mFonts.face(run.style.face);
    const double across = unitsAcross(run.style, mFonts), along = unitsAlong(run.style, mFonts);
    const Affine2 runFrame{along, 0, std::tan(run.style.oblique) * across, across, run.x, run.y};
    TextPrimitive t;
    t.text = run.text;
    t.advances = run.advances;
    t.face = run.style.face;
    t.frame = map * frame * runFrame;
    t.lines = run.style.lines;
    t.capHeight = face.capHeight;
    int width = 0;
    for (int a : run.advances) width += a;
    // The box picked and drawn as a placeholder: from the descenders to the capitals.
    const std::vector<Point2> box{{0, -face.descent}, {double(width), -face.descent}, {double(width), face.capHeight},
                                  {0, face.capHeight}};
    Primitive p;
    p.kind = Primitive::Kind::Text;
    p.paint = paint;
    p.first = static_cast<uint32_t>(mItem.points.size());
    p.count = 4;
    p.text = static_cast<int32_t>(mItem.texts.size());
    for (const Point2& corner : box) mItem.points.push_back(t.frame.apply(corner));
    // What may be drawn reaches from the descenders to the accents above the capitals.
    for (const Point2& corner : {Point2{0, -face.descent}, Point2{double(width), face.ascent}, Point2{double(width), -face.descent},
                                 Point2{0, face.ascent}})
      mItem.bounds.add(t.frame.apply(corner));
    mItem.primitives.push_back(p);
    mItem.texts.push_back(std::move(t));
  }
}

}  // namespace cadhost::app
