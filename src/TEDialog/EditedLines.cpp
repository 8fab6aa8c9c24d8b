// Which lines of the editor a change touched, so that a keystroke in a long block reads and
// writes one line and not the whole text.
//
// A local edit is one the control makes at the caret: a typed character, Enter, Backspace,
// Delete, a paste or a cut (from the keyboard, the menu or the context menu). Whatever it does,
// the text before the start of the old selection (or the new caret, if that is earlier) and the
// text after the new caret are what they were before. So the lines from the one holding that
// start down to the caret's line are all that can have changed, and the editor's line count
// tells how many lines they replaced.
//
// The dialog notes the selection when such a message reaches it (PreTranslateMessage, or the
// Edit commands), together with the editor's length then; the note is dropped with the next
// message of any kind, so it never outlives the edit it was taken for. Everything else that
// changes the text (Undo and Redo, the tools, a message sent to the control from outside) finds
// no note and reads the whole text. A note is used only when the editor's length before the edit
// was the drawing's (nothing changed since the last write-back) and the lengths before and after
// agree with the lines read; otherwise the whole text is read, as it always may be.
#include <algorithm>

#include "TEDialog.h"
#include "resource.h"

namespace {

bool IsPressed(int key) { return ::GetKeyState(key) < 0; }

// Whether a message to the editor is one with which the control edits at the caret.
bool IsLocalEdit(const MSG& msg) {
  switch (msg.message) {
    case WM_CHAR: {
      const auto c = static_cast<wchar_t>(msg.wParam);
      return c >= L' ' || c == L'\r' || c == L'\b' || c == 0x16 /* Ctrl+V */ || c == 0x18 /* Ctrl+X */;
    }
    case WM_IME_CHAR:
      return true;
    case WM_KEYDOWN:
      switch (msg.wParam) {
        case VK_BACK:
        case VK_DELETE:
        case VK_RETURN:
          return true;
        case VK_INSERT:
          return IsPressed(VK_SHIFT);  // Shift+Insert pastes
        case 'V':
        case 'X':
          return IsPressed(VK_CONTROL);
        default:
          return false;
      }
    default:
      return false;
  }
}

// The editor's length in UTF-16 code units, each line break one.
LONG EditorLength(CRichEditCtrl& editor) {
  GETTEXTLENGTHEX request{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return static_cast<LONG>(editor.SendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0));
}

}  // namespace

void CTEDialog::NoteEditSite(const MSG* pMsg) {
  m_editSite.valid = false;
  if (pMsg != nullptr && (pMsg->hwnd != m_editorWindow || !IsLocalEdit(*pMsg))) return;
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  m_editSite.selectionStart = selection.cpMin;
  m_editSite.length = EditorLength(m_editor);
  m_editSite.valid = true;
}

bool CTEDialog::ReadEditedLines(LineChange& change) {
  if (!m_editSite.valid || m_editSite.length != m_drawingLinesLength) return false;
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  if (selection.cpMin != selection.cpMax) return false;  // a local edit leaves a caret
  const LONG caret = selection.cpMax;
  const LONG length = EditorLength(m_editor);
  const int oldCount = static_cast<int>(m_drawingLines.size());
  const int lineCount = static_cast<int>(m_editor.SendMessage(EM_GETLINECOUNT, 0, 0));
  const int delta = lineCount - oldCount;
  const int first = static_cast<int>(m_editor.SendMessage(EM_EXLINEFROMCHAR, 0, std::min(m_editSite.selectionStart, caret)));
  const int last = static_cast<int>(m_editor.SendMessage(EM_EXLINEFROMCHAR, 0, caret));
  const int oldLast = last - delta;
  if (first < 0 || last < first || last >= lineCount || oldLast < first || oldLast >= oldCount) return false;

  const LONG begin = static_cast<LONG>(m_editor.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(first), 0));
  const LONG lastStart = static_cast<LONG>(m_editor.SendMessage(EM_LINEINDEX, static_cast<WPARAM>(last), 0));
  const LONG end = lastStart + static_cast<LONG>(m_editor.SendMessage(EM_LINELENGTH, static_cast<WPARAM>(lastStart), 0));
  if (begin < 0 || lastStart < begin || end < lastStart || end > length) return false;

  std::vector<wchar_t> buffer(static_cast<size_t>(end - begin) + 1, L'\0');
  TEXTRANGEW range{{begin, end}, buffer.data()};
  m_editor.SendMessage(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  std::vector<std::wstring> lines = SplitLines(std::wstring(buffer.data(), static_cast<size_t>(end - begin)));
  if (static_cast<int>(lines.size()) != last - first + 1) return false;

  // The lengths before and after must tell the same change as the lines do.
  LONG replaced = oldLast - first;
  for (int i = first; i <= oldLast; ++i) replaced += static_cast<LONG>(m_drawingLines[static_cast<size_t>(i)].size());
  if (length - m_editSite.length != (end - begin) - replaced) return false;

  change.first = first;
  change.lineCount = lineCount;
  if (delta != 0) {
    // The lines below move up or down: they are part of the change, with the drawing's texts.
    lines.insert(lines.end(), m_drawingLines.begin() + (oldLast + 1), m_drawingLines.end());
  }
  change.lines = std::move(lines);
  // What follows in this message continues from the caret, on a text the drawing now holds.
  m_editSite.selectionStart = caret;
  m_editSite.length = length;
  return true;
}
