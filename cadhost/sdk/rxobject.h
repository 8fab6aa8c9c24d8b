// Run-time classes of the host: every host object knows its class, and class tests
// (isKindOf, cast) follow the class tree.
#pragma once

#include "adesk.h"

class AcRxObject;

class ACCORE_PORT AcRxClass {
 public:
  // Makes a new object of the class as a copy of another (used by clone()); none for abstract classes.
  typedef AcRxObject* (*CopyFunction)(const AcRxObject* source);

  AcRxClass(const ACHAR* name, AcRxClass* parent, const ACHAR* dxfName = nullptr,
            CopyFunction copier = nullptr);
  AcRxClass(const AcRxClass&) = delete;
  AcRxClass& operator=(const AcRxClass&) = delete;

  const ACHAR* name() const { return mName; }
  const ACHAR* dxfName() const { return mDxfName; }
  AcRxClass* myParent() const { return mParent; }
  bool isDerivedFrom(const AcRxClass* other) const;
  CopyFunction copier() const { return mCopier; }

 private:
  const ACHAR* mName;
  const ACHAR* mDxfName;
  AcRxClass* mParent;
  CopyFunction mCopier;
};

#define ACRX_DECLARE_MEMBERS(CLASS_NAME)                                                  \
  AcRxClass* isA() const override;                                                        \
  static AcRxClass* desc();                                                               \
  static CLASS_NAME* cast(const AcRxObject* inPtr) {                                      \
    return (inPtr == nullptr || !inPtr->isKindOf(CLASS_NAME::desc()))                     \
               ? nullptr                                                                  \
               : const_cast<CLASS_NAME*>(static_cast<const CLASS_NAME*>(inPtr));          \
  }

class ACCORE_PORT AcRxObject {
 public:
  virtual ~AcRxObject();
  static AcRxClass* desc();
  static AcRxObject* cast(const AcRxObject* inPtr) { return const_cast<AcRxObject*>(inPtr); }
  virtual AcRxClass* isA() const;
  bool isKindOf(const AcRxClass* aClass) const { return isA()->isDerivedFrom(aClass); }
  // A copy of the object; database objects give a copy that is not in any database.
  virtual AcRxObject* clone() const;

 protected:
  AcRxObject() = default;
};

// Builds the class tree after classes were added; the host's classes need no call.
ACCORE_PORT void acrxBuildClassHierarchy();
