// Moving text between the drawing and the editor. The editor shows an MTEXT or a dimension text
// with one line per paragraph ("\P" in the entity, a line end in the editor), a TEXT list with one
// line per TEXT. An entity with fields shows its field code, and its fields are evaluated again
// after each write. Every change in the editor is written back at once (WriteBack).
#include "../FailureReport.h"
#include "../TECommand.h"
#include "TEDialog.h"

namespace {

// The context and flag with which the write-back has the host evaluate an entity's fields.
constexpr int kFieldEvaluationContext = 64;

// Replaces every occurrence, left to right, in one pass over the text.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  size_t at = text.find(from);
  if (at == std::wstring::npos) return;
  std::wstring result;
  result.reserve(text.size() + text.size() / 8);
  size_t copied = 0;
  for (; at != std::wstring::npos; at = text.find(from, copied)) {
    result.append(text, copied, at - copied);
    result += to;
    copied = at + from.size();
  }
  result.append(text, copied, std::wstring::npos);
  text.swap(result);
}

// The text string of a TEXT or the contents of an MTEXT as a string the caller owns. Builds for
// the 2018 host use the getters that return a new string; later ones fill an AcString and copy it.
#if ACAD_HOST_RELEASE <= 2018
ACHAR* OwnedTextString(const AcDbText* pText) { return pText->textString(); }
ACHAR* OwnedContents(const AcDbMText* pMText) { return pMText->contents(); }
#else
ACHAR* OwnedTextString(const AcDbText* pText) {
  AcString text;
  ACHAR* copy = nullptr;
  if (pText->textString(text) == Acad::eOk) acutNewString(text.kwszPtr(), copy);
  return copy;
}
ACHAR* OwnedContents(const AcDbMText* pMText) {
  AcString text;
  ACHAR* copy = nullptr;
  if (pMText->contents(text) == Acad::eOk) acutNewString(text.kwszPtr(), copy);
  return copy;
}
#endif

}  // namespace

void CTEDialog::ReadEntityText(const AcDbEntity* pEntity, EntityKind kind, std::wstring& text) {
  if (pEntity->hasFields()) {
    AcDbField* pField = nullptr;
    pEntity->getField(L"TEXT", pField, AcDb::kForRead);
    if (pField != nullptr) {
      text = pField->getFieldCode(AcDbField::kAddMarkers);
      pField->close();
      return;
    }
    // Fields, but none under "TEXT": the entity's own text serves.
  }
  ACHAR* owned = nullptr;
  if (kind == kEntityText) {
    if (const AcDbText* pText = AcDbText::cast(pEntity)) owned = OwnedTextString(pText);
  } else if (kind == kEntityMText) {
    if (const AcDbMText* pMText = AcDbMText::cast(pEntity)) owned = OwnedContents(pMText);
  } else if (kind == kEntityDimension) {
    if (const AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) owned = pDimension->dimensionText();
  }
  text = owned ? owned : L"";
  acutDelString(owned);
}

void CTEDialog::ReadEntityTextById(AcDbObjectId id, EntityKind kind, std::wstring& text) {
  text.clear();
  AcDbEntity* pEntity = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pEntity, id, AcDb::kForRead))) return;
  ReadEntityText(pEntity, kind, text);
  pEntity->close();
}

void CTEDialog::LoadEditorText() {
  if (m_entityKind == kEntityText) {
    m_drawingLines.assign(static_cast<size_t>(m_textList.length()), std::wstring());
    for (int i = 0; i < m_textList.length(); ++i) ReadEntityTextById(m_textList[i], kEntityText, m_drawingLines[static_cast<size_t>(i)]);
  } else {
    ReadEntityTextById(m_currentObjectId, m_entityKind, m_drawingText);
  }
  GiveEditorTheDrawingText();  // without a change notification: loading writes nothing back
}

void CTEDialog::GiveEditorTheDrawingText() {
  std::wstring text;
  if (m_entityKind == kEntityText) {
    for (size_t i = 0; i < m_drawingLines.size(); ++i) {
      if (i > 0) text += L"\r\n";
      text += m_drawingLines[i];
    }
  } else {
    text = m_drawingText;
    ReplaceAll(text, L"\\P", L"\r\n");
  }
  SetEditorText(text, 0);
}

Acad::ErrorStatus CTEDialog::SetSingleEntityText(AcDbEntity* pEntity, const std::wstring& text) {
  if (AcDbMText* pMText = AcDbMText::cast(pEntity)) return pMText->setContents(text.c_str());
  if (AcDbDimension* pDimension = AcDbDimension::cast(pEntity)) return pDimension->setDimensionText(text.c_str());
  return Acad::eNotApplicable;
}

void CTEDialog::OnEditorChange() { WriteBack(); }

void CTEDialog::WriteBack() {
  AcAxDocLock lock(acdbHostApplicationServices()->workingDatabase(), AcAxDocLock::kNormal);
  if (m_entityKind == kEntityMText || m_entityKind == kEntityDimension) WriteBackSingleEntity();
  else WriteBackTextList();
  RefreshDisplay();
}

void CTEDialog::WriteBackSingleEntity() {
  std::wstring text;
  GetEditorText(text, 0);
  ReplaceAll(text, L"\r", L"\\P");
  AcDbEntity* pEntity = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForWrite))) {
    // Reported; the editor shows again what the entity holds.
    GiveEditorTheDrawingText();
    return;
  }
  SetSingleEntityText(pEntity, text);
  pEntity->close();
  m_drawingText = text;
  acdbEvaluateFields(m_currentObjectId, kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);
}
