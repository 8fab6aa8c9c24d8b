// A long text goes into the editor piece by piece, so that the dialog appears at once.
//
// The platform's control takes a long text given in one piece slowly, and more than in proportion
// to its length (under Wine a block of 10,000 lines takes about a third of a second, a text of a
// megabyte many seconds), and the dialog cannot appear until it is all in; the same text appended
// in pieces costs the control far less in all. So a text longer than kLoadAtOnce characters is
// given in pieces that end at line breaks: the first before the dialog appears (or, for a tool
// that replaced a long text, at once), each further one while the dialog's loop has nothing else
// to do (WM_KICKIDLE), so that input and painting come first.
//
// At every moment the editor's text followed by what is still to load is the drawing's text.
// Before anything reads or changes the text as a whole (a key, a command, a menu, the Find
// dialog, a write-back) the rest is loaded at once, so that a key or a command always acts on
// the whole text: Ctrl+A and a typed character replace all of it, as in any editor. A selection
// of everything loaded so far grows with the text.
#include "../LocalizedResources.h"
#include "TEDialog.h"
#include "resource.h"

namespace {

constexpr size_t kLoadAtOnce = 32000;  // characters; shorter texts go in in one piece
constexpr size_t kPiece = 16000;       // about 30 ms of the control's time

// The end of a piece of text that starts at `from`: the first line break at or after
// from + kPiece (the break begins the next piece), or the end of the text.
size_t PieceEnd(const std::wstring& text, size_t from) {
  if (text.size() - from <= kPiece) return text.size();
  const size_t lineBreak = text.find(L'\r', from + kPiece);
  return lineBreak == std::wstring::npos ? text.size() : lineBreak;
}

}  // namespace

void CTEDialog::PutTextIntoEditor(std::wstring text) {
  m_pendingText.clear();
  m_pendingFrom = 0;
  m_selectionAfterLoading = CHARRANGE{-1, -1};
  if (text.size() <= kLoadAtOnce) {
    SetEditorText(text, 0);
    return;
  }
  const size_t end = PieceEnd(text, 0);
  SetEditorText(text.substr(0, end), 0);
  m_pendingText = std::move(text);
  m_pendingFrom = end;
  ShowLoading(true);
}

bool CTEDialog::LoadNextPiece() {
  if (!IsLoading()) return false;
  const size_t end = PieceEnd(m_pendingText, m_pendingFrom);
  AppendToEditor(m_pendingText.substr(m_pendingFrom, end - m_pendingFrom));
  m_pendingFrom = end;
  if (m_pendingFrom < m_pendingText.size()) return true;
  EndLoading();
  return false;
}

void CTEDialog::FinishLoading() {
  if (!IsLoading()) return;
  AppendToEditor(m_pendingText.substr(m_pendingFrom));
  EndLoading();
}

void CTEDialog::EndLoading() {
  m_pendingText.clear();
  m_pendingFrom = 0;
  ShowLoading(false);
  if (m_selectionAfterLoading.cpMin < 0) return;
  // The selection a tool left beyond the first piece, now that the text holds it.
  m_editor.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&m_selectionAfterLoading));
  m_editor.SendMessage(EM_SCROLLCARET, 0, 0);
  m_selectionAfterLoading = CHARRANGE{-1, -1};
}

void CTEDialog::AppendToEditor(const std::wstring& piece) {
  // Neither a change nor a selection notification: nothing is written back, and the selection
  // the user sees does not move.
  const LRESULT mask = m_editor.SendMessage(EM_GETEVENTMASK, 0, 0);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE | ENM_SELCHANGE));
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  POINT scroll{};
  m_editor.SendMessage(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  GETTEXTLENGTHEX lengthRequest{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LONG end = static_cast<LONG>(m_editor.SendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0));
  const bool everything = selection.cpMin == 0 && selection.cpMax >= end && end > 0;

  m_editor.SendMessage(WM_SETREDRAW, FALSE, 0);
  CHARRANGE atEnd{end, end};
  m_editor.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&atEnd));
  m_editor.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  if (everything) m_editor.SendMessage(EM_SETSEL, 0, -1);
  else m_editor.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  m_editor.SendMessage(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  m_editor.SendMessage(WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m_editorWindow, nullptr, FALSE);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask);
}

void CTEDialog::ShowLoading(bool loading) {
  if (m_statusBar.GetSafeHwnd() == nullptr) return;
  m_statusBar.SetText(loading ? LoadLocalizedString(IDS_LOADINGTEXT).c_str() : L"", kHintPane, 0);
}

LRESULT CTEDialog::OnKickIdle(WPARAM wParam, LPARAM lParam) {
  const bool more = LoadNextPiece();
  OnHoverIdle(wParam, lParam);
  return more ? 1 : 0;  // more idle turns while there is more to load
}
