// The plane geometry of TEXT lines. Lines are placed by their anchor point (the insertion point
// of left baseline text and of aligned and fit text, the alignment point of every other
// justification) in the frame of the first line's direction (c, s): the along coordinate
// a(P) = P.x c + P.y s grows in reading direction, the across coordinate b(P) = P.y c - P.x s
// grows upwards. One line step lowers b by the line spacing and keeps a; z is never changed.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "../FailureReport.h"
#include "../TECommand.h"
#include "TEDialog.h"

namespace {

// A single TEXT gives no spacing to measure. A draughtsman spaces lines of text by two thirds of
// the text height apart, i.e. 5/3 of the height from baseline to baseline, the host's standard
// line spacing; that is where a first new line goes until the user types another spacing.
constexpr double kDefaultLineSpacingFactor = 5.0 / 3.0;

bool FillsItsBaseline(int horizontalMode) {
  return horizontalMode == AcDb::kTextAlign || horizontalMode == AcDb::kTextFit;
}

// Aligned and fit text is placed by its baseline whatever its vertical mode says (the host
// ignores the vertical mode for them), so its insertion point is its anchor: taking the alignment
// point instead, and then moving the baseline by the insertion point's displacement, would put a
// new line beside its template instead of one step below it.
bool IsPlacedByInsertionPoint(int horizontalMode, int verticalMode) {
  return FillsItsBaseline(horizontalMode) || (verticalMode == AcDb::kTextBase && horizontalMode == AcDb::kTextLeft);
}

bool IsFinite(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

const AcGePoint3d kNoPoint(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::quiet_NaN());

}  // namespace

AcGePoint3d CTEDialog::GetAnchorPoint(AcDbObjectId id) {
  AcDbText* pText = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pText, id, AcDb::kForRead))) return kNoPoint;  // moves nothing
  const AcGePoint3d anchor = IsPlacedByInsertionPoint(pText->horizontalMode(), pText->verticalMode())
                                 ? pText->position()
                                 : pText->alignmentPoint();
  pText->close();
  return anchor;
}

void CTEDialog::SetAnchorPoint(AcDbObjectId id, const AcGePoint3d& target) {
  // A target computed from a line that could not be read (already reported) moves nothing.
  if (!IsFinite(target)) return;
  AcDbText* pText = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pText, id, AcDb::kForRead))) return;
  const AcGePoint3d position = pText->position();
  const AcGePoint3d alignment = pText->alignmentPoint();
  const int horizontal = pText->horizontalMode();
  const int vertical = pText->verticalMode();
  pText->close();

  if (!TE_CHECKED(acdbOpenObject(pText, id, AcDb::kForWrite))) return;
  if (IsPlacedByInsertionPoint(horizontal, vertical)) pText->setPosition(target);
  else pText->setAlignmentPoint(target);
  if (FillsItsBaseline(horizontal)) {
    // Both ends of the baseline move alike: its length and angle stay.
    pText->setAlignmentPoint(AcGePoint3d(alignment.x + (target.x - position.x), alignment.y + (target.y - position.y),
                                         alignment.z + (target.z - position.z)));
  }
  pText->close();
}

void CTEDialog::SetUpTextGeometry() {
  AcGePoint3d first;
  if (m_textList.length() >= 1) {
    first = GetAnchorPoint(m_textList[0]);
    m_firstLineX = first.x;
    m_firstLineY = first.y;
    AcDbText* pText = nullptr;
    if (TE_CHECKED(acdbOpenObject(pText, m_textList[0], AcDb::kForRead))) {
      m_textHeight = pText->height();
      m_rotation = pText->rotation();
      m_directionSin = std::sin(m_rotation);
      m_directionCos = std::cos(m_rotation);
      pText->close();
    }
  }
  const double c = m_directionCos, s = m_directionSin;
  if (m_textList.length() >= 2) {
    const AcGePoint3d second = GetAnchorPoint(m_textList[1]);
    const double measured = first.y * c - first.x * s - second.y * c + second.x * s;  // b(first) - b(second)
    // A line that could not be read (already reported) measures nothing: the spacing in force
    // stays, or the single line's starting spacing is taken.
    if (std::isfinite(measured)) {
      m_lineSpacing = measured;
      m_lineSpacingKnown = true;
    } else if (!m_lineSpacingKnown && std::isfinite(m_textHeight)) {
      m_lineSpacing = kDefaultLineSpacingFactor * m_textHeight;
      m_lineSpacingKnown = true;
    }
  } else if (m_textList.length() == 1 && !m_lineSpacingKnown) {
    m_lineSpacing = kDefaultLineSpacingFactor * m_textHeight;
    m_lineSpacingKnown = true;
  }
  m_lineStepX = m_lineSpacing * s;
  m_lineStepY = m_lineSpacing * c;
}

void CTEDialog::OrderTextList() {
  // The top line first: descending across coordinate, lines of equal height in selection order.
  // A line whose position is not a number never moves and no line passes it, exactly as an
  // exchange of neighbours that only moves a strictly higher line up would leave them; each
  // stretch between such lines is sorted on its own. Every entity is read once.
  const double c = m_directionCos, s = m_directionSin;
  struct Line {
    double across;
    AcDbObjectId id;
  };
  std::vector<Line> lines;
  lines.reserve(static_cast<size_t>(m_textList.length()));
  for (const AcDbObjectId& id : m_textList) {
    const AcGePoint3d p = GetAnchorPoint(id);
    lines.push_back({p.y * c - p.x * s, id});
  }
  auto stretchBegin = lines.begin();
  while (stretchBegin != lines.end()) {
    const auto stretchEnd = std::find_if(stretchBegin, lines.end(), [](const Line& l) { return std::isnan(l.across); });
    std::stable_sort(stretchBegin, stretchEnd, [](const Line& a, const Line& b) { return a.across > b.across; });
    stretchBegin = stretchEnd == lines.end() ? stretchEnd : stretchEnd + 1;
  }
  for (size_t i = 0; i < lines.size(); ++i) m_textList[static_cast<int>(i)] = lines[i].id;
}

void CTEDialog::OnAlignX() {
  if (m_entityKind != kEntityText) return;
  const double c = m_directionCos, s = m_directionSin;
  const double a0 = m_firstLineX * c + m_firstLineY * s;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  for (int i = 1; i < m_textList.length(); ++i) {
    const AcGePoint3d p = GetAnchorPoint(m_textList[i]);
    const double w = p.x * s - p.y * c;
    SetAnchorPoint(m_textList[i], AcGePoint3d(a0 * c + w * s, a0 * s - w * c, p.z));
  }
  RefreshDisplay();
  ShowCaretPosition();
}

void CTEDialog::OnAlignY() {
  if (m_entityKind != kEntityText) return;
  const double c = m_directionCos, s = m_directionSin;
  const double w0 = m_firstLineX * s - m_firstLineY * c;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  for (int i = 1; i < m_textList.length(); ++i) {
    const AcGePoint3d p = GetAnchorPoint(m_textList[i]);
    const double a = p.x * c + p.y * s;
    const double t = w0 + m_lineSpacing * static_cast<double>(i);
    SetAnchorPoint(m_textList[i], AcGePoint3d(a * c + t * s, a * s - t * c, p.z));
  }
  RefreshDisplay();
  ShowCaretPosition();
}
