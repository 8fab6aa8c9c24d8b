// The host program's drawing commands, run from scripts as a user's command line would: opening
// a drawing file, saving it, and quitting with the question about unsaved changes.
#include <fstream>
#include <iterator>

#include "CommandProcessor.h"
#include "DrawingCommands.h"
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

TEST_F(HostProgramTest, ASelectionPromptCountsOnlyWhatTheCommandTakes) {
  // 4F is a LINE of model space: TE's filter refuses it, and the prompt says so.
  const std::wstring out = runScript(L"TE\n4F\n\nQUIT\n");
  EXPECT_NE(out.find(L"Select objects: 4F\n0 found, 1 filtered out, 0 total\n"), std::wstring::npos) << out;
  EXPECT_EQ(out.find(L"1 found"), std::wstring::npos) << out;
}

TEST_F(HostProgramTest, EntitiesInsideABlockDefinitionCannotBeSelected) {
  // 7B is a LINE of the block *D1 (a dimension's picture), not of a layout.
  const std::wstring out = runScript(L"LIST\n7B\n4F\n\nQUIT\n");
  EXPECT_NE(out.find(L"No entity with the handle 7B."), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"LINE handle 4F"), std::wstring::npos) << out;
  EXPECT_EQ(out.find(L"LINE handle 7B"), std::wstring::npos) << out;
}

// A module's command that prints a message the way modules do: a line break first, none after.
void printNote() { acutPrintf(L"\nA module's message"); }

TEST_F(HostProgramTest, AMessageThatDoesNotEndItsLineDoesNotRunIntoThePrompt) {
  ASSERT_EQ(acedRegCmds->addCommand(L"NOTES", L"NOTE", L"NOTE", ACRX_CMD_MODAL, printNote), Acad::eOk);
  const std::wstring out = runScript(L"NOTE\nQUIT\n");
  acedRegCmds->removeGroup(L"NOTES");
  EXPECT_NE(out.find(L"Command: NOTE\n\nA module's message\nCommand: QUIT"), std::wstring::npos) << out;
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
