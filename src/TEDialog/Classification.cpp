// What the selection holds: any TEXT makes a Text run over all selected TEXT entities;
// otherwise the first entity decides between MTEXT and dimension; anything else is refused with
// message 105.
#include "../FailureReport.h"
#include "../LocalizedResources.h"
#include "TEDialog.h"
#include "resource.h"

bool CTEDialog::ClassifySelection() {
  Adesk::Int32 length = 0;
  acedSSLength(m_selectionSet, &length);
  if (length == 0) return false;

  ads_name entity;
  for (Adesk::Int32 i = 0; i < length; ++i) {
    acedSSName(m_selectionSet, i, entity);
    acdbGetObjectId(m_currentObjectId, entity);
    AcDbEntity* pEntity = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForRead))) continue;
    if (pEntity->isKindOf(AcDbText::desc())) m_textList.append(m_currentObjectId);
    pEntity->close();
  }

  m_entityKind = kEntityText;
  if (m_textList.isEmpty()) {
    acedSSName(m_selectionSet, 0, entity);
    acdbGetObjectId(m_currentObjectId, entity);
    AcDbEntity* pEntity = nullptr;
    if (TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForRead))) {
      if (pEntity->isKindOf(AcDbMText::desc())) m_entityKind = kEntityMText;
      else if (pEntity->isKindOf(AcDbDimension::desc())) m_entityKind = kEntityDimension;
      else m_entityKind = kEntityNone;
      pEntity->close();
    } else {
      m_entityKind = kEntityNone;
    }
    if (m_entityKind == kEntityNone) acutPrintf(L"%s", LoadLocalizedString(IDS_ONLYTEXTALLOWED).c_str());
  }

  if (m_entityKind == kEntityNone) return false;
  if (m_entityKind == kEntityText) {
    SetUpTextGeometry();
    OrderTextList();
  }
  return true;
}
