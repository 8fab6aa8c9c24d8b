// The editor primitives through which the dialog reads and changes the editor: the whole text or
// the selection, one line, the selection with its lines and caret column, and replacing the whole
// text. The editor is a
// plain-text rich edit control: each line ends in a single carriage return, and every position is
// a UTF-16 code unit.
#include <algorithm>
#include <vector>

#include "../Settings.h"
#include "TEDialog.h"
#include "resource.h"

void CTEDialog::GetEditorText(std::wstring& text, DWORD flags) {
  GETTEXTLENGTHEX lengthRequest{flags, 1200};
  const LRESULT length = m_editor.SendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0);
  std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  GETTEXTEX request{};
  request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  request.flags = flags;
  request.codepage = 1200;
  m_editor.SendMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.back() = L'\0';
  text.assign(buffer.data());  // up to the first terminator
}

void CTEDialog::SetEditorText(const std::wstring& text, DWORD flags) {
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  SETTEXTEX request{flags, 1200};
  // No change notification while the text is replaced: loading or converting text must not start
  // a write-back of its own.
  const LRESULT mask = m_editor.SendMessage(EM_GETEVENTMASK, 0, 0);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE));
  m_editor.SendMessage(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.c_str()));
  m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(selection.cpMin), static_cast<LPARAM>(selection.cpMax));
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask);
}

void CTEDialog::GetEditorLine(int line, std::wstring& text) {
  const LRESULT firstChar = m_editor.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line), 0);
  const LRESULT length = m_editor.SendMessage(EM_LINELENGTH, static_cast<WPARAM>(firstChar), 0);
  if (length + 4 > 0xFFFF) {
    // EM_GETLINE takes the buffer size in one 16-bit word, too small for this line: read the
    // line's characters as a range instead, so that nothing of it is lost.
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    TEXTRANGEW range{{static_cast<LONG>(firstChar), static_cast<LONG>(firstChar + length)}, buffer.data()};
    m_editor.SendMessage(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    text.assign(buffer.data(), static_cast<size_t>(length));
    return;
  }
  // EM_GETLINE takes the buffer size in its first word.
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 4, L'\0');
  buffer[0] = static_cast<wchar_t>(length + 4);
  m_editor.SendMessage(EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data()));
  text.assign(buffer.data(), static_cast<size_t>(length));
}

int CTEDialog::UpdateSelectionInfo() {
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  m_selectionStart = selection.cpMin;
  m_selectionEnd = selection.cpMax;
  // A selection of the whole text ends behind the final paragraph mark; some rich edit versions
  // then report a line after the last one. The selected lines are always lines of the editor.
  const int lastLine = static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0)) - 1;
  m_lastSelectedLine = std::min(lastLine, static_cast<int>(m_editor.SendMessage(EM_EXLINEFROMCHAR, 0, m_selectionEnd)));
  m_firstSelectedLine = std::min(lastLine, static_cast<int>(m_editor.SendMessage(EM_EXLINEFROMCHAR, 0, m_selectionStart)));
  m_caretColumn = m_selectionEnd - static_cast<int>(m_editor.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(m_lastSelectedLine), 0));
  return m_caretColumn;
}

// ---- Replacing the whole text ------------------------------------------------------------
// The platform's control takes time that grows with the square of the lines it deletes (a text of
// 10,000 lines takes seconds to empty), while it fills a new, empty control in time that grows
// with the text. So a long text is replaced by a new control in the old one's place; a short one
// in place, where its undo history can be kept. The old control is not destroyed then but put
// aside, hidden, until the dialog ends: under some platforms destroying a control of that size
// slows every later edit of the process for a while.

namespace {
constexpr int kLinesReplacedInPlace = 500;
}

void CTEDialog::ReplaceEditorText(const std::wstring& text, LONG selStart, LONG selEnd, bool keepUndo) {
  if (static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0)) >= kLinesReplacedInPlace) {
    RecreateEditor(text, selStart, selEnd);
    return;
  }
  const LRESULT mask = m_editor.SendMessage(EM_GETEVENTMASK, 0, 0);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE));
  m_editor.SendMessage(WM_SETREDRAW, FALSE, 0);
  SETTEXTEX request{static_cast<DWORD>(keepUndo ? ST_KEEPUNDO : ST_DEFAULT), 1200};
  m_editor.SendMessage(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.c_str()));
  m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(selStart), static_cast<LPARAM>(selEnd));
  m_editor.SendMessage(WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m_editorWindow, nullptr, TRUE);
  m_editor.SendMessage(EM_SCROLLCARET, 0, 0);
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask);
}

void CTEDialog::RecreateEditor(const std::wstring& text, LONG selStart, LONG selEnd) {
  const HWND old = m_editorWindow;
  RECT place{};
  ::GetWindowRect(old, &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  const DWORD style = static_cast<DWORD>(::GetWindowLongW(old, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongW(old, GWL_EXSTYLE));
  const LRESULT mask = m_editor.SendMessage(EM_GETEVENTMASK, 0, 0);
  const bool focused = ::GetFocus() == old;
  // Made hidden and filled while it still sends nothing; then it takes the old one's place in the
  // tab order, its id and its object.
  const HWND fresh = ::CreateWindowExW(exStyle, L"RichEdit20W", L"", style & ~WS_VISIBLE, place.left, place.top,
                                       place.right - place.left, place.bottom - place.top, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EDITOR)),
                                       reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(old, GWLP_HINSTANCE)), nullptr);
  if (fresh == nullptr) {
    // No new control: the old one takes the text, slowly.
    const LRESULT oldMask = m_editor.SendMessage(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE));
    SETTEXTEX request{ST_DEFAULT, 1200};
    m_editor.SendMessage(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.c_str()));
    m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(selStart), static_cast<LPARAM>(selEnd));
    m_editor.SendMessage(EM_SETEVENTMASK, 0, oldMask);
    return;
  }
  ::SendMessageW(fresh, WM_SETFONT, ::SendMessageW(old, WM_GETFONT, 0, 0), FALSE);
  ::SendMessageW(fresh, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
  ::SetWindowPos(fresh, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  m_editor.UnsubclassWindow();
  ::ShowWindow(old, SW_HIDE);
  ::EnableWindow(old, FALSE);
  ::SetWindowLongPtrW(old, GWLP_ID, 0);
  ::SetWindowLongW(old, GWL_STYLE, static_cast<LONG>(style & ~(WS_VISIBLE | WS_TABSTOP)));
  m_editor.SubclassWindow(fresh);
  m_editorWindow = fresh;
  ApplyEditorFont(EditorFontFace(), EditorFontPoints());
  SETTEXTEX request{ST_DEFAULT, 1200};
  m_editor.SendMessage(EM_SETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(text.c_str()));
  m_editor.SendMessage(EM_SETSEL, static_cast<WPARAM>(selStart), static_cast<LPARAM>(selEnd));
  m_editor.SendMessage(EM_SETEVENTMASK, 0, mask);
  ::ShowWindow(fresh, SW_SHOWNA);
  if (focused) ::SetFocus(fresh);
  m_editor.SendMessage(EM_SCROLLCARET, 0, 0);
  ::PostMessageW(m_dialogWindow, WM_TE_SELECTIONREFRESH, 0, 0);
}
