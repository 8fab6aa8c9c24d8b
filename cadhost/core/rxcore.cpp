// Run-time classes and the status names of the host.
#include <cwctype>

#include "../sdk/acadstrc.h"
#include "../sdk/rxobject.h"
#include "coreaccess.h"
#include "lettercase.h"

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

namespace cadhost_detail {

namespace {
// Letters of Latin Extended-A and Cyrillic come in pairs; in these ranges the capital of a pair
// is the even code, elsewhere the odd one.
bool capitalIsEven(wchar_t c) {
  return (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x481) ||
         (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F);
}
bool capitalIsOdd(wchar_t c) { return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE); }
}  // namespace

wchar_t upperLetter(wchar_t c) {
  if (c < 0x80) return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c == 0x131) return L'I';  // dotless i
  if (c == 0x17F) return L'S';  // long s
  if (capitalIsEven(c)) return (c & 1) ? static_cast<wchar_t>(c - 1) : c;
  if (capitalIsOdd(c)) return (c & 1) ? c : static_cast<wchar_t>(c - 1);
  if (c >= 0x3B1 && c <= 0x3CB) return c == 0x3C2 ? 0x3A3 : static_cast<wchar_t>(c - 0x20);  // final sigma
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return static_cast<wchar_t>(c - 0x25);
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return static_cast<wchar_t>(c - 0x3F);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  if (c == 0x4CF) return 0x4C0;
  return static_cast<wchar_t>(std::towupper(c));
}

wchar_t lowerLetter(wchar_t c) {
  if (c < 0x80) return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 0x20) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
  if (c == 0x178) return 0xFF;
  if (c == 0x130) return L'i';  // capital I with dot
  if (capitalIsEven(c)) return (c & 1) ? c : static_cast<wchar_t>(c + 1);
  if (capitalIsOdd(c)) return (c & 1) ? static_cast<wchar_t>(c + 1) : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<wchar_t>(c + 0x20);
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return static_cast<wchar_t>(c + 0x25);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return static_cast<wchar_t>(c + 0x3F);
  if (c >= 0x410 && c <= 0x42F) return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 0x50);
  if (c == 0x4C0) return 0x4CF;
  return static_cast<wchar_t>(std::towlower(c));
}

}  // namespace cadhost_detail

std::wstring acdbUpperName(const ACHAR* name) {
  std::wstring upper = name ? name : L"";
  for (auto& c : upper) c = cadhost_detail::upperLetter(c);
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
