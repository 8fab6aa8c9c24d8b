// Records of drawing files as the host's objects: decoding each kind the host models, and the
// properties the writer compares and writes for it.
#include "records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cadhost::dxf {

// ---- Splitting a record ---------------------------------------------------------------------

bool appendTag(TagReader& reader, std::vector<Tag>& tags) {
  if (reader.next(tags.emplace_back())) return true;
  tags.pop_back();
  return false;
}

bool isRecordType(std::string_view value) {
  // (Cheap: the first character tells nearly always.)
  if (value.empty() || !((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'))) return false;
  for (char c : value)
    if (c <= ' ' || c > '~') return false;
  return true;
}

bool readRecordAfter(TagReader& reader, const Tag& first, std::vector<Tag>& tags, Tag& next) {
  tags.clear();
  tags.push_back(first);
  while (appendTag(reader, tags)) {
    if (tags.back().code == 0 && isRecordType(tags.back().value)) {
      next = tags.back();
      tags.pop_back();
      return true;
    }
  }
  return false;
}

namespace {
// Where the application group that opens at tags[open] ends when no "102 }" closes it; SIZE_MAX
// when it is closed. The groups the host knows hold references of one kind: an extension
// dictionary's ends at the first tag of another kind; the reactors' run of 330 tags ends before
// its last one when the subclass markers follow it (that last one is the owner, which every object
// has there). Any other group ends before the first subclass marker in it, the next group, the
// extended data or the record's end.
size_t unclosedGroupEnd(const std::vector<Tag>& tags, size_t open) {
  size_t firstMarker = SIZE_MAX;
  size_t i = open + 1;
  for (; i < tags.size() && tags[i].code != 1001 && tags[i].code != 102; ++i)
    if (tags[i].code == 100 && firstMarker == SIZE_MAX) firstMarker = i;
  if (i < tags.size() && tags[i].code == 102 && !(!tags[i].value.empty() && tags[i].value.front() == '{')) return SIZE_MAX;
  const size_t end = std::min(firstMarker, i);
  const std::string_view name = tags[open].value;
  const int held = name == "{ACAD_XDICTIONARY" ? 360 : name == "{ACAD_REACTORS" ? 330 : 0;
  if (held != 0) {
    size_t k = open + 1;
    while (k < end && tags[k].code == held) ++k;
    if (held == 330 && k == end && k == firstMarker && k > open + 1) --k;
    return k;
  }
  return end;
}
}  // namespace

void analyzeRecord(RecordTags& r, bool binary) {
  r.main.clear();
  r.type = r.tags.empty() ? std::string_view() : r.tags[0].value;
  r.mainEnd = r.tags.size();
  r.hasSubclasses = false;
  r.handleTag = r.ownerTag = r.nextOwnerTag = r.xdictionaryTag = -1;
  r.handle = r.owner = r.xdictionary = 0;
  r.handleValid = false;
  r.ownerReadable = r.xdictionaryReadable = true;
  constexpr int kTrackedCodes = 1100;
  uint64_t seenCodes[(kTrackedCodes + 63) / 64] = {};  // (for finding first tags)
  r.unclosedGroups.clear();
  const int handleCode = r.type == "DIMSTYLE" ? 105 : 5;
  bool inGroup = false, inXdictionary = false, seenMarker = false;
  size_t groupEnd = SIZE_MAX;  // where a group without its "}" ends
  int32_t marker = -1;
  for (size_t i = 1; i < r.tags.size(); ++i) {
    const Tag& t = r.tags[i];
    if (inGroup && i == groupEnd) inGroup = inXdictionary = false;
    if (t.code == 1001 || (t.code == 101 && !inGroup)) {
      r.mainEnd = i;
      break;
    }
    if (t.code == 102) {
      if (!t.value.empty() && t.value.front() == '{') {
        inGroup = true;
        inXdictionary = t.value == "{ACAD_XDICTIONARY";
        groupEnd = unclosedGroupEnd(r.tags, i);
        if (groupEnd != SIZE_MAX) r.unclosedGroups.push_back(static_cast<uint32_t>(groupEnd));
      } else {
        inGroup = inXdictionary = false;
      }
      continue;
    }
    if (inGroup) {
      if (inXdictionary && t.code == 360 && r.xdictionaryTag < 0) {
        r.xdictionaryTag = static_cast<int>(i);
        if (!(r.xdictionaryReadable = tagHandle(t, binary, r.xdictionary))) r.xdictionary = 0;
      }
      continue;
    }
    if (t.code == 100) {
      r.hasSubclasses = seenMarker = true;
      marker = static_cast<int32_t>(i);
      continue;
    }
    if (!seenMarker) {
      if (t.code == handleCode && r.handleTag < 0) {
        r.handleTag = static_cast<int>(i);
        r.handleValid = tagHandle(t, binary, r.handle) && r.handle != 0;
        continue;
      }
      if (t.code == 330 && r.ownerTag < 0) {
        r.ownerTag = static_cast<int>(i);
        if (!(r.ownerReadable = tagHandle(t, binary, r.owner))) r.owner = 0;
        continue;
      }
      if (t.code == 330 && r.nextOwnerTag < 0) r.nextOwnerTag = static_cast<int>(i);
    }
    bool first = true;
    if (t.code >= 0 && t.code < kTrackedCodes) {
      uint64_t& word = seenCodes[static_cast<size_t>(t.code) / 64];
      const uint64_t bit = uint64_t(1) << (t.code % 64);
      first = (word & bit) == 0;
      word |= bit;
    }
    r.main.push_back({static_cast<uint32_t>(i), marker, first});
  }
}

namespace {
// The first tag of a code in the object's own data, read as a whole number.
bool firstInteger(const RecordTags& record, int code, bool binary, int64_t& value) {
  for (const auto& m : record.main)
    if (m.first && record.tags[m.index].code == code) return tagInt(record.tags[m.index], binary, value);
  return false;
}
}  // namespace

bool namesBlock(const RecordTags& record) {
  for (const auto& m : record.main)
    if (m.first && record.tags[m.index].code == 2) return !record.tags[m.index].value.empty();
  return false;
}

bool attributesFollow(const RecordTags& record, bool binary) {
  int64_t follows = 0;
  return firstInteger(record, 66, binary, follows) && follows == 1;
}

bool saysPaperSpace(const RecordTags& record, bool binary) {
  int64_t flag = 0;
  return firstInteger(record, 67, binary, flag) && flag == 1;
}

bool mayStayInFile(const RecordTags& record, bool binary, uint64_t handleLimit) {
  if (record.type == "POLYLINE" || !record.handleValid || record.handle == 0 || record.handle >= handleLimit ||
      record.xdictionary != 0)
    return false;
  return !(record.type == "INSERT" && attributesFollow(record, binary));  // the parent of the ATTRIBs that follow
}

// ---- Decoding -------------------------------------------------------------------------------

std::wstring hostName(const std::wstring& name) {
  std::wstring s = name.substr(0, 255);
  for (size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c < 0x20 || (std::wstring_view(L"<>/\\\":;?,=`").find(c) != std::wstring_view::npos) || (c == L'*' && i > 0))
      s[i] = L'_';
  }
  bool allSpace = !s.empty();
  for (wchar_t c : s) allSpace = allSpace && c == L' ';
  if (allSpace) s[0] = L'_';
  return s;
}


namespace {

struct Point {
  AcGePoint3d p;
  bool has = false;
};

class Decoder {
 public:
  Decoder(const RecordTags& r, DecodeContext& c) : r(r), c(c) {}
  const RecordTags& r;
  DecodeContext& c;

  bool real(const Tag& t, double& v) {
    double d;
    if (!tagDouble(t, c.binary(), d) || !std::isfinite(d)) {
      c.badValue(t, "a number");
      return false;
    }
    v = d;
    return true;
  }
  bool integer(const Tag& t, int64_t& v) {
    int64_t i;
    if (!tagInt(t, c.binary(), i)) {
      c.badValue(t, "a whole number");
      return false;
    }
    v = i;
    return true;
  }
  uint64_t handle(const Tag& t) {
    uint64_t h = 0;
    if (!tagHandle(t, c.binary(), h)) c.badValue(t, "a handle");
    return h;
  }
  // A point component: codes base, base+10, base+20 (10/20/30, 11/21/31, ...).
  bool pointPart(const Tag& t, int base, Point& p) {
    const int code = t.code;
    double v;
    if (code == base) { if (real(t, v)) { p.p.x = v; p.has = true; } return true; }
    if (code == base + 10) { if (real(t, v)) p.p.y = v; return true; }
    if (code == base + 20) { if (real(t, v)) p.p.z = v; return true; }
    return false;
  }
};

// The properties every entity has: layer and colour.
void decodeEntityCommon(Decoder& d, AcDbEntity* ent) {
  bool hasLayer = false;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (t.code == 8) {
      AcDbCore::setLayerId(ent, d.c.named(DecodeContext::Ref::Layer, t.value, ent));
      hasLayer = true;
    } else if (t.code == 62) {
      int64_t color;
      if (d.integer(t, color) && (color < 0 || color > 257 || ent->setColorIndex(static_cast<Adesk::UInt16>(color)) != Acad::eOk))
        d.c.badValue(t, "a colour number from 0 to 257");
    }
  }
  if (!hasLayer) AcDbCore::setLayerId(ent, d.c.named(DecodeContext::Ref::Layer, "0", ent));
}

AcGeVector3d normalOf(const Point& p) { return AcGeVector3d(p.p.x, p.p.y, p.p.z); }

AcDbObject* decodeText(Decoder& d) {
  auto* text = new AcDbText;
  decodeEntityCommon(d, text);
  Point pos, align, normal;
  int64_t flags = 0, horz = 0, vert = 0;
  std::string_view style = "STANDARD";
  std::string_view contents;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, pos) || d.pointPart(t, 11, align) || d.pointPart(t, 210, normal)) continue;
    double v;
    switch (t.code) {
      case 1: contents = t.value; break;
      case 7: style = t.value; break;
      case 39: if (d.real(t, v)) text->setThickness(v); break;
      case 40: if (d.real(t, v)) text->setHeight(v); break;
      case 41: if (d.real(t, v)) text->setWidthFactor(v); break;
      case 50: if (d.real(t, v)) text->setRotation(degreesToRadians(v)); break;
      case 51: if (d.real(t, v)) text->setOblique(degreesToRadians(v)); break;
      case 71: d.integer(t, flags); break;
      case 72: if (d.integer(t, horz) && (horz < 0 || horz > 5)) { d.c.badValue(t, "a justification from 0 to 5"); horz = 0; } break;
      case 73: if (d.integer(t, vert) && (vert < 0 || vert > 3)) { d.c.badValue(t, "a justification from 0 to 3"); vert = 0; } break;
      default: break;
    }
  }
  if (normal.has) text->setNormal(normalOf(normal));
  if (flags & 2) text->mirrorInX(true);
  if (flags & 4) text->mirrorInY(true);
  AcDbCore::setTextStringRaw(text, d.c.scratchText(contents).c_str());
  AcDbCore::setTextStyleRaw(text, d.c.named(DecodeContext::Ref::TextStyle, style, text));
  AcDbCore::setTextJustification(text, static_cast<AcDb::TextHorzMode>(horz), static_cast<AcDb::TextVertMode>(vert));
  AcDbCore::setTextPoints(text, pos.p, align.has ? align.p : pos.p);
  return text;
}

AcDbObject* decodeMText(Decoder& d) {
  auto* mtext = new AcDbMText;
  decodeEntityCommon(d, mtext);
  Point location, direction, normal;
  std::string contents;
  std::string_view style = "STANDARD";
  double rotation = 0;
  bool hasRotation = false;
  for (const auto& m : d.r.main) {
    const Tag& t = d.r.tags[m.index];
    if (t.code == 3 || t.code == 1) {  // the contents come in pieces
      contents.append(t.value);
      continue;
    }
    if (!m.first) continue;
    if (d.pointPart(t, 10, location) || d.pointPart(t, 11, direction) || d.pointPart(t, 210, normal)) continue;
    double v;
    int64_t i;
    switch (t.code) {
      case 7: style = t.value; break;
      case 40: if (d.real(t, v)) mtext->setTextHeight(v); break;
      case 41: if (d.real(t, v)) mtext->setWidth(v); break;
      case 46: if (d.real(t, v)) mtext->setHeight(v); break;
      case 44: if (d.real(t, v)) mtext->setLineSpacingFactor(v); break;
      case 50: if (d.real(t, v)) { rotation = degreesToRadians(v); hasRotation = true; } break;
      case 71: if (d.integer(t, i) && (i < 1 || i > 9 || mtext->setAttachment(static_cast<AcDbMText::AttachmentPoint>(i)) != Acad::eOk)) d.c.badValue(t, "an attachment from 1 to 9"); break;
      case 72: if (d.integer(t, i) && i >= 1 && i <= 5) mtext->setFlowDirection(static_cast<AcDbMText::FlowDirection>(i)); break;
      case 73: if (d.integer(t, i) && (i == 1 || i == 2)) mtext->setLineSpacingStyle(static_cast<AcDb::LineSpacingStyle>(i)); break;
      default: break;
    }
  }
  mtext->setLocation(location.p);
  if (normal.has) mtext->setNormal(normalOf(normal));
  if (direction.has && (direction.p.x != 0 || direction.p.y != 0)) mtext->setDirection(normalOf(direction));
  else if (hasRotation) mtext->setRotation(rotation);
  AcDbCore::setMTextContentsRaw(mtext, d.c.scratchText(contents).c_str());
  AcDbCore::setMTextStyleRaw(mtext, d.c.named(DecodeContext::Ref::TextStyle, style, mtext));
  return mtext;
}

// The dimension style overrides in the "ACAD" extended data: DIMTXT (140) and DIMTXSTY (340).
void decodeDimensionOverrides(Decoder& d, AcDbDimension* dim) {
  const auto& tags = d.r.tags;
  size_t i = d.r.mainEnd;
  while (i < tags.size() && !(tags[i].code == 1001 && tags[i].value == "ACAD")) ++i;
  if (i == tags.size()) return;
  for (++i; i < tags.size() && tags[i].code != 1001; ++i) {
    if (!(tags[i].code == 1000 && tags[i].value == "DSTYLE")) continue;
    if (i + 1 >= tags.size() || tags[i + 1].code != 1002) return;
    for (size_t k = i + 2; k + 1 < tags.size() && tags[k].code == 1070; k += 2) {
      int64_t variable;
      if (!tagInt(tags[k], d.c.binary(), variable)) return;
      const Tag& value = tags[k + 1];
      if (variable == 140 && value.code == 1040) {
        double height;
        if (d.real(value, height) && dim->setDimtxt(height) != Acad::eOk) d.c.badValue(value, "a positive text height");
      } else if (variable == 340 && value.code == 1005) {
        const uint64_t h = d.handle(value);
        if (h != 0) dim->setDimtxsty(d.c.object(h));
      }
    }
    return;
  }
}

AcDbObject* decodeDimension(Decoder& d) {
  int64_t flags = 0;
  for (const auto& m : d.r.main)
    if (m.first && d.r.tags[m.index].code == 70) d.integer(d.r.tags[m.index], flags);
  const int kind = static_cast<int>(flags & 0x0F);
  AcDbDimension* dim = nullptr;
  switch (kind) {
    case 0: dim = new AcDbRotatedDimension; break;
    case 1: dim = new AcDbAlignedDimension; break;
    case 2: dim = new AcDb2LineAngularDimension; break;
    case 3: dim = new AcDbDiametricDimension; break;
    case 4: dim = new AcDbRadialDimension; break;
    case 5: dim = new AcDb3PointAngularDimension; break;
    case 6: dim = new AcDbOrdinateDimension; break;
    default:
      for (const auto& m : d.r.main)
        if (m.first && d.r.tags[m.index].code == 70) d.c.badValue(d.r.tags[m.index], "a dimension type from 0 to 6");
      return nullptr;
  }
  decodeEntityCommon(d, dim);
  Point p10, p11, p13, p14, p15, p16, normal;
  std::string_view style = "STANDARD";
  const Tag* block = nullptr;
  double rotation = 0, oblique = 0, leader = 0, v;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, p10) || d.pointPart(t, 11, p11) || d.pointPart(t, 13, p13) || d.pointPart(t, 14, p14) ||
        d.pointPart(t, 15, p15) || d.pointPart(t, 16, p16) || d.pointPart(t, 210, normal))
      continue;
    switch (t.code) {
      case 1: { const std::wstring s = d.c.text(t.value); dim->setDimensionText(s.c_str()); break; }
      case 2: block = &t; break;
      case 3: style = t.value; break;
      case 40: d.real(t, leader); break;
      case 50: if (d.real(t, v)) rotation = degreesToRadians(v); break;
      case 52: if (d.real(t, v)) oblique = degreesToRadians(v); break;
      case 51: if (d.real(t, v)) dim->setHorizontalRotation(degreesToRadians(v)); break;
      case 53: if (d.real(t, v)) dim->setTextRotation(degreesToRadians(v)); break;
      default: break;
    }
  }
  dim->setTextPosition(p11.p);
  if (normal.has) dim->setNormal(normalOf(normal));
  AcDbCore::setDimStyleRaw(dim, d.c.named(DecodeContext::Ref::DimStyle, style, dim));
  if (block != nullptr && !block->value.empty()) dim->setDimBlockId(d.c.named(DecodeContext::Ref::Block, block->value, dim));
  if (auto* rotated = AcDbRotatedDimension::cast(dim)) rotated->setRotation(rotation);
  if (auto* aligned = AcDbAlignedDimension::cast(dim)) {
    aligned->setXLine1Point(p13.p);
    aligned->setXLine2Point(p14.p);
    aligned->setDimLinePoint(p10.p);
    aligned->setOblique(oblique);
  } else if (auto* a2 = AcDb2LineAngularDimension::cast(dim)) {
    a2->setLines(p13.p, p14.p, p15.p, p10.p);
    a2->setArcPoint(p16.p);
  } else if (auto* a3 = AcDb3PointAngularDimension::cast(dim)) {
    a3->setPoints(p15.p, p13.p, p14.p, p10.p);
  } else if (auto* radial = AcDbRadialDimension::cast(dim)) {
    radial->setCenter(p10.p);
    radial->setChordPoint(p15.p);
    radial->setLeaderLength(leader);
  } else if (auto* diametric = AcDbDiametricDimension::cast(dim)) {
    diametric->setFarChordPoint(p10.p);
    diametric->setChordPoint(p15.p);
    diametric->setLeaderLength(leader);
  } else if (auto* ordinate = AcDbOrdinateDimension::cast(dim)) {
    ordinate->setOrigin(p10.p);
    ordinate->setDefiningPoint(p13.p);
    ordinate->setLeaderEndPoint(p14.p);
    if (flags & 64) ordinate->useXAxis();
    else ordinate->useYAxis();
  }
  decodeDimensionOverrides(d, dim);
  return dim;
}

AcDbObject* decodeLine(Decoder& d) {
  auto* line = new AcDbLine;
  decodeEntityCommon(d, line);
  Point start, end;
  for (const auto& m : d.r.main)
    if (m.first) d.pointPart(d.r.tags[m.index], 10, start) || d.pointPart(d.r.tags[m.index], 11, end);
  line->setStartPoint(start.p);
  line->setEndPoint(end.p);
  return line;
}

AcDbObject* decodeCircle(Decoder& d) {
  Point center, normal;
  double radius = 1;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, center) || d.pointPart(t, 210, normal)) continue;
    if (t.code == 40) d.real(t, radius);
  }
  AcGeVector3d n(0, 0, 1);
  if (normal.has && !normalOf(normal).isZeroLength()) n = normalOf(normal).normal();
  auto* circle = new AcDbCircle(center.p, n, 1);
  decodeEntityCommon(d, circle);
  circle->setRadius(radius);
  return circle;
}

AcDbObject* decodeArc(Decoder& d) {
  auto* arc = new AcDbArc;
  decodeEntityCommon(d, arc);
  Point center;
  double v;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, center)) continue;
    switch (t.code) {
      case 40: if (d.real(t, v)) arc->setRadius(v); break;
      case 50: if (d.real(t, v)) arc->setStartAngle(degreesToRadians(v)); break;
      case 51: if (d.real(t, v)) arc->setEndAngle(degreesToRadians(v)); break;
      default: break;
    }
  }
  arc->setCenter(center.p);
  return arc;
}

AcDbObject* decodePolyline(Decoder& d) {
  auto* pline = new AcDbPolyline;
  decodeEntityCommon(d, pline);
  struct Vertex { AcGePoint2d p; double bulge = 0, startWidth = 0, endWidth = 0; };
  std::vector<Vertex> vertices;
  double v;
  int64_t flags = 0;
  for (const auto& m : d.r.main) {
    const Tag& t = d.r.tags[m.index];
    switch (t.code) {
      case 10: vertices.emplace_back(); if (d.real(t, v)) vertices.back().p.x = v; break;
      case 20: if (!vertices.empty() && d.real(t, v)) vertices.back().p.y = v; break;
      case 42: if (!vertices.empty() && d.real(t, v)) vertices.back().bulge = v; break;
      case 40: if (!vertices.empty() && d.real(t, v) && v >= 0) vertices.back().startWidth = v; break;
      case 41: if (!vertices.empty() && d.real(t, v) && v >= 0) vertices.back().endWidth = v; break;
      case 70: if (m.first) d.integer(t, flags); break;
      case 43: if (m.first && d.real(t, v)) pline->setConstantWidth(v); break;
      case 38: if (m.first && d.real(t, v)) pline->setElevation(v); break;
      default: break;
    }
  }
  for (const auto& vertex : vertices)
    pline->addVertexAt(pline->numVerts(), vertex.p, vertex.bulge, vertex.startWidth, vertex.endWidth);
  pline->setClosed((flags & 1) != 0);
  return pline;
}

AcDbObject* decodeInsert(Decoder& d) {
  auto* insert = new AcDbBlockReference;
  decodeEntityCommon(d, insert);
  Point position;
  AcGeVector3d scale(1, 1, 1);
  const Tag* block = nullptr;
  double v;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, position)) continue;
    switch (t.code) {
      case 2: block = &t; break;
      case 41: if (d.real(t, v)) scale.x = v; break;
      case 42: if (d.real(t, v)) scale.y = v; break;
      case 43: if (d.real(t, v)) scale.z = v; break;
      case 50: if (d.real(t, v)) insert->setRotation(degreesToRadians(v)); break;
      default: break;
    }
  }
  insert->setPosition(position.p);
  insert->setScaleFactors(scale);
  if (block != nullptr) insert->setBlockTableRecord(d.c.named(DecodeContext::Ref::Block, block->value, insert));
  return insert;
}

void decodeName(Decoder& d, AcDbSymbolTableRecord* record, int code = 2) {
  for (const auto& m : d.r.main) {
    const Tag& t = d.r.tags[m.index];
    if (m.first && t.code == code) {
      const std::wstring name = hostName(d.c.text(t.value));
      if (!name.empty()) record->setName(name.c_str());
      return;
    }
  }
}

AcDbObject* decodeLayer(Decoder& d) {
  auto* layer = new AcDbLayerTableRecord;
  decodeName(d, layer);
  int64_t i;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (t.code == 70 && d.integer(t, i)) {
      layer->setIsFrozen((i & 1) != 0);
      layer->setIsLocked((i & 4) != 0);
    } else if (t.code == 62 && d.integer(t, i)) {
      layer->setIsOff(i < 0);
      const int64_t color = i < 0 ? -i : i;
      if (color <= 257) layer->setColorIndex(static_cast<Adesk::UInt16>(color));
      else d.c.badValue(t, "a colour number");
    }
  }
  return layer;
}

AcDbObject* decodeStyle(Decoder& d) {
  auto* style = new AcDbTextStyleTableRecord;
  decodeName(d, style);
  int64_t i;
  double v;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    switch (t.code) {
      case 70: if (d.integer(t, i)) { style->setIsShapeFile((i & 1) != 0); style->setIsVertical((i & 4) != 0); } break;
      case 40: if (d.real(t, v)) style->setTextSize(v); break;
      case 41: if (d.real(t, v)) style->setXScale(v); break;
      case 50: if (d.real(t, v)) style->setObliquingAngle(degreesToRadians(v)); break;
      case 42: if (d.real(t, v)) style->setPriorSize(v); break;
      case 3: style->setFileName(d.c.text(t.value).c_str()); break;
      case 4: style->setBigFontFileName(d.c.text(t.value).c_str()); break;
      default: break;
    }
  }
  return style;
}

AcDbObject* decodeDimStyle(Decoder& d) {
  auto* style = new AcDbDimStyleTableRecord;
  decodeName(d, style);
  int64_t i;
  double v;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    switch (t.code) {
      case 140: if (d.real(t, v)) style->setDimtxt(v); break;
      case 40: if (d.real(t, v)) style->setDimscale(v); break;
      case 271: if (d.integer(t, i) && i >= 0 && i <= 8) style->setDimdec(static_cast<int>(i)); break;
      case 340: {
        uint64_t h = 0;
        if (tagHandle(t, d.c.binary(), h)) {
          if (h != 0) style->setDimtxsty(d.c.object(h));
        } else if (!t.value.empty()) {
          // Some programs write the text style's name here instead of its handle.
          style->setDimtxsty(d.c.named(DecodeContext::Ref::TextStyle, t.value, style));
        }
        break;
      }
      default: break;
    }
  }
  return style;
}

AcDbObject* decodeBlockRecord(Decoder& d) {
  auto* block = new AcDbBlockTableRecord;
  decodeName(d, block);
  for (const auto& m : d.r.main) {
    const Tag& t = d.r.tags[m.index];
    if (m.first && t.code == 340) {
      const uint64_t h = d.handle(t);
      if (h != 0) block->setLayoutId(d.c.object(h));
    }
  }
  return block;
}

AcDbObject* decodeField(Decoder& d) {
  auto* field = new AcDbField;
  std::string code;
  for (size_t k = 0; k < d.r.main.size(); ++k) {
    const Tag& t = d.r.tags[d.r.main[k].index];
    if (t.code == 2 || t.code == 3) code.append(t.value);
    if (t.code == 90 || t.code == 97) break;  // the code comes before the children
  }
  AcDbCore::setFieldCodeRaw(field, d.c.text(code).c_str());
  return field;
}

}  // namespace

bool isModeledEntityType(std::string_view type) {
  return type == "TEXT" || type == "MTEXT" || type == "DIMENSION" || type == "LINE" || type == "CIRCLE" ||
         type == "ARC" || type == "LWPOLYLINE" || type == "INSERT";
}

AcDbExtents pointExtents(const RecordTags& r, bool binary) {
  AcDbExtents extents;
  AcGePoint3d p;
  bool open = false;
  auto flush = [&] {
    if (open && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) extents.addPoint(p);
    open = false;
  };
  for (const auto& m : r.main) {
    const Tag& t = r.tags[m.index];
    double v;
    if (t.code >= 10 && t.code <= 18) {
      flush();
      if (tagDouble(t, binary, v)) { p = AcGePoint3d(v, 0, 0); open = true; }
    } else if (t.code >= 20 && t.code <= 28 && open) {
      if (tagDouble(t, binary, v)) p.y = v;
    } else if (t.code >= 30 && t.code <= 38 && open) {
      if (tagDouble(t, binary, v)) p.z = v;
      flush();
    }
  }
  flush();
  return extents;
}

AcDbObject* decodeRecord(const RecordTags& record, DecodeContext& context, bool isEntity) {
  Decoder d(record, context);
  const std::string_view type = record.type;
  if (isEntity) {
    AcDbObject* obj = nullptr;
    if (type == "TEXT") obj = decodeText(d);
    else if (type == "MTEXT") obj = decodeMText(d);
    else if (type == "DIMENSION") obj = decodeDimension(d);
    else if (type == "LINE") obj = decodeLine(d);
    else if (type == "CIRCLE") obj = decodeCircle(d);
    else if (type == "ARC") obj = decodeArc(d);
    else if (type == "LWPOLYLINE") obj = decodePolyline(d);
    else if (type == "INSERT") obj = decodeInsert(d);
    if (obj != nullptr) return obj;
    auto* ent = new AcDbUnmodeledEntity(context.scratchText(type).c_str());
    decodeEntityCommon(d, ent);
    ent->setGeomExtents(pointExtents(record, context.binary()));
    return ent;
  }
  if (type == "LAYER") return decodeLayer(d);
  if (type == "STYLE") return decodeStyle(d);
  if (type == "DIMSTYLE") return decodeDimStyle(d);
  if (type == "BLOCK_RECORD") return decodeBlockRecord(d);
  if (type == "FIELD") return decodeField(d);
  return new AcDbUnmodeledObject(context.scratchText(type).c_str());
}

AcDbBlockTableRecord* decodeBlockEntity(const RecordTags& record, DecodeContext& context) {
  Decoder d(record, context);
  auto* block = new AcDbBlockTableRecord;
  bool named = false;
  Point origin;
  for (const auto& m : d.r.main) {
    if (!m.first) continue;
    const Tag& t = d.r.tags[m.index];
    if (d.pointPart(t, 10, origin)) continue;
    if ((t.code == 2 || (t.code == 3 && !named)) && !t.value.empty()) {
      const std::wstring name = hostName(context.text(t.value));
      if (!name.empty() && block->setName(name.c_str()) == Acad::eOk) named = t.code == 2;
    }
  }
  block->setOrigin(origin.p);
  return block;
}

AcDbBlockTableRecord* decodeLayoutName(const RecordTags& record, DecodeContext& context) {
  auto* block = new AcDbBlockTableRecord;
  const Tag* name = nullptr;
  for (const auto& m : record.main) {
    const Tag& t = record.tags[m.index];
    if (t.code != 1) continue;
    if (record.hasSubclasses) {
      if (m.marker >= 0 && record.tags[static_cast<size_t>(m.marker)].value == "AcDbLayout") { name = &t; break; }
    } else {
      name = &t;  // without markers the layout's name is the last 1 tag
    }
  }
  if (name != nullptr) block->setLayoutName(context.text(name->value).c_str());
  return block;
}

// ---- Schemas --------------------------------------------------------------------------------

namespace {

// The object as the class its schema is for: schemaFor gives a schema only to objects of its
// class, so the getters need not ask again.
template <class T>
const T* as(const AcDbObject* o) { return static_cast<const T*>(o); }

Value real(double v) { return Value::ofReal(v); }
Value integer(int64_t v) { return Value::ofInt(v); }

std::function<bool(const AcDbObject*)> always() { return [](const AcDbObject*) { return true; }; }
std::function<bool(const AcDbObject*)> never() { return [](const AcDbObject*) { return false; }; }

// Adds the three tags of a point (codes base, base+10, base+20); the z tag is needed only when z
// is not 0, the others when need says so.
void addPoint(std::vector<Property>& props, int base, int slot, std::function<AcGePoint3d(const AcDbObject*)> get,
              std::function<bool(const AcDbObject*)> need) {
  props.push_back({base, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).x); }, need});
  props.push_back({base + 10, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).y); }, need});
  props.push_back({base + 20, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).z); },
                   [get, need](const AcDbObject* o) { return need(o) && get(o).z != 0; }});
}

void addNormal(std::vector<Property>& props, int slot, std::function<AcGeVector3d(const AcDbObject*)> get) {
  auto need = [get](const AcDbObject* o) { return get(o) != AcGeVector3d(0, 0, 1); };
  props.push_back({210, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).x); }, need});
  props.push_back({220, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).y); }, need});
  props.push_back({230, slot, Span::One, 0, [get](const AcDbObject* o) { return real(get(o).z); }, need});
}

void addEntityCommon(std::vector<Property>& props) {
  props.push_back({8, 0, Span::One, 0, [](const AcDbObject* o) { return Value::ofRef(as<AcDbEntity>(o)->layerId()); }, always()});
  props.push_back({62, 0, Span::One, 0, [](const AcDbObject* o) { return integer(as<AcDbEntity>(o)->colorIndex()); },
                   [](const AcDbObject* o) { return as<AcDbEntity>(o)->colorIndex() != AcDb::kByLayer; }});
}

Schema makeTextSchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbText", "AcDbText"};
  auto& p = s.properties;
  addEntityCommon(p);
  auto t = [](const AcDbObject* o) { return as<AcDbText>(o); };
  p.push_back({39, 1, Span::One, 0, [t](const AcDbObject* o) { return real(t(o)->thickness()); }, [t](const AcDbObject* o) { return t(o)->thickness() != 0; }});
  addPoint(p, 10, 1, [t](const AcDbObject* o) { return t(o)->position(); }, always());
  p.push_back({40, 1, Span::One, 0, [t](const AcDbObject* o) { return real(t(o)->height()); }, always()});
  p.push_back({1, 1, Span::One, 0, [t](const AcDbObject* o) { return Value::ofText(t(o)->textStringConst()); }, always(),
               [](const AcDbObject* o) { return as<AcDbText>(o)->textStringConst(); }});
  p.push_back({50, 1, Span::One, 0, [t](const AcDbObject* o) { return real(radiansToDegrees(t(o)->rotation())); }, [t](const AcDbObject* o) { return t(o)->rotation() != 0; }});
  p.push_back({41, 1, Span::One, 0, [t](const AcDbObject* o) { return real(t(o)->widthFactor()); }, [t](const AcDbObject* o) { return t(o)->widthFactor() != 1; }});
  p.push_back({51, 1, Span::One, 0, [t](const AcDbObject* o) { return real(radiansToDegrees(t(o)->oblique())); }, [t](const AcDbObject* o) { return t(o)->oblique() != 0; }});
  p.push_back({7, 1, Span::One, 0, [t](const AcDbObject* o) { return Value::ofRef(t(o)->textStyle()); }, [t](const AcDbObject* o) { return !t(o)->textStyle().isNull(); }});
  p.push_back({71, 1, Span::One, 6, [t](const AcDbObject* o) { return integer((t(o)->isMirroredInX() ? 2 : 0) | (t(o)->isMirroredInY() ? 4 : 0)); },
               [t](const AcDbObject* o) { return t(o)->isMirroredInX() || t(o)->isMirroredInY(); }});
  p.push_back({72, 1, Span::One, 0, [t](const AcDbObject* o) { return integer(t(o)->horizontalMode()); }, [t](const AcDbObject* o) { return t(o)->horizontalMode() != AcDb::kTextLeft; }});
  addPoint(p, 11, 1, [t](const AcDbObject* o) { return t(o)->alignmentPoint(); }, [t](const AcDbObject* o) { return !t(o)->isDefaultAlignment(); });
  addNormal(p, 1, [t](const AcDbObject* o) { return t(o)->normal(); });
  p.push_back({73, 2, Span::One, 0, [t](const AcDbObject* o) { return integer(t(o)->verticalMode()); }, [t](const AcDbObject* o) { return t(o)->verticalMode() != AcDb::kTextBase; }});
  return s;
}

Schema makeMTextSchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbMText"};
  auto& p = s.properties;
  addEntityCommon(p);
  auto m = [](const AcDbObject* o) { return as<AcDbMText>(o); };
  addPoint(p, 10, 1, [m](const AcDbObject* o) { return m(o)->location(); }, always());
  p.push_back({40, 1, Span::One, 0, [m](const AcDbObject* o) { return real(m(o)->textHeight()); }, always()});
  p.push_back({41, 1, Span::One, 0, [m](const AcDbObject* o) { return real(m(o)->width()); }, always()});
  p.push_back({46, 1, Span::One, 0, [m](const AcDbObject* o) { return real(m(o)->height()); }, [m](const AcDbObject* o) { return m(o)->height() != 0; }});
  p.push_back({71, 1, Span::One, 0, [m](const AcDbObject* o) { return integer(m(o)->attachment()); }, always()});
  p.push_back({72, 1, Span::One, 0, [m](const AcDbObject* o) { return integer(m(o)->flowDirection()); }, always()});
  p.push_back({1, 1, Span::TextChunks, 0, [m](const AcDbObject* o) { return Value::ofText(m(o)->contentsConst()); }, always(),
               [](const AcDbObject* o) { return as<AcDbMText>(o)->contentsConst(); }});
  p.push_back({7, 1, Span::One, 0, [m](const AcDbObject* o) { return Value::ofRef(m(o)->textStyle()); }, [m](const AcDbObject* o) { return !m(o)->textStyle().isNull(); }});
  addNormal(p, 1, [m](const AcDbObject* o) { return m(o)->normal(); });
  p.push_back({11, 1, Span::One, 0, [m](const AcDbObject* o) { return real(std::cos(m(o)->rotation())); }, never()});
  p.push_back({21, 1, Span::One, 0, [m](const AcDbObject* o) { return real(std::sin(m(o)->rotation())); }, never()});
  p.push_back({31, 1, Span::One, 0, [](const AcDbObject*) { return real(0); }, never()});
  p.push_back({50, 1, Span::One, 0, [m](const AcDbObject* o) { return real(radiansToDegrees(m(o)->rotation())); }, [m](const AcDbObject* o) { return m(o)->rotation() != 0; }});
  p.push_back({73, 1, Span::One, 0, [m](const AcDbObject* o) { return integer(m(o)->lineSpacingStyle()); }, always()});
  p.push_back({44, 1, Span::One, 0, [m](const AcDbObject* o) { return real(m(o)->lineSpacingFactor()); }, always()});
  return s;
}

// The dimension's points by kind, in the codes of the file.
AcGePoint3d dimPoint(const AcDbObject* o, int code) {
  if (auto* a = AcDbAlignedDimension::cast(o)) {
    if (code == 10) return a->dimLinePoint();
    if (code == 13) return a->xLine1Point();
    if (code == 14) return a->xLine2Point();
  } else if (auto* a2 = AcDb2LineAngularDimension::cast(o)) {
    if (code == 10) return a2->xLine2End();
    if (code == 13) return a2->xLine1Start();
    if (code == 14) return a2->xLine1End();
    if (code == 15) return a2->xLine2Start();
    if (code == 16) return a2->arcPoint();
  } else if (auto* a3 = AcDb3PointAngularDimension::cast(o)) {
    if (code == 10) return a3->arcPoint();
    if (code == 13) return a3->xLine1Point();
    if (code == 14) return a3->xLine2Point();
    if (code == 15) return a3->centerPoint();
  } else if (auto* r = AcDbRadialDimension::cast(o)) {
    if (code == 10) return r->center();
    if (code == 15) return r->chordPoint();
  } else if (auto* dd = AcDbDiametricDimension::cast(o)) {
    if (code == 10) return dd->farChordPoint();
    if (code == 15) return dd->chordPoint();
  } else if (auto* od = AcDbOrdinateDimension::cast(o)) {
    if (code == 10) return od->origin();
    if (code == 13) return od->definingPoint();
    if (code == 14) return od->leaderEndPoint();
  }
  return AcGePoint3d();
}

int dimKind(const AcDbObject* o) {
  if (AcDbRotatedDimension::cast(o)) return 0;
  if (AcDbAlignedDimension::cast(o)) return 1;
  if (AcDb2LineAngularDimension::cast(o)) return 2;
  if (AcDbDiametricDimension::cast(o)) return 3;
  if (AcDbRadialDimension::cast(o)) return 4;
  if (AcDb3PointAngularDimension::cast(o)) return 5;
  return 6;
}

Schema makeDimensionSchema(int kind) {
  Schema s;
  auto& p = s.properties;
  switch (kind) {
    case 0: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDbAlignedDimension", "AcDbRotatedDimension"}; break;
    case 1: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDbAlignedDimension"}; break;
    case 2: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDb2LineAngularDimension"}; break;
    case 3: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDbDiametricDimension"}; break;
    case 4: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDbRadialDimension"}; break;
    case 5: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDb3PointAngularDimension"}; break;
    default: s.subclasses = {"AcDbEntity", "AcDbDimension", "AcDbOrdinateDimension"}; break;
  }
  addEntityCommon(p);
  auto d = [](const AcDbObject* o) { return as<AcDbDimension>(o); };
  p.push_back({2, 1, Span::One, 0, [d](const AcDbObject* o) { return Value::ofRef(d(o)->dimBlockId()); }, [d](const AcDbObject* o) { return !d(o)->dimBlockId().isNull(); }});
  addPoint(p, 10, 1, [](const AcDbObject* o) { return dimPoint(o, 10); }, always());
  addPoint(p, 11, 1, [d](const AcDbObject* o) { return d(o)->textPosition(); }, always());
  p.push_back({70, 1, Span::One, 0x0F | 64, [](const AcDbObject* o) {
                 const auto* od = AcDbOrdinateDimension::cast(o);
                 return integer(dimKind(o) | (od && od->isUsingXAxis() ? 64 : 0));
               }, always()});
  p.push_back({1, 1, Span::One, 0, [d](const AcDbObject* o) { return Value::ofText(d(o)->dimensionTextConst()); }, [d](const AcDbObject* o) { return *d(o)->dimensionTextConst() != 0; },
               [](const AcDbObject* o) { return as<AcDbDimension>(o)->dimensionTextConst(); }});
  p.push_back({3, 1, Span::One, 0, [d](const AcDbObject* o) { return Value::ofRef(d(o)->dimensionStyle()); }, [d](const AcDbObject* o) { return !d(o)->dimensionStyle().isNull(); }});
  p.push_back({53, 1, Span::One, 0, [d](const AcDbObject* o) { return real(radiansToDegrees(d(o)->textRotation())); }, [d](const AcDbObject* o) { return d(o)->textRotation() != 0; }});
  p.push_back({51, 1, Span::One, 0, [d](const AcDbObject* o) { return real(radiansToDegrees(d(o)->horizontalRotation())); }, [d](const AcDbObject* o) { return d(o)->horizontalRotation() != 0; }});
  addNormal(p, 1, [d](const AcDbObject* o) { return d(o)->normal(); });
  auto needPoint = always();
  switch (kind) {
    case 0:
    case 1:
      addPoint(p, 13, 2, [](const AcDbObject* o) { return dimPoint(o, 13); }, needPoint);
      addPoint(p, 14, 2, [](const AcDbObject* o) { return dimPoint(o, 14); }, needPoint);
      if (kind == 0)
        p.push_back({50, 2, Span::One, 0, [](const AcDbObject* o) { return real(radiansToDegrees(as<AcDbRotatedDimension>(o)->rotation())); },
                     [](const AcDbObject* o) { return as<AcDbRotatedDimension>(o)->rotation() != 0; }});
      p.push_back({52, 2, Span::One, 0, [](const AcDbObject* o) { return real(radiansToDegrees(as<AcDbAlignedDimension>(o)->oblique())); },
                   [](const AcDbObject* o) { return as<AcDbAlignedDimension>(o)->oblique() != 0; }});
      break;
    case 2:
      for (int code : {13, 14, 15, 16}) addPoint(p, code, 2, [code](const AcDbObject* o) { return dimPoint(o, code); }, needPoint);
      break;
    case 5:
      for (int code : {13, 14, 15}) addPoint(p, code, 2, [code](const AcDbObject* o) { return dimPoint(o, code); }, needPoint);
      break;
    case 3:
    case 4:
      addPoint(p, 15, 2, [](const AcDbObject* o) { return dimPoint(o, 15); }, needPoint);
      p.push_back({40, 2, Span::One, 0, [](const AcDbObject* o) {
                     if (auto* r = AcDbRadialDimension::cast(o)) return real(r->leaderLength());
                     return real(as<AcDbDiametricDimension>(o)->leaderLength());
                   }, always()});
      break;
    default:
      addPoint(p, 13, 2, [](const AcDbObject* o) { return dimPoint(o, 13); }, needPoint);
      addPoint(p, 14, 2, [](const AcDbObject* o) { return dimPoint(o, 14); }, needPoint);
      break;
  }
  return s;
}

Schema makeLineSchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbLine"};
  addEntityCommon(s.properties);
  addPoint(s.properties, 10, 1, [](const AcDbObject* o) { return as<AcDbLine>(o)->startPoint(); }, always());
  addPoint(s.properties, 11, 1, [](const AcDbObject* o) { return as<AcDbLine>(o)->endPoint(); }, always());
  return s;
}

Schema makeCircleSchema(bool arc) {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbCircle"};
  if (arc) s.subclasses.push_back("AcDbArc");
  auto& p = s.properties;
  addEntityCommon(p);
  if (arc) {
    auto a = [](const AcDbObject* o) { return as<AcDbArc>(o); };
    addPoint(p, 10, 1, [a](const AcDbObject* o) { return a(o)->center(); }, always());
    p.push_back({40, 1, Span::One, 0, [a](const AcDbObject* o) { return real(a(o)->radius()); }, always()});
    p.push_back({50, 2, Span::One, 0, [a](const AcDbObject* o) { return real(radiansToDegrees(a(o)->startAngle())); }, always()});
    p.push_back({51, 2, Span::One, 0, [a](const AcDbObject* o) { return real(radiansToDegrees(a(o)->endAngle())); }, always()});
  } else {
    auto c = [](const AcDbObject* o) { return as<AcDbCircle>(o); };
    addPoint(p, 10, 1, [c](const AcDbObject* o) { return c(o)->center(); }, always());
    p.push_back({40, 1, Span::One, 0, [c](const AcDbObject* o) { return real(c(o)->radius()); }, always()});
    addNormal(p, 1, [c](const AcDbObject* o) { return c(o)->normal(); });
  }
  return s;
}

Schema makePolylineSchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbPolyline"};
  auto& p = s.properties;
  addEntityCommon(p);
  auto l = [](const AcDbObject* o) { return as<AcDbPolyline>(o); };
  p.push_back({90, 1, Span::One, 0, [l](const AcDbObject* o) { return integer(l(o)->numVerts()); }, always()});
  p.push_back({70, 1, Span::One, 1, [l](const AcDbObject* o) { return integer(l(o)->isClosed() ? 1 : 0); }, always()});
  p.push_back({43, 1, Span::One, 0, [l](const AcDbObject* o) { return real(l(o)->constantWidth()); }, [l](const AcDbObject* o) { return l(o)->constantWidth() != 0; }});
  p.push_back({38, 1, Span::One, 0, [l](const AcDbObject* o) { return real(l(o)->elevation()); }, [l](const AcDbObject* o) { return l(o)->elevation() != 0; }});
  // The vertices compare as one text: x, y, bulge and widths of each, exactly.
  p.push_back({10, 1, Span::Vertices, 0, [l](const AcDbObject* o) {
                 std::wstring key;
                 const AcDbPolyline* pl = l(o);
                 for (unsigned i = 0; i < pl->numVerts(); ++i) {
                   AcGePoint2d pt;
                   double bulge = 0, startWidth = 0, endWidth = 0;
                   pl->getPointAt(i, pt);
                   pl->getBulgeAt(i, bulge);
                   pl->getWidthsAt(i, startWidth, endWidth);
                   for (double v : {pt.x, pt.y, bulge, startWidth, endWidth}) {
                     wchar_t buffer[32];
                     std::swprintf(buffer, 32, L"%a;", v);
                     key += buffer;
                   }
                 }
                 return Value::ofText(key);
               }, always()});
  return s;
}

Schema makeInsertSchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbBlockReference"};
  auto& p = s.properties;
  addEntityCommon(p);
  auto b = [](const AcDbObject* o) { return as<AcDbBlockReference>(o); };
  p.push_back({2, 1, Span::One, 0, [b](const AcDbObject* o) { return Value::ofRef(b(o)->blockTableRecord()); }, always()});
  addPoint(p, 10, 1, [b](const AcDbObject* o) { return b(o)->position(); }, always());
  p.push_back({41, 1, Span::One, 0, [b](const AcDbObject* o) { return real(b(o)->scaleFactors().x); }, [b](const AcDbObject* o) { return b(o)->scaleFactors().x != 1; }});
  p.push_back({42, 1, Span::One, 0, [b](const AcDbObject* o) { return real(b(o)->scaleFactors().y); }, [b](const AcDbObject* o) { return b(o)->scaleFactors().y != 1; }});
  p.push_back({43, 1, Span::One, 0, [b](const AcDbObject* o) { return real(b(o)->scaleFactors().z); }, [b](const AcDbObject* o) { return b(o)->scaleFactors().z != 1; }});
  p.push_back({50, 1, Span::One, 0, [b](const AcDbObject* o) { return real(radiansToDegrees(b(o)->rotation())); }, [b](const AcDbObject* o) { return b(o)->rotation() != 0; }});
  return s;
}

Schema makeUnmodeledEntitySchema() {
  Schema s;
  s.subclasses = {"AcDbEntity"};
  addEntityCommon(s.properties);
  return s;
}

Value recordName(const AcDbObject* o) {
  const ACHAR* name = L"";
  as<AcDbSymbolTableRecord>(o)->getName(name);
  return Value::ofText(name);
}

Schema makeLayerSchema() {
  Schema s;
  s.subclasses = {"AcDbSymbolTableRecord", "AcDbLayerTableRecord"};
  auto& p = s.properties;
  auto l = [](const AcDbObject* o) { return as<AcDbLayerTableRecord>(o); };
  p.push_back({2, 1, Span::One, 0, recordName, always()});
  p.push_back({70, 1, Span::One, 5, [l](const AcDbObject* o) { return integer((l(o)->isFrozen() ? 1 : 0) | (l(o)->isLocked() ? 4 : 0)); }, always()});
  p.push_back({62, 1, Span::One, 0, [l](const AcDbObject* o) { const int c = l(o)->colorIndex(); return integer(l(o)->isOff() ? -c : c); }, always()});
  s.newRecordTags = {{6, "Continuous"}};
  return s;
}

Schema makeStyleSchema() {
  Schema s;
  s.subclasses = {"AcDbSymbolTableRecord", "AcDbTextStyleTableRecord"};
  auto& p = s.properties;
  auto st = [](const AcDbObject* o) { return as<AcDbTextStyleTableRecord>(o); };
  p.push_back({2, 1, Span::One, 0, recordName, always()});
  p.push_back({70, 1, Span::One, 5, [st](const AcDbObject* o) { return integer((st(o)->isShapeFile() ? 1 : 0) | (st(o)->isVertical() ? 4 : 0)); }, always()});
  p.push_back({40, 1, Span::One, 0, [st](const AcDbObject* o) { return real(st(o)->textSize()); }, always()});
  p.push_back({41, 1, Span::One, 0, [st](const AcDbObject* o) { return real(st(o)->xScale()); }, always()});
  p.push_back({50, 1, Span::One, 0, [st](const AcDbObject* o) { return real(radiansToDegrees(st(o)->obliquingAngle())); }, always()});
  p.push_back({42, 1, Span::One, 0, [st](const AcDbObject* o) { return real(st(o)->priorSize()); }, always()});
  p.push_back({3, 1, Span::One, 0, [st](const AcDbObject* o) { const ACHAR* f = L""; st(o)->fileName(f); return Value::ofText(f); }, always()});
  p.push_back({4, 1, Span::One, 0, [st](const AcDbObject* o) { const ACHAR* f = L""; st(o)->bigFontFileName(f); return Value::ofText(f); }, always()});
  s.newRecordTags = {{71, "0"}};
  return s;
}

Schema makeDimStyleSchema(bool r12) {
  Schema s;
  s.subclasses = {"AcDbSymbolTableRecord", "AcDbDimStyleTableRecord"};
  s.handleCode = 105;
  auto& p = s.properties;
  auto st = [](const AcDbObject* o) { return as<AcDbDimStyleTableRecord>(o); };
  p.push_back({2, 1, Span::One, 0, recordName, always()});
  p.push_back({40, 1, Span::One, 0, [st](const AcDbObject* o) { return real(st(o)->dimscale()); }, always()});
  p.push_back({140, 1, Span::One, 0, [st](const AcDbObject* o) { return real(st(o)->dimtxt()); }, always()});
  if (!r12) {
    p.push_back({271, 1, Span::One, 0, [st](const AcDbObject* o) { return integer(st(o)->dimdec()); }, always()});
    p.push_back({340, 1, Span::One, 0, [st](const AcDbObject* o) { return Value::ofRef(st(o)->dimtxsty()); }, [st](const AcDbObject* o) { return !st(o)->dimtxsty().isNull(); }});
  }
  return s;
}

Schema makeBlockRecordSchema() {
  Schema s;
  s.subclasses = {"AcDbSymbolTableRecord", "AcDbBlockTableRecord"};
  s.properties.push_back({2, 1, Span::One, 0, recordName, always()});
  s.properties.push_back({340, 1, Span::One, 0, [](const AcDbObject* o) { return Value::ofRef(as<AcDbBlockTableRecord>(o)->getLayoutId()); },
                          [](const AcDbObject* o) { return !as<AcDbBlockTableRecord>(o)->getLayoutId().isNull(); }});
  return s;
}

// A BLOCK entity written from its block record: name and origin.
Schema makeBlockEntitySchema() {
  Schema s;
  s.subclasses = {"AcDbEntity", "AcDbBlockBegin"};
  auto& p = s.properties;
  p.push_back({2, 1, Span::One, 0, recordName, always()});
  addPoint(p, 10, 1, [](const AcDbObject* o) { return as<AcDbBlockTableRecord>(o)->origin(); }, always());
  p.push_back({3, 1, Span::One, 0, recordName, always()});
  return s;
}

Schema makeLayoutSchema() {
  Schema s;
  s.subclasses = {"AcDbPlotSettings", "AcDbLayout"};
  s.properties.push_back({1, 1, Span::One, 0, [](const AcDbObject* o) { return Value::ofText(as<AcDbBlockTableRecord>(o)->layoutName()); }, always()});
  return s;
}

// Fills the schema's lookups (see Schema).
Schema indexed(Schema s) {
  for (size_t slot = 0; slot < s.subclasses.size(); ++slot) {
    size_t same = 0;
    while (std::string_view(s.subclasses[same]) != s.subclasses[slot]) ++same;
    s.sameSubclass.push_back(static_cast<int>(same));
  }
  for (size_t k = 0; k < s.properties.size(); ++k) {
    const Property& p = s.properties[k];
    const int key = static_cast<int>(k);
    s.byCode.emplace_back(p.code, key);
    if (p.span == Span::TextChunks) s.byCode.emplace_back(3, key);
    if (p.span == Span::Vertices)
      for (int code : {20, 40, 41, 42, 91}) s.byCode.emplace_back(code, key);
  }
  std::sort(s.byCode.begin(), s.byCode.end());
  s.byCode.erase(std::unique(s.byCode.begin(), s.byCode.end()), s.byCode.end());
  s.firstOfCode.assign(Schema::kIndexedCodes, -1);
  for (size_t i = s.byCode.size(); i-- > 0;)
    s.firstOfCode[static_cast<size_t>(s.byCode[i].first)] = static_cast<int16_t>(i);
  return s;
}

}  // namespace

int Schema::propertyOf(int code, bool first, int slot, bool flat) const {
  // (Group codes end at 1071: a code beyond is no property's.)
  if (code < 0 || code >= kIndexedCodes || firstOfCode[static_cast<size_t>(code)] < 0) return -1;
  for (auto it = byCode.begin() + firstOfCode[static_cast<size_t>(code)]; it != byCode.end() && it->first == code; ++it) {
    const Property& p = properties[static_cast<size_t>(it->second)];
    if (!(flat || p.slot == slot ||
          (slot >= 0 && sameSubclass[static_cast<size_t>(p.slot)] == sameSubclass[static_cast<size_t>(slot)])))
      continue;
    if (p.code == code && (first || p.span != Span::One)) return it->second;
    if (p.span == Span::TextChunks && code == 3) return it->second;
    if (p.span == Span::Vertices && (code == 20 || code == 40 || code == 41 || code == 42 || code == 91))
      return it->second;
  }
  return -1;
}

const Schema* schemaFor(std::string_view type, const AcDbObject* source, bool r12) {
  static const Schema text = indexed(makeTextSchema()), mtext = indexed(makeMTextSchema()), line = indexed(makeLineSchema()),
                      circle = indexed(makeCircleSchema(false)), arc = indexed(makeCircleSchema(true)), pline = indexed(makePolylineSchema()),
                      insert = indexed(makeInsertSchema()), unmodeled = indexed(makeUnmodeledEntitySchema()), layer = indexed(makeLayerSchema()),
                      style = indexed(makeStyleSchema()), dimStyle = indexed(makeDimStyleSchema(false)), dimStyle12 = indexed(makeDimStyleSchema(true)),
                      blockRecord = indexed(makeBlockRecordSchema()), blockEntity = indexed(makeBlockEntitySchema()), layout = indexed(makeLayoutSchema());
  static const Schema dims[7] = {indexed(makeDimensionSchema(0)), indexed(makeDimensionSchema(1)), indexed(makeDimensionSchema(2)), indexed(makeDimensionSchema(3)),
                                 indexed(makeDimensionSchema(4)), indexed(makeDimensionSchema(5)), indexed(makeDimensionSchema(6))};
  if (source == nullptr) return nullptr;
  // (A BLOCK or LAYOUT standing where entities stand is read as an entity, and written as one.)
  const bool isBlockRecord = AcDbBlockTableRecord::cast(source) != nullptr;
  if (type == "BLOCK" && isBlockRecord) return &blockEntity;
  if (type == "LAYOUT" && isBlockRecord) return &layout;
  if (AcDbText::cast(source)) return &text;
  if (AcDbMText::cast(source)) return &mtext;
  if (AcDbDimension::cast(source)) return &dims[dimKind(source)];
  if (AcDbLine::cast(source)) return &line;
  if (AcDbCircle::cast(source)) return &circle;
  if (AcDbArc::cast(source)) return &arc;
  if (AcDbPolyline::cast(source)) return &pline;
  if (AcDbBlockReference::cast(source)) return &insert;
  if (AcDbEntity::cast(source)) return &unmodeled;
  if (AcDbLayerTableRecord::cast(source)) return &layer;
  if (AcDbTextStyleTableRecord::cast(source)) return &style;
  if (AcDbDimStyleTableRecord::cast(source)) return r12 ? &dimStyle12 : &dimStyle;
  if (AcDbBlockTableRecord::cast(source)) return &blockRecord;
  return nullptr;
}

}  // namespace cadhost::dxf
