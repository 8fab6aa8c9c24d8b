// The write-back of a TEXT list: entity i holds editor line i. The lines whose text changed are
// rewritten in list order; each extra editor line becomes a clone of the entity above it, placed
// one line step below it; surplus entities are erased from the bottom up. Entities keep their
// places and the texts move between them. Lines whose text did not change are not opened for
// write (the drawing ends as if they had been rewritten: their fields are evaluated again).
//
// A change is written whole or not at all. Before anything is written, every entity the change
// needs is opened once for write as a check: the rewritten lines, the lines to erase, and the
// template of new lines (a clone lies on its template's layer, so a template that cannot be
// written gives a line that cannot be placed). If one of them cannot be opened (a locked layer,
// an erased entity, an entity held open elsewhere), the failure is reported once, nothing is
// written, and the editor is given back the lines the drawing holds. So the drawing never holds a
// text the editor does not show, and never loses a line the user did not delete.
#include <vector>

#include "../FailureReport.h"
#include "TEDialog.h"

namespace {

constexpr int kFieldEvaluationContext = 64;

// The editor's lines, read in one piece. The editor does not wrap, so its lines are its
// paragraphs: the whole text split at each carriage return gives exactly what the editor gives
// line by line, without asking it for each line (which costs a walk through the text per line
// in some rich edit versions, and made a keystroke in a long block slow).
std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines(1);
  for (wchar_t c : text) {
    if (c == L'\r') lines.emplace_back();
    else lines.back() += c;
  }
  return lines;
}

// Whether a line holds a field expression, whose value the host computes on each write-back.
bool HoldsField(const std::wstring& line) { return line.find(L"%<\\") != std::wstring::npos; }

}  // namespace

Acad::ErrorStatus CheckWritable(AcDbObjectId id) {
  AcDbEntity* pEntity = nullptr;
  const Acad::ErrorStatus es = acdbOpenObject(pEntity, id, AcDb::kForWrite);
  if (es == Acad::eOk) pEntity->close();
  return es;
}

std::vector<std::wstring> CTEDialog::ReadEditorLines() {
  const int lineCount = static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0));
  std::wstring whole;
  GetEditorText(whole, 0);
  std::vector<std::wstring> lines = SplitLines(whole);
  if (static_cast<int>(lines.size()) != lineCount) {
    // The control counts its lines otherwise than its text says: its own lines decide.
    lines.assign(static_cast<size_t>(lineCount), std::wstring());
    for (int i = 0; i < lineCount; ++i) GetEditorLine(i, lines[static_cast<size_t>(i)]);
  }
  return lines;
}

bool CTEDialog::CheckTextListChange(const std::vector<std::wstring>& lines) {
  const int lineCount = static_cast<int>(lines.size());
  const int listLength = m_textList.length();
  const int shared = std::min(lineCount, listLength);
  for (int i = 0; i < shared; ++i)
    if (lines[static_cast<size_t>(i)] != m_drawingLines[static_cast<size_t>(i)] && !TE_CHECKED(CheckWritable(m_textList[i])))
      return false;
  if (lineCount > listLength && !TE_CHECKED(CheckWritable(m_textList[listLength - 1]))) return false;
  for (int k = listLength - 1; k >= lineCount; --k)
    if (!TE_CHECKED(CheckWritable(m_textList[k]))) return false;
  return true;
}

void CTEDialog::WriteBackTextList() {
  const std::vector<std::wstring> lines = ReadEditorLines();
  if (!CheckTextListChange(lines)) {
    GiveEditorTheDrawingText();
    return;
  }
  const int lineCount = static_cast<int>(lines.size());
  const int listLength = m_textList.length();
  const int shared = std::min(lineCount, listLength);

  for (int i = 0; i < shared; ++i) {
    const std::wstring& text = lines[static_cast<size_t>(i)];
    std::wstring& held = m_drawingLines[static_cast<size_t>(i)];
    if (text != held) {
      AcDbText* pText = nullptr;
      if (!TE_CHECKED(acdbOpenObject(pText, m_textList[i], AcDb::kForWrite))) {
        GiveEditorTheDrawingText();  // the check passed, so someone else has it now
        return;
      }
      pText->setTextString(text.c_str());
      pText->close();
      held = text;
    } else if (!HoldsField(text)) {
      continue;
    }
    acdbEvaluateFields(m_textList[i], kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);
  }

  for (int j = listLength; j < lineCount; ++j) {
    if (!AddTextLine(lines[static_cast<size_t>(j)])) {
      GiveEditorTheDrawingText();
      return;
    }
  }
  for (int k = listLength - 1; k >= lineCount; --k) {
    AcDbEntity* pEntity = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pEntity, m_textList[k], AcDb::kForWrite))) {
      GiveEditorTheDrawingText();
      return;
    }
    m_textList.removeAt(k);
    m_drawingLines.pop_back();
    pEntity->erase(true);
    pEntity->close();
  }
}

bool CTEDialog::AddTextLine(const std::wstring& text) {
  m_currentObjectId = m_textList[m_textList.length() - 1];  // the template: the line above

  AcDbEntity* pTemplate = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pTemplate, m_currentObjectId, AcDb::kForRead))) return false;
  AcDbEntity* pClone = AcDbEntity::cast(pTemplate->clone());
  const AcDbObjectId ownerId = pTemplate->ownerId();
  pTemplate->close();
  if (pClone == nullptr) return false;

  AcDbObject* pOwner = nullptr;
  if (!TE_CHECKED(acdbOpenObject(pOwner, ownerId, AcDb::kForWrite))) {
    delete pClone;
    return false;
  }
  AcDbObjectId newId;
  AcDbBlockTableRecord* pBlock = AcDbBlockTableRecord::cast(pOwner);
  const Acad::ErrorStatus appended = pBlock ? pBlock->appendAcDbEntity(newId, pClone) : Acad::eNotInBlock;
  pOwner->close();
  if (!TE_CHECKED(appended)) {
    delete pClone;  // not in the drawing: it is ours to discard, and no line gets it
    return false;
  }

  if (AcDbText* pText = AcDbText::cast(pClone)) pText->setTextString(text.c_str());
  pClone->close();
  acdbEvaluateFields(newId, kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);

  AcGePoint3d point = GetAnchorPoint(m_currentObjectId);
  point.x += m_lineStepX;
  point.y -= m_lineStepY;
  SetAnchorPoint(newId, point);
  m_textList.append(newId);
  m_drawingLines.push_back(text);
  return true;
}
