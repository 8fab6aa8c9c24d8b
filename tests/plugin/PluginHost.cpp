// The plug-in tests' host; see PluginHost.h.
#include "PluginHost.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "HostRelease.h"
#include "acdocman.h"
#include "acedads.h"
#include "dbfield.h"

namespace plugintest {

int testRelease() {
  const char* release = std::getenv("PELLATON_TEST_RELEASE");
  return release ? std::atoi(release) : PELLATON_FULL_SUITE_RELEASE;
}

bool russianUser() { return GetUserDefaultLangID() == 1049; }

std::wstring processorSuffix(bool otherProcessor) { return (sizeof(void*) == 8) != otherProcessor ? L"x64" : L"x32"; }

std::wstring moduleFileName() { return moduleFileName(testRelease()); }

std::wstring moduleFileName(int release, bool otherProcessor) {
  return L"Pellaton" + std::to_wstring(release) + processorSuffix(otherProcessor) + L".arx";
}

namespace {
// A folder of the build as Windows programs under Wine see it.
std::wstring windowsFolder(const char* unixPath) {
  if (*unixPath == 0) return L"";
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}
}  // namespace

std::wstring buildFolder() { return windowsFolder(PELLATON_BUILD_DIR); }
std::wstring otherProcessorBuildFolder() { return windowsFolder(PELLATON_OTHER_BUILD_DIR); }
std::wstring bundlePluginsFolder() { return windowsFolder(PELLATON_BUNDLE_PLUGINS_FOLDER); }

std::string storedSetting(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD size = 0;
  std::string bytes;
  if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    bytes.resize(size);
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()), &size);
  }
  RegCloseKey(key);
  return bytes;
}

LONG editorHeightFor(int points) {
  HDC screen = GetDC(nullptr);
  const int pixels = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return -MulDiv(points * 10, pixels, 36);
}

// ---- The process-wide host --------------------------------------------------------------

namespace {
HostEnvironment* gHost = nullptr;
}

HostEnvironment& host() { return *gHost; }

void HostEnvironment::SetUp() {
  gHost = this;
  cadhost::app::currentRelease().year = testRelease();
  mWindow = new cadhost::app::DrawingWindow;
  mWindow->create(true);
  mLoader = new cadhost::app::ModuleLoader;
  // Each test program starts as a user's first use of the module: no settings stored (unless it
  // runs as the next process of a test that stored some).
  if (std::getenv("PELLATON_KEEP_SETTINGS") == nullptr) RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  std::wstring message;
  if (!mLoader->load(moduleFileName(), message)) {
    fwprintf(stderr, L"cannot load the module: %ls\n", message.c_str());
    std::abort();
  }
}

void HostEnvironment::reloadModule() {
  std::wstring message;
  ASSERT_TRUE(mLoader->unload(moduleFileName(), message)) << message;
  ASSERT_TRUE(mLoader->load(moduleFileName(), message)) << message;
}

void HostEnvironment::TearDown() {
  delete mLoader;
  delete mWindow;
  cadhost::closeAllDocuments();
}

// ---- Selection --------------------------------------------------------------------------

cadhost::SelectionAnswer ScriptedSelection::selectObjects(const cadhost::SelectionRequest&) {
  ++prompts;
  if (mAnswers.empty()) {
    cadhost::SelectionAnswer cancelled;
    cancelled.cancelled = true;
    return cancelled;
  }
  cadhost::SelectionAnswer answer = mAnswers.front();
  mAnswers.erase(mAnswers.begin());
  return answer;
}

void ScriptedSelection::pick(std::vector<AcDbObjectId> objects) {
  cadhost::SelectionAnswer answer;
  answer.objects = std::move(objects);
  mAnswers.push_back(answer);
}

void ScriptedSelection::cancel() {
  cadhost::SelectionAnswer answer;
  answer.cancelled = true;
  mAnswers.push_back(answer);
}

// ---- Acting in the dialog ---------------------------------------------------------------

HWND Dialog::editor() const { return item(203); }

void Dialog::type(const std::wstring& text) const {
  for (wchar_t c : text) {
    if (c == L'\r' || c == L'\n') key(VK_RETURN, false, false, editor());
    else PostMessageW(editor(), WM_CHAR, c, 1);
  }
}

void Dialog::typeInto(int id, const std::wstring& text) const {
  for (wchar_t c : text) PostMessageW(item(id), WM_CHAR, c, 1);
}

bool Dialog::menuChecked(int command) const {
  return (GetMenuState(GetMenu(hwnd), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

bool Dialog::menuGrey(int command) const {
  return (GetMenuState(GetMenu(hwnd), command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0;
}

std::wstring Dialog::editorFace() const {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  SendMessageW(editor(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  return format.szFaceName;
}

LONG Dialog::editorFontHeight() const {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  SendMessageW(editor(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  return format.yHeight;
}

void Dialog::key(UINT vk, bool ctrl, bool shift, HWND target) const {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  if (target == nullptr) target = GetFocus();
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void Dialog::select(int start, int end) const { SendMessageW(editor(), EM_SETSEL, start, end); }

std::wstring Dialog::editorText() const {
  GETTEXTLENGTHEX lengthRequest{GTL_DEFAULT, 1200};
  const auto length = SendMessageW(editor(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX request{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
  SendMessageW(editor(), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring Dialog::statusPane(int pane) const {
  HWND bar = item(217);
  const auto length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, pane, 0));
  std::wstring text(length + 1u, L'\0');
  SendMessageW(bar, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

void Dialog::command(int id) const { PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void Dialog::close() const { PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(item(IDCANCEL))); }

RECT Dialog::itemRect(int id) const {
  RECT r{};
  GetWindowRect(item(id), &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Dialog::hover(HWND w) const { SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)); }

void setClipboardText(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

Step act(std::function<void(Dialog&)> action) {
  return [action](Dialog& d) {
    action(d);
    return true;
  };
}

Step waitUntil(std::function<bool(Dialog&)> condition) { return condition; }

Step settle(int turns) {
  return [left = turns](Dialog&) mutable { return --left <= 0; };
}

// ---- Running TE -------------------------------------------------------------------------

namespace {

struct TeRun {
  std::vector<Step>* steps = nullptr;
  size_t index = 0;
  int retries = 0;
  int ticksWithoutDialog = 0;
  bool sawDialog = false;
  bool closing = false;
  std::vector<MessageBoxRecord>* boxes = nullptr;
  HHOOK hook = nullptr;
};
TeRun* gRun = nullptr;
}  // namespace

Step awaitClose() {
  Step step([](Dialog&) { return false; });
  step.closesDialog = true;
  return step;
}

namespace {

std::wstring windowText(HWND w) {
  wchar_t buffer[1024] = {0};
  GetWindowTextW(w, buffer, 1024);
  return buffer;
}

std::wstring className(HWND w) {
  wchar_t buffer[256] = {0};
  GetClassNameW(w, buffer, 256);
  return buffer;
}

// Window enumeration callbacks are CALLBACK (stdcall) functions: on 32-bit Windows a lambda does
// not convert to one.
BOOL CALLBACK takeEditorDialog(HWND w, LPARAM out) {
  if (IsWindowVisible(w) && className(w) == L"#32770" && windowText(w) == L"Pellaton 3.5") {
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK takeStaticText(HWND child, LPARAM out) {
  if (className(child) == L"Static" && !windowText(child).empty()) {
    *reinterpret_cast<std::wstring*>(out) = windowText(child);
    return FALSE;
  }
  return TRUE;
}

HWND findEditorDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), takeEditorDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

void releaseModifiers() {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_SHIFT] = state[VK_LSHIFT] = 0;
  SetKeyboardState(state);
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
  TeRun& run = *gRun;
  HWND dialog = findEditorDialog();
  if (dialog == nullptr) {
    if (++run.ticksWithoutDialog > 2000) ADD_FAILURE() << "the editor dialog did not appear";
    return;
  }
  run.sawDialog = true;
  releaseModifiers();
  Dialog d{dialog};
  if (run.index < run.steps->size()) {
    if ((*run.steps)[run.index].run(d)) {
      ++run.index;
      run.retries = 0;
    } else if (++run.retries > 300) {
      ADD_FAILURE() << "step " << run.index << " never completed";
      ++run.index;
      run.retries = 0;
    }
    return;
  }
  if (!run.closing) {
    run.closing = true;
    d.close();
  } else if (++run.retries > 300) {
    ADD_FAILURE() << "the dialog did not close";
    EndDialog(dialog, 0);
  }
}

// Message boxes are read and closed with their first button.
BOOL CALLBACK findInputControl(HWND child, LPARAM found) {
  const std::wstring name = className(child);
  if (name == L"Edit" || name == L"ComboBox" || name == L"RichEdit20W") {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

// A message box: an OK button and texts, nothing to type into (unlike the find, font and About
// dialogs).
bool isMessageBox(HWND w) {
  bool hasInput = false;
  EnumChildWindows(w, findInputControl, reinterpret_cast<LPARAM>(&hasInput));
  return GetDlgItem(w, IDOK) != nullptr && !hasInput;
}

LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && gRun != nullptr) {
    HWND w = reinterpret_cast<HWND>(wParam);
    if (className(w) == L"#32770" && windowText(w) != L"Pellaton 3.5") {
      // A message box holds its text in a static control.
      std::wstring text;
      EnumChildWindows(w, takeStaticText, reinterpret_cast<LPARAM>(&text));
      if (isMessageBox(w)) {  // not a find, font or About dialog
        gRun->boxes->push_back({windowText(w), text});
        PostMessageW(w, WM_COMMAND, IDOK, 0);
      }
    }
  }
  return CallNextHookEx(gRun ? gRun->hook : nullptr, code, wParam, lParam);
}

}  // namespace

::testing::AssertionResult PluginTest::runTE(std::vector<Step> steps) {
  TeRun run;
  run.steps = &steps;
  run.boxes = &messageBoxes;
  gRun = &run;
  run.hook = SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId());
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, onTimer);
  EXPECT_TRUE(cadhost::runCommand(L"TE"));
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(run.hook);
  releaseModifiers();
  gRun = nullptr;
  // Messages the run left behind (such as a last posted refresh) go now.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  commandLine = cadhost::takeCommandLineOutput();
  if (run.index < steps.size() && run.sawDialog && !steps[run.index].closesDialog)
    ADD_FAILURE() << "the dialog closed before step " << run.index;
  if (run.sawDialog) return ::testing::AssertionSuccess() << "the editor dialog was shown";
  std::wstring shown;
  for (const MessageBoxRecord& box : messageBoxes) shown += L" [" + box.caption + L": " + box.text + L"]";
  return ::testing::AssertionFailure() << "the editor dialog was not shown; message boxes:"
                                       << (shown.empty() ? L" none" : shown) << "; command line: \""
                                       << commandLine << "\"";
}

// ---- The test drawing -------------------------------------------------------------------

void PluginTest::SetUp() {
  cadhost::closeAllDocuments();
  db = new AcDbDatabase(true, true);
  cadhost::openDocument(db, true, L"Test");
  cadhost::setSelectionSource(&selection);
  mLocksRequiredAtStart = cadhost::requireDocumentLockForWrite();
  cadhost::setProtocolFaultAction(cadhost::ProtocolFaultAction::Record);
  cadhost::takeProtocolFaults();
  cadhost::clearPickFirst();
  cadhost::takeCommandLineOutput();
  cadhost::clearHostEvents();
}

void PluginTest::TearDown() {
  // Neither the module nor the test may break the open protocol or leave an object open.
  for (const std::wstring& fault : cadhost::takeProtocolFaults()) ADD_FAILURE() << "object protocol fault: " << fault;
  for (int i = 0; i < acDocManagerPtr()->documentCount(); ++i)  // (a test may have opened another drawing)
    EXPECT_EQ(cadhost::openObjectCount(acDocManagerPtr()->documentAt(i)->database()), 0) << "objects left open";
  cadhost::setSelectionSource(nullptr);
  cadhost::setRequireDocumentLockForWrite(mLocksRequiredAtStart);  // a test that loosened the host says so itself
  cadhost::closeAllDocuments();
  db = nullptr;
}

AcDbObjectId PluginTest::append(AcDbEntity* entity, AcDbObjectId block) {
  if (block.isNull()) block = db->modelSpaceId();
  AcAxDocLock lock(db);  // the test draws as the host's own drawing commands do
  AcDbBlockTableRecord* record = nullptr;
  EXPECT_EQ(acdbOpenObject(record, block, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(record->appendAcDbEntity(id, entity), Acad::eOk);
  entity->close();
  record->close();
  return id;
}

AcDbObjectId PluginTest::addText(double x, double y, const std::wstring& text, double height, AcDbObjectId block,
                                 AcDbObjectId layer) {
  auto* entity = new AcDbText(AcGePoint3d(x, y, 0), text.c_str(), AcDbObjectId::kNull, height);
  if (!layer.isNull()) entity->setLayer(layer);
  return append(entity, block);
}

AcDbObjectId PluginTest::addMText(const std::wstring& contents, double height) {
  auto* entity = new AcDbMText;
  entity->setLocation(AcGePoint3d(10, 50, 0));
  entity->setTextHeight(height);
  entity->setContents(contents.c_str());
  return append(entity);
}

void PluginTest::setAuthor(const std::wstring& author) {
  AcDbDatabaseSummaryInfo* info = nullptr;
  ASSERT_EQ(acdbGetSummaryInfo(db, info), Acad::eOk);
  info->setAuthor(author.c_str());
  acdbPutSummaryInfo(info, db);
  delete info;
}

AcDbObjectId PluginTest::addDimension(const std::wstring& text) {
  return append(new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(40, 0, 0), AcGePoint3d(20, -10, 0),
                                         text.c_str()));
}

AcDbObjectId PluginTest::addLine() { return append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 10, 0))); }

AcDbObjectId PluginTest::addLayer(const std::wstring& name, bool locked) {
  AcAxDocLock lock(db);
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db->getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  auto* layer = new AcDbLayerTableRecord;
  layer->setName(name.c_str());
  layer->setIsLocked(locked);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, layer), Acad::eOk);
  layer->close();
  table->close();
  return id;
}

AcDbObjectId PluginTest::paperSpace() {
  AcDbBlockTable* table = nullptr;
  db->getBlockTable(table, AcDb::kForRead);
  AcDbObjectId id;
  table->getAt(ACDB_PAPER_SPACE, id);
  table->close();
  return id;
}

std::wstring PluginTest::textOf(AcDbObjectId id) {
  AcDbEntity* entity = nullptr;
  if (acdbOpenObject(entity, id, AcDb::kForRead, true) != Acad::eOk) return L"<cannot open>";
  std::wstring text;
  if (auto* t = AcDbText::cast(entity)) text = t->textStringConst();
  else if (auto* m = AcDbMText::cast(entity)) text = m->contentsConst();
  else if (auto* d = AcDbDimension::cast(entity)) text = d->dimensionTextConst();
  entity->close();
  return text;
}

AcGePoint3d PluginTest::positionOf(AcDbObjectId id) {
  AcDbText* text = nullptr;
  if (acdbOpenObject(text, id, AcDb::kForRead, true) != Acad::eOk) return {};
  const AcGePoint3d p = text->position();
  text->close();
  return p;
}

std::vector<AcDbObjectId> PluginTest::textsIn(AcDbObjectId block) {
  if (block.isNull()) block = db->modelSpaceId();
  std::vector<AcDbObjectId> texts;
  AcDbBlockTableRecord* record = nullptr;
  if (acdbOpenObject(record, block, AcDb::kForRead) != Acad::eOk) return texts;
  AcDbBlockTableRecordIterator* it = nullptr;
  record->newIterator(it);
  for (; !it->done(); it->step()) {
    AcDbObjectId id;
    it->getEntityId(id);
    AcDbEntity* entity = nullptr;
    if (acdbOpenObject(entity, id, AcDb::kForRead) != Acad::eOk) continue;
    if (entity->isKindOf(AcDbText::desc())) texts.push_back(id);
    entity->close();
  }
  delete it;
  record->close();
  return texts;
}

std::vector<std::wstring> PluginTest::blockLines(AcDbObjectId block) {
  std::vector<std::pair<double, std::wstring>> lines;
  for (AcDbObjectId id : textsIn(block)) lines.emplace_back(positionOf(id).y, textOf(id));
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::wstring> result;
  for (const auto& [y, text] : lines) {
    wchar_t at[32];
    swprintf(at, 32, L"@%g", std::round(y * 1000) / 1000);
    result.push_back(text + at);
  }
  return result;
}

void PluginTest::evaluateFields(AcDbObjectId id) {
  AcAxDocLock lock(db);
  EXPECT_EQ(acdbEvaluateFields(id, 64), Acad::eOk);
}

void PluginTest::eraseEntity(AcDbObjectId id) {
  AcAxDocLock lock(db);
  AcDbEntity* entity = nullptr;
  ASSERT_EQ(acdbOpenObject(entity, id, AcDb::kForWrite), Acad::eOk);
  entity->erase();
  entity->close();
}

void FreshSettingsTest::forgetSettings() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  host().reloadModule();
}

void FreshSettingsTest::SetUp() {
  PluginTest::SetUp();
  forgetSettings();
}

void FreshSettingsTest::TearDown() {
  forgetSettings();
  PluginTest::TearDown();
}

int PluginTest::failureReports() const {
  int count = 0;
  for (size_t at = commandLine.find(L"!src/TEDialog@"); at != std::wstring::npos; at = commandLine.find(L"!src/TEDialog@", at + 1))
    ++count;
  return count;
}

}  // namespace plugintest
