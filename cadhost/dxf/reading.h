// Inside the drawing-file code: what the reader, the writer and the field code share.
#pragma once

#include <string>

#include "dxffile.h"
#include "filerecord.h"
#include "records.h"

namespace cadhost::dxf {

// Reads the drawing in a file image (the reader takes its own reference).
ReadResult readDrawingImage(FileImage* image, const std::wstring& name, const ReadOptions& options);

// The tags of an object's stored record, split into their parts; false when it has none.
bool readRecordTags(const ObjectRecord& record, RecordTags& tags);
bool readRecordTags(const FileImage* image, uint64_t begin, uint64_t end, RecordTags& tags);
bool readRecordTags(std::string_view bytes, const FileStyle& style, RecordTags& tags);  // a record on its own

// The layer, text style, dimension style or block that a record of the file names (raw, as the
// file spells it): by the names the file gave its records, then by the table (remembered for the
// next time when remember is set); null if none.
AcDbObjectId findNamedRecord(FileRecord& file, AcDbImpDatabase* imp, DecodeContext::Ref kind, std::string_view raw,
                             bool remember = true);

// Writes the drawing of a database into out (the writer proper; the API adds the file handling).
WriteResult writeDrawingBytes(AcDbDatabase* db, std::string& out, size_t flushAt,
                              const std::function<bool(std::string&)>& flush);

}  // namespace cadhost::dxf
