// CObject and CRuntimeClass: the class records and the derivation checks.
#include "platform/RuntimeClass.h"

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return RUNTIME_CLASS(CObject);
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const noexcept
{
    if (pBaseClass == nullptr)
        return false;
    for (const CRuntimeClass* cls = this; cls != nullptr; cls = cls->m_pBaseClass) {
        if (cls == pBaseClass)
            return true;
    }
    return false;
}

bool CObject::IsKindOf(const CRuntimeClass* pClass) const noexcept
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}
