// Inside the core: document lookups that the object protocol needs.
#pragma once

#include "../sdk/acdocman.h"

namespace cadhost_detail {
// True when the document of the database is locked by anyone (or the database has no document).
bool isDatabaseLocked(const AcDbDatabase* db);
AcApDocument* documentOf(const AcDbDatabase* db);
}  // namespace cadhost_detail
