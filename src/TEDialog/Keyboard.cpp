// What the keyboard does in the editor dialog before any control sees a key, and the three
// options of the Options menu.
//
//   - The dialog's shortcuts (Ctrl+F, L, Q, R, U, W) work whichever control has the focus, and
//     never reach the control: a shortcut whose command is grey (Align X and Y for an MTEXT)
//     does nothing at all.
//   - Enter in a distance field goes back to the editor; the field then shows the value in force.
//   - Enter and Ctrl+Enter in the editor leave the dialog as the two exit options say.
//   - Tab in the editor moves to the next control, as in any dialog, and inserts nothing
//     (Ctrl+Tab is the editor's own).
//   - Everything else gets the framework's dialog keys (Escape ends the dialog).
#include <vector>

#include "../ModuleState.h"
#include "../Settings.h"
#include "TEDialog.h"
#include "resource.h"

namespace {

bool IsKeyDown(const MSG& msg, UINT key) { return msg.message == WM_KEYDOWN && msg.wParam == key; }
bool IsPressed(int key) { return ::GetKeyState(key) < 0; }

}  // namespace

void CTEDialog::LoadShortcuts() {
  m_accelerators = ::LoadAcceleratorsW(ModuleInstance(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  m_shortcuts.clear();
  if (m_accelerators == nullptr) return;
  const int count = ::CopyAcceleratorTableW(m_accelerators, nullptr, 0);
  m_shortcuts.resize(static_cast<size_t>(count));
  if (count > 0) ::CopyAcceleratorTableW(m_accelerators, m_shortcuts.data(), count);
}

bool CTEDialog::IsShortcut(const MSG& msg) const {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  for (const ACCEL& shortcut : m_shortcuts) {
    if ((shortcut.fVirt & FVIRTKEY) == 0 || msg.wParam != shortcut.key) continue;
    if (IsPressed(VK_CONTROL) == ((shortcut.fVirt & FCONTROL) != 0) &&
        IsPressed(VK_SHIFT) == ((shortcut.fVirt & FSHIFT) != 0) && IsPressed(VK_MENU) == ((shortcut.fVirt & FALT) != 0))
      return true;
  }
  return false;
}

BOOL CTEDialog::PreTranslateMessage(MSG* pMsg) {
  if (m_accelerators != nullptr && ::TranslateAcceleratorW(m_dialogWindow, m_accelerators, pMsg)) return TRUE;
  if (IsShortcut(*pMsg)) return TRUE;  // its command is grey: nothing happens, and no control sees the key

  if (IsKeyDown(*pMsg, VK_RETURN) &&
      (pMsg->hwnd == m_textHeightWindow || pMsg->hwnd == m_lineSpaceWindow || pMsg->hwnd == m_widthWindow)) {
    // The value has been applied (or refused) as it was typed; Enter only goes back to the text.
    ::SetFocus(m_editorWindow);
    ShowPropertiesInForce();
    return TRUE;
  }

  if (pMsg->hwnd == m_editorWindow && IsKeyDown(*pMsg, VK_RETURN) &&
      (g_settings.options[kExitOnEnter] != 0 || (g_settings.options[kExitOnCtrlEnter] != 0 && IsPressed(VK_CONTROL)))) {
    EndDialog(0);
    return TRUE;
  }

  if (pMsg->hwnd == m_editorWindow && IsKeyDown(*pMsg, VK_TAB) && !IsPressed(VK_CONTROL)) {
    ::SetFocus(::GetNextDlgTabItem(m_dialogWindow, m_editorWindow, IsPressed(VK_SHIFT)));
    return TRUE;
  }

  return CAcUiDialog::PreTranslateMessage(pMsg);
}

// ---- Options ------------------------------------------------------------------------------

void CTEDialog::OnExitOnEnter() { ToggleOption(kExitOnEnter); }
void CTEDialog::OnExitOnCtrlEnter() { ToggleOption(kExitOnCtrlEnter); }
void CTEDialog::OnFastYAlign() { ToggleOption(kFastYAlign); }

LONG CTEDialog::ToggleOption(int option) {
  int& value = g_settings.options[option];
  value = value == 0 ? 1 : 0;
  UpdateMenuState();
  return StoreOption(OptionValueName(static_cast<EditorOption>(option)), value);
}

void CTEDialog::UpdateMenuState() {
  HMENU menu = ::GetMenu(m_dialogWindow);
  if (menu == nullptr) return;
  for (int i = 0; i < kOptionCount; ++i)
    ::CheckMenuItem(menu, ID_OPTIONS_EXITONENTER + i,
                    MF_BYCOMMAND | (g_settings.options[i] != 0 ? MF_CHECKED : MF_UNCHECKED));
  if (m_entityKind != kEntityText) {
    ::EnableMenuItem(menu, ID_TOOLS_ALIGNX, MF_BYCOMMAND | MF_GRAYED);
    ::EnableMenuItem(menu, ID_TOOLS_ALIGNY, MF_BYCOMMAND | MF_GRAYED);
  }
}
