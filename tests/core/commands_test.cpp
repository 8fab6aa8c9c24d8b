// The command stack (groups, global and local names, lookups, removal), running commands as the
// command line does, and the dynamic linker's records of an application that the host loads.
#include "drawing_fixture.h"

#include "acrxapp.h"

// What a module records when it is attached to the process; no module here.
extern "C" {
HINSTANCE _hdllInstance = nullptr;
}

namespace {

struct CommandLog {
  std::vector<std::wstring> ran;
  Adesk::Int32 flagsInside = 0;
  bool quiescentInside = true;
};
CommandLog commandLog;

void firstCommand() {
  commandLog.ran.push_back(L"FIRST");
  commandLog.flagsInside = cadhost::activeCommandFlags();
  commandLog.quiescentInside = acDocManager->curDocument()->isQuiescent();
}
void secondCommand() { commandLog.ran.push_back(L"SECOND"); }
void removesItself() {
  commandLog.ran.push_back(L"GONE");
  acedRegCmds->removeCmd(L"CMD_TESTS", L"SELFREMOVING");
}

class CommandTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    unlockDocument();  // the tests run commands as the command line does, outside any command
    commandLog = CommandLog();
    stack = acedRegCmds;
    ASSERT_NE(stack, nullptr);
  }
  void TearDown() override {
    stack->removeGroup(L"CMD_TESTS");
    stack->removeGroup(L"CMD_OTHER");
    DrawingTest::TearDown();
  }
  AcEdCommandStack* stack = nullptr;
};

TEST_F(CommandTest, CommandsAreFoundByGlobalAndLocalName) {
  AcEdCommand* added = nullptr;
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"TEXTEDIT", L"REDTEXT", ACRX_CMD_MODAL | ACRX_CMD_USEPICKSET,
                              firstCommand, nullptr, -1, AcRxResourceInstance::empty(), &added),
            Acad::eOk);
  ASSERT_NE(added, nullptr);
  EXPECT_STREQ(added->groupName(), L"CMD_TESTS");
  EXPECT_STREQ(added->globalName(), L"TEXTEDIT");
  EXPECT_STREQ(added->localName(), L"REDTEXT");
  EXPECT_EQ(added->commandFlags(), ACRX_CMD_MODAL | ACRX_CMD_USEPICKSET);
  EXPECT_EQ(added->functionAddr(), &firstCommand);

  EXPECT_EQ(stack->lookupGlobalCmd(L"TEXTEDIT"), added);
  EXPECT_EQ(stack->lookupGlobalCmd(L"textedit"), added);
  EXPECT_EQ(stack->lookupGlobalCmd(L"_TextEdit"), added) << "a leading underscore marks a global name";
  EXPECT_EQ(stack->lookupGlobalCmd(L"REDTEXT"), nullptr);
  EXPECT_EQ(stack->lookupLocalCmd(L"redtext"), added);
  EXPECT_EQ(stack->lookupLocalCmd(L"TEXTEDIT"), nullptr);
  EXPECT_EQ(stack->lookupCmd(L"REDTEXT", false), added);
  EXPECT_EQ(stack->lookupCmd(L"TEXTEDIT", true), added);
  EXPECT_EQ(stack->lookupGlobalCmd(L"_"), nullptr);
  EXPECT_EQ(stack->lookupGlobalCmd(L""), nullptr);

  AcEdCommand* sameName = nullptr;
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"PLAIN", L"", ACRX_CMD_MODAL, secondCommand, nullptr, -1,
                              AcRxResourceInstance::empty(), &sameName),
            Acad::eOk);
  EXPECT_STREQ(sameName->localName(), L"PLAIN") << "without a local name the global one serves";
}

TEST_F(CommandTest, NamesAreUniqueAcrossGroupsAndMustNotBeBlank) {
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"TEXTEDIT", L"REDTEXT", ACRX_CMD_MODAL, firstCommand), Acad::eOk);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"textedit", L"OTHERLOCAL", ACRX_CMD_MODAL, secondCommand), Acad::eDuplicateKey);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"OTHERGLOBAL", L"RedText", ACRX_CMD_MODAL, secondCommand), Acad::eDuplicateKey);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"", L"X", ACRX_CMD_MODAL, secondCommand), Acad::eInvalidInput);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"   ", L"X", ACRX_CMD_MODAL, secondCommand), Acad::eInvalidInput);
  EXPECT_EQ(stack->addCommand(L"", L"NOGROUP", L"X", ACRX_CMD_MODAL, secondCommand), Acad::eInvalidInput);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"NOFUNCTION", L"X", ACRX_CMD_MODAL, nullptr), Acad::eInvalidInput);
  EXPECT_EQ(stack->lookupGlobalCmd(L"TEXTEDIT")->functionAddr(), &firstCommand) << "the first command stays";
  EXPECT_EQ(stack->lookupGlobalCmd(L"OTHERGLOBAL"), nullptr);
}

TEST_F(CommandTest, CommandsAndGroupsAreRemoved) {
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"FIRST", L"FIRST", ACRX_CMD_MODAL, firstCommand), Acad::eOk);
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"SECOND", L"SECOND", ACRX_CMD_MODAL, secondCommand), Acad::eOk);
  ASSERT_EQ(stack->addCommand(L"CMD_OTHER", L"THIRD", L"THIRD", ACRX_CMD_MODAL, secondCommand), Acad::eOk);
  EXPECT_EQ(stack->removeCmd(L"CMD_OTHER", L"FIRST"), Acad::eKeyNotFound) << "removal names the right group";
  EXPECT_EQ(stack->removeCmd(L"cmd_tests", L"first"), Acad::eOk);
  EXPECT_EQ(stack->lookupGlobalCmd(L"FIRST"), nullptr);
  EXPECT_EQ(stack->lookupLocalCmd(L"FIRST"), nullptr);
  EXPECT_EQ(stack->removeCmd(L"CMD_TESTS", L"FIRST"), Acad::eKeyNotFound);
  EXPECT_EQ(stack->addCommand(L"CMD_OTHER", L"FIRST", L"FIRST", ACRX_CMD_MODAL, firstCommand), Acad::eOk)
      << "a removed name is free again";
  EXPECT_EQ(stack->removeGroup(L"CMD_OTHER"), Acad::eOk);
  EXPECT_EQ(stack->lookupGlobalCmd(L"THIRD"), nullptr);
  EXPECT_EQ(stack->lookupGlobalCmd(L"FIRST"), nullptr);
  EXPECT_NE(stack->lookupGlobalCmd(L"SECOND"), nullptr);
  EXPECT_EQ(stack->removeGroup(L"CMD_OTHER"), Acad::eKeyNotFound);
}

TEST_F(CommandTest, RunningACommandAsTheCommandLineDoes) {
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"FIRST", L"ERSTE", ACRX_CMD_MODAL | ACRX_CMD_USEPICKSET, firstCommand),
            Acad::eOk);
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"SECOND", L"FIRST_LOCAL", ACRX_CMD_MODAL, secondCommand), Acad::eOk);
  EXPECT_EQ(cadhost::activeCommandFlags(), 0);

  EXPECT_TRUE(cadhost::runCommand(L"erste"));
  EXPECT_TRUE(cadhost::runCommand(L"_FIRST"));
  EXPECT_TRUE(cadhost::runCommand(L"FIRST")) << "a global name typed without underscore still runs";
  EXPECT_TRUE(cadhost::runCommand(L"FIRST_LOCAL"));
  EXPECT_FALSE(cadhost::runCommand(L"_ERSTE")) << "an underscore asks for a global name";
  EXPECT_FALSE(cadhost::runCommand(L"NOSUCHCOMMAND"));
  EXPECT_FALSE(cadhost::runCommand(L""));
  EXPECT_EQ(commandLog.ran, (std::vector<std::wstring>{L"FIRST", L"FIRST", L"FIRST", L"SECOND"}));
  EXPECT_EQ(commandLog.flagsInside & ACRX_CMD_USEPICKSET, ACRX_CMD_USEPICKSET);
  EXPECT_EQ(commandLog.flagsInside & ACRX_CMD_INPROGRESS, ACRX_CMD_INPROGRESS);
  EXPECT_FALSE(commandLog.quiescentInside);
  EXPECT_EQ(cadhost::activeCommandFlags(), 0);
  EXPECT_TRUE(doc->isQuiescent());

  std::vector<std::wstring> started, ended;
  for (const auto& e : cadhost::hostEvents()) {
    if (e.kind == cadhost::HostEventKind::CommandStarted) started.push_back(e.text);
    if (e.kind == cadhost::HostEventKind::CommandEnded) ended.push_back(e.text);
  }
  EXPECT_EQ(started, (std::vector<std::wstring>{L"FIRST", L"FIRST", L"FIRST", L"SECOND"}));
  EXPECT_EQ(ended, started);
}

TEST_F(CommandTest, ACommandMayRemoveItselfWhileRunning) {
  ASSERT_EQ(stack->addCommand(L"CMD_TESTS", L"SELFREMOVING", L"SELFREMOVING", ACRX_CMD_MODAL, removesItself), Acad::eOk);
  EXPECT_TRUE(cadhost::runCommand(L"SELFREMOVING"));
  EXPECT_FALSE(cadhost::runCommand(L"SELFREMOVING"));
  EXPECT_EQ(commandLog.ran, std::vector<std::wstring>{L"GONE"});
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::CommandEnded), 1);
}

// ---- An application as the host loads it ----------------------------------------------------

const AcRxArxCommandEntry kAppCommands[] = {
    {L"CMD_TESTS", L"APPFIRST", L"APPERSTE", ACRX_CMD_MODAL | ACRX_CMD_USEPICKSET, firstCommand, nullptr, 0},
    {L"CMD_TESTS", L"APPSECOND", L"APPZWEITE", ACRX_CMD_MODAL, secondCommand, nullptr, 0},
};

TEST_F(CommandTest, ApplicationRegistersItselfAndItsCommandsWithTheHost) {
  int appToken = 0;
  void* appId = &appToken;
  cadhost::registerApplication(L"C:\\Program Files\\Pellaton\\Pellaton2021x64.arx", appId);
  const cadhost::ApplicationRecord* record = cadhost::findApplication(appId);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->name, L"PELLATON2021X64.ARX");
  EXPECT_FALSE(record->unlocked);
  EXPECT_FALSE(record->mdiAware);

  AcRxArxApp app(kAppCommands, 2);
  EXPECT_EQ(app.acrxEntryPoint(AcRx::kInitAppMsg, appId), AcRx::kRetOK);
  EXPECT_TRUE(record->unlocked);
  EXPECT_TRUE(record->mdiAware);
  AcRxDynamicLinker* linker = acrxDynamicLinker;
  ASSERT_NE(linker, nullptr);
  EXPECT_FALSE(linker->isApplicationLocked(L"pellaton2021x64.arx"));
  EXPECT_TRUE(linker->isAppMDIAware(L"D:\\elsewhere\\Pellaton2021x64.arx")) << "known by file name, not folder";
  EXPECT_FALSE(linker->isAppMDIAware(L"Unknown.arx"));
  ASSERT_NE(stack->lookupLocalCmd(L"APPERSTE"), nullptr);
  EXPECT_TRUE(cadhost::runCommand(L"_APPSECOND"));
  EXPECT_EQ(commandLog.ran, std::vector<std::wstring>{L"SECOND"});

  EXPECT_TRUE(linker->lockApplication(appId));
  EXPECT_TRUE(linker->isApplicationLocked(L"PELLATON2021X64.ARX"));
  EXPECT_TRUE(linker->registerAppNotMDIAware(appId));
  EXPECT_FALSE(linker->isAppMDIAware(L"PELLATON2021X64.ARX"));
  int stranger = 0;
  EXPECT_FALSE(linker->unlockApplication(&stranger)) << "an application the host did not load";

  EXPECT_EQ(app.acrxEntryPoint(AcRx::kUnloadAppMsg, appId), AcRx::kRetOK);
  EXPECT_EQ(stack->lookupGlobalCmd(L"APPFIRST"), nullptr);
  EXPECT_EQ(stack->lookupGlobalCmd(L"APPSECOND"), nullptr);
  EXPECT_EQ(app.acrxEntryPoint(static_cast<AcRx::AppMsgCode>(99), appId), AcRx::kRetOK);
  cadhost::unregisterApplication(appId);
  EXPECT_EQ(cadhost::findApplication(appId), nullptr);
}

TEST_F(CommandTest, ModulesLoadThroughTheHostsLoader) {
  AcRxDynamicLinker* linker = acrxDynamicLinker;
  EXPECT_FALSE(linker->loadModule(L"Some.arx", false)) << "no loader: nothing loads";
  std::vector<std::wstring> loaded, unloaded;
  cadhost::setModuleLoader({[&](const std::wstring& f) { loaded.push_back(f); return f != L"Broken.arx"; },
                            [&](const std::wstring& f) { unloaded.push_back(f); return true; }});
  EXPECT_TRUE(linker->loadModule(L"Some.arx", true));
  EXPECT_FALSE(linker->loadModule(L"Broken.arx", true));
  EXPECT_FALSE(linker->loadModule(nullptr, true));
  EXPECT_TRUE(linker->unloadModule(L"Some.arx"));
  cadhost::setModuleLoader({});
  EXPECT_EQ(loaded, (std::vector<std::wstring>{L"Some.arx", L"Broken.arx"}));
  EXPECT_EQ(unloaded, std::vector<std::wstring>{L"Some.arx"});
}

}  // namespace
