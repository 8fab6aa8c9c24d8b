// What the selection holds: any TEXT makes a Text run over all selected TEXT entities;
// otherwise the first entity decides between MTEXT and dimension; anything else is refused with
// message 105.
//
// The kind of each entity is told by its class, which needs no open: a TEXT that cannot be opened
// (held open for write elsewhere, say) still makes the run a Text run, and is then reported as a
// failure that ends the run, rather than letting an MTEXT or a dimension of the selection be
// edited in its place. Likewise an MTEXT or dimension that cannot be opened is reported as the
// failure it is, not as something that may not be edited.
#include "../FailureReport.h"
#include "../LocalizedResources.h"
#include "TEDialog.h"
#include "resource.h"

namespace {
bool IsOfClass(AcDbObjectId id, AcRxClass* wanted) {
  const AcRxClass* objectClass = id.objectClass();
  return objectClass != nullptr && objectClass->isDerivedFrom(wanted);
}
}  // namespace

bool CTEDialog::ClassifySelection() {
  Adesk::Int32 length = 0;
  acedSSLength(m_selectionSet, &length);
  if (length == 0) return false;

  ads_name entity;
  bool readable = true;
  for (Adesk::Int32 i = 0; i < length; ++i) {
    acedSSName(m_selectionSet, i, entity);
    acdbGetObjectId(m_currentObjectId, entity);
    if (!IsOfClass(m_currentObjectId, AcDbText::desc())) continue;
    m_textList.append(m_currentObjectId);
    AcDbEntity* pEntity = nullptr;
    if (!TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForRead))) {
      readable = false;  // reported; a line of the block could not be shown
      break;
    }
    pEntity->close();
  }

  m_entityKind = kEntityText;
  if (m_textList.isEmpty()) {
    acedSSName(m_selectionSet, 0, entity);
    acdbGetObjectId(m_currentObjectId, entity);
    if (IsOfClass(m_currentObjectId, AcDbMText::desc())) m_entityKind = kEntityMText;
    else if (IsOfClass(m_currentObjectId, AcDbDimension::desc())) m_entityKind = kEntityDimension;
    else m_entityKind = kEntityNone;
    if (m_entityKind == kEntityNone) {
      acutPrintf(L"%s", LoadLocalizedString(IDS_ONLYTEXTALLOWED).c_str());
      return false;
    }
    AcDbEntity* pEntity = nullptr;
    readable = TE_CHECKED(acdbOpenObject(pEntity, m_currentObjectId, AcDb::kForRead));
    if (readable) pEntity->close();
  }
  if (!readable) return false;

  if (m_entityKind == kEntityText) {
    SetUpTextGeometry();
    OrderTextList();
  }
  return true;
}
