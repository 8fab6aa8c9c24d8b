// Helpers of the drawing-file tests.
#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../../cadhost/core/hostservices.h"
#include "textcodec.h"

namespace dxftest {

// The drawing-file tests look into the drawings they read the way the host's own code does,
// without opening each object.
const cadhost::HostReadScope kTestsReadAsTheHost;

Tags& Tags::operator()(int code, const std::string& value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%3d\n", code);
  mText += buffer;
  mText += value;
  mText += "\n";
  return *this;
}

Tags& Tags::operator()(int code, double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  std::string s = buffer;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return (*this)(code, s);
}

Tags& Tags::operator()(int code, int value) { return (*this)(code, std::to_string(value)); }

std::string drawing(const std::string& entities, const std::string& objects, const std::string& blocksBody,
                    const std::string& version, const std::string& codePage) {
  Tags t;
  t(999, "written by the drawing-file tests");
  t(0, "SECTION")(2, "HEADER");
  t(9, "$ACADVER")(1, version);
  t(9, "$DWGCODEPAGE")(3, codePage);
  t(9, "$HANDSEED")(5, "200");
  t(9, "$LUNITS")(70, 2);
  t(9, "$LUPREC")(70, 4);
  t(9, "$INSUNITS")(70, 4);
  t(9, "$TEXTSTYLE")(7, "Standard");
  t(9, "$CLAYER")(8, "0");
  t(0, "ENDSEC");
  t(0, "SECTION")(2, "CLASSES")(0, "ENDSEC");
  t(0, "SECTION")(2, "TABLES");
  t(0, "TABLE")(2, "LAYER")(5, "2")(330, "0")(100, "AcDbSymbolTable")(70, 2);
  t(0, "LAYER")(5, "10")(330, "2")(100, "AcDbSymbolTableRecord")(100, "AcDbLayerTableRecord")(2, "0")(70, 0)(62, 7)(6, "Continuous");
  t(0, "LAYER")(5, "11")(330, "2")(100, "AcDbSymbolTableRecord")(100, "AcDbLayerTableRecord")(2, "Notes")(70, 4)(62, 3)(6, "Continuous");
  t(0, "ENDTAB");
  t(0, "TABLE")(2, "STYLE")(5, "3")(330, "0")(100, "AcDbSymbolTable")(70, 2);
  t(0, "STYLE")(5, "12")(330, "3")(100, "AcDbSymbolTableRecord")(100, "AcDbTextStyleTableRecord")(2, "Standard")(70, 0)
   (40, 0.0)(41, 1.0)(50, 0.0)(71, 0)(42, 2.5)(3, "txt")(4, "");
  t(0, "STYLE")(5, "13")(330, "3")(100, "AcDbSymbolTableRecord")(100, "AcDbTextStyleTableRecord")(2, "Romans")(70, 0)
   (40, 0.0)(41, 0.8)(50, 0.0)(71, 0)(42, 2.5)(3, "romans.shx")(4, "");
  t(0, "ENDTAB");
  t(0, "TABLE")(2, "APPID")(5, "9")(330, "0")(100, "AcDbSymbolTable")(70, 1);
  t(0, "APPID")(5, "14")(330, "9")(100, "AcDbSymbolTableRecord")(100, "AcDbRegAppTableRecord")(2, "ACAD")(70, 0);
  t(0, "ENDTAB");
  t(0, "TABLE")(2, "DIMSTYLE")(5, "A")(330, "0")(100, "AcDbSymbolTable")(70, 1)(100, "AcDbDimStyleTable")(71, 0);
  t(0, "DIMSTYLE")(105, "15")(330, "A")(100, "AcDbSymbolTableRecord")(100, "AcDbDimStyleTableRecord")(2, "Standard")(70, 0)
   (40, 1.0)(140, 2.5)(271, 2)(340, "12");
  t(0, "ENDTAB");
  t(0, "TABLE")(2, "BLOCK_RECORD")(5, "1")(330, "0")(100, "AcDbSymbolTable")(70, 3);
  t(0, "BLOCK_RECORD")(5, "1F")(330, "1")(100, "AcDbSymbolTableRecord")(100, "AcDbBlockTableRecord")(2, "*Model_Space")(340, "22");
  t(0, "BLOCK_RECORD")(5, "1B")(330, "1")(100, "AcDbSymbolTableRecord")(100, "AcDbBlockTableRecord")(2, "*Paper_Space")(340, "1E");
  t(0, "BLOCK_RECORD")(5, "30")(330, "1")(100, "AcDbSymbolTableRecord")(100, "AcDbBlockTableRecord")(2, "Title")(340, "0");
  t(0, "ENDTAB");
  t(0, "ENDSEC");
  t(0, "SECTION")(2, "BLOCKS");
  auto block = [&](const char* handle, const char* owner, const char* name, const char* end, const std::string& body) {
    t(0, "BLOCK")(5, handle)(330, owner)(100, "AcDbEntity")(8, "0")(100, "AcDbBlockBegin")(2, name)(70, 0)
     (10, 0.0)(20, 0.0)(30, 0.0)(3, name)(1, "");
    t.raw(body);
    t(0, "ENDBLK")(5, end)(330, owner)(100, "AcDbEntity")(8, "0")(100, "AcDbBlockEnd");
  };
  block("20", "1F", "*Model_Space", "21", "");
  block("1C", "1B", "*Paper_Space", "1D", "");
  block("31", "30", "Title", "32", blocksBody);
  t(0, "ENDSEC");
  t(0, "SECTION")(2, "ENTITIES");
  t.raw(entities);
  t(0, "ENDSEC");
  t(0, "SECTION")(2, "OBJECTS");
  t(0, "DICTIONARY")(5, "C")(330, "0")(100, "AcDbDictionary")(281, 1)(3, "ACAD_LAYOUT")(350, "1A");
  t(0, "DICTIONARY")(5, "1A")(102, "{ACAD_REACTORS")(330, "C")(102, "}")(330, "C")(100, "AcDbDictionary")(281, 1)
   (3, "Layout1")(350, "1E")(3, "Model")(350, "22");
  t(0, "LAYOUT")(5, "1E")(330, "1A")(100, "AcDbPlotSettings")(1, "")(100, "AcDbLayout")(1, "Sheet A1")(70, 1)(71, 1)(330, "1B");
  t(0, "LAYOUT")(5, "22")(330, "1A")(100, "AcDbPlotSettings")(1, "")(100, "AcDbLayout")(1, "Model")(70, 1)(71, 0)(330, "1F");
  t.raw(objects);
  t(0, "ENDSEC");
  t(0, "EOF");
  return t.str();
}

std::string drawingWithTextField(const std::string& fields, const std::string& moreEntities) {
  Tags e;
  e(0, "TEXT")(5, "70")(102, "{ACAD_XDICTIONARY")(360, "71")(102, "}")(330, "1F")(100, "AcDbEntity")(8, "0")
   (100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.0)(1, "T.dxf")(100, "AcDbText");
  Tags o;
  o(0, "DICTIONARY")(5, "71")(330, "70")(100, "AcDbDictionary")(280, 1)(281, 1)(3, "ACAD_FIELD")(360, "72");
  o(0, "DICTIONARY")(5, "72")(330, "71")(100, "AcDbDictionary")(280, 1)(281, 1)(3, "TEXT")(360, "73");
  return drawing(e.str() + moreEntities, o.str() + fields);
}

std::unique_ptr<AcDbDatabase> read(const std::string& bytes, cadhost::dxf::ReadResult* out) {
  cadhost::dxf::ReadResult result = cadhost::dxf::readDrawingFromMemory(bytes.data(), bytes.size(), L"test.dxf");
  EXPECT_TRUE(result.ok()) << utf8(result.report());
  std::unique_ptr<AcDbDatabase> db = std::move(result.database);
  if (out != nullptr) *out = std::move(result);
  return db;
}

std::string write(AcDbDatabase* db) {
  std::string bytes;
  const cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawingToMemory(db, bytes);
  EXPECT_TRUE(result.ok) << utf8(result.report());
  return bytes;
}

std::string entitiesWithParts() {
  Tags t;
  t(0, "POLYLINE")(5, "80")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDb2dPolyline")(66, 1)(10, 0.0)(20, 0.0)(30, 0.0)(70, 0);
  t(0, "VERTEX")(5, "81")(330, "80")(100, "AcDbEntity")(8, "0")(100, "AcDbVertex")(100, "AcDb2dVertex")(10, 0.0)(20, 0.0)(30, 0.0);
  t(0, "VERTEX")(5, "82")(330, "80")(100, "AcDbEntity")(8, "0")(100, "AcDbVertex")(100, "AcDb2dVertex")(10, 5.0)(20, 5.0)(30, 0.0);
  t(0, "SEQEND")(5, "83")(330, "80")(100, "AcDbEntity")(8, "0");
  t(0, "INSERT")(5, "90")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbBlockReference")(66, 1)(2, "Title")(10, 0.0)(20, 0.0)(30, 0.0);
  t(0, "ATTRIB")(5, "91")(330, "90")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0)(1, "A-101")
   (100, "AcDbAttribute")(2, "SHEET")(70, 0);
  t(0, "SEQEND")(5, "92")(330, "90")(100, "AcDbEntity")(8, "0");
  return t.str();
}

std::vector<AcDbStub*> stubsOf(AcDbDatabase* db) {
  std::vector<AcDbStub*> stubs;
  for (auto& stub : AcDbCore::imp(db)->stubs) stubs.push_back(&stub);
  return stubs;
}

AcDbObjectId byHandle(AcDbDatabase* db, const wchar_t* hex) {
  AcDbObjectId id;
  db->getAcDbObjectId(id, false, AcDbHandle(hex));
  return id;
}

std::vector<std::string> records(const std::string& bytes) {
  std::vector<std::string> out;
  std::istringstream in(bytes);
  std::string code, value, current;
  while (std::getline(in, code) && std::getline(in, value)) {
    std::string trimmed = code;
    trimmed.erase(0, trimmed.find_first_not_of(' '));
    if (!trimmed.empty() && trimmed.back() == '\r') trimmed.pop_back();
    if (trimmed == "0" && !current.empty()) {
      out.push_back(current);
      current.clear();
    }
    current += code + "\n" + value + "\n";
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

std::vector<std::string> changedRecords(const std::string& before, const std::string& after) {
  const auto a = records(before), b = records(after);
  std::vector<std::string> changed;
  if (a.size() != b.size()) {
    ADD_FAILURE() << "the drawings hold " << a.size() << " and " << b.size() << " records";
    return changed;
  }
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) changed.push_back(b[i]);
  return changed;
}

std::filesystem::path corpus() {
  const char* dir = std::getenv("PELLATON_CORPUS");
  if (dir == nullptr || !std::filesystem::is_directory(dir)) return {};
  return dir;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string utf8(const std::wstring& text) { return cadhost::dxf::toUtf8(text); }

}  // namespace dxftest
