// Status codes returned by the host's database and editor operations.
#pragma once

#include "adesk.h"

namespace Acad {
enum ErrorStatus {
  eOk = 0,
  eNotImplementedYet,
  eNotApplicable,
  eInvalidInput,
  eAmbiguousInput,
  eOutOfMemory,
  eBufferTooSmall,
  eInvalidOpenState,
  eNullObjectId,
  eNullHandle,
  eNullObjectPointer,
  eNullEntityPointer,
  eWasErased,
  eWasNotErased,
  ePermanentlyErased,
  eWasOpenForRead,
  eWasOpenForWrite,
  eWasOpenForNotify,
  eWasNotOpenForWrite,
  eNotOpenForRead,
  eNotOpenForWrite,
  eAtMaxReaders,
  eNotThatKindOfClass,
  eInvalidIndex,
  eDuplicateKey,
  eKeyNotFound,
  eAlreadyInDb,
  eNotInDatabase,
  eNoDatabase,
  eWrongDatabase,
  eWrongObjectType,
  eOnLockedLayer,
  eLockViolation,
  eNotInitializedYet,
  eInvalidContext,
  eNoDocument,
  eDocumentSwitchDisabled,
  eNotCurrentDatabase,
  eHandleInUse,
  eInvalidSymbolTableName,
  eIllegalReplacement,
  eCannotBeErasedByCaller,
  eOwnerNotSet,
  eInvalidFieldCode,
  eNotInBlock,
  eFileNotFound,
  eFilerError,
  eBadDxfSequence,
  eInvalidDxfCode,
  eEndOfFile,
  eDwgNeedsRecovery,
  eNotHandled,
  eInvalidExtents,
  eInetFileGenericError,
  eErrorStatusCount  // not a status: the number of statuses above
};
}  // namespace Acad

// The host's name of a status, e.g. "eOnLockedLayer"; an unknown value gives "eUnknownStatus".
ACCORE_PORT const ACHAR* acadErrorStatusText(Acad::ErrorStatus es);
