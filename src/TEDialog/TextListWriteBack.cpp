// The write-back of a TEXT list: entity i holds editor line i. The shared lines are rewritten in
// list order; each extra editor line becomes a clone of the entity above it, placed one line step
// below it; surplus entities are erased from the bottom up. Entities keep their places and the
// texts move between them.
//
// After a failure report: a line whose entity cannot be opened keeps its old text and the other
// lines are still written; adding or erasing lines stops where it failed. Either way no entity
// is left open and the list names exactly the entities that exist.
#include "../FailureReport.h"
#include "TEDialog.h"

namespace {
constexpr int kFieldEvaluationContext = 64;
}

void CTEDialog::WriteBackTextList() {
  const int lineCount = static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0));
  const int listLength = m_textList.length();
  const int shared = std::min(lineCount, listLength);
  std::wstring line;

  for (int i = 0; i < shared; ++i) {
    GetEditorLine(i, line);
    AcDbText* pText = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pText, m_textList[i], AcDb::kForWrite))) continue;
    pText->setTextString(line.c_str());
    pText->close();
    acdbEvaluateFields(m_textList[i], kFieldEvaluationContext, nullptr, nullptr, AcFd::kEvalRecursive);
  }

  if (listLength < lineCount) {
    for (int j = listLength; j < lineCount; ++j) {
      GetEditorLine(j, line);
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

      if (AcDbText* pText = AcDbText::cast(pClone)) pText->setTextString(line.c_str());
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
