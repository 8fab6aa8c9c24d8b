// Selection filters: a result-buffer list of conditions on entities, as acedSSGet takes it.
#pragma once

#include <memory>
#include <string>

#include "../sdk/adscodes.h"
#include "../sdk/dbmain.h"

namespace cadhost_detail {

class SelectionFilter {
 public:
  // Compiles a filter list; on a malformed list (unbalanced or unknown operators, an operand
  // missing) returns nullptr and explains in message.
  static std::unique_ptr<SelectionFilter> compile(const resbuf* list, std::wstring& message);
  virtual ~SelectionFilter() = default;
  virtual bool matches(const AcDbEntity* entity) const = 0;
};

}  // namespace cadhost_detail
