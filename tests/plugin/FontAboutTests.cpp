// The editor's font chosen in the platform's font dialog (kept in the settings, shown at once and
// at the next run), and the About box in the user's language with links that open through the
// program the system has for them.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>
#include <richedit.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kFont = 32785, kAbout = 32786;

BOOL CALLBACK collectOwned(HWND w, LPARAM data) {
  auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(data);
  if (GetWindow(w, GW_OWNER) == found->first && IsWindowVisible(w)) found->second = w;
  return TRUE;
}

// The visible window the editor dialog owns (the font dialog or the About box), or none.
HWND ownedWindow(Dialog& d) {
  std::pair<HWND, HWND> found{d.hwnd, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), collectOwned, reinterpret_cast<LPARAM>(&found));
  return found.second;
}

std::string storedBytes(const wchar_t* name) { return storedSetting(name); }
DWORD storedSize() {
  const std::string bytes = storedBytes(L"FontSize");
  DWORD size = 0;
  if (bytes.size() == sizeof size) memcpy(&size, bytes.data(), sizeof size);
  return size;
}
std::wstring storedFace() {
  const std::string bytes = storedBytes(L"FontName");
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)).c_str();
}

LONG heightFor(int points) { return editorHeightFor(points); }

class FontTest : public FreshSettingsTest {
 protected:
  // Opens the font dialog, picks a face, a style and a size as a user does, and presses a button.
  static std::vector<Step> chooseFont(const std::wstring& face, const std::wstring& size, int button = IDOK,
                                      const std::wstring& style = L"") {
    return {act([](Dialog& d) { d.command(kFont); }), waitUntil([](Dialog& d) {
              const HWND font = ownedWindow(d);
              return font != nullptr && GetDlgItem(font, cmb1) != nullptr;
            }),
            act([face, size, button, style](Dialog& d) {
              const HWND font = ownedWindow(d);
              const HWND faces = GetDlgItem(font, cmb1);
              SendMessageW(faces, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(face.c_str()));
              SendMessageW(font, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faces));
              if (!style.empty()) {
                const HWND styles = GetDlgItem(font, cmb2);
                SendMessageW(styles, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(style.c_str()));
                SendMessageW(font, WM_COMMAND, MAKEWPARAM(cmb2, CBN_SELCHANGE), reinterpret_cast<LPARAM>(styles));
              }
              // A size of the list is picked from it; any other is typed.
              const HWND sizes = GetDlgItem(font, cmb3);
              const LRESULT listed = SendMessageW(sizes, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(size.c_str()));
              if (listed != CB_ERR) {
                SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(listed), 0);
                SendMessageW(font, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
              } else {
                const HWND edit = FindWindowExW(sizes, nullptr, L"Edit", nullptr);
                SendMessageW(edit, EM_SETSEL, 0, -1);
                for (wchar_t c : size) SendMessageW(edit, WM_CHAR, c, 1);
              }
              PostMessageW(GetDlgItem(font, button), BM_CLICK, 0, 0);
            }),
            waitUntil([](Dialog& d) { return ownedWindow(d) == nullptr; })};
  }
};

// The dialog opens on the face the editor's text is shown in and its size: the default face where
// it is installed, else the face the system shows in its place (never the first of the list).
TEST_F(FontTest, TheFontDialogOpensOnTheFaceAndSizeTheEditorShows) {
  selection.pick({addText(0, 0, L"a")});
  std::wstring face, size;
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.command(kFont); }), waitUntil([](Dialog& d) {
                       const HWND font = ownedWindow(d);
                       return font != nullptr && GetDlgItem(font, cmb1) != nullptr;
                     }),
                     act([&](Dialog& d) {
                       const HWND font = ownedWindow(d);
                       wchar_t text[64] = {0};
                       GetWindowTextW(GetDlgItem(font, cmb1), text, 64);
                       face = text;
                       GetWindowTextW(GetDlgItem(font, cmb3), text, 64);
                       size = text;
                       PostMessageW(GetDlgItem(font, IDCANCEL), BM_CLICK, 0, 0);
                     }),
                     waitUntil([](Dialog& d) { return ownedWindow(d) == nullptr; })}));
  LOGFONTW wanted{};
  wanted.lfHeight = -13;
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&wanted);
  HDC screen = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(screen, font);
  wchar_t shown[LF_FACESIZE] = {0};
  GetTextFaceW(screen, LF_FACESIZE, shown);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  EXPECT_EQ(face, std::wstring(shown));
  EXPECT_EQ(size, L"10");
  EXPECT_EQ(storedFace(), L"");  // Cancel stores nothing
}

TEST_F(FontTest, ArialAtTwelvePointsIsStoredShownAtOnceAndAtTheNextRun) {
  selection.pick({addText(0, 0, L"a")});
  std::wstring face, nextFace;
  LONG height = 0, nextHeight = 0;
  std::vector<Step> steps = chooseFont(L"Arial", L"12");
  steps.push_back(act([&](Dialog& d) {
    face = d.editorFace();
    height = d.editorFontHeight();
  }));
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(storedSize(), 12u);
  EXPECT_EQ(storedFace(), L"Arial");
  EXPECT_EQ(face, L"Arial");
  EXPECT_EQ(height, heightFor(12));

  selection.pick({addText(0, 5, L"b")});
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    nextFace = d.editorFace();
    nextHeight = d.editorFontHeight();
  })}));
  EXPECT_EQ(nextFace, L"Arial");
  EXPECT_EQ(nextHeight, heightFor(12));
}

TEST_F(FontTest, BoldItalicChangesOnlyTheFaceAndTheSize) {
  selection.pick({addText(0, 0, L"a")});
  DWORD effects = 0xFFFFFFFF;
  std::vector<Step> steps = chooseFont(L"Tahoma", L"14", IDOK, L"Bold");
  steps.push_back(act([&](Dialog& d) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(d.editor(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    effects = format.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE);
  }));
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(storedFace(), L"Tahoma");
  EXPECT_EQ(storedSize(), 14u);
  EXPECT_EQ(effects, 0u) << "weight, slant and underline are dropped";
}

TEST_F(FontTest, CancelChangesNothingNotEvenTheSettings) {
  selection.pick({addText(0, 0, L"a")});
  std::wstring face;
  std::vector<Step> steps = chooseFont(L"Arial", L"20", IDCANCEL);
  steps.push_back(act([&](Dialog& d) { face = d.editorFace(); }));
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(storedBytes(L"FontName"), "");
  EXPECT_EQ(storedBytes(L"FontSize"), "");
  EXPECT_NE(face, L"Arial");
}

// What Wine's font dialog cannot be made to give: it takes whole sizes only (a typed "10.5" is
// refused with a box) and lists faces as the system names them. Windows' own dialog gives 10.5
// points as iPointSize 105. To see what the module does with such answers, the module's import of
// ChooseFontW is pointed, for one test, at a stand-in that runs the real dialog (the user picks a
// face and a size and presses OK) and then changes its answer as that other dialog would give it.
struct FontDialogAnswer {
  int pointTenths = 0;  // 0: the size the user chose
  std::wstring face;    // empty: the face the user chose; else up to 32 units of it (a full field has no NUL)
};
FontDialogAnswer g_fontAnswer;
decltype(&ChooseFontW) g_realChooseFont = nullptr;

BOOL WINAPI answeringChooseFont(LPCHOOSEFONTW request) {
  if (!g_realChooseFont(request)) return FALSE;
  if (g_fontAnswer.pointTenths != 0) {
    HDC screen = GetDC(nullptr);
    request->iPointSize = g_fontAnswer.pointTenths;
    request->lpLogFont->lfHeight = -MulDiv(g_fontAnswer.pointTenths, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
  }
  if (!g_fontAnswer.face.empty()) {
    WCHAR* field = request->lpLogFont->lfFaceName;
    std::fill(field, field + LF_FACESIZE, L'\0');
    std::copy_n(g_fontAnswer.face.begin(), std::min<size_t>(g_fontAnswer.face.size(), LF_FACESIZE), field);
  }
  return TRUE;
}

// The slot of the loaded module's import address table through which it calls a function.
FARPROC* importSlot(HMODULE module, const char* library, FARPROC function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const LONG headers = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + headers);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), library) != 0) continue;
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); slot->u1.Function != 0; ++slot)
      if (slot->u1.Function == reinterpret_cast<ULONG_PTR>(function))
        return reinterpret_cast<FARPROC*>(&slot->u1.Function);
  }
  return nullptr;
}

// Points the module's ChooseFontW at the stand-in while it lives (a reload of the module undoes it
// as well).
class AnsweringFontDialog {
 public:
  explicit AnsweringFontDialog(FontDialogAnswer answer) {
    g_fontAnswer = std::move(answer);
    const FARPROC real = GetProcAddress(GetModuleHandleW(L"comdlg32.dll"), "ChooseFontW");
    g_realChooseFont = reinterpret_cast<decltype(&ChooseFontW)>(reinterpret_cast<void (*)()>(real));
    mModule = GetModuleHandleW(moduleFileName().c_str());
    mSlot = mModule != nullptr && real != nullptr ? importSlot(mModule, "comdlg32.dll", real) : nullptr;
    if (mSlot != nullptr) write(reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&answeringChooseFont)));
  }
  ~AnsweringFontDialog() {
    if (mSlot != nullptr && GetModuleHandleW(moduleFileName().c_str()) == mModule)
      write(reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(g_realChooseFont)));
  }
  bool ready() const { return mSlot != nullptr; }

 private:
  void write(FARPROC function) {
    DWORD was = 0;
    VirtualProtect(mSlot, sizeof *mSlot, PAGE_READWRITE, &was);
    *mSlot = function;
    VirtualProtect(mSlot, sizeof *mSlot, was, &was);
  }
  HMODULE mModule = nullptr;
  FARPROC* mSlot = nullptr;
};

TEST_F(FontTest, AFractionOfAPointIsDropped) {
  AnsweringFontDialog dialog({105, L""});
  ASSERT_TRUE(dialog.ready()) << "the module does not import ChooseFontW from comdlg32.dll";
  selection.pick({addText(0, 0, L"a")});
  LONG height = 0;
  std::vector<Step> steps = chooseFont(L"Arial", L"10");
  steps.push_back(act([&](Dialog& d) { height = d.editorFontHeight(); }));
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(storedSize(), 10u) << "10.5 points are stored as whole points, the fraction dropped";
  EXPECT_EQ(height, heightFor(10));
}

// The longest face a font can have, 31 characters, is stored whole with its terminator in the
// 64 bytes of "FontName", and the next process (the module loaded anew) shows it whole.
TEST_F(FontTest, AThirtyOneCharacterFaceIsStoredWholeAndShownByTheNextProcess) {
  const std::wstring thirtyOne = L"Pellaton Test Face Of 31 Chars.";
  ASSERT_EQ(thirtyOne.size(), 31u);
  {
    AnsweringFontDialog dialog({0, thirtyOne});
    ASSERT_TRUE(dialog.ready());
    selection.pick({addText(0, 0, L"a")});
    EXPECT_TRUE(runTE(chooseFont(L"Arial", L"12")));
  }
  const std::string bytes = storedBytes(L"FontName");
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), 32), thirtyOne + L'\0');
  EXPECT_EQ(storedSize(), 12u);

  host().reloadModule();
  selection.pick({addText(0, 5, L"b")});
  std::wstring face;
  LONG height = 0;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    face = d.editorFace();
    height = d.editorFontHeight();
  })}));
  EXPECT_EQ(face, thirtyOne);
  EXPECT_EQ(height, heightFor(12));
}

// A face the dialog gives in the whole 32 units of its field, with no terminator (as far as a
// longer name can reach the module), is cut to its first 31 characters and nothing past the field
// is read.
TEST_F(FontTest, AFaceLongerThanThirtyOneCharactersIsCutToItsFirst31) {
  const std::wstring longFace = L"A Face Name Much Longer Than Thirty-One Characters";
  AnsweringFontDialog dialog({0, longFace});
  ASSERT_TRUE(dialog.ready());
  selection.pick({addText(0, 0, L"a")});
  std::wstring face;
  std::vector<Step> steps = chooseFont(L"Arial", L"12");
  steps.push_back(act([&](Dialog& d) { face = d.editorFace(); }));
  EXPECT_TRUE(runTE(steps));
  EXPECT_EQ(storedFace(), longFace.substr(0, 31));
  EXPECT_EQ(face, longFace.substr(0, 31));
}

// The About box.

// The program the system opens a kind of link with: the command under the scheme's class.
std::wstring linkCommandKey(const wchar_t* scheme) { return std::wstring(scheme) + L"\\shell\\open\\command"; }
std::wstring linkCommand(const wchar_t* scheme) {
  wchar_t command[1024] = {};
  LONG size = sizeof command;
  RegQueryValueW(HKEY_CLASSES_ROOT, linkCommandKey(scheme).c_str(), command, &size);
  return command;
}
void setLinkCommand(const wchar_t* scheme, const std::wstring& command) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, linkCommandKey(scheme).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

class AboutTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    for (const wchar_t* scheme : {L"http", L"mailto"}) previous.push_back(linkCommand(scheme));
  }
  void TearDown() override {
    // The system's own programs for links again.
    setLinkCommand(L"http", previous[0]);
    setLinkCommand(L"mailto", previous[1]);
    PluginTest::TearDown();
  }
  std::vector<std::wstring> previous;
  static Step openAbout() {
    return act([](Dialog& d) { d.command(kAbout); });
  }
  static Step waitForAbout() {
    return waitUntil([](Dialog& d) {
      const HWND about = ownedWindow(d);
      return about != nullptr && GetDlgItem(about, 215) != nullptr;
    });
  }
  static std::wstring aboutText(Dialog& d) {
    wchar_t text[512] = {};
    GetDlgItemTextW(ownedWindow(d), 215, text, 512);
    return text;
  }
};

TEST_F(AboutTest, TheBoxIsInTheUsersLanguageAndEscapeAndTheCloseBoxEndIt) {
  selection.pick({addText(0, 0, L"a")});
  std::wstring text, caption;
  bool closedByEscape = false;
  int outOfSight = -1;
  EXPECT_TRUE(runTE({openAbout(), waitForAbout(), act([&](Dialog& d) {
                       text = aboutText(d);
                       // Every character lies inside the box (a long line wraps).
                       const HWND about = GetDlgItem(ownedWindow(d), 215);
                       RECT client{};
                       GetClientRect(about, &client);
                       outOfSight = 0;
                       for (LONG i = 0; i < static_cast<LONG>(text.size()); ++i) {
                         POINTL at{};
                         SendMessageW(about, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), i);
                         if (at.x >= client.right) ++outOfSight;
                       }
                       wchar_t title[64] = {};
                       GetWindowTextW(ownedWindow(d), title, 64);
                       caption = title;
                       PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
                     }),
                     waitUntil([&](Dialog& d) { return closedByEscape = ownedWindow(d) == nullptr; }), openAbout(),
                     waitForAbout(), act([](Dialog& d) { PostMessageW(ownedWindow(d), WM_SYSCOMMAND, SC_CLOSE, 0); }),
                     waitUntil([](Dialog& d) { return ownedWindow(d) == nullptr; })}));
  EXPECT_EQ(caption, L"About Pellaton");
  EXPECT_EQ(text.rfind(L"Pellaton v.3.5\r", 0), 0u) << text;
  EXPECT_NE(text.find(russianUser() ? L"для AutoCAD" : L"for AutoCAD"), std::wstring::npos) << text;
  EXPECT_NE(text.find(russianUser() ? L"Домашняя страничка http" : L"Check http"), std::wstring::npos) << text;
  EXPECT_TRUE(closedByEscape);
  EXPECT_EQ(outOfSight, 0) << "characters of the About text lie beyond the box's right edge";
}

// This test program records the links it is asked to open, when the shell starts it as the
// program for them (see main.cpp).
class AboutLinkTest : public AboutTest {
 protected:
  void SetUp() override {
    AboutTest::SetUp();
    std::remove(log().c_str());
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::wstring handler = L"\"" + std::wstring(program) + L"\" --record-link \"%1\"";
    for (const wchar_t* scheme : {L"http", L"mailto"}) setLinkCommand(scheme, handler);
  }
  static std::string log() { return std::string("Z:") + PELLATON_BUILD_DIR + "/opened-links.txt"; }
  static std::string openedLinks() {
    std::ifstream in(log());
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  // Waits until the shell has started the recording program for that many links.
  static Step awaitOpenedLinks(int count) {
    return waitUntil([count](Dialog&) {
      const std::string lines = openedLinks();
      return std::count(lines.begin(), lines.end(), '\n') >= count;
    });
  }
  // A mouse button pressed on a link's third character, as the mouse would.
  static Step clickLink(const wchar_t* start, UINT down, UINT up) {
    return act([start, down, up](Dialog& d) {
      const HWND text = GetDlgItem(ownedWindow(d), 215);
      wchar_t all[512] = {};
      GetWindowTextW(text, all, 512);
      const LONG at = static_cast<LONG>(std::wstring(all).find(start)) + 2;
      POINTL where{};
      SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&where), at);
      const LPARAM point = MAKELPARAM(where.x + 2, where.y + 4);
      PostMessageW(text, WM_MOUSEMOVE, 0, point);
      PostMessageW(text, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, point);
      PostMessageW(text, up, 0, point);
    });
  }
  static Step closeAbout() {
    return act([](Dialog& d) { PostMessageW(ownedWindow(d), WM_COMMAND, 2, 0); });
  }
  static Step awaitAboutClosed() {
    return waitUntil([](Dialog& d) { return ownedWindow(d) == nullptr; });
  }
};

TEST_F(AboutLinkTest, ALeftClickOnEachLinkOpensItOnceThroughTheProgramTheSystemHasForIt) {
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({openAbout(), waitForAbout(), settle(), clickLink(L"mailto:", WM_LBUTTONDOWN, WM_LBUTTONUP),
                     settle(), clickLink(L"http:", WM_LBUTTONDOWN, WM_LBUTTONUP), settle(),
                     clickLink(L"http:", WM_RBUTTONDOWN, WM_RBUTTONUP), settle(),  // the right button opens nothing
                     closeAbout(), awaitAboutClosed(), awaitOpenedLinks(2)}));
  EXPECT_EQ(openedLinks(), "mailto:pellaton@example.org\nhttp://www.example.org/pellaton\n");
}

// The About text's own links are short; one longer than the 100 characters they need (as a
// translation with a long address would bring) is read whole, never past its buffer, and opens
// whole. The link is put into the box's text the way the box puts its own.
TEST_F(AboutLinkTest, ALinkLongerThanAHundredCharactersOpensWhole) {
  std::wstring longLink = L"http://www.example.org/pellaton/releases/3.5";
  while (longLink.size() < 180) longLink += L"/a-rather-long-path-segment";
  selection.pick({addText(0, 0, L"a")});
  EXPECT_TRUE(runTE({openAbout(), waitForAbout(), act([&](Dialog& d) {
                       const std::wstring text = L"Pellaton v.3.5\nCheck " + longLink + L" for updates";
                       SetDlgItemTextW(ownedWindow(d), 215, text.c_str());
                     }),
                     settle(), clickLink(L"http:", WM_LBUTTONDOWN, WM_LBUTTONUP), settle(), closeAbout(),
                     awaitAboutClosed(), awaitOpenedLinks(1)}));
  EXPECT_EQ(openedLinks(), std::string(longLink.begin(), longLink.end()) + "\n");
}

}  // namespace
}  // namespace plugintest
