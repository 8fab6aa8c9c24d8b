// Dimensions: every kind has the type name DIMENSION. The dimension text is kept as stored:
// "" shows the measurement, "<>" stands for the measurement inside other text, anything else
// replaces it. Text style and text height are the dimension's own overrides when it has them,
// else its dimension style's.
#pragma once

#include <string>

#include "dbents.h"

class ACCORE_PORT AcDbDimension : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDimension);

  ACHAR* dimensionText() const;  // a new string the caller frees (acutDelString)
  const ACHAR* dimensionTextConst() const { return readProperty(mText, __func__).c_str(); }
  // Sets the text override. As with TEXT, a field expression gets, or updates, the field under
  // "TEXT", and a text without one removes it.
  Acad::ErrorStatus setDimensionText(const ACHAR* text);
  AcGePoint3d textPosition() const { return readProperty(mTextPosition, __func__); }
  Acad::ErrorStatus setTextPosition(const AcGePoint3d& p);
  double textRotation() const { return readProperty(mTextRotation, __func__); }
  Acad::ErrorStatus setTextRotation(double a);
  AcDbObjectId dimensionStyle() const { return readProperty(mDimStyle, __func__); }
  Acad::ErrorStatus setDimensionStyle(AcDbObjectId id);
  AcDbObjectId dimBlockId() const { return readProperty(mBlock, __func__); }
  Acad::ErrorStatus setDimBlockId(AcDbObjectId id);
  AcGeVector3d normal() const { return readProperty(mNormal, __func__); }
  Acad::ErrorStatus setNormal(const AcGeVector3d& v);
  double elevation() const { return readProperty(mElevation, __func__); }
  Acad::ErrorStatus setElevation(double z);
  double horizontalRotation() const { return readProperty(mHorizontalRotation, __func__); }
  Acad::ErrorStatus setHorizontalRotation(double a);

  // Text height (DIMTXT) and text style (DIMTXSTY): the override when set, else the style's.
  double dimtxt() const;
  Acad::ErrorStatus setDimtxt(double height);  // eInvalidInput unless positive and finite
  AcDbObjectId dimtxsty() const;
  Acad::ErrorStatus setDimtxsty(AcDbObjectId id);
  bool hasDimtxtOverride() const { return readProperty(mHasDimtxt, __func__); }
  bool hasDimtxstyOverride() const { return readProperty(mHasDimtxsty, __func__); }
  Acad::ErrorStatus removeDimtxtOverride();
  Acad::ErrorStatus removeDimtxstyOverride();

  // The measured value: a length in drawing units, or an angle in radians.
  virtual Acad::ErrorStatus measurement(double& value) const = 0;
  // The text as drawn: the override with "<>" replaced by the formatted measurement.
  AcString formattedText() const;
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 protected:
  AcDbDimension() = default;
  AcDbDimension(const AcDbDimension&) = default;
  virtual void addDefiningPoints(AcDbExtents& extents) const = 0;
  virtual bool isAngular() const { return false; }
  void subSetFieldValue(const ACHAR* propName, const ACHAR* value) override;
  const ACHAR* subFieldPropertyText(const ACHAR* propName) const override;

 private:
  friend struct AcDbCore;
  std::wstring mText;
  AcGePoint3d mTextPosition;
  double mTextRotation = 0, mElevation = 0, mHorizontalRotation = 0;
  AcGeVector3d mNormal{0, 0, 1};
  AcDbObjectId mDimStyle, mBlock;
  bool mHasDimtxt = false, mHasDimtxsty = false;
  double mDimtxt = 0;
  AcDbObjectId mDimtxsty;
};

class ACCORE_PORT AcDbAlignedDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDbAlignedDimension);
  AcDbAlignedDimension() = default;
  AcDbAlignedDimension(const AcGePoint3d& xLine1Point, const AcGePoint3d& xLine2Point,
                       const AcGePoint3d& dimLinePoint, const ACHAR* dimText = nullptr,
                       AcDbObjectId dimStyle = AcDbObjectId::kNull);
  AcGePoint3d xLine1Point() const { return readProperty(mXLine1, __func__); }
  Acad::ErrorStatus setXLine1Point(const AcGePoint3d& p);
  AcGePoint3d xLine2Point() const { return readProperty(mXLine2, __func__); }
  Acad::ErrorStatus setXLine2Point(const AcGePoint3d& p);
  AcGePoint3d dimLinePoint() const { return readProperty(mDimLine, __func__); }
  Acad::ErrorStatus setDimLinePoint(const AcGePoint3d& p);
  double oblique() const { return readProperty(mOblique, __func__); }
  Acad::ErrorStatus setOblique(double a);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;
  AcGePoint3d mXLine1, mXLine2, mDimLine;
  double mOblique = 0;

 private:
  friend struct AcDbCore;
};

class ACCORE_PORT AcDbRotatedDimension : public AcDbAlignedDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDbRotatedDimension);
  AcDbRotatedDimension() = default;
  AcDbRotatedDimension(double rotation, const AcGePoint3d& xLine1Point,
                       const AcGePoint3d& xLine2Point, const AcGePoint3d& dimLinePoint,
                       const ACHAR* dimText = nullptr, AcDbObjectId dimStyle = AcDbObjectId::kNull);
  double rotation() const { return readProperty(mRotation, __func__); }
  Acad::ErrorStatus setRotation(double a);
  Acad::ErrorStatus measurement(double& value) const override;

 private:
  friend struct AcDbCore;
  double mRotation = 0;
};

// An angle between two lines (or three points, when line 1 start and line 2 start coincide).
class ACCORE_PORT AcDb2LineAngularDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDb2LineAngularDimension);
  AcDb2LineAngularDimension() = default;
  AcGePoint3d xLine1Start() const { return readProperty(mL1Start, __func__); }
  AcGePoint3d xLine1End() const { return readProperty(mL1End, __func__); }
  AcGePoint3d xLine2Start() const { return readProperty(mL2Start, __func__); }
  AcGePoint3d xLine2End() const { return readProperty(mL2End, __func__); }
  AcGePoint3d arcPoint() const { return readProperty(mArcPoint, __func__); }
  Acad::ErrorStatus setLines(const AcGePoint3d& l1Start, const AcGePoint3d& l1End,
                             const AcGePoint3d& l2Start, const AcGePoint3d& l2End);
  Acad::ErrorStatus setArcPoint(const AcGePoint3d& p);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;
  bool isAngular() const override { return true; }

 private:
  friend struct AcDbCore;
  AcGePoint3d mL1Start, mL1End, mL2Start, mL2End, mArcPoint;
};

class ACCORE_PORT AcDb3PointAngularDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDb3PointAngularDimension);
  AcDb3PointAngularDimension() = default;
  AcGePoint3d centerPoint() const { return readProperty(mCenter, __func__); }
  AcGePoint3d xLine1Point() const { return readProperty(mXLine1, __func__); }
  AcGePoint3d xLine2Point() const { return readProperty(mXLine2, __func__); }
  AcGePoint3d arcPoint() const { return readProperty(mArcPoint, __func__); }
  Acad::ErrorStatus setPoints(const AcGePoint3d& center, const AcGePoint3d& xLine1,
                              const AcGePoint3d& xLine2, const AcGePoint3d& arcPoint);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;
  bool isAngular() const override { return true; }

 private:
  friend struct AcDbCore;
  AcGePoint3d mCenter, mXLine1, mXLine2, mArcPoint;
};

class ACCORE_PORT AcDbRadialDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDbRadialDimension);
  AcDbRadialDimension() = default;
  AcDbRadialDimension(const AcGePoint3d& center, const AcGePoint3d& chordPoint, double leaderLength,
                      const ACHAR* dimText = nullptr, AcDbObjectId dimStyle = AcDbObjectId::kNull);
  AcGePoint3d center() const { return readProperty(mCenter, __func__); }
  Acad::ErrorStatus setCenter(const AcGePoint3d& p);
  AcGePoint3d chordPoint() const { return readProperty(mChord, __func__); }
  Acad::ErrorStatus setChordPoint(const AcGePoint3d& p);
  double leaderLength() const { return readProperty(mLeaderLength, __func__); }
  Acad::ErrorStatus setLeaderLength(double l);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mCenter, mChord;
  double mLeaderLength = 0;
};

class ACCORE_PORT AcDbDiametricDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDiametricDimension);
  AcDbDiametricDimension() = default;
  AcDbDiametricDimension(const AcGePoint3d& chordPoint, const AcGePoint3d& farChordPoint,
                         double leaderLength, const ACHAR* dimText = nullptr,
                         AcDbObjectId dimStyle = AcDbObjectId::kNull);
  AcGePoint3d chordPoint() const { return readProperty(mChord, __func__); }
  Acad::ErrorStatus setChordPoint(const AcGePoint3d& p);
  AcGePoint3d farChordPoint() const { return readProperty(mFarChord, __func__); }
  Acad::ErrorStatus setFarChordPoint(const AcGePoint3d& p);
  double leaderLength() const { return readProperty(mLeaderLength, __func__); }
  Acad::ErrorStatus setLeaderLength(double l);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mChord, mFarChord;
  double mLeaderLength = 0;
};

class ACCORE_PORT AcDbOrdinateDimension : public AcDbDimension {
 public:
  ACRX_DECLARE_MEMBERS(AcDbOrdinateDimension);
  AcDbOrdinateDimension() = default;
  AcDbOrdinateDimension(bool useXAxis, const AcGePoint3d& definingPoint,
                        const AcGePoint3d& leaderEndPoint, const ACHAR* dimText = nullptr,
                        AcDbObjectId dimStyle = AcDbObjectId::kNull);
  bool isUsingXAxis() const { return readProperty(mUseXAxis, __func__); }
  Acad::ErrorStatus useXAxis();
  Acad::ErrorStatus useYAxis();
  AcGePoint3d origin() const { return readProperty(mOrigin, __func__); }
  Acad::ErrorStatus setOrigin(const AcGePoint3d& p);
  AcGePoint3d definingPoint() const { return readProperty(mDefining, __func__); }
  Acad::ErrorStatus setDefiningPoint(const AcGePoint3d& p);
  AcGePoint3d leaderEndPoint() const { return readProperty(mLeaderEnd, __func__); }
  Acad::ErrorStatus setLeaderEndPoint(const AcGePoint3d& p);
  Acad::ErrorStatus measurement(double& value) const override;

 protected:
  void addDefiningPoints(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  bool mUseXAxis = true;
  AcGePoint3d mOrigin, mDefining, mLeaderEnd;
};
