// Single-line text (insertion and alignment points kept consistent with the justification, by
// the host's size estimate: every character 0.8 x height x width factor wide, descenders 0.3 x
// height below the baseline) and multi-line text (contents, line spacing, plain text).
#include "drawing_fixture.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A text "ABCD" of height 2 (6.4 wide by the estimate) with a justification, placed with its
// alignment point at (10, 0) and a rotation.
AcDbText* justified(AcDb::TextHorzMode h, AcDb::TextVertMode v, double rotation = 0) {
  auto* text = new AcDbText(AcGePoint3d(0, 0, 0), L"ABCD", AcDbObjectId::kNull, 2.0, rotation);
  EXPECT_EQ(text->setHorizontalMode(h), Acad::eOk);
  EXPECT_EQ(text->setVerticalMode(v), Acad::eOk);
  EXPECT_EQ(text->setAlignmentPoint(AcGePoint3d(10, 0, 0)), Acad::eOk);
  return text;
}

struct JustificationCase {
  AcDb::TextHorzMode h;
  AcDb::TextVertMode v;
  AcGePoint3d position;  // expected, for alignment (10, 0)
};

TEST(TextJustification, AlignmentPointPlacesTheTextByTheSizeEstimate) {
  const double w = 4 * 0.8 * 2;  // 6.4
  const JustificationCase cases[] = {
      {AcDb::kTextCenter, AcDb::kTextBase, {10 - w / 2, 0, 0}},
      {AcDb::kTextRight, AcDb::kTextBase, {10 - w, 0, 0}},
      {AcDb::kTextMid, AcDb::kTextBase, {10 - w / 2, -1, 0}},
      {AcDb::kTextLeft, AcDb::kTextTop, {10, -2, 0}},
      {AcDb::kTextLeft, AcDb::kTextVertMid, {10, -1, 0}},
      {AcDb::kTextLeft, AcDb::kTextBottom, {10, 0.6, 0}},
      {AcDb::kTextCenter, AcDb::kTextTop, {10 - w / 2, -2, 0}},
      {AcDb::kTextCenter, AcDb::kTextVertMid, {10 - w / 2, -1, 0}},
      {AcDb::kTextRight, AcDb::kTextBottom, {10 - w, 0.6, 0}},
      {AcDb::kTextRight, AcDb::kTextTop, {10 - w, -2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "horizontal " << c.h << ", vertical " << c.v);
    AcDbText* text = justified(c.h, c.v);
    EXPECT_FALSE(text->isDefaultAlignment());
    EXPECT_POINT_NEAR(text->alignmentPoint(), AcGePoint3d(10, 0, 0));
    EXPECT_POINT_NEAR(text->position(), c.position);
    delete text;
  }
}

TEST(TextJustification, LeftBaselineTextIsPlacedByItsPosition) {
  AcDbText text(AcGePoint3d(3, 4, 0), L"ABCD", AcDbObjectId::kNull, 2.0);
  EXPECT_TRUE(text.isDefaultAlignment());
  EXPECT_EQ(text.setPosition(AcGePoint3d(5, 6, 0)), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(5, 6, 0));
  EXPECT_EQ(text.setAlignmentPoint(AcGePoint3d(50, 50, 0)), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(5, 6, 0)) << "the alignment point means nothing here";
  EXPECT_EQ(text.setTextString(L"A much longer text"), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(5, 6, 0));
}

TEST(TextJustification, AlignmentPlacedTextFollowsItsAlignmentPointOnly) {
  AcDbText* text = justified(AcDb::kTextCenter, AcDb::kTextBase);
  EXPECT_EQ(text->setPosition(AcGePoint3d(100, 100, 0)), Acad::eOk);
  EXPECT_POINT_NEAR(text->position(), AcGePoint3d(6.8, 0, 0)) << "the position follows from the alignment point";

  // Every change of size keeps the alignment point where it is.
  EXPECT_EQ(text->setTextString(L"AB"), Acad::eOk);
  EXPECT_POINT_NEAR(text->position(), AcGePoint3d(10 - 1.6, 0, 0));
  EXPECT_EQ(text->setHeight(4), Acad::eOk);
  EXPECT_POINT_NEAR(text->position(), AcGePoint3d(10 - 3.2, 0, 0));
  EXPECT_EQ(text->setWidthFactor(0.5), Acad::eOk);
  EXPECT_POINT_NEAR(text->position(), AcGePoint3d(10 - 1.6, 0, 0));
  EXPECT_POINT_NEAR(text->alignmentPoint(), AcGePoint3d(10, 0, 0));
  delete text;
}

TEST(TextJustification, SpecialCodesCountAsTheCharactersTheyDraw) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"45%%d", 3}, {L"%%c20", 3}, {L"%%p0.5", 4}, {L"%%uAB%%u", 2}, {L"%%OAB", 2}, {L"%%%", 1}, {L"%%176C", 2}, {L"%%", 2},
  };
  for (const auto& [string, drawn] : cases) {
    AcDbText text(AcGePoint3d(), string, AcDbObjectId::kNull, 1.0);
    text.setHorizontalMode(AcDb::kTextRight);
    text.setAlignmentPoint(AcGePoint3d(10, 0, 0));
    EXPECT_NEAR(text.position().x, 10 - drawn * 0.8, 1e-9) << "\"" << testing::PrintToString(std::wstring(string)) << "\"";
  }
}

TEST(TextJustification, RotationTurnsTheOffsetAboutTheAlignmentPoint) {
  AcDbText* centred = justified(AcDb::kTextCenter, AcDb::kTextBase, kPi / 2);
  EXPECT_POINT_NEAR(centred->position(), AcGePoint3d(10, -3.2, 0));
  delete centred;

  AcDbText* topCentred = justified(AcDb::kTextCenter, AcDb::kTextTop, kPi / 2);
  EXPECT_POINT_NEAR(topCentred->position(), AcGePoint3d(12, -3.2, 0)) << "top is to the left of upward text";
  EXPECT_EQ(topCentred->setRotation(0), Acad::eOk);
  EXPECT_POINT_NEAR(topCentred->position(), AcGePoint3d(6.8, -2, 0));
  EXPECT_POINT_NEAR(topCentred->alignmentPoint(), AcGePoint3d(10, 0, 0));
  delete topCentred;

  AcDbText* mirrored = justified(AcDb::kTextCenter, AcDb::kTextBase);
  EXPECT_EQ(mirrored->mirrorInX(true), Acad::eOk);
  EXPECT_POINT_NEAR(mirrored->position(), AcGePoint3d(13.2, 0, 0)) << "mirrored text runs backwards";
  delete mirrored;
}

TEST(TextJustification, ChangingJustificationKeepsTheTextInPlace) {
  AcDbText text(AcGePoint3d(5, 5, 0), L"ABCD", AcDbObjectId::kNull, 2.0);
  ASSERT_EQ(text.setHorizontalMode(AcDb::kTextRight), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(5, 5, 0));
  EXPECT_POINT_NEAR(text.alignmentPoint(), AcGePoint3d(11.4, 5, 0));
  ASSERT_EQ(text.setTextString(L"AB"), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(8.2, 5, 0)) << "right-justified text keeps its right end";
  ASSERT_EQ(text.setVerticalMode(AcDb::kTextTop), Acad::eOk);
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(8.2, 5, 0));
  EXPECT_POINT_NEAR(text.alignmentPoint(), AcGePoint3d(11.4, 7, 0));
  ASSERT_EQ(text.setHorizontalMode(AcDb::kTextLeft), Acad::eOk);
  ASSERT_EQ(text.setVerticalMode(AcDb::kTextBase), Acad::eOk);
  EXPECT_TRUE(text.isDefaultAlignment());
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d(8.2, 5, 0));
}

TEST(TextJustification, AlignedAndFitTextFillTheirBaseline) {
  AcDbText aligned(AcGePoint3d(0, 0, 0), L"ABCD", AcDbObjectId::kNull, 1.0);
  ASSERT_EQ(aligned.setHorizontalMode(AcDb::kTextAlign), Acad::eOk);
  EXPECT_POINT_NEAR(aligned.alignmentPoint(), AcGePoint3d(3.2, 0, 0)) << "the baseline the text had";
  ASSERT_EQ(aligned.setAlignmentPoint(AcGePoint3d(10, 10, 0)), Acad::eOk);
  EXPECT_NEAR(aligned.rotation(), kPi / 4, 1e-12) << "rotation follows the baseline";
  ASSERT_EQ(aligned.setTextString(L"ABCDEFGH"), Acad::eOk);
  EXPECT_NEAR(aligned.height(), 0.5, 1e-12) << "twice the characters, half the height";
  EXPECT_DOUBLE_EQ(aligned.widthFactor(), 1.0);
  ASSERT_EQ(aligned.setTextString(L"AB"), Acad::eOk);
  EXPECT_NEAR(aligned.height(), 2.0, 1e-12);
  EXPECT_POINT_NEAR(aligned.position(), AcGePoint3d(0, 0, 0));
  EXPECT_POINT_NEAR(aligned.alignmentPoint(), AcGePoint3d(10, 10, 0));

  AcDbText fit(AcGePoint3d(0, 0, 0), L"ABCD", AcDbObjectId::kNull, 1.0);
  ASSERT_EQ(fit.setHorizontalMode(AcDb::kTextFit), Acad::eOk);
  ASSERT_EQ(fit.setTextString(L"ABCDEFGH"), Acad::eOk);
  EXPECT_NEAR(fit.widthFactor(), 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(fit.height(), 1.0);
  ASSERT_EQ(fit.setTextString(L""), Acad::eOk);
  EXPECT_NEAR(fit.widthFactor(), 0.5, 1e-12) << "an empty text keeps its size";
}

TEST(TextJustification, RotatingAlignedTextTurnsTheBaselineAboutItsStart) {
  AcDbText aligned(AcGePoint3d(2, 3, 0), L"ABCD", AcDbObjectId::kNull, 1.0);
  ASSERT_EQ(aligned.setHorizontalMode(AcDb::kTextAlign), Acad::eOk);
  ASSERT_EQ(aligned.setAlignmentPoint(AcGePoint3d(12, 3, 0)), Acad::eOk);
  EXPECT_NEAR(aligned.rotation(), 0, 1e-12);
  ASSERT_EQ(aligned.setRotation(kPi / 2), Acad::eOk);
  EXPECT_NEAR(aligned.rotation(), kPi / 2, 1e-12);
  EXPECT_POINT_NEAR(aligned.position(), AcGePoint3d(2, 3, 0));
  EXPECT_POINT_NEAR(aligned.alignmentPoint(), AcGePoint3d(2, 13, 0), 1e-9);
}

TEST(TextProperties, BadValuesAreRefusedAndLeaveTheTextAsItWas) {
  AcDbText text(AcGePoint3d(), L"Keep", AcDbObjectId::kNull, 2.0, 0.5);
  const double nan = std::nan("");
  EXPECT_EQ(text.setHeight(0), Acad::eInvalidInput);
  EXPECT_EQ(text.setHeight(-1), Acad::eInvalidInput);
  EXPECT_EQ(text.setHeight(nan), Acad::eInvalidInput);
  EXPECT_EQ(text.setHeight(HUGE_VAL), Acad::eInvalidInput);
  EXPECT_EQ(text.setWidthFactor(0), Acad::eInvalidInput);
  EXPECT_EQ(text.setWidthFactor(nan), Acad::eInvalidInput);
  EXPECT_EQ(text.setRotation(nan), Acad::eInvalidInput);
  EXPECT_EQ(text.setOblique(1.6), Acad::eInvalidInput) << "beyond 85 degrees";
  EXPECT_EQ(text.setPosition(AcGePoint3d(nan, 0, 0)), Acad::eInvalidInput);
  EXPECT_EQ(text.setAlignmentPoint(AcGePoint3d(0, HUGE_VAL, 0)), Acad::eInvalidInput);
  EXPECT_EQ(text.setHorizontalMode(static_cast<AcDb::TextHorzMode>(6)), Acad::eInvalidInput);
  EXPECT_EQ(text.setVerticalMode(static_cast<AcDb::TextVertMode>(-1)), Acad::eInvalidInput);
  EXPECT_EQ(text.setTextString(nullptr), Acad::eNullObjectPointer);
  EXPECT_EQ(text.setNormal(AcGeVector3d(0, 0, 0)), Acad::eInvalidInput);
  EXPECT_DOUBLE_EQ(text.height(), 2.0);
  EXPECT_DOUBLE_EQ(text.widthFactor(), 1.0);
  EXPECT_DOUBLE_EQ(text.rotation(), 0.5);
  EXPECT_DOUBLE_EQ(text.oblique(), 0.0);
  EXPECT_TRUE(text.isDefaultAlignment());
  EXPECT_STREQ(text.textStringConst(), L"Keep");
  EXPECT_POINT_NEAR(text.position(), AcGePoint3d());
}

TEST(TextProperties, TextStringCopiesBelongToTheCaller) {
  AcDbText text(AcGePoint3d(), L"Line one\nstill one line", AcDbObjectId::kNull, 1.0);
  ACHAR* copy = text.textString();
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, L"Line one\nstill one line") << "line breaks are kept as given";
  copy[0] = L'X';
  EXPECT_STREQ(text.textStringConst(), L"Line one\nstill one line");
  acutDelString(copy);
  EXPECT_EQ(copy, nullptr);
  AcString s;
  EXPECT_EQ(text.textString(s), Acad::eOk);
  EXPECT_EQ(s, L"Line one\nstill one line");
}

TEST(TextProperties, ExtentsFollowTheEstimate) {
  AcDbText text(AcGePoint3d(1, 1, 0), L"ABCD", AcDbObjectId::kNull, 2.0);
  AcDbExtents box;
  ASSERT_EQ(text.getGeomExtents(box), Acad::eOk);
  EXPECT_POINT_NEAR(box.minPoint(), AcGePoint3d(1, 0.4, 0));
  EXPECT_POINT_NEAR(box.maxPoint(), AcGePoint3d(7.4, 3, 0));
}

TEST(MText, LineSpacingFactorStaysWithinTheHostsLimits) {
  AcDbMText mtext;
  EXPECT_EQ(mtext.setLineSpacingFactor(0.25), Acad::eOk);
  EXPECT_DOUBLE_EQ(mtext.lineSpacingFactor(), 0.25);
  EXPECT_EQ(mtext.setLineSpacingFactor(4.0), Acad::eOk);
  EXPECT_DOUBLE_EQ(mtext.lineSpacingFactor(), 4.0);
  EXPECT_EQ(mtext.setLineSpacingFactor(1.5), Acad::eOk);
  for (double bad : {0.24, 4.01, 0.0, -1.0, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(mtext.setLineSpacingFactor(bad), Acad::eInvalidInput) << bad;
    EXPECT_DOUBLE_EQ(mtext.lineSpacingFactor(), 1.5);
  }
  EXPECT_EQ(mtext.setLineSpacingStyle(AcDb::kExactly), Acad::eOk);
  EXPECT_EQ(mtext.setLineSpacingStyle(static_cast<AcDb::LineSpacingStyle>(3)), Acad::eInvalidInput);
  EXPECT_EQ(mtext.lineSpacingStyle(), AcDb::kExactly);
}

TEST(MText, ContentsRoundTripWithTheirFormattingCodes) {
  AcDbMText mtext;
  const wchar_t* contents = L"{\\fArial|b1;Title}\\PSecond line\\P\\U+0416 \\S1/2; a\\~b \\\\ \\{x\\}";
  ASSERT_EQ(mtext.setContents(contents), Acad::eOk);
  EXPECT_STREQ(mtext.contentsConst(), contents);
  ACHAR* copy = mtext.contents();
  EXPECT_STREQ(copy, contents);
  acutDelString(copy);
  EXPECT_EQ(mtext.text(), L"Title\nSecond line\n\u0416 1/2 a b \\ {x}");
  EXPECT_FALSE(mtext.hasFields());
  mtext.setContents(L"A\\U+ZZZZB\\U+00C4C\\U+0000D\\U+41");
  EXPECT_EQ(mtext.text(), L"AU+ZZZZB\u00C4CU+0000DU+41") << "what is no character code is shown as written";
  mtext.setContents(contents);
  EXPECT_EQ(mtext.setContents(nullptr), Acad::eNullObjectPointer);
  EXPECT_STREQ(mtext.contentsConst(), contents);
}

TEST(MText, SizeEstimateCountsLinesAndSpacing) {
  AcDbMText mtext;
  mtext.setTextHeight(2);
  mtext.setContents(L"ABCD\\PAB");
  EXPECT_NEAR(mtext.actualHeight(), 2 + 5.0 / 3 * 2, 1e-12);
  EXPECT_NEAR(mtext.actualWidth(), 6.4, 1e-12);
  mtext.setLineSpacingFactor(2);
  EXPECT_NEAR(mtext.actualHeight(), 2 + 2 * 5.0 / 3 * 2, 1e-12);
  mtext.setWidth(5);
  EXPECT_NEAR(mtext.actualWidth(), 5, 1e-12) << "a defined width wraps the text";
  EXPECT_EQ(mtext.setWidth(-1), Acad::eInvalidInput);
  EXPECT_EQ(mtext.setTextHeight(0), Acad::eInvalidInput);
  EXPECT_EQ(mtext.setAttachment(static_cast<AcDbMText::AttachmentPoint>(0)), Acad::eInvalidInput);
  EXPECT_EQ(mtext.setAttachment(static_cast<AcDbMText::AttachmentPoint>(10)), Acad::eInvalidInput);
  EXPECT_EQ(mtext.attachment(), AcDbMText::kTopLeft);
}

using TextInDrawingTest = DrawingTest;

TEST_F(TextInDrawingTest, LayerByNameMustExist) {
  addLayer(L"Notes");
  AcDbText text(AcGePoint3d(), L"x");
  EXPECT_EQ(text.setLayer(L"NOTES"), Acad::eOk) << "looked up in the working drawing";
  ACHAR* name = text.layer();
  EXPECT_STREQ(name, L"Notes");
  acutDelString(name);
  EXPECT_EQ(text.setLayer(L"Nowhere"), Acad::eKeyNotFound);
  EXPECT_EQ(text.setTextStyle(db->clayer()), Acad::eInvalidInput) << "a layer is no text style";
}

}  // namespace
