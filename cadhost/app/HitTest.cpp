// Picking what is drawn; see HitTest.h.
#include "HitTest.h"

#include <cmath>
#include <limits>

namespace cadhost::app::hittest {

namespace {

// Whether a point lies inside a polygon (even-odd rule).
bool insidePolygon(const Point2* points, uint32_t count, const Point2& p) {
  bool inside = false;
  for (uint32_t i = 0, j = count - 1; i < count; j = i++) {
    const Point2& a = points[i];
    const Point2& b = points[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// Whether a segment touches a box (Liang-Barsky clipping).
bool segmentTouchesBox(const Point2& a, const Point2& b, const Box2& box) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  auto clip = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
    return true;
  };
  return clip(-dx, a.x - box.minX) && clip(dx, box.maxX - a.x) && clip(-dy, a.y - box.minY) && clip(dy, box.maxY - a.y);
}

bool isArea(const Primitive& p) { return p.kind == Primitive::Kind::Polygon || p.kind == Primitive::Kind::Text; }

}  // namespace

double distance(const DisplayItem& item, const Point2& at) {
  double best = std::numeric_limits<double>::infinity();
  for (const Primitive& p : item.primitives) {
    const Point2* points = item.points.data() + p.first;
    if (p.count == 1) {
      best = std::min(best, std::hypot(at.x - points[0].x, at.y - points[0].y));
      continue;
    }
    if (isArea(p) && insidePolygon(points, p.count, at)) return 0;
    const bool closed = p.closed || isArea(p);
    const uint32_t segments = closed ? p.count : p.count - 1;
    for (uint32_t k = 0; k < segments; ++k)
      best = std::min(best, distanceToSegment(at, points[k], points[(k + 1) % p.count]));
  }
  return best;
}

bool insideWindow(const DisplayItem& item, const Box2& window) {
  if (item.points.empty()) return false;
  for (const Point2& p : item.points)
    if (!window.contains(p)) return false;
  return true;
}

bool crossesWindow(const DisplayItem& item, const Box2& window) {
  if (!item.bounds.intersects(window)) return false;
  if (insideWindow(item, window)) return true;
  const Point2 corner{window.minX, window.minY};
  for (const Primitive& p : item.primitives) {
    const Point2* points = item.points.data() + p.first;
    if (p.count == 1) {
      if (window.contains(points[0])) return true;
      continue;
    }
    // The window inside an area (a text's box, a filled polygon) touches it too.
    if (isArea(p) && insidePolygon(points, p.count, corner)) return true;
    const bool closed = p.closed || isArea(p);
    const uint32_t segments = closed ? p.count : p.count - 1;
    for (uint32_t k = 0; k < segments; ++k)
      if (segmentTouchesBox(points[k], points[(k + 1) % p.count], window)) return true;
  }
  return false;
}

}  // namespace cadhost::app::hittest
