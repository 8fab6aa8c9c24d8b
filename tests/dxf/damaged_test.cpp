// Damaged drawings: each is either repaired and the repair reported, or refused with a message
// that names the problem and its place; never a crash, a hang or a silent partial load.
#include "support.h"

#include <cstring>

using namespace dxftest;
using cadhost::dxf::ReadOptions;
using cadhost::dxf::ReadResult;
using cadhost::dxf::Severity;

namespace {

ReadResult readBytes(const std::string& bytes, bool recover = false) {
  ReadOptions options;
  options.recover = recover;
  return cadhost::dxf::readDrawingFromMemory(bytes.data(), bytes.size(), L"damaged.dxf", options);
}

const cadhost::dxf::Message* errorOf(const ReadResult& result) {
  for (const auto& m : result.messages)
    if (m.severity == Severity::Error) return &m;
  return nullptr;
}

bool mentions(const ReadResult& result, const std::wstring& words) {
  for (const auto& m : result.messages)
    if (m.text.find(words) != std::wstring::npos) return true;
  return false;
}

// Saves a drawing the reader repaired: the save reads back with nothing to repair.
std::string savedClean(AcDbDatabase* db) {
  const std::string saved = write(db);
  const ReadResult again = readBytes(saved);
  EXPECT_TRUE(again.ok()) << utf8(again.report());
  EXPECT_FALSE(again.hasWarnings()) << utf8(again.report()) << "\n" << saved;
  return saved;
}

std::string withText(const std::string& text, const std::string& more = "") {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, text)(100, "AcDbText");
  return drawing(t.str() + more);
}

// A LINE (41) to follow the TEXT.
std::string line() {
  return Tags()(0, "LINE")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)
      (11, 5.0)(21, 0.0)(31, 0.0).str();
}

}  // namespace

TEST(DxfDamaged, TruncatedFileIsRefusedWithWhereItEnds) {
  const std::string whole = withText("note");
  const size_t cut = whole.find("\nnote\n") + 3;  // inside the text's value
  const ReadResult result = readBytes(whole.substr(0, cut));
  ASSERT_FALSE(result.ok());
  const auto* error = errorOf(result);
  ASSERT_NE(error, nullptr);
  EXPECT_NE(error->text.find(L"incomplete"), std::wstring::npos) << utf8(error->text);
  EXPECT_NE(error->text.find(L"ENTITIES"), std::wstring::npos);
  EXPECT_GT(error->line, 100);
}

TEST(DxfDamaged, TruncatedFileRecoveredLosesOnlyWhatIsMissingAndSavesComplete) {
  const std::string whole = withText("note", line());
  // Cut inside the LINE's end point, or between two of its tags: it is left out, cut short.
  for (const size_t cut : {whole.find(" 21\n0.0", whole.find("AcDbLine")) + 2, whole.find(" 21\n0.0", whole.find("AcDbLine"))}) {
  ReadResult result = readBytes(whole.substr(0, cut), true);
  ASSERT_TRUE(result.ok()) << utf8(result.report());
  EXPECT_TRUE(mentions(result, L"(recovered), without the LINE cut short there")) << utf8(result.report());
  ASSERT_NE(object<AcDbText>(result.database.get(), L"40"), nullptr);
  // Saved, it is a complete drawing again: its sections end and the file ends with EOF.
  const std::string saved = write(result.database.get());
  const ReadResult again = readBytes(saved);
  ASSERT_TRUE(again.ok()) << utf8(again.report());
  EXPECT_FALSE(again.hasWarnings()) << utf8(again.report());
  EXPECT_STREQ(object<AcDbText>(again.database.get(), L"40")->textStringConst(), L"note");
  EXPECT_EQ(saved.find("AcDbLine"), std::string::npos);
  }
}

// A section that the file leaves without its ENDSEC (at EOF, or where a recovered file ends) still
// takes new entities at its end, not at the start of the file.
TEST(DxfDamaged, SectionWithoutItsEndTakesNewEntitiesAtItsEnd) {
  const std::string whole = withText("note");
  const size_t endsec = whole.find("  0\nENDSEC", whole.find("ENTITIES"));
  std::string noEndsec = whole;
  noEndsec.erase(endsec, std::string("  0\nENDSEC\n").size());
  // (a recovered file loses the object it is cut in: here a LINE after the TEXT)
  const std::string cut = withText("note", line()).substr(0, endsec + 16);
  for (const auto& [bytes, recover] : {std::pair{noEndsec, false}, std::pair{cut, true}}) {
    ReadResult result = readBytes(bytes, recover);
    ASSERT_TRUE(result.ok()) << utf8(result.report());
    AcDbDatabase* db = result.database.get();
    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto* added = new AcDbText(AcGePoint3d(0, 9, 0), L"added", AcDbObjectId(), 2.5, 0);
    ASSERT_EQ(model->appendAcDbEntity(added), Acad::eOk);
    added->close();
    model->close();
    const std::string saved = write(db);
    const size_t entities = bytes.find("ENTITIES");
    EXPECT_EQ(saved.substr(0, 40), bytes.substr(0, 40));
    EXPECT_NE(saved.find(bytes.substr(entities, endsec - entities) + "  0\nTEXT\n"), std::string::npos)
        << "the new TEXT follows the section's last entity";
    const ReadResult again = readBytes(saved, true);
    ASSERT_TRUE(again.ok()) << utf8(again.report());
    const auto* reread = AcDbCore::objectAs<AcDbBlockTableRecord>(again.database->modelSpaceId());
    ASSERT_EQ(AcDbCore::entities(reread).size(), 2u);
    EXPECT_STREQ(AcDbCore::objectAs<AcDbText>(AcDbCore::entities(reread)[1])->textStringConst(), L"added");
  }
}

// A recovered file that ends inside a block: the save ends that block, and a new block follows it.
TEST(DxfDamaged, NewBlockIsSavedAfterTheBlockARecoveredFileEndsIn) {
  const std::string whole = drawing(Tags()(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")
                                        (10, 0.0)(20, 0.0)(30, 0.0)(40, 2.5)(1, "note")(100, "AcDbText").str());
  const std::string cut = whole.substr(0, whole.find("  0\nENDBLK\n  5\n32\n"));
  ReadResult result = readBytes(cut, true);
  ASSERT_TRUE(result.ok()) << utf8(result.report());
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(result.database->getBlockTable(blocks, AcDb::kForWrite), Acad::eOk);
  auto* block = new AcDbBlockTableRecord;
  block->setName(L"Added");
  AcDbObjectId id;
  ASSERT_EQ(blocks->add(id, block), Acad::eOk);
  block->close();
  blocks->close();
  const std::string saved = savedClean(result.database.get());
  const ReadResult again = readBytes(saved);
  for (const wchar_t* name : {L"Title", L"Added"}) {
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(again.database->getBlockTable(table, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(table->has(name)) << utf8(name);
    table->close();
  }
  EXPECT_LT(saved.find("ENDBLK"), saved.find("Added", saved.find("SECTION\n  2\nBLOCKS")));
}

TEST(DxfDamaged, LineThatIsNoGroupCodeIsRefusedWithItsLine) {
  std::string bytes = withText("note");
  const size_t at = bytes.find(" 40\n2.5");
  bytes.replace(at, 3, "4x0");
  const ReadResult result = readBytes(bytes);
  ASSERT_FALSE(result.ok());
  const auto* error = errorOf(result);
  ASSERT_NE(error, nullptr);
  EXPECT_NE(error->text.find(L"'4x0'"), std::wstring::npos) << utf8(error->text);
  EXPECT_EQ(error->line, static_cast<long long>(std::count(bytes.begin(), bytes.begin() + static_cast<long>(at), '\n')) + 1);
}

TEST(DxfDamaged, WrongValueIsReportedAndSavedAsTheHostHoldsIt) {
  std::string bytes = withText("note");
  bytes.replace(bytes.find(" 40\n2.5"), 7, " 40\nabc");
  ReadResult result;
  auto db = read(bytes, &result);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(mentions(result, L"'abc'"));
  EXPECT_DOUBLE_EQ(object<AcDbText>(db.get(), L"40")->height(), 1.0);  // the host's default
  // ... which the save writes, with what else the host holds of the TEXT (its style), and nothing else.
  std::string expected = bytes;
  expected.replace(expected.find(" 40\nabc"), 7, " 40\n1.0");
  expected.replace(expected.find("  1\nnote\n"), 9, "  1\nnote\n  7\nStandard\n");
  EXPECT_EQ(savedClean(db.get()), expected);
}

TEST(DxfDamaged, HeaderSettingsOutOfRangeAreReportedAndSavedAsTheHostHoldsThem) {
  const std::string good = withText("note");
  std::string bytes = good;
  auto replace = [](std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
  };
  replace(bytes, "$LUNITS\n 70\n2\n", "$LUNITS\n 70\n9\n");
  replace(bytes, "$INSUNITS\n 70\n4\n", "$INSUNITS\n 70\n2310\n");
  replace(bytes, "$LUPREC\n 70\n4\n", "$LUPREC\n 70\nabc\n");
  ReadResult result;
  auto db = read(bytes, &result);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(mentions(result, L"$LUNITS '9', which is not a unit mode")) << utf8(result.report());
  EXPECT_TRUE(mentions(result, L"$INSUNITS '2310', which is not a unit"));
  EXPECT_TRUE(mentions(result, L"$LUPREC 'abc', which is not a precision"));
  EXPECT_EQ(db->lunits(), 2);
  EXPECT_EQ(db->luprec(), 4);
  EXPECT_EQ(db->insunits(), AcDb::kUnitsUndefined);
  // Saved as the host holds them (the default), and nothing else changes.
  std::string expected = good;
  replace(expected, "$INSUNITS\n 70\n4\n", "$INSUNITS\n 70\n0\n");
  EXPECT_EQ(savedClean(db.get()), expected);
}

TEST(DxfDamaged, FieldsNamingThemselvesAsChildrenAreReportedAndTheirReferencesCut) {
  // A FIELD that lists itself three times as its child: expanding it would never end.
  Tags o;
  o(0, "FIELD")(5, "73")(330, "72")(100, "AcDbField")(1, "_text")(2, "%<\\_FldIdx 0>%%<\\_FldIdx 1>%%<\\_FldIdx 2>%")
   (90, 3)(360, "73")(360, "73")(360, "73")(97, 0)(91, 63);
  const std::string bytes = drawingWithTextField(o.str());
  ReadResult result;
  auto db = read(bytes, &result);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(mentions(result, L"names itself")) << utf8(result.report());
  const std::wstring code = object<AcDbText>(db.get(), L"70")->textStringConst();
  std::string expected = bytes;
  const std::string looping = "360\n73\n360\n73\n360\n73\n";
  expected.replace(expected.find(looping), looping.size(), "360\n0\n360\n0\n360\n0\n");
  const std::string saved = savedClean(db.get());
  EXPECT_EQ(saved, expected);
  EXPECT_EQ(std::wstring(object<AcDbText>(read(saved).get(), L"70")->textStringConst()), code);
}

TEST(DxfDamaged, BytesAfterEofAreReportedAndLeftOut) {
  const std::string bytes = withText("note") + "\ngarbage\nafter\n";
  ReadResult result;
  auto db = read(bytes, &result);
  EXPECT_TRUE(mentions(result, L"after EOF"));
  EXPECT_EQ(savedClean(db.get()), withText("note"));
}

TEST(DxfDamaged, DuplicateHandleGetsANewOneAndOnlyThatObjectChanges) {
  Tags t;
  t(0, "LINE")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 0.0)(31, 0.0);
  t(0, "LINE")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 2.0)(21, 0.0)(31, 0.0);
  const std::string bytes = drawing(t.str());
  ReadResult result;
  auto db = read(bytes, &result);
  EXPECT_TRUE(mentions(result, L"already taken")) << utf8(result.report());
  auto* model = AcDbCore::objectAs<AcDbBlockTableRecord>(db->modelSpaceId());
  ASSERT_EQ(AcDbCore::entities(model).size(), 2u);
  const AcDbHandle second = AcDbCore::entities(model)[1].handle();
  EXPECT_EQ(second.value(), 0x200u);  // the first free handle
  const auto changed = changedRecords(bytes, write(db.get()));
  ASSERT_EQ(changed.size(), 2u);  // the header's seed and the second line
  EXPECT_NE(changed[0].find("$HANDSEED\n  5\n201"), std::string::npos) << changed[0];
  EXPECT_NE(changed[1].find("  5\n200\n"), std::string::npos) << changed[1];
}

TEST(DxfDamaged, MissingTablesAreMadeAndReported) {
  Tags t;
  t(0, "SECTION")(2, "HEADER")(9, "$ACADVER")(1, "AC1015")(9, "$HANDSEED")(5, "100")(0, "ENDSEC");
  t(0, "SECTION")(2, "TABLES")(0, "ENDSEC");
  t(0, "SECTION")(2, "ENTITIES");
  t(0, "TEXT")(5, "40")(100, "AcDbEntity")(8, "Notes")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0)(1, "x")(100, "AcDbText");
  t(0, "ENDSEC")(0, "EOF");
  ReadResult result;
  auto db = read(t.str(), &result);
  EXPECT_TRUE(mentions(result, L"no LAYER table")) << utf8(result.report());
  EXPECT_TRUE(mentions(result, L"no BLOCK_RECORD table"));
  auto* text = object<AcDbText>(db.get(), L"40");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text->layer(), L"Notes");
  EXPECT_EQ(text->ownerId(), db->modelSpaceId());
  // What the host made is saved at the end of the TABLES section, and reads back the same.
  const std::string saved = savedClean(db.get());
  for (const char* table : {"  2\nBLOCK_RECORD\n", "  2\nLAYER\n", "  2\nSTYLE\n"})
    EXPECT_LT(saved.find(table), saved.find("ENTITIES")) << table;
  auto again = read(saved);
  EXPECT_STREQ(object<AcDbText>(again.get(), L"40")->layer(), L"Notes");
  EXPECT_EQ(object<AcDbText>(again.get(), L"40")->ownerId(), again->modelSpaceId());
}

TEST(DxfDamaged, EmptyAndForeignFilesAreRefused) {
  for (const std::string& bytes : {std::string(), std::string("\n\n  \n"), std::string("%PDF-1.4\nhello\n"),
                                  std::string("AutoCAD Binary DXF\r\n\x1a", 22)}) {
    const ReadResult result = readBytes(bytes);
    EXPECT_FALSE(result.ok());
    ASSERT_NE(errorOf(result), nullptr);
    EXPECT_FALSE(errorOf(result)->text.empty());
  }
}

TEST(DxfDamaged, WhatIsNoReadableFileIsRefusedWithTheReason) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pellaton-dxf-unreadable";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder.dxf");
  for (const auto& [path, reason] : {std::pair{dir / "folder.dxf", std::wstring(L"it is a folder")},
                                     std::pair{dir / "missing.dxf", std::wstring(L"No such file")}}) {
    const ReadResult result = cadhost::dxf::readDrawing(path.wstring());
    EXPECT_FALSE(result.ok());
    ASSERT_NE(errorOf(result), nullptr);
    EXPECT_NE(errorOf(result)->text.find(L"cannot read " + path.wstring() + L": " + reason), std::wstring::npos)
        << utf8(errorOf(result)->text);
  }
  std::filesystem::remove_all(dir);
}

TEST(DxfDamaged, TruncatedBinaryFileNamesTheByte) {
  Tags t;
  std::string bytes("AutoCAD Binary DXF\r\n\x1a", 22);
  auto code = [&](int c) { bytes.push_back(static_cast<char>(c & 0xFF)); bytes.push_back(static_cast<char>(c >> 8)); };
  auto str = [&](int c, const char* s) { code(c); bytes += s; bytes.push_back('\0'); };
  str(0, "SECTION");
  str(2, "ENTITIES");
  str(0, "LINE");
  str(8, "0");
  code(10);
  bytes += std::string("\0\0\0", 3);  // a double cut short
  const ReadResult result = readBytes(bytes);
  ASSERT_FALSE(result.ok());
  ASSERT_NE(errorOf(result), nullptr);
  EXPECT_EQ(errorOf(result)->line, -1);
  EXPECT_EQ(errorOf(result)->offset, static_cast<long long>(bytes.size()) - 5);  // where the cut tag begins
}

TEST(DxfDamaged, StructureErrorsAreRepairedAndReported) {
  // A section without ENDSEC, an entity outside any block, a block without ENDBLK.
  Tags t;
  t(0, "SECTION")(2, "BLOCKS");
  t(0, "LINE")(8, "0")(10, 0.0)(20, 0.0)(11, 1.0)(21, 1.0);
  t(0, "BLOCK")(8, "0")(2, "A")(70, 0)(10, 0.0)(20, 0.0)(3, "A");
  t(0, "CIRCLE")(8, "0")(10, 0.0)(20, 0.0)(40, 1.0);
  t(0, "BLOCK")(8, "0")(2, "B")(70, 0)(10, 0.0)(20, 0.0)(3, "B");
  t(0, "ENDBLK")(8, "0");
  t(0, "SECTION")(2, "ENTITIES");
  t(0, "INSERT")(8, "0")(2, "A")(10, 0.0)(20, 0.0);
  t(0, "ENDSEC")(0, "EOF");
  ReadResult result;
  auto db = read(t.str(), &result);
  EXPECT_TRUE(mentions(result, L"outside any block")) << utf8(result.report());
  EXPECT_TRUE(mentions(result, L"no ENDBLK"));
  EXPECT_TRUE(mentions(result, L"no ENDSEC"));
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* a = nullptr;
  ASSERT_EQ(blocks->getAt(L"A", a, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(a->entityCount(), 1);
  a->close();
  blocks->close();
  // Saved: the stray LINE is left out, the block and the section are ended.
  const std::string saved = savedClean(db.get());
  Tags mended;
  mended(0, "SECTION")(2, "BLOCKS");
  mended(0, "BLOCK")(8, "0")(2, "A")(70, 0)(10, 0.0)(20, 0.0)(3, "A");
  mended(0, "CIRCLE")(8, "0")(10, 0.0)(20, 0.0)(40, 1.0);
  mended(0, "ENDBLK")(5, "1")(8, "0");
  mended(0, "BLOCK")(8, "0")(2, "B")(70, 0)(10, 0.0)(20, 0.0)(3, "B");
  mended(0, "ENDBLK")(8, "0");
  mended(0, "ENDSEC");
  mended(0, "SECTION")(2, "ENTITIES");
  mended(0, "INSERT")(8, "0")(2, "A")(10, 0.0)(20, 0.0);
  mended(0, "ENDSEC")(0, "EOF");
  EXPECT_EQ(saved, mended.str());
}

TEST(DxfDamaged, HugeAndZeroHandlesAreNotTrusted) {
  Tags t;
  t(0, "LINE")(5, "FFFFFFFFFFFFFFFF")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 0.0)(31, 0.0);
  t(0, "LINE")(5, "ZZ")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 0.0)(31, 0.0);
  const std::string bytes = drawing(t.str());
  ReadResult result;
  auto db = read(bytes, &result);
  EXPECT_TRUE(mentions(result, L"'ZZ' is not a handle"));
  // Both lines are there with handles the database can give out again without clashes.
  auto* model = AcDbCore::objectAs<AcDbBlockTableRecord>(db->modelSpaceId());
  ASSERT_EQ(AcDbCore::entities(model).size(), 2u);
  EXPECT_LT(AcDbCore::entities(model)[0].handle().value(), 0x1000u);
  // Saved with their new handles (and the seed above them).
  const std::string saved = savedClean(db.get());
  EXPECT_NE(saved.find("  5\n200\n"), std::string::npos);
  EXPECT_NE(saved.find("  5\n201\n"), std::string::npos);
  EXPECT_EQ(saved.find("ZZ"), std::string::npos);
  EXPECT_EQ(saved.find("FFFFFFFFFFFFFFFF"), std::string::npos);
}

namespace {

// A HATCH (50) with one boundary path of four lines, and a DICTIONARY (60) with reactors.
std::string hatchAndDictionary(const std::string& entities, std::string* objects) {
  Tags o;
  o(0, "DICTIONARY")(5, "60")(102, "{ACAD_REACTORS")(330, "C")(102, "}")(330, "C")(100, "AcDbDictionary")(281, 1);
  *objects = o.str();
  Tags h;
  h(0, "HATCH")(5, "50")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbHatch")(10, 0.0)(20, 0.0)(30, 0.0)
   (210, 0.0)(220, 0.0)(230, 1.0)(2, "SOLID")(70, 1)(71, 0)(91, 1)(92, 1)(93, 1)(72, 1)(10, 0.0)(20, 0.0)(11, 5.0)(21, 0.0)
   (97, 0)(75, 0)(76, 1)(98, 0);
  return entities + h.str();
}

struct Damage {
  const char* name;
  std::string (*damaged)();  // the damaged drawing
  const wchar_t* said;       // what the message says (with a place)
  const char* saved;         // what the save holds instead (empty: nothing to look for)
  const char* gone;          // what it no longer holds
};

std::string replaced(std::string text, const std::string& from, const std::string& to, size_t after = 0) {
  text.replace(text.find(from, after), from.size(), to);
  return text;
}

std::string withHatch() {
  std::string objects;
  const std::string entities = hatchAndDictionary(entitiesWithParts(), &objects);
  return drawing(entities, objects);
}

const Damage kDamages[] = {
    {"a real holding letters", [] { return replaced(withHatch(), " 20\n0.0\n 30\n0.0\n 40\n1.0", " 20\n0.0\n 30\n0.0\n 40\n12n5"); },
     L"holds '12n5', which is not a number", "", "12n5"},
    {"a real holding nothing", [] { return replaced(withHatch(), " 40\n1.0\n  1\nA-101", " 40\n\n  1\nA-101"); },
     L"holds '', which is not a number", " 40\n0.0\n  1\nA-101", ""},
    {"a handle that is none", [] { return replaced(withHatch(), "  5\n50\n", "  5\nG1\n"); },
     L"'G1' is not a handle the host can use; the HATCH gets the new handle 200", "  5\n200\n", "G1"},
    {"a group code out of range", [] { return replaced(withHatch(), "  2\nSOLID\n", "  2\nSOLID\n1234567\n5\n"); },
     L"group code 1234567 of HATCH is not a group code", "", "1234567"},
    {"a real where a whole number goes", [] { return replaced(withHatch(), " 71\n0\n", " 71\n2.5\n"); },
     L"holds '2.5', which is not a whole number; a save writes 0 there", " 71\n0\n", " 71\n2.5"},
    {"a whole number too large", [] { return replaced(withHatch(), " 76\n1\n", " 76\n99999999999999999999\n"); },
     L"is too large for it; a save writes 0 there", " 76\n0\n", "99999999999999999999"},
    {"letters in an integer of a HATCH", [] { return replaced(withHatch(), " 93\n1\n", " 93\nabc\n"); },
     L"group code 93 of HATCH holds 'abc', which is not a whole number", " 93\n0\n", "abc"},
    {"reactors never closed", [] { return replaced(withHatch(), "330\nC\n102\n}\n330\nC\n100\nAcDbDictionary", "330\nC\n330\nC\n100\nAcDbDictionary"); },
     L"an application group of this DICTIONARY has no closing '}'", "{ACAD_REACTORS\n330\nC\n102\n}\n330\nC\n100\nAcDbDictionary", ""},
    {"a point's x without its y", [] { return replaced(withHatch(), " 11\n5.0\n 21\n0.0\n", " 11\n5.0\n"); },
     L"group code 11 of HATCH is a point's x without its y", " 11\n5.0\n 21\n0.0\n", ""},
    {"a section without ENDSEC", [] { return replaced(withHatch(), "  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS", "  0\nSECTION\n  2\nOBJECTS"); },
     L"the ENTITIES section has no ENDSEC before the next SECTION", "  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS", ""},
    {"an EOF in the middle", [] { return replaced(withHatch(), "  0\nINSERT\n", "  0\nEOF\n  0\nINSERT\n"); },
     L"the ENTITIES section has no ENDSEC before EOF", "  0\nSEQEND\n  5\n83\n330\n80\n100\nAcDbEntity\n  8\n0\n  0\nENDSEC\n  0\nEOF\n", "INSERT"},
    {"a table without ENDTAB", [] { return replaced(withHatch(), "Continuous\n  0\nENDTAB\n", "Continuous\n"); },
     L"the table before has no ENDTAB", "Continuous\n  0\nENDTAB\n", ""},
    {"a block without ENDBLK", [] { return replaced(withHatch(), "  0\nENDBLK\n  5\n32\n330\n30\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockEnd\n", ""); },
     L"the block 'Title' has no ENDBLK", "  0\nENDBLK\n  5\n200\n330\n30\n", ""},
    {"a POLYLINE without SEQEND", [] { return replaced(withHatch(), "  0\nSEQEND\n  5\n83\n330\n80\n100\nAcDbEntity\n  8\n0\n", ""); },
     L"the POLYLINE before has no SEQEND", "  0\nSEQEND\n  5\n200\n330\n80\n100\nAcDbEntity\n  8\n0\n  0\nINSERT", ""},
    {"a VERTEX of no POLYLINE", [] { return replaced(withHatch(), "  0\nINSERT\n", "  0\nVERTEX\n  8\n0\n 10\n1.0\n 20\n1.0\n  0\nINSERT\n"); },
     L"a VERTEX that follows no POLYLINE or INSERT; a save leaves it out", "", " 10\n1.0\n 20\n1.0\n  0\nINSERT"},
    {"a stray ENDSEC", [] { return replaced(withHatch(), "  0\nSECTION\n  2\nENTITIES", "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES"); },
     L"ENDSEC without a SECTION; a save leaves it out", "", "ENDSEC\n  0\nENDSEC"},
    {"a layer named twice", [] { return replaced(withHatch(), "  0\nENDTAB\n", "  0\nLAYER\n  5\nF0\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n  2\nNotes\n 70\n0\n 62\n1\n  0\nENDTAB\n"); },
     L"a second LAYER named 'Notes'; it is renamed 'Notes (2)'", "  2\nNotes (2)\n", ""},
    {"a second LAYER table", [] { return replaced(withHatch(), "  0\nENDSEC\n  0\nSECTION\n  2\nBLOCKS", "  0\nTABLE\n  2\nLAYER\n  5\nF1\n 70\n1\n  0\nLAYER\n  5\nF2\n330\nF1\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n  2\nExtra\n 70\n0\n 62\n5\n  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nBLOCKS"); },
     L"a second LAYER table; its records join the first one", "  2\nExtra\n 70\n0\n 62\n5\n  0\nENDTAB\n  0\nTABLE\n  2\nSTYLE", "  5\nF1\n"},
    {"a block of no record", [] { return replaced(withHatch(), "  0\nBLOCK_RECORD\n  5\n30\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n  2\nTitle\n340\n0\n", ""); },
     L"the block 'Title' has no block record; the host makes one named 'Title'", "  0\nBLOCK_RECORD\n  5\n200\n", ""},
    {"an INSERT of no block", [] { return replaced(withHatch(), "  2\nTitle\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  0\nATTRIB", "  2\nNowhere\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  0\nATTRIB"); },
     L"the INSERT names the block 'Nowhere', which the drawing does not define; the host makes an empty block", "  2\nNowhere\n", ""},
    {"a version that is none", [] { return replaced(withHatch(), "AC1015", "AC10Z5"); },
     L"the version 'AC10Z5' in $ACADVER is unknown", "  1\nAC1032\n", "AC10Z5"},
    {"a code page that is none", [] { return replaced(withHatch(), "ANSI_1252", "ANSI_12X2"); },
     L"'ANSI_12X2' in $DWGCODEPAGE is not a code page", "  3\nANSI_1252\n", "ANSI_12X2"},
    {"a handle seed that is none", [] { return replaced(withHatch(), "$HANDSEED\n  5\n200\n", "$HANDSEED\n  5\nG1\n"); },
     L"the handle seed $HANDSEED 'G1' is not a handle the host can use", "$HANDSEED\n  5\n", "G1"},
    {"a header variable without '$'", [] { return replaced(withHatch(), "$CLAYER", "CLAYER"); },
     L"the header variable 'CLAYER' has a name without '$'; a save leaves it out", "", "CLAYER"},
    {"a tag outside any object", [] { return replaced(withHatch(), "  2\nENTITIES\n", "  2\nENTITIES\n  8\nstray\n"); },
     L"group code 8 stands outside any object; a save leaves it out", "", "stray"},
};

}  // namespace

// Each kind of damage, in a drawing with something in every section: reported with its place; the
// save writes what the host holds, reads back with nothing to report, and saves again as it is.
TEST(DxfDamaged, EveryKindOfDamageIsReportedAndSavedMended) {
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(damage.name);
    const std::string bytes = damage.damaged();
    ReadResult result = readBytes(bytes);
    ASSERT_TRUE(result.ok()) << utf8(result.report());
    bool said = false;
    for (const auto& m : result.messages) {
      EXPECT_GT(m.line, 0) << utf8(m.text);
      said = said || m.text.find(damage.said) != std::wstring::npos;
    }
    EXPECT_TRUE(said) << utf8(result.report());
    const std::string saved = savedClean(result.database.get());
    if (*damage.saved) {
      EXPECT_NE(saved.find(damage.saved), std::string::npos) << damage.saved;
    }
    if (*damage.gone) {
      EXPECT_EQ(saved.find(damage.gone), std::string::npos) << damage.gone;
    }
    auto again = read(saved);
    EXPECT_TRUE(write(again.get()) == saved) << "the save saves again as it is";
  }
}

// A binary drawing: a group code a flipped bit makes one no drawing uses is read past (the code one
// bit away tells its value's length) and left out; a file cut short is recovered.
TEST(DxfDamaged, BinaryDrawingsWithAFlippedGroupCodeOrCutShort) {
  std::string bytes("AutoCAD Binary DXF\r\n\x1a", 22);
  auto code = [&](int c) { bytes.push_back(static_cast<char>(c & 0xFF)); bytes.push_back(static_cast<char>((c >> 8) & 0xFF)); };
  auto str = [&](int c, const char* s) { code(c); bytes += s; bytes.push_back('\0'); };
  auto real = [&](int c, double v) { code(c); bytes.append(reinterpret_cast<const char*>(&v), 8); };
  str(0, "SECTION");
  str(2, "HEADER");
  str(9, "$ACADVER");
  str(1, "AC1015");
  str(0, "ENDSEC");
  str(0, "SECTION");
  str(2, "ENTITIES");
  for (int n = 0; n < 3; ++n) {
    str(0, "LINE");
    str(5, n == 0 ? "40" : n == 1 ? "41" : "42");
    str(8, "0");
    real(10, 1.0 + n);
    real(20, 2.0);
    real(11, 3.0);
    real(21, 4.0);
  }
  str(0, "ENDSEC");
  str(0, "EOF");
  std::string flipped = bytes;
  const size_t second = flipped.find(std::string("41\0", 3));
  const size_t start = flipped.find(std::string("\x0a\0", 2), second);  // the second LINE's 10
  flipped[start + 1] ^= 0x40;
  ReadResult result = readBytes(flipped);
  ASSERT_TRUE(result.ok()) << utf8(result.report());
  ASSERT_EQ(result.messages.size(), 1u) << utf8(result.report());
  EXPECT_EQ(result.messages[0].offset, static_cast<long long>(start));
  EXPECT_NE(result.messages[0].text.find(L"group code 16394 of LINE is not a group code"), std::wstring::npos);
  // Saved with the start as the host holds it (its x unread: 0), and the LINE after it whole.
  const std::string saved = savedClean(result.database.get());
  auto again = read(saved);
  ASSERT_NE(object<AcDbLine>(again.get(), L"41"), nullptr);
  EXPECT_DOUBLE_EQ(object<AcDbLine>(again.get(), L"41")->startPoint().x, 0.0);
  EXPECT_DOUBLE_EQ(object<AcDbLine>(again.get(), L"41")->startPoint().y, 2.0);
  EXPECT_DOUBLE_EQ(object<AcDbLine>(again.get(), L"42")->startPoint().x, 3.0);
  // Cut inside the third LINE: recovered without it, and ended.
  ReadResult cut = readBytes(bytes.substr(0, bytes.size() - 30), true);
  ASSERT_TRUE(cut.ok()) << utf8(cut.report());
  EXPECT_GT(cut.messages.back().offset, 0);
  const std::string recovered = savedClean(cut.database.get());
  auto reread = read(recovered);
  EXPECT_NE(object<AcDbLine>(reread.get(), L"41"), nullptr);
  EXPECT_EQ(object<AcDbLine>(reread.get(), L"42"), nullptr);
}

// A file cut short loses what followed the cut: a save leaves out the references to it (a
// dictionary's entries), and the object the cut went through.
TEST(DxfDamaged, RecoveredFileSavesNoReferenceToWhatItLost) {
  Tags o;
  o(0, "DICTIONARY")(5, "60")(330, "C")(100, "AcDbDictionary")(281, 1)(3, "Kept")(350, "61")(3, "Cut")(350, "62")
   (3, "Lost")(350, "63");
  for (const char* handle : {"61", "62", "63"})
    o(0, "XRECORD")(5, handle)(330, "60")(100, "AcDbXrecord")(280, 1)(1, "data");
  const std::string whole = drawing("", o.str());
  ReadResult result = readBytes(whole.substr(0, whole.find("  5\n62\n") + 5), true);
  ASSERT_TRUE(result.ok()) << utf8(result.report());
  EXPECT_TRUE(mentions(result, L"without the XRECORD cut short there")) << utf8(result.report());
  const std::string saved = savedClean(result.database.get());
  EXPECT_NE(saved.find("  3\nKept\n350\n61\n"), std::string::npos);
  EXPECT_EQ(saved.find("Cut"), std::string::npos);
  EXPECT_EQ(saved.find("Lost"), std::string::npos);
}

// An entity whose owner is no block goes to model space. A save writes that space's handle where
// the file shows it (a BLOCK_RECORD table the host made for a drawing that lost its own), and
// otherwise no owner; never a reference the saved file does not resolve, even where the record
// holds a second 330 tag in the owner's place (here after an application group whose "{" was lost).
TEST(DxfDamaged, AnOwnerOfNoBlockIsSavedAsItsSpaceOrAsNoOwner) {
  const std::string text = Tags()(0, "TEXT")(5, "40")(102, "ACAD_REACTORS")(330, "17")(102, "}")(330, "17")
                               (100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0)(1, "x")
                               (100, "AcDbText").str();
  auto withBlocks = [&](const std::string& blocks) {
    Tags t;
    t(0, "SECTION")(2, "HEADER")(9, "$ACADVER")(1, "AC1015")(9, "$HANDSEED")(5, "100")(0, "ENDSEC");
    t(0, "SECTION")(2, "TABLES")(0, "ENDSEC");
    t(0, "SECTION")(2, "BLOCKS").raw(blocks)(0, "ENDSEC");
    t(0, "SECTION")(2, "ENTITIES").raw(text)(0, "ENDSEC")(0, "EOF");
    return t.str();
  };
  // The host made the block records, and writes them with their handles.
  {
    ReadResult result;
    auto db = read(withBlocks(""), &result);
    EXPECT_TRUE(mentions(result, L"the owner 17 of this TEXT is no block; it goes to model space, and a save writes "
                                 L"that space's handle there")) << utf8(result.report());
    const std::string saved = savedClean(db.get());
    ACHAR hex[20];
    ASSERT_TRUE(db->modelSpaceId().handle().getIntoAsciiBuffer(hex, 20));
    const std::string space = "330\n" + utf8(hex) + "\n";
    const size_t record = saved.find("  0\nTEXT\n");
    EXPECT_EQ(saved.find(space, record), saved.find("330\n", record)) << saved.substr(record);
    auto again = read(saved);
    EXPECT_EQ(object<AcDbText>(again.get(), L"40")->ownerId(), again->modelSpaceId());
  }
  // Model space is a BLOCK the file gave no handle.
  {
    Tags blocks;
    blocks(0, "BLOCK")(8, "0")(2, "*Model_Space")(70, 0)(10, 0.0)(20, 0.0)(30, 0.0)(3, "*Model_Space")(0, "ENDBLK")(8, "0");
    ReadResult result;
    auto db = read(withBlocks(blocks.str()), &result);
    EXPECT_TRUE(mentions(result, L"the owner 17 of this TEXT is no block; it goes to model space, and a save leaves "
                                 L"the reference out")) << utf8(result.report());
    const std::string saved = savedClean(db.get());
    const size_t record = saved.find("  0\nTEXT\n");
    EXPECT_EQ(saved.find("330\n0\n", record), saved.find("330\n", record)) << saved.substr(record);
  }
}

// A BLOCK or a LAYOUT standing among the entities is read as an entity: a value the host
// cannot use in it is saved as the host holds it, as in any other entity.
TEST(DxfDamaged, ABlockOrLayoutAmongTheEntitiesIsSavedMended) {
  for (const char* type : {"BLOCK", "LAYOUT"}) {
    SCOPED_TRACE(type);
    // (an R12 drawing that gives only its entities)
    const std::string bytes = Tags()(0, "SECTION")(2, "ENTITIES")(0, type)(8, "0")(62, 300)(0, "ENDSEC")(0, "EOF").str();
    ReadResult result;
    auto db = read(bytes, &result);
    EXPECT_TRUE(mentions(result, L"group code 62 of " + std::wstring(type, type + std::strlen(type)) + L" holds '300'"))
        << utf8(result.report());
    const std::string saved = savedClean(db.get());
    EXPECT_EQ(saved.find("\n300\n"), std::string::npos);
  }
}

// Flags too large for their group code are saved as the host holds them: the bits it does not
// model are not kept from a value it could not use.
TEST(DxfDamaged, FlagsTooLargeForTheirCodeAreSavedAsTheHostHoldsThem) {
  for (const char* table : {"LAYER", "STYLE"}) {
    SCOPED_TRACE(table);
    Tags t;
    t(0, "SECTION")(2, "TABLES")(0, "TABLE")(2, table)(0, table)(2, "A")(70, 91847)(0, "ENDTAB")(0, "ENDSEC")(0, "EOF");
    ReadResult result;
    auto db = read(t.str(), &result);
    EXPECT_TRUE(mentions(result, L"holds '91847', which is too large for it; a save writes 0 there")) << utf8(result.report());
    const std::string saved = savedClean(db.get());
    EXPECT_EQ(saved.find("91847"), std::string::npos);
  }
}
