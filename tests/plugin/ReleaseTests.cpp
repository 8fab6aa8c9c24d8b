// What differs between the modules, run against every module of the build in the host of its
// release and processor: the API version it answers, the hosts that refuse it, the string getters
// of its release, pointer-sized data (selection set names, object ids, window data) on its way
// through a run of TE with real window messages, and its place in the plug-in bundle.
#include <algorithm>
#include <map>

#include "HostRelease.h"
#include "ModuleImage.h"
#include "PluginBundles.h"
#include "PluginHost.h"
#include "accmd.h"
#include "acedads.h"

namespace plugintest {
namespace {

// The API version each release's hosts load, as the host's documentation gives them.
const std::map<int, unsigned> kApiVersions = {{2018, 0x160000}, {2019, 0x170000}, {2020, 0x170000}, {2021, 0x180000}};

std::wstring hex(unsigned value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%X", value);
  return text;
}

std::wstring upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towupper(c));
  return text;
}

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// The names a loaded module imports from a DLL, read from its import directory.
std::vector<std::string> importsFrom(HMODULE module, const char* dll) {
  std::vector<std::string> names;
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    const DWORD thunks = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
    for (auto* t = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + thunks); t->u1.AddressOfData != 0; ++t) {
      if (IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)) continue;
      names.emplace_back(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData)->Name);
    }
  }
  return names;
}

bool has(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

class ReleaseTest : public PluginTest {
 protected:
  const cadhost::app::ModuleLoader::Module* module() { return host().loader().find(moduleFileName()); }
  void TearDown() override {
    // Whatever a test did to the host, the next one finds the module loaded in its own release.
    cadhost::app::currentRelease().year = testRelease();
    std::wstring message;
    if (module() == nullptr) {
      std::vector<cadhost::app::ModuleLoader::Module> others = host().loader().modules();
      for (const auto& other : others) host().loader().unload(other.name, message);
      EXPECT_TRUE(host().loader().load(moduleFileName(), message)) << message;
    }
    PluginTest::TearDown();
  }
  // Nothing of the module is left in the process or the host after a refusal.
  void expectNothingKept() {
    EXPECT_EQ(GetModuleHandleW(moduleFileName().c_str()), nullptr);
    EXPECT_EQ(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
    EXPECT_TRUE(host().loader().modules().empty());
  }
};

TEST_F(ReleaseTest, ExportsTheEntryPointsAndAnswersTheApiVersionOfItsRelease) {
  ASSERT_NE(module(), nullptr);
  const HMODULE handle = module()->handle;
  auto entryPoint = GetProcAddress(handle, "acrxEntryPoint");
  auto getVersion = reinterpret_cast<unsigned (*)()>(reinterpret_cast<void*>(GetProcAddress(handle, "acrxGetApiVersion")));
  EXPECT_NE(entryPoint, nullptr);
  ASSERT_NE(getVersion, nullptr);
  EXPECT_EQ(hex(getVersion()), hex(kApiVersions.at(testRelease())));
}

TEST_F(ReleaseTest, HostsOfOtherReleasesLoadItOnlyWhenTheirApiVersionIsTheSame) {
  const unsigned own = kApiVersions.at(testRelease());
  for (const auto& [year, version] : kApiVersions) {
    if (year == testRelease()) continue;
    SCOPED_TRACE(year);
    std::wstring message;
    ASSERT_TRUE(host().loader().unload(moduleFileName(), message)) << message;
    cadhost::app::currentRelease().year = year;
    const bool loaded = host().loader().load(moduleFileName(), message);
    if (version == own) {
      EXPECT_TRUE(loaded) << message;
      EXPECT_NE(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
    } else {
      EXPECT_FALSE(loaded);
      // The message names the module, its API version and release, and the host's.
      EXPECT_TRUE(contains(message, upper(moduleFileName()))) << message;
      EXPECT_TRUE(contains(message, L"API version " + hex(own) + L" (release")) << message;
      EXPECT_TRUE(contains(message, std::to_wstring(testRelease()))) << message;
      EXPECT_TRUE(contains(message, L"this host (release " + std::to_wstring(year) + L") needs API version " + hex(version)))
          << message;
      expectNothingKept();
    }
    cadhost::app::currentRelease().year = testRelease();
    if (!loaded) {
      ASSERT_TRUE(host().loader().load(moduleFileName(), message)) << message;
    }
  }
}

TEST_F(ReleaseTest, TheModuleOfTheOtherProcessorIsRefusedWithoutBeingLoaded) {
  if (otherProcessorBuildFolder().empty()) {
    GTEST_SKIP() << "this build was configured without the build beside it";
  }
  // The other processor's module of a release whose API version this host would accept.
  std::wstring other;
  int otherRelease = 0;
  for (const auto& [year, version] : kApiVersions) {
    const std::wstring path = otherProcessorBuildFolder() + L"\\bin\\" + moduleFileName(year, true);
    if (other.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      other = path;
      otherRelease = year;
    }
  }
  ASSERT_FALSE(other.empty()) << "no module in " << otherProcessorBuildFolder()
                              << "\\bin: the windows-x64 build makes both processors' modules";
  std::wstring message;
  ASSERT_TRUE(host().loader().unload(moduleFileName(), message)) << message;
  cadhost::app::currentRelease().year = otherRelease;
  EXPECT_FALSE(host().loader().load(other, message));
  const bool x64 = sizeof(void*) == 8;
  EXPECT_TRUE(contains(message, upper(moduleFileName(otherRelease, true)) + L" is built for " +
                                    (x64 ? L"x86 (32-bit)" : L"x64")))
      << message;
  EXPECT_TRUE(contains(message, std::wstring(L"this host (release ") + std::to_wstring(otherRelease) + L", " +
                                    (x64 ? L"x64" : L"x86 (32-bit)") + L")"))
      << message;
  EXPECT_EQ(GetModuleHandleW(moduleFileName(otherRelease, true).c_str()), nullptr);
  expectNothingKept();
}

TEST_F(ReleaseTest, ReadsTextsAndMTextsWithTheStringGettersOfItsRelease) {
  // The 2018 interface has only the getters that return a new string; later ones fill an AcString.
  const std::vector<std::string> imports = importsFrom(module()->handle, "cadcore.dll");
  const bool returning = testRelease() <= 2018;
  EXPECT_EQ(has(imports, "_ZNK8AcDbText10textStringEv"), returning);
  EXPECT_EQ(has(imports, "_ZNK9AcDbMText8contentsEv"), returning);
  EXPECT_EQ(has(imports, "_ZNK8AcDbText10textStringER8AcString"), !returning);
  EXPECT_EQ(has(imports, "_ZNK9AcDbMText8contentsER8AcString"), !returning);
}

TEST_F(ReleaseTest, TypingInTheDialogWritesTextLinesAndAnMText) {
  // Text lines selected before the command: their selection set names and object ids go through
  // the module, and every keystroke comes as a window message.
  const std::vector<AcDbObjectId> lines = {addText(0, 10, L"one"), addText(0, 7, L"two")};
  ads_name set = {0, 0};
  ads_name entity = {0, 0};
  ASSERT_EQ(acdbGetAdsName(entity, lines[1]), Acad::eOk);
  ASSERT_EQ(acedSSAdd(entity, nullptr, set), RTNORM);
  ASSERT_EQ(acdbGetAdsName(entity, lines[0]), Acad::eOk);
  ASSERT_EQ(acedSSAdd(entity, set, set), RTNORM);
  acedSSSetFirst(set, nullptr);
  acedSSFree(set);
  std::wstring shown;
  const std::wstring caret = russianUser() ? L"Стр:2, Кол:6" : L"Ln 2, Col 6";
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown = d.editorText();
                       d.select(3, 3);
                       d.type(L"!\rthree");
                     }),
                     waitUntil([&](Dialog& d) {
                       return d.editorText() == L"one!\rthree\rtwo" && d.statusPane(2) == L"DTEXT" &&
                              d.statusPane(3) == caret;
                     })}));
  EXPECT_EQ(shown, L"one\rtwo");
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(textOf(lines[0]), L"one!");
  EXPECT_EQ(textOf(lines[1]), L"three");
  EXPECT_EQ(textOf(texts[2]), L"two");
  EXPECT_EQ(cadhost::openSelectionSetCount(), 0);

  const AcDbObjectId mtext = addMText(L"A\\PB");
  selection.pick({mtext});
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    shown = d.editorText();
    d.select(100, 100);
    d.type(L"C\rD");
  })}));
  EXPECT_EQ(shown, L"A\rB");
  EXPECT_EQ(textOf(mtext), L"A\\PBC\\PD");
  EXPECT_EQ(cadhost::openSelectionSetCount(), 0);
}

TEST_F(ReleaseTest, TheBundleGivesThisHostThisModule) {
  if (bundlePluginsFolder().empty()) {
    GTEST_SKIP() << "this build was configured without the 64-bit build beside it";
  }
  const std::wstring description = bundlePluginsFolder() + L"\\Pellaton.bundle\\PackageContents.xml";
  ASSERT_NE(GetFileAttributesW(description.c_str()), INVALID_FILE_ATTRIBUTES)
      << "no bundle in " << bundlePluginsFolder() << ": the windows-x64 build lays it out";
  std::wstring message;
  ASSERT_TRUE(host().loader().unload(moduleFileName(), message)) << message;
  std::vector<std::wstring> messages;
  EXPECT_TRUE(cadhost::app::loadPluginBundles(host().loader(), {bundlePluginsFolder()}, messages));
  const std::wstring platform = sizeof(void*) == 8 ? L"Win64" : L"Win32";
  ASSERT_EQ(host().loader().modules().size(), 1u);
  EXPECT_EQ(host().loader().modules()[0].path,
            bundlePluginsFolder() + L"\\Pellaton.bundle\\Contents\\" + platform + L"\\" + moduleFileName());
  std::wstring said;
  for (const std::wstring& line : messages) said += line + L"\n";
  EXPECT_TRUE(contains(said, L"Pellaton.bundle: loading Contents\\" + platform + L"\\" + moduleFileName() +
                                 L" for release " + std::to_wstring(testRelease())))
      << said;
  EXPECT_NE(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
}

}  // namespace
}  // namespace plugintest
