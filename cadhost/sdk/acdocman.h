// Documents: each open drawing is a document with a lock that commands and modeless tools take
// before they change the drawing. The document manager knows the documents and the current one.
#pragma once

#include <string>
#include <vector>

#include "dbmain.h"
#include "dbtrans.h"

namespace AcAp {
enum DocLockMode {
  kNone = 0x00, kAutoWrite = 0x01, kNotLocked = 0x02, kWrite = 0x04, kProtectedAutoWrite = 0x08,
  kRead = 0x20, kXWrite = 0x40
};
}  // namespace AcAp

class ACCORE_PORT AcApDocument : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcApDocument);
  const ACHAR* fileName() const;
  const ACHAR* docTitle() const;
  AcDbDatabase* database() const { return mpDb; }
  // The lock in force: kWrite while anyone holds the write lock, else kNotLocked.
  AcAp::DocLockMode lockMode(bool bIncludeMyLocks = false) const;
  AcAp::DocLockMode myLockMode() const { return lockMode(true); }
  int lockDepth() const { return mLockDepth; }
  AcTransactionManager* transactionManager() { return mpTransactionManager; }
  bool isQuiescent() const;

 private:
  friend class AcApDocManager;
  friend struct AcApCore;
  AcApDocument(AcDbDatabase* pDb, bool ownsDatabase);
  ~AcApDocument() override;
  AcDbDatabase* mpDb;
  bool mOwnsDatabase;
  int mLockDepth = 0;
  AcTransactionManager* mpTransactionManager;
  std::wstring mTitle;
};

class ACCORE_PORT AcApDocManager : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcApDocManager);
  AcApDocument* curDocument() const { return mpCurrent; }
  AcApDocument* mdiActiveDocument() const { return mpCurrent; }
  AcApDocument* document(const AcDbDatabase* pDb) const;
  int documentCount() const;
  AcApDocument* documentAt(int index) const;
  // Locks nest: every lock is matched by one unlock.
  Acad::ErrorStatus lockDocument(AcApDocument* pDoc, AcAp::DocLockMode mode = AcAp::kWrite,
                                 const ACHAR* pGlobalCmdName = nullptr,
                                 const ACHAR* pLocalCmdName = nullptr, bool prompt = true);
  Acad::ErrorStatus unlockDocument(AcApDocument* pDoc);
  // Makes another document current. Refused with eDocumentSwitchDisabled while document
  // activation is disabled.
  Acad::ErrorStatus setCurDocument(AcApDocument* pDoc, AcAp::DocLockMode = AcAp::kNone, bool activate = false);
  Acad::ErrorStatus activateDocument(AcApDocument* pDoc, bool bPassScript = false);
  // The bracket a command puts around a modal tool: while disabled, no other document can be
  // made current. Calls nest.
  Acad::ErrorStatus disableDocumentActivation();
  Acad::ErrorStatus enableDocumentActivation();
  bool isDocumentActivationEnabled() const { return mActivationDisabled == 0; }

 private:
  friend struct AcApCore;
  AcApDocManager() = default;
  ~AcApDocManager() override;
  AcApDocument* mpCurrent = nullptr;
  std::vector<AcApDocument*> mDocs;
  int mActivationDisabled = 0;
};

ACCORE_PORT AcApDocManager* acDocManagerPtr();
#define acDocManager acDocManagerPtr()

// Locks the document of a database (or of an object's database) for as long as it lives.
class ACCORE_PORT AcAxDocLock {
 public:
  enum DocLockType { kNormal = 0, kCurDocSwitch = 1 };
  AcAxDocLock();  // the current document
  explicit AcAxDocLock(const AcDbObjectId& objectId, DocLockType lockType = kNormal);
  explicit AcAxDocLock(AcDbDatabase* pDatabase, DocLockType lockType = kNormal);
  ~AcAxDocLock();
  AcAxDocLock(const AcAxDocLock&) = delete;
  AcAxDocLock& operator=(const AcAxDocLock&) = delete;
  Acad::ErrorStatus lockStatus() const { return mStatus; }
  AcApDocument* document() const { return mpDoc; }

 private:
  void lock(AcDbDatabase* pDatabase, DocLockType lockType);
  AcApDocument* mpDoc = nullptr;
  AcApDocument* mpPreviousCurrent = nullptr;
  Acad::ErrorStatus mStatus = Acad::eNoDocument;
};
