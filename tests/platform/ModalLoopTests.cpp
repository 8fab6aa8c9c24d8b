// The modal loop of DoModal: PreTranslateMessage for every message, WM_KICKIDLE when idle, the
// ways a dialog ends (Escape, button 2, close box, OK, WM_QUIT), the owner's state, and dialog
// keys.
#include "TestDialog.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace platform_test;

namespace {

// A dialog on the test template without an IDCANCEL entry: IDCANCEL goes to OnCancel.
class PlainDialog : public CAcUiDialog {
public:
    PlainDialog() : CAcUiDialog(IDD_PLATFORM_TEST) {}
    int cancelCalls = 0;
    int okValidations = 0;
    void OnCancel() override
    {
        ++cancelCalls;
        CAcUiDialog::OnCancel();
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        if (pDX->m_bSaveAndValidate)
            ++okValidations;
    }
};

bool Contains(const std::vector<UINT>& messages, UINT message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

} // namespace

TEST(ModalLoop, EveryMessageIsOfferedToPreTranslateMessageBeforeItIsHandled)
{
    TestDialog dialog;
    Script script(&dialog);
    script
        .Then([&] {
            for (WPARAM index = 1; index <= 3; ++index)
                dialog.PostMessage(WM_APP + 1, index);
            ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 2, 0, 0);
        })
        .WaitFor(L"posted messages handled", [&] { return dialog.events.size() >= 6; })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(dialog.events, (std::vector<std::wstring>{L"pre:1", L"handler:1", L"pre:2", L"handler:2", L"pre:3",
                                                          L"handler:3"}));
    EXPECT_TRUE(Contains(dialog.preTranslated, WM_APP + 2)) << "thread messages are offered too";
    EXPECT_TRUE(Contains(dialog.preTranslated, WM_TIMER));
}

TEST(ModalLoop, IdleKicksNumberTheIdlePassesAndStartAgainAfterEachMessage)
{
    TestDialog dialog;
    dialog.idlePasses = 3; // the dialog asks for two more passes after the first
    Script script(&dialog);
    auto sawThirdPass = [&] {
        for (const auto& kick : dialog.kickIdles)
            if (kick.second == 2)
                return true;
        return false;
    };
    script.WaitFor(L"a third idle pass", sawThirdPass).End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);

    ASSERT_FALSE(dialog.kickIdles.empty());
    EXPECT_EQ(dialog.kickIdles.front().second, 0);
    LPARAM previous = -1;
    for (const auto& [wParam, lParam] : dialog.kickIdles) {
        EXPECT_EQ(wParam, static_cast<WPARAM>(MSGF_DIALOGBOX));
        // A pass continues the count only while the dialog asks for more; a message restarts it.
        EXPECT_TRUE(lParam == 0 || (lParam == previous + 1 && previous + 1 < dialog.idlePasses))
            << "idle count " << lParam << " after " << previous;
        EXPECT_LT(lParam, dialog.idlePasses);
        previous = lParam;
    }
}

TEST(ModalLoop, EscapeButtonTwoAndTheCloseBoxReachTheIdCancelEntry)
{
    struct Case {
        const wchar_t* name;
        std::function<void(TestDialog&)> act;
    };
    const Case cases[] = {
        {L"escape", [](TestDialog& d) { PostKey(::GetDlgItem(d.m_hWnd, IDC_HEIGHT), VK_ESCAPE); }},
        {L"button 2", [](TestDialog& d) { ::PostMessageW(::GetDlgItem(d.m_hWnd, IDCANCEL), BM_CLICK, 0, 0); }},
        {L"close box", [](TestDialog& d) { d.PostMessage(WM_SYSCOMMAND, SC_CLOSE); }},
        {L"WM_CLOSE", [](TestDialog& d) { d.PostMessage(WM_CLOSE); }},
    };
    int result = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << static_cast<int>(c.name[0]));
        TestDialog dialog;
        dialog.cancelResult = ++result;
        Script script(&dialog);
        script.Then([&] { c.act(dialog); });
        EXPECT_EQ(RunModal(dialog, script), result);
        EXPECT_EQ(dialog.cancelSources.size(), 1u);
    }
}

TEST(ModalLoop, WithoutAnIdCancelEntryCancelReachesOnCancelAndOkValidates)
{
    {
        PlainDialog dialog;
        Script script(&dialog);
        script.Then([&] { PostKey(::GetDlgItem(dialog.m_hWnd, IDC_HEIGHT), VK_ESCAPE); });
        EXPECT_EQ(RunModal(dialog, script), IDCANCEL);
        EXPECT_EQ(dialog.cancelCalls, 1);
        EXPECT_EQ(dialog.okValidations, 0);
    }
    {
        PlainDialog dialog;
        Script script(&dialog);
        script.Then([&] { PostKey(::GetDlgItem(dialog.m_hWnd, IDC_HEIGHT), VK_RETURN); });
        EXPECT_EQ(RunModal(dialog, script), IDOK) << "Enter presses the default button (OK)";
        EXPECT_EQ(dialog.okValidations, 1);
    }
}

TEST(ModalLoop, TabMovesTheFocusThroughTheDialogKeys)
{
    TestDialog dialog;
    Script script(&dialog);
    script.Then([&] { ::SetFocus(::GetDlgItem(dialog.m_hWnd, IDC_STYLE)); })
        .WaitFor(L"focus on the combo box", [&] { return ::GetFocus() == ::GetDlgItem(dialog.m_hWnd, IDC_STYLE); })
        .Then([&] { PostKey(::GetFocus(), VK_TAB); })
        .WaitFor(L"focus on the edit", [&] { return ::GetFocus() == ::GetDlgItem(dialog.m_hWnd, IDC_HEIGHT); })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
}

TEST(ModalLoop, TheOwnerIsDisabledWhileTheDialogRunsAndEnabledAfterwards)
{
    HWND ownerWindow = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                         nullptr, nullptr);
    CWnd owner;
    ASSERT_TRUE(owner.Attach(ownerWindow));
    TestDialog dialog(&owner);
    Script script(&dialog);
    bool disabledDuring = false;
    HWND ownerDuring = nullptr;
    script
        .Then([&] {
            disabledDuring = !::IsWindowEnabled(ownerWindow);
            ownerDuring = ::GetWindow(dialog.m_hWnd, GW_OWNER);
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_TRUE(disabledDuring);
    EXPECT_EQ(ownerDuring, ownerWindow);
    EXPECT_TRUE(::IsWindowEnabled(ownerWindow));
    owner.DestroyWindow();
}

TEST(ModalLoop, EndDialogInsideOnInitDialogClosesBeforeTheLoopAndDestroysTheWindow)
{
    TestDialog dialog;
    HWND created = nullptr;
    dialog.onInitDialog = [&](TestDialog& d) {
        created = d.m_hWnd;
        d.EndDialog(9);
    };
    EXPECT_EQ(dialog.DoModal(), 9);
    EXPECT_FALSE(::IsWindow(created));
    EXPECT_EQ(dialog.destroyCount, 1);
    EXPECT_TRUE(dialog.kickIdles.empty());
}

TEST(ModalLoop, WmQuitEndsTheDialogAndIsPostedAgain)
{
    TestDialog dialog;
    Script script(&dialog);
    script.Then([] { ::PostQuitMessage(7); });
    EXPECT_EQ(RunModal(dialog, script), -1);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
}

TEST(ModalLoop, InitialisationRunsBeginDataExchangeFinishInThatOrder)
{
    TestDialog dialog;
    dialog.onInitDialog = [](TestDialog& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.initBeginSawNoControls);
    EXPECT_TRUE(dialog.initFinishSawControls);
}
