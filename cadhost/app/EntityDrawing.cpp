// What entities draw; see EntityDrawing.h.
#include "EntityDrawing.h"

#include <cmath>
#include <string_view>

#include "../core/coreaccess.h"
#include "DimensionDrawing.h"
#include "RecordedEntities.h"

namespace cadhost::app {

namespace {

constexpr int kMaxBlockDepth = 16;  // a block that inserts itself draws nothing deeper

Point2 xy(const AcGePoint3d& p) { return {p.x, p.y}; }
Point2 xy(const AcGePoint2d& p) { return {p.x, p.y}; }

double sweepOf(double start, double end) {
  double sweep = std::fmod(end - start, 2 * M_PI);
  if (sweep <= 0) sweep += 2 * M_PI;
  return sweep;
}

// The arc a polyline's bulge makes from a to b: its centre, radius, start angle and sweep.
struct BulgeArc {
  Point2 center;
  double radius = 0, start = 0, sweep = 0;
};
BulgeArc bulgeArc(const Point2& a, const Point2& b, double bulge) {
  const double chord = std::hypot(b.x - a.x, b.y - a.y);
  const double theta = 4 * std::atan(bulge);
  const Point2 u{(b.x - a.x) / chord, (b.y - a.y) / chord}, left{-u.y, u.x};
  const double offset = chord / 2 / std::tan(theta / 2);
  BulgeArc arc;
  arc.center = {(a.x + b.x) / 2 + left.x * offset, (a.y + b.y) / 2 + left.y * offset};
  arc.radius = std::hypot(a.x - arc.center.x, a.y - arc.center.y);
  arc.start = std::atan2(a.y - arc.center.y, a.x - arc.center.x);
  arc.sweep = theta;
  return arc;
}

}  // namespace

RunStyle runStyleOf(FontCatalog& fonts, AcDbObjectId textStyle, double height, bool useStyleWidth) {
  RunStyle style;
  style.face = fonts.faceForStyle(textStyle);
  style.height = height > 0 ? height : 1;
  if (useStyleWidth) {
    if (const auto* record = AcDbCore::objectAs<AcDbTextStyleTableRecord>(textStyle)) {
      if (record->xScale() > 0) style.widthFactor = record->xScale();
      style.oblique = record->obliquingAngle();
    }
  }
  return style;
}

void EntityDrawing::draw(const AcDbEntity* e, DisplayItem& item) {
  item.points.clear();
  item.primitives.clear();
  item.texts.clear();
  item.bounds = Box2();
  Context top;
  item.paint = mList.paintIndex(paintOf(e, top));
  ItemSink sink(item, mFonts);
  entity(e, sink, top);
}

Paint EntityDrawing::paintOf(const AcDbEntity* e, const Context& context) const {
  Paint paint;
  paint.layer = AcDbCore::layerIdOf(e);
  // Inside a block, layer 0 stands for the layer of the block reference.
  if (context.inBlock && paint.layer == mList.layerZero()) paint.layer = context.reference.layer;
  const int color = e->colorIndex();
  if (color == AcDb::kByBlock) {
    if (context.inBlock) {
      const Paint& ref = context.reference;
      paint.aci = ref.aci;
      paint.colorLayer = ref.colorLayer;
      paint.byRgb = ref.byRgb;
      paint.rgb = ref.rgb;
    } else {
      paint.aci = 7;  // by block outside any block: white
    }
  } else {
    paint.aci = color >= 1 && color <= 255 ? color : 256;
    paint.colorLayer = paint.layer;
  }
  return paint;
}

void EntityDrawing::entity(const AcDbEntity* e, ItemSink& sink, const Context& context) {
  const Paint own = paintOf(e, context);
  sink.map = context.map;
  sink.paint = mList.paintIndex(own);
  if (const auto* l = AcDbLine::cast(e)) {
    sink.segment(xy(l->startPoint()), xy(l->endPoint()));
  } else if (const auto* c = AcDbCircle::cast(e)) {
    sink.arc(xy(c->center()), c->radius(), 0, 2 * M_PI);
  } else if (const auto* a = AcDbArc::cast(e)) {
    sink.arc(xy(a->center()), a->radius(), a->startAngle(), sweepOf(a->startAngle(), a->endAngle()));
  } else if (const auto* p = AcDbPolyline::cast(e)) {
    polyline(p, sink);
  } else if (const auto* t = AcDbText::cast(e)) {
    text(t, sink);
  } else if (const auto* m = AcDbMText::cast(e)) {
    mtext(m, sink);
  } else if (const auto* d = AcDbDimension::cast(e)) {
    drawDimension(d, sink);
  } else if (const auto* r = AcDbBlockReference::cast(e)) {
    blockReference(r, sink, context, own);
  } else if (const auto* u = AcDbUnmodeledEntity::cast(e)) {
    if (std::wstring_view(u->typeName()) == L"POLYLINE") {
      const auto parts = mParts.find(AcDbCore::stub(u));
      if (parts == mParts.end()) return;
      if (const auto flat = polylineOfVertices(u, parts->second)) polyline(flat.get(), sink);
    } else {
      drawRecordedEntity(u, sink);
    }
  }
}

void EntityDrawing::polyline(const AcDbPolyline* p, ItemSink& sink) {
  const unsigned n = p->numVerts();
  if (n == 0) return;
  const bool closed = p->isClosed();
  const unsigned segments = closed ? n : n - 1;
  std::vector<Point2> vertices(n);
  std::vector<double> bulges(n), startWidths(n), endWidths(n);
  bool wide = false;
  for (unsigned i = 0; i < n; ++i) {
    AcGePoint2d v;
    p->getPointAt(i, v);
    vertices[i] = xy(v);
    p->getBulgeAt(i, bulges[i]);
    p->getWidthsAt(i, startWidths[i], endWidths[i]);
    if (startWidths[i] <= 0 && endWidths[i] <= 0) startWidths[i] = endWidths[i] = p->constantWidth();
    if (i < segments && (startWidths[i] > 0 || endWidths[i] > 0)) wide = true;
  }
  if (n == 1) {
    sink.dot(vertices[0]);
    return;
  }
  if (!wide) {
    std::vector<Point2> points{vertices[0]};
    for (unsigned i = 0; i < segments; ++i) {
      const Point2& a = vertices[i];
      const Point2& b = vertices[(i + 1) % n];
      if (bulges[i] != 0 && (a.x != b.x || a.y != b.y)) {
        const BulgeArc arc = bulgeArc(a, b, bulges[i]);
        std::vector<Point2> arcPoints;
        ItemSink::arcPoints(arc.center, {arc.radius, 0}, {0, arc.radius}, arc.start, arc.sweep, arcPoints);
        points.insert(points.end(), arcPoints.begin() + 1, arcPoints.end());
      } else {
        points.push_back(b);
      }
    }
    if (closed) points.pop_back();
    sink.polyline(points, closed);
    return;
  }
  // A polyline with widths: each segment a filled band, its width going from start to end.
  for (unsigned i = 0; i < segments; ++i) {
    const Point2& a = vertices[i];
    const Point2& b = vertices[(i + 1) % n];
    const double w0 = startWidths[i] / 2, w1 = endWidths[i] / 2;
    if (bulges[i] != 0 && (a.x != b.x || a.y != b.y)) {
      const BulgeArc arc = bulgeArc(a, b, bulges[i]);
      std::vector<Point2> middle;
      ItemSink::arcPoints(arc.center, {1, 0}, {0, 1}, arc.start, arc.sweep, middle);  // unit directions
      std::vector<Point2> band;
      const size_t m = middle.size();
      for (size_t k = 0; k < m; ++k) {
        const double r = arc.radius + (w0 + (w1 - w0) * k / (m - 1));
        band.push_back({arc.center.x + middle[k].x * r, arc.center.y + middle[k].y * r});
      }
      for (size_t k = m; k-- > 0;) {
        const double r = arc.radius - (w0 + (w1 - w0) * k / (m - 1));
        band.push_back({arc.center.x + middle[k].x * r, arc.center.y + middle[k].y * r});
      }
      sink.polygon(band);
    } else {
      const double len = std::hypot(b.x - a.x, b.y - a.y);
      if (len <= 0) continue;
      const double nx = -(b.y - a.y) / len, ny = (b.x - a.x) / len;
      sink.polygon({{a.x + nx * w0, a.y + ny * w0}, {b.x + nx * w1, b.y + ny * w1}, {b.x - nx * w1, b.y - ny * w1},
                    {a.x - nx * w0, a.y - ny * w0}});
    }
  }
}

void EntityDrawing::text(const AcDbText* t, ItemSink& sink) {
  RunStyle style = runStyleOf(mFonts, t->textStyle(), t->height(), false);
  style.widthFactor = t->widthFactor() > 0 ? t->widthFactor() : 1;
  style.oblique = t->oblique();
  double width = 0;
  std::vector<LaidRun> runs = layoutSingleLine(t->textStringConst(), style, mFonts, width);
  const int h = t->horizontalMode(), v = t->verticalMode();
  const Point2 position = xy(t->position()), alignment = xy(t->alignmentPoint());
  double rotation = t->rotation(), scaleAlong = 1, scaleAcross = 1;
  Point2 start = position;
  if (h == AcDb::kTextAlign || h == AcDb::kTextFit) {
    // The text fills its baseline: aligned text keeps its proportions, fit text its height.
    const double length = std::hypot(alignment.x - position.x, alignment.y - position.y);
    if (length > 0) {
      rotation = std::atan2(alignment.y - position.y, alignment.x - position.x);
      if (width > 0) {
        scaleAlong = length / width;
        if (h == AcDb::kTextAlign) scaleAcross = scaleAlong;
      }
    }
  } else if (!(h == AcDb::kTextLeft && v == AcDb::kTextBase)) {
    // Placed by its alignment point, with the width as drawn.
    const FontCatalog::Face& face = mFonts.face(style.face);
    const double height = style.height;
    double along = 0, across = 0;
    if (h == AcDb::kTextCenter || h == AcDb::kTextMid) along = width / 2;
    if (h == AcDb::kTextRight) along = width;
    if (h == AcDb::kTextMid) across = height / 2;
    else if (v == AcDb::kTextBottom) across = -height * face.descent / face.capHeight;
    else if (v == AcDb::kTextVertMid) across = height / 2;
    else if (v == AcDb::kTextTop) across = height;
    if (t->isMirroredInX()) along = -along;
    const double c = std::cos(rotation), s = std::sin(rotation);
    start = {alignment.x - along * c + across * s, alignment.y - along * s - across * c};
  }
  const Affine2 frame = Affine2::translation(start.x, start.y) * Affine2::rotation(rotation) *
                        Affine2::scaling((t->isMirroredInX() ? -1 : 1) * scaleAlong, (t->isMirroredInY() ? -1 : 1) * scaleAcross);
  sink.text(runs, frame);
}

void EntityDrawing::mtext(const AcDbMText* m, ItemSink& sink) {
  const RunStyle style = runStyleOf(mFonts, m->textStyle(), m->textHeight(), true);
  const MTextLayout layout = layoutMText(m->contentsConst(), style, m->width(), m->lineSpacingFactor(), m->attachment(), mFonts);
  const Affine2 frame = Affine2::translation(m->location().x, m->location().y) * Affine2::rotation(m->rotation());
  sink.text(layout.runs, frame);
}

void EntityDrawing::blockReference(const AcDbBlockReference* r, ItemSink& sink, const Context& context, const Paint& own) {
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(r->blockTableRecord());
  if (block != nullptr && context.depth < kMaxBlockDepth) {
    const AcGeVector3d scale = r->scaleFactors();
    const AcGePoint3d origin = AcDbCore::origin(block);
    Context inner;
    inner.map = context.map * Affine2::translation(r->position().x, r->position().y) * Affine2::rotation(r->rotation()) *
                Affine2::scaling(scale.x, scale.y) * Affine2::translation(-origin.x, -origin.y);
    inner.inBlock = true;
    inner.reference = own;
    inner.depth = context.depth + 1;
    for (AcDbObjectId id : AcDbCore::entities(block)) {
      const auto* inside = AcDbCore::objectAs<AcDbEntity>(id);
      if (inside != nullptr && !id.isErased()) entity(inside, sink, inner);
    }
  }
  // Its attributes stand where they are, in the coordinates of the reference's own block.
  if (const auto it = mParts.find(AcDbCore::stub(r)); it != mParts.end()) {
    for (AcDbObjectId id : it->second) {
      const auto* attribute = AcDbUnmodeledEntity::cast(AcDbCore::object(id));
      if (attribute == nullptr || id.isErased() || std::wstring_view(attribute->typeName()) != L"ATTRIB") continue;
      const std::unique_ptr<AcDbText> shown = attributeText(attribute);
      if (shown == nullptr) continue;
      sink.map = context.map;
      sink.paint = mList.paintIndex(paintOf(attribute, context));
      text(shown.get(), sink);
    }
  }
}

}  // namespace cadhost::app
