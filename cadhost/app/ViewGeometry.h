// Plane geometry of the drawing view: points, boxes and affine maps in drawing coordinates, and
// the view's map from drawing coordinates to window pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace cadhost::app {

struct Point2 {
  double x = 0, y = 0;
};

// An axis-aligned box; empty until a point is added.
struct Box2 {
  double minX = std::numeric_limits<double>::infinity(), minY = std::numeric_limits<double>::infinity();
  double maxX = -std::numeric_limits<double>::infinity(), maxY = -std::numeric_limits<double>::infinity();
  bool empty() const { return !(minX <= maxX && minY <= maxY); }
  void add(const Point2& p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
  void add(const Box2& b) {
    if (b.empty()) return;
    add(Point2{b.minX, b.minY});
    add(Point2{b.maxX, b.maxY});
  }
  bool intersects(const Box2& b) const {
    return !empty() && !b.empty() && minX <= b.maxX && b.minX <= maxX && minY <= b.maxY && b.minY <= maxY;
  }
  bool inside(const Box2& outer) const {
    return !empty() && minX >= outer.minX && maxX <= outer.maxX && minY >= outer.minY && maxY <= outer.maxY;
  }
  bool contains(const Point2& p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
  Box2 grown(double by) const { return empty() ? *this : Box2{minX - by, minY - by, maxX + by, maxY + by}; }
  double width() const { return maxX - minX; }
  double height() const { return maxY - minY; }
};

// x' = a x + c y + e, y' = b x + d y + f (the layout of a Windows XFORM).
struct Affine2 {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Point2 apply(const Point2& p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  Point2 applyVector(const Point2& v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
  // This map after inner: (this * inner)(p) = this(inner(p)).
  Affine2 operator*(const Affine2& inner) const {
    return {a * inner.a + c * inner.b, b * inner.a + d * inner.b, a * inner.c + c * inner.d,
            b * inner.c + d * inner.d, a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
  }
  static Affine2 translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Affine2 rotation(double angle) {
    const double cs = std::cos(angle), sn = std::sin(angle);
    return {cs, sn, -sn, cs, 0, 0};
  }
  static Affine2 scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // How much lengths grow at most (the larger singular value).
  double maxScale() const {
    const double p = a * a + b * b + c * c + d * d, q = a * d - b * c;
    return std::sqrt((p + std::sqrt(std::max(0.0, p * p - 4 * q * q))) / 2);
  }
};

// Drawing coordinates to window pixels: the drawing point at the window's centre and pixels per
// drawing unit; window y grows downwards.
struct ViewTransform {
  double centerX = 0, centerY = 0, scale = 1;
  int width = 1, height = 1;
  double toX(double x) const { return (x - centerX) * scale + width / 2.0; }
  double toY(double y) const { return height / 2.0 - (y - centerY) * scale; }
  Point2 toScreen(const Point2& p) const { return {toX(p.x), toY(p.y)}; }
  Point2 toDrawing(double px, double py) const {
    return {(px - width / 2.0) / scale + centerX, (height / 2.0 - py) / scale + centerY};
  }
  Affine2 toScreenMap() const { return {scale, 0, 0, -scale, width / 2.0 - centerX * scale, height / 2.0 + centerY * scale}; }
  // The drawing box a window box of pixels shows.
  Box2 drawingBox(double left, double top, double right, double bottom) const {
    Box2 box;
    box.add(toDrawing(left, top));
    box.add(toDrawing(right, bottom));
    return box;
  }
};

// Distance from p to the segment a-b.
inline double distanceToSegment(const Point2& p, const Point2& a, const Point2& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

}  // namespace cadhost::app
