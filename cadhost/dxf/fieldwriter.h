// Fields on the way into a drawing file: before writing, the file's FIELD objects, their child
// fields and the dictionaries that hold them are brought in line with the fields the host keeps
// for its objects (a field whose code changed, a field that is new, a copy of an entity with a
// field). What is made is kept in the database and in the file's record, so that the next save
// writes the same.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filerecord.h"

namespace cadhost::dxf {

// entities are the objects that keep fields (the others are left alone). True when fields that
// gave way to others were erased.
bool prepareFields(AcDbDatabase* db, FileRecord& file, const std::vector<AcDbStub*>& entities,
                   const std::function<void(std::wstring)>& warn);

}  // namespace cadhost::dxf
