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
//
// The search runs over the editor's text in memory rather than through the control's own search
// (whose cost under some platforms grows with the square of the text when it is repeated, as
// Replace All does), with these rules: letters match in either case unless match case is on,
// compared through the platform's per-character case mapping; a whole word is a match with no
// letter, digit or underscore right before or after it; downwards, a match starts at or after
// the selection's end; upwards, it ends at or before the selection's start.
#include <algorithm>

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

namespace {

bool IsWordCharacter(wchar_t c) { return c == L'_' || ::IsCharAlphaNumericW(c); }

// Occurrences of a request's text in a text, in the request's terms.
class TextSearch {
 public:
  TextSearch(const std::wstring& text, const FindRequest& request)
      : mText(text), mFolded(text), mNeedle(request.text), mWholeWord((request.flags & FR_WHOLEWORD) != 0) {
    if ((request.flags & FR_MATCHCASE) == 0) {
      ::CharUpperBuffW(mFolded.data(), static_cast<DWORD>(mFolded.size()));
      ::CharUpperBuffW(mNeedle.data(), static_cast<DWORD>(mNeedle.size()));
    }
  }
  // The first occurrence starting at or after from; npos when none.
  size_t next(size_t from) const {
    for (size_t at = mFolded.find(mNeedle, from); at != std::wstring::npos; at = mFolded.find(mNeedle, at + 1))
      if (isWhole(at)) return at;
    return std::wstring::npos;
  }
  // The last occurrence ending at or before until; npos when none.
  size_t previous(size_t until) const {
    if (until < mNeedle.size()) return std::wstring::npos;
    for (size_t at = mFolded.rfind(mNeedle, until - mNeedle.size()); at != std::wstring::npos;
         at = at == 0 ? std::wstring::npos : mFolded.rfind(mNeedle, at - 1))
      if (isWhole(at)) return at;
    return std::wstring::npos;
  }

 private:
  bool isWhole(size_t at) const {
    if (!mWholeWord) return true;
    const size_t end = at + mNeedle.size();
    return (at == 0 || !IsWordCharacter(mText[at - 1])) && (end >= mText.size() || !IsWordCharacter(mText[end]));
  }
  const std::wstring& mText;
  std::wstring mFolded, mNeedle;
  bool mWholeWord;
};

}  // namespace

bool CTEDialog::FindInEditor(const FindRequest& request) {
  if (request.text.empty()) return false;
  UpdateSelectionInfo();
  std::wstring text;
  GetEditorText(text, 0);
  const TextSearch search(text, request);
  const size_t found = request.down ? search.next(static_cast<size_t>(std::max(m_selectionEnd, 0)))
                                    : search.previous(static_cast<size_t>(std::max(m_selectionStart, 0)));
  if (found == std::wstring::npos) return false;
  m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(found), static_cast<LPARAM>(found + request.text.size()));
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
  // Every occurrence from the selection's end on is replaced in the text in memory, each search
  // starting behind the text just put in; the editor then takes the result in one piece (one step
  // of its Undo, where it can keep one), the caret behind the last replacement, and the drawing
  // takes it with one write-back.
  UpdateSelectionInfo();
  std::wstring text;
  GetEditorText(text, 0);
  const TextSearch search(text, request);
  std::wstring result;
  size_t copied = 0, caret = 0;
  int count = 0;
  for (size_t at = search.next(static_cast<size_t>(std::max(m_selectionEnd, 0))); at != std::wstring::npos;
       at = search.next(at + request.text.size())) {
    result.append(text, copied, at - copied);
    result += replacement;
    caret = result.size();
    copied = at + request.text.size();
    ++count;
  }
  if (count == 0) return 0;
  result.append(text, copied, std::wstring::npos);
  ReplaceEditorText(result, static_cast<LONG>(caret), static_cast<LONG>(caret), true);
  WriteBack();
  ::PostMessageW(m_dialogWindow, WM_TE_SELECTIONREFRESH, 0, 0);
  return count;
}

void CTEDialog::ShowFindMessage(const std::wstring& text) {
  const HWND owner = g_pNotifyingFindDialog != nullptr ? g_pNotifyingFindDialog->GetSafeHwnd() : m_dialogWindow;
  ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_INFORMATION).c_str(), MB_OK);
}
