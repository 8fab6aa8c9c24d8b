// What dimensions draw; see DimensionDrawing.h.
#include "DimensionDrawing.h"

#include <cmath>

#include "../core/coreaccess.h"
#include "EntityDrawing.h"

namespace cadhost::app {

namespace {

Point2 xy(const AcGePoint3d& p) { return {p.x, p.y}; }
Point2 minus(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
double length(const Point2& v) { return std::hypot(v.x, v.y); }
Point2 along(const Point2& from, const Point2& direction, double distance) {
  const double len = length(direction);
  if (len <= 0) return from;
  return {from.x + direction.x / len * distance, from.y + direction.y / len * distance};
}

// An angle turned so that text along it reads from left to right (or upwards).
double readable(double angle) {
  angle = std::remainder(angle, 2 * M_PI);
  if (angle > M_PI / 2 + 1e-9) angle -= M_PI;
  if (angle <= -M_PI / 2 + 1e-9) angle += M_PI;
  return angle;
}

struct Sizes {
  double text = 1, arrow = 1, extension = 0.5, offset = 0.25;
};

// An extension line from a measured point towards the dimension line, past it.
void extensionLine(ItemSink& sink, const Point2& measured, const Point2& onLine, const Sizes& sizes) {
  const Point2 direction = minus(onLine, measured);
  if (length(direction) <= sizes.offset) return;
  sink.segment(along(measured, direction, sizes.offset), along(onLine, direction, sizes.extension));
}

// The arc through the ends of two rays from a centre at a radius, on the side of a point.
void angularArc(ItemSink& sink, const Point2& center, double a1, double a2, double radius, const Point2& through,
                const Sizes& sizes) {
  double sweep = std::remainder(a2 - a1, 2 * M_PI);
  if (sweep < 0) sweep += 2 * M_PI;
  double at = std::atan2(through.y - center.y, through.x - center.x) - a1;
  at = std::fmod(at + 4 * M_PI, 2 * M_PI);
  if (at > sweep) {  // the point lies on the other arc
    a1 += sweep;
    sweep = 2 * M_PI - sweep;
  }
  sink.arc(center, radius, a1, sweep);
  const Point2 start{center.x + radius * std::cos(a1), center.y + radius * std::sin(a1)};
  const Point2 end{center.x + radius * std::cos(a1 + sweep), center.y + radius * std::sin(a1 + sweep)};
  sink.arrow(start, {std::sin(a1), -std::cos(a1)}, sizes.arrow);
  sink.arrow(end, {-std::sin(a1 + sweep), std::cos(a1 + sweep)}, sizes.arrow);
}

}  // namespace

// The dimension line from e1 to e2, broken where a text centred on it stands (as the host draws a
// text that is neither above nor beside its line), so that the line does not strike the text out.
void dimensionLine(ItemSink& sink, const Point2& e1, const Point2& e2, const Point2& textAt, const MTextLayout* text,
                   const Sizes& sizes) {
  const Point2 direction = minus(e2, e1);
  const double span = length(direction);
  if (text == nullptr || span <= 0) {
    sink.segment(e1, e2);
    return;
  }
  const Point2 u{direction.x / span, direction.y / span};
  const Point2 fromStart = minus(textAt, e1);
  const double across = fromStart.x * -u.y + fromStart.y * u.x;
  if (std::fabs(across) >= text->boxHeight / 2) {  // the text stands clear of the line
    sink.segment(e1, e2);
    return;
  }
  const double middle = fromStart.x * u.x + fromStart.y * u.y;
  const double halfGap = text->boxWidth / 2 + sizes.offset;
  if (middle - halfGap > 0) sink.segment(e1, along(e1, u, middle - halfGap));
  if (middle + halfGap < span) sink.segment(along(e1, u, middle + halfGap), e2);
}

void drawDimension(const AcDbDimension* d, ItemSink& sink) {
  Sizes sizes;
  double scale = 1;
  if (const auto* style = AcDbCore::objectAs<AcDbDimStyleTableRecord>(d->dimensionStyle()))
    if (style->dimscale() > 0) scale = style->dimscale();
  sizes.text = d->dimtxt() * scale;
  if (!(sizes.text > 0)) sizes.text = 1;
  sizes.arrow = sizes.text;
  sizes.extension = sizes.text / 2;
  sizes.offset = sizes.text / 4;

  Point2 textAt = xy(d->textPosition());
  double textAngle = d->textRotation();
  const bool textPlaced = textAt.x != 0 || textAt.y != 0;
  const std::wstring content = d->formattedText().kwszPtr();
  const RunStyle style = runStyleOf(sink.fonts(), d->dimtxsty(), sizes.text, true);
  const MTextLayout layout = layoutMText(content, style, 0, 1.0, 5, sink.fonts());  // middle centre

  if (const auto* a = AcDbAlignedDimension::cast(d)) {
    const Point2 p1 = xy(a->xLine1Point()), p2 = xy(a->xLine2Point()), line = xy(a->dimLinePoint());
    double angle = std::atan2(p2.y - p1.y, p2.x - p1.x);
    if (const auto* r = AcDbRotatedDimension::cast(d)) angle = r->rotation();
    const Point2 u{std::cos(angle), std::sin(angle)};
    auto onLine = [&](const Point2& p) {
      const double t = (p.x - line.x) * u.x + (p.y - line.y) * u.y;
      return Point2{line.x + t * u.x, line.y + t * u.y};
    };
    const Point2 e1 = onLine(p1), e2 = onLine(p2);
    extensionLine(sink, p1, e1, sizes);
    extensionLine(sink, p2, e2, sizes);
    sink.arrow(e1, minus(e1, e2), sizes.arrow);
    sink.arrow(e2, minus(e2, e1), sizes.arrow);
    if (textAngle == 0) textAngle = readable(angle);
    if (!textPlaced) {  // a dimension made without a text position: above the middle of its line
      const Point2 middle{(e1.x + e2.x) / 2, (e1.y + e2.y) / 2};
      const double up = sizes.text * 0.75;
      textAt = {middle.x - std::sin(textAngle) * up, middle.y + std::cos(textAngle) * up};
    }
    const bool alongTheLine = std::fabs(std::sin(textAngle - angle)) < 1e-6;
    dimensionLine(sink, e1, e2, textAt, content.empty() || !alongTheLine ? nullptr : &layout, sizes);
  } else if (const auto* r = AcDbRadialDimension::cast(d)) {
    const Point2 center = xy(r->center()), chord = xy(r->chordPoint());
    sink.segment(center, chord);
    sink.arrow(chord, minus(chord, center), sizes.arrow);
    if (textPlaced && length(minus(textAt, center)) > length(minus(chord, center))) sink.segment(chord, textAt);
  } else if (const auto* dm = AcDbDiametricDimension::cast(d)) {
    const Point2 a = xy(dm->chordPoint()), b = xy(dm->farChordPoint());
    sink.segment(a, b);
    sink.arrow(a, minus(a, b), sizes.arrow);
    sink.arrow(b, minus(b, a), sizes.arrow);
  } else if (const auto* an = AcDb2LineAngularDimension::cast(d)) {
    const Point2 s1 = xy(an->xLine1Start()), e1 = xy(an->xLine1End()), s2 = xy(an->xLine2Start()), e2 = xy(an->xLine2End());
    const Point2 d1 = minus(e1, s1), d2 = minus(e2, s2);
    const double cross = d1.x * d2.y - d1.y * d2.x;
    if (std::fabs(cross) > 1e-12) {
      const double t = ((s2.x - s1.x) * d2.y - (s2.y - s1.y) * d2.x) / cross;
      const Point2 center{s1.x + d1.x * t, s1.y + d1.y * t};
      const Point2 arcPoint = xy(an->arcPoint());
      const double radius = length(minus(arcPoint, center));
      sink.segment(s1, e1);
      sink.segment(s2, e2);
      angularArc(sink, center, std::atan2(d1.y, d1.x), std::atan2(d2.y, d2.x), radius, arcPoint, sizes);
    }
  } else if (const auto* a3 = AcDb3PointAngularDimension::cast(d)) {
    const Point2 center = xy(a3->centerPoint()), p1 = xy(a3->xLine1Point()), p2 = xy(a3->xLine2Point());
    const Point2 arcPoint = xy(a3->arcPoint());
    const double radius = length(minus(arcPoint, center));
    const double a1 = std::atan2(p1.y - center.y, p1.x - center.x), a2 = std::atan2(p2.y - center.y, p2.x - center.x);
    extensionLine(sink, p1, {center.x + radius * std::cos(a1), center.y + radius * std::sin(a1)}, sizes);
    extensionLine(sink, p2, {center.x + radius * std::cos(a2), center.y + radius * std::sin(a2)}, sizes);
    angularArc(sink, center, a1, a2, radius, arcPoint, sizes);
  } else if (const auto* o = AcDbOrdinateDimension::cast(d)) {
    const Point2 from = xy(o->definingPoint()), to = xy(o->leaderEndPoint());
    sink.segment(along(from, minus(to, from), sizes.offset), to);
  }

  if (content.empty()) return;
  sink.text(layout.runs, Affine2::translation(textAt.x, textAt.y) * Affine2::rotation(textAngle));
}

}  // namespace cadhost::app
