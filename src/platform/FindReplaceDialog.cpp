// CFindReplaceDialog: creation of the common Find/Replace dialog and its notifications.
#include "platform/FindReplaceDialog.h"

#include "platform/MessageBoxes.h"

#include <dlgs.h>

IMPLEMENT_DYNAMIC(CFindReplaceDialog, CDialog)

namespace {

void CopyBounded(wchar_t* target, WORD capacity, LPCWSTR source)
{
    if (source == nullptr)
        source = L"";
    ::lstrcpynW(target, source, capacity);
}

} // namespace

CFindReplaceDialog::CFindReplaceDialog() : m_fr{}, m_szFindWhat{}, m_szReplaceWith{}
{
    m_fr.lStructSize = sizeof(FINDREPLACEW);
    m_fr.lpstrFindWhat = m_szFindWhat;
    m_fr.wFindWhatLen = kBufferLength;
    m_fr.lpstrReplaceWith = m_szReplaceWith;
    m_fr.wReplaceWithLen = kBufferLength;
    m_fr.lCustData = reinterpret_cast<LPARAM>(this);
}

BOOL CFindReplaceDialog::Create(BOOL bFindDialogOnly, LPCWSTR lpszFindWhat, LPCWSTR lpszReplaceWith, DWORD dwFlags,
                                CWnd* pParentWnd)
{
    if (m_hWnd != nullptr) {
        AfxReportProgrammingError(L"CFindReplaceDialog::Create was called for a dialog that is already open.");
        return FALSE;
    }
    HWND owner = pParentWnd != nullptr ? pParentWnd->m_hWnd : ::GetActiveWindow();
    if (owner == nullptr || !::IsWindow(owner)) {
        AfxReportProgrammingError(L"The Find and Replace dialog needs an owner window.");
        return FALSE;
    }
    m_pParentWnd = pParentWnd;
    CopyBounded(m_szFindWhat, kBufferLength, lpszFindWhat);
    CopyBounded(m_szReplaceWith, kBufferLength, lpszReplaceWith);
    m_fr.hwndOwner = owner;
    m_fr.hInstance = nullptr;
    // The hook and template flags would hand the dialog to code that is not here.
    m_fr.Flags = dwFlags & ~(FR_ENABLEHOOK | FR_ENABLETEMPLATE | FR_ENABLETEMPLATEHANDLE);
    m_fr.lCustData = reinterpret_cast<LPARAM>(this);

    HookWindowCreate(this);
    HWND created = bFindDialogOnly ? ::FindTextW(&m_fr) : ::ReplaceTextW(&m_fr);
    UnhookWindowCreate();
    if (created == nullptr || m_hWnd != created) {
        const DWORD error = ::CommDlgExtendedError();
        if (created != nullptr)
            ::DestroyWindow(created);
        AfxReportProgrammingError(L"The Find and Replace dialog could not be opened (error " +
                                  std::to_wstring(error) + L").");
        return FALSE;
    }
    // Some implementations (Wine) fill the edit boxes through the ANSI code page; the boxes
    // themselves hold UTF-16, so they get the exact texts.
    ::SetDlgItemTextW(m_hWnd, edt1, m_szFindWhat);
    if (!bFindDialogOnly)
        ::SetDlgItemTextW(m_hWnd, edt2, m_szReplaceWith);
    m_bAutoDelete = true;
    return TRUE;
}

std::wstring CFindReplaceDialog::GetFindString() const
{
    return EditText(edt1, m_szFindWhat);
}

std::wstring CFindReplaceDialog::GetReplaceString() const
{
    return EditText(edt2, m_szReplaceWith);
}

std::wstring CFindReplaceDialog::EditText(int nID, const wchar_t* fallback) const
{
    HWND edit = m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, nID) : nullptr;
    if (edit == nullptr)
        return fallback;
    std::wstring text(static_cast<size_t>(kBufferLength), L'\0');
    const int copied = ::GetWindowTextW(edit, text.data(), kBufferLength);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

CFindReplaceDialog* CFindReplaceDialog::GetNotifier(LPARAM lParam)
{
    auto* record = reinterpret_cast<FINDREPLACEW*>(lParam);
    if (record == nullptr || record->lStructSize != sizeof(FINDREPLACEW) || record->lCustData == 0)
        return nullptr;
    auto* dialog = reinterpret_cast<CFindReplaceDialog*>(record->lCustData);
    return &dialog->m_fr == record ? dialog : nullptr;
}

void CFindReplaceDialog::OnOK()
{
    Default();
}

void CFindReplaceDialog::OnCancel()
{
    Default();
}

void CFindReplaceDialog::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}
