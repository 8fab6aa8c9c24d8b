// Thin objects over the standard controls the dialogs use: CButton, CEdit, CComboBox and
// CStatusBarCtrl. They are bound to controls of a dialog template with DDX_Control; each member
// is one control message. AfxInitCommonControls registers the common control classes
// (status bar and friends) before a template that uses them is created.
#pragma once

#include "platform/Wnd.h"

#include <string>

// Registers the common control window classes once per process; TRUE when they are available.
BOOL AfxInitCommonControls();

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
    // Presses the button as a click would (BM_CLICK).
    void Click();
};

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    void GetSel(int& nStartChar, int& nEndChar) const;
    void ReplaceSel(LPCWSTR lpszNewText, BOOL bCanUndo = FALSE);
    void SetLimitText(UINT nMax);
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    int GetLineCount() const;
    BOOL CanUndo() const;
    BOOL Undo();
    void Cut();
    void Copy();
    void Paste();
    void Clear();
};

class CComboBox : public CWnd {
    DECLARE_DYNAMIC(CComboBox)
public:
    void ResetContent();
    // Index of the new item, CB_ERR or CB_ERRSPACE.
    int AddString(LPCWSTR lpszString);
    int InsertString(int nIndex, LPCWSTR lpszString);
    int DeleteString(UINT nIndex);
    // Selects the first item from nStartAfter on that begins with lpszString (case-insensitive);
    // its index, or CB_ERR (the selection is then unchanged).
    int SelectString(int nStartAfter, LPCWSTR lpszString);
    int FindStringExact(int nIndexStart, LPCWSTR lpszFind) const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int GetCount() const;
    // The text of item nIndex; empty for an index out of range.
    std::wstring GetLBText(int nIndex) const;
    void GetLBText(int nIndex, std::wstring& text) const { text = GetLBText(nIndex); }
    int GetLBTextLen(int nIndex) const;
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
    BOOL GetDroppedState() const;
    void ShowDropDown(BOOL bShowIt = TRUE);
};

class CStatusBarCtrl : public CWnd {
    DECLARE_DYNAMIC(CStatusBarCtrl)
public:
    // nParts right edges in client coordinates (-1: up to the right border).
    BOOL SetParts(int nParts, int* pWidths);
    int GetParts(int nParts, int* pParts) const;
    // nType: 0, SBT_NOBORDERS, SBT_POPOUT, SBT_RTLREADING, ...
    BOOL SetText(LPCWSTR lpszText, int nPane, int nType);
    // The pane's text; its drawing type goes to *pType when given.
    std::wstring GetText(int nPane, int* pType = nullptr) const;
    BOOL SetSimple(BOOL bSimple = TRUE);
};
