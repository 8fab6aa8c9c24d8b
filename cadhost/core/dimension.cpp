// Dimensions of every kind: their text, text style and height, and their measurement.
#include <cmath>

#include "../sdk/acedads.h"
#include "../sdk/acutads.h"
#include "coreaccess.h"

ACRX_DEFINE_ABSTRACT(AcDbDimension, AcDbEntity, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDbAlignedDimension, AcDbDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDbRotatedDimension, AcDbAlignedDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDb2LineAngularDimension, AcDbDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDb3PointAngularDimension, AcDbDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDbRadialDimension, AcDbDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDbDiametricDimension, AcDbDimension, L"DIMENSION")
ACRX_DEFINE_COPYABLE(AcDbOrdinateDimension, AcDbDimension, L"DIMENSION")

namespace {
bool isFinitePoint(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool isPositive(double v) { return v > 0 && std::isfinite(v); }
}  // namespace

#define ACDB_DIM_POINT_SETTER(CLASS, NAME, MEMBER)             \
  Acad::ErrorStatus CLASS::NAME(const AcGePoint3d& p) {        \
    if (!isFinitePoint(p)) return Acad::eInvalidInput;         \
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;  \
    MEMBER = p;                                                \
    return Acad::eOk;                                          \
  }
#define ACDB_DIM_VALUE_SETTER(CLASS, NAME, MEMBER, VALID)      \
  Acad::ErrorStatus CLASS::NAME(double value) {                \
    if (!(VALID)) return Acad::eInvalidInput;                  \
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;  \
    MEMBER = value;                                            \
    return Acad::eOk;                                          \
  }

// ---- Common to all dimensions -----------------------------------------------------------

ACHAR* AcDbDimension::dimensionText() const {
  ACHAR* copy = nullptr;
  acutNewString(readProperty(mText, __func__).c_str(), copy);
  return copy;
}

Acad::ErrorStatus AcDbDimension::setDimensionText(const ACHAR* text) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mText = std::wstring(text ? text : L"");  // of its own length (see AcDbText::setTextString)
  syncTextField(mText.c_str());
  return Acad::eOk;
}

void AcDbDimension::subSetFieldValue(const ACHAR* propName, const ACHAR* value) {
  if (acdbUpperName(propName) == L"TEXT") mText = value ? value : L"";
}

const ACHAR* AcDbDimension::subFieldPropertyText(const ACHAR* propName) const {
  return acdbUpperName(propName) == L"TEXT" ? mText.c_str() : nullptr;
}

ACDB_DIM_POINT_SETTER(AcDbDimension, setTextPosition, mTextPosition)
ACDB_DIM_VALUE_SETTER(AcDbDimension, setTextRotation, mTextRotation, std::isfinite(value))
ACDB_DIM_VALUE_SETTER(AcDbDimension, setElevation, mElevation, std::isfinite(value))
ACDB_DIM_VALUE_SETTER(AcDbDimension, setHorizontalRotation, mHorizontalRotation, std::isfinite(value))

Acad::ErrorStatus AcDbDimension::setDimensionStyle(AcDbObjectId id) {
  if (!id.isNull() && AcDbDimStyleTableRecord::cast(AcDbCore::object(id)) == nullptr) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimStyle = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDimension::setDimBlockId(AcDbObjectId id) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mBlock = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDimension::setNormal(const AcGeVector3d& v) {
  if (v.isZeroLength() || !std::isfinite(v.length())) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mNormal = v.normal();
  return Acad::eOk;
}

double AcDbDimension::dimtxt() const {
  if (!assertReadEnabled(__func__)) return 0;
  if (mHasDimtxt) return mDimtxt;
  const auto* style = AcDbCore::objectAs<AcDbDimStyleTableRecord>(mDimStyle);
  return style ? AcDbCore::styleDimtxt(style) : 0.18;
}

Acad::ErrorStatus AcDbDimension::setDimtxt(double height) {
  if (!isPositive(height)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimtxt = height;
  mHasDimtxt = true;
  return Acad::eOk;
}

AcDbObjectId AcDbDimension::dimtxsty() const {
  if (!assertReadEnabled(__func__)) return AcDbObjectId();
  if (mHasDimtxsty) return mDimtxsty;
  const auto* style = AcDbCore::objectAs<AcDbDimStyleTableRecord>(mDimStyle);
  return style ? AcDbCore::styleDimtxsty(style) : AcDbObjectId();
}

Acad::ErrorStatus AcDbDimension::setDimtxsty(AcDbObjectId id) {
  if (AcDbTextStyleTableRecord::cast(AcDbCore::object(id)) == nullptr) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimtxsty = id;
  mHasDimtxsty = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDimension::removeDimtxtOverride() {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mHasDimtxt = false;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDimension::removeDimtxstyOverride() {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mHasDimtxsty = false;
  return Acad::eOk;
}

AcString AcDbDimension::formattedText() const {
  double value = 0;
  std::wstring measured;
  if (measurement(value) == Acad::eOk) {
    ACHAR buffer[64];
    if (isAngular()) {
      std::swprintf(buffer, 64, L"%.0f%%%%d", value * 180.0 / M_PI);
    } else {
      // In the units of the dimension's own drawing, which need not be the working one; a
      // dimension outside any drawing takes the working drawing's.
      const auto* style = AcDbCore::objectAs<AcDbDimStyleTableRecord>(mDimStyle);
      const AcDbDatabase* db = database();
      const int unit = db ? db->lunits() : -1;
      const int precision = style ? AcDbCore::styleDimdec(style) : db ? db->luprec() : -1;
      acdbRToS(value, unit, precision, buffer, 64);
    }
    measured = buffer;
  }
  if (mText.empty()) return AcString(measured);
  if (mText == L".") return AcString();  // a single period suppresses the text
  std::wstring text = mText;
  const size_t at = text.find(L"<>");
  if (at != std::wstring::npos) text.replace(at, 2, measured);
  return AcString(text);
}

Acad::ErrorStatus AcDbDimension::getGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents(mTextPosition, mTextPosition);
  addDefiningPoints(extents);
  return Acad::eOk;
}

// ---- Linear ------------------------------------------------------------------------------

AcDbAlignedDimension::AcDbAlignedDimension(const AcGePoint3d& xLine1Point, const AcGePoint3d& xLine2Point,
                                           const AcGePoint3d& dimLinePoint, const ACHAR* dimText,
                                           AcDbObjectId dimStyle)
    : mXLine1(xLine1Point), mXLine2(xLine2Point), mDimLine(dimLinePoint) {
  setDimensionText(dimText);
  setDimensionStyle(dimStyle);
}

ACDB_DIM_POINT_SETTER(AcDbAlignedDimension, setXLine1Point, mXLine1)
ACDB_DIM_POINT_SETTER(AcDbAlignedDimension, setXLine2Point, mXLine2)
ACDB_DIM_POINT_SETTER(AcDbAlignedDimension, setDimLinePoint, mDimLine)
ACDB_DIM_VALUE_SETTER(AcDbAlignedDimension, setOblique, mOblique, std::isfinite(value))

Acad::ErrorStatus AcDbAlignedDimension::measurement(double& value) const {
  value = std::hypot(mXLine2.x - mXLine1.x, mXLine2.y - mXLine1.y);
  return Acad::eOk;
}

void AcDbAlignedDimension::addDefiningPoints(AcDbExtents& extents) const {
  extents.addPoint(mXLine1);
  extents.addPoint(mXLine2);
  extents.addPoint(mDimLine);
}

AcDbRotatedDimension::AcDbRotatedDimension(double rotation, const AcGePoint3d& xLine1Point,
                                           const AcGePoint3d& xLine2Point, const AcGePoint3d& dimLinePoint,
                                           const ACHAR* dimText, AcDbObjectId dimStyle)
    : AcDbAlignedDimension(xLine1Point, xLine2Point, dimLinePoint, dimText, dimStyle), mRotation(rotation) {}

ACDB_DIM_VALUE_SETTER(AcDbRotatedDimension, setRotation, mRotation, std::isfinite(value))

Acad::ErrorStatus AcDbRotatedDimension::measurement(double& value) const {
  // The distance between the extension lines measured along the dimension line's direction.
  value = std::fabs((mXLine2.x - mXLine1.x) * std::cos(mRotation) + (mXLine2.y - mXLine1.y) * std::sin(mRotation));
  return Acad::eOk;
}

// ---- Angular -----------------------------------------------------------------------------

namespace {
double angleBetween(const AcGeVector3d& a, const AcGeVector3d& b) {
  const double la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
  if (la == 0 || lb == 0) return 0;
  const double cosine = std::clamp((a.x * b.x + a.y * b.y) / (la * lb), -1.0, 1.0);
  return std::acos(cosine);
}
}  // namespace

Acad::ErrorStatus AcDb2LineAngularDimension::setLines(const AcGePoint3d& l1Start, const AcGePoint3d& l1End,
                                                      const AcGePoint3d& l2Start, const AcGePoint3d& l2End) {
  if (!isFinitePoint(l1Start) || !isFinitePoint(l1End) || !isFinitePoint(l2Start) || !isFinitePoint(l2End))
    return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mL1Start = l1Start;
  mL1End = l1End;
  mL2Start = l2Start;
  mL2End = l2End;
  return Acad::eOk;
}

ACDB_DIM_POINT_SETTER(AcDb2LineAngularDimension, setArcPoint, mArcPoint)

Acad::ErrorStatus AcDb2LineAngularDimension::measurement(double& value) const {
  value = angleBetween(mL1End - mL1Start, mL2End - mL2Start);
  return Acad::eOk;
}

void AcDb2LineAngularDimension::addDefiningPoints(AcDbExtents& extents) const {
  for (const auto& p : {mL1Start, mL1End, mL2Start, mL2End, mArcPoint}) extents.addPoint(p);
}

Acad::ErrorStatus AcDb3PointAngularDimension::setPoints(const AcGePoint3d& center, const AcGePoint3d& xLine1,
                                                       const AcGePoint3d& xLine2, const AcGePoint3d& arcPoint) {
  if (!isFinitePoint(center) || !isFinitePoint(xLine1) || !isFinitePoint(xLine2) || !isFinitePoint(arcPoint))
    return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mCenter = center;
  mXLine1 = xLine1;
  mXLine2 = xLine2;
  mArcPoint = arcPoint;
  return Acad::eOk;
}

Acad::ErrorStatus AcDb3PointAngularDimension::measurement(double& value) const {
  value = angleBetween(mXLine1 - mCenter, mXLine2 - mCenter);
  return Acad::eOk;
}

void AcDb3PointAngularDimension::addDefiningPoints(AcDbExtents& extents) const {
  for (const auto& p : {mCenter, mXLine1, mXLine2, mArcPoint}) extents.addPoint(p);
}

// ---- Radial, diametric, ordinate ---------------------------------------------------------

AcDbRadialDimension::AcDbRadialDimension(const AcGePoint3d& center, const AcGePoint3d& chordPoint,
                                         double leaderLength, const ACHAR* dimText, AcDbObjectId dimStyle)
    : mCenter(center), mChord(chordPoint), mLeaderLength(leaderLength) {
  setDimensionText(dimText);
  setDimensionStyle(dimStyle);
}

ACDB_DIM_POINT_SETTER(AcDbRadialDimension, setCenter, mCenter)
ACDB_DIM_POINT_SETTER(AcDbRadialDimension, setChordPoint, mChord)
ACDB_DIM_VALUE_SETTER(AcDbRadialDimension, setLeaderLength, mLeaderLength, std::isfinite(value))

Acad::ErrorStatus AcDbRadialDimension::measurement(double& value) const {
  value = mCenter.distanceTo(mChord);
  return Acad::eOk;
}

void AcDbRadialDimension::addDefiningPoints(AcDbExtents& extents) const {
  extents.addPoint(mCenter);
  extents.addPoint(mChord);
}

AcDbDiametricDimension::AcDbDiametricDimension(const AcGePoint3d& chordPoint, const AcGePoint3d& farChordPoint,
                                               double leaderLength, const ACHAR* dimText, AcDbObjectId dimStyle)
    : mChord(chordPoint), mFarChord(farChordPoint), mLeaderLength(leaderLength) {
  setDimensionText(dimText);
  setDimensionStyle(dimStyle);
}

ACDB_DIM_POINT_SETTER(AcDbDiametricDimension, setChordPoint, mChord)
ACDB_DIM_POINT_SETTER(AcDbDiametricDimension, setFarChordPoint, mFarChord)
ACDB_DIM_VALUE_SETTER(AcDbDiametricDimension, setLeaderLength, mLeaderLength, std::isfinite(value))

Acad::ErrorStatus AcDbDiametricDimension::measurement(double& value) const {
  value = mChord.distanceTo(mFarChord);
  return Acad::eOk;
}

void AcDbDiametricDimension::addDefiningPoints(AcDbExtents& extents) const {
  extents.addPoint(mChord);
  extents.addPoint(mFarChord);
}

AcDbOrdinateDimension::AcDbOrdinateDimension(bool useXAxis, const AcGePoint3d& definingPoint,
                                             const AcGePoint3d& leaderEndPoint, const ACHAR* dimText,
                                             AcDbObjectId dimStyle)
    : mUseXAxis(useXAxis), mDefining(definingPoint), mLeaderEnd(leaderEndPoint) {
  setDimensionText(dimText);
  setDimensionStyle(dimStyle);
}

Acad::ErrorStatus AcDbOrdinateDimension::useXAxis() {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mUseXAxis = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbOrdinateDimension::useYAxis() {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mUseXAxis = false;
  return Acad::eOk;
}

ACDB_DIM_POINT_SETTER(AcDbOrdinateDimension, setOrigin, mOrigin)
ACDB_DIM_POINT_SETTER(AcDbOrdinateDimension, setDefiningPoint, mDefining)
ACDB_DIM_POINT_SETTER(AcDbOrdinateDimension, setLeaderEndPoint, mLeaderEnd)

Acad::ErrorStatus AcDbOrdinateDimension::measurement(double& value) const {
  value = std::fabs(mUseXAxis ? mDefining.x - mOrigin.x : mDefining.y - mOrigin.y);
  return Acad::eOk;
}

void AcDbOrdinateDimension::addDefiningPoints(AcDbExtents& extents) const {
  extents.addPoint(mDefining);
  extents.addPoint(mLeaderEnd);
}
