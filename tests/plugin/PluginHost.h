// The plug-in tests act as the host: they load the built module the way the host program does,
// give each test a fresh drawing, answer selection prompts from a script, run TE through the
// command stack and act inside the editor dialog with real window messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../cadhost/core/hostservices.h"
#include "DrawingWindow.h"
#include "ModuleLoader.h"
#include "dbdim.h"
#include "dbents.h"
#include "dbsymtb.h"

namespace plugintest {

// Where the module keeps its settings under HKEY_CURRENT_USER.
constexpr wchar_t kSettingsKey[] = L"Software\\Quorva\\Pellaton";

// The bytes of a value stored under the settings key; empty when there is none.
std::string storedSetting(const wchar_t* name);
// The height the editor is given for a font size in points (negative, twenty times the height in
// screen pixels).
LONG editorHeightFor(int points);

// The host release the tests load the module of: PELLATON_TEST_RELEASE, by default the release
// whose module this processor's build runs the whole suite against (2021 for x64, 2018 for x32).
int testRelease();
// True when the tests run for a user whose default language is Russian (1049).
bool russianUser();
// The processor in module names: "x64" or "x32", that of this build or of the build beside it.
std::wstring processorSuffix(bool otherProcessor = false);
// A module's file name, e.g. "Pellaton2021x64.arx": by default that of the test release.
std::wstring moduleFileName();
std::wstring moduleFileName(int release, bool otherProcessor = false);
// Windows paths of the build folders (drive Z: under Wine, backslashes): this build's, the one
// beside it for the other processor (empty when none is known), and the plug-ins folder with the
// plug-in bundle that the 64-bit build lays out.
std::wstring buildFolder();
std::wstring otherProcessorBuildFolder();
std::wstring bundlePluginsFolder();

// The process-wide host: the drawing window and the loaded module.
class HostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  cadhost::app::ModuleLoader& loader() { return *mLoader; }
  // Unloads the module and loads it again, as a new host process would: it reads its settings
  // anew.
  void reloadModule();
  cadhost::app::DrawingWindow& window() { return *mWindow; }

 private:
  cadhost::app::ModuleLoader* mLoader = nullptr;
  cadhost::app::DrawingWindow* mWindow = nullptr;
};
HostEnvironment& host();

// Answers selection prompts from a list given by the test.
class ScriptedSelection : public cadhost::SelectionSource {
 public:
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest& request) override;
  void pick(std::vector<AcDbObjectId> objects);
  void cancel();
  int prompts = 0;

 private:
  std::vector<cadhost::SelectionAnswer> mAnswers;
};

// The editor dialog while a test acts in it.
struct Dialog {
  HWND hwnd = nullptr;
  HWND item(int id) const { return GetDlgItem(hwnd, id); }
  HWND editor() const;
  // Types characters into the editor as key presses would arrive ('\r' or '\n' presses Enter).
  void type(const std::wstring& text) const;
  // Types characters into another control (a property field).
  void typeInto(int id, const std::wstring& text) const;
  // Whether a menu item of the dialog's menu is checked, or grey.
  bool menuChecked(int command) const;
  bool menuGrey(int command) const;
  // The editor's default character format: its face and height as the control keeps them.
  std::wstring editorFace() const;
  LONG editorFontHeight() const;
  // Presses a key (with Ctrl and Shift as asked) on the window that has the focus, or on target.
  void key(UINT vk, bool ctrl = false, bool shift = false, HWND target = nullptr) const;
  void select(int start, int end) const;
  std::wstring editorText() const;  // the whole text as the editor gives it (line ends "\r")
  std::wstring statusPane(int pane) const;
  void command(int id) const;  // a menu or button command posted to the dialog
  void close() const;          // the exit button
  RECT itemRect(int id) const;  // in the dialog's client coordinates
  // The mouse enters window w (as WM_SETCURSOR reports it to the dialog).
  void hover(HWND w) const;
};

// One step of a test inside the dialog. It returns true when done; false runs it again on the
// next turn (to wait for something the dialog does on its own). A step that expects the dialog
// to close lets the run end there.
struct Step {
  template <class F>
  Step(F f) : run(std::move(f)) {}  // NOLINT: steps are written as plain lambdas
  std::function<bool(Dialog&)> run;
  bool closesDialog = false;
};
Step act(std::function<void(Dialog&)> action);
// Waits for something the dialog does on its own: done when the condition holds.
Step waitUntil(std::function<bool(Dialog&)> condition);
// The last step of a run in which the test itself ends the dialog: the run expects the dialog to
// close while it waits here.
Step awaitClose();
// Lets the dialog handle what it was sent for a few turns of its loop.
Step settle(int turns = 5);

// Puts text on the clipboard, as another program's Copy would.
void setClipboardText(const std::wstring& text);

// Message boxes that appeared during a run, with the button pressed to close each.
struct MessageBoxRecord {
  std::wstring caption, text;
};

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Entities of the test drawing, in model space unless a block is given.
  AcDbObjectId addText(double x, double y, const std::wstring& text, double height = 2.5,
                       AcDbObjectId block = AcDbObjectId::kNull, AcDbObjectId layer = AcDbObjectId::kNull);
  AcDbObjectId addMText(const std::wstring& contents, double height = 2.5);
  AcDbObjectId addDimension(const std::wstring& text);
  AcDbObjectId addLine();
  AcDbObjectId addLayer(const std::wstring& name, bool locked = false);
  AcDbObjectId paperSpace();
  AcDbObjectId append(AcDbEntity* entity, AcDbObjectId block = AcDbObjectId::kNull);
  // The drawing's author, as the field %<\AcVar Author>% shows it.
  void setAuthor(const std::wstring& author);

  // Reading entities back.
  std::wstring textOf(AcDbObjectId id);
  AcGePoint3d positionOf(AcDbObjectId id);
  // TEXT entities of a block (model space by default) that are not erased, in drawing order.
  std::vector<AcDbObjectId> textsIn(AcDbObjectId block = AcDbObjectId::kNull);
  // The same TEXT entities top line first, each as "text@y".
  std::vector<std::wstring> blockLines(AcDbObjectId block = AcDbObjectId::kNull);
  // Evaluates the fields of an entity, as the host does when a drawing opens.
  void evaluateFields(AcDbObjectId id);
  // Erases an entity, as another command would.
  void eraseEntity(AcDbObjectId id);
  // How many failure reports ("!src/TEDialog@...") the last run printed.
  int failureReports() const;

  // Runs TE. The steps run one after another inside the dialog; after the last one the dialog is
  // closed with its exit button (if it is still open). Succeeds when a dialog appeared; when none
  // did, the result tells what the run showed instead (message boxes, command line).
  ::testing::AssertionResult runTE(std::vector<Step> steps = {});

  AcDbDatabase* db = nullptr;
  ScriptedSelection selection;
  std::vector<MessageBoxRecord> messageBoxes;
  std::wstring commandLine;  // what the run printed

 private:
  bool mLocksRequiredAtStart = true;
};

// Tests that change the settings: each starts with none stored and the module freshly loaded, and
// leaves none behind for the tests after it.
class FreshSettingsTest : public PluginTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  static void forgetSettings();
};

}  // namespace plugintest
