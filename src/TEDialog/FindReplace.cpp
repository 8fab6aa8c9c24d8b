// Find and Replace through the platform's modeless common dialogs. Every Find or Replace command
// opens one more dialog owned by the editor dialog; each keeps its own request, and tells the
// editor dialog of each Find Next, Replace, Replace All and of its closing with the registered
// message "commdlg_FindReplace". Nothing of it is kept in the settings.
//
// A search runs from the selection in the request's direction to the end (or the start) of the
// text, without wrapping around; what it finds is selected. Replace replaces the next occurrence
// after the selection (so after a Find Next, the one after the one found). Replace All replaces
// every occurrence from the selection's end to the end of the text: each search starts behind the
// text just inserted, so a replacement that holds the find string does not loop. Replace All
// writes the result into the drawing once, at its end, not once per occurrence.
//
// An empty find string finds nothing and says nothing: there is nothing to look for, and the
// platform's dialogs keep their buttons grey while the field is empty anyway.
#include "../LocalizedResources.h"
#include "../ModuleState.h"
#include "TEDialog.h"
#include "platform/FindReplaceDialog.h"
#include "resource.h"

namespace {

// The find dialog whose notification is handled now: the owner of the message boxes. It is set
// by each notification before it is used, so one left from an earlier dialog is never read.
CFindReplaceDialog* g_pNotifyingFindDialog = nullptr;

}  // namespace

void CTEDialog::OnFind() { OpenFindDialog(TRUE); }
void CTEDialog::OnReplace() { OpenFindDialog(FALSE); }

void CTEDialog::OpenFindDialog(BOOL findOnly) {
  auto* dialog = new CFindReplaceDialog;
  g_pNotifyingFindDialog = dialog;
  if (!dialog->Create(findOnly, nullptr, nullptr, FR_DOWN, this)) {
    g_pNotifyingFindDialog = nullptr;
    delete dialog;  // (the framework has said why)
    return;
  }
  ::SetActiveWindow(dialog->GetSafeHwnd());
  dialog->ShowWindow(SW_SHOWNORMAL);
}

bool CTEDialog::FindInEditor(const FindRequest& request) {
  if (request.text.empty()) return false;
  UpdateSelectionInfo();
  FINDTEXTW find{};
  find.chrg.cpMin = request.down ? m_selectionEnd : m_selectionStart;
  find.chrg.cpMax = -1;
  find.lpstrText = request.text.c_str();
  const LRESULT found =
      m_editor.SendMessage(EM_FINDTEXTW, static_cast<WPARAM>(request.flags), reinterpret_cast<LPARAM>(&find));
  if (found < 0) return false;
  m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(found),
                       static_cast<LPARAM>(found + static_cast<LRESULT>(request.text.size())));
  return true;
}

LRESULT CTEDialog::OnFindReplace(WPARAM, LPARAM lParam) {
  CFindReplaceDialog* dialog = CFindReplaceDialog::GetNotifier(lParam);
  g_pNotifyingFindDialog = dialog;
  if (dialog == nullptr) return 0;
  if (dialog->IsTerminating()) {
    g_pNotifyingFindDialog = nullptr;
    return 0;
  }
  FindRequest request;
  request.flags = dialog->m_fr.Flags & (FR_DOWN | FR_WHOLEWORD | FR_MATCHCASE);
  request.down = dialog->SearchDown() != FALSE;
  request.text = dialog->GetFindString();
  if (request.text.empty()) return 0;
  const std::wstring replacement = dialog->GetReplaceString();

  if (dialog->FindNext()) {
    if (!FindInEditor(request)) ShowFindMessage(LoadLocalizedString(IDS_SEARCHFINISHED));
  } else if (dialog->ReplaceCurrent()) {
    if (FindInEditor(request))
      m_editor.SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(replacement.c_str()));
    else
      ShowFindMessage(LoadLocalizedString(IDS_SEARCHFINISHED));
  } else if (dialog->ReplaceAll()) {
    const int count = ReplaceAllInEditor(request, replacement);
    ShowFindMessage(count > 0 ? FormatLocalizedString(IDS_OCCURRENCESREPLACED, count)
                              : LoadLocalizedString(IDS_SEARCHFINISHED));
  }
  return 0;
}

int CTEDialog::ReplaceAllInEditor(const FindRequest& request, const std::wstring& replacement) {
  // The replacements are the editor's own (each can be undone), but the drawing takes their
  // result once, and the status bar and fields follow the selection once: the change and
  // selection notifications are held back until the last one.
  int count = 0;
  const LRESULT mask = m_editor.SendMessage(EM_GETEVENTMASK, 0, 0);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE | ENM_SELCHANGE));
  while (FindInEditor(request)) {
    m_editor.SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(replacement.c_str()));
    ++count;
  }
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask);
  if (count > 0) {
    WriteBack();
    ::PostMessageW(m_dialogWindow, WM_TE_SELECTIONREFRESH, 0, 0);
  }
  return count;
}

void CTEDialog::ShowFindMessage(const std::wstring& text) {
  const HWND owner = g_pNotifyingFindDialog != nullptr ? g_pNotifyingFindDialog->GetSafeHwnd() : m_dialogWindow;
  ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_INFORMATION).c_str(), MB_OK);
}
