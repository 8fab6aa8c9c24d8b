// Fields in drawing files: FIELD objects reached through an entity's extension dictionary
// ("ACAD_FIELD", then "TEXT"), with their child fields and object references, and the host's
// field model, where one field keeps its whole code with every expression inline
// (%<\AcVar Date>%) and object references as handles in decimal (%<\_ObjId 42>%).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "filerecord.h"

namespace cadhost::dxf {

// The entries of a DICTIONARY record: keys (as bytes) and the handles they name.
std::vector<std::pair<std::string, uint64_t>> dictionaryEntries(const FileRecord& file, const ObjectRecord& record);

// Attaches to the entities of a drawing just read the fields their extension dictionaries name,
// each with its code in the host's form: child fields (%<\_FldIdx n>%) and object references
// (%<\_ObjIdx n>%) put inline; a field whose evaluator is not "_text" is one expression between
// %< and >%. extensionDictionaries pairs each entity with the handle of its dictionary. A field
// whose children name it (or each other) in a loop, or multiply beyond reason, keeps those
// children as stored and is handed to damaged; the references to them are recorded as cut
// (FileRecord::cutChildren), which a save writes as no handle.
void attachFields(AcDbDatabase* db, FileRecord& file,
                  const std::vector<std::pair<AcDbStub*, uint64_t>>& extensionDictionaries,
                  const std::function<void(const AcDbStub*)>& damaged);

}  // namespace cadhost::dxf
