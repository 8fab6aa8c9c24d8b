// CDataExchange and the DDX_ functions.
#include "platform/DataExchange.h"

#include "platform/Exceptions.h"
#include "platform/Wnd.h"

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND control = m_pDlgWnd != nullptr ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
    if (control == nullptr)
        AfxThrowInvalidArgException(L"The dialog has no control with id " + std::to_wstring(nIDC) + L".");
    m_hWndLastControl = control;
    return control;
}

void CDataExchange::Fail()
{
    if (m_hWndLastControl != nullptr)
        ::SetFocus(m_hWndLastControl);
    AfxThrowUserException();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(control))
        AfxThrowInvalidArgException(L"Control " + std::to_wstring(nIDC) +
                                    L" is already bound to another object.");
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        const int copied = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        value = std::move(text);
    } else {
        ::SetWindowTextW(control, value.c_str());
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
