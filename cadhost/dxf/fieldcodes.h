// Fields in drawing files: FIELD objects reached through an entity's extension dictionary
// ("ACAD_FIELD", then "TEXT"), with their child fields and object references, and the host's
// field model, where one field keeps its whole code with every expression inline
// (%<\AcVar Date>%) and object references as handles in decimal (%<\_ObjId 42>%).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "filerecord.h"

namespace cadhost::dxf {

// The entries of a DICTIONARY record: keys (as bytes) and the handles they name.
std::vector<std::pair<std::string, uint64_t>> dictionaryEntries(const FileRecord& file, const ObjectRecord& record);

// The field of a FIELD record in the host's form: its code with child fields (%<\_FldIdx n>%)
// and object references (%<\_ObjIdx n>%) put inline. A field whose evaluator is not "_text" is
// one expression and comes between %< and >%.
std::wstring expandedFieldCode(AcDbDatabase* db, const FileRecord& file, const AcDbObject* field);

// Attaches to the entities of a drawing just read the fields their extension dictionaries name.
// extensionDictionaries pairs each entity with the handle of its dictionary.
void attachFields(AcDbDatabase* db, const FileRecord& file,
                  const std::vector<std::pair<AcDbStub*, uint64_t>>& extensionDictionaries);

}  // namespace cadhost::dxf
