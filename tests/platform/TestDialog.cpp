// The test dialog: message map with one entry of each kind, recording what reaches it.
#include "TestDialog.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace platform_test {

UINT g_testRegisteredMessage = ::RegisterWindowMessageW(L"Pellaton.PlatformTest.Registered");
UINT g_findReplaceMessage = ::RegisterWindowMessageW(FINDMSGSTRINGW);

const DLGCTLINFO TestDialog::kLayout[] = {
    {IDC_TEXT, ELASTICXY, 100},
    {IDOK, MOVEXY, 100},
    {IDCANCEL, MOVEXY, 100},
    {IDC_APPLY, MOVEX, 50},
    {IDC_HEIGHT, ELASTICX, 50},
    {IDC_STATUS, MOVEY | ELASTICX, 100},
};
const DWORD TestDialog::kLayoutCount = sizeof(kLayout) / sizeof(kLayout[0]);

BEGIN_MESSAGE_MAP(TestDialog, CAcUiDialog)
    ON_COMMAND(ID_TEST_FIND, &TestDialog::OnFind)
    ON_COMMAND(ID_TEST_REFRESH, &TestDialog::OnRefresh)
    ON_COMMAND_RANGE(ID_TEST_RANGE_FIRST, ID_TEST_RANGE_LAST, &TestDialog::OnStyleRange)
    ON_EN_CHANGE(IDC_TEXT, &TestDialog::OnTextChange)
    ON_NOTIFY(EN_SELCHANGE, IDC_TEXT, &TestDialog::OnTextSelChange)
    ON_CBN_SELCHANGE(IDC_STYLE, &TestDialog::OnStyleChange)
    ON_BN_CLICKED(IDC_APPLY, &TestDialog::OnApply)
    ON_COMMAND(IDCANCEL, &TestDialog::OnCancelCommand)
    ON_COMMAND(ID_TEST_THROW_MEMORY, &TestDialog::OnThrowMemory)
    ON_COMMAND(ID_TEST_THROW_STD, &TestDialog::OnThrowStd)
    ON_MESSAGE(WM_KICKIDLE, &TestDialog::OnKickIdle)
    ON_MESSAGE(WM_APP + 1, &TestDialog::OnAppMessage)
    ON_REGISTERED_MESSAGE(g_testRegisteredMessage, &TestDialog::OnTestRegistered)
    ON_REGISTERED_MESSAGE(g_findReplaceMessage, &TestDialog::OnFindReplace)
    ON_WM_SETCURSOR()
    ON_WM_CONTEXTMENU()
    ON_WM_SIZE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

TestDialog::TestDialog(CWnd* pParent) : CAcUiDialog(IDD_PLATFORM_TEST, pParent) {}

void TestDialog::DoDataExchange(CDataExchange* pDX)
{
    CAcUiDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TEXT, m_text);
    DDX_Control(pDX, IDC_STYLE, m_style);
    DDX_Control(pDX, IDC_HEIGHT, m_height);
    DDX_Control(pDX, IDC_STATUS, m_status);
    ++dataExchanges;
}

void TestDialog::OnInitDialogBegin()
{
    initBeginSawNoControls = m_text.m_hWnd == nullptr;
}

void TestDialog::OnInitDialogFinish()
{
    initFinishSawControls = m_text.m_hWnd != nullptr && dataExchanges == 1;
}

BOOL TestDialog::OnInitDialog()
{
    CAcUiDialog::OnInitDialog();
    const auto accelerators = MAKEINTRESOURCEW(IDR_TEST_ACCELERATORS);
    m_accelerators = ::LoadAcceleratorsW(AfxFindResourceHandle(accelerators, RT_ACCELERATOR), accelerators);
    m_text.SetEventMask(ENM_CHANGE | ENM_SELCHANGE);
    for (const wchar_t* style : {L"Standard", L"Annotative", L"Стиль"})
        m_style.AddString(style);
    m_style.SetCurSel(0);
    if (useLayoutTable)
        SetControlProperty(kLayout, kLayoutCount);
    if (onInitDialog)
        onInitDialog(*this);
    return TRUE;
}

BOOL TestDialog::PreTranslateMessage(MSG* pMsg)
{
    preTranslated.push_back(pMsg->message);
    if (pMsg->message == WM_APP + 1)
        events.push_back(L"pre:" + std::to_wstring(pMsg->wParam));
    if (m_accelerators != nullptr && ::TranslateAcceleratorW(m_hWnd, m_accelerators, pMsg))
        return TRUE;
    return CAcUiDialog::PreTranslateMessage(pMsg);
}

void TestDialog::OnFind() { commands.push_back(ID_TEST_FIND); }
void TestDialog::OnRefresh() { commands.push_back(ID_TEST_REFRESH); }
void TestDialog::OnStyleRange(UINT nID) { commands.push_back(nID); }
void TestDialog::OnTextChange() { ++textChanges; }

void TestDialog::OnTextSelChange(NMHDR* pNotify, LRESULT* pResult)
{
    EXPECT_EQ(pNotify->idFrom, static_cast<UINT_PTR>(IDC_TEXT));
    EXPECT_EQ(pNotify->hwndFrom, m_text.m_hWnd);
    selectionChanges.push_back(reinterpret_cast<SELCHANGE*>(pNotify)->chrg);
    *pResult = 0;
}

void TestDialog::OnStyleChange() { ++styleChanges; }
void TestDialog::OnApply() { ++applyClicks; }

void TestDialog::OnCancelCommand()
{
    cancelSources.push_back(L"IDCANCEL");
    EndDialog(cancelResult);
}

void TestDialog::OnThrowMemory()
{
    events.push_back(L"before throw");
    AfxThrowMemoryException();
}

void TestDialog::OnThrowStd()
{
    throw std::runtime_error("Ошибка: the handler failed");
}

LRESULT TestDialog::OnKickIdle(WPARAM wParam, LPARAM lParam)
{
    kickIdles.emplace_back(wParam, lParam);
    return lParam + 1 < idlePasses ? TRUE : FALSE;
}

LRESULT TestDialog::OnTestRegistered(WPARAM wParam, LPARAM lParam)
{
    return static_cast<LRESULT>(wParam) + lParam;
}

LRESULT TestDialog::OnFindReplace(WPARAM, LPARAM lParam)
{
    CFindReplaceDialog* notifier = CFindReplaceDialog::GetNotifier(lParam);
    EXPECT_NE(notifier, nullptr);
    if (notifier == nullptr)
        return 0;
    FindNotification notification{notifier->FindNext() != 0,      notifier->ReplaceCurrent() != 0,
                                  notifier->ReplaceAll() != 0,    notifier->IsTerminating() != 0,
                                  notifier->SearchDown() != 0,    notifier->MatchCase() != 0,
                                  notifier->MatchWholeWord() != 0, notifier->GetFindString(),
                                  notifier->GetReplaceString()};
    findNotifications.push_back(notification);
    events.push_back(notification.terminating ? L"find:terminating" : L"find:request");
    if (onFind)
        onFind(*this, notification);
    return 0;
}

LRESULT TestDialog::OnAppMessage(WPARAM wParam, LPARAM)
{
    events.push_back(L"handler:" + std::to_wstring(wParam));
    return 0;
}

BOOL TestDialog::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    setCursors.emplace_back(pWnd, nHitTest);
    if (pWnd == &m_text)
        return TRUE;
    return CAcUiDialog::OnSetCursor(pWnd, nHitTest, message);
}

void TestDialog::OnContextMenu(CWnd* pWnd, CPoint pos)
{
    contextMenus.emplace_back(pWnd, pos);
}

void TestDialog::OnSize(UINT nType, int cx, int cy)
{
    CAcUiDialog::OnSize(nType, cx, cy);
    sizes.push_back(SIZE{cx, cy});
}

void TestDialog::OnDestroy()
{
    ++destroyCount;
    CAcUiDialog::OnDestroy();
}

INT_PTR RunModal(CDialog& dialog, Script& script)
{
    script.Start();
    const INT_PTR result = dialog.DoModal();
    EXPECT_TRUE(script.Finished()) << "the dialog closed before its script ended";
    script.Stop();
    return result;
}

} // namespace platform_test
