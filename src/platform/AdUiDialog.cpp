// CAdUiBaseDialog, CAdUiDialog and CAcUiDialog: the initialisation check, placement keeping and
// the resizing layout.
#include "platform/AdUiDialog.h"

#include "platform/Controls.h"
#include "platform/DialogPlacement.h"
#include "platform/MessageBoxes.h"

#include <atomic>

using namespace pellaton::platform;

IMPLEMENT_DYNAMIC(CAdUiBaseDialog, CDialog)
IMPLEMENT_DYNAMIC(CAdUiDialog, CAdUiBaseDialog)
IMPLEMENT_DYNAMIC(CAcUiDialog, CAdUiDialog)

BEGIN_MESSAGE_MAP(CAdUiDialog, CAdUiBaseDialog)
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
END_MESSAGE_MAP()

namespace {

std::atomic<bool> g_acUiInitialized{false};

} // namespace

void InitAcUiDLL()
{
    AfxInitCommonControls();
    g_acUiInitialized = true;
}

bool IsAcUiDLLInitialized() noexcept
{
    return g_acUiInitialized;
}

// ---- CAdUiBaseDialog -----------------------------------------------------------------------------

CAdUiBaseDialog::CAdUiBaseDialog(UINT idd, CWnd* pParent, HINSTANCE hDialogResource) : CDialog(idd, pParent)
{
    SetResourceInstance(hDialogResource);
}

INT_PTR CAdUiBaseDialog::DoModal()
{
    if (!IsAcUiDLLInitialized()) {
        AfxReportProgrammingError(L"InitAcUiDLL() must be called before a dialog of the host's UI library is shown.");
        return -1;
    }
    return CDialog::DoModal();
}

BOOL CAdUiBaseDialog::PreTranslateMessage(MSG* pMsg)
{
    return CDialog::PreTranslateMessage(pMsg);
}

// ---- CAdUiDialog ---------------------------------------------------------------------------------

CAdUiDialog::CAdUiDialog(UINT idd, CWnd* pParent, HINSTANCE hDialogResource)
    : CAdUiBaseDialog(idd, pParent, hDialogResource)
{
}

void CAdUiDialog::SetControlProperty(const DLGCTLINFO* table, DWORD count)
{
    if (table == nullptr)
        count = 0;
    m_controlTable.assign(table, table + count);
    m_layout = ControlLayout();
    m_layoutPending = false;
    if (count == 0)
        return;
    if (m_hWnd != nullptr)
        m_layout.Record(m_hWnd, m_controlTable.data(), static_cast<DWORD>(m_controlTable.size()));
    else
        m_layoutPending = true;
}

BOOL CAdUiDialog::OnInitDialog()
{
    OnInitDialogBegin();
    const BOOL result = CAdUiBaseDialog::OnInitDialog();
    OnInitDialogFinish();
    return result;
}

void CAdUiDialog::OnInitDialogBegin() {}

void CAdUiDialog::OnInitDialogFinish() {}

LRESULT CAdUiDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        m_minTrackSize = SIZE{window.right - window.left, window.bottom - window.top};
        const LRESULT result = CAdUiBaseDialog::WindowProc(message, wParam, lParam);
        if (m_hWnd != nullptr) {
            if (m_layoutPending) {
                m_layout.Record(m_hWnd, m_controlTable.data(), static_cast<DWORD>(m_controlTable.size()));
                m_layoutPending = false;
            }
            RestorePlacement();
        }
        return result;
    }
    if (message == WM_DESTROY)
        SavePlacement();
    return CAdUiBaseDialog::WindowProc(message, wParam, lParam);
}

void CAdUiDialog::OnSize(UINT nType, int cx, int cy)
{
    CAdUiBaseDialog::OnSize(nType, cx, cy);
    if (nType == SIZE_MINIMIZED || m_hWnd == nullptr)
        return;
    m_layout.Apply(m_hWnd, cx, cy);
}

void CAdUiDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    CAdUiBaseDialog::OnGetMinMaxInfo(lpMMI);
    if (lpMMI != nullptr && m_minTrackSize.cx > 0 && m_minTrackSize.cy > 0) {
        lpMMI->ptMinTrackSize.x = m_minTrackSize.cx;
        lpMMI->ptMinTrackSize.y = m_minTrackSize.cy;
    }
}

void CAdUiDialog::RestorePlacement()
{
    if (m_dialogName.empty())
        return;
    const auto stored = LoadDialogPlacement(m_dialogName);
    if (!stored || !IsPlacementUsable(*stored, m_minTrackSize))
        return;
    ::SetWindowPos(m_hWnd, nullptr, stored->left, stored->top, stored->right - stored->left,
                   stored->bottom - stored->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAdUiDialog::SavePlacement()
{
    if (m_dialogName.empty() || m_hWnd == nullptr || ::IsIconic(m_hWnd) || ::IsZoomed(m_hWnd))
        return;
    RECT window{};
    if (::GetWindowRect(m_hWnd, &window))
        SaveDialogPlacement(m_dialogName, window);
}

// ---- CAcUiDialog ---------------------------------------------------------------------------------

CAcUiDialog::CAcUiDialog(UINT idd, CWnd* pParent, HINSTANCE hDialogResource)
    : CAdUiDialog(idd, pParent, hDialogResource)
{
}
