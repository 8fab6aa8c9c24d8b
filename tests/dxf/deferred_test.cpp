// Entities that stay in their file until they are first used: which ones do, what they are known
// by before they are made, how they are written, and what happens when the file changes under them.
#include <fstream>

#include "support.h"

using namespace dxftest;

namespace {

AcDbStub* stubOf(AcDbDatabase* db, const wchar_t* handle) { return byHandle(db, handle).stub(); }

std::string plainEntities() {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "Notes")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, "a note")(7, "Romans")(100, "AcDbText");
  t(0, "LINE")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 4.0)(21, 3.0)(31, 0.0);
  t(0, "MTEXT")(5, "42")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbMText")(10, 0.0)(20, 9.0)(30, 0.0)(40, 2.0)(41, 30.0)
   (71, 1)(1, "first\\Psecond");
  t(0, "POINT")(5, "43")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbPoint")(10, 7.0)(20, 7.0)(30, 0.0);
  t(0, "INSERT")(5, "44")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbBlockReference")(2, "Title")(10, 50.0)(20, 0.0)(30, 0.0);
  return t.str();
}

// Entities the reader has to read at once: a value it cannot use, a POLYLINE with its vertices, an
// INSERT with attributes, an entity with an extension dictionary, and one whose handle is taken.
std::string entitiesReadAtOnce() {
  Tags t;
  t(0, "TEXT")(5, "50")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, "tall")
   (1, "bad height")(100, "AcDbText");
  t(0, "CIRCLE")(5, "57")(102, "{ACAD_XDICTIONARY")(360, "58")(102, "}")(330, "1F")(100, "AcDbEntity")(8, "0")
   (100, "AcDbCircle")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0);
  t(0, "LINE")(5, "59")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 0.0)(31, 0.0);
  t(0, "CIRCLE")(5, "59")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbCircle")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.0);
  return t.str() + entitiesWithParts();
}

// A drawing of about 1.5 MB (large enough to be mapped rather than copied): texts in model space.
std::string largeDrawing() {
  Tags t;
  for (int i = 0; i < 6000; ++i) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "%X", 0x1000 + i);
    t(0, "TEXT")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, double(i))(30, 0.0)(40, 2.5)
     (1, "line " + std::to_string(i) + ": a note of some length, as drawings have them, to fill the file")(100, "AcDbText");
  }
  return drawing(t.str());
}

std::filesystem::path freshFolder(const char* name) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::unique_ptr<AcDbDatabase> readFromDisk(const std::filesystem::path& path) {
  cadhost::dxf::ReadResult result = cadhost::dxf::readDrawing(path.wstring());
  EXPECT_TRUE(result.ok()) << utf8(result.report());
  return std::move(result.database);
}

}  // namespace

TEST(DxfDeferred, PlainEntitiesAreKnownByClassAndMadeWhenFirstUsed) {
  const std::string bytes = drawing(plainEntities());
  auto db = read(bytes);
  const std::pair<const wchar_t*, AcRxClass*> expected[] = {
      {L"40", AcDbText::desc()}, {L"41", AcDbLine::desc()}, {L"42", AcDbMText::desc()},
      {L"43", AcDbUnmodeledEntity::desc()}, {L"44", AcDbBlockReference::desc()}};
  for (const auto& [handle, cls] : expected) {
    AcDbStub* stub = stubOf(db.get(), handle);
    ASSERT_NE(stub, nullptr) << utf8(handle);
    EXPECT_TRUE(stub->isDeferred()) << utf8(handle);
    EXPECT_EQ(AcDbObjectId(stub).objectClass(), cls) << utf8(handle);
    EXPECT_TRUE(AcDbObjectId(stub).isValid());
  }
  // The model space lists them in file order, made or not.
  const auto* model = AcDbCore::objectAs<AcDbBlockTableRecord>(db->modelSpaceId());
  ASSERT_EQ(AcDbCore::entities(model).size(), 5u);
  EXPECT_EQ(AcDbCore::entities(model)[0], byHandle(db.get(), L"40"));

  // An unchanged save makes none of them and gives back the file.
  EXPECT_EQ(write(db.get()), bytes);
  EXPECT_TRUE(stubOf(db.get(), L"40")->isDeferred());

  // Opened, each is what the file says, owned by model space, and not new; making it is no change
  // of the drawing.
  const auto changesBefore = AcDbCore::imp(db.get())->changeCount;
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, byHandle(db.get(), L"40"), AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(text->textStringConst(), L"a note");
  EXPECT_EQ(text->position(), AcGePoint3d(1, 2, 0));
  EXPECT_EQ(text->layerId(), byHandle(db.get(), L"11"));
  EXPECT_EQ(text->textStyle(), byHandle(db.get(), L"13"));
  EXPECT_EQ(text->ownerId(), db->modelSpaceId());
  EXPECT_FALSE(text->isNewObject());
  text->close();
  EXPECT_FALSE(stubOf(db.get(), L"40")->isDeferred());
  EXPECT_EQ(AcDbCore::imp(db.get())->changeCount, changesBefore);
  EXPECT_STREQ(object<AcDbMText>(db.get(), L"42")->contentsConst(), L"first\\Psecond");
  EXPECT_EQ(object<AcDbLine>(db.get(), L"41")->endPoint(), AcGePoint3d(4, 3, 0));
  EXPECT_EQ(object<AcDbBlockReference>(db.get(), L"44")->blockTableRecord(), byHandle(db.get(), L"30"));
  EXPECT_EQ(write(db.get()), bytes);

  // A change of one leaves the others in the file and changes only its record.
  AcDbMText* mtext = nullptr;
  ASSERT_EQ(acdbOpenObject(mtext, byHandle(db.get(), L"42"), AcDb::kForWrite), Acad::eOk);
  mtext->setContents(L"changed");
  mtext->close();
  const auto changed = changedRecords(bytes, write(db.get()));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_NE(changed[0].find("changed"), std::string::npos);
}

TEST(DxfDeferred, EntitiesWithProblemsPartsOrDictionariesAreReadAtOnce) {
  const std::string bytes = drawing(entitiesReadAtOnce());
  cadhost::dxf::ReadResult result;
  auto db = read(bytes, &result);
  for (const wchar_t* handle : {L"50", L"57", L"80", L"81", L"90", L"91"}) {
    ASSERT_NE(stubOf(db.get(), handle), nullptr) << utf8(handle);
    EXPECT_FALSE(stubOf(db.get(), handle)->isDeferred()) << utf8(handle);
  }
  // The bad value is reported once, when the file is read.
  size_t reports = 0;
  for (const auto& m : result.messages) reports += m.text.find(L"'tall'") != std::wstring::npos ? 1 : 0;
  EXPECT_EQ(reports, 1u);
  EXPECT_STREQ(object<AcDbText>(db.get(), L"50")->textStringConst(), L"bad height");
  // Of two entities with one handle, the first keeps it (and may stay in the file); the second gets
  // a new handle and is read at once.
  EXPECT_TRUE(stubOf(db.get(), L"59")->isDeferred());
  EXPECT_EQ(AcDbObjectId(stubOf(db.get(), L"59")).objectClass(), AcDbLine::desc());
  bool rehandled = false;
  for (const auto& m : result.messages) rehandled |= m.text.find(L"already taken") != std::wstring::npos;
  EXPECT_TRUE(rehandled);
  auto again = read(write(db.get()));
  EXPECT_NE(object<AcDbLine>(again.get(), L"59"), nullptr);
}

TEST(DxfDeferred, ErasedOrRenamedOwnersAndNamesReachEntitiesStillInTheFile) {
  Tags block;
  block(0, "LINE")(5, "60")(330, "30")(100, "AcDbEntity")(8, "Notes")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 1.0)(31, 0.0);
  const std::string bytes = drawing(plainEntities(), "", block.str());
  auto db = read(bytes);
  ASSERT_TRUE(stubOf(db.get(), L"60")->isDeferred());
  // Renaming the layer rewrites the TEXT on it, which is made to be written.
  AcDbLayerTableRecord* layer = nullptr;
  ASSERT_EQ(acdbOpenObject(layer, byHandle(db.get(), L"11"), AcDb::kForWrite), Acad::eOk);
  layer->setIsLocked(false);
  ASSERT_EQ(layer->setName(L"Annotations"), Acad::eOk);
  layer->close();
  std::string saved = write(db.get());
  EXPECT_EQ(saved.find("  8\nNotes\n"), std::string::npos);
  EXPECT_NE(saved.find("  8\nAnnotations\n"), std::string::npos);
  EXPECT_STREQ(object<AcDbText>(read(saved).get(), L"40")->textStringConst(), L"a note");
  // Erasing the block leaves out the line in it, which is never made.
  AcDbBlockTableRecord* title = nullptr;
  ASSERT_EQ(acdbOpenObject(title, byHandle(db.get(), L"30"), AcDb::kForWrite), Acad::eOk);
  AcDbCore::setErased(title, true);
  title->close();
  saved = write(db.get());
  EXPECT_EQ(saved.find("LINE\n  5\n60\n"), std::string::npos);
  EXPECT_NE(saved.find("LINE\n  5\n41\n"), std::string::npos);
}

#if !defined(_WIN32)
TEST(DxfDeferred, ALargeFileIsMappedAndAChangeByAnotherProgramIsNoticed) {
  const std::filesystem::path dir = freshFolder("pellaton-dxf-deferred");
  const std::filesystem::path path = dir / "large.dxf";
  const std::string bytes = largeDrawing();
  ASSERT_GT(bytes.size(), 1u << 20);
  { std::ofstream(path, std::ios::binary) << bytes; }
  auto db = readFromDisk(path);
  ASSERT_TRUE(stubOf(db.get(), L"1000")->isDeferred());

  // Saving over its own file: the parts still in the file stay readable (the old file lives on
  // while it is open), and the next save gives the same bytes.
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, byHandle(db.get(), L"1000"), AcDb::kForWrite), Acad::eOk);
  text->setTextString(L"first line, changed");
  text->close();
  cadhost::dxf::WriteResult saved = cadhost::dxf::writeDrawing(db.get(), path.wstring());
  ASSERT_TRUE(saved.ok) << utf8(saved.report());
  const std::string afterSave = readFile(path);
  const auto changed = changedRecords(bytes, afterSave);  // the text, and the header's handle seed
  ASSERT_EQ(changed.size(), 2u);
  EXPECT_NE(changed[1].find("first line, changed"), std::string::npos);
  EXPECT_STREQ(object<AcDbText>(db.get(), L"1FFF")->textStringConst(),
               L"line 4095: a note of some length, as drawings have them, to fill the file");
  ASSERT_TRUE(cadhost::dxf::writeDrawing(db.get(), path.wstring()).ok);
  EXPECT_EQ(readFile(path), afterSave);

  // Another program cuts the file the drawing was read from short: what is still in it can no
  // longer be made, and the drawing cannot be saved from it; nothing crashes, nothing is written.
  auto other = readFromDisk(path);
  ASSERT_TRUE(stubOf(other.get(), L"1001")->isDeferred());
  std::filesystem::resize_file(path, 1000);
  EXPECT_EQ(acdbOpenObject(text, byHandle(other.get(), L"1700"), AcDb::kForRead), Acad::eKeyNotFound);
  const std::filesystem::path copy = dir / "copy.dxf";
  saved = cadhost::dxf::writeDrawing(other.get(), copy.wstring());
  EXPECT_FALSE(saved.ok);
  EXPECT_NE(saved.report().find(L"changed by another program"), std::wstring::npos) << utf8(saved.report());
  EXPECT_FALSE(std::filesystem::exists(copy));
  std::filesystem::remove_all(dir);
}
#endif
