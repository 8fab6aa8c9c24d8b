// Linear units: distances printed in each of the five unit modes at every precision, negative
// values and rounding, the drawing's LUNITS and LUPREC for -1, and reading back every form the
// host prints (and the forms people type) while refusing anything else.
#include "drawing_fixture.h"

#include <cmath>

namespace {

enum { kScientific = 1, kDecimal = 2, kEngineering = 3, kArchitectural = 4, kFractional = 5 };

std::wstring rtos(double value, int unit, int precision) {
  ACHAR buffer[128];
  const int status = acdbRToS(value, unit, precision, buffer);
  EXPECT_EQ(status, RTNORM) << value << " in mode " << unit << ", precision " << precision;
  return status == RTNORM ? std::wstring(buffer) : std::wstring(L"<refused>");
}

struct Row {
  int unit;
  const wchar_t* byPrecision[9];
};

void expectTable(double value, const Row (&rows)[5]) {
  for (const Row& row : rows)
    for (int precision = 0; precision <= 8; ++precision)
      EXPECT_EQ(rtos(value, row.unit, precision), row.byPrecision[precision])
          << value << " in mode " << row.unit << ", precision " << precision;
}

TEST(UnitsFormat, SeventeenAndAHalfInEveryModeAndPrecision) {
  const Row rows[5] = {
      {kScientific, {L"2E+01", L"1.8E+01", L"1.75E+01", L"1.750E+01", L"1.7500E+01", L"1.75000E+01", L"1.750000E+01",
                     L"1.7500000E+01", L"1.75000000E+01"}},
      {kDecimal, {L"18", L"17.5", L"17.50", L"17.500", L"17.5000", L"17.50000", L"17.500000", L"17.5000000", L"17.50000000"}},
      {kEngineering, {L"1'-6\"", L"1'-5.5\"", L"1'-5.50\"", L"1'-5.500\"", L"1'-5.5000\"", L"1'-5.50000\"",
                      L"1'-5.500000\"", L"1'-5.5000000\"", L"1'-5.50000000\""}},
      {kArchitectural, {L"1'-6\"", L"1'-5 1/2\"", L"1'-5 1/2\"", L"1'-5 1/2\"", L"1'-5 1/2\"", L"1'-5 1/2\"",
                        L"1'-5 1/2\"", L"1'-5 1/2\"", L"1'-5 1/2\""}},
      {kFractional, {L"18", L"17 1/2", L"17 1/2", L"17 1/2", L"17 1/2", L"17 1/2", L"17 1/2", L"17 1/2", L"17 1/2"}},
  };
  expectTable(17.5, rows);
}

TEST(UnitsFormat, AThirdRoundsToEachPrecision) {
  const Row rows[5] = {
      {kScientific, {L"3E-01", L"3.3E-01", L"3.33E-01", L"3.333E-01", L"3.3333E-01", L"3.33333E-01", L"3.333333E-01",
                     L"3.3333333E-01", L"3.33333333E-01"}},
      {kDecimal, {L"0", L"0.3", L"0.33", L"0.333", L"0.3333", L"0.33333", L"0.333333", L"0.3333333", L"0.33333333"}},
      {kEngineering, {L"0'-0\"", L"0'-0.3\"", L"0'-0.33\"", L"0'-0.333\"", L"0'-0.3333\"", L"0'-0.33333\"",
                      L"0'-0.333333\"", L"0'-0.3333333\"", L"0'-0.33333333\""}},
      {kArchitectural, {L"0'-0\"", L"0'-0 1/2\"", L"0'-0 1/4\"", L"0'-0 3/8\"", L"0'-0 5/16\"", L"0'-0 11/32\"",
                        L"0'-0 21/64\"", L"0'-0 43/128\"", L"0'-0 85/256\""}},
      {kFractional, {L"0", L"1/2", L"1/4", L"3/8", L"5/16", L"11/32", L"21/64", L"43/128", L"85/256"}},
  };
  expectTable(1.0 / 3.0, rows);
}

TEST(UnitsFormat, NegativeValuesCarryTheirSign) {
  EXPECT_EQ(rtos(-17.5, kScientific, 4), L"-1.7500E+01");
  EXPECT_EQ(rtos(-17.5, kDecimal, 2), L"-17.50");
  EXPECT_EQ(rtos(-17.5, kEngineering, 2), L"-1'-5.50\"");
  EXPECT_EQ(rtos(-17.5, kArchitectural, 2), L"-1'-5 1/2\"");
  EXPECT_EQ(rtos(-17.5, kFractional, 2), L"-17 1/2");
  EXPECT_EQ(rtos(-0.75, kFractional, 2), L"-3/4");
  EXPECT_EQ(rtos(-0.0017, kScientific, 2), L"-1.70E-03");
  // What rounds to nothing has no sign.
  EXPECT_EQ(rtos(-0.001, kDecimal, 2), L"0.00");
  EXPECT_EQ(rtos(-0.001, kEngineering, 1), L"0'-0.0\"");
  EXPECT_EQ(rtos(-0.001, kArchitectural, 2), L"0'-0\"");
  EXPECT_EQ(rtos(-0.001, kFractional, 2), L"0");
}

TEST(UnitsFormat, RoundingCarriesIntoTheNextUnit) {
  EXPECT_EQ(rtos(2.5, kDecimal, 0), L"3") << "halves round away from zero";
  EXPECT_EQ(rtos(-2.5, kDecimal, 0), L"-3");
  EXPECT_EQ(rtos(1.005, kDecimal, 2), L"1.01");
  EXPECT_EQ(rtos(9.99996, kScientific, 4), L"1.0000E+01");
  EXPECT_EQ(rtos(0.0, kScientific, 2), L"0.00E+00");
  EXPECT_EQ(rtos(23.999, kEngineering, 2), L"2'-0.00\"") << "12 inches make a foot";
  EXPECT_EQ(rtos(23.999, kArchitectural, 2), L"2'-0\"");
  EXPECT_EQ(rtos(11.999, kFractional, 2), L"12");
  EXPECT_EQ(rtos(12, kArchitectural, 4), L"1'-0\"");
  EXPECT_EQ(rtos(0.0625, kArchitectural, 4), L"0'-0 1/16\"");
  EXPECT_EQ(rtos(1234.5678, kDecimal, 3), L"1234.568");
  EXPECT_EQ(rtos(1234.5678, kEngineering, 3), L"102'-10.568\"");
  EXPECT_EQ(rtos(1234.5678, kArchitectural, 3), L"102'-10 5/8\"");
}

TEST(UnitsFormat, BadArgumentsAreRefused) {
  ACHAR buffer[64] = L"untouched";
  EXPECT_EQ(acdbRToS(1, 0, 2, buffer), RTERROR);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(acdbRToS(1, 6, 2, buffer), RTERROR);
  EXPECT_EQ(acdbRToS(1, 2, 9, buffer), RTERROR);
  EXPECT_EQ(acdbRToS(1, 2, -2, buffer), RTERROR);
  EXPECT_EQ(acdbRToS(std::nan(""), 2, 2, buffer), RTERROR);
  EXPECT_EQ(acdbRToS(HUGE_VAL, 1, 2, buffer), RTERROR);
  EXPECT_EQ(acdbRToS(17.5, 2, 2, nullptr, 10), RTERROR);
  ACHAR small[5];
  EXPECT_EQ(acdbRToS(17.5, 2, 2, small), RTERROR) << "\"17.50\" needs six characters";
  EXPECT_STREQ(small, L"");
  ACHAR exact[6];
  EXPECT_EQ(acdbRToS(17.5, 2, 2, exact), RTNORM);
  EXPECT_STREQ(exact, L"17.50");
}

TEST(UnitsFormat, HugeDistancesAreRefusedWhereFeetOrFractionsCannotHoldThem) {
  ACHAR buffer[512];
  for (int unit : {kEngineering, kArchitectural, kFractional}) {
    for (double huge : {1e300, -1e300, 1e20, 5e18}) {
      EXPECT_EQ(acdbRToS(huge, unit, 8, buffer), RTERROR) << huge << " in mode " << unit;
      EXPECT_STREQ(buffer, L"");
    }
  }
  EXPECT_EQ(acdbRToS(1e300, kScientific, 2, buffer), RTNORM);
  EXPECT_STREQ(buffer, L"1.00E+300");
  // A large distance that the modes can hold is printed exactly.
  EXPECT_EQ(rtos(1e12 + 0.5, kFractional, 1), L"1000000000000 1/2");
  EXPECT_EQ(rtos(12e12 + 6, kArchitectural, 0), L"1000000000000'-6\"");
}

double distof(const wchar_t* text, int unit);

TEST(UnitsFormat, LargeAndTinyValuesKeepTheirDigits) {
  // Rounding never adds a digit that the value does not have.
  EXPECT_EQ(rtos(5000000.3, kDecimal, 7), L"5000000.3000000");
  EXPECT_EQ(rtos(87654321.87654321, kDecimal, 6), L"87654321.876543");
  EXPECT_EQ(rtos(5000000000.3, kDecimal, 4), L"5000000000.3000");
  EXPECT_EQ(rtos(1e15, kDecimal, 0), L"1000000000000000");
  EXPECT_EQ(rtos(1e20, kDecimal, 0), L"100000000000000000000");
  EXPECT_EQ(rtos(1e12 + 0.5, kFractional, 8), L"1000000000000 1/2");
  EXPECT_EQ(rtos(1.005, kDecimal, 2), L"1.01") << "a decimal half still rounds up";
  // What is printed at full precision reads back and prints the same.
  const std::wstring printed = rtos(1000000.125, kDecimal, 8);
  EXPECT_EQ(printed, L"1000000.12500000");
  EXPECT_EQ(rtos(distof(printed.c_str(), kDecimal), kDecimal, 8), printed);
  // The smallest numbers keep a mantissa from 1 to 10.
  EXPECT_EQ(rtos(5e-324, kScientific, 4), L"4.9407E-324");
  EXPECT_EQ(rtos(2.5e-310, kScientific, 2), L"2.50E-310");
}

// ---- Reading distances ----------------------------------------------------------------------

double distof(const wchar_t* text, int unit) {
  double value = -999;
  EXPECT_EQ(acdbDisToF(text, unit, &value), RTNORM) << testing::PrintToString(std::wstring(text)) << " in mode " << unit;
  return value;
}

TEST(UnitsParse, NumbersAndFractionsReadInEveryMode) {
  for (int unit = kScientific; unit <= kFractional; ++unit) {
    SCOPED_TRACE(testing::Message() << "mode " << unit);
    EXPECT_DOUBLE_EQ(distof(L"17.5", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"1.75E+01", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"1.75e1", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"17 1/2", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"17-1/2", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"35/2", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"-17.5", unit), -17.5);
    EXPECT_DOUBLE_EQ(distof(L"+17.5", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"  17.5\t", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L".5", unit), 0.5);
    EXPECT_DOUBLE_EQ(distof(L"-3/4", unit), -0.75);
  }
}

TEST(UnitsParse, FeetAndInchesReadInEngineeringAndArchitecturalModes) {
  for (int unit : {kEngineering, kArchitectural}) {
    SCOPED_TRACE(testing::Message() << "mode " << unit);
    EXPECT_DOUBLE_EQ(distof(L"1'5\"", unit), 17);
    EXPECT_DOUBLE_EQ(distof(L"1'-5 1/2\"", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"1' 5-1/2\"", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"1'-5.50\"", unit), 17.5);
    EXPECT_DOUBLE_EQ(distof(L"-1'-5 1/2\"", unit), -17.5);
    EXPECT_DOUBLE_EQ(distof(L"1'", unit), 12);
    EXPECT_DOUBLE_EQ(distof(L"2'6", unit), 30);
    EXPECT_DOUBLE_EQ(distof(L"5.5\"", unit), 5.5);
    EXPECT_DOUBLE_EQ(distof(L"0'-0 1/2\"", unit), 0.5);
    EXPECT_DOUBLE_EQ(distof(L"1.5'", unit), 18);
  }
  double value = 42;
  for (int unit : {kScientific, kDecimal, kFractional}) {
    EXPECT_EQ(acdbDisToF(L"1'5\"", unit, &value), RTERROR) << "feet and inches mean nothing in mode " << unit;
    EXPECT_EQ(acdbDisToF(L"5\"", unit, &value), RTERROR);
  }
  EXPECT_DOUBLE_EQ(value, 42);
}

TEST(UnitsParse, GarbageIsRefusedAndTheValueLeftAlone) {
  const wchar_t* garbage[] = {L"",     L"   ",   L"abc",  L"17.5.3", L"1/0",     L"17 1/", L"--1",  L"1'2'3",
                              L"12 feet", L"1e", L"NaN", L"inf",   L"0x10",    L"1,5",   L"\u221E", L"17 1/2 3",
                              L"'5",   L"1''",   L"- 1/2/3", L"1/2.5"};
  for (int unit = kScientific; unit <= kFractional; ++unit) {
    for (const wchar_t* text : garbage) {
      double value = 42;
      EXPECT_EQ(acdbDisToF(text, unit, &value), RTERROR) << testing::PrintToString(std::wstring(text)) << " in mode " << unit;
      EXPECT_DOUBLE_EQ(value, 42);
    }
  }
  double value = 0;
  EXPECT_EQ(acdbDisToF(nullptr, kDecimal, &value), RTERROR);
  EXPECT_EQ(acdbDisToF(L"1", kDecimal, nullptr), RTERROR);
  EXPECT_EQ(acdbDisToF(L"1", 0, &value), RTERROR);
  EXPECT_EQ(acdbDisToF(L"1", 6, &value), RTERROR);
}

TEST(UnitsRoundTrip, WhatIsPrintedReadsBackToTheSameText) {
  const double values[] = {0, 0.5, 1.0 / 3, 2.718281828, 17.5, 123.456, 1234.5678, 0.0625, 100, 0.001,
                           -17.5, -0.75, 5280.125, 98765.4321, 1e-5, 7.0 / 64};
  for (int unit = kScientific; unit <= kFractional; ++unit) {
    for (int precision = 0; precision <= 8; ++precision) {
      for (double v : values) {
        const std::wstring printed = rtos(v, unit, precision);
        double read = 0;
        ASSERT_EQ(acdbDisToF(printed.c_str(), unit, &read), RTNORM)
            << testing::PrintToString(printed) << " in mode " << unit;
        EXPECT_EQ(rtos(read, unit, precision), printed) << v << " in mode " << unit << ", precision " << precision;
        double step = std::pow(10.0, -precision);
        if (unit == kArchitectural || unit == kFractional) step = 1.0 / (1 << precision);
        if (unit == kScientific && v != 0) step *= std::pow(10.0, std::floor(std::log10(std::fabs(v))));
        EXPECT_LE(std::fabs(read - v), step / 2 * (1 + 1e-9) + 1e-12)
            << testing::PrintToString(printed) << " for " << v;
      }
    }
  }
}

using DrawingUnitsTest = DrawingTest;

TEST_F(DrawingUnitsTest, MinusOneTakesTheWorkingDrawingsUnitsAndPrecision) {
  EXPECT_EQ(rtos(17.375, -1, -1), L"17.3750") << "a new drawing: decimal, four places";
  ASSERT_EQ(db->setLunits(kArchitectural), Acad::eOk);
  ASSERT_EQ(db->setLuprec(3), Acad::eOk);
  EXPECT_EQ(rtos(17.375, -1, -1), L"1'-5 3/8\"");
  EXPECT_EQ(rtos(17.375, -1, 1), L"1'-5 1/2\"");
  EXPECT_EQ(rtos(17.375, kDecimal, -1), L"17.375");
  EXPECT_DOUBLE_EQ(distof(L"1'6\"", -1), 18);

  // Another document's drawing becomes the working one when it is current.
  auto* other = new AcDbDatabase(true);
  other->setLunits(kScientific);
  other->setLuprec(1);
  AcApDocument* otherDoc = cadhost::openDocument(other, true, L"Other.dwg");
  ASSERT_EQ(acDocManager->setCurDocument(otherDoc), Acad::eOk);
  EXPECT_EQ(rtos(17.375, -1, -1), L"1.7E+01");
  double value = 0;
  EXPECT_EQ(acdbDisToF(L"1'6\"", -1, &value), RTERROR);

  cadhost::closeAllDocuments();
  EXPECT_EQ(rtos(17.375, -1, -1), L"17.3750") << "without a drawing: decimal, four places";
}

}  // namespace
