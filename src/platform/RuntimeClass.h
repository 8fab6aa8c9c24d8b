// Run-time class information for the framework's objects: CObject, CRuntimeClass and the
// DECLARE_DYNAMIC / IMPLEMENT_DYNAMIC / RUNTIME_CLASS macros, so that code can ask an object
// whether it is of (or derives from) a given class, as in pWnd->IsKindOf(RUNTIME_CLASS(CEdit)).
#pragma once

// One per class that declares DECLARE_DYNAMIC: its name, size and base class. The records are
// constant data; they are linked through m_pBaseClass up to CObject.
struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is pBaseClass or derives from it (directly or further down).
    bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const noexcept;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                 \
public:                                                             \
    static const CRuntimeClass class##class_name;                   \
    const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                      \
    const CRuntimeClass class_name::class##class_name = {                                   \
        #class_name, static_cast<int>(sizeof(class_name)), RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

// The root of the framework's class tree.
class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;

    // True when this object's class is pClass or derives from it.
    bool IsKindOf(const CRuntimeClass* pClass) const noexcept;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
