// The transaction manager of a document: here, the graphics flush through which changed
// entities reach the screen while a command runs.
#pragma once

#include "acadstrc.h"
#include "rxobject.h"

class AcDbDatabase;

class ACCORE_PORT AcDbTransactionManager : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbTransactionManager);
  // Queues the entities changed since the last flush for drawing.
  virtual Acad::ErrorStatus queueForGraphicsFlush();
  // Draws what was queued.
  virtual Acad::ErrorStatus flushGraphics();

 protected:
  friend class AcApDocument;
  explicit AcDbTransactionManager(AcDbDatabase* pDb) : mpDb(pDb) {}
  AcDbDatabase* mpDb;
};

class ACCORE_PORT AcTransactionManager : public AcDbTransactionManager {
 public:
  ACRX_DECLARE_MEMBERS(AcTransactionManager);

 protected:
  friend class AcApDocument;
  explicit AcTransactionManager(AcDbDatabase* pDb) : AcDbTransactionManager(pDb) {}
};
