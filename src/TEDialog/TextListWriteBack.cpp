// The write-back of a TEXT list: entity i holds editor line i. The shared lines are rewritten in
// list order; each extra editor line becomes a clone of the entity above it, placed one line step
// below it; surplus entities are erased from the bottom up. Entities keep their places and the
// texts move between them.
//
// After a failure report: a line whose entity cannot be opened keeps its old text and the other
// lines are still written; adding or erasing lines stops where it failed. Either way no entity
// is left open and the list names exactly the entities that exist.
#include <vector>

#include "../FailureReport.h"
#include "TEDialog.h"

namespace {
constexpr int kFieldEvaluationContext = 64;
}

namespace {

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

}  // namespace

void CTEDialog::WriteBackTextList() {
  const int lineCount = static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0));
  const int listLength = m_textList.length();
  const int shared = std::min(lineCount, listLength);
  std::wstring whole;
  GetEditorText(whole, 0);
  const std::vector<std::wstring> lines = SplitLines(whole);
  const bool linesAgree = static_cast<int>(lines.size()) == lineCount;
  std::wstring line;
  auto editorLine = [&](int index) -> const std::wstring& {
    if (linesAgree) return lines[static_cast<size_t>(index)];
    GetEditorLine(index, line);
    return line;
  };

  for (int i = 0; i < shared; ++i) {
    const std::wstring& text = editorLine(i);
    AcDbText* pText = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pText, m_textList[i], AcDb::kForWrite))) continue;
    pText->setTextString(text.c_str());
    pText->close();
    acdbEvaluateFields(m_textList[i], kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);
  }

  if (listLength < lineCount) {
    for (int j = listLength; j < lineCount; ++j) {
      const std::wstring text = editorLine(j);
      m_currentObjectId = m_textList[j - 1];  // the template: the line above

      AcDbEntity* pTemplate = nullptr;
      if (!TE_CHECKED(acdbOpenObject(pTemplate, m_currentObjectId, AcDb::kForRead))) return;
      AcDbEntity* pClone = AcDbEntity::cast(pTemplate->clone());
      const AcDbObjectId ownerId = pTemplate->ownerId();
      pTemplate->close();
      if (pClone == nullptr) return;

      AcDbObject* pOwner = nullptr;
      if (!TE_CHECKED(acdbOpenObject(pOwner, ownerId, AcDb::kForWrite))) {
        delete pClone;
        return;
      }
      AcDbObjectId newId;
      AcDbBlockTableRecord* pBlock = AcDbBlockTableRecord::cast(pOwner);
      const Acad::ErrorStatus appended = pBlock ? pBlock->appendAcDbEntity(newId, pClone) : Acad::eNotInBlock;
      pOwner->close();
      if (!TE_CHECKED(appended)) {
        delete pClone;  // not in the drawing: it is ours to discard, and no line gets it
        return;
      }

      if (AcDbText* pText = AcDbText::cast(pClone)) pText->setTextString(text.c_str());
      pClone->close();
      acdbEvaluateFields(newId, kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);

      AcGePoint3d point = GetAnchorPoint(m_currentObjectId);
      point.x += m_lineStepX;
      point.y -= m_lineStepY;
      SetAnchorPoint(newId, point);
      m_textList.append(newId);
    }
  } else {
    for (int k = listLength - 1; k >= lineCount; --k) {
      AcDbEntity* pEntity = nullptr;
      if (!TE_CHECKED(acdbOpenObject(pEntity, m_textList[k], AcDb::kForWrite))) return;
      m_textList.removeAt(k);
      pEntity->erase(true);
      pEntity->close();
    }
  }
}
