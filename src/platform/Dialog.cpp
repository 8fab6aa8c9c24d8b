// CDialog: template lookup and creation in DoModal, data exchange, the IDOK/IDCANCEL defaults
// and the dialog keys. The modal loop itself is in ModalLoop.cpp.
#include "platform/Dialog.h"

#include "platform/Controls.h"
#include "platform/Exceptions.h"
#include "platform/MessageBoxes.h"
#include "platform/ModuleResources.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace {

std::wstring DescribeTemplate(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    return L"\"" + std::wstring(name) + L"\"";
}

} // namespace

INT_PTR CALLBACK AfxDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)), m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd) : m_pParentWnd(pParentWnd)
{
    if (lpszTemplateName != nullptr && !IS_INTRESOURCE(lpszTemplateName)) {
        m_templateName = lpszTemplateName;
        m_lpszTemplateName = m_templateName.c_str();
    } else {
        m_lpszTemplateName = lpszTemplateName;
    }
}

HWND CDialog::PreModal()
{
    HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    if (parent == nullptr)
        return nullptr;
    HWND topLevel = ::GetAncestor(parent, GA_ROOT);
    return topLevel != nullptr ? topLevel : parent;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd != nullptr) {
        AfxReportProgrammingError(L"DoModal was called for a dialog that is already open.");
        return -1;
    }
    if (m_lpszTemplateName == nullptr) {
        AfxReportProgrammingError(L"DoModal was called for a dialog without a template.");
        return -1;
    }
    const auto dialogType = RT_DIALOG;
    HINSTANCE instance = m_hTemplateInstance != nullptr ? m_hTemplateInstance
                                                        : AfxFindResourceHandle(m_lpszTemplateName, dialogType);
    HRSRC resource = ::FindResourceW(instance, m_lpszTemplateName, dialogType);
    HGLOBAL loaded = resource != nullptr ? ::LoadResource(instance, resource) : nullptr;
    const auto* dialogTemplate = static_cast<LPCDLGTEMPLATEW>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (dialogTemplate == nullptr) {
        AfxReportProgrammingError(L"Dialog template " + DescribeTemplate(m_lpszTemplateName) +
                                  L" was found neither in the program nor in its extension modules.");
        return -1;
    }
    AfxInitCommonControls();

    HWND owner = PreModal();
    const bool enableOwnerAfter = owner != nullptr && ::IsWindowEnabled(owner);
    if (enableOwnerAfter)
        ::EnableWindow(owner, FALSE);

    m_bInModalLoop = true;
    m_bEndModalLoop = false;
    m_nModalResult = -1;
    HookWindowCreate(this);
    HWND created = ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, AfxDialogProc, 0);
    UnhookWindowCreate();

    if (created == nullptr || m_hWnd != created) {
        const DWORD error = ::GetLastError();
        if (created != nullptr)
            ::DestroyWindow(created);
        m_bInModalLoop = false;
        if (enableOwnerAfter)
            ::EnableWindow(owner, TRUE);
        AfxReportProgrammingError(L"Dialog " + DescribeTemplate(m_lpszTemplateName) +
                                  L" could not be created (error " + std::to_wstring(error) +
                                  L"). A control's window class may not be registered: AfxInitRichEdit2 "
                                  L"must be called before a dialog with a rich edit control is shown.");
        return -1;
    }

    if (!m_bEndModalLoop) {
        if (!::IsWindowVisible(m_hWnd))
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }
    m_bInModalLoop = false;

    // Give activation back to the owner before the dialog goes away.
    if (enableOwnerAfter)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd != nullptr) {
        if (owner != nullptr && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(owner);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    if (m_bInModalLoop) {
        m_bEndModalLoop = true;
        if (m_hWnd != nullptr)
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0); // wakes the loop if it is waiting
    } else if (m_hWnd != nullptr) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange exchange(this, bSaveAndValidate);
    try {
        DoDataExchange(&exchange);
        return TRUE;
    } catch (CUserException* e) {
        e->Delete();
    } catch (CException* e) {
        e->ReportError(MB_OK | MB_ICONEXCLAMATION);
        e->Delete();
    }
    return FALSE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    // The dialog manager's own initialisation (a common dialog's setup) comes first.
    Default();
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (m_hWnd == nullptr || pMsg->hwnd == nullptr)
        return FALSE;
    const bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
                       (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
    if (!input || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl)
{
    if (pWndCtrl != nullptr)
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->m_hWnd), TRUE);
}

void CDialog::NextDlgCtrl() const
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
}

void CDialog::PrevDlgCtrl() const
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, FALSE);
}

void CDialog::SetDefID(UINT nID)
{
    ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0);
}

DWORD CDialog::GetDefID() const
{
    return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0));
}
