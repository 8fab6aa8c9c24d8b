// Single-line and multi-line text entities.
#include <cmath>
#include <utility>

#include "../sdk/acutads.h"
#include "coreaccess.h"
#include "textgeometry.h"

ACRX_DEFINE_COPYABLE(AcDbText, AcDbEntity, L"TEXT")
ACRX_DEFINE_COPYABLE(AcDbMText, AcDbEntity, L"MTEXT")

namespace {
bool isFinitePoint(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool isPositive(double v) { return v > 0 && std::isfinite(v); }

Acad::ErrorStatus copyOut(const std::wstring& s, AcString& out) {
  out = s;
  return Acad::eOk;
}
ACHAR* newCopy(const std::wstring& s) {
  ACHAR* copy = nullptr;
  acutNewString(s.c_str(), copy);
  return copy;
}
}  // namespace

// ---- AcDbText ---------------------------------------------------------------------------
//
// Which point places the text depends on its justification:
//   left-baseline            the insertion point; the alignment point means nothing
//   aligned, fit             both: they are the ends of the baseline, whose angle is the rotation
//   every other              the alignment point; the insertion point follows from it through the
//                            size estimate (textgeometry.h), recomputed after every change

AcDbText::AcDbText() = default;

AcDbText::AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style, double height, double rotation)
    : mPosition(position), mAlignment(position), mRotation(rotation), mHeight(height > 0 ? height : 1.0),
      mStyle(style), mText(text ? text : L"") {
  syncTextField(mText.c_str());
}

namespace {
enum class Placement { ByPosition, ByBaseline, ByAlignment };
Placement placementOf(AcDb::TextHorzMode h, AcDb::TextVertMode v) {
  if (h == AcDb::kTextAlign || h == AcDb::kTextFit) return Placement::ByBaseline;
  if (h == AcDb::kTextLeft && v == AcDb::kTextBase) return Placement::ByPosition;
  return Placement::ByAlignment;
}
}  // namespace

// The offset of the alignment point from the insertion point under the current justification.
static AcGeVector3d alignmentOffset(const AcDbText& t, const std::wstring& text) {
  const double width = textgeometry::estimatedWidth(text, t.height(), t.widthFactor());
  const auto off = textgeometry::justificationOffset(t.horizontalMode(), t.verticalMode(), width, t.height());
  const double c = std::cos(t.rotation()), s = std::sin(t.rotation());
  const double along = t.isMirroredInX() ? -off.along : off.along;
  return AcGeVector3d(along * c - off.across * s, along * s + off.across * c, 0);
}

void AcDbText::keepAlignment() {
  switch (placementOf(mHorz, mVert)) {
    case Placement::ByPosition: break;
    case Placement::ByAlignment: mPosition = mAlignment - alignmentOffset(*this, mText); break;
    case Placement::ByBaseline: {
      const double dx = mAlignment.x - mPosition.x, dy = mAlignment.y - mPosition.y;
      if (dx != 0 || dy != 0) mRotation = std::atan2(dy, dx);
      break;
    }
  }
}

Acad::ErrorStatus AcDbText::adjustAlignment(const AcDbDatabase*) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setPosition(const AcGePoint3d& p) {
  if (!isFinitePoint(p)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mPosition = p;
  keepAlignment();  // an alignment-placed text goes back where its alignment point says
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setAlignmentPoint(const AcGePoint3d& p) {
  if (!isFinitePoint(p)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mAlignment = p;
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d& v) {
  if (v.isZeroLength() || !std::isfinite(v.length())) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mNormal = v.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setThickness(double t) {
  if (!std::isfinite(t)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mThickness = t;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setOblique(double angle) {
  // The host accepts obliquing angles within 85 degrees either way.
  if (!std::isfinite(angle) || std::fabs(std::remainder(angle, 2 * M_PI)) > 85.0 * M_PI / 180.0)
    return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mOblique = angle;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setRotation(double angle) {
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mRotation = angle;
  if (placementOf(mHorz, mVert) == Placement::ByBaseline) {
    // The baseline turns about its start.
    const double len = std::hypot(mAlignment.x - mPosition.x, mAlignment.y - mPosition.y);
    mAlignment = AcGePoint3d(mPosition.x + len * std::cos(angle), mPosition.y + len * std::sin(angle), mAlignment.z);
  }
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setHeight(double h) {
  if (!isPositive(h)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mHeight = h;
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setWidthFactor(double f) {
  if (!isPositive(f)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mWidthFactor = f;
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::mirrorInX(bool mirror) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mMirrorX = mirror;
  keepAlignment();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::mirrorInY(bool mirror) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mMirrorY = mirror;
  return Acad::eOk;
}

ACHAR* AcDbText::textString() const { return newCopy(readProperty(mText, __func__)); }
Acad::ErrorStatus AcDbText::textString(AcString& text) const {
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  return copyOut(mText, text);
}

Acad::ErrorStatus AcDbText::setTextString(const ACHAR* text) {
  if (text == nullptr) return Acad::eNullObjectPointer;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  // A new string of the text's own length: assigning into the old one could double its
  // capacity, and a drawing whose every text was edited would hold twice the memory it needs.
  const std::wstring previous = std::exchange(mText, std::wstring(text));
  if (placementOf(mHorz, mVert) == Placement::ByBaseline) {
    const int before = mFillFrom >= 0 ? mFillFrom : textgeometry::drawnCharacterCount(previous);
    // A field expression is drawn as its value, which its evaluation writes: the baseline is
    // filled for that, not for the characters of the expression.
    if (acdbHasFieldExpression(text)) mFillFrom = before;
    else fillBaseline(before);
  }
  keepAlignment();
  syncTextField(text);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setTextStyle(AcDbObjectId id) {
  if (!id.isNull() && AcDbTextStyleTableRecord::cast(AcDbCore::object(id)) == nullptr) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mStyle = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setHorizontalMode(AcDb::TextHorzMode mode) {
  if (mode < AcDb::kTextLeft || mode > AcDb::kTextFit) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  AcDbCore::setTextJustificationInPlace(this, mode, mVert);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setVerticalMode(AcDb::TextVertMode mode) {
  if (mode < AcDb::kTextBase || mode > AcDb::kTextTop) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  AcDbCore::setTextJustificationInPlace(this, mHorz, mode);
  return Acad::eOk;
}

// A new justification keeps the text where it is: the insertion point stays and the new
// alignment point is put where the new justification needs it.
void AcDbCore::setTextJustificationInPlace(AcDbText* t, AcDb::TextHorzMode h, AcDb::TextVertMode v) {
  t->mHorz = h;
  t->mVert = v;
  switch (placementOf(h, v)) {
    case Placement::ByPosition: break;
    case Placement::ByAlignment: t->mAlignment = t->mPosition + alignmentOffset(*t, t->mText); break;
    case Placement::ByBaseline: {
      const double width = textgeometry::estimatedWidth(t->mText, t->mHeight, t->mWidthFactor);
      if (width > 0)
        t->mAlignment = t->mPosition + AcGeVector3d(width * std::cos(t->mRotation), width * std::sin(t->mRotation), 0);
      break;
    }
  }
}

void AcDbCore::setTextPoints(AcDbText* text, const AcGePoint3d& position, const AcGePoint3d& alignment) {
  text->mPosition = position;
  text->mAlignment = alignment;
}

void AcDbCore::setTextJustification(AcDbText* text, AcDb::TextHorzMode h, AcDb::TextVertMode v) {
  text->mHorz = h;
  text->mVert = v;
}

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents& extents) const {
  const double width = textgeometry::estimatedWidth(mText, mHeight, mWidthFactor);
  const double c = std::cos(mRotation), s = std::sin(mRotation);
  extents = AcDbExtents();
  for (double along : {0.0, width})
    for (double across : {-textgeometry::kDescent * mHeight, mHeight})
      extents.addPoint(AcGePoint3d(mPosition.x + along * c - across * s, mPosition.y + along * s + across * c, mPosition.z));
  return Acad::eOk;
}

void AcDbText::subSetFieldValue(const ACHAR* propName, const ACHAR* value) {
  if (acdbUpperName(propName) != L"TEXT") return;
  mText = value ? value : L"";
  if (mFillFrom >= 0 && placementOf(mHorz, mVert) == Placement::ByBaseline) fillBaseline(mFillFrom);
  keepAlignment();
}

// The text keeps filling its baseline: an aligned text changes its height, a fit text its width
// factor, in proportion to the change in the number of drawn characters. A text that was empty
// gives no proportion: its size then comes from the baseline's length and the size estimate.
// An empty text keeps the size it had.
void AcDbText::fillBaseline(int charactersBefore) {
  mFillFrom = -1;
  const int after = textgeometry::drawnCharacterCount(mText);
  if (after <= 0) return;
  double ratio = charactersBefore > 0 ? static_cast<double>(charactersBefore) / after : 0;
  if (charactersBefore <= 0) {
    const double baseline = std::hypot(mAlignment.x - mPosition.x, mAlignment.y - mPosition.y);
    const double drawn = textgeometry::estimatedWidth(mText, mHeight, mWidthFactor);
    if (baseline > 0 && drawn > 0) ratio = baseline / drawn;
  }
  if (!(ratio > 0) || !std::isfinite(ratio)) return;
  if (mHorz == AcDb::kTextAlign) mHeight *= ratio;
  else mWidthFactor *= ratio;
}

const ACHAR* AcDbText::subFieldPropertyText(const ACHAR* propName) const {
  return acdbUpperName(propName) == L"TEXT" ? mText.c_str() : nullptr;
}

// ---- AcDbMText --------------------------------------------------------------------------

AcDbMText::AcDbMText() = default;

Acad::ErrorStatus AcDbMText::setLocation(const AcGePoint3d& p) {
  if (!isFinitePoint(p)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLocation = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setNormal(const AcGeVector3d& v) {
  if (v.isZeroLength() || !std::isfinite(v.length())) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mNormal = v.normal();
  return Acad::eOk;
}

AcGeVector3d AcDbMText::direction() const { return AcGeVector3d(std::cos(mRotation), std::sin(mRotation), 0); }

Acad::ErrorStatus AcDbMText::setDirection(const AcGeVector3d& v) {
  if (v.isZeroLength() || !std::isfinite(v.length())) return Acad::eInvalidInput;
  return setRotation(std::atan2(v.y, v.x));
}

Acad::ErrorStatus AcDbMText::setRotation(double angle) {
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mRotation = angle;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setWidth(double w) {
  if (!(w >= 0) || !std::isfinite(w)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mWidth = w;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setHeight(double h) {
  if (!(h >= 0) || !std::isfinite(h)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDefinedHeight = h;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setTextHeight(double h) {
  if (!isPositive(h)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mTextHeight = h;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setAttachment(AttachmentPoint a) {
  if (a < kTopLeft || a > kBottomRight) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mAttachment = a;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setFlowDirection(FlowDirection d) {
  if (d < kLtoR || d > kByStyle) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mFlow = d;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setLineSpacingFactor(double factor) {
  if (!(factor >= kMinLineSpacingFactor && factor <= kMaxLineSpacingFactor)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLineSpacingFactor = factor;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setLineSpacingStyle(AcDb::LineSpacingStyle style) {
  if (style != AcDb::kAtLeast && style != AcDb::kExactly) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLineSpacingStyle = style;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMText::setTextStyle(AcDbObjectId id) {
  if (!id.isNull() && AcDbTextStyleTableRecord::cast(AcDbCore::object(id)) == nullptr) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mStyle = id;
  return Acad::eOk;
}

ACHAR* AcDbMText::contents() const { return newCopy(readProperty(mContents, __func__)); }
Acad::ErrorStatus AcDbMText::contents(AcString& text) const {
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  return copyOut(mContents, text);
}

Acad::ErrorStatus AcDbMText::setContents(const ACHAR* text) {
  if (text == nullptr) return Acad::eNullObjectPointer;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mContents = std::wstring(text);  // of its own length (see AcDbText::setTextString)
  syncTextField(text);
  return Acad::eOk;
}

AcString AcDbMText::text() const {
  return AcString(textgeometry::stripMTextFormatting(readProperty(mContents, __func__)));
}

namespace {
std::vector<std::wstring> plainLines(const std::wstring& contents) {
  std::vector<std::wstring> lines(1);
  for (wchar_t c : textgeometry::stripMTextFormatting(contents)) {
    if (c == L'\n') lines.emplace_back();
    else lines.back() += c;
  }
  return lines;
}
}  // namespace

double AcDbMText::actualWidth() const {
  double widest = 0;
  for (const auto& line : plainLines(mContents))
    widest = std::max(widest, textgeometry::estimatedWidth(line, mTextHeight, 1.0));
  return mWidth > 0 ? std::min(widest, mWidth) : widest;
}

double AcDbMText::actualHeight() const {
  const double lines = static_cast<double>(plainLines(mContents).size());
  return mTextHeight + (lines - 1) * textgeometry::kLineStep * mTextHeight * mLineSpacingFactor;
}

Acad::ErrorStatus AcDbMText::getGeomExtents(AcDbExtents& extents) const {
  // The attachment point is one of the nine points of the text's box.
  const double w = mWidth > 0 ? mWidth : actualWidth(), h = actualHeight();
  const int column = (mAttachment - 1) % 3, row = (mAttachment - 1) / 3;
  const double left = -w * column / 2.0, top = h * row / 2.0;
  const double c = std::cos(mRotation), s = std::sin(mRotation);
  extents = AcDbExtents();
  for (double along : {left, left + w})
    for (double across : {top, top - h})
      extents.addPoint(AcGePoint3d(mLocation.x + along * c - across * s, mLocation.y + along * s + across * c, mLocation.z));
  return Acad::eOk;
}

void AcDbMText::subSetFieldValue(const ACHAR* propName, const ACHAR* value) {
  if (acdbUpperName(propName) == L"TEXT") mContents = value ? value : L"";
}

const ACHAR* AcDbMText::subFieldPropertyText(const ACHAR* propName) const {
  return acdbUpperName(propName) == L"TEXT" ? mContents.c_str() : nullptr;
}
