// The editor dialog's shell: construction, initialisation, control binding, resizing, status
// bar, hints for the property controls, context menu, exit, and the message map.
#include <cwchar>

#include "../FailureReport.h"
#include "../LocalizedResources.h"
#include "../ModuleState.h"
#include "../Settings.h"
#include "TEDialog.h"
#include "platform/Menu.h"
#include "resource.h"

IMPLEMENT_DYNAMIC(CTEDialog, CAcUiDialog)

BEGIN_MESSAGE_MAP(CTEDialog, CAcUiDialog)
  ON_MESSAGE(WM_KICKIDLE, &CTEDialog::OnHoverIdle)
  ON_MESSAGE(WM_TE_SELECTIONREFRESH, &CTEDialog::OnSelectionRefresh)
  ON_WM_SETCURSOR()
  ON_MESSAGE(WM_CONTEXTMENU, &CTEDialog::OnEditorContextMenu)
  ON_WM_SIZE()
  ON_EN_CHANGE(IDC_EDITOR, &CTEDialog::OnEditorChange)
  ON_NOTIFY(EN_SELCHANGE, IDC_EDITOR, &CTEDialog::OnEditorSelChange)
  ON_COMMAND(IDC_EXIT, &CTEDialog::OnExitCommand)
  ON_COMMAND(IDC_ALIGNX, &CTEDialog::OnAlignX)
  ON_COMMAND(IDC_ALIGNY, &CTEDialog::OnAlignY)
  ON_COMMAND(ID_TOOLS_ALIGNX, &CTEDialog::OnAlignX)
  ON_COMMAND(ID_TOOLS_ALIGNY, &CTEDialog::OnAlignY)
  ON_CBN_SELCHANGE(IDC_TEXTSTYLE, &CTEDialog::OnTextStyleChange)
  ON_EN_CHANGE(IDC_TEXTHEIGHT, &CTEDialog::OnTextHeightChange)
  ON_EN_CHANGE(IDC_LINESPACE, &CTEDialog::OnLineSpaceChange)
  ON_EN_CHANGE(IDC_WIDTH, &CTEDialog::OnWidthChange)
  ON_COMMAND(ID_OPTIONS_EXITONENTER, &CTEDialog::OnExitOnEnter)
  ON_COMMAND(ID_OPTIONS_EXITONCTRLENTER, &CTEDialog::OnExitOnCtrlEnter)
  ON_COMMAND(ID_OPTIONS_FASTYALIGN, &CTEDialog::OnFastYAlign)
  ON_COMMAND(ID_TOOLS_UPPERCASE, &CTEDialog::OnUppercase)
  ON_COMMAND(ID_TOOLS_LOWERCASE, &CTEDialog::OnLowercase)
  ON_COMMAND(ID_EDIT_FIND, &CTEDialog::OnFind)
  ON_COMMAND(ID_EDIT_REPLACE, &CTEDialog::OnReplace)
  ON_COMMAND(ID_HELP_ABOUT, &CTEDialog::ShowAboutBox)
  ON_COMMAND_RANGE(ID_EDIT_UNDO, ID_EDIT_SELECTALL, &CTEDialog::OnEditCommand)
  ON_REGISTERED_MESSAGE(g_findReplaceMessage, &CTEDialog::OnFindReplace)
  ON_COMMAND(ID_OPTIONS_FONT, &CTEDialog::ChooseEditorFont)
  ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

namespace {

// How the controls follow a resize: the exit button keeps its distance from the right edge, the
// status bar from the bottom while spanning the width, the editor takes all of the change.
const DLGCTLINFO kControlLayout[] = {
    {IDC_EXIT, MOVEX, 100},
    {IDC_STATUSBAR, MOVEY | ELASTICX, 100},
    {IDC_EDITOR, ELASTICXY, 100},
};

}  // namespace

CTEDialog::CTEDialog(CWnd* pParent, HINSTANCE hInstance) : CAcUiDialog(IDD_TEDIALOG, pParent, hInstance) {
  SetDialogName(LoadLocalizedString(IDS_DIALOGNAME));
}

CTEDialog::~CTEDialog() = default;

INT_PTR CTEDialog::RunEditorDialog() {
  AfxInitRichEdit2();
  return CAdUiBaseDialog::DoModal();
}

BOOL CTEDialog::OnInitDialog() {
  // The values the property fields show first, before the data exchange writes them.
  if (m_entityKind == kEntityMText) {
    AcDbMText* pMText = nullptr;
    bool readable = false;
    if (TE_CHECKED(acdbOpenObject(pMText, m_currentObjectId, AcDb::kForRead))) {
      m_lineSpacing = pMText->lineSpacingFactor();
      pMText->close();
      readable = true;
    }
    // An MTEXT that could not be opened has been reported once; it is not tried again.
    if (readable && TE_CHECKED(acdbOpenObject(pMText, m_currentObjectId, AcDb::kForRead))) {
      m_textHeight = pMText->textHeight();
      m_mtextWidth = pMText->width();
      pMText->close();
    }
  } else if (m_entityKind == kEntityDimension) {
    AcDbDimension* pDimension = nullptr;
    if (TE_CHECKED(acdbOpenObject(pDimension, m_currentObjectId, AcDb::kForRead))) {
      m_textHeight = pDimension->dimtxt();
      pDimension->close();
    }
  } else if (m_entityKind == kEntityText) {
    SetUpTextGeometry();
    // The width field shows the first line's width factor until the first selection refresh
    // shows that of the selected lines.
    AcDbText* pText = nullptr;
    if (TE_CHECKED(acdbOpenObject(pText, m_textList[0], AcDb::kForRead))) {
      m_mtextWidth = pText->widthFactor();
      pText->close();
    }
  }

  CAcUiDialog::OnInitDialog();

  LoadShortcuts();
  m_dialogWindow = m_hWnd;
  ::SetMenu(m_dialogWindow, LoadLocalizedMenu(ModuleInstance(), IDR_MENU));
  m_editorWindow = ::GetDlgItem(m_hWnd, IDC_EDITOR);
  m_styleListWindow = ::GetDlgItem(m_hWnd, IDC_TEXTSTYLE);
  m_textHeightWindow = ::GetDlgItem(m_hWnd, IDC_TEXTHEIGHT);
  m_lineSpaceWindow = ::GetDlgItem(m_hWnd, IDC_LINESPACE);
  m_widthWindow = ::GetDlgItem(m_hWnd, IDC_WIDTH);
  m_alignXWindow = ::GetDlgItem(m_hWnd, IDC_ALIGNX);
  m_alignYWindow = ::GetDlgItem(m_hWnd, IDC_ALIGNY);

  m_editor.SetTextMode(TM_PLAINTEXT);  // while the editor is still empty, as the control requires
  ApplyEditorFont(EditorFontFace(), EditorFontPoints());
  m_editor.SetEventMask(ENM_CHANGE | ENM_KEYEVENTS | ENM_SELCHANGE);

  FillTextStyleList();
  if (m_entityKind == kEntityDimension) {
    // A dimension has neither a line spacing nor a width of its own: the fields are grey and empty.
    ::EnableWindow(m_lineSpaceWindow, FALSE);
    ::EnableWindow(m_widthWindow, FALSE);
    ::SetWindowTextW(m_lineSpaceWindow, L"");
    ::SetWindowTextW(m_widthWindow, L"");
  }
  if (m_entityKind == kEntityMText || m_entityKind == kEntityDimension) {
    SelectTextStyle(GetEntityTextStyleName(0));
    m_alignXButton.EnableWindow(FALSE);
    m_alignYButton.EnableWindow(FALSE);
  }

  LoadEditorText();
  UpdateMenuState();
  m_propertiesLive = true;
  return TRUE;  // the dialog manager gives the focus to the editor, the first control
}

void CTEDialog::DoDataExchange(CDataExchange* pDX) {
  CAcUiDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_EDITOR, m_editor);
  DDX_Control(pDX, IDC_EXIT, m_exitButton);
  DDX_Control(pDX, IDC_TEXTSTYLE, m_styleList);
  DDX_Distance(pDX, IDC_TEXTHEIGHT, m_textHeight);
  DDX_Distance(pDX, IDC_LINESPACE, m_lineSpacing);
  DDX_Distance(pDX, IDC_WIDTH, m_mtextWidth);
  DDX_Control(pDX, IDC_ALIGNX, m_alignXButton);
  DDX_Control(pDX, IDC_ALIGNY, m_alignYButton);
  DDX_Control(pDX, IDC_STATUSBAR, m_statusBar);
}

void CTEDialog::OnInitDialogFinish() {
  SetControlProperty(kControlLayout, static_cast<DWORD>(std::size(kControlLayout)));
  LayoutStatusBar();
}

void CTEDialog::OnSize(UINT nType, int cx, int cy) {
  CAcUiDialog::OnSize(nType, cx, cy);
  LayoutStatusBar();
}

void CTEDialog::LayoutStatusBar() {
  if (m_statusBar.GetSafeHwnd() == nullptr) return;
  RECT client{};
  m_statusBar.GetClientRect(&client);
  const int width = client.right - client.left;
  int rightEdges[] = {width - 190, width - 140, width - 90, width};
  m_statusBar.SetParts(static_cast<int>(std::size(rightEdges)), rightEdges);
  m_statusBar.SetText(EntityKindName(m_entityKind), kKindPane, 0);
}

// ---- Hints ------------------------------------------------------------------------------
// The window under the mouse is noted as it changes; the hint is written when the dialog is
// next idle, so that a mouse crossing many windows writes the status bar once.

BOOL CTEDialog::OnSetCursor(CWnd* pWnd, UINT /*nHitTest*/, UINT /*message*/) {
  const HWND hovered = pWnd ? pWnd->GetSafeHwnd() : nullptr;
  if (hovered != m_hoveredWindow) {
    m_hoveredWindow = hovered;
    m_hintPending = true;
  }
  return static_cast<BOOL>(Default());
}

LRESULT CTEDialog::OnHoverIdle(WPARAM, LPARAM) {
  if (!m_hintPending) return 0;
  m_hintPending = false;
  UINT hint = 0;
  if (m_hoveredWindow == m_styleListWindow) hint = IDS_HINT_TEXTSTYLE;
  else if (m_hoveredWindow == m_textHeightWindow) hint = IDS_HINT_TEXTHEIGHT;
  else if (m_hoveredWindow == m_lineSpaceWindow) hint = IDS_HINT_LINESPACE;
  else if (m_hoveredWindow == m_widthWindow) hint = m_entityKind == kEntityMText ? IDS_HINT_MTEXTWIDTH : IDS_HINT_WIDTHFACTOR;
  else if (m_hoveredWindow == m_alignXWindow) hint = IDS_HINT_ALIGNX;
  else if (m_hoveredWindow == m_alignYWindow) hint = IDS_HINT_ALIGNY;
  m_statusBar.SetText(LoadLocalizedString(hint).c_str(), kHintPane, 0);
  return 0;
}

// ---- Selection changes ------------------------------------------------------------------
// The editor's notification only posts a refresh, which runs on the next turn of the loop.

void CTEDialog::OnEditorSelChange(NMHDR*, LRESULT* pResult) {
  ::PostMessageW(m_dialogWindow, WM_TE_SELECTIONREFRESH, 0, 0);
  *pResult = 0;
}

LRESULT CTEDialog::OnSelectionRefresh(WPARAM, LPARAM) {
  ShowCaretPosition();
  ShowSelectionProperties(m_firstSelectedLine, m_lastSelectedLine);
  return 1;
}

void CTEDialog::ShowFailure(const std::wstring& report) {
  if (m_statusBar.GetSafeHwnd() != nullptr) m_statusBar.SetText(report.c_str(), kHintPane, 0);
}

// ---- Context menu and exit --------------------------------------------------------------

LRESULT CTEDialog::OnEditorContextMenu(WPARAM, LPARAM lParam) {
  // The Edit menu of the menu bar, at the mouse.
  HMENU editMenu = ::GetSubMenu(::GetMenu(m_dialogWindow), 0);
  if (editMenu != nullptr) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    ::TrackPopupMenuEx(editMenu, TPM_RIGHTBUTTON, x, y, m_dialogWindow, nullptr);
  }
  ::SetFocus(m_editorWindow);
  return 0;
}

void CTEDialog::OnExitCommand() {
  // Every edit is already in the drawing; leaving only ends the dialog.
  EndDialog(0);
}

void CTEDialog::ShowCaretPosition() {
  UpdateSelectionInfo();
  wchar_t text[128];
  std::swprintf(text, std::size(text), LoadLocalizedString(IDS_CARETPOSITION).c_str(), m_lastSelectedLine + 1,
                m_caretColumn + 1);
  m_statusBar.SetText(text, kCaretPane, 0);
}
