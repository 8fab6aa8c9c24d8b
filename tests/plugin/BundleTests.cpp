// The host's autoloader at start: plug-in bundles in a plug-ins folder, the module of each that is
// meant for this host's release and processor, and bundles that cannot be used, which are
// reported and left out without keeping the others from loading.
#include <fstream>

#include "HostRelease.h"
#include "PluginBundles.h"
#include "PluginHost.h"
#include "accmd.h"

namespace plugintest {
namespace {

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class BundleTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    std::wstring message;
    ASSERT_TRUE(host().loader().unload(moduleFileName(), message)) << message;
    plugins = buildFolder() + L"\\bundle-test-" + processorSuffix();
    removeTree(plugins);
    CreateDirectoryW(plugins.c_str(), nullptr);
  }
  void TearDown() override {
    host().loader().unloadAll();
    cadhost::app::currentRelease().year = testRelease();
    std::wstring message;
    EXPECT_TRUE(host().loader().load(moduleFileName(), message)) << message;
    removeTree(plugins);
    PluginTest::TearDown();
  }
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(folder + L"\\" + name);
        else DeleteFileW((folder + L"\\" + name).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }
  // A bundle in the plug-ins folder with this description and, under Contents, a copy of the
  // module of the test release.
  std::wstring makeBundle(const std::wstring& name, const std::string& description) {
    const std::wstring bundle = plugins + L"\\" + name;
    CreateDirectoryW(bundle.c_str(), nullptr);
    CreateDirectoryW((bundle + L"\\Contents").c_str(), nullptr);
    EXPECT_TRUE(CopyFileW((buildFolder() + L"\\bin\\" + moduleFileName()).c_str(),
                          (bundle + L"\\Contents\\" + moduleFileName()).c_str(), FALSE));
    std::ofstream(narrow(bundle + L"\\PackageContents.xml"), std::ios::binary) << description;
    return bundle;
  }
  // A description with one component for the module, with these requirements.
  static std::string describe(const std::string& requirements, const std::string& entry = "") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ApplicationPackage SchemaVersion=\"1.0\" Name=\"Test\">\n"
           "  <Components>\n    <RuntimeRequirements " + requirements + " />\n"
           "    <ComponentEntry AppName=\"Test\" ModuleName=\"./Contents/" + narrow(moduleFileName()) + "\"" +
           (entry.empty() ? " LoadOnAutoCADStartup=\"True\"" : entry) + " />\n  </Components>\n</ApplicationPackage>\n";
  }
  static std::string platform() { return sizeof(void*) == 8 ? "Win64" : "Win32"; }
  static std::string otherPlatform() { return sizeof(void*) == 8 ? "Win32" : "Win64"; }
  // Loads the plug-ins folder; returns what the host said, one line each.
  std::wstring load(bool expectedOk) {
    std::vector<std::wstring> messages;
    EXPECT_EQ(cadhost::app::loadPluginBundles(host().loader(), {plugins}, messages), expectedOk);
    std::wstring said;
    for (const std::wstring& line : messages) said += line + L"\n";
    return said;
  }
  bool loaded() { return host().loader().find(moduleFileName()) != nullptr; }

  std::wstring plugins;
};

TEST_F(BundleTest, OnlyTheComponentForThisHostsSeriesAndPlatformIsLoaded) {
  const std::string series = narrow(cadhost::app::currentRelease().series());
  // Three components: two for other hosts, which name files that are not there.
  std::string description = describe("OS=\"" + platform() + "\" Platform=\"AutoCAD*\" SeriesMin=\"" + series +
                                     "\" SeriesMax=\"" + series + "\"");
  const std::string others =
      "  <Components><RuntimeRequirements OS=\"" + otherPlatform() + "\" SeriesMin=\"" + series + "\" />"
      "<ComponentEntry ModuleName=\"./Contents/Other.arx\" LoadOnAutoCADStartup=\"True\" /></Components>\n"
      "  <Components><RuntimeRequirements OS=\"Win32|Win64\" SeriesMin=\"R30.0\" />"
      "<ComponentEntry ModuleName=\"./Contents/Later.arx\" LoadOnAutoCADStartup=\"True\" /></Components>\n";
  description.insert(description.find("</ApplicationPackage>"), others);
  makeBundle(L"Test.bundle", description);
  const std::wstring said = load(true);
  EXPECT_TRUE(loaded()) << said;
  EXPECT_EQ(host().loader().modules().size(), 1u);
  EXPECT_NE(said.find(L"Test.bundle: loading Contents\\" + moduleFileName() + L" for " +
                      cadhost::app::currentRelease().name()),
            std::wstring::npos)
      << said;
  EXPECT_NE(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
}

TEST_F(BundleTest, ABundleWithNothingForThisHostLoadsNothingAndSaysSo) {
  makeBundle(L"Later.bundle", describe("SeriesMin=\"R30.0\""));
  makeBundle(L"OtherProcessor.bundle", describe("OS=\"" + otherPlatform() + "\""));
  makeBundle(L"OtherProduct.bundle", describe("Platform=\"AutoCAD LT\""));
  const std::wstring said = load(true);
  EXPECT_FALSE(loaded()) << said;
  for (const wchar_t* bundle : {L"Later", L"OtherProcessor", L"OtherProduct"})
    EXPECT_NE(said.find(std::wstring(bundle) + L".bundle has no module for " + cadhost::app::currentRelease().name()),
              std::wstring::npos)
        << said;
}

TEST_F(BundleTest, AComponentNotMeantForStartIsNotLoaded) {
  makeBundle(L"Test.bundle", describe("OS=\"" + platform() + "\"", " LoadOnAutoCADStartup=\"False\""));
  const std::wstring said = load(true);
  EXPECT_FALSE(loaded());
  EXPECT_NE(said.find(L"is not loaded at start"), std::wstring::npos) << said;
}

TEST_F(BundleTest, ADamagedDescriptionLeavesItsBundleOutAndTheNextStillLoads) {
  // "A" sorts before "B": the damaged bundle is read first.
  makeBundle(L"A.bundle", "<?xml version=\"1.0\"?>\n<ApplicationPackage>\n  <Components>\n</ApplicationPackage>\n");
  makeBundle(L"B.bundle", describe("OS=\"" + platform() + "\""));
  const std::wstring said = load(false);
  EXPECT_NE(said.find(L"A.bundle: PackageContents.xml cannot be read (</ApplicationPackage> closes <Components> at line 4)"),
            std::wstring::npos)
      << said;
  EXPECT_TRUE(loaded()) << said;
}

TEST_F(BundleTest, BadRequirementsAndPathsOutsideTheBundleAreRefused) {
  makeBundle(L"Series.bundle", describe("SeriesMin=\"2021\""));
  std::string climbing = describe("OS=\"" + platform() + "\"");
  climbing.replace(climbing.find("./Contents/"), 11, "../../bin/");
  makeBundle(L"Climbing.bundle", climbing);
  CreateDirectoryW((plugins + L"\\Empty.bundle").c_str(), nullptr);
  const std::wstring said = load(false);
  EXPECT_FALSE(loaded()) << said;
  EXPECT_NE(said.find(L"Series.bundle: PackageContents.xml cannot be read (SeriesMin \"2021\" is not a release series"),
            std::wstring::npos)
      << said;
  EXPECT_NE(said.find(L"Climbing.bundle: PackageContents.xml cannot be read (ModuleName \"../../bin/"), std::wstring::npos)
      << said;
  EXPECT_NE(said.find(L"Empty.bundle has no PackageContents.xml"), std::wstring::npos) << said;
}

TEST_F(BundleTest, AModuleTheDescriptionNamesButTheBundleLacksIsReported) {
  const std::wstring bundle = makeBundle(L"Test.bundle", describe("OS=\"" + platform() + "\""));
  DeleteFileW((bundle + L"\\Contents\\" + moduleFileName()).c_str());
  const std::wstring said = load(false);
  EXPECT_FALSE(loaded());
  EXPECT_NE(said.find(L"Cannot load " + bundle + L"\\Contents\\" + moduleFileName()), std::wstring::npos) << said;
}

TEST_F(BundleTest, CommentsEntitiesAndPackageWideRequirementsReadAsTheHostsAutoloaderReadsThem) {
  // The module's file name written with character references, requirements for the whole package.
  std::string name = narrow(moduleFileName());
  name.replace(0, 1, "&#x50;");  // "P"
  const std::string description =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- a package for the test -->\n"
      "<ApplicationPackage Name=\"Fish &amp; Chips\">\n"
      "  <RuntimeRequirements OS='" + platform() + "' SeriesMin=\"R22.0\" SeriesMax=\"R24.0\" />\n"
      "  <Components><!-- no requirements of its own -->\n"
      "    <ComponentEntry ModuleName=\"./Contents/" + name + "\" LoadOnAutoCADStartup=\"true\" />\n"
      "  </Components>\n</ApplicationPackage>\n";
  makeBundle(L"Test.bundle", description);
  const std::wstring said = load(true);
  EXPECT_TRUE(loaded()) << said;
}

TEST_F(BundleTest, NoPluginsFolderMeansNoBundles) {
  std::vector<std::wstring> messages;
  EXPECT_TRUE(cadhost::app::loadPluginBundles(host().loader(), {plugins + L"\\missing"}, messages));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(host().loader().modules().empty());
}

}  // namespace
}  // namespace plugintest
