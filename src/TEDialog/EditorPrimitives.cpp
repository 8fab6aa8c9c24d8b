// The editor primitives through which the dialog reads and changes the editor: the whole text or
// the selection, one line, and the selection with its lines and caret column. The editor is a
// plain-text rich edit control: each line ends in a single carriage return, and every position is
// a UTF-16 code unit.
#include <algorithm>
#include <vector>

#include "TEDialog.h"

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
