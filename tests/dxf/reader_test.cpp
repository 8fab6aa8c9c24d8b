// Reading drawings: what each kind of record becomes in the host's database.
#include <cmath>

#include "support.h"

using namespace dxftest;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string textEntity() {
  Tags t;
  t(0, "TEXT")(5, "40")(330, "1F")(100, "AcDbEntity")(8, "Notes")(62, 1)(100, "AcDbText")(39, 0.5)
   (10, 1.0)(20, 2.0)(30, 0.0)(40, 3.5)(1, "Room 101^Jsecond")(50, 30.0)(41, 0.8)(51, 15.0)(7, "Romans")(71, 2)(72, 1)
   (11, 5.0)(21, 2.0)(31, 0.0)(100, "AcDbText")(73, 2);
  return t.str();
}

}  // namespace

TEST(DxfReader, TextGetsEveryGroupOfItsRecord) {
  auto db = read(drawing(textEntity()));
  auto* text = object<AcDbText>(db.get(), L"40");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text->textStringConst(), L"Room 101\nsecond");  // ^J is a line feed
  EXPECT_EQ(text->position(), AcGePoint3d(1, 2, 0));
  EXPECT_EQ(text->alignmentPoint(), AcGePoint3d(5, 2, 0));  // kept as the file gives it
  EXPECT_DOUBLE_EQ(text->height(), 3.5);
  EXPECT_DOUBLE_EQ(text->widthFactor(), 0.8);
  EXPECT_DOUBLE_EQ(text->thickness(), 0.5);
  EXPECT_NEAR(text->rotation(), kPi / 6, 1e-12);
  EXPECT_NEAR(text->oblique(), kPi / 12, 1e-12);
  EXPECT_TRUE(text->isMirroredInX());
  EXPECT_FALSE(text->isMirroredInY());
  EXPECT_EQ(text->horizontalMode(), AcDb::kTextCenter);
  EXPECT_EQ(text->verticalMode(), AcDb::kTextVertMid);
  EXPECT_EQ(text->colorIndex(), 1);
  EXPECT_EQ(text->textStyle(), byHandle(db.get(), L"13"));
  EXPECT_EQ(text->layerId(), byHandle(db.get(), L"11"));
  EXPECT_EQ(text->ownerId(), db->modelSpaceId());
  EXPECT_FALSE(text->isNewObject());
  // The model space lists it; the layer it is on is locked.
  AcDbBlockTableRecord* model = object<AcDbBlockTableRecord>(db.get(), L"1F");
  ASSERT_EQ(AcDbCore::entities(model).size(), 1u);
  EXPECT_TRUE(object<AcDbLayerTableRecord>(db.get(), L"11")->isLocked());
  AcDbText* open = nullptr;
  EXPECT_EQ(acdbOpenObject(open, text->objectId(), AcDb::kForWrite), Acad::eOnLockedLayer);
}

TEST(DxfReader, MTextJoinsItsPiecesAndKeepsItsLayout) {
  Tags t;
  std::string first(250, 'a'), second(250, 'b');
  t(0, "MTEXT")(5, "41")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbMText")(10, 1.0)(20, 1.0)(30, 0.0)(40, 2.5)
   (41, 40.0)(71, 5)(72, 1)(3, first)(3, second)(1, "\\Pend")(7, "Romans")(11, 0.0)(21, 1.0)(31, 0.0)(73, 2)(44, 1.5);
  auto db = read(drawing(t.str()));
  auto* m = object<AcDbMText>(db.get(), L"41");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::wstring(m->contentsConst()), std::wstring(250, L'a') + std::wstring(250, L'b') + L"\\Pend");
  EXPECT_DOUBLE_EQ(m->textHeight(), 2.5);
  EXPECT_DOUBLE_EQ(m->width(), 40.0);
  EXPECT_EQ(m->attachment(), AcDbMText::kMiddleCenter);
  EXPECT_NEAR(m->rotation(), kPi / 2, 1e-12);  // from the direction vector
  EXPECT_EQ(m->lineSpacingStyle(), AcDb::kExactly);
  EXPECT_DOUBLE_EQ(m->lineSpacingFactor(), 1.5);
  EXPECT_EQ(m->textStyle(), byHandle(db.get(), L"13"));
}

TEST(DxfReader, DimensionsOfEveryKindWithTheirOverrides) {
  Tags t;
  auto dimension = [&](const char* handle, int type, const char* subclass, auto&& points) {
    t(0, "DIMENSION")(5, handle)(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbDimension")(2, "*D1")
     (10, 10.0)(20, 5.0)(30, 0.0)(11, 5.0)(21, 6.0)(31, 0.0)(70, type)(1, "<> mm")(3, "Standard")(53, 90.0)
     (100, subclass);
    points();
  };
  dimension("50", 32, "AcDbAlignedDimension", [&] { t(13, 0.0)(23, 0.0)(33, 0.0)(14, 10.0)(24, 0.0)(34, 0.0)(50, 90.0)(100, "AcDbRotatedDimension"); });
  t(1001, "ACAD")(1000, "DSTYLE")(1002, "{")(1070, 140)(1040, 4.0)(1070, 340)(1005, "13")(1070, 271)(1070, 1)(1002, "}");
  dimension("51", 1, "AcDbAlignedDimension", [&] { t(13, 0.0)(23, 0.0)(33, 0.0)(14, 3.0)(24, 4.0)(34, 0.0); });
  dimension("52", 2, "AcDb2LineAngularDimension", [&] { t(13, 0.0)(23, 0.0)(33, 0.0)(14, 1.0)(24, 0.0)(34, 0.0)(15, 0.0)(25, 0.0)(35, 0.0)(16, 1.0)(26, 1.0)(36, 0.0); });
  dimension("53", 3, "AcDbDiametricDimension", [&] { t(15, 4.0)(25, 5.0)(35, 0.0)(40, 0.0); });
  dimension("54", 4, "AcDbRadialDimension", [&] { t(15, 13.0)(25, 9.0)(35, 0.0)(40, 2.0); });
  dimension("55", 5, "AcDb3PointAngularDimension", [&] { t(13, 1.0)(23, 0.0)(33, 0.0)(14, 0.0)(24, 1.0)(34, 0.0)(15, 0.0)(25, 0.0)(35, 0.0); });
  dimension("56", 6 | 64, "AcDbOrdinateDimension", [&] { t(13, 7.0)(23, 3.0)(33, 0.0)(14, 9.0)(24, 8.0)(34, 0.0); });
  auto db = read(drawing(t.str()));
  auto* rotated = object<AcDbRotatedDimension>(db.get(), L"50");
  ASSERT_NE(rotated, nullptr);
  EXPECT_STREQ(rotated->dimensionTextConst(), L"<> mm");
  EXPECT_NEAR(rotated->rotation(), kPi / 2, 1e-12);
  EXPECT_NEAR(rotated->textRotation(), kPi / 2, 1e-12);
  EXPECT_EQ(rotated->xLine2Point(), AcGePoint3d(10, 0, 0));
  EXPECT_EQ(rotated->dimensionStyle(), byHandle(db.get(), L"15"));
  EXPECT_TRUE(rotated->hasDimtxtOverride());
  EXPECT_DOUBLE_EQ(rotated->dimtxt(), 4.0);
  EXPECT_TRUE(rotated->hasDimtxstyOverride());
  EXPECT_EQ(rotated->dimtxsty(), byHandle(db.get(), L"13"));
  double value = 0;
  ASSERT_NE(object<AcDbAlignedDimension>(db.get(), L"51"), nullptr);
  object<AcDbAlignedDimension>(db.get(), L"51")->measurement(value);
  EXPECT_DOUBLE_EQ(value, 5.0);
  EXPECT_FALSE(object<AcDbAlignedDimension>(db.get(), L"51")->hasDimtxtOverride());
  EXPECT_DOUBLE_EQ(object<AcDbAlignedDimension>(db.get(), L"51")->dimtxt(), 2.5);  // the style's
  ASSERT_NE(object<AcDb2LineAngularDimension>(db.get(), L"52"), nullptr);
  object<AcDb2LineAngularDimension>(db.get(), L"52")->measurement(value);
  EXPECT_NEAR(value, std::atan2(5.0, 10.0), 1e-12);  // the first line along x, the second to (10, 5)
  ASSERT_NE(object<AcDbDiametricDimension>(db.get(), L"53"), nullptr);
  object<AcDbDiametricDimension>(db.get(), L"53")->measurement(value);
  EXPECT_DOUBLE_EQ(value, std::hypot(6.0, 0.0));
  auto* radial = object<AcDbRadialDimension>(db.get(), L"54");
  ASSERT_NE(radial, nullptr);
  radial->measurement(value);
  EXPECT_DOUBLE_EQ(value, 5.0);
  EXPECT_DOUBLE_EQ(radial->leaderLength(), 2.0);
  auto* angular = object<AcDb3PointAngularDimension>(db.get(), L"55");
  ASSERT_NE(angular, nullptr);
  angular->measurement(value);
  EXPECT_NEAR(value, kPi / 2, 1e-12);
  auto* ordinate = object<AcDbOrdinateDimension>(db.get(), L"56");
  ASSERT_NE(ordinate, nullptr);
  EXPECT_TRUE(ordinate->isUsingXAxis());
  EXPECT_EQ(ordinate->definingPoint(), AcGePoint3d(7, 3, 0));
}

TEST(DxfReader, BlocksLayoutsAndHeaderSettings) {
  Tags body;
  body(0, "TEXT")(5, "60")(330, "30")(100, "AcDbEntity")(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.0)
      (1, "DRAWING TITLE")(100, "AcDbText");
  Tags paper;
  paper(0, "TEXT")(5, "61")(330, "1B")(100, "AcDbEntity")(67, 1)(8, "0")(100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)
       (40, 2.0)(1, "sheet note")(100, "AcDbText");
  paper(0, "INSERT")(5, "62")(330, "1B")(100, "AcDbEntity")(67, 1)(8, "0")(100, "AcDbBlockReference")(2, "Title")
       (10, 100.0)(20, 10.0)(30, 0.0)(41, 2.0)(42, 2.0)(43, 1.0)(50, 0.0);
  auto db = read(drawing(paper.str(), "", body.str()));
  auto* title = object<AcDbBlockTableRecord>(db.get(), L"30");
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(AcDbCore::entities(title).size(), 1u);
  EXPECT_STREQ(object<AcDbText>(db.get(), L"60")->textStringConst(), L"DRAWING TITLE");
  auto* sheet = object<AcDbBlockTableRecord>(db.get(), L"1B");
  EXPECT_STREQ(sheet->layoutName(), L"Sheet A1");
  EXPECT_STREQ(object<AcDbBlockTableRecord>(db.get(), L"1F")->layoutName(), L"Model");
  EXPECT_EQ(object<AcDbText>(db.get(), L"61")->ownerId(), sheet->objectId());
  auto* insert = object<AcDbBlockReference>(db.get(), L"62");
  ASSERT_NE(insert, nullptr);
  EXPECT_EQ(insert->blockTableRecord(), title->objectId());
  EXPECT_EQ(insert->scaleFactors(), AcGeVector3d(2, 2, 1));
  EXPECT_EQ(db->lunits(), 2);
  EXPECT_EQ(db->insunits(), AcDb::kUnitsMillimeters);
  EXPECT_EQ(db->clayer(), byHandle(db.get(), L"10"));
  EXPECT_EQ(db->textstyle(), byHandle(db.get(), L"12"));
  EXPECT_EQ(db->handseed().value(), 0x200u);
}

TEST(DxfReader, FieldsComeThroughTheExtensionDictionary) {
  Tags e;
  e(0, "TEXT")(5, "70")(102, "{ACAD_XDICTIONARY")(360, "71")(102, "}")(330, "1F")(100, "AcDbEntity")(8, "0")
   (100, "AcDbText")(10, 0.0)(20, 0.0)(30, 0.0)(40, 2.0)(1, "Length: 12.00 of T.dxf")(100, "AcDbText");
  e(0, "LINE")(5, "80")(330, "1F")(100, "AcDbEntity")(8, "0")(100, "AcDbLine")(10, 0.0)(20, 0.0)(30, 0.0)(11, 12.0)(21, 0.0)(31, 0.0);
  Tags o;
  o(0, "DICTIONARY")(5, "71")(330, "70")(100, "AcDbDictionary")(280, 1)(281, 1)(3, "ACAD_FIELD")(360, "72");
  o(0, "DICTIONARY")(5, "72")(330, "71")(100, "AcDbDictionary")(280, 1)(281, 1)(3, "TEXT")(360, "73");
  o(0, "FIELD")(5, "73")(330, "72")(100, "AcDbField")(1, "_text")(2, "Length: %<\\_FldIdx 0>% of %<\\_FldIdx 1>%")
   (90, 2)(360, "74")(360, "75")(97, 0)(91, 63)(92, 0)(94, 41)(95, 2)(96, 0)(300, "")(93, 0)(7, "ACFD_FIELD_VALUE")
   (93, 0)(90, 4)(1, "Length: 12.00 of T.dxf")(94, 0)(300, "")(302, "")(304, "ACVALUE_END")(301, "Length: 12.00 of T.dxf")(98, 22);
  o(0, "FIELD")(5, "74")(330, "73")(100, "AcDbField")(1, "AcObjProp")(2, "\\AcObjProp Object(%<\\_ObjIdx 0>%).Length \\f \"%lu2%pr2\"")
   (90, 0)(97, 1)(331, "80")(91, 63)(92, 0)(94, 59)(95, 2)(96, 0)(300, "")(93, 0);
  o(0, "FIELD")(5, "75")(330, "73")(100, "AcDbField")(1, "AcVar")(2, "\\AcVar Filename \\f \"%fn2\"")
   (90, 0)(97, 0)(91, 63)(92, 0)(94, 59)(95, 2)(96, 0)(300, "")(93, 0);
  auto db = read(drawing(e.str(), o.str()));
  auto* text = object<AcDbText>(db.get(), L"70");
  ASSERT_NE(text, nullptr);
  AcDbObjectId fieldId;
  ASSERT_EQ(text->getField(L"TEXT", fieldId), Acad::eOk);
  EXPECT_EQ(fieldId, byHandle(db.get(), L"73"));
  auto* field = AcDbCore::objectAs<AcDbField>(fieldId);
  // The core's form: every expression inline, object references as decimal handles (0x80 = 128).
  EXPECT_STREQ(field->getFieldCode(AcDbField::kAddMarkers),
               L"Length: %<\\AcObjProp Object(%<\\_ObjId 128>%).Length \\f \"%lu2%pr2\">% of %<\\AcVar Filename \\f \"%fn2\">%");
  EXPECT_STREQ(text->textStringConst(), L"Length: 12.00 of T.dxf");  // the value the file shows
  // The host evaluates it.
  int found = 0, evaluated = 0;
  EXPECT_EQ(acdbEvaluateFields(text->objectId(), AcFd::kDemand, nullptr, db.get(), AcFd::kEvalRecursive, &found, &evaluated), Acad::eOk);
  EXPECT_EQ(found, 2);
  EXPECT_EQ(evaluated, 2);
  EXPECT_STREQ(text->textStringConst(), L"Length: 12.00 of test.dxf");
}

TEST(DxfReader, R12DrawingWithoutHandlesGetsHandlesOfItsOwn) {
  Tags t;
  t(0, "SECTION")(2, "ENTITIES");
  t(0, "TEXT")(8, "Walls")(10, 1.0)(20, 1.0)(40, 2.0)(1, "first");
  t(0, "POLYLINE")(8, "0")(66, 1)(10, 0.0)(20, 0.0)(30, 0.0);
  t(0, "VERTEX")(8, "0")(10, 0.0)(20, 0.0)(30, 0.0);
  t(0, "VERTEX")(8, "0")(10, 5.0)(20, 5.0)(30, 0.0);
  t(0, "SEQEND")(8, "0");
  t(0, "TEXT")(8, "0")(67, 1)(10, 1.0)(20, 1.0)(40, 2.0)(1, "on paper");
  t(0, "ENDSEC")(0, "EOF");
  cadhost::dxf::ReadResult result;
  auto db = read(t.str(), &result);
  EXPECT_FALSE(result.hasWarnings()) << utf8(result.report());
  EXPECT_EQ(result.version, "AC1009");
  auto* model = AcDbCore::objectAs<AcDbBlockTableRecord>(db->modelSpaceId());
  ASSERT_NE(model, nullptr);
  const auto& entities = AcDbCore::entities(model);
  ASSERT_EQ(entities.size(), 2u);  // the vertices belong to their polyline
  auto* first = AcDbCore::objectAs<AcDbText>(entities[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->handle().isNull());
  EXPECT_NE(entities[0].handle(), entities[1].handle());
  EXPECT_STREQ(first->layer(), L"Walls");  // a layer named on use
  EXPECT_EQ(AcDbCore::objectAs<AcDbUnmodeledEntity>(entities[1])->typeName(), std::wstring(L"POLYLINE"));
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db->getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* paper = nullptr;
  ASSERT_EQ(blocks->getAt(ACDB_PAPER_SPACE, paper, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(paper->entityCount(), 1);
  paper->close();
  blocks->close();
  // Fresh handles are never written into a drawing that has none.
  EXPECT_EQ(write(db.get()), t.str());
}

TEST(DxfReader, UnknownEntitiesAreKeptWithTheirExtents) {
  Tags t;
  t(0, "HATCH")(5, "90")(330, "1F")(100, "AcDbEntity")(8, "Notes")(100, "AcDbHatch")(10, 0.0)(20, 0.0)(30, 0.0)
   (210, 0.0)(220, 0.0)(230, 1.0)(2, "SOLID")(70, 1)(71, 0)(91, 1)(92, 1)(93, 2)(72, 1)(10, -3.0)(20, 4.0)(11, 8.0)(21, 9.0)
   (97, 0)(75, 0)(76, 1)(98, 0);
  auto db = read(drawing(t.str()));
  auto* hatch = object<AcDbUnmodeledEntity>(db.get(), L"90");
  ASSERT_NE(hatch, nullptr);
  EXPECT_STREQ(hatch->typeName(), L"HATCH");
  EXPECT_EQ(hatch->layerId(), byHandle(db.get(), L"11"));
  AcDbExtents extents;
  ASSERT_EQ(hatch->getGeomExtents(extents), Acad::eOk);
  EXPECT_EQ(extents.minPoint(), AcGePoint3d(-3, 0, 0));
  EXPECT_EQ(extents.maxPoint(), AcGePoint3d(8, 9, 0));
  // Objects of kinds the host does not model.
  EXPECT_NE(object<AcDbUnmodeledObject>(db.get(), L"1A"), nullptr);
  EXPECT_STREQ(object<AcDbUnmodeledObject>(db.get(), L"1A")->typeName(), L"DICTIONARY");
}
