// Fields on the way into a drawing file: before writing, the file's FIELD objects, their child
// fields and the dictionaries that hold them are brought in line with the fields the host keeps
// for its objects (a field whose code changed, a field that is new, a copy of an entity with a
// field). What is made is kept in the database and in the file's record, so that the next save
// writes the same.
#pragma once

#include <functional>
#include <string>

#include "filerecord.h"

namespace cadhost::dxf {

void prepareFields(AcDbDatabase* db, FileRecord& file, const std::function<void(std::wstring)>& warn);

}  // namespace cadhost::dxf
