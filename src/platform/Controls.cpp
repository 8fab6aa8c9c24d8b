// CButton, CEdit, CComboBox and CStatusBarCtrl, and the common control class registration.
#include "platform/Controls.h"

#include <atomic>

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CStatusBarCtrl, CWnd)

BOOL AfxInitCommonControls()
{
    static std::atomic<bool> done{false};
    if (done)
        return TRUE;
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                              ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    if (!::InitCommonControlsEx(&init))
        return FALSE;
    done = true;
    return TRUE;
}

// ---- CButton -------------------------------------------------------------------------------------

int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
void CButton::SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
UINT CButton::GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
void CButton::SetState(BOOL bHighlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(bHighlight)); }
UINT CButton::GetButtonStyle() const { return static_cast<UINT>(GetStyle() & 0xFFFF); }
void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) { SendMessage(BM_SETSTYLE, nStyle, bRedraw); }
void CButton::Click() { SendMessage(BM_CLICK); }

// ---- CEdit ---------------------------------------------------------------------------------------

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll)
{
    SendMessage(EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
    if (!bNoScroll)
        SendMessage(EM_SCROLLCARET);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const
{
    DWORD start = 0;
    DWORD end = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

void CEdit::ReplaceSel(LPCWSTR lpszNewText, BOOL bCanUndo)
{
    SendMessage(EM_REPLACESEL, bCanUndo, reinterpret_cast<LPARAM>(lpszNewText != nullptr ? lpszNewText : L""));
}

void CEdit::SetLimitText(UINT nMax) { SendMessage(EM_SETLIMITTEXT, nMax); }
BOOL CEdit::SetReadOnly(BOOL bReadOnly) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, bReadOnly)); }
int CEdit::GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
BOOL CEdit::CanUndo() const { return static_cast<BOOL>(SendMessage(EM_CANUNDO)); }
BOOL CEdit::Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }
void CEdit::Cut() { SendMessage(WM_CUT); }
void CEdit::Copy() { SendMessage(WM_COPY); }
void CEdit::Paste() { SendMessage(WM_PASTE); }
void CEdit::Clear() { SendMessage(WM_CLEAR); }

// ---- CComboBox -----------------------------------------------------------------------------------

void CComboBox::ResetContent() { SendMessage(CB_RESETCONTENT); }

int CComboBox::AddString(LPCWSTR lpszString)
{
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString != nullptr ? lpszString : L"")));
}

int CComboBox::InsertString(int nIndex, LPCWSTR lpszString)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(nIndex),
                                        reinterpret_cast<LPARAM>(lpszString != nullptr ? lpszString : L"")));
}

int CComboBox::DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(CB_DELETESTRING, nIndex)); }

int CComboBox::SelectString(int nStartAfter, LPCWSTR lpszString)
{
    return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(nStartAfter),
                                        reinterpret_cast<LPARAM>(lpszString != nullptr ? lpszString : L"")));
}

int CComboBox::FindStringExact(int nIndexStart, LPCWSTR lpszFind) const
{
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(nIndexStart),
                                        reinterpret_cast<LPARAM>(lpszFind != nullptr ? lpszFind : L"")));
}

int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
int CComboBox::SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }

int CComboBox::GetLBTextLen(int nIndex) const
{
    return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex)));
}

std::wstring CComboBox::GetLBText(int nIndex) const
{
    const int length = GetLBTextLen(nIndex);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0);
    return text;
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const
{
    return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(nIndex)));
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR dwItemData)
{
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(dwItemData)));
}

BOOL CComboBox::GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
void CComboBox::ShowDropDown(BOOL bShowIt) { SendMessage(CB_SHOWDROPDOWN, bShowIt); }

// ---- CStatusBarCtrl ------------------------------------------------------------------------------

BOOL CStatusBarCtrl::SetParts(int nParts, int* pWidths)
{
    return static_cast<BOOL>(SendMessage(SB_SETPARTS, static_cast<WPARAM>(nParts), reinterpret_cast<LPARAM>(pWidths)));
}

int CStatusBarCtrl::GetParts(int nParts, int* pParts) const
{
    return static_cast<int>(SendMessage(SB_GETPARTS, static_cast<WPARAM>(nParts), reinterpret_cast<LPARAM>(pParts)));
}

BOOL CStatusBarCtrl::SetText(LPCWSTR lpszText, int nPane, int nType)
{
    return static_cast<BOOL>(SendMessage(SB_SETTEXTW, static_cast<WPARAM>((nPane & 0xFF) | (nType & 0xFF00)),
                                         reinterpret_cast<LPARAM>(lpszText != nullptr ? lpszText : L"")));
}

std::wstring CStatusBarCtrl::GetText(int nPane, int* pType) const
{
    const auto lengthAndType = SendMessage(SB_GETTEXTLENGTHW, static_cast<WPARAM>(nPane));
    const int length = LOWORD(lengthAndType);
    if (pType != nullptr)
        *pType = HIWORD(lengthAndType);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = SendMessage(SB_GETTEXTW, static_cast<WPARAM>(nPane), reinterpret_cast<LPARAM>(text.data()));
    const int count = LOWORD(copied);
    text.resize(count <= length ? static_cast<size_t>(count) : 0);
    return text;
}

BOOL CStatusBarCtrl::SetSimple(BOOL bSimple)
{
    return static_cast<BOOL>(SendMessage(SB_SIMPLE, bSimple));
}
