// Damaged drawings: each is either repaired and the repair reported, or refused with a message
// that names the problem and its place; never a crash, a hang or a silent partial load.
#include "support.h"

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
