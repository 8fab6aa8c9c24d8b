// The host program's drawing commands, run from scripts as a user's command line would: opening
// a drawing file, saving it, and quitting with the question about unsaved changes.
#include <fstream>
#include <iterator>

#include "CommandProcessor.h"
#include "DrawingCommands.h"
#include "EditCommands.h"
#include "PluginHost.h"
#include "accmd.h"
#include "acutads.h"

namespace plugintest {
namespace {

// Paths of the test are the build folder's Unix paths as Windows programs under Wine see them
// (drive Z:), written with forward slashes; the host gets them with backslashes.
std::string underWine(const std::string& unixPath) { return "Z:" + unixPath; }
std::wstring windowsPath(const std::string& path) {
  std::wstring result;
  for (char c : path) result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return result;
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostProgramTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    folder = underWine(PELLATON_BUILD_DIR) + "/host-program-test";
    CreateDirectoryW(windowsPath(folder).c_str(), nullptr);
    sample = folder + "/sheet.dxf";
    std::ofstream(sample, std::ios::binary) << readBytes(underWine(PELLATON_SOURCE_DIR) + "/samples/architectural-sheet.dxf");
    ASSERT_FALSE(readBytes(sample).empty());
  }
  void TearDown() override {
    cadhost::setSelectionSource(&selection);  // the processor answered selections during the test
    PluginTest::TearDown();
  }
  // Runs the host's command line on a script over the opened sample, first changing a text of
  // it when asked; returns what it printed.
  std::wstring runScript(const std::wstring& lines, bool changeFirst = false) {
    const std::string scriptPath = folder + "/script.scr";
    std::ofstream(scriptPath, std::ios::binary) << cadhost::app::encodeUtf8(lines);
    cadhost::app::CommandProcessor processor(host().loader());
    cadhost::app::DrawingCommands drawings(processor, host().window());
    cadhost::app::addEditCommands(processor, host().window());
    EXPECT_TRUE(drawings.open(windowsPath(sample)));
    if (changeFirst) {
      changeATextInTheDrawing();
      EXPECT_TRUE(drawings.hasUnsavedChanges());
    }
    auto script = std::make_unique<cadhost::app::ScriptLineSource>();
    std::wstring message;
    EXPECT_TRUE(script->open(windowsPath(scriptPath), message)) << message;
    processor.pushSource(std::move(script));
    processor.run();
    unsavedAtEnd = drawings.hasUnsavedChanges();
    return cadhost::takeCommandLineOutput();
  }
  // Changes the first TEXT of the current drawing.
  static void changeATextInTheDrawing() {
    AcDbDatabase* current = acDocManagerPtr()->curDocument()->database();
    AcAxDocLock lock(current);
    AcDbBlockTableRecord* space = nullptr;
    ASSERT_EQ(acdbOpenObject(space, current->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecordIterator* it = nullptr;
    space->newIterator(it);
    for (; !it->done(); it->step()) {
      AcDbText* text = nullptr;
      AcDbObjectId id;
      it->getEntityId(id);
      if (acdbOpenObject(text, id, AcDb::kForWrite) != Acad::eOk) continue;
      text->setTextString(L"CHANGED BY THE TEST");
      text->close();
      break;
    }
    delete it;
    space->close();
  }
  std::string folder, sample;
  bool unsavedAtEnd = false;
};

TEST_F(HostProgramTest, OpensADrawingAndSavesItUnchangedUnderAnotherName) {
  const std::string copy = folder + "/copy.dxf";
  std::remove(copy.c_str());
  const std::wstring out = runScript(L"SAVEAS " + windowsPath(copy) + L"\nQUIT\n");
  EXPECT_EQ(readBytes(copy), readBytes(sample));
  EXPECT_NE(out.find(L"Saved "), std::wstring::npos) << out;
  EXPECT_EQ(out.find(L"Save changes"), std::wstring::npos) << out;  // nothing to ask about
}

class HostProgramChangesTest : public HostProgramTest {
 protected:
  // Runs a script after a change to the opened drawing.
  std::wstring runScriptAfterChange(const std::wstring& lines) { return runScript(lines, true); }
};

TEST_F(HostProgramChangesTest, NoQuitsWithoutSaving) {
  const std::string before = readBytes(sample);
  const std::wstring out = runScriptAfterChange(L"QUIT\nN\n");
  EXPECT_NE(out.find(L"Save changes to sheet.dxf? [Yes/No/Cancel] <Yes>: "), std::wstring::npos) << out;
  EXPECT_EQ(readBytes(sample), before);
  EXPECT_TRUE(unsavedAtEnd);
}

TEST_F(HostProgramChangesTest, CancelKeepsTheHostRunningAndYesSavesBeforeQuitting) {
  const std::string before = readBytes(sample);
  const std::wstring out = runScriptAfterChange(L"QUIT\nC\nLIST\nL\n\nQUIT\n\n");
  // After Cancel the host went on: LIST ran; the second QUIT saved on the default answer.
  EXPECT_NE(out.find(L"Command: LIST"), std::wstring::npos) << out;
  const std::string after = readBytes(sample);
  EXPECT_NE(after, before);
  EXPECT_NE(after.find("CHANGED BY THE TEST"), std::string::npos);
  EXPECT_FALSE(unsavedAtEnd);
}

TEST_F(HostProgramChangesTest, SaveWritesTheChangesToTheDrawingsOwnFile) {
  const std::wstring out = runScriptAfterChange(L"SAVE\nQUIT\n");
  EXPECT_NE(readBytes(sample).find("CHANGED BY THE TEST"), std::string::npos);
  EXPECT_EQ(out.find(L"Save changes"), std::wstring::npos) << out;
}

TEST_F(HostProgramChangesTest, OpenOfAMissingFileSaysSoBeforeAskingAboutChanges) {
  const std::wstring missing = windowsPath(folder + "/missing.dxf");
  const std::wstring out = runScriptAfterChange(L"OPEN " + missing + L"\nQUIT\nN\n");
  EXPECT_NE(out.find(L"Command: OPEN " + missing + L"\nCannot open " + missing + L": there is no such file.\nCommand: QUIT\n"),
            std::wstring::npos)
      << out;
}

// The host program itself, its input piped in: the answers show after their prompts as if typed,
// and QUIT ends it with 0.
TEST_F(HostProgramTest, AnswersFromAPipeShowAsTypedAndQuitEndsTheHostWithZero) {
  const std::string plugins = folder + "/no-plugins";
  CreateDirectoryW(windowsPath(plugins).c_str(), nullptr);
  std::wstring commandLine = L"\"" + buildFolder() + L"\\bin\\cadhost.exe\" /hidden /plugins \"" + windowsPath(plugins) +
                             L"\" \"" + windowsPath(sample) + L"\"";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  ASSERT_TRUE(CreatePipe(&inRead, &inWrite, &inherit, 0));
  ASSERT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0));
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
  CloseHandle(inRead);
  CloseHandle(outWrite);
  const std::string input = "ZOOM E\nLIST\nALL\n\nQUIT\n";
  DWORD written = 0;
  WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(inWrite);
  std::string output;
  char buffer[4096];
  for (DWORD read = 0; ReadFile(outRead, buffer, sizeof buffer, &read, nullptr) && read > 0;) output.append(buffer, read);
  CloseHandle(outRead);
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 99;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  const std::wstring out = cadhost::app::decodeUtf8(output);
  EXPECT_NE(out.find(L"Command: ZOOM E\nCommand: LIST\nSelect objects: ALL\n"), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"Command: QUIT\n"), std::wstring::npos) << out;
  EXPECT_EQ(exitCode, 0u) << out;
}

TEST_F(HostProgramTest, ASelectionPromptCountsOnlyWhatTheCommandTakes) {
  // 51 is a LINE of model space: TE's filter refuses it, and the prompt says so.
  const std::wstring out = runScript(L"TE\n51\n\nQUIT\n");
  EXPECT_NE(out.find(L"Select objects: 51\n0 found, 1 filtered out, 0 total\n"), std::wstring::npos) << out;
  EXPECT_EQ(out.find(L"1 found"), std::wstring::npos) << out;
}

TEST_F(HostProgramTest, EntitiesInsideABlockDefinitionCannotBeSelected) {
  // 94 is a LINE of the block *D1 (a dimension's picture), not of a layout.
  const std::wstring out = runScript(L"LIST\n94\n51\n\nQUIT\n");
  EXPECT_NE(out.find(L"No entity with the handle 94."), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"LINE handle 51"), std::wstring::npos) << out;
  EXPECT_EQ(out.find(L"LINE handle 94"), std::wstring::npos) << out;
}

// A module's command that prints a message the way modules do: a line break first, none after.
void printNote() { acutPrintf(L"\nA module's message"); }

TEST_F(HostProgramTest, AMessageThatDoesNotEndItsLineDoesNotRunIntoThePrompt) {
  ASSERT_EQ(acedRegCmds->addCommand(L"NOTES", L"NOTE", L"NOTE", ACRX_CMD_MODAL, printNote), Acad::eOk);
  const std::wstring out = runScript(L"NOTE\nQUIT\n");
  acedRegCmds->removeGroup(L"NOTES");
  EXPECT_NE(out.find(L"Command: NOTE\n\nA module's message\nCommand: QUIT"), std::wstring::npos) << out;
}

TEST_F(HostProgramTest, LayerOptionsAndUnitSettingsChangeTheDrawingAndRefuseWhatTheyCannotTake) {
  const std::wstring out = runScript(
      L"-LAYER Lock A-ANNO-NOTE\n-LAYER Off A-WALL*\n-LAYER Freeze A-DOOR\n-LAYER ?\n"
      L"-LAYER Unlock A-ANNO-NOTE\n-LAYER On A-WALL\n-LAYER Thaw A-DOOR\n-LAYER Freeze 0\n-LAYER Lock NO-SUCH-LAYER\n-LAYER ?\n"
      L"SETVAR LUNITS 4\nSETVAR LUPREC 9\nSETVAR LUPREC 3\nSETVAR LUNITS 7\nSETVAR LUPREC\n\nSETVAR LUNITS\n\n"
      L"ARX ?\nQUIT\nN\n");
  const size_t second = out.find(L"Command: -LAYER Unlock");
  ASSERT_NE(second, std::wstring::npos) << out;
  const std::wstring before = out.substr(0, second), after = out.substr(second);
  // Wildcards reach every layer they match; each option is undone by its opposite.
  EXPECT_NE(before.find(L"A-ANNO-NOTE           on, locked"), std::wstring::npos) << out;
  EXPECT_NE(before.find(L"A-WALL                off"), std::wstring::npos) << out;
  EXPECT_NE(before.find(L"A-WALL-PATT           off"), std::wstring::npos) << out;
  EXPECT_NE(before.find(L"A-DOOR                on, frozen"), std::wstring::npos) << out;
  EXPECT_NE(after.find(L"A-ANNO-NOTE           on, colour"), std::wstring::npos) << out;
  EXPECT_NE(after.find(L"A-WALL                on, colour"), std::wstring::npos) << out;
  EXPECT_NE(after.find(L"A-WALL-PATT           off"), std::wstring::npos) << out;  // (not named again)
  EXPECT_NE(after.find(L"A-DOOR                on, colour"), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"The current layer cannot be frozen."), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"No layer matches \"NO-SUCH-LAYER\"."), std::wstring::npos) << out;
  // Values out of range are refused and change nothing; the prompt offers the value in force.
  EXPECT_NE(out.find(L"LUPREC takes 0 to 8."), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"LUNITS takes 1 to 5."), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"Enter new value for LUPREC <3>: "), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"Enter new value for LUNITS <4>: "), std::wstring::npos) << out;
  // The loaded module is listed by its path.
  EXPECT_NE(out.find(L".arx\n"), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"Save changes"), std::wstring::npos) << out;  // the layers and units changed the drawing
}

TEST_F(HostProgramTest, AFileThatCannotBeReadIsReportedAndTheDrawingStays) {
  const std::string damaged = folder + "/damaged.dxf";
  std::ofstream(damaged, std::ios::binary) << "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n 10\nnot a number";
  const std::wstring out = runScript(L"OPEN " + windowsPath(damaged) + L"\nOPEN " + windowsPath(folder + "/missing.dxf") +
                                     L"\nQUIT\n");
  EXPECT_NE(out.find(L"Cannot open " + windowsPath(damaged)), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"Cannot open " + windowsPath(folder + "/missing.dxf")), std::wstring::npos) << out;
  const ACHAR* current = L"";
  acDocManagerPtr()->curDocument()->database()->getFilename(current);
  EXPECT_EQ(std::wstring(current), windowsPath(sample));
}

}  // namespace
}  // namespace plugintest
