// The editor dialog of one edit run: it holds the run's state (selection, the entity being
// edited or the TEXT list, the text geometry of TEXT lines, the property values), shows the text
// in a plain-text rich edit control and writes every change back into the drawing at once.
//
// The class's code is split by concern:
//   Shell.cpp             construction, initialisation, controls, layout, status bar, hints,
//                         context menu, exit, the message map
//   Classification.cpp    what the selection holds
//   EditorPrimitives.cpp  whole text, selection, one line, caret position
//   TextAccess.cpp        reading entity text, loading the editor, the write-back frame and the
//                         MTEXT and dimension branch
//   TextListWriteBack.cpp the TEXT list branch: lines rewritten, cloned, erased
//   TextGeometry.cpp      anchor points, line step, ordering of the lines, Align X and Align Y
//   PropertyFields.cpp    the style list and the height, line space and width fields
//   Keyboard.cpp          shortcuts, Enter, Tab, and the three options
//   EditorFont.cpp        the editor's font and the Font command
//   TextTools.cpp         upper and lower case, the Edit menu
//   FindReplace.cpp       Find and Replace
//   About.cpp             the About box
// Failures of host calls are reported as "!src/TEDialog@<line>: <status>".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "EntityKind.h"
#include "host/HostInterface.h"
#include "platform/AdUiDialog.h"
#include "platform/Controls.h"
#include "platform/RichEditCtrl.h"

// The message the dialog posts itself when the editor's selection changes.
constexpr UINT WM_TE_SELECTIONREFRESH = WM_USER + 10;

// Status bar panes: a hint (or the last failure), an empty pane, the entity kind, the caret.
enum StatusPane { kHintPane = 0, kKindPane = 2, kCaretPane = 3 };

// Opens an entity for write and closes it again at once: whether a change could write it.
Acad::ErrorStatus CheckWritable(AcDbObjectId id);

// A distance in the drawing's current linear units, into a buffer of 30 characters.
void FormatDistance(double value, wchar_t (&buffer)[30]);
// Exchanges a distance field with a value: shown in the current units, read back with the host's
// conversion (a text that does not convert leaves the value as it was).
void DDX_Distance(CDataExchange* pDX, int nIDC, double& value);

// What a Find or Replace request asks to look for.
struct FindRequest {
  DWORD flags = FR_DOWN;  // FR_DOWN, FR_WHOLEWORD, FR_MATCHCASE
  bool down = true;
  std::wstring text;
};

class CTEDialog : public CAcUiDialog {
  DECLARE_DYNAMIC(CTEDialog)

 public:
  CTEDialog(CWnd* pParent, HINSTANCE hInstance);
  ~CTEDialog() override;

  // The run's selection set, filled by the TE command.
  Adesk::LongPtr* SelectionSet() { return m_selectionSet; }
  // Reads the selection: a Text run over its TEXT entities, else an MText or Dimension run on its
  // first entity. False (after message 105 when the selection holds nothing editable) when the
  // dialog is not to open.
  bool ClassifySelection();
  // Shows the dialog modally; 0 on every way out.
  INT_PTR RunEditorDialog();

  EntityKind GetEntityKind() const { return m_entityKind; }
  const AcDbObjectIdArray& GetTextList() const { return m_textList; }
  // Shows a failure report in the status bar too (the command line is behind the dialog).
  void ShowFailure(const std::wstring& report);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnInitDialogFinish() override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  // Shell.
  afx_msg LRESULT OnHoverIdle(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSelectionRefresh(WPARAM wParam, LPARAM lParam);
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  afx_msg LRESULT OnEditorContextMenu(WPARAM wParam, LPARAM lParam);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnEditorSelChange(NMHDR* pNotifyStruct, LRESULT* pResult);
  afx_msg void OnExitCommand();
  void LayoutStatusBar();

  // Editor primitives. Flags 0: the whole text; 2: the selection.
  void GetEditorText(std::wstring& text, DWORD flags);
  void SetEditorText(const std::wstring& text, DWORD flags);
  void GetEditorLine(int line, std::wstring& text);
  int UpdateSelectionInfo();
  void ShowCaretPosition();
  // Puts a new whole text into the editor (without a change notification) and selects a range;
  // keepUndo lets the editor's Undo take the change back where the editor can keep it.
  void ReplaceEditorText(const std::wstring& text, LONG selStart, LONG selEnd, bool keepUndo);
  void RecreateEditor(const std::wstring& text, LONG selStart, LONG selEnd);

  // Text access.
  void ReadEntityText(const AcDbEntity* pEntity, EntityKind kind, std::wstring& text);
  void ReadEntityTextById(AcDbObjectId id, EntityKind kind, std::wstring& text);
  void LoadEditorText();
  // Sets the editor to what the drawing holds (as last loaded or written), without a write-back.
  void GiveEditorTheDrawingText();
  Acad::ErrorStatus SetSingleEntityText(AcDbEntity* pEntity, const std::wstring& text);
  void WriteBack();
  void WriteBackSingleEntity();
  void WriteBackTextList();
  std::vector<std::wstring> ReadEditorLines();
  // Whether every entity the change to these lines needs can be written; reports the first that
  // cannot.
  bool CheckTextListChange(const std::vector<std::wstring>& lines);
  // Adds a TEXT for a new last line below the list's last entity; false (reported) on failure.
  bool AddTextLine(const std::wstring& text);
  afx_msg void OnEditorChange();

  // Text geometry.
  AcGePoint3d GetAnchorPoint(AcDbObjectId id);
  void SetAnchorPoint(AcDbObjectId id, const AcGePoint3d& target);
  void SetUpTextGeometry();
  void OrderTextList();
  afx_msg void OnAlignX();
  afx_msg void OnAlignY();

  // Editor font.
  void ApplyEditorFont(const std::wstring& face, int points);
  afx_msg void ChooseEditorFont();

  // Text tools.
  void ConvertSelectionCase(bool upper);
  afx_msg void OnUppercase();
  afx_msg void OnLowercase();
  afx_msg void OnEditCommand(UINT id);
  afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);

  // Find and Replace.
  void OpenFindDialog(BOOL findOnly);
  // Selects the next occurrence from the selection in the request's direction; false (the
  // selection unchanged) when there is none.
  bool FindInEditor(const FindRequest& request);
  int ReplaceAllInEditor(const FindRequest& request, const std::wstring& replacement);
  void ShowFindMessage(const std::wstring& text);
  afx_msg void OnFind();
  afx_msg void OnReplace();
  afx_msg LRESULT OnFindReplace(WPARAM wParam, LPARAM lParam);

  // About.
  afx_msg void ShowAboutBox();

  // Property fields.
  int ParseDistanceField(int controlId, double& value);
  void FillTextStyleList();
  AcDbObjectId FindTextStyleId(const std::wstring& name);
  std::wstring GetEntityTextStyleName(int index);
  Acad::ErrorStatus ApplyTextStyle(int index, AcDbObjectId styleId);
  void SelectTextStyle(const std::wstring& name);
  void ShowSelectionProperties(int first, int last);
  // Fills the fields from the entities again (after Enter in a field, or a refused change).
  void ShowPropertiesInForce();
  void SetFieldText(HWND field, const std::wstring& text);
  void ShowDistance(HWND field, double value);
  // The entities a property change applies to: those of the selected lines, or the one entity.
  std::vector<AcDbObjectId> PropertyTargets();
  bool CheckPropertyTargets(const std::vector<AcDbObjectId>& targets);
  void ApplyToTargets(const std::function<Acad::ErrorStatus(AcDbEntity*)>& apply);
  void ShowValueRefused(bool refused);
  afx_msg void OnTextStyleChange();
  afx_msg void OnTextHeightChange();
  afx_msg void OnLineSpaceChange();
  afx_msg void OnWidthChange();

  // Keyboard and options.
  void LoadShortcuts();
  bool IsShortcut(const MSG& msg) const;
  LONG ToggleOption(int option);
  void UpdateMenuState();
  afx_msg void OnExitOnEnter();
  afx_msg void OnExitOnCtrlEnter();
  afx_msg void OnFastYAlign();

  DECLARE_MESSAGE_MAP()

 private:
  // Edit-run state.
  AcDbObjectId m_currentObjectId;
  AcDbObjectIdArray m_textList{0, 8};
  // What the drawing holds, in the editor's terms: the text of each TEXT of the list (field codes
  // where a line has fields), or the MTEXT or dimension text ("\P" for a paragraph break).
  std::vector<std::wstring> m_drawingLines;
  std::wstring m_drawingText;

  // Text geometry of the TEXT lines.
  double m_rotation = 0;
  double m_lineSpacing = 0;
  double m_textHeight = 0;
  double m_mtextWidth = 0;
  double m_directionCos = 1, m_directionSin = 0;
  double m_lineStepX = 0, m_lineStepY = 0;
  double m_firstLineX = 0, m_firstLineY = 0;
  bool m_lineSpacingKnown = false;  // measured, defaulted or typed: a single TEXT has none at first

  // The editor's selection as UpdateSelectionInfo last read it.
  int m_selectionStart = 0, m_selectionEnd = 0;
  int m_firstSelectedLine = 0, m_lastSelectedLine = 0;
  int m_caretColumn = 0;

  bool m_propertiesLive = false;
  bool m_hintPending = false;
  HACCEL m_accelerators = nullptr;
  std::vector<ACCEL> m_shortcuts;  // the entries of the accelerator table
  HWND m_hoveredWindow = nullptr;
  HWND m_dialogWindow = nullptr;
  HWND m_editorWindow = nullptr, m_styleListWindow = nullptr, m_textHeightWindow = nullptr,
       m_widthWindow = nullptr, m_lineSpaceWindow = nullptr, m_alignXWindow = nullptr, m_alignYWindow = nullptr;

  ads_name m_selectionSet{0, 0};
  EntityKind m_entityKind = kEntityNone;

  CRichEditCtrl m_editor;
  CButton m_exitButton;
  CComboBox m_styleList;
  CButton m_alignXButton;
  CButton m_alignYButton;
  CStatusBarCtrl m_statusBar;
};
