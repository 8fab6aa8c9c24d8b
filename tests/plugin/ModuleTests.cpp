// Loading and unloading the module as the host does: the command it registers, the records it
// leaves with the dynamic linker, and its answers to the host's messages.
#include "PluginHost.h"
#include "HostRelease.h"
#include "accmd.h"

namespace plugintest {
namespace {

class ModuleTest : public PluginTest {
 protected:
  const cadhost::app::ModuleLoader::Module* module() { return host().loader().find(moduleFileName()); }
  void reload() {
    std::wstring message;
    host().loader().unload(moduleFileName(), message);
    ASSERT_TRUE(host().loader().load(moduleFileName(), message)) << message;
  }
};

TEST_F(ModuleTest, LoadingRegistersTeAsAnUnlockedMdiAwareApplication) {
  AcEdCommand* te = acedRegCmds->lookupGlobalCmd(L"_TE");
  ASSERT_NE(te, nullptr);
  EXPECT_STREQ(te->groupName(), L"Pellaton");
  EXPECT_STREQ(te->globalName(), L"_TE");
  EXPECT_STREQ(te->localName(), L"TE");
  EXPECT_EQ(te->commandFlags(), 0x400002);
  EXPECT_EQ(acedRegCmds->lookupLocalCmd(L"te"), te);
  EXPECT_EQ(te->resourceInstance().instance(), reinterpret_cast<HINSTANCE>(module()->handle));

  const cadhost::ApplicationRecord* record = cadhost::findApplication(module()->handle);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->unlocked);
  EXPECT_TRUE(record->mdiAware);
}

TEST_F(ModuleTest, UnloadRemovesTheCommandAndALaterLoadBringsItBack) {
  std::wstring message;
  ASSERT_TRUE(host().loader().unload(moduleFileName(), message)) << message;
  EXPECT_EQ(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
  EXPECT_FALSE(cadhost::runCommand(L"TE"));
  ASSERT_TRUE(host().loader().load(moduleFileName(), message)) << message;
  EXPECT_NE(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
}

void otherApplicationsTe() {}

TEST_F(ModuleTest, InitialisationSucceedsWhenAnotherApplicationOwnsTheName) {
  std::wstring message;
  ASSERT_TRUE(host().loader().unload(moduleFileName(), message));
  ASSERT_EQ(acedRegCmds->addCommand(L"Other", L"_TE", L"TE", 0, otherApplicationsTe), Acad::eOk);
  const bool loaded = host().loader().load(moduleFileName(), message);
  EXPECT_TRUE(loaded) << message;
  EXPECT_STREQ(acedRegCmds->lookupGlobalCmd(L"_TE")->groupName(), L"Other");
  acedRegCmds->removeGroup(L"Other");
  reload();
}

TEST_F(ModuleTest, MessagesAboveTheKnownCodesSucceedWithoutEffect) {
  for (int code : {16, 17, 99, 12345}) EXPECT_EQ(module()->entryPoint(code, module()->handle), 0) << code;
  for (int code : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
    EXPECT_EQ(module()->entryPoint(code, module()->handle), 0) << code;
  EXPECT_NE(acedRegCmds->lookupGlobalCmd(L"_TE"), nullptr);
}

TEST_F(ModuleTest, TheHostRefusesAModuleBuiltForAnotherRelease) {
  // The module declares the API version of its release; a host of another release refuses it.
  const int otherRelease = testRelease() == 2021 ? 2018 : 2021;
  cadhost::app::HostRelease& release = cadhost::app::currentRelease();
  release.year = otherRelease;
  std::wstring message;
  host().loader().unload(moduleFileName(), message);
  EXPECT_FALSE(host().loader().load(moduleFileName(), message));
  EXPECT_NE(message.find(L"API version"), std::wstring::npos) << message;
  release.year = testRelease();
  reload();
}

}  // namespace
}  // namespace plugintest
