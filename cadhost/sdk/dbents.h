// Drawing entities: single-line text, multi-line text, lines, arcs, circles, polylines, block
// references, and entities of other kinds kept as read.
#pragma once

#include <string>
#include <vector>

#include "dbmain.h"

// Single-line text. Its insertion point (position) and alignment point agree with its
// justification the way the host keeps them: left-baseline text is placed by its insertion
// point; centred, right, middle and every non-baseline text by its alignment point, from which
// the insertion point is derived with the host's estimate of the text's size; aligned and fit
// text by both ends of its baseline. See textgeometry in the host's core for the estimate.
class ACCORE_PORT AcDbText : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbText);
  AcDbText();
  AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style = AcDbObjectId::kNull,
           double height = 0.0, double rotation = 0.0);

  AcGePoint3d position() const { return readProperty(mPosition, __func__); }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p);
  AcGePoint3d alignmentPoint() const { return readProperty(mAlignment, __func__); }
  Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d& p);
  bool isDefaultAlignment() const {
    return assertReadEnabled(__func__) && mHorz == AcDb::kTextLeft && mVert == AcDb::kTextBase;
  }
  AcGeVector3d normal() const { return readProperty(mNormal, __func__); }
  Acad::ErrorStatus setNormal(const AcGeVector3d& v);
  double thickness() const { return readProperty(mThickness, __func__); }
  Acad::ErrorStatus setThickness(double t);
  double oblique() const { return readProperty(mOblique, __func__); }
  Acad::ErrorStatus setOblique(double angle);
  double rotation() const { return readProperty(mRotation, __func__); }
  Acad::ErrorStatus setRotation(double angle);
  double height() const { return readProperty(mHeight, __func__); }
  Acad::ErrorStatus setHeight(double h);  // eInvalidInput unless positive and finite
  double widthFactor() const { return readProperty(mWidthFactor, __func__); }
  Acad::ErrorStatus setWidthFactor(double f);  // eInvalidInput unless positive and finite
  bool isMirroredInX() const { return readProperty(mMirrorX, __func__); }
  Acad::ErrorStatus mirrorInX(bool mirror);
  bool isMirroredInY() const { return readProperty(mMirrorY, __func__); }
  Acad::ErrorStatus mirrorInY(bool mirror);

  // The text: as a new string the caller frees (acutDelString), or into an AcString.
  ACHAR* textString() const;
  Acad::ErrorStatus textString(AcString& text) const;
  const ACHAR* textStringConst() const { return readProperty(mText, __func__).c_str(); }
  // Sets the text. A text holding a field expression ("%<\AcVar Date>%") gets, or updates, its
  // field under "TEXT" and shows the expression until the fields are evaluated; a text without
  // one removes such a field. Line breaks have no meaning in single-line text and are kept.
  Acad::ErrorStatus setTextString(const ACHAR* text);

  AcDbObjectId textStyle() const { return readProperty(mStyle, __func__); }
  Acad::ErrorStatus setTextStyle(AcDbObjectId id);
  AcDb::TextHorzMode horizontalMode() const { return readProperty(mHorz, __func__); }
  Acad::ErrorStatus setHorizontalMode(AcDb::TextHorzMode mode);
  AcDb::TextVertMode verticalMode() const { return readProperty(mVert, __func__); }
  Acad::ErrorStatus setVerticalMode(AcDb::TextVertMode mode);
  // Recomputes the derived point (and, for aligned and fit text, the height or width factor).
  Acad::ErrorStatus adjustAlignment(const AcDbDatabase* pDb = nullptr);

  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 protected:
  void subSetFieldValue(const ACHAR* propName, const ACHAR* value) override;
  const ACHAR* subFieldPropertyText(const ACHAR* propName) const override;

 private:
  friend struct AcDbCore;
  void keepAlignment();
  void fillBaseline(int charactersBefore);
  AcGePoint3d mPosition, mAlignment;
  AcGeVector3d mNormal{0, 0, 1};
  double mThickness = 0, mOblique = 0, mRotation = 0, mHeight = 1, mWidthFactor = 1;
  AcDbObjectId mStyle;
  std::wstring mText;
  AcDb::TextHorzMode mHorz = AcDb::kTextLeft;
  AcDb::TextVertMode mVert = AcDb::kTextBase;
  // While a field expression awaits its value: how many characters the baseline of an aligned
  // or fit text was last filled for (-1 otherwise).
  int mFillFrom = -1;
  bool mMirrorX = false, mMirrorY = false;
};

// Multi-line text. Its contents keep the host's formatting codes; "\P" ends a paragraph.
class ACCORE_PORT AcDbMText : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbMText);
  enum AttachmentPoint {
    kTopLeft = 1, kTopCenter = 2, kTopRight = 3, kMiddleLeft = 4, kMiddleCenter = 5,
    kMiddleRight = 6, kBottomLeft = 7, kBottomCenter = 8, kBottomRight = 9
  };
  enum FlowDirection { kLtoR = 1, kRtoL = 2, kTtoB = 3, kBtoT = 4, kByStyle = 5 };
  static constexpr double kMinLineSpacingFactor = 0.25;
  static constexpr double kMaxLineSpacingFactor = 4.0;

  AcDbMText();

  AcGePoint3d location() const { return readProperty(mLocation, __func__); }
  Acad::ErrorStatus setLocation(const AcGePoint3d& p);
  AcGeVector3d normal() const { return readProperty(mNormal, __func__); }
  Acad::ErrorStatus setNormal(const AcGeVector3d& v);
  AcGeVector3d direction() const;  // the x axis of the text, from the rotation
  Acad::ErrorStatus setDirection(const AcGeVector3d& v);
  double rotation() const { return readProperty(mRotation, __func__); }
  Acad::ErrorStatus setRotation(double angle);
  double width() const { return readProperty(mWidth, __func__); }  // the defined width; 0 means no wrapping
  Acad::ErrorStatus setWidth(double w);    // eInvalidInput when negative or not finite
  double height() const { return readProperty(mDefinedHeight, __func__); }
  Acad::ErrorStatus setHeight(double h);
  double textHeight() const { return readProperty(mTextHeight, __func__); }
  Acad::ErrorStatus setTextHeight(double h);  // eInvalidInput unless positive and finite
  AttachmentPoint attachment() const { return readProperty(mAttachment, __func__); }
  Acad::ErrorStatus setAttachment(AttachmentPoint a);  // eInvalidInput outside 1..9
  FlowDirection flowDirection() const { return readProperty(mFlow, __func__); }
  Acad::ErrorStatus setFlowDirection(FlowDirection d);
  double lineSpacingFactor() const { return readProperty(mLineSpacingFactor, __func__); }
  // eInvalidInput outside 0.25 to 4.0, as the host limits it; the factor is then unchanged.
  Acad::ErrorStatus setLineSpacingFactor(double factor);
  AcDb::LineSpacingStyle lineSpacingStyle() const { return readProperty(mLineSpacingStyle, __func__); }
  Acad::ErrorStatus setLineSpacingStyle(AcDb::LineSpacingStyle style);
  AcDbObjectId textStyle() const { return readProperty(mStyle, __func__); }
  Acad::ErrorStatus setTextStyle(AcDbObjectId id);

  ACHAR* contents() const;  // a new string the caller frees (acutDelString)
  Acad::ErrorStatus contents(AcString& text) const;
  const ACHAR* contentsConst() const { return readProperty(mContents, __func__).c_str(); }
  // Sets the contents; a field expression creates or updates the field under "TEXT" as for
  // single-line text.
  Acad::ErrorStatus setContents(const ACHAR* text);
  // The plain text: formatting codes removed, paragraphs joined by line feeds.
  AcString text() const;
  // The host's estimate of the size of the text as drawn.
  double actualHeight() const;
  double actualWidth() const;

  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 protected:
  void subSetFieldValue(const ACHAR* propName, const ACHAR* value) override;
  const ACHAR* subFieldPropertyText(const ACHAR* propName) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mLocation;
  AcGeVector3d mNormal{0, 0, 1};
  double mRotation = 0, mWidth = 0, mDefinedHeight = 0, mTextHeight = 1;
  double mLineSpacingFactor = 1.0;
  AcDb::LineSpacingStyle mLineSpacingStyle = AcDb::kAtLeast;
  AttachmentPoint mAttachment = kTopLeft;
  FlowDirection mFlow = kLtoR;
  AcDbObjectId mStyle;
  std::wstring mContents;
};

class ACCORE_PORT AcDbLine : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLine);
  AcDbLine() = default;
  AcDbLine(const AcGePoint3d& start, const AcGePoint3d& end) : mStart(start), mEnd(end) {}
  AcGePoint3d startPoint() const { return readProperty(mStart, __func__); }
  Acad::ErrorStatus setStartPoint(const AcGePoint3d& p);
  AcGePoint3d endPoint() const { return readProperty(mEnd, __func__); }
  Acad::ErrorStatus setEndPoint(const AcGePoint3d& p);
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mStart, mEnd;
};

class ACCORE_PORT AcDbCircle : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbCircle);
  AcDbCircle() = default;
  AcDbCircle(const AcGePoint3d& center, const AcGeVector3d& normal, double radius)
      : mCenter(center), mNormal(normal), mRadius(radius) {}
  AcGePoint3d center() const { return readProperty(mCenter, __func__); }
  Acad::ErrorStatus setCenter(const AcGePoint3d& p);
  double radius() const { return readProperty(mRadius, __func__); }
  Acad::ErrorStatus setRadius(double r);  // eInvalidInput unless positive and finite
  AcGeVector3d normal() const { return readProperty(mNormal, __func__); }
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mCenter;
  AcGeVector3d mNormal{0, 0, 1};
  double mRadius = 1;
};

class ACCORE_PORT AcDbArc : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbArc);
  AcDbArc() = default;
  AcDbArc(const AcGePoint3d& center, double radius, double startAngle, double endAngle)
      : mCenter(center), mRadius(radius), mStartAngle(startAngle), mEndAngle(endAngle) {}
  AcGePoint3d center() const { return readProperty(mCenter, __func__); }
  Acad::ErrorStatus setCenter(const AcGePoint3d& p);
  double radius() const { return readProperty(mRadius, __func__); }
  Acad::ErrorStatus setRadius(double r);
  double startAngle() const { return readProperty(mStartAngle, __func__); }
  Acad::ErrorStatus setStartAngle(double a);
  double endAngle() const { return readProperty(mEndAngle, __func__); }
  Acad::ErrorStatus setEndAngle(double a);
  AcGeVector3d normal() const { return readProperty(mNormal, __func__); }
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mCenter;
  AcGeVector3d mNormal{0, 0, 1};
  double mRadius = 1, mStartAngle = 0, mEndAngle = 0;
};

// A lightweight polyline: vertices in the plane with a bulge each.
class ACCORE_PORT AcDbPolyline : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbPolyline);
  AcDbPolyline() = default;
  unsigned int numVerts() const {
    return assertReadEnabled(__func__) ? static_cast<unsigned int>(mVertices.size()) : 0u;
  }
  // A width below zero is none of the vertex's own (the constant width applies).
  Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge = 0.0,
                                double startWidth = -1.0, double endWidth = -1.0);
  Acad::ErrorStatus removeVertexAt(unsigned int index);
  Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& pt) const;
  Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
  // The widths of the segment that starts at a vertex, at its start and at its end.
  Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
  Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);
  bool isClosed() const { return readProperty(mClosed, __func__); }
  Acad::ErrorStatus setClosed(bool closed);
  double elevation() const { return readProperty(mElevation, __func__); }
  Acad::ErrorStatus setElevation(double z);
  double constantWidth() const { return readProperty(mConstantWidth, __func__); }
  Acad::ErrorStatus setConstantWidth(double w);
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  struct Vertex { AcGePoint2d point; double bulge, startWidth, endWidth; };
  std::vector<Vertex> mVertices;
  bool mClosed = false;
  double mElevation = 0, mConstantWidth = 0;
};

// An insertion of a block definition.
class ACCORE_PORT AcDbBlockReference : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbBlockReference);
  AcDbBlockReference() = default;
  AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
      : mPosition(position), mBlock(blockTableRecord) {}
  AcDbObjectId blockTableRecord() const { return readProperty(mBlock, __func__); }
  Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id);
  AcGePoint3d position() const { return readProperty(mPosition, __func__); }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p);
  double rotation() const { return readProperty(mRotation, __func__); }
  Acad::ErrorStatus setRotation(double a);
  AcGeVector3d scaleFactors() const { return readProperty(mScale, __func__); }
  Acad::ErrorStatus setScaleFactors(const AcGeVector3d& s);
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  AcGePoint3d mPosition;
  AcDbObjectId mBlock;
  double mRotation = 0;
  AcGeVector3d mScale{1, 1, 1};
};

// An entity of a kind this host does not model (a hatch, a spline, a viewport, ...), read from
// a drawing file and kept as it was read. It is selected and filtered by its type name.
class ACCORE_PORT AcDbUnmodeledEntity : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbUnmodeledEntity);
  explicit AcDbUnmodeledEntity(const ACHAR* typeName = L"") : mTypeName(typeName ? typeName : L"") {}
  const ACHAR* typeName() const override { return mTypeName.c_str(); }
  // Extents as the file recorded them, if it did; empty otherwise.
  Acad::ErrorStatus setGeomExtents(const AcDbExtents& extents);
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const override;

 private:
  friend struct AcDbCore;
  std::wstring mTypeName;
  AcDbExtents mExtents;
};

// A non-entity object of a kind this host does not model, kept as read.
class ACCORE_PORT AcDbUnmodeledObject : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbUnmodeledObject);
  explicit AcDbUnmodeledObject(const ACHAR* typeName = L"") : mTypeName(typeName ? typeName : L"") {}
  const ACHAR* typeName() const { return mTypeName.c_str(); }

 private:
  std::wstring mTypeName;
};
