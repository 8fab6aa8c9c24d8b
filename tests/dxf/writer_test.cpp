// Writing drawings: what changes in the file after edits, and only that.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include <sys/resource.h>

#include "../../cadhost/core/hostservices.h"
#include "../../cadhost/sdk/acdocman.h"
#include "outputfile.h"
#include "support.h"

using namespace dxftest;

namespace {

std::string twoTexts() {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)
   (1, "first")(100, "AcDbText");
  t(0, "TEXT")(5, "41")(102, "{ACAD_REACTORS")(330, "43")(102, "}")(330, "1F")(100, "AcDbEntity")(8, "0")
   (100, "AcDbText")(10, 1.0)(20, 5.0)(30, 0.0)(40, 2.5)(1, "second")(7, "Romans")(72, 1)(11, 3.0)(21, 5.0)(31, 0.0)
   (100, "AcDbText")(73, 0)(1001, "APPX")(1000, "kept");
  return t.str();
}

std::string groupObject() {
  Tags o;
  o(0, "GROUP")(5, "43")(330, "C")(100, "AcDbGroup")(300, "")(70, 0)(71, 1)(340, "40")(340, "41");
  o(0, "SORTENTSTABLE")(5, "44")(330, "C")(100, "AcDbSortentsTable")(330, "1F")(331, "41")(5, "90")(331, "40")(5, "91");
  return o.str();
}

template <class T>
T* openForWrite(AcDbDatabase* db, const wchar_t* handle) {
  T* obj = nullptr;
  EXPECT_EQ(acdbOpenObject(obj, byHandle(db, handle), AcDb::kForWrite), Acad::eOk);
  return obj;
}

}  // namespace

TEST(DxfWriter, ChangedTextChangesOnlyItsValue) {
  const std::string bytes = drawing(twoTexts());
  auto db = read(bytes);
  auto* text = openForWrite<AcDbText>(db.get(), L"40");
  ASSERT_NE(text, nullptr);
  text->setTextString(L"changed");
  text->close();
  const std::string saved = write(db.get());
  const auto changed = changedRecords(bytes, saved);
  ASSERT_EQ(changed.size(), 1u);
  std::string expected = records(bytes)[0];
  for (const auto& r : records(bytes))
    if (r.find("  5\n40\n") != std::string::npos) expected = r;
  expected.replace(expected.find("first"), 5, "changed");
  EXPECT_EQ(changed[0], expected);
}

TEST(DxfWriter, ChangedCentredTextKeepsItsStyleAndAlignmentPoint) {
  const std::string bytes = drawing(twoTexts());
  auto db = read(bytes);
  auto* text = openForWrite<AcDbText>(db.get(), L"41");
  text->setTextString(L"a longer second line");
  const AcGePoint3d position = text->position();
  text->close();
  auto again = read(write(db.get()));
  auto* reread = object<AcDbText>(again.get(), L"41");
  EXPECT_STREQ(reread->textStringConst(), L"a longer second line");
  EXPECT_EQ(reread->alignmentPoint(), AcGePoint3d(3, 5, 0));
  EXPECT_EQ(reread->position(), position);
  EXPECT_EQ(reread->textStyle(), byHandle(again.get(), L"13"));
  EXPECT_EQ(reread->horizontalMode(), AcDb::kTextCenter);
}

TEST(DxfWriter, NewTextGoesToTheEndOfItsBlockWithOwnerAndMarkers) {
  const std::string bytes = drawing(twoTexts(), "", Tags()(0, "LINE")(5, "60")(330, "30")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")
                                                    (10, 0.0)(20, 0.0)(30, 0.0)(11, 1.0)(21, 1.0)(31, 0.0).str());
  auto db = read(bytes);
  // One in model space, one in the block "Title", one on the paper space layout.
  for (const wchar_t* block : {L"1F", L"30", L"1B"}) {
    auto* record = openForWrite<AcDbBlockTableRecord>(db.get(), block);
    auto* text = new AcDbText(AcGePoint3d(7, 8, 0), (std::wstring(L"new in ") + block).c_str(), AcDbObjectId(), 1.5, 0);
    AcDbObjectId id;
    ASSERT_EQ(record->appendAcDbEntity(id, text), Acad::eOk);
    text->close();
    record->close();
  }
  const std::string saved = write(db.get());
  const auto all = records(saved);
  auto indexOf = [&](const std::string& words) {
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i].find(words) != std::string::npos) return i;
    return all.size();
  };
  // Model and paper space entities end the ENTITIES section; the block's come before its ENDBLK.
  const size_t inModel = indexOf("new in 1F"), inBlock = indexOf("new in 30"), inPaper = indexOf("new in 1B");
  ASSERT_LT(inModel, all.size());
  EXPECT_EQ(inPaper, inModel + 1);
  EXPECT_NE(all[inPaper + 1].find("ENDSEC"), std::string::npos);
  EXPECT_NE(all[inBlock - 1].find("  5\n60\n"), std::string::npos);
  EXPECT_NE(all[inBlock + 1].find("ENDBLK"), std::string::npos);
  EXPECT_EQ(all[inModel].find("  0\nTEXT\n  5\n200\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbText\n"), 0u) << all[inModel];
  EXPECT_NE(all[inPaper].find("100\nAcDbEntity\n 67\n1\n"), std::string::npos) << all[inPaper];
  EXPECT_NE(all[inBlock].find("330\n30\n"), std::string::npos);
  // The seed goes past the new handles; nothing else of the file changed.
  EXPECT_NE(saved.find("$HANDSEED\n  5\n203\n"), std::string::npos);
  auto again = read(saved);
  auto* reread = object<AcDbText>(again.get(), L"201");
  ASSERT_NE(reread, nullptr);
  EXPECT_STREQ(reread->textStringConst(), L"new in 30");
  EXPECT_EQ(reread->ownerId(), byHandle(again.get(), L"30"));
  EXPECT_DOUBLE_EQ(reread->height(), 1.5);
  EXPECT_EQ(reread->position(), AcGePoint3d(7, 8, 0));
  EXPECT_EQ(reread->textStyle(), again->textstyle());
}

TEST(DxfWriter, CloneIsWrittenFromItsTemplateWithoutTheTemplatesReactors) {
  const std::string bytes = drawing(twoTexts(), groupObject());
  auto db = read(bytes);
  AcDbText* source = nullptr;
  ASSERT_EQ(acdbOpenObject(source, byHandle(db.get(), L"41"), AcDb::kForRead), Acad::eOk);
  auto* copy = AcDbText::cast(source->clone());
  source->close();
  copy->setTextString(L"copy");
  auto* model = openForWrite<AcDbBlockTableRecord>(db.get(), L"1F");
  AcDbObjectId id;
  ASSERT_EQ(model->appendAcDbEntity(id, copy), Acad::eOk);
  copy->close();
  model->close();
  const std::string saved = write(db.get());
  const auto all = records(saved);
  std::string written;
  for (const auto& r : all)
    if (r.find("\ncopy\n") != std::string::npos) written = r;
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.find("ACAD_REACTORS"), std::string::npos) << written;  // the group holds the original only
  EXPECT_NE(written.find("  5\n200\n330\n1F\n"), std::string::npos) << written;
  EXPECT_NE(written.find("APPX"), std::string::npos);  // extended data goes with the copy
  EXPECT_NE(written.find("  7\nRomans\n"), std::string::npos);
  auto again = read(saved);
  EXPECT_STREQ(object<AcDbText>(again.get(), L"200")->textStringConst(), L"copy");
  EXPECT_STREQ(object<AcDbText>(again.get(), L"41")->textStringConst(), L"second");
}

TEST(DxfWriter, ErasedTextLeavesWithTheReferencesToIt) {
  const std::string bytes = drawing(twoTexts(), groupObject());
  auto db = read(bytes);
  auto* text = openForWrite<AcDbText>(db.get(), L"41");
  ASSERT_EQ(text->erase(), Acad::eOk);
  text->close();
  const std::string saved = write(db.get());
  EXPECT_EQ(saved.find("\nsecond\n"), std::string::npos);
  const auto all = records(saved);
  EXPECT_EQ(all.size(), records(bytes).size() - 1);
  for (const auto& r : all) {
    if (r.find("\nGROUP\n") != std::string::npos) {
      EXPECT_EQ(r.find("340\n41\n"), std::string::npos) << r;
    }
    if (r.find("\nSORTENTSTABLE\n") != std::string::npos) {
      EXPECT_EQ(r.find("331\n41\n"), std::string::npos) << r;
      EXPECT_EQ(r.find("  5\n90\n"), std::string::npos) << r;  // its sort handle went with it
      EXPECT_NE(r.find("331\n40\n  5\n91\n"), std::string::npos) << r;
    }
  }
  auto again = read(saved);
  EXPECT_EQ(AcDbCore::object(byHandle(again.get(), L"41")), nullptr);
  EXPECT_NE(object<AcDbText>(again.get(), L"40"), nullptr);
}

TEST(DxfWriter, ErasedBoundaryLeavesItsHatchWithACountThatMatches) {
  Tags e;
  e(0, "LINE")(5, "50")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 10.0)(21, 0.0)(31, 0.0);
  e(0, "HATCH")(5, "60")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbHatch")(10, 0.0)(20, 0.0)(30, 0.0)
   (210, 0.0)(220, 0.0)(230, 1.0)(2, "SOLID")(70, 1)(71, 1)(91, 1)(92, 1)(93, 1)(72, 1)(10, 0.0)(20, 0.0)(11, 10.0)(21, 0.0)
   (97, 1)(330, "50")(75, 0)(76, 1)(98, 0);
  auto db = read(drawing(e.str()));
  auto* line = openForWrite<AcDbEntity>(db.get(), L"50");
  ASSERT_EQ(line->erase(), Acad::eOk);
  line->close();
  std::string hatch;
  for (const auto& r : records(write(db.get())))
    if (r.find("\nHATCH\n") != std::string::npos) hatch = r;
  ASSERT_FALSE(hatch.empty());
  EXPECT_EQ(hatch.find("330\n50\n"), std::string::npos) << hatch;
  EXPECT_NE(hatch.find(" 97\n0\n 75\n"), std::string::npos) << hatch;
}

TEST(DxfWriter, PolylineVerticesKeepTheirWidthsWhenAVertexIsAdded) {
  Tags t;
  t(0, "LWPOLYLINE")(5, "45")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbPolyline")(90, 3)(70, 0)
   (10, 0.0)(20, 0.0)(40, 1.0)(41, 2.0)(10, 5.0)(20, 0.0)(40, 2.0)(41, 3.0)(10, 5.0)(20, 5.0)(42, 0.5);
  auto db = read(drawing(t.str()));
  auto* pline = openForWrite<AcDbPolyline>(db.get(), L"45");
  ASSERT_EQ(pline->addVertexAt(3, AcGePoint2d(0, 5)), Acad::eOk);
  pline->close();
  auto again = read(write(db.get()));
  const auto* polyline = object<AcDbPolyline>(again.get(), L"45");
  ASSERT_EQ(polyline->numVerts(), 4u);
  const double expected[4][3] = {{1, 2, 0}, {2, 3, 0}, {0, 0, 0.5}, {0, 0, 0}};
  for (unsigned i = 0; i < 4; ++i) {
    double start = -1, end = -1, bulge = -1;
    polyline->getWidthsAt(i, start, end);
    polyline->getBulgeAt(i, bulge);
    EXPECT_EQ(start, expected[i][0]) << "vertex " << i;
    EXPECT_EQ(end, expected[i][1]) << "vertex " << i;
    EXPECT_EQ(bulge, expected[i][2]) << "vertex " << i;
  }
}

TEST(DxfWriter, LayerLockAndRenameReachEveryReference) {
  const std::string bytes = drawing(twoTexts() + Tags()(0, "CIRCLE")(5, "45")(330, "1F")(100, "AcDbEntity")(8, "Notes")
                                                         (100, "AcDbCircle")(10, 0.0)(20, 0.0)(30, 0.0)(40, 1.0).str());
  auto db = read(bytes);
  auto* layer = openForWrite<AcDbLayerTableRecord>(db.get(), L"11");
  layer->setIsLocked(false);
  ASSERT_EQ(layer->setName(L"Annotations"), Acad::eOk);
  layer->close();
  auto* current = openForWrite<AcDbLayerTableRecord>(db.get(), L"10");
  current->setIsLocked(true);
  current->close();
  const std::string saved = write(db.get());
  const auto changed = changedRecords(bytes, saved);
  ASSERT_EQ(changed.size(), 3u);  // both layers and the circle on the renamed one
  EXPECT_NE(changed[0].find("  2\n0\n 70\n4\n"), std::string::npos) << changed[0];
  EXPECT_NE(changed[1].find("  2\nAnnotations\n 70\n0\n"), std::string::npos) << changed[1];
  EXPECT_NE(changed[2].find("  8\nAnnotations\n"), std::string::npos) << changed[2];
  auto again = read(saved);
  EXPECT_EQ(object<AcDbCircle>(again.get(), L"45")->layerId(), byHandle(again.get(), L"11"));
  EXPECT_TRUE(object<AcDbLayerTableRecord>(again.get(), L"10")->isLocked());
}

TEST(DxfWriter, HeaderSettingsChangeTheirVariablesOnly) {
  const std::string bytes = drawing(twoTexts());
  auto db = read(bytes);
  db->setLunits(4);
  db->setClayer(byHandle(db.get(), L"11"));
  db->setTextsize(3.5);  // a variable the file lacks
  const std::string saved = write(db.get());
  const auto changed = changedRecords(bytes, saved);
  ASSERT_EQ(changed.size(), 1u);  // the HEADER section
  EXPECT_NE(changed[0].find("$LUNITS\n 70\n4\n"), std::string::npos);
  EXPECT_NE(changed[0].find("$CLAYER\n  8\nNotes\n"), std::string::npos);
  EXPECT_EQ(changed[0].find("$TEXTSIZE\n 40\n3.5\n"), changed[0].size() - 18) << changed[0];  // added at the end
  EXPECT_NE(changed[0].find("$HANDSEED\n  5\n200\n"), std::string::npos);
  auto again = read(saved);
  EXPECT_EQ(again->lunits(), 4);
  EXPECT_DOUBLE_EQ(again->textsize(), 3.5);
}

TEST(DxfWriter, CyrillicInAnR2000DrawingWithItsCodePage) {
  const std::string bytes = drawing(twoTexts(), "", "", "AC1015", "ANSI_1251");
  auto db = read(bytes);
  auto* text = openForWrite<AcDbText>(db.get(), L"40");
  const std::wstring words = L"Привет, чертёж № 5 — ∑ \U0001F600";
  text->setTextString(words.c_str());
  text->close();
  const std::string saved = write(db.get());
  // Cyrillic, the dash and the number sign are in Windows-1251; the rest are escapes.
  EXPECT_NE(saved.find("\xCF\xF0\xE8\xE2\xE5\xF2, \xF7\xE5\xF0\xF2\xB8\xE6 \xB9 5 \x97 \\U+2211 \\U+D83D\\U+DE00\n"),
            std::string::npos);
  auto again = read(saved);
  EXPECT_EQ(std::wstring(object<AcDbText>(again.get(), L"40")->textStringConst()), words);
}

TEST(DxfWriter, CyrillicInAnR2018DrawingAsUtf8) {
  const std::string bytes = drawing(twoTexts(), "", "", "AC1032", "ANSI_1252");
  auto db = read(bytes);
  auto* single = openForWrite<AcDbText>(db.get(), L"40");
  const std::wstring words = L"Съешь же ещё этих мягких булок^\n\U0001F600";
  single->setTextString(words.c_str());
  single->close();
  const std::string saved = write(db.get());
  EXPECT_NE(saved.find(utf8(L"Съешь же ещё этих мягких булок^ ^J\U0001F600") + "\n"), std::string::npos);
  auto again = read(saved);
  EXPECT_EQ(std::wstring(object<AcDbText>(again.get(), L"40")->textStringConst()), words);
}

TEST(DxfWriter, LongMTextIsWrittenInPiecesThatReadBack) {
  Tags t;
  t(0, "MTEXT")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbMText")(10, 1.0)(20, 1.0)(30, 0.0)(40, 2.5)
   (41, 40.0)(71, 1)(72, 1)(1, "short")(73, 1)(44, 1.0);
  auto db = read(drawing(t.str(), "", "", "AC1021"));
  std::wstring contents;
  for (int i = 0; i < 120; ++i) contents += L"Строка\\P";  // 960 characters, twice as many bytes
  auto* m = openForWrite<AcDbMText>(db.get(), L"41");
  m->setContents(contents.c_str());
  m->setLineSpacingFactor(2.0);
  m->close();
  const std::string saved = write(db.get());
  for (const auto& r : records(saved)) {
    if (r.find("\nMTEXT\n") == std::string::npos) continue;
    EXPECT_GE(std::count(r.begin(), r.end(), '\n'), 2 * 20);
    EXPECT_NE(r.find(" 44\n2.0\n"), std::string::npos);
  }
  auto again = read(saved);
  EXPECT_EQ(std::wstring(object<AcDbMText>(again.get(), L"41")->contentsConst()), contents);
}

TEST(DxfWriter, LongMTextInADoubleByteCodePageIsNotCutInsideACharacter) {
  // A code page the host keeps as bytes: a Chinese text of two-byte characters after one letter.
  std::string gbk = "A";
  for (int i = 0; i < 140; ++i) gbk += "\xD6\xD0";
  Tags t;
  t(0, "MTEXT")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbMText")(10, 1.0)(20, 1.0)(30, 0.0)(40, 2.5)
   (41, 40.0)(71, 1)(72, 1)(3, gbk.substr(0, 249))(1, gbk.substr(249))(73, 1)(44, 1.0);
  auto db = read(drawing(t.str(), "", "", "AC1015", "ANSI_936"));
  auto* m = openForWrite<AcDbMText>(db.get(), L"41");
  m->setContents((std::wstring(m->contentsConst()) + L"x").c_str());
  m->close();
  const std::string saved = write(db.get());
  for (const auto& r : records(saved)) {
    if (r.find("\nMTEXT\n") == std::string::npos) continue;
    // Every piece holds whole characters: the letter and pairs of bytes.
    const size_t first = r.find("  3\n");
    ASSERT_NE(first, std::string::npos) << r;
    const size_t end = r.find('\n', first + 4);
    EXPECT_EQ(end - (first + 4), 249u);
    EXPECT_NE(r.find("  1\n" + gbk.substr(249) + "x\n"), std::string::npos);
  }
  auto again = read(saved);
  EXPECT_EQ(write(again.get()), saved);
}

TEST(DxfWriter, DimensionOverridesGoIntoTheExtendedData) {
  Tags t;
  t(0, "DIMENSION")(5, "50")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbDimension")(2, "*D1")(10, 10.0)(20, 5.0)(30, 0.0)
   (11, 5.0)(21, 6.0)(31, 0.0)(70, 33)(3, "Standard")(100, "AcDbAlignedDimension")(13, 0.0)(23, 0.0)(33, 0.0)(14, 10.0)(24, 0.0)(34, 0.0)
   (1001, "ACAD")(1000, "DSTYLE")(1002, "{")(1070, 271)(1070, 1)(1002, "}");
  auto db = read(drawing(t.str()));
  auto* dim = openForWrite<AcDbDimension>(db.get(), L"50");
  dim->setDimensionText(L"<> typ.");
  dim->setDimtxt(5.0);
  dim->setDimtxsty(byHandle(db.get(), L"13"));
  dim->close();
  const std::string saved = write(db.get());
  EXPECT_NE(saved.find("  1\n<> typ.\n"), std::string::npos);
  EXPECT_NE(saved.find("1002\n{\n1070\n271\n1070\n1\n1070\n140\n1040\n5.0\n1070\n340\n1005\n13\n1002\n}\n"), std::string::npos);
  auto again = read(saved);
  auto* reread = object<AcDbAlignedDimension>(again.get(), L"50");
  EXPECT_STREQ(reread->dimensionTextConst(), L"<> typ.");
  EXPECT_DOUBLE_EQ(reread->dimtxt(), 5.0);
  EXPECT_EQ(reread->dimtxsty(), byHandle(again.get(), L"13"));
  // Taking the overrides away again leaves the other overrides.
  auto* open = openForWrite<AcDbDimension>(again.get(), L"50");
  open->removeDimtxtOverride();
  open->removeDimtxstyOverride();
  open->close();
  const std::string back = write(again.get());
  EXPECT_NE(back.find("1002\n{\n1070\n271\n1070\n1\n1002\n}\n"), std::string::npos);
}

TEST(DxfWriter, FieldOfANewCodeAndANewFieldReadBack) {
  Tags plainText, o;
  plainText(0, "TEXT")(5, "76")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 9.0)(30, 0.0)(40, 2.0)
   (1, "plain")(100, "AcDbText");
  o(0, "FIELD")(5, "73")(330, "72")(100, "AcDbField")(1, "_text")(2, "%<\\_FldIdx 0>%")(90, 1)(360, "74")(97, 0)(91, 63);
  o(0, "FIELD")(5, "74")(330, "73")(100, "AcDbField")(1, "AcVar")(2, "\\AcVar Filename \\f \"%fn2\"")(90, 0)(97, 0)(91, 63);
  auto db = read(drawingWithTextField(o.str(), plainText.str()));
  auto* withField = openForWrite<AcDbText>(db.get(), L"70");
  withField->setTextString(L"By %<\\AcVar Author>% on %<\\AcVar Date \\f \"d.MM.yyyy\">%");
  withField->close();
  auto* plain = openForWrite<AcDbText>(db.get(), L"76");
  plain->setTextString(L"Length %<\\AcObjProp Object(%<\\_ObjId 112>%).TextString>%");
  plain->close();
  const std::string saved = write(db.get());
  const std::string again = write(db.get());
  EXPECT_EQ(saved, again);  // a second save writes the same
  auto reread = read(saved);
  AcDbField* field = nullptr;
  ASSERT_EQ(object<AcDbText>(reread.get(), L"70")->getField(L"TEXT", field, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(field->getFieldCode(AcDbField::kAddMarkers), L"By %<\\AcVar Author>% on %<\\AcVar Date \\f \"d.MM.yyyy\">%");
  EXPECT_EQ(field->objectId(), byHandle(reread.get(), L"73"));  // the same field, with a new code
  field->close();
  EXPECT_EQ(AcDbCore::object(byHandle(reread.get(), L"74")), nullptr);  // its old child is gone
  ASSERT_EQ(object<AcDbText>(reread.get(), L"76")->getField(L"TEXT", field, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(field->getFieldCode(AcDbField::kAddMarkers), L"Length %<\\AcObjProp Object(%<\\_ObjId 112>%).TextString>%");
  field->close();
  // Removing a field's expression removes the field and its entry from the file.
  auto* open = openForWrite<AcDbText>(reread.get(), L"70");
  open->setTextString(L"no field");
  open->close();
  const std::string without = write(reread.get());
  auto last = read(without);
  AcDbObjectId none;
  EXPECT_NE(object<AcDbText>(last.get(), L"70")->getField(L"TEXT", none), Acad::eOk);
  EXPECT_EQ(AcDbCore::object(byHandle(last.get(), L"73")), nullptr);
}

TEST(DxfWriter, CopyOfATextWithAFieldGetsFieldsOfItsOwnAndTheOriginalKeepsItsOwn) {
  Tags o;
  o(0, "FIELD")(5, "73")(330, "72")(100, "AcDbField")(1, "_text")(2, "%<\\_FldIdx 0>%")(90, 1)(360, "74")(97, 0)(91, 63);
  o(0, "FIELD")(5, "74")(330, "73")(100, "AcDbField")(1, "AcVar")(2, "\\AcVar Filename \\f \"%fn2\"")(90, 0)(97, 0)(91, 63);
  auto db = read(drawingWithTextField(o.str()));
  const std::wstring originalCode = L"%<\\AcVar Filename \\f \"%fn2\">%";
  // Copied as it is, then copied and given a field of another code.
  AcDbObjectId copies[2];
  for (int i = 0; i < 2; ++i) {
    AcDbText* source = nullptr;
    ASSERT_EQ(acdbOpenObject(source, byHandle(db.get(), L"70"), AcDb::kForRead), Acad::eOk);
    auto* copy = AcDbText::cast(source->clone());
    source->close();
    if (i == 1) copy->setTextString(L"By %<\\AcVar Author>%");
    auto* model = openForWrite<AcDbBlockTableRecord>(db.get(), L"1F");
    ASSERT_EQ(model->appendAcDbEntity(copies[i], copy), Acad::eOk);
    copy->close();
    model->close();
  }
  ACHAR first[20], second[20];
  copies[0].handle().getIntoAsciiBuffer(first, 20);
  copies[1].handle().getIntoAsciiBuffer(second, 20);
  auto again = read(write(db.get()));
  ASSERT_NE(again, nullptr);
  const auto codeOf = [&](const wchar_t* handle) {
    AcDbField* field = nullptr;
    std::wstring code;
    if (object<AcDbText>(again.get(), handle)->getField(L"TEXT", field, AcDb::kForRead) == Acad::eOk) {
      code = field->getFieldCode(AcDbField::kAddMarkers);
      field->close();
    }
    return code;
  };
  EXPECT_EQ(codeOf(L"70"), originalCode);
  EXPECT_EQ(codeOf(first), originalCode);
  EXPECT_EQ(codeOf(second), L"By %<\\AcVar Author>%");
  EXPECT_NE(AcDbCore::object(byHandle(again.get(), L"74")), nullptr) << "the original's child field stays";
}

TEST(DxfWriter, CopyIntoPaperSpaceOfAnR12DrawingIsFlaggedAsPaperSpace) {
  Tags e;
  e(0, "TEXT")(5, "40")(8, "0")(10, 1.0)(20, 2.0)(30, 0.0)(40, 2.5)(1, "model text");
  auto db = read(drawing(e.str(), "", "", "AC1009"));
  AcDbText* source = nullptr;
  ASSERT_EQ(acdbOpenObject(source, byHandle(db.get(), L"40"), AcDb::kForRead), Acad::eOk);
  auto* copy = AcDbText::cast(source->clone());
  source->close();
  copy->setTextString(L"paper text");
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* paper = nullptr;
  ASSERT_EQ(blocks->getAt(L"*Paper_Space", paper, AcDb::kForWrite), Acad::eOk);
  blocks->close();
  ASSERT_EQ(paper->appendAcDbEntity(copy), Acad::eOk);
  copy->close();
  paper->close();
  auto again = read(write(db.get()));
  bool found = false;
  for (AcDbStub* stubPointer : stubsOf(again.get())) {
    AcDbStub& stub = *stubPointer;
    const auto* text = AcDbText::cast(stub.object());
    if (text == nullptr || std::wstring(text->textStringConst()) != L"paper text") continue;
    found = true;
    const auto* owner = AcDbCore::objectAs<AcDbBlockTableRecord>(text->ownerId());
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(acdbUpperName(AcDbCore::name(owner)), L"*PAPER_SPACE");
  }
  EXPECT_TRUE(found);
}

TEST(DxfWriter, SavingIsSafe) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pellaton-dxf-save";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string bytes = drawing(twoTexts());
  auto db = read(bytes);
  const std::filesystem::path target = dir / "drawing.dxf";
  { std::ofstream(target, std::ios::binary) << "the previous drawing"; }
  // A target that cannot be replaced (a folder stands there) is an error; nothing else changes.
  const std::filesystem::path folder = dir / "folder.dxf";
  std::filesystem::create_directories(folder / "inside");
  cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawing(db.get(), folder.wstring());
  EXPECT_FALSE(result.ok);
  ASSERT_FALSE(result.messages.empty());
  EXPECT_NE(result.messages.back().text.find(L"as it was"), std::wstring::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "inside"));
  // A folder that does not exist, a file where a folder should be, and a folder that may not be
  // written (/proc: its system says "No such file or directory"): each named as it is.
  const std::filesystem::path missing = dir / "missing";
  for (const auto& [where, reason] :
       {std::pair{missing / "x.dxf", L"the folder " + missing.wstring() + L" does not exist"},
        std::pair{target / "x.dxf", target.wstring() + L" is not a folder"},
        std::pair{std::filesystem::path("/proc/x.dxf"), std::wstring(L"the folder /proc cannot be written to")}}) {
    result = cadhost::dxf::writeDrawing(db.get(), where.wstring());
    EXPECT_FALSE(result.ok);
    ASSERT_FALSE(result.messages.empty());
    EXPECT_NE(result.messages.back().text.find(reason), std::wstring::npos) << utf8(result.messages.back().text);
    EXPECT_EQ(result.messages.back().text.find(L"No such file"), std::wstring::npos);
  }
  // An object open for write is refused before anything is written.
  auto* text = openForWrite<AcDbText>(db.get(), L"40");
  result = cadhost::dxf::writeDrawing(db.get(), target.wstring());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(readFile(target), "the previous drawing");
  text->close();
  // A good save replaces the file and leaves nothing beside it.
  result = cadhost::dxf::writeDrawing(db.get(), target.wstring());
  ASSERT_TRUE(result.ok) << utf8(result.report());
  EXPECT_EQ(readFile(target), bytes);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);
  const ACHAR* name = nullptr;
  db->getFilename(name);
  EXPECT_EQ(std::filesystem::path(name), target);
  std::filesystem::remove_all(dir);
}

// The file of a save takes its bytes in pieces of any size and hands them to the system a block at
// a time, the rest at the end; a large one is flushed while it is written. Every size around a
// block comes out whole and in order.
TEST(DxfWriter, TheSavesFileHoldsEveryByteInOrderWhateverTheSizes) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pellaton-dxf-output";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  constexpr size_t kBlock = 256 << 10;
  for (size_t size : {size_t(0), size_t(1), size_t(4095), size_t(4097), kBlock - 1, kBlock, kBlock + 1,
                      2 * kBlock, 5 * kBlock + 4100, 9 * kBlock + 3, 37 * kBlock + 11}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    const std::filesystem::path path = dir / ("out-" + std::to_string(size));
    cadhost::dxf::OutputFile file;
    ASSERT_TRUE(file.open(path));
    // Pieces of uneven sizes, as a save hands them over.
    for (size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 3 % 70001 + 1)
      ASSERT_TRUE(file.write(std::string_view(bytes).substr(at, piece)));
    ASSERT_TRUE(file.finish());
    EXPECT_TRUE(readFile(path) == bytes) << size << " bytes";
  }
  // A file abandoned halfway (a save that failed) is let go.
  {
    cadhost::dxf::OutputFile file;
    ASSERT_TRUE(file.open(dir / "abandoned"));
    EXPECT_TRUE(file.write(std::string(3 * kBlock + 5, 'x')));
  }
  // A block the system refuses (here: the file may not grow past two blocks) fails the file with
  // what the system said.
  {
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit small = before;
    small.rlim_cur = 2 * kBlock;
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    cadhost::dxf::OutputFile file;
    bool ok = file.open(dir / "too-big");
    for (int i = 0; ok && i < 6; ++i) ok = file.write(std::string(kBlock, 'y'));
    if (ok) ok = file.finish();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(file.error().empty());
  }
  std::filesystem::remove_all(dir);
}

TEST(DxfWriter, SavingKeepsTheFilesPermissionsAndWritesThroughALink) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "pellaton-dxf-save-perms";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string bytes = drawing(twoTexts());
  auto db = read(bytes);
  // A private drawing stays private.
  const fs::path privateDrawing = dir / "private.dxf";
  { std::ofstream(privateDrawing, std::ios::binary) << "old"; }
  fs::permissions(privateDrawing, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(cadhost::dxf::writeDrawing(db.get(), privateDrawing.wstring()).ok);
  EXPECT_EQ(fs::status(privateDrawing).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(readFile(privateDrawing), bytes);
  // A read-only drawing is not replaced.
  const fs::path readOnly = dir / "read-only.dxf";
  { std::ofstream(readOnly, std::ios::binary) << "keep me"; }
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const cadhost::dxf::WriteResult refused = cadhost::dxf::writeDrawing(db.get(), readOnly.wstring());
  EXPECT_FALSE(refused.ok);
  ASSERT_FALSE(refused.messages.empty());
  EXPECT_NE(refused.messages.back().text.find(L"read-only"), std::wstring::npos);
  EXPECT_EQ(readFile(readOnly), "keep me");
  // Saving through a link replaces the file it points to; the link stays a link.
  const fs::path real = dir / "real.dxf", link = dir / "link.dxf";
  { std::ofstream(real, std::ios::binary) << "old"; }
  fs::create_symlink(real, link);
  ASSERT_TRUE(cadhost::dxf::writeDrawing(db.get(), link.wstring()).ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(real), bytes);
  fs::permissions(readOnly, fs::perms::owner_all);
  fs::remove_all(dir);
}

TEST(DxfWriter, DrawingTheHostMadeIsWrittenWholeAndReadsBack) {
  AcDbDatabase db;
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db.getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(blocks->getAt(ACDB_MODEL_SPACE, model, AcDb::kForWrite), Acad::eOk);
  AcDbBlockTableRecord* paper = nullptr;
  ASSERT_EQ(blocks->getAt(ACDB_PAPER_SPACE, paper, AcDb::kForWrite), Acad::eOk);
  blocks->close();
  auto* note = new AcDbText(AcGePoint3d(1, 2, 0), L"Заметка ^ one", AcDbObjectId(), 2.5, 0);
  ASSERT_EQ(model->appendAcDbEntity(note), Acad::eOk);
  note->close();
  auto* onSheet = new AcDbText(AcGePoint3d(5, 5, 0), L"on the sheet", AcDbObjectId(), 3.0, 0);
  ASSERT_EQ(paper->appendAcDbEntity(onSheet), Acad::eOk);
  onSheet->close();
  auto* mtext = new AcDbMText;
  mtext->setContents(L"a\\Pb");
  ASSERT_EQ(model->appendAcDbEntity(mtext), Acad::eOk);
  mtext->close();
  model->close();
  paper->close();
  const std::string first = write(&db);
  EXPECT_EQ(write(&db), first);  // the next save writes the same
  ASSERT_NE(first.find("AC1032"), std::string::npos);
  auto again = read(first);
  auto* reread = AcDbCore::objectAs<AcDbBlockTableRecord>(again->modelSpaceId());
  ASSERT_EQ(AcDbCore::entities(reread).size(), 2u);
  EXPECT_STREQ(AcDbCore::objectAs<AcDbText>(AcDbCore::entities(reread)[0])->textStringConst(), L"Заметка ^ one");
  EXPECT_STREQ(AcDbCore::objectAs<AcDbMText>(AcDbCore::entities(reread)[1])->contentsConst(), L"a\\Pb");
  AcDbBlockTable* table = nullptr;
  ASSERT_EQ(again->getBlockTable(table, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* sheet = nullptr;
  ASSERT_EQ(table->getAt(ACDB_PAPER_SPACE, sheet, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(sheet->layoutName(), L"Layout1");
  EXPECT_EQ(sheet->entityCount(), 1);
  sheet->close();
  table->close();
  // Read back, the drawing is a file's drawing: an unchanged save gives back its bytes.
  EXPECT_EQ(write(again.get()), first);
}

TEST(DxfWriter, CopyOfAPolylineOrAnInsertTakesItsPartsAlong) {
  auto db = read(drawing(entitiesWithParts()));
  auto* model = openForWrite<AcDbBlockTableRecord>(db.get(), L"1F");
  for (const wchar_t* handle : {L"80", L"90"}) {
    auto* copy = AcDbEntity::cast(AcDbCore::object(byHandle(db.get(), handle))->clone());
    ASSERT_EQ(model->appendAcDbEntity(copy), Acad::eOk);
    copy->close();
  }
  model->close();
  const std::string saved = write(db.get());
  EXPECT_EQ(write(db.get()), saved);  // the parts keep their handles from one save to the next
  auto again = read(saved);
  auto* reread = AcDbCore::objectAs<AcDbBlockTableRecord>(again->modelSpaceId());
  ASSERT_EQ(AcDbCore::entities(reread).size(), 4u);
  // The copies follow the originals at the end of model space, each with its own parts.
  const AcDbObjectId polylineCopy = AcDbCore::entities(reread)[2], insertCopy = AcDbCore::entities(reread)[3];
  EXPECT_STREQ(AcDbCore::objectAs<AcDbUnmodeledEntity>(polylineCopy)->typeName(), L"POLYLINE");
  ASSERT_NE(AcDbCore::objectAs<AcDbBlockReference>(insertCopy), nullptr);
  int vertices = 0, attributes = 0, ends = 0;
  for (AcDbStub* stubPointer : stubsOf(again.get())) {
    AcDbStub& stub = *stubPointer;
    const auto* part = AcDbUnmodeledEntity::cast(stub.object());
    if (part == nullptr) continue;
    const std::wstring type = part->typeName();
    if (part->ownerId() == polylineCopy) vertices += type == L"VERTEX", ends += type == L"SEQEND";
    if (part->ownerId() == insertCopy) attributes += type == L"ATTRIB", ends += type == L"SEQEND";
  }
  EXPECT_EQ(vertices, 2);
  EXPECT_EQ(attributes, 1);
  EXPECT_EQ(ends, 2);
  EXPECT_NE(saved.find("A-101"), saved.rfind("A-101"));  // the attribute's value went with it
}


TEST(DxfWriter, PolylineVerticesKeepTheirIdentifiers) {
  Tags t;
  t(0, "LWPOLYLINE")(5, "45")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbPolyline")(90, 3)(70, 0)
   (10, 0.0)(20, 0.0)(91, 7)(10, 5.0)(20, 0.0)(91, 8)(10, 5.0)(20, 5.0)(91, 9);
  const std::string bytes = drawing(t.str(), "", "", "AC1024");
  auto idsOf = [](const std::string& saved) {
    std::vector<std::string> ids;
    for (size_t at = saved.find(" 91\n"); at != std::string::npos; at = saved.find(" 91\n", at + 1))
      ids.push_back(saved.substr(at + 4, saved.find('\n', at + 4) - at - 4));
    return ids;
  };
  // Against the record read: a vertex moved keeps its place and its identifier; one added gets one
  // no vertex has; one taken away takes its own along.
  const std::vector<std::vector<std::string>> expected = {{"7", "8", "9"}, {"7", "10", "8", "9"}, {"8", "9"}};
  for (int edit = 0; edit < 3; ++edit) {
    SCOPED_TRACE(edit);
    auto db = read(bytes);
    auto* pline = openForWrite<AcDbPolyline>(db.get(), L"45");
    if (edit == 0) {
      ASSERT_EQ(pline->removeVertexAt(1), Acad::eOk);
      ASSERT_EQ(pline->addVertexAt(1, AcGePoint2d(6, 1)), Acad::eOk);
    } else if (edit == 1) {
      ASSERT_EQ(pline->addVertexAt(1, AcGePoint2d(2, 0)), Acad::eOk);
    } else {
      ASSERT_EQ(pline->removeVertexAt(0), Acad::eOk);
    }
    pline->close();
    const std::string saved = write(db.get());
    EXPECT_EQ(idsOf(saved), expected[static_cast<size_t>(edit)]);
    EXPECT_EQ(object<AcDbPolyline>(read(saved).get(), L"45")->numVerts(), expected[static_cast<size_t>(edit)].size());
  }
}

// R12 to R2004 drawings hold at most 255 bytes in a string: a longer TEXT is cut there (between two
// characters, never inside an escape), and the save says so; R2007 and later hold it whole.
TEST(DxfWriter, TextTooLongForAnOldDrawingIsCutWithAMessage) {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.5)
   (1, "short")(100, "AcDbText");
  const std::wstring longText = std::wstring(250, L'x') + L"\u0416\u0416\u0416";  // each Ж an escape in ANSI_1252
  for (const char* version : {"AC1015", "AC1018", "AC1021"}) {
    SCOPED_TRACE(version);
    auto db = read(drawing(t.str(), "", "", version));
    auto* text = openForWrite<AcDbText>(db.get(), L"40");
    ASSERT_EQ(text->setTextString(longText.c_str()), Acad::eOk);
    text->close();
    std::string saved;
    const cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawingToMemory(db.get(), saved);
    ASSERT_TRUE(result.ok);
    const std::wstring kept = object<AcDbText>(read(saved).get(), L"40")->textStringConst();
    if (std::string(version) == "AC1021") {
      EXPECT_EQ(kept, longText);
      EXPECT_TRUE(result.messages.empty()) << utf8(result.report());
      continue;
    }
    EXPECT_EQ(kept, longText.substr(0, 250));  // 250 bytes, and no room for a whole escape of 7 more
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_NE(result.messages[0].text.find(L"the text of the TEXT 40 is 271 bytes long"), std::wstring::npos)
        << utf8(result.messages[0].text);
  }
}

// A DIMENSION the host makes gets a geometry block with its lines and its text, as other programs
// show it; a change makes it anew; a dimension read from the file keeps the block the file gave it.
TEST(DxfWriter, NewDimensionIsSavedWithItsGeometryBlock) {
  auto db = read(drawing(""));
  AcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(30, 0, 0), AcGePoint3d(0, -5, 0), L"<> mm");
  AcDbObjectId id;
  ASSERT_EQ(model->appendAcDbEntity(id, dim), Acad::eOk);
  dim->close();
  model->close();
  const std::string saved = write(db.get());
  cadhost::dxf::ReadResult result;
  auto again = read(saved, &result);
  EXPECT_FALSE(result.hasWarnings()) << utf8(result.report());
  const auto* reread = AcDbDimension::cast(AcDbCore::object(byHandle(again.get(), L"200")));
  ASSERT_NE(reread, nullptr);
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(reread->dimBlockId());
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(AcDbCore::name(block), L"*D1");
  std::vector<std::wstring> kinds;
  for (AcDbObjectId e : AcDbCore::entities(block)) kinds.push_back(AcDbCore::objectAs<AcDbEntity>(e)->typeName());
  EXPECT_EQ(kinds, (std::vector<std::wstring>{L"LINE", L"LINE", L"LINE", L"TEXT"}));
  const auto* line = AcDbLine::cast(AcDbCore::object(AcDbCore::entities(block)[2]));
  EXPECT_EQ(line->startPoint(), AcGePoint3d(0, -5, 0));  // the dimension line
  EXPECT_EQ(line->endPoint(), AcGePoint3d(30, -5, 0));
  EXPECT_STREQ(AcDbText::cast(AcDbCore::object(AcDbCore::entities(block)[3]))->textStringConst(), L"30.00 mm");
  // Changed, it gets a new picture (the old one goes); unchanged, the save is as before.
  EXPECT_TRUE(write(db.get()) == saved);
  auto* open = openForWrite<AcDbRotatedDimension>(db.get(), L"200");
  open->setDimensionText(L"<> cm");
  open->close();
  const std::string changed = write(db.get());
  EXPECT_NE(changed.find("30.00 cm"), std::string::npos);
  EXPECT_EQ(changed.find("30.00 mm"), std::string::npos);
  EXPECT_EQ(changed.find("*D2"), std::string::npos);  // (the name of the block gone is free again)
}

// The save makes a new dimension's picture as any writer of the drawing does: under the lock of the
// drawing's document (the caller need not hold it), each object opened for write. A dimension a
// caller holds open keeps the picture it had, and the save says so.
TEST(DxfWriter, NewDimensionPictureIsMadeUnderTheHostsRules) {
  auto db = read(drawing(""));
  AcApDocument* doc = cadhost::openDocument(db.get(), false, L"dimensions");
  ASSERT_TRUE(cadhost::requireDocumentLockForWrite());
  cadhost::takeProtocolFaults();
  AcDbObjectId id;
  {
    const AcAxDocLock lock(db.get());
    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(30, 0, 0), AcGePoint3d(0, -5, 0), L"<> mm");
    ASSERT_EQ(model->appendAcDbEntity(id, dim), Acad::eOk);
    dim->close();
    model->close();
  }
  std::string saved;
  cadhost::dxf::WriteResult result = cadhost::dxf::writeDrawingToMemory(db.get(), saved);
  ASSERT_TRUE(result.ok);
  EXPECT_TRUE(result.messages.empty()) << utf8(result.report());
  EXPECT_NE(saved.find("30.00 mm"), std::string::npos);
  {
    const AcAxDocLock lock(db.get());
    AcDbRotatedDimension* dim = nullptr;
    ASSERT_EQ(acdbOpenObject(dim, id, AcDb::kForWrite), Acad::eOk);
    dim->setDimensionText(L"<> cm");
    dim->close();
  }
  AcDbRotatedDimension* held = nullptr;
  ASSERT_EQ(acdbOpenObject(held, id, AcDb::kForRead), Acad::eOk);
  result = cadhost::dxf::writeDrawingToMemory(db.get(), saved);
  held->close();
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.messages.size(), 1u) << utf8(result.report());
  EXPECT_NE(result.messages[0].text.find(L"the picture of the dimension 200 could not be made"), std::wstring::npos)
      << utf8(result.messages[0].text);
  EXPECT_NE(saved.find("30.00 mm"), std::string::npos);  // the picture it had
  cadhost::dxf::ReadResult reread;
  read(saved, &reread);
  EXPECT_FALSE(reread.hasWarnings()) << utf8(reread.report());
  EXPECT_TRUE(cadhost::takeProtocolFaults().empty());
  cadhost::closeDocument(doc);
}
