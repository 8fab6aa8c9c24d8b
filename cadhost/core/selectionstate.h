// Inside the core: what the selection functions keep that other parts of the core must update.
#pragma once

class AcDbDatabase;

namespace cadhost_detail {
// Takes the entities of a drawing that is going away out of the pick-first set and out of every
// selection set (the sets stay allocated, without them), so that no set names freed objects.
void forgetSelectedEntities(const AcDbDatabase* db);
}  // namespace cadhost_detail
