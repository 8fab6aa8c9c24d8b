// Message dispatch through message maps on plain subclassed windows: commands versus control
// notifications, the chain to base maps, registered messages, default processing, and the end
// of a window's life.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace platform_test;

namespace {

UINT g_dispatchRegistered = ::RegisterWindowMessageW(L"Pellaton.PlatformTest.Dispatch");
UINT g_neverRegistered = 0; // a registered message variable that was never set

class BaseWindow : public CWnd {
public:
    std::vector<std::wstring> calls;

protected:
    afx_msg void OnShared() { calls.push_back(L"base:shared"); }
    afx_msg void OnBaseOnly() { calls.push_back(L"base:only"); }
    afx_msg LRESULT OnRegistered(WPARAM wParam, LPARAM) { calls.push_back(L"base:registered"); return static_cast<LRESULT>(wParam); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWindow, CWnd)
    ON_COMMAND(100, &BaseWindow::OnShared)
    ON_COMMAND(101, &BaseWindow::OnBaseOnly)
    ON_REGISTERED_MESSAGE(g_dispatchRegistered, &BaseWindow::OnRegistered)
END_MESSAGE_MAP()

class RoutingWindow : public BaseWindow {
public:
    std::vector<UINT> rangeIds;
    int postNcDestroyCalls = 0;
    std::wstring textSeenByDefault;

protected:
    afx_msg void OnShared() { calls.push_back(L"derived:shared"); }
    afx_msg void OnEditChange() { calls.push_back(L"derived:en_change"); }
    afx_msg void OnComboChange() { calls.push_back(L"derived:cbn_selchange"); }
    afx_msg void OnRange(UINT nID) { rangeIds.push_back(nID); }
    afx_msg void OnCustomNotify(NMHDR* header, LRESULT* pResult)
    {
        calls.push_back(L"derived:notify:" + std::to_wstring(header->idFrom));
        *pResult = 42;
    }
    afx_msg LRESULT OnNeverRegistered(WPARAM, LPARAM) { calls.push_back(L"never"); return 0; }
    afx_msg LRESULT OnSetText(WPARAM, LPARAM)
    {
        // A nested message first: Default() must still process WM_SETTEXT afterwards.
        SendMessage(WM_GETTEXTLENGTH);
        const LRESULT result = Default();
        textSeenByDefault = GetWindowText();
        return result;
    }
    void PostNcDestroy() override { ++postNcDestroyCalls; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RoutingWindow, BaseWindow)
    ON_COMMAND(100, &RoutingWindow::OnShared)
    ON_EN_CHANGE(200, &RoutingWindow::OnEditChange)
    ON_CBN_SELCHANGE(201, &RoutingWindow::OnComboChange)
    ON_COMMAND_RANGE(300, 302, &RoutingWindow::OnRange)
    ON_NOTIFY(0x1234, 400, &RoutingWindow::OnCustomNotify)
    ON_REGISTERED_MESSAGE(g_neverRegistered, &RoutingWindow::OnNeverRegistered)
    ON_MESSAGE(WM_SETTEXT, &RoutingWindow::OnSetText)
END_MESSAGE_MAP()

HWND MakePlainWindow()
{
    return ::CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
}

class DispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        hWnd = MakePlainWindow();
        ASSERT_NE(hWnd, nullptr);
        ASSERT_TRUE(window.SubclassWindow(hWnd));
    }
    void TearDown() override
    {
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
    }

    LRESULT Command(UINT id, UINT code, HWND control = nullptr)
    {
        return ::SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    }

    RoutingWindow window;
    HWND hWnd = nullptr;
};

} // namespace

TEST_F(DispatchTest, MenuAndAcceleratorCommandsReachOnCommandEntriesAndTheMostDerivedEntryWins)
{
    Command(100, 0); // menu
    Command(100, 1); // accelerator
    Command(101, 1); // only the base class handles it
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"derived:shared", L"derived:shared", L"base:only"}));
}

TEST_F(DispatchTest, ControlNotificationsMatchOnlyTheirCodeAndId)
{
    HWND control = MakePlainWindow();
    Command(200, EN_CHANGE, control);
    Command(201, CBN_SELCHANGE, control);
    // CBN_SELCHANGE has code 1, like an accelerator: from a control it is not a command.
    Command(101, CBN_SELCHANGE, control);
    // EN_CHANGE from another control id reaches nobody.
    Command(201, EN_CHANGE, control);
    ::DestroyWindow(control);
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"derived:en_change", L"derived:cbn_selchange"}));
}

TEST_F(DispatchTest, CommandRangeCoversExactlyItsIds)
{
    for (UINT id : {299u, 300u, 301u, 302u, 303u})
        Command(id, 0);
    EXPECT_EQ(window.rangeIds, (std::vector<UINT>{300, 301, 302}));
}

TEST_F(DispatchTest, NotifyEntriesGetTheHeaderAndSetTheResult)
{
    NMHDR header{hWnd, 400, 0x1234};
    EXPECT_EQ(::SendMessageW(hWnd, WM_NOTIFY, 400, reinterpret_cast<LPARAM>(&header)), 42);
    NMHDR otherCode{hWnd, 400, 0x1235};
    EXPECT_EQ(::SendMessageW(hWnd, WM_NOTIFY, 400, reinterpret_cast<LPARAM>(&otherCode)), 0);
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"derived:notify:400"}));
}

TEST_F(DispatchTest, RegisteredMessagesMatchTheirRunTimeIdOnly)
{
    ASSERT_NE(g_dispatchRegistered, 0u);
    EXPECT_EQ(::SendMessageW(hWnd, g_dispatchRegistered, 17, 0), 17);
    // Message 0 (WM_NULL) must not match the registered entry whose variable is still 0.
    ::SendMessageW(hWnd, WM_NULL, 0, 0);
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"base:registered"}));
}

TEST_F(DispatchTest, DefaultProcessesTheMessageBeingHandledEvenAfterANestedMessage)
{
    window.SetWindowText(L"Новый текст");
    EXPECT_EQ(window.textSeenByDefault, L"Новый текст");
    EXPECT_EQ(window.GetWindowText(), L"Новый текст");
}

TEST_F(DispatchTest, UnhandledMessagesGetTheWindowsOwnProcessing)
{
    ::SetWindowTextW(hWnd, L"direct");
    EXPECT_EQ(::SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0), 6);
    EXPECT_EQ(window.GetWindowTextLength(), 6);
}

TEST_F(DispatchTest, DestroyingTheWindowDetachesTheObjectAndCallsPostNcDestroy)
{
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &window);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(window.postNcDestroyCalls, 1);
}
