// Entities drawn from their drawing-file records; see RecordedEntities.h.
#include "RecordedEntities.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "../core/coreaccess.h"
#include "../dxf/filerecord.h"

namespace cadhost::app {

namespace {

constexpr double kDegree = M_PI / 180;

// The tags of an object's record, with their values read as numbers or text on demand.
class RecordFields {
 public:
  explicit RecordFields(const AcDbObject* obj) {
    const dxf::ObjectRecord* record = dxf::objectRecord(obj);
    if (record == nullptr || record->image() == nullptr) return;
    mImage = record->image();
    const std::string_view bytes = mImage->read(record->begin(), record->end(), mBuffer);
    dxf::TagReader reader(bytes.data(), bytes.size(), mImage->style, 0);
    for (dxf::Tag tag; reader.next(tag);) {
      if (!mTags.empty() && tag.code == 0) break;  // the next record
      mTags.push_back(tag);
    }
  }
  size_t size() const { return mTags.size(); }
  int code(size_t i) const { return mTags[i].code; }
  double number(size_t i) const {
    double value = 0;
    return dxf::tagDouble(mTags[i], mImage->style.binary, value) && std::isfinite(value) ? value : 0;
  }
  long long integer(size_t i) const {
    int64_t value = 0;
    return dxf::tagInt(mTags[i], mImage->style.binary, value) ? value : 0;
  }
  std::wstring text(size_t i) const { return mImage->codec.decode(dxf::tagString(mTags[i])); }
  std::string_view raw(size_t i) const { return mTags[i].value; }
  // The index of the first tag with a code from i on; size() when there is none.
  size_t find(int wanted, size_t i = 0) const {
    while (i < mTags.size() && mTags[i].code != wanted) ++i;
    return i;
  }
  // The value of the first tag with a code, or a default.
  double numberOr(int wanted, double otherwise) const {
    const size_t i = find(wanted);
    return i < size() ? number(i) : otherwise;
  }
  Point2 point(int xCode) const { return {numberOr(xCode, 0), numberOr(xCode + 10, 0)}; }

 private:
  const dxf::FileImage* mImage = nullptr;
  std::string mBuffer;
  std::vector<dxf::Tag> mTags;
};

// A reader that walks the tags in order (a hatch's boundaries, a spline's points).
class Cursor {
 public:
  explicit Cursor(const RecordFields& fields, size_t at = 0) : f(fields), i(at) {}
  // The next tag's value when it has the code (then past it); otherwise nothing is read.
  bool take(int code, double& value) {
    if (i >= f.size() || f.code(i) != code) return false;
    value = f.number(i++);
    return true;
  }
  double number(int code) {
    double value = 0;
    take(code, value);
    return value;
  }
  Point2 point(int xCode) {
    const double x = number(xCode);
    return {x, number(xCode + 10)};
  }
  // Skips to the next tag with the code; false at the end.
  bool seek(int code) {
    while (i < f.size() && f.code(i) != code) ++i;
    return i < f.size();
  }
  const RecordFields& f;
  size_t i;
};

// A B-spline's points by de Boor's algorithm, samples per knot span.
std::vector<Point2> splinePoints(int degree, const std::vector<double>& knots, const std::vector<Point2>& control) {
  std::vector<Point2> out;
  const int n = static_cast<int>(control.size());
  if (degree < 1 || n <= degree || static_cast<int>(knots.size()) != n + degree + 1) return control;
  const double t0 = knots[static_cast<size_t>(degree)], t1 = knots[static_cast<size_t>(n)];
  const int samples = 8 * (n - degree) + 1;
  for (int s = 0; s <= samples; ++s) {
    const double t = s == samples ? t1 : t0 + (t1 - t0) * s / samples;
    int k = degree;
    while (k < n - 1 && t >= knots[static_cast<size_t>(k + 1)]) ++k;
    std::vector<Point2> d(control.begin() + (k - degree), control.begin() + k + 1);
    for (int r = 1; r <= degree; ++r)
      for (int j = degree; j >= r; --j) {
        const double left = knots[static_cast<size_t>(j + k - degree)], right = knots[static_cast<size_t>(j + 1 + k - r)];
        const double alpha = right > left ? (t - left) / (right - left) : 0;
        d[j] = {(1 - alpha) * d[j - 1].x + alpha * d[j].x, (1 - alpha) * d[j - 1].y + alpha * d[j].y};
      }
    out.push_back(d[static_cast<size_t>(degree)]);
  }
  return out;
}

// The points of an elliptical arc from one angle (radians) to another, counter-clockwise in the
// frame of its axes u and v.
void appendArc(std::vector<Point2>& out, const Point2& c, const Point2& u, const Point2& v, double start, double end) {
  double sweep = end - start;
  while (sweep <= 0) sweep += 2 * M_PI;
  ItemSink::arcPoints(c, u, v, start, sweep, out);
}

// A hatch: each boundary path as an outline.
void drawHatch(const RecordFields& f, ItemSink& sink) {
  Cursor c(f);
  if (!c.seek(91)) return;
  const int paths = static_cast<int>(c.number(91));
  for (int path = 0; path < paths && c.seek(92); ++path) {
    const int flags = static_cast<int>(c.number(92));
    std::vector<Point2> outline;
    if (flags & 2) {  // a polyline
      const bool bulges = c.number(72) != 0;
      const bool closed = c.number(73) != 0;
      const int count = static_cast<int>(c.number(93));
      std::vector<Point2> vertices;
      std::vector<double> bulge;
      for (int k = 0; k < count; ++k) {
        vertices.push_back(c.point(10));
        double b = 0;
        if (bulges) c.take(42, b);
        bulge.push_back(b);
      }
      for (size_t k = 0; k < vertices.size(); ++k) {
        outline.push_back(vertices[k]);
        const bool last = k + 1 == vertices.size();
        if (bulge[k] == 0 || (last && !closed)) continue;
        const Point2& a = vertices[k];
        const Point2& b = vertices[(k + 1) % vertices.size()];
        const double chord = std::hypot(b.x - a.x, b.y - a.y), theta = 4 * std::atan(bulge[k]);
        if (chord <= 0) continue;
        const double offset = chord / 2 / std::tan(theta / 2);
        const Point2 center{(a.x + b.x) / 2 - (b.y - a.y) / chord * offset, (a.y + b.y) / 2 + (b.x - a.x) / chord * offset};
        const double r = std::hypot(a.x - center.x, a.y - center.y);
        std::vector<Point2> arc;
        ItemSink::arcPoints(center, {r, 0}, {0, r}, std::atan2(a.y - center.y, a.x - center.x), theta, arc);
        outline.insert(outline.end(), arc.begin() + 1, arc.end() - 1);
      }
      sink.polyline(outline, true);
    } else {  // edges
      const int edges = static_cast<int>(c.number(93));
      for (int k = 0; k < edges; ++k) {
        const int type = static_cast<int>(c.number(72));
        if (type == 1) {
          const Point2 a = c.point(10), b = c.point(11);
          if (outline.empty()) outline.push_back(a);
          outline.push_back(b);
        } else if (type == 2) {
          const Point2 center = c.point(10);
          const double r = c.number(40), start = c.number(50) * kDegree, end = c.number(51) * kDegree;
          const bool ccw = c.number(73) != 0;
          // A clockwise edge measures its angles clockwise: its second axis points down.
          appendArc(outline, center, {r, 0}, {0, ccw ? r : -r}, start, end);
        } else if (type == 3) {
          const Point2 center = c.point(10), major = c.point(11);
          const double ratio = c.number(40), start = c.number(50) * kDegree, end = c.number(51) * kDegree;
          const bool ccw = c.number(73) != 0;
          const Point2 minor{-major.y * ratio, major.x * ratio};
          appendArc(outline, center, major, ccw ? minor : Point2{-minor.x, -minor.y}, start, end);
        } else if (type == 4) {
          const int degree = static_cast<int>(c.number(94));
          const bool rational = c.number(73) != 0;
          c.number(74);
          const int knotCount = static_cast<int>(c.number(95)), controlCount = static_cast<int>(c.number(96));
          std::vector<double> knots;
          for (int q = 0; q < knotCount; ++q) knots.push_back(c.number(40));
          std::vector<Point2> control;
          for (int q = 0; q < controlCount; ++q) {
            control.push_back(c.point(10));
            double weight;
            if (rational) c.take(42, weight);
          }
          const std::vector<Point2> points = splinePoints(degree, knots, control);
          outline.insert(outline.end(), points.begin(), points.end());
          double fitCount = 0;
          if (c.take(97, fitCount))
            for (int q = 0; q < static_cast<int>(fitCount); ++q) c.point(11);
          c.point(12);
          c.point(13);
        } else {
          break;  // not an edge this view knows: the rest of the path cannot be read
        }
      }
      sink.polyline(outline, true);
    }
    double sources = 0;
    if (c.take(97, sources))
      for (int k = 0; k < static_cast<int>(sources); ++k) c.number(330);
  }
}

void drawSpline(const RecordFields& f, ItemSink& sink) {
  const int degree = static_cast<int>(f.numberOr(71, 3));
  std::vector<double> knots;
  std::vector<Point2> control, fit;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f.code(i) == 40) knots.push_back(f.number(i));
    if (f.code(i) == 10 && i + 1 < f.size() && f.code(i + 1) == 20) control.push_back({f.number(i), f.number(i + 1)});
    if (f.code(i) == 11 && i + 1 < f.size() && f.code(i + 1) == 21) fit.push_back({f.number(i), f.number(i + 1)});
  }
  const bool closed = (static_cast<int>(f.numberOr(70, 0)) & 1) != 0;
  sink.polyline(control.empty() ? fit : splinePoints(degree, knots, control), closed);
}

}  // namespace

bool isPartRecord(const AcDbEntity* entity) {
  const auto* u = AcDbUnmodeledEntity::cast(entity);
  if (u == nullptr) return false;
  const std::wstring_view type = u->typeName();
  return type == L"ATTRIB" || type == L"VERTEX" || type == L"SEQEND";
}

bool drawRecordedEntity(const AcDbUnmodeledEntity* entity, ItemSink& sink) {
  const std::wstring_view type = entity->typeName();
  const RecordFields f(entity);
  if (f.size() == 0) return false;
  if (type == L"HATCH") {
    drawHatch(f, sink);
  } else if (type == L"SOLID" || type == L"TRACE") {
    const Point2 p1 = f.point(10), p2 = f.point(11), p3 = f.point(12), p4 = f.point(13);
    if (p3.x == p4.x && p3.y == p4.y) sink.polygon({p1, p2, p3});
    else sink.polygon({p1, p2, p4, p3});
  } else if (type == L"3DFACE") {
    sink.polyline({f.point(10), f.point(11), f.point(12), f.point(13)}, true);
  } else if (type == L"ELLIPSE") {
    const Point2 center = f.point(10), major = f.point(11);
    const double ratio = f.numberOr(40, 1), start = f.numberOr(41, 0), end = f.numberOr(42, 2 * M_PI);
    double sweep = end - start;
    while (sweep <= 0) sweep += 2 * M_PI;
    std::vector<Point2> points;
    ItemSink::arcPoints(center, major, {-major.y * ratio, major.x * ratio}, start, sweep, points);
    sink.polyline(points, false);
  } else if (type == L"SPLINE") {
    drawSpline(f, sink);
  } else if (type == L"LEADER") {
    std::vector<Point2> vertices;
    for (size_t i = 0; i + 1 < f.size(); ++i)
      if (f.code(i) == 10 && f.code(i + 1) == 20) vertices.push_back({f.number(i), f.number(i + 1)});
    sink.polyline(vertices, false);
  } else if (type == L"POINT") {
    sink.dot(f.point(10));
  } else if (type == L"VIEWPORT") {
    if (static_cast<int>(f.numberOr(69, 0)) == 1) return true;  // the sheet's own view: no frame
    const Point2 c = f.point(10);
    const double w = f.numberOr(40, 0) / 2, h = f.numberOr(41, 0) / 2;
    sink.polyline({{c.x - w, c.y - h}, {c.x + w, c.y - h}, {c.x + w, c.y + h}, {c.x - w, c.y + h}}, true);
  } else {
    return false;
  }
  return true;
}

std::unique_ptr<AcDbText> attributeText(const AcDbEntity* attribute) {
  const RecordFields f(attribute);
  if (f.size() == 0) return nullptr;
  if ((static_cast<int>(f.numberOr(70, 0)) & 1) != 0) return nullptr;  // invisible
  auto text = std::make_unique<AcDbText>();
  const size_t value = f.find(1);
  if (value < f.size()) text->setTextString(f.text(value).c_str());
  text->setHeight(f.numberOr(40, 1) > 0 ? f.numberOr(40, 1) : 1);
  if (f.numberOr(41, 1) > 0) text->setWidthFactor(f.numberOr(41, 1));
  text->setRotation(f.numberOr(50, 0) * kDegree);
  text->setOblique(f.numberOr(51, 0) * kDegree);
  const size_t style = f.find(7);
  AcDbDatabase* db = attribute->database();
  if (style < f.size() && db != nullptr) {
    if (const auto* table = AcDbCore::objectAs<AcDbTextStyleTable>(db->textStyleTableId()))
      text->setTextStyle(AcDbCore::findRecord(table, f.text(style).c_str()));
  }
  const int generation = static_cast<int>(f.numberOr(71, 0));
  text->mirrorInX((generation & 2) != 0);
  text->mirrorInY((generation & 4) != 0);
  const int h = static_cast<int>(f.numberOr(72, 0)), v = static_cast<int>(f.numberOr(74, 0));
  const Point2 at = f.point(10), align = f.find(11) < f.size() ? f.point(11) : at;
  AcDbCore::setTextJustification(text.get(), static_cast<AcDb::TextHorzMode>(std::clamp(h, 0, 5)),
                                 static_cast<AcDb::TextVertMode>(std::clamp(v, 0, 3)));
  AcDbCore::setTextPoints(text.get(), AcGePoint3d(at.x, at.y, 0), AcGePoint3d(align.x, align.y, 0));
  return text;
}

std::unique_ptr<AcDbPolyline> polylineOfVertices(const AcDbEntity* polyline, const std::vector<AcDbObjectId>& vertices) {
  const RecordFields header(polyline);
  auto result = std::make_unique<AcDbPolyline>();
  const int flags = static_cast<int>(header.numberOr(70, 0));
  if (flags & (8 | 16 | 64)) return nullptr;  // a 3D polyline or a mesh: not drawn here
  result->setClosed((flags & 1) != 0);
  const double width0 = header.numberOr(40, 0), width1 = header.numberOr(41, 0);
  unsigned index = 0;
  for (AcDbObjectId id : vertices) {
    const auto* vertex = AcDbUnmodeledEntity::cast(AcDbCore::object(id));
    if (vertex == nullptr || std::wstring_view(vertex->typeName()) != L"VERTEX") continue;
    const RecordFields f(vertex);
    const Point2 p = f.point(10);
    result->addVertexAt(index, AcGePoint2d(p.x, p.y), f.numberOr(42, 0), f.numberOr(40, width0), f.numberOr(41, width1));
    ++index;
  }
  return result;
}

}  // namespace cadhost::app
