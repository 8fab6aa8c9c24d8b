// Entities in general (layer, colour, extents), and the simple curves and block references.
#include <algorithm>
#include <cmath>
#include <vector>

#include "../sdk/acutads.h"
#include "coreaccess.h"

ACRX_DEFINE_ABSTRACT(AcDbEntity, AcDbObject, L"")
ACRX_DEFINE_COPYABLE(AcDbLine, AcDbEntity, L"LINE")
ACRX_DEFINE_COPYABLE(AcDbCircle, AcDbEntity, L"CIRCLE")
ACRX_DEFINE_COPYABLE(AcDbArc, AcDbEntity, L"ARC")
ACRX_DEFINE_COPYABLE(AcDbPolyline, AcDbEntity, L"LWPOLYLINE")
ACRX_DEFINE_COPYABLE(AcDbBlockReference, AcDbEntity, L"INSERT")
ACRX_DEFINE_COPYABLE(AcDbUnmodeledEntity, AcDbEntity, L"")
ACRX_DEFINE_COPYABLE(AcDbUnmodeledObject, AcDbObject, L"")

void AcDbCore::markChanged(AcDbEntity* ent) {
  if (AcDbStub* stub = ent->mpStub; stub && stub->database) stub->database->changedSinceFlush.push_back(ent->objectId());
}

// ---- AcDbEntity -------------------------------------------------------------------------

ACHAR* AcDbEntity::layer() const {
  ACHAR* copy = nullptr;
  const auto* record = AcDbCore::objectAs<AcDbLayerTableRecord>(readProperty(mLayerId, __func__));
  acutNewString(record ? AcDbCore::name(record) : L"", copy);
  return copy;
}

Acad::ErrorStatus AcDbEntity::setLayer(const ACHAR* newVal, bool, bool) {
  AcDbDatabase* db = database() ? database() : acdbHostApplicationServices()->workingDatabase();
  if (db == nullptr) return Acad::eNoDatabase;
  const auto* table = AcDbCore::objectAs<AcDbLayerTable>(db->layerTableId());
  const AcDbObjectId id = table ? AcDbCore::findRecord(table, newVal) : AcDbObjectId();
  if (id.isNull()) return Acad::eKeyNotFound;
  return setLayer(id);
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId newVal, bool, bool) {
  if (AcDbLayerTableRecord::cast(AcDbCore::object(newVal)) == nullptr || newVal.isErased()) return Acad::eInvalidInput;
  if (database() != nullptr && newVal.database() != database()) return Acad::eWrongDatabase;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLayerId = newVal;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 color, bool) {
  if (color > 257) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mColorIndex = color;
  return Acad::eOk;
}

void AcDbEntity::setDatabaseDefaults() { setDatabaseDefaults(acdbHostApplicationServices()->workingDatabase()); }

void AcDbEntity::setDatabaseDefaults(AcDbDatabase* pDb) {
  if (pDb == nullptr || !assertWriteEnabled(__func__)) return;
  mLayerId = pDb->clayer();
  mColorIndex = AcDb::kByLayer;
}

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents();
  return Acad::eInvalidExtents;
}

const ACHAR* AcDbEntity::typeName() const { return isA()->dxfName(); }

// ---- Lines, circles, arcs ---------------------------------------------------------------

namespace {
bool isFinitePoint(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool isPositive(double v) { return v > 0 && std::isfinite(v); }
}  // namespace

#define ACDB_POINT_SETTER(CLASS, NAME, MEMBER)                  \
  Acad::ErrorStatus CLASS::NAME(const AcGePoint3d& p) {         \
    if (!isFinitePoint(p)) return Acad::eInvalidInput;          \
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;   \
    MEMBER = p;                                                 \
    return Acad::eOk;                                           \
  }
#define ACDB_VALUE_SETTER(CLASS, NAME, TYPE, MEMBER, VALID)     \
  Acad::ErrorStatus CLASS::NAME(TYPE value) {                   \
    if (!(VALID)) return Acad::eInvalidInput;                   \
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;   \
    MEMBER = value;                                             \
    return Acad::eOk;                                           \
  }

ACDB_POINT_SETTER(AcDbLine, setStartPoint, mStart)
ACDB_POINT_SETTER(AcDbLine, setEndPoint, mEnd)
ACDB_POINT_SETTER(AcDbCircle, setCenter, mCenter)
ACDB_VALUE_SETTER(AcDbCircle, setRadius, double, mRadius, isPositive(value))
ACDB_POINT_SETTER(AcDbArc, setCenter, mCenter)
ACDB_VALUE_SETTER(AcDbArc, setRadius, double, mRadius, isPositive(value))
ACDB_VALUE_SETTER(AcDbArc, setStartAngle, double, mStartAngle, std::isfinite(value))
ACDB_VALUE_SETTER(AcDbArc, setEndAngle, double, mEndAngle, std::isfinite(value))
ACDB_VALUE_SETTER(AcDbPolyline, setClosed, bool, mClosed, true)
ACDB_VALUE_SETTER(AcDbPolyline, setElevation, double, mElevation, std::isfinite(value))
ACDB_VALUE_SETTER(AcDbPolyline, setConstantWidth, double, mConstantWidth, value >= 0 && std::isfinite(value))
ACDB_VALUE_SETTER(AcDbBlockReference, setBlockTableRecord, AcDbObjectId, mBlock, true)
ACDB_POINT_SETTER(AcDbBlockReference, setPosition, mPosition)
ACDB_VALUE_SETTER(AcDbBlockReference, setRotation, double, mRotation, std::isfinite(value))
ACDB_VALUE_SETTER(AcDbBlockReference, setScaleFactors, const AcGeVector3d&, mScale,
                  std::isfinite(value.x) && std::isfinite(value.y) && std::isfinite(value.z) &&
                      value.x != 0 && value.y != 0 && value.z != 0)
ACDB_VALUE_SETTER(AcDbUnmodeledEntity, setGeomExtents, const AcDbExtents&, mExtents, true)

Acad::ErrorStatus AcDbLine::getGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents(mStart, mStart);
  extents.addPoint(mEnd);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getGeomExtents(AcDbExtents& extents) const {
  const AcGeVector3d r(mRadius, mRadius, 0);
  extents = AcDbExtents(mCenter - r, mCenter + r);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getGeomExtents(AcDbExtents& extents) const {
  // The two ends, and every quadrant point the arc passes through counter-clockwise.
  const double twoPi = 2 * M_PI;
  auto at = [&](double a) { return mCenter + AcGeVector3d(mRadius * std::cos(a), mRadius * std::sin(a), 0); };
  extents = AcDbExtents(at(mStartAngle), at(mStartAngle));
  extents.addPoint(at(mEndAngle));
  double sweep = std::fmod(mEndAngle - mStartAngle, twoPi);
  if (sweep <= 0) sweep += twoPi;
  for (int q = 0; q < 4; ++q) {
    const double a = q * M_PI / 2;
    double offset = std::fmod(a - mStartAngle, twoPi);
    if (offset < 0) offset += twoPi;
    if (offset <= sweep) extents.addPoint(at(a));
  }
  return Acad::eOk;
}

// ---- Polylines --------------------------------------------------------------------------

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge,
                                            double startWidth, double endWidth) {
  if (index > mVertices.size()) return Acad::eInvalidIndex;
  if (!std::isfinite(pt.x) || !std::isfinite(pt.y) || !std::isfinite(bulge) || !std::isfinite(startWidth) ||
      !std::isfinite(endWidth))
    return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mVertices.insert(mVertices.begin() + index, Vertex{pt, bulge, std::max(startWidth, 0.0), std::max(endWidth, 0.0)});
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const {
  if (index >= mVertices.size()) return Acad::eInvalidIndex;
  startWidth = mVertices[index].startWidth;
  endWidth = mVertices[index].endWidth;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double startWidth, double endWidth) {
  if (index >= mVertices.size()) return Acad::eInvalidIndex;
  if (!std::isfinite(startWidth) || !std::isfinite(endWidth) || startWidth < 0 || endWidth < 0) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mVertices[index].startWidth = startWidth;
  mVertices[index].endWidth = endWidth;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index) {
  if (index >= mVertices.size()) return Acad::eInvalidIndex;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mVertices.erase(mVertices.begin() + index);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& pt) const {
  if (index >= mVertices.size()) return Acad::eInvalidIndex;
  pt = mVertices[index].point;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const {
  if (index >= mVertices.size()) return Acad::eInvalidIndex;
  bulge = mVertices[index].bulge;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents();
  if (mVertices.empty()) return Acad::eInvalidExtents;
  // Arc segments may bulge beyond their ends; the box around the vertices grows by the largest
  // bulge height, which always holds the arcs.
  double grow = 0;
  for (size_t i = 0; i < mVertices.size(); ++i) {
    const Vertex& v = mVertices[i];
    extents.addPoint(AcGePoint3d(v.point.x, v.point.y, mElevation));
    if (v.bulge != 0 && (i + 1 < mVertices.size() || mClosed)) {
      const Vertex& next = mVertices[(i + 1) % mVertices.size()];
      const double chord = std::hypot(next.point.x - v.point.x, next.point.y - v.point.y);
      grow = std::max(grow, std::fabs(v.bulge) * chord / 2 + chord / 2);
    }
  }
  if (grow > 0) {
    extents = AcDbExtents(extents.minPoint() - AcGeVector3d(grow, grow, 0), extents.maxPoint() + AcGeVector3d(grow, grow, 0));
  }
  return Acad::eOk;
}

// ---- Block references -------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcDbExtents& extents) const {
  // The referenced block's entities, scaled, rotated and moved to the insertion point.
  extents = AcDbExtents();
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(mBlock);
  if (block == nullptr) return Acad::eInvalidExtents;
  // A damaged drawing may hold a block that references itself, directly or through other
  // blocks: a reference into a block that is being measured already adds nothing.
  thread_local std::vector<AcDbObjectId> measuring;
  if (std::find(measuring.begin(), measuring.end(), mBlock) != measuring.end()) return Acad::eInvalidExtents;
  measuring.push_back(mBlock);
  const double c = std::cos(mRotation), s = std::sin(mRotation);
  const AcGePoint3d base = AcDbCore::origin(block);
  for (AcDbObjectId id : AcDbCore::entities(block)) {
    const auto* ent = AcDbCore::objectAs<AcDbEntity>(id);
    AcDbExtents inner;
    if (ent == nullptr || id.isErased() || ent->getGeomExtents(inner) != Acad::eOk) continue;
    for (int corner = 0; corner < 4; ++corner) {
      const AcGePoint3d& a = (corner & 1) ? inner.maxPoint() : inner.minPoint();
      const AcGePoint3d& b = (corner & 2) ? inner.maxPoint() : inner.minPoint();
      const double x = (a.x - base.x) * mScale.x, y = (b.y - base.y) * mScale.y;
      extents.addPoint(AcGePoint3d(mPosition.x + x * c - y * s, mPosition.y + x * s + y * c, mPosition.z + a.z * mScale.z));
    }
  }
  measuring.pop_back();
  return extents.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}

Acad::ErrorStatus AcDbUnmodeledEntity::getGeomExtents(AcDbExtents& extents) const {
  extents = mExtents;
  return mExtents.isEmpty() ? Acad::eInvalidExtents : Acad::eOk;
}
