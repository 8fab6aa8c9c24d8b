// Run-time classes and the status names of the host.
#include <cwctype>

#include "../sdk/acadstrc.h"
#include "../sdk/rxobject.h"
#include "coreaccess.h"

AcRxClass::AcRxClass(const ACHAR* name, AcRxClass* parent, const ACHAR* dxfName, CopyFunction copier)
    : mName(name), mDxfName(dxfName ? dxfName : L""), mParent(parent), mCopier(copier) {}

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
  for (const AcRxClass* c = this; c != nullptr; c = c->mParent)
    if (c == other) return true;
  return false;
}

AcRxObject::~AcRxObject() = default;

AcRxClass* AcRxObject::desc() {
  static AcRxClass theClass(L"AcRxObject", nullptr);
  return &theClass;
}

AcRxClass* AcRxObject::isA() const { return AcRxObject::desc(); }

AcRxObject* AcRxObject::clone() const {
  const AcRxClass::CopyFunction copier = isA()->copier();
  return copier ? copier(this) : nullptr;
}

void acrxBuildClassHierarchy() {
  // Classes link to their parent when they are made; there is nothing left to build.
}

std::wstring acdbUpperName(const ACHAR* name) {
  std::wstring upper = name ? name : L"";
  for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  return upper;
}

const ACHAR* acadErrorStatusText(Acad::ErrorStatus es) {
  switch (es) {
#define STATUS_NAME(name) case Acad::name: return L## #name;
    STATUS_NAME(eOk)
    STATUS_NAME(eNotImplementedYet)
    STATUS_NAME(eNotApplicable)
    STATUS_NAME(eInvalidInput)
    STATUS_NAME(eAmbiguousInput)
    STATUS_NAME(eOutOfMemory)
    STATUS_NAME(eBufferTooSmall)
    STATUS_NAME(eInvalidOpenState)
    STATUS_NAME(eNullObjectId)
    STATUS_NAME(eNullHandle)
    STATUS_NAME(eNullObjectPointer)
    STATUS_NAME(eNullEntityPointer)
    STATUS_NAME(eWasErased)
    STATUS_NAME(eWasNotErased)
    STATUS_NAME(ePermanentlyErased)
    STATUS_NAME(eWasOpenForRead)
    STATUS_NAME(eWasOpenForWrite)
    STATUS_NAME(eWasOpenForNotify)
    STATUS_NAME(eWasNotOpenForWrite)
    STATUS_NAME(eNotOpenForRead)
    STATUS_NAME(eNotOpenForWrite)
    STATUS_NAME(eAtMaxReaders)
    STATUS_NAME(eNotThatKindOfClass)
    STATUS_NAME(eInvalidIndex)
    STATUS_NAME(eDuplicateKey)
    STATUS_NAME(eKeyNotFound)
    STATUS_NAME(eAlreadyInDb)
    STATUS_NAME(eNotInDatabase)
    STATUS_NAME(eNoDatabase)
    STATUS_NAME(eWrongDatabase)
    STATUS_NAME(eWrongObjectType)
    STATUS_NAME(eOnLockedLayer)
    STATUS_NAME(eLockViolation)
    STATUS_NAME(eNotInitializedYet)
    STATUS_NAME(eInvalidContext)
    STATUS_NAME(eNoDocument)
    STATUS_NAME(eDocumentSwitchDisabled)
    STATUS_NAME(eNotCurrentDatabase)
    STATUS_NAME(eHandleInUse)
    STATUS_NAME(eInvalidSymbolTableName)
    STATUS_NAME(eIllegalReplacement)
    STATUS_NAME(eCannotBeErasedByCaller)
    STATUS_NAME(eOwnerNotSet)
    STATUS_NAME(eInvalidFieldCode)
    STATUS_NAME(eNotInBlock)
    STATUS_NAME(eFileNotFound)
    STATUS_NAME(eFilerError)
    STATUS_NAME(eBadDxfSequence)
    STATUS_NAME(eInvalidDxfCode)
    STATUS_NAME(eEndOfFile)
    STATUS_NAME(eDwgNeedsRecovery)
    STATUS_NAME(eNotHandled)
    STATUS_NAME(eInvalidExtents)
    STATUS_NAME(eInetFileGenericError)
#undef STATUS_NAME
    case Acad::eErrorStatusCount: break;
  }
  return L"eUnknownStatus";
}
