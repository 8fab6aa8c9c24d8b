// Helpers of the drawing-file tests: small drawings written tag by tag, reading and writing in
// memory, finding objects by handle, and where the shared corpus of drawings is.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../../cadhost/core/coreaccess.h"
#include "dxffile.h"

namespace dxftest {

// Tags of an ASCII drawing, written as CAD programs write them (codes right-aligned in three columns).
class Tags {
 public:
  Tags& operator()(int code, const std::string& value);
  Tags& operator()(int code, double value);
  Tags& operator()(int code, int value);
  Tags& raw(const std::string& text) { mText += text; return *this; }
  const std::string& str() const { return mText; }

 private:
  std::string mText;
};

// A small R2000 (or later) drawing: layers "0" and "Notes" (locked), text styles "Standard" and
// "Romans", dimension style "Standard", model space (1F), paper space (1B) and a block "Title"
// (handle 30, entities in blocksBody), the entities of the ENTITIES section, and objects after
// the root dictionary (handle C). Handles below 0x100 are taken; the seed is 0x200.
std::string drawing(const std::string& entities, const std::string& objects = "", const std::string& blocksBody = "",
                    const std::string& version = "AC1015", const std::string& codePage = "ANSI_1252");

// A drawing whose TEXT 70 (reading "T.dxf") keeps a field under "TEXT": the FIELD 73, reached
// through its extension dictionary 71 and field dictionary 72. fields holds the FIELD records
// (73 and its children); more entities may follow the TEXT.
std::string drawingWithTextField(const std::string& fields, const std::string& moreEntities = "");

// Entities whose parts follow their records: a POLYLINE (80) with two VERTEX (81, 82) and its
// SEQEND (83), and an INSERT of "Title" (90) with an ATTRIB (91) and its SEQEND (92).
std::string entitiesWithParts();

// Reading and writing in memory; failures of either fail the test.
std::unique_ptr<AcDbDatabase> read(const std::string& bytes, cadhost::dxf::ReadResult* result = nullptr);
std::string write(AcDbDatabase* db);

AcDbObjectId byHandle(AcDbDatabase* db, const wchar_t* hex);
// The stubs of a database as they stand now: a walk that makes or changes objects may add stubs,
// and a walk over the database's own list would then lose its place.
std::vector<AcDbStub*> stubsOf(AcDbDatabase* db);
template <class T>
T* object(AcDbDatabase* db, const wchar_t* hex) {
  return T::cast(AcDbCore::object(byHandle(db, hex)));
}

// The records of an ASCII drawing, from each 0 tag to the next, in order.
std::vector<std::string> records(const std::string& bytes);
// The records that differ between two drawings that hold the same number of records.
std::vector<std::string> changedRecords(const std::string& before, const std::string& after);

// The shared corpus of third-party drawings, or empty when it is absent.
std::filesystem::path corpus();
std::string readFile(const std::filesystem::path& path);
std::string utf8(const std::wstring& text);

}  // namespace dxftest
