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
// Failures of host calls are reported as "!src/TEDialog@<line>: <status>".
#pragma once

#include <string>
#include <vector>

#include "EntityKind.h"
#include "host/HostInterface.h"
#include "platform/AdUiDialog.h"
#include "platform/Controls.h"
#include "platform/RichEditCtrl.h"

// The message the dialog posts itself when the editor's selection changes.
constexpr UINT WM_TE_SELECTIONREFRESH = WM_USER + 10;

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

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnInitDialogFinish() override;

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
