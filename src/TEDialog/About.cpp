// The About box: the program's name and version, an author line and two links, in the user's
// language. A link opens, through the program the system has for it (the mail program, the
// browser), when the left button goes down on it.
#include <algorithm>
#include <vector>

#include "../LocalizedResources.h"
#include "../ModuleState.h"
#include "TEDialog.h"
#include "resource.h"

#include <shellapi.h>  // (after the platform's headers it needs)

namespace {

// Opens the link that a link notification names. Links of the About text are far shorter than
// 100 characters; a longer one is read whole into a buffer of its own length, never past it.
void OpenLink(HWND box, const ENLINK& link) {
  const LONG length = link.chrg.cpMax - link.chrg.cpMin;
  if (length <= 0) return;
  std::vector<wchar_t> text(static_cast<size_t>(std::max<LONG>(length + 1, 100)), L'\0');
  TEXTRANGEW range{link.chrg, text.data()};
  ::SendDlgItemMessageW(box, IDC_ABOUTTEXT, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.back() = L'\0';
  ::ShellExecuteW(box, L"open", text.data(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const HWND text = ::GetDlgItem(box, IDC_ABOUTTEXT);
      ::SendMessageW(text, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_BTNFACE)));
      const LRESULT mask = ::SendMessageW(text, EM_GETEVENTMASK, 0, 0);
      ::SendMessageW(text, EM_SETEVENTMASK, 0, mask | ENM_LINK);
      ::SendMessageW(text, EM_AUTOURLDETECT, TRUE, 0);
      ::SetDlgItemTextW(box, IDC_ABOUTTEXT, LoadLocalizedString(IDS_ABOUT).c_str());
      return TRUE;  // the OK button, the first tab stop, gets the focus
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_EXIT) ::EndDialog(box, 0);  // OK, Enter, Escape, the close box
      return FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (wParam == IDC_ABOUTTEXT && header->code == EN_LINK) {
        const auto* link = reinterpret_cast<const ENLINK*>(lParam);
        if (link->msg == WM_LBUTTONDOWN) OpenLink(box, *link);
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

void CTEDialog::ShowAboutBox() {
  ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_ABOUT), m_dialogWindow, AboutDialogProc, 0);
}
