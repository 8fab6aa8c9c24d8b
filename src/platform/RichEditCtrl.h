// CRichEditCtrl: a thin object over the rich edit 2.0 control ("RichEdit20W"), and
// AfxInitRichEdit2, which loads riched20.dll so that templates can create such controls.
// Positions are UTF-16 code units; lines are the control's lines (paragraphs end in "\r").
#pragma once

#include "platform/Wnd.h"

#include <string>

// Loads the rich edit 2.0 library once per process; TRUE when "RichEdit20W" can be created.
BOOL AfxInitRichEdit2();

class CRichEditCtrl : public CWnd {
    DECLARE_DYNAMIC(CRichEditCtrl)
public:
    // ENM_CHANGE, ENM_SELCHANGE, ...: which notifications the control sends its parent.
    DWORD GetEventMask() const;
    DWORD SetEventMask(DWORD dwEventMask);

    void GetSel(CHARRANGE& cr) const;
    void GetSel(long& nStartChar, long& nEndChar) const;
    void SetSel(CHARRANGE& cr);
    void SetSel(long nStartChar, long nEndChar);
    // Replaces the selection (or inserts at the caret).
    void ReplaceSel(LPCWSTR lpszNewText, BOOL bCanUndo = FALSE);

    // The line holding character nIndex (-1: the caret's line).
    long LineFromChar(long nIndex) const;
    // First character of line nLine (-1: the caret's line); -1 past the last line.
    int LineIndex(int nLine = -1) const;
    // Length of the line holding character nLine, without its end of paragraph.
    int LineLength(int nLine = -1) const;
    // The text of line nIndex, with its "\r" if it ends a paragraph (never for the last line).
    std::wstring GetLine(int nIndex) const;
    int GetLineCount() const;
    long GetTextLength() const;

    BOOL CanUndo() const;
    BOOL CanRedo() const;
    BOOL Undo();
    BOOL Redo();
    void EmptyUndoBuffer();
    void Cut();
    void Copy();
    void Paste();
    void Clear();
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    void LimitText(long nChars = 0);

    // Sets the default character format (cbSize is filled in).
    BOOL SetDefaultCharFormat(CHARFORMAT2W& cf);
    DWORD GetDefaultCharFormat(CHARFORMAT2W& cf) const;
    BOOL SetSelectionCharFormat(CHARFORMAT2W& cf);
    // TM_PLAINTEXT / TM_RICHTEXT, ...: TRUE when the mode was set (only possible while empty).
    BOOL SetTextMode(UINT fMode);
    UINT GetTextMode() const;
    // bSysColor TRUE: the window colour; returns the previous colour.
    COLORREF SetBackgroundColor(BOOL bSysColor, COLORREF cr);
    // EM_FINDTEXTEXW: dwFlags FR_DOWN, FR_MATCHCASE, FR_WHOLEWORD; returns the position found or
    // -1, and the range found in pFindText->chrgText.
    long FindText(DWORD dwFlags, FINDTEXTEXW* pFindText) const;
    void HideSelection(BOOL bHide, BOOL bPerm);
};
