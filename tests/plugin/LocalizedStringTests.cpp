// The module's string helpers called directly, on its own string table (res/Pellaton.rc, built
// into this program, which stands in for the module as the owner of the resources): a count
// formatted into the Replace All message in the user's language, strings the table does not
// have, and a result far longer than any of the module's (from a string of this program's own,
// LocalizedStringTests.rc).
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "LocalizedResources.h"
#include "ModuleState.h"
#include "platform/Exceptions.h"
#include "resource.h"

// The strings are this program's own.
HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

namespace {

bool russianUser() { return GetUserDefaultLangID() == 1049; }

std::wstring replaced(const std::wstring& count) {
  return russianUser() ? L"Заменено " + count + L" вхождений" : count + L" occurrences replaced";
}

TEST(LocalizedStrings, TheCountIsFormattedIntoTheReplacedMessageInTheUsersLanguage) {
  // (The Russian run must really be one.)
  if (const char* asked = std::getenv("PELLATON_TEST_LANGUAGE")) {
    ASSERT_EQ(GetUserDefaultLangID(), std::atoi(asked));
  }
  EXPECT_EQ(FormatLocalizedString(IDS_OCCURRENCESREPLACED, 3), replaced(L"3"));
  EXPECT_EQ(FormatLocalizedString(IDS_OCCURRENCESREPLACED, 1000000), replaced(L"1000000")) << "no digit grouping";
  EXPECT_EQ(FormatLocalizedString(IDS_OCCURRENCESREPLACED, INT_MAX), replaced(L"2147483647"));
  // A text without inserts comes out as it is.
  EXPECT_EQ(FormatLocalizedString(IDS_SEARCHFINISHED), russianUser() ? L"Поиск завершен" : L"Search finished");
}

// An id the table does not have gives an empty text to load, and nothing to format: the
// framework's out-of-memory exception says so, which the handler that asked reports; the program
// goes on.
TEST(LocalizedStrings, AStringTheTableDoesNotHaveIsEmptyAndItsFormatThrowsTheFrameworksException) {
  EXPECT_EQ(LoadLocalizedString(0), L"");
  EXPECT_EQ(LoadLocalizedString(116), L"") << "a gap in the table";
  EXPECT_EQ(LoadLocalizedString(4000), L"") << "beyond every block of the table";
  for (const UINT missing : {0u, 116u, 4000u}) {
    bool thrown = false;
    try {
      FormatLocalizedString(missing, 3);
    } catch (CMemoryException* e) {
      thrown = true;
      e->Delete();
    }
    EXPECT_TRUE(thrown) << missing;
  }
  EXPECT_EQ(FormatLocalizedString(IDS_OCCURRENCESREPLACED, 2), replaced(L"2")) << "and the next format works";
}

// 40000 characters (80000 bytes, past the 64 KB that some systems' formatting allows): the whole
// text, or the framework's exception where the system refuses; never a cut or overrun one.
TEST(LocalizedStrings, AResultFarLongerThanTheModulesOwnComesWholeOrNotAtAll) {
  ASSERT_EQ(LoadLocalizedString(4001), L"Found: %1!s!.");
  std::wstring insert(40000, L'x');
  for (size_t i = 0; i < insert.size(); i += 97) insert[i] = L'0' + static_cast<wchar_t>(i % 10);
  std::wstring result;
  bool refused = false;
  try {
    result = FormatLocalizedString(4001, insert.c_str());
  } catch (CMemoryException* e) {
    refused = true;
    e->Delete();
  }
  if (!refused) {
    EXPECT_TRUE(result == L"Found: " + insert + L".") << "a text of " << result.size() << " characters";
  }
  EXPECT_EQ(FormatLocalizedString(IDS_OCCURRENCESREPLACED, 5), replaced(L"5")) << "and the next format works";
}

}  // namespace
