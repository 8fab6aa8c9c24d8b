// The row of property controls above the editor: the text style list (204) and the distance
// fields for the text height (206), the line spacing (205) and the width (216). They show the
// properties of the TEXT entities of the selected editor lines, or of the single MTEXT or
// dimension, and apply a new value the moment it is chosen or typed, under a document lock of
// their own. Distances are shown and read in the drawing's current linear units.
//
// While the dialog fills the controls itself the properties-live flag is off, so that the
// change notifications of its own writes are not taken for the user's.
//
// A change is applied whole or not at all: every entity it needs is opened for write once as a
// check before anything is changed, and a failure (a line on a locked layer, say) is reported and
// changes nothing. A value that converts but that the drawing refuses (a height of 0, a line
// spacing factor outside what an MTEXT takes) changes nothing either; the status bar says so,
// and the field shows the value in force again when the user leaves it with Enter.
#include <algorithm>
#include <cwchar>
#include <vector>

#include "../FailureReport.h"
#include "../LocalizedResources.h"
#include "../Settings.h"
#include "../TECommand.h"
#include "TEDialog.h"
#include "resource.h"

namespace {

// acdbRToS and acdbDisToF in the drawing's current linear unit mode and precision.
constexpr int kCurrentUnits = -1;

}  // namespace

// ---- Showing and reading distances -------------------------------------------------------

void FormatDistance(double value, wchar_t (&buffer)[30]) {
  buffer[0] = L'\0';
  if (acdbRToS(value, kCurrentUnits, kCurrentUnits, buffer) != RTNORM) buffer[0] = L'\0';
}

void DDX_Distance(CDataExchange* pDX, int nIDC, double& value) {
  const HWND control = pDX->PrepareCtrl(nIDC);
  if (!pDX->m_bSaveAndValidate) {
    wchar_t text[30];
    FormatDistance(value, text);
    ::SetWindowTextW(control, text);
    return;
  }
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(control, text.data(), length + 1);
  acdbDisToF(text.c_str(), kCurrentUnits, &value);  // no validation failure: the field keeps what was typed
}

int CTEDialog::ParseDistanceField(int controlId, double& value) {
  const HWND control = ::GetDlgItem(m_hWnd, controlId);
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(control, text.data(), length + 1);
  return acdbDisToF(text.c_str(), kCurrentUnits, &value);
}

void CTEDialog::SetFieldText(HWND field, const std::wstring& text) {
  // A field that already shows the text is left alone: the caret moving through lines of one
  // height would otherwise repaint the fields at every step.
  const int length = ::GetWindowTextLengthW(field);
  if (length == static_cast<int>(text.size())) {
    std::wstring shown(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(field, shown.data(), length + 1);
    shown.resize(static_cast<size_t>(length));
    if (shown == text) return;
  }
  const bool live = m_propertiesLive;
  m_propertiesLive = false;  // the dialog's own write is no change of the user's
  ::SetWindowTextW(field, text.c_str());
  m_propertiesLive = live;
}

void CTEDialog::ShowDistance(HWND field, double value) {
  wchar_t text[30];
  FormatDistance(value, text);
  SetFieldText(field, text);
}

// ---- Text styles --------------------------------------------------------------------------

void CTEDialog::FillTextStyleList() {
  AcDbTextStyleTable* pTable = nullptr;
  if (!TE_CHECKED(acdbHostApplicationServices()->workingDatabase()->getTextStyleTable(pTable, AcDb::kForRead))) return;
  AcDbTextStyleTableIterator* pIterator = nullptr;
  pTable->newIterator(pIterator, true, true);
  m_styleList.ResetContent();
  for (; pIterator != nullptr && !pIterator->done(); pIterator->step(true, true)) {
    AcDbTextStyleTableRecord* pRecord = nullptr;
    // A record that cannot be opened is left out of the list; nothing is reported for it.
    if (pIterator->getRecord(pRecord, AcDb::kForRead) != Acad::eOk) continue;
    const ACHAR* name = nullptr;
    pRecord->getName(name);
    if (name != nullptr && *name != L'\0') m_styleList.AddString(name);
    pRecord->close();
  }
  delete pIterator;
  pTable->close();
}

AcDbObjectId CTEDialog::FindTextStyleId(const std::wstring& name) {
  AcDbObjectId found;
  AcDbTextStyleTable* pTable = nullptr;
  if (!TE_CHECKED(acdbHostApplicationServices()->workingDatabase()->getTextStyleTable(pTable, AcDb::kForRead)))
    return found;
  AcDbTextStyleTableIterator* pIterator = nullptr;
  pTable->newIterator(pIterator, true, true);
  for (; pIterator != nullptr && !pIterator->done(); pIterator->step(true, true)) {
    AcDbTextStyleTableRecord* pRecord = nullptr;
    if (!TE_CHECKED(pIterator->getRecord(pRecord, AcDb::kForRead))) continue;
    const ACHAR* recordName = nullptr;
    pRecord->getName(recordName);
    if (recordName != nullptr && name == recordName) found = pRecord->objectId();  // a later match wins
    pRecord->close();
  }
  delete pIterator;
  pTable->close();
  return found;
}

std::wstring CTEDialog::GetEntityTextStyleName(int index) {
  const AcDbObjectId target = m_entityKind == kEntityText ? m_textList[index] : m_currentObjectId;
  AcDbEntity* pEntity = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pEntity, target, AcDb::kForRead))) return std::wstring();
  AcDbObjectId styleId;
  if (const AcDbText* pText = AcDbText::cast(pEntity)) styleId = pText->textStyle();
  else if (const AcDbMText* pMText = AcDbMText::cast(pEntity)) styleId = pMText->textStyle();
  else if (const AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) styleId = pDimension->dimtxsty();
  pEntity->close();

  AcDbTextStyleTableRecord* pStyle = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pStyle, styleId, AcDb::kForRead))) return std::wstring();
  AcString name;
  pStyle->getName(name);
  pStyle->close();
  return name.kwszPtr();
}

Acad::ErrorStatus CTEDialog::ApplyTextStyle(int index, AcDbObjectId styleId) {
  const AcDbObjectId target = m_entityKind == kEntityText ? m_textList[index] : m_currentObjectId;
  AcDbEntity* pEntity = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pEntity, target, AcDb::kForWrite))) return Acad::eNotOpenForWrite;
  Acad::ErrorStatus es = Acad::eNotApplicable;
  if (AcDbText* pText = AcDbText::cast(pEntity)) es = pText->setTextStyle(styleId);
  else if (AcDbMText* pMText = AcDbMText::cast(pEntity)) es = pMText->setTextStyle(styleId);
  else if (AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) es = pDimension->setDimtxsty(styleId);
  pEntity->close();
  return es;
}

void CTEDialog::SelectTextStyle(const std::wstring& name) {
  // The first item that begins with the name, letter case ignored; none when it is not listed.
  const int current = m_styleList.GetCurSel();
  if (!name.empty() && current != CB_ERR && m_styleList.GetLBText(current) == name) return;  // (no repaint at every caret step)
  if (name.empty() || m_styleList.SelectString(-1, name.c_str()) == CB_ERR) m_styleList.SetCurSel(-1);
}

// ---- What the selected lines hold ----------------------------------------------------------

void CTEDialog::ShowSelectionProperties(int first, int last) {
  if (m_entityKind != kEntityText) return;
  first = std::max(first, 0);
  last = std::min(last, m_textList.length() - 1);
  if (first > last) return;
  m_propertiesLive = false;
  double height = 0, widthFactor = 0;
  AcDbObjectId style;
  bool mixedHeight = false, mixedWidth = false, mixedStyle = false, any = false;
  for (int i = first; i <= last; ++i) {
    AcDbText* pText = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pText, m_textList[i], AcDb::kForRead))) continue;
    const double h = pText->height(), w = pText->widthFactor();
    const AcDbObjectId s = pText->textStyle();
    pText->close();
    if (!any) {
      height = h;
      widthFactor = w;
      style = s;
      any = true;
      continue;
    }
    mixedHeight = mixedHeight || !(h == height);  // a NaN is never equal
    mixedWidth = mixedWidth || !(w == widthFactor);
    mixedStyle = mixedStyle || s != style;
  }
  if (any) {
    if (mixedHeight) SetFieldText(m_textHeightWindow, L"");
    else ShowDistance(m_textHeightWindow, height);
    if (mixedWidth) SetFieldText(m_widthWindow, L"");
    else ShowDistance(m_widthWindow, widthFactor);
    if (mixedStyle) m_styleList.SetCurSel(-1);
    else SelectTextStyle(GetEntityTextStyleName(last));
  }
  m_propertiesLive = true;
}

void CTEDialog::ShowPropertiesInForce() {
  if (m_entityKind == kEntityText) {
    UpdateSelectionInfo();
    ShowSelectionProperties(m_firstSelectedLine, m_lastSelectedLine);
    ShowDistance(m_lineSpaceWindow, m_lineSpacing);
    return;
  }
  AcDbEntity* pEntity = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForRead))) return;
  if (const AcDbMText* pMText = AcDbMText::cast(pEntity)) {
    ShowDistance(m_textHeightWindow, pMText->textHeight());
    ShowDistance(m_lineSpaceWindow, pMText->lineSpacingFactor());
    ShowDistance(m_widthWindow, pMText->width());
  } else if (const AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) {
    ShowDistance(m_textHeightWindow, pDimension->dimtxt());
  }
  pEntity->close();
}

// ---- Applying a change --------------------------------------------------------------------

std::vector<AcDbObjectId> CTEDialog::PropertyTargets() {
  std::vector<AcDbObjectId> targets;
  if (m_entityKind != kEntityText) {
    targets.push_back(m_currentObjectId);
    return targets;
  }
  UpdateSelectionInfo();
  const int first = std::max(m_firstSelectedLine, 0), last = std::min(m_lastSelectedLine, m_textList.length() - 1);
  for (int i = first; i <= last; ++i) targets.push_back(m_textList[i]);
  return targets;
}

bool CTEDialog::CheckPropertyTargets(const std::vector<AcDbObjectId>& targets) {
  for (AcDbObjectId id : targets)
    if (!TE_CHECKED(CheckWritable(id))) return false;
  return true;
}

void CTEDialog::ShowValueRefused(bool refused) {
  m_statusBar.SetText(refused ? LoadLocalizedString(IDS_VALUEREFUSED).c_str() : L"", kHintPane, 0);
}

void CTEDialog::OnTextStyleChange() {
  if (!m_propertiesLive) return;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  const int selected = m_styleList.GetCurSel();
  if (selected == CB_ERR) return;
  const AcDbObjectId styleId = FindTextStyleId(m_styleList.GetLBText(selected));
  if (styleId.isNull()) return;  // (reported)
  const std::vector<AcDbObjectId> targets = PropertyTargets();
  if (!CheckPropertyTargets(targets)) {
    ShowPropertiesInForce();
    return;
  }
  const int first = m_entityKind == kEntityText ? std::max(m_firstSelectedLine, 0) : 0;
  for (size_t i = 0; i < targets.size(); ++i) ApplyTextStyle(first + static_cast<int>(i), styleId);
  RefreshDisplay();
  ShowCaretPosition();
}

void CTEDialog::OnTextHeightChange() {
  if (!m_propertiesLive) return;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  double height = 0;
  if (ParseDistanceField(IDC_TEXTHEIGHT, height) != RTNORM) return;
  ApplyToTargets([height](AcDbEntity* pEntity) {
    if (AcDbText* pText = AcDbText::cast(pEntity)) return pText->setHeight(height);
    if (AcDbMText* pMText = AcDbMText::cast(pEntity)) return pMText->setTextHeight(height);
    if (AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) return pDimension->setDimtxt(height);
    return Acad::eNotApplicable;
  });
}

void CTEDialog::OnWidthChange() {
  if (!m_propertiesLive || m_entityKind == kEntityDimension) return;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  double width = 0;
  if (ParseDistanceField(IDC_WIDTH, width) != RTNORM) return;
  ApplyToTargets([width](AcDbEntity* pEntity) {
    if (AcDbText* pText = AcDbText::cast(pEntity)) return pText->setWidthFactor(width);
    if (AcDbMText* pMText = AcDbMText::cast(pEntity)) return pMText->setWidth(width);
    return Acad::eNotApplicable;
  });
}

void CTEDialog::ApplyToTargets(const std::function<Acad::ErrorStatus(AcDbEntity*)>& apply) {
  const std::vector<AcDbObjectId> targets = PropertyTargets();
  if (!CheckPropertyTargets(targets)) return;
  // A value the drawing refuses is refused by every target alike (the setters check the value
  // before the entity): the first target tells, and nothing is changed then.
  bool refused = false;
  for (AcDbObjectId id : targets) {
    AcDbEntity* pEntity = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pEntity, id, AcDb::kForWrite))) break;
    refused = apply(pEntity) != Acad::eOk;
    pEntity->close();
    if (refused) break;
  }
  ShowValueRefused(refused);
  if (refused) return;
  RefreshDisplay();
  ShowCaretPosition();
}

void CTEDialog::OnLineSpaceChange() {
  if (!m_propertiesLive) return;
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  double spacing = m_lineSpacing;
  if (ParseDistanceField(IDC_LINESPACE, spacing) != RTNORM) return;
  if (m_entityKind == kEntityText) {
    m_lineSpacing = spacing;
    m_lineSpacingKnown = true;
    m_lineStepX = m_lineSpacing * m_directionSin;
    m_lineStepY = m_lineSpacing * m_directionCos;
    ShowValueRefused(false);
    if (g_settings.options[kFastYAlign] != 0) OnAlignY();  // its own lock nests in this one
  } else if (m_entityKind == kEntityMText) {
    AcDbMText* pMText = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pMText, m_currentObjectId, AcDb::kForWrite))) return;
    const Acad::ErrorStatus es = pMText->setLineSpacingFactor(spacing);
    pMText->close();
    ShowValueRefused(es != Acad::eOk);
    if (es == Acad::eOk) {
      m_lineSpacing = spacing;
      RefreshDisplay();
    }
  }
}
