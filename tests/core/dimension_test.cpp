// Dimensions: every kind is a DIMENSION; the text is kept as stored and drawn with the
// measurement in place of "<>"; text height and style fall back to the dimension style unless
// the dimension overrides them; each kind measures what it dimensions.
#include "drawing_fixture.h"

#include <cmath>
#include <memory>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<std::unique_ptr<AcDbDimension>> oneOfEachKind() {
  std::vector<std::unique_ptr<AcDbDimension>> kinds;
  kinds.emplace_back(new AcDbAlignedDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0), AcGePoint3d(0, 5, 0)));
  kinds.emplace_back(new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0), AcGePoint3d(0, 5, 0)));
  auto* twoLine = new AcDb2LineAngularDimension;
  twoLine->setLines(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 0, 0), AcGePoint3d(0, 1, 0));
  kinds.emplace_back(twoLine);
  auto* threePoint = new AcDb3PointAngularDimension;
  threePoint->setPoints(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(1, 1, 0), AcGePoint3d(2, 1, 0));
  kinds.emplace_back(threePoint);
  kinds.emplace_back(new AcDbRadialDimension(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 2.5, 0), 1));
  kinds.emplace_back(new AcDbDiametricDimension(AcGePoint3d(-3, 0, 0), AcGePoint3d(3, 0, 0), 1));
  auto* ordinate = new AcDbOrdinateDimension(false, AcGePoint3d(4, 7, 0), AcGePoint3d(6, 9, 0));
  ordinate->setOrigin(AcGePoint3d(1, 2, 0));
  kinds.emplace_back(ordinate);
  return kinds;
}

TEST(Dimension, EveryKindIsADimensionByTypeName) {
  for (const auto& dim : oneOfEachKind()) {
    EXPECT_STREQ(dim->typeName(), L"DIMENSION") << testing::PrintToString(std::wstring(dim->isA()->name()));
    EXPECT_TRUE(dim->isKindOf(AcDbDimension::desc()));
    EXPECT_TRUE(dim->isKindOf(AcDbEntity::desc()));
  }
}

TEST(Dimension, EachKindMeasuresWhatItDimensions) {
  const double expected[] = {5.0, 3.0, kPi / 2, kPi / 4, 2.5, 6.0, 5.0};
  auto kinds = oneOfEachKind();
  ASSERT_EQ(kinds.size(), std::size(expected));
  for (size_t i = 0; i < kinds.size(); ++i) {
    double value = -1;
    ASSERT_EQ(kinds[i]->measurement(value), Acad::eOk);
    EXPECT_NEAR(value, expected[i], 1e-12) << testing::PrintToString(std::wstring(kinds[i]->isA()->name()));
  }

  AcDbRotatedDimension vertical(kPi / 2, AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0), AcGePoint3d(5, 0, 0));
  double value = 0;
  vertical.measurement(value);
  EXPECT_NEAR(value, 4.0, 1e-12) << "a vertical dimension measures the rise";
  AcDbOrdinateDimension xOrdinate(true, AcGePoint3d(4, 7, 0), AcGePoint3d(6, 9, 0));
  xOrdinate.setOrigin(AcGePoint3d(1, 2, 0));
  xOrdinate.measurement(value);
  EXPECT_NEAR(value, 3.0, 1e-12);
}

TEST(Dimension, TextIsKeptAsStored) {
  AcDbRotatedDimension dim(0, AcGePoint3d(0, 0, 0), AcGePoint3d(12.5, 0, 0), AcGePoint3d(0, 5, 0));
  EXPECT_STREQ(dim.dimensionTextConst(), L"");
  for (const wchar_t* stored : {L"", L"<>", L"<> mm", L"Length <>", L"Fixed 100", L"\\A1;{\\H0.7x;<>}"}) {
    ASSERT_EQ(dim.setDimensionText(stored), Acad::eOk);
    EXPECT_STREQ(dim.dimensionTextConst(), stored);
    ACHAR* copy = dim.dimensionText();
    EXPECT_STREQ(copy, stored);
    acutDelString(copy);
  }
  EXPECT_EQ(dim.setDimensionText(nullptr), Acad::eOk);
  EXPECT_STREQ(dim.dimensionTextConst(), L"");
}

using DimensionInDrawingTest = DrawingTest;

TEST_F(DimensionInDrawingTest, DrawnTextPutsTheMeasurementInPlaceOfBrackets) {
  auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(12.5, 0, 0), AcGePoint3d(0, 5, 0));
  const AcDbObjectId id = append(dim);
  change<AcDbDimStyleTableRecord>(db->dimstyle(), [](AcDbDimStyleTableRecord* style) { style->setDimdec(2); });
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L"12.50"}, {L"<>", L"12.50"}, {L"<> mm", L"12.50 mm"}, {L"Fixed", L"Fixed"}, {L".", L""},
  };
  for (const auto& [stored, drawn] : cases) {
    change<AcDbDimension>(id, [&](AcDbDimension* d) { d->setDimensionText(stored); });
    inspect<AcDbDimension>(id, [&](AcDbDimension* d) {
      EXPECT_EQ(d->formattedText().str(), drawn) << testing::PrintToString(std::wstring(stored));
      EXPECT_STREQ(d->dimensionTextConst(), stored);
    });
  }

  auto* angle = new AcDb3PointAngularDimension;
  angle->setPoints(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0));
  const AcDbObjectId angleId = append(angle);
  inspect<AcDbDimension>(angleId, [](AcDbDimension* d) { EXPECT_EQ(d->formattedText().str(), L"90%%d"); });
}

TEST_F(DimensionInDrawingTest, DrawnTextUsesTheUnitsOfItsOwnDrawing) {
  AcDbDatabase* imperial = new AcDbDatabase(true);
  ASSERT_EQ(imperial->setLunits(4), Acad::eOk);
  cadhost::openDocument(imperial, true, L"Imperial.dwg");
  auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(17.5, 0, 0), AcGePoint3d(0, 5, 0));
  {
    // The other drawing is written under its own document's lock.
    AcAxDocLock imperialLock(imperial, AcAxDocLock::kCurDocSwitch);
    AcDbDimStyleTableRecord* style = nullptr;
    ASSERT_EQ(acdbOpenObject(style, imperial->dimstyle(), AcDb::kForWrite), Acad::eOk);
    style->setDimdec(1);
    style->close();
    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, imperial->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(model->appendAcDbEntity(dim), Acad::eOk);
    model->close();
  }
  EXPECT_EQ(dim->dimensionStyle(), imperial->dimstyle());
  ASSERT_EQ(acDocManager->curDocument(), doc) << "the decimal drawing is the working one";
  EXPECT_EQ(dim->formattedText().str(), L"1'-5 1/2\"");
  dim->close();
}

TEST_F(DimensionInDrawingTest, TextHeightAndStyleComeFromTheStyleUnlessOverridden) {
  const AcDbObjectId mono = addTextStyle(L"Mono");
  const AcDbObjectId id = append(new AcDbAlignedDimension(AcGePoint3d(), AcGePoint3d(10, 0, 0), AcGePoint3d(0, 2, 0)));
  inspect<AcDbDimension>(id, [&](AcDbDimension* d) {
    EXPECT_EQ(d->dimensionStyle(), db->dimstyle()) << "an appended dimension takes the current style";
    EXPECT_DOUBLE_EQ(d->dimtxt(), 0.18);
    EXPECT_EQ(d->dimtxsty(), db->textstyle());
    EXPECT_FALSE(d->hasDimtxtOverride());
    EXPECT_FALSE(d->hasDimtxstyOverride());
  });

  change<AcDbDimStyleTableRecord>(db->dimstyle(), [](AcDbDimStyleTableRecord* style) {
    EXPECT_EQ(style->setDimtxt(2.5), Acad::eOk);
    EXPECT_EQ(style->setDimtxt(0), Acad::eInvalidInput);
  });
  inspect<AcDbDimension>(id, [](AcDbDimension* d) { EXPECT_DOUBLE_EQ(d->dimtxt(), 2.5); });

  change<AcDbDimension>(id, [&](AcDbDimension* d) {
    EXPECT_EQ(d->setDimtxt(3.5), Acad::eOk);
    EXPECT_EQ(d->setDimtxsty(mono), Acad::eOk);
    EXPECT_EQ(d->setDimtxt(-1), Acad::eInvalidInput);
    EXPECT_EQ(d->setDimtxt(std::nan("")), Acad::eInvalidInput);
    EXPECT_EQ(d->setDimtxsty(db->clayer()), Acad::eInvalidInput) << "a layer is no text style";
    EXPECT_EQ(d->setDimtxsty(AcDbObjectId::kNull), Acad::eInvalidInput);
  });
  inspect<AcDbDimension>(id, [&](AcDbDimension* d) {
    EXPECT_DOUBLE_EQ(d->dimtxt(), 3.5);
    EXPECT_EQ(d->dimtxsty(), mono);
    EXPECT_TRUE(d->hasDimtxtOverride());
    EXPECT_TRUE(d->hasDimtxstyOverride());
  });

  change<AcDbDimension>(id, [](AcDbDimension* d) {
    d->removeDimtxtOverride();
    d->removeDimtxstyOverride();
  });
  inspect<AcDbDimension>(id, [&](AcDbDimension* d) {
    EXPECT_DOUBLE_EQ(d->dimtxt(), 2.5);
    EXPECT_EQ(d->dimtxsty(), db->textstyle());
  });
}

TEST_F(DimensionInDrawingTest, ChangesNeedTheDimensionOpenForWrite) {
  const AcDbObjectId id = append(new AcDbRadialDimension(AcGePoint3d(), AcGePoint3d(1, 0, 0), 0.5, L"R<>"));
  AcDbDimension* dim = nullptr;
  ASSERT_EQ(acdbOpenObject(dim, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(dim->setDimensionText(L"other"), Acad::eNotOpenForWrite);
  EXPECT_EQ(dim->setDimtxt(1), Acad::eNotOpenForWrite);
  EXPECT_FAULTS(L"AcDbRadialDimension::setDimensionText: write to an object open only for read",
                L"AcDbRadialDimension::setDimtxt: write to an object open only for read");
  EXPECT_STREQ(dim->dimensionTextConst(), L"R<>");
  EXPECT_FALSE(dim->hasDimtxtOverride());
  dim->close();

  // A clone keeps the text and the overrides.
  change<AcDbDimension>(id, [](AcDbDimension* d) { d->setDimtxt(4); });
  inspect<AcDbDimension>(id, [](AcDbDimension* d) {
    std::unique_ptr<AcDbRadialDimension> copy(AcDbRadialDimension::cast(d->clone()));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->dimensionTextConst(), L"R<>");
    EXPECT_DOUBLE_EQ(copy->dimtxt(), 4);
    EXPECT_EQ(copy->dimensionStyle(), d->dimensionStyle());
  });
}

}  // namespace
