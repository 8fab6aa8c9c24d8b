// The tools that work on the editor's text alone: upper and lower case, and the six commands of
// the Edit menu (which is also the editor's context menu). The entities follow through the
// write-back: case conversion starts it itself, every other change here is an ordinary change of
// the editor whose notification starts it.
//
// The menu's items are grey when they would do nothing: Undo and Redo with nothing to undo or
// redo, Cut, Copy and the case conversions with nothing selected, Paste with nothing to paste,
// Select All in an empty editor.
#include <algorithm>
#include <vector>

#include "TEDialog.h"
#include "resource.h"

void CTEDialog::OnUppercase() { ConvertSelectionCase(true); }
void CTEDialog::OnLowercase() { ConvertSelectionCase(false); }

void CTEDialog::ConvertSelectionCase(bool upper) {
  // The selection is converted within the whole text, which then replaces the editor's text in
  // one piece (the platform's control replaces a long selection slowly): the result is the same
  // as replacing the selection alone. No change notification, and the editor's undo history goes.
  UpdateSelectionInfo();
  std::wstring text;
  GetEditorText(text, 0);
  const size_t start = std::min<size_t>(static_cast<size_t>(std::max(m_selectionStart, 0)), text.size());
  const size_t end = std::min<size_t>(static_cast<size_t>(std::max(m_selectionEnd, 0)), text.size());
  if (end > start) {
    // The platform's mapping, one character for one: the converted text has the selection's
    // length, so the same range is selected again afterwards.
    wchar_t* selected = text.data() + start;
    if (upper) ::CharUpperBuffW(selected, static_cast<DWORD>(end - start));
    else ::CharLowerBuffW(selected, static_cast<DWORD>(end - start));
  }
  ReplaceEditorText(text, m_selectionStart, m_selectionEnd, false);
  WriteBack();
}

void CTEDialog::OnEditCommand(UINT id) {
  switch (id) {
    case ID_EDIT_UNDO: m_editor.SendMessage(EM_UNDO, 0, 0); break;
    case ID_EDIT_REDO: m_editor.SendMessage(EM_REDO, 0, 0); break;
    case ID_EDIT_CUT: m_editor.SendMessage(WM_CUT, 0, 0); break;
    case ID_EDIT_COPY: m_editor.SendMessage(WM_COPY, 0, 0); break;
    case ID_EDIT_PASTE: m_editor.SendMessage(WM_PASTE, 0, 0); break;
    case ID_EDIT_SELECTALL: m_editor.SendMessage(EM_SETSEL, 0, -1); break;
    default: break;
  }
}

void CTEDialog::OnInitMenuPopup(CMenu* /*pPopupMenu*/, UINT /*nIndex*/, BOOL bSysMenu) {
  if (bSysMenu) return;
  HMENU menu = ::GetMenu(m_dialogWindow);
  if (menu == nullptr) return;
  CHARRANGE selection{};
  m_editor.SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const bool selected = selection.cpMax != selection.cpMin;
  GETTEXTLENGTHEX lengthRequest{GTL_DEFAULT, 1200};
  const bool empty = m_editor.SendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0) <= 0;
  auto enable = [menu](UINT command, bool enabled) {
    ::EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  };
  enable(ID_EDIT_UNDO, m_editor.SendMessage(EM_CANUNDO, 0, 0) != 0);
  enable(ID_EDIT_REDO, m_editor.SendMessage(EM_CANREDO, 0, 0) != 0);
  enable(ID_EDIT_CUT, selected);
  enable(ID_EDIT_COPY, selected);
  enable(ID_EDIT_PASTE, m_editor.SendMessage(EM_CANPASTE, 0, 0) != 0);
  enable(ID_EDIT_SELECTALL, !empty);
  enable(ID_TOOLS_UPPERCASE, selected);
  enable(ID_TOOLS_LOWERCASE, selected);
}
