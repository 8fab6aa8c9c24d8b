// The five settings in the user's registry key: read once when the module starts, written one by
// one when they change, and values that are not as the module writes them read safely.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kExitOnEnter = 32787, kExitOnCtrlEnter = 32788, kFastYAlign = 32789;

HKEY openSettings() {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void store(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = openSettings();
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}
void storeDword(const wchar_t* name, DWORD value) { store(name, REG_DWORD, &value, sizeof value); }
void storeString(const wchar_t* name, const std::wstring& text) {
  store(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::string stored(const wchar_t* name) { return storedSetting(name); }
std::string dwordBytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

LONG heightFor(int points) { return editorHeightFor(points); }

class SettingsTest : public FreshSettingsTest {
 protected:
  // The module starts again and reads the settings as they are now.
  static void restartModule() { host().reloadModule(); }

  struct Shown {
    std::wstring face;
    LONG height = 0;
    bool checks[3] = {};
  };
  Shown runAndLook() {
    selection.pick({addText(0, 0, L"a")});
    Shown shown;
    EXPECT_TRUE(runTE({act([&](Dialog& d) {
      shown.face = d.editorFace();
      shown.height = d.editorFontHeight();
      for (int i = 0; i < 3; ++i) shown.checks[i] = d.menuChecked(kExitOnEnter + i);
    })}));
    return shown;
  }
};

TEST_F(SettingsTest, FirstUseCreatesTheKeyEmptyAndTheEditorShowsTheDefaults) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS) << "loading created it";
  DWORD values = 99;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(values, 0u) << "nothing is written until the user changes a setting";

  const Shown shown = runAndLook();
  EXPECT_EQ(shown.face, L"MS Sans Serif");
  EXPECT_EQ(shown.height, heightFor(10));
  EXPECT_FALSE(shown.checks[0] || shown.checks[1] || shown.checks[2]);
}

TEST_F(SettingsTest, AFaceNameLongerThan64BytesGivesTheDefaultFaceAndAMissingSizeTen) {
  storeString(L"FontName", L"A face name far longer than the thirty-two units of the buffer");
  restartModule();
  const Shown shown = runAndLook();
  EXPECT_EQ(shown.face, L"MS Sans Serif");
  EXPECT_EQ(shown.height, heightFor(10));
}

TEST_F(SettingsTest, AStoredFaceIsShownAtTenPointsWhenNoSizeIsStored) {
  storeString(L"FontName", L"Courier New");
  restartModule();
  const Shown shown = runAndLook();
  EXPECT_EQ(shown.face, L"Courier New");
  EXPECT_EQ(shown.height, heightFor(10));
}

TEST_F(SettingsTest, AFaceNameOf64BytesWithoutItsEndIsCutAt31Characters) {
  const std::wstring thirtyTwo = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";
  store(L"FontName", REG_SZ, thirtyTwo.c_str(), 64);  // no terminating NUL
  storeDword(L"FontSize", 12);
  restartModule();
  const Shown shown = runAndLook();
  EXPECT_EQ(shown.face, thirtyTwo.substr(0, 31));
  EXPECT_EQ(shown.height, heightFor(12));
}

TEST_F(SettingsTest, AThirtyOneCharacterFaceNameIsReadWhole) {
  const std::wstring thirtyOne = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
  storeString(L"FontName", thirtyOne);
  restartModule();
  EXPECT_EQ(runAndLook().face, thirtyOne);
}

// The settings key can be neither opened nor created: its parent is a volatile key, under which
// the registry refuses a lasting one. The editor then shows the default font, the options work
// for the process, and nothing is written anywhere.
TEST_F(SettingsTest, AKeyThatCanBeNeitherOpenedNorCreatedGivesTheDefaultFontAndOptionsForTheProcessOnly) {
  const wchar_t kParent[] = L"Software\\Quorva";
  struct VolatileParent {
    const wchar_t* path;
    ~VolatileParent() { RegDeleteTreeW(HKEY_CURRENT_USER, path); }  // the tests after this one find a sound registry
  } parent{kParent};
  RegDeleteTreeW(HKEY_CURRENT_USER, kParent);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kParent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  key = nullptr;
  ASSERT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << "the registry made a lasting key under a volatile one";
  restartModule();

  selection.pick({addText(0, 0, L"a")});
  Shown shown;
  bool checkedAfterToggle = false;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown.face = d.editorFace();
                       shown.height = d.editorFontHeight();
                       for (int i = 0; i < 3; ++i) shown.checks[i] = d.menuChecked(kExitOnEnter + i);
                       d.command(kFastYAlign);
                     }),
                     act([&](Dialog& d) { checkedAfterToggle = d.menuChecked(kFastYAlign); })}));
  EXPECT_EQ(shown.face, L"MS Sans Serif");
  EXPECT_EQ(shown.height, heightFor(10));
  EXPECT_FALSE(shown.checks[0] || shown.checks[1] || shown.checks[2]);
  EXPECT_TRUE(checkedAfterToggle) << "the option is on for the process although it cannot be stored";
  EXPECT_TRUE(runAndLook().checks[2]) << "and stays on for the next run";
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "nothing was written";
}

TEST_F(SettingsTest, OptionsStoredInAnyOtherSizeThanFourBytesStayOffAndAnyOtherValueIsOn) {
  const unsigned long long eightBytes = 1;
  store(L"ExitOnEnter", REG_QWORD, &eightBytes, sizeof eightBytes);
  const unsigned short twoBytes = 1;
  store(L"ExitOnCtrlEnter", REG_BINARY, &twoBytes, sizeof twoBytes);
  storeDword(L"FastYAlign", 7);
  restartModule();
  const Shown shown = runAndLook();
  EXPECT_FALSE(shown.checks[0]) << "8 bytes: the query fails";
  EXPECT_FALSE(shown.checks[1]) << "2 bytes: counted as missing";
  EXPECT_TRUE(shown.checks[2]) << "any value other than 0 is on";
}

TEST_F(SettingsTest, ASizeTheEditorCannotShowGivesTenPointsAndTheStoredValueStays) {
  for (const DWORD size : {0ul, static_cast<DWORD>(-5), 100000ul}) {
    storeDword(L"FontSize", size);
    restartModule();
    EXPECT_EQ(runAndLook().height, heightFor(10)) << static_cast<int>(size);
    EXPECT_EQ(stored(L"FontSize"), dwordBytes(size)) << "the user's value is not overwritten";
  }
  storeDword(L"FontSize", 14);
  restartModule();
  EXPECT_EQ(runAndLook().height, heightFor(14)) << "a sane size means what it says";
}

TEST_F(SettingsTest, TheEditorsHeightIsTwentyTimesThePixelHeightRoundedOnce) {
  HDC screen = GetDC(nullptr);
  const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (pixelsPerInch != 96) GTEST_SKIP() << "the worked values are for a screen of 96 pixels per inch, this one has " << pixelsPerInch;
  EXPECT_EQ(runAndLook().height, -267) << "10 points: -MulDiv(100, 96, 36), not the size in twentieths (-200)";
  storeDword(L"FontSize", 8);
  restartModule();
  EXPECT_EQ(runAndLook().height, -213) << "8 points";
}

TEST_F(SettingsTest, TogglingAnOptionTwiceStoresOneThenZeroAndTheCheckMarkFollows) {
  selection.pick({addText(0, 0, L"a")});
  std::string afterFirst, afterSecond;
  bool checkedAfterFirst = false, checkedAfterSecond = true;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.command(kExitOnEnter); }), act([&](Dialog& d) {
                       afterFirst = stored(L"ExitOnEnter");
                       checkedAfterFirst = d.menuChecked(kExitOnEnter);
                       d.command(kExitOnEnter);
                     }),
                     act([&](Dialog& d) {
                       afterSecond = stored(L"ExitOnEnter");
                       checkedAfterSecond = d.menuChecked(kExitOnEnter);
                     })}));
  EXPECT_EQ(afterFirst, dwordBytes(1));
  EXPECT_TRUE(checkedAfterFirst);
  EXPECT_EQ(afterSecond, dwordBytes(0));
  EXPECT_FALSE(checkedAfterSecond);
  EXPECT_EQ(stored(L"FontName"), "") << "a toggle stores its own value only";
}

TEST_F(SettingsTest, OptionsLastToTheNextRunAndTheNextProcess) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.command(kExitOnCtrlEnter);
    d.command(kFastYAlign);
  })}));
  const Shown nextRun = runAndLook();
  EXPECT_FALSE(nextRun.checks[0]);
  EXPECT_TRUE(nextRun.checks[1]);
  EXPECT_TRUE(nextRun.checks[2]);

  // Another host process of the same user: this test program again, running only the check below.
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(program) +
                             L"\" --gtest_also_run_disabled_tests --gtest_filter=SettingsInTheNextProcess.*";
  SetEnvironmentVariableW(L"PELLATON_KEEP_SETTINGS", L"1");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  SetEnvironmentVariableW(L"PELLATON_KEEP_SETTINGS", nullptr);
  WaitForSingleObject(process.hProcess, 120000);
  DWORD exitCode = 99;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exitCode, 0u) << "the next process did not find the options on";
}

// Run only by the test above, as the next process.
class SettingsInTheNextProcess : public PluginTest {};
TEST_F(SettingsInTheNextProcess, DISABLED_FindsTheOptionsStoredByTheProcessBefore) {
  selection.pick({addText(0, 0, L"a")});
  bool checks[3] = {true, false, false};
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    for (int i = 0; i < 3; ++i) checks[i] = d.menuChecked(kExitOnEnter + i);
  })}));
  EXPECT_FALSE(checks[0]);
  EXPECT_TRUE(checks[1]);
  EXPECT_TRUE(checks[2]);
}

}  // namespace
}  // namespace plugintest
