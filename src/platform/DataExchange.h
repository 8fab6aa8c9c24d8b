// Dialog data exchange: CDataExchange and the DDX_ functions that CDialog::DoDataExchange calls
// to bind control objects to their controls (DDX_Control) and to move values between controls
// and member variables (m_bSaveAndValidate: TRUE from controls to members, FALSE the other way).
#pragma once

#include "platform/Win32.h"

#include <string>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) noexcept
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;

    // The control nIDC of the dialog; throws CInvalidArgException when the dialog has none.
    HWND PrepareCtrl(int nIDC);
    // Ends the exchange after a failed validation: focus goes to the last control, and a
    // CUserException is thrown (UpdateData returns FALSE).
    [[noreturn]] void Fail();
};

// Binds rControl to control nIDC (subclassing it) the first time; later calls do nothing.
// Throws CInvalidArgException when the control does not exist or belongs to another object.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// The control's window text.
void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value);
// The check state of a check box or radio button (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE).
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// The selected index of a combo box (-1: none).
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
