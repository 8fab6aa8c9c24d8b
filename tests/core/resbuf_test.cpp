// Utilities a plug-in calls: result-buffer lists, host strings, printing to the command line,
// the names of statuses, wildcard matching, and the host's array and string classes.
#include "drawing_fixture.h"

#include <set>

namespace {

TEST(ResultBuffers, BuildListKeepsEveryValueInOrder) {
  ads_point point = {1, 2, 3};
  ads_name name = {0x1234, 0x5678};
  wchar_t source[] = L"Room";
  resbuf* list = acutBuildList(RTSTR, source, RTSHORT, 7, RTREAL, 2.5, RTPOINT, point, RTLONG, 70000, RTENAME, name,
                               RTDXF0, L"TEXT", 8, L"Notes", 62, 1, 40, 1.5, 10, point, -4, L"<or", RTLB, RTLE, 0);
  ASSERT_NE(list, nullptr);
  source[0] = L'X';  // strings were copied

  std::vector<const resbuf*> rb;
  for (const resbuf* p = list; p != nullptr; p = p->rbnext) rb.push_back(p);
  const std::vector<short> types = {RTSTR, RTSHORT, RTREAL, RTPOINT, RTLONG, RTENAME, RTDXF0, 8, 62, 40, 10, -4, RTLB, RTLE};
  ASSERT_EQ(rb.size(), types.size());
  for (size_t i = 0; i < types.size(); ++i) EXPECT_EQ(rb[i]->restype, types[i]) << i;
  EXPECT_STREQ(rb[0]->resval.rstring, L"Room");
  EXPECT_EQ(rb[1]->resval.rint, 7);
  EXPECT_DOUBLE_EQ(rb[2]->resval.rreal, 2.5);
  EXPECT_DOUBLE_EQ(rb[3]->resval.rpoint[2], 3);
  EXPECT_EQ(rb[4]->resval.rlong, 70000);
  EXPECT_EQ(rb[5]->resval.rlname[1], 0x5678);
  EXPECT_STREQ(rb[6]->resval.rstring, L"TEXT");
  EXPECT_STREQ(rb[7]->resval.rstring, L"Notes");
  EXPECT_EQ(rb[8]->resval.rint, 1);
  EXPECT_DOUBLE_EQ(rb[9]->resval.rreal, 1.5);
  EXPECT_DOUBLE_EQ(rb[10]->resval.rpoint[0], 1);
  EXPECT_STREQ(rb[11]->resval.rstring, L"<or");
  EXPECT_EQ(acutRelRb(list), RTNORM);
}

TEST(ResultBuffers, UnknownTypeCodeGivesNoList) {
  EXPECT_EQ(acutBuildList(RTSTR, L"kept?", 12345, 1, 0), nullptr);
  EXPECT_EQ(acutBuildList(RTNONE), nullptr);
  EXPECT_EQ(acutResbufValueKind(12345), AcResbufValueKind::kNone);
  EXPECT_EQ(acutResbufValueKind(RTDXF0), AcResbufValueKind::kString);
  EXPECT_EQ(acutResbufValueKind(1071), AcResbufValueKind::kLong);
  EXPECT_EQ(acutRelRb(nullptr), RTNORM);
  resbuf* single = acutNewRb(RTSTR);
  EXPECT_EQ(single->rbnext, nullptr);
  EXPECT_EQ(single->resval.rstring, nullptr);
  acutRelRb(single);
}

TEST(HostStrings, CopiesAreTheCallersToFree) {
  ACHAR* copy = nullptr;
  EXPECT_EQ(acutNewString(L"Текст", copy), Acad::eOk);
  EXPECT_STREQ(copy, L"Текст");
  acutDelString(copy);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(acutNewString(nullptr, copy), Acad::eOk);
  EXPECT_EQ(copy, nullptr);
}

class CommandLineTest : public DrawingTest {};

TEST_F(CommandLineTest, PrintedTextReachesTheCommandLine) {
  const std::wstring expected = L"\nDrawing1.dwg has 3 texts";
  EXPECT_EQ(acutPrintf(L"\n%s has %d texts", L"Drawing1.dwg", 3), static_cast<int>(expected.size()));
  acutPrintf(L"; height %.2f", 3.14159);
  EXPECT_EQ(cadhost::takeCommandLineOutput(), L"\nDrawing1.dwg has 3 texts; height 3.14");
  EXPECT_EQ(cadhost::takeCommandLineOutput(), L"") << "taken text is gone";
  EXPECT_NE(cadhost::commandLineHistory().find(L"Drawing1.dwg has 3 texts"), std::wstring::npos);
  EXPECT_EQ(acutPrintf(nullptr), RTERROR);
}

// What one acutPrintf puts on the command line.
#define PRINTED(...) (acutPrintf(__VA_ARGS__), cadhost::takeCommandLineOutput())

TEST_F(CommandLineTest, ConversionsFlagsAndWidths) {
  EXPECT_EQ(PRINTED(L"[%5d|%-5d|%05d|%*d]", 42, 42, -42, 4, 7), L"[   42|42   |-0042|   7]");
  EXPECT_EQ(PRINTED(L"[%6s|%-6s|%.3s]", L"ab", L"ab", L"abcdef"), L"[    ab|ab    |abc]");
  // Wide printf: %S and %hs take narrow strings, %s and %ls wide ones.
  EXPECT_EQ(PRINTED(L"[%ls|%S|%hs|%s]", L"wide", "narrow", "short", static_cast<const wchar_t*>(nullptr)),
            L"[wide|narrow|short|(null)]");
  EXPECT_EQ(PRINTED(L"[%c%c]", L'Ж', L'x'), L"[Жx]");
  EXPECT_EQ(PRINTED(L"[%x|%X|%o|%u]", 255, 255, 8, 4000000000u), L"[ff|FF|10|4000000000]");
  EXPECT_EQ(PRINTED(L"[%ld|%lld|%I64d]", 123456L, 1LL << 40, -(1LL << 40)), L"[123456|1099511627776|-1099511627776]");
  EXPECT_EQ(PRINTED(L"[%8.3f|%-8.1f|%+.0f]", 2.5, 2.25, 7.0), L"[   2.500|2.2     |+7]");
  EXPECT_EQ(PRINTED(L"[%e|%g]", 1500.0, 0.5), L"[1.500000e+03|0.5]");
  EXPECT_EQ(PRINTED(L"[100%%] Готово: %d", 2), L"[100%] Готово: 2");
}

TEST_F(CommandLineTest, EchoHearsEachPiece) {
  std::vector<std::wstring> pieces;
  cadhost::setCommandLineEcho([&](const std::wstring& s) { pieces.push_back(s); });
  acutPrintf(L"one");
  acutPrintf(L" %s", L"two");
  cadhost::setCommandLineEcho(nullptr);
  acutPrintf(L" three");
  EXPECT_EQ(pieces, (std::vector<std::wstring>{L"one", L" two"}));
  EXPECT_EQ(cadhost::takeCommandLineOutput(), L"one two three");
}

TEST(StatusNames, EveryStatusHasItsOwnName) {
  EXPECT_STREQ(acadErrorStatusText(Acad::eOk), L"eOk");
  EXPECT_STREQ(acadErrorStatusText(Acad::eOnLockedLayer), L"eOnLockedLayer");
  EXPECT_STREQ(acadErrorStatusText(Acad::eWasOpenForWrite), L"eWasOpenForWrite");
  EXPECT_STREQ(acadErrorStatusText(Acad::eLockViolation), L"eLockViolation");
  EXPECT_STREQ(acadErrorStatusText(Acad::eDocumentSwitchDisabled), L"eDocumentSwitchDisabled");
  EXPECT_STREQ(acadErrorStatusText(Acad::eInetFileGenericError), L"eInetFileGenericError");
  std::set<std::wstring> names;
  for (int es = 0; es < Acad::eErrorStatusCount; ++es) {
    const std::wstring name = acadErrorStatusText(static_cast<Acad::ErrorStatus>(es));
    EXPECT_NE(name, L"eUnknownStatus") << es;
    EXPECT_EQ(name[0], L'e');
    names.insert(name);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(Acad::eErrorStatusCount));
  EXPECT_STREQ(acadErrorStatusText(Acad::eErrorStatusCount), L"eUnknownStatus");
  EXPECT_STREQ(acadErrorStatusText(static_cast<Acad::ErrorStatus>(-1)), L"eUnknownStatus");
}

TEST(Wildcards, MatchAsTheHostsFiltersDo) {
  struct Case {
    const wchar_t* text;
    const wchar_t* pattern;
    bool matches;
  };
  const Case cases[] = {
      {L"MTEXT", L"*TEXT", true},   {L"TEXT", L"*TEXT", true},      {L"TEXTS", L"*TEXT", false},
      {L"text", L"TEXT", true},     {L"MTEXT", L"~TEXT", true},     {L"TEXT", L"~TEXT", false},
      {L"LINE", L"TEXT,LINE", true}, {L"ARC", L"TEXT,LINE", false},  {L"A1", L"A#", true},
      {L"AB", L"A#", false},        {L"A1", L"A@", false},          {L"Ab", L"A@", true},
      {L"A-", L"A.", true},         {L"AB", L"A.", false},          {L"CAT", L"C?T", true},
      {L"CT", L"C?T", false},       {L"B", L"[ABC]", true},         {L"D", L"[ABC]", false},
      {L"D", L"[~ABC]", true},      {L"m", L"[a-z]", true},         {L"5", L"[a-z]", false},
      {L"A*B", L"A`*B", true},      {L"AXB", L"A`*B", false},       {L"A,B", L"A`,B", true},
      {L"", L"*", true},            {L"", L"?", false},             {L"Layer 1", L"Layer *", true},
      {L"Стены", L"стены", true},   {L"x", L"[abc", false},         {L"abcabc", L"*b*c", true},
      {L"xAyAzB", L"*A*A*B", true}, {L"AB", L"*[AB]*B", true},      {L"A", L"*[AB", false},
      // Many stars over a long name that does not match: answered without trying every split.
      {L"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", L"*A*A*A*A*A*A*A*A*A*A*B", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(acutWcMatch(c.text, c.pattern) == RTNORM, c.matches)
        << testing::PrintToString(std::wstring(c.text)) << " against " << testing::PrintToString(std::wstring(c.pattern));
  EXPECT_EQ(acutWcMatch(nullptr, L"*"), RTERROR);
  EXPECT_EQ(acutWcMatch(L"x", nullptr), RTERROR);
}

TEST(HostArray, GrowsInsertsRemovesAndFinds) {
  AcArray<int> a(0, 2);
  for (int i = 0; i < 5; ++i) a.append(i * 10);
  EXPECT_EQ(a.length(), 5);
  EXPECT_GE(a.physicalLength(), 5);
  a.insertAt(0, -10).insertAt(6, 50);
  EXPECT_EQ(a.first(), -10);
  EXPECT_EQ(a.last(), 50);
  a.removeAt(1);
  EXPECT_EQ(a.find(20), 2);
  EXPECT_EQ(a.find(0), -1);
  EXPECT_TRUE(a.contains(50));
  int at = -1;
  EXPECT_TRUE(a.find(30, at, 0));
  EXPECT_EQ(at, 3);
  int from = 5;
  EXPECT_FALSE(a.contains(30, from)) << "searching from an index held in a variable";
  EXPECT_EQ(a.findFrom(-10, -3), 0) << "a negative start searches from the beginning";
  int foundAt = -1;
  EXPECT_TRUE(a.find(20, foundAt)) << "the found index goes into a variable";
  EXPECT_EQ(foundAt, 2);
  EXPECT_TRUE(a.remove(50));
  EXPECT_FALSE(a.remove(50));
  a.append(a[0]);  // a value from the array itself
  EXPECT_EQ(a.last(), -10);
  AcArray<int> copy(a);
  copy.reverse();
  EXPECT_EQ(copy.first(), -10);
  EXPECT_FALSE(copy == a);
  copy.reverse();
  EXPECT_TRUE(copy == a);
  AcArray<int> moved(std::move(copy));
  EXPECT_EQ(moved.length(), a.length());
  moved.setLogicalLength(2);
  EXPECT_EQ(moved.length(), 2);
  moved.setPhysicalLength(1);
  EXPECT_EQ(moved.length(), 1);
  EXPECT_EQ(moved[0], -10);
  moved.removeAll();
  EXPECT_TRUE(moved.isEmpty());
  int sum = 0;
  for (int v : a) sum += v;
  EXPECT_EQ(sum, -10 + 10 + 20 + 30 + 40 - 10);
}

}  // namespace
