// The common Find and Replace dialogs inside a modal dialog: notifications reach the owner with
// the user's text and options, the dialog's keys work in the modal loop, and the object frees
// itself after the terminating notification.
#include "TestDialog.h"

#include <dlgs.h>
#include <gtest/gtest.h>

using namespace platform_test;

namespace {

class TrackedFindDialog : public CFindReplaceDialog {
public:
    explicit TrackedFindDialog(bool* destroyed) : destroyed_(destroyed) {}
    ~TrackedFindDialog() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

} // namespace

TEST(FindReplace, FindRequestsFromButtonsAndKeysReachTheOwnerAndTheObjectFreesItself)
{
    TestDialog dialog;
    Script script(&dialog);
    bool destroyed = false;
    bool destroyedAtTermination = true;
    TrackedFindDialog* find = nullptr;
    HWND findWindow = nullptr;
    dialog.onFind = [&](TestDialog&, const FindNotification& n) {
        if (n.terminating)
            destroyedAtTermination = destroyed;
    };
    script
        .Then([&] {
            find = new TrackedFindDialog(&destroyed);
            ASSERT_TRUE(find->Create(TRUE, L"игла", nullptr, FR_DOWN, &dialog));
            findWindow = find->m_hWnd;
            EXPECT_EQ(CWnd::FromHandlePermanent(findWindow), find);
            EXPECT_EQ(::GetWindow(findWindow, GW_OWNER), dialog.m_hWnd);
            EXPECT_EQ(WindowText(::GetDlgItem(findWindow, edt1)), L"игла");
            // The Find Next button.
            ::PostMessageW(::GetDlgItem(findWindow, IDOK), BM_CLICK, 0, 0);
        })
        .WaitFor(L"first request", [&] { return dialog.findNotifications.size() >= 1; })
        .Then([&] {
            // The user ticks Match case, retypes the text and presses Enter in the edit box.
            ::SendMessageW(::GetDlgItem(findWindow, chx2), BM_CLICK, 0, 0);
            HWND edit = ::GetDlgItem(findWindow, edt1);
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            PostChars(edit, L"Wörd");
            PostKey(edit, VK_RETURN);
        })
        .WaitFor(L"second request", [&] { return dialog.findNotifications.size() >= 2; })
        .Then([&] { PostKey(::GetDlgItem(findWindow, edt1), VK_ESCAPE); })
        .WaitFor(L"find dialog closed", [&] { return destroyed; })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);

    ASSERT_EQ(dialog.findNotifications.size(), 3u);
    const FindNotification& first = dialog.findNotifications[0];
    EXPECT_TRUE(first.findNext);
    EXPECT_FALSE(first.terminating);
    EXPECT_TRUE(first.searchDown);
    EXPECT_FALSE(first.matchCase);
    EXPECT_EQ(first.findWhat, L"игла") << "texts outside the ANSI code page survive";
    const FindNotification& second = dialog.findNotifications[1];
    EXPECT_TRUE(second.findNext);
    EXPECT_TRUE(second.matchCase);
    EXPECT_EQ(second.findWhat, L"Wörd");
    const FindNotification& last = dialog.findNotifications[2];
    EXPECT_TRUE(last.terminating);
    EXPECT_FALSE(last.findNext);
    EXPECT_FALSE(destroyedAtTermination) << "the object lives until its terminating notification is delivered";
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(::IsWindow(findWindow));
}

TEST(FindReplace, ReplaceRequestsCarryBothTexts)
{
    TestDialog dialog;
    Script script(&dialog);
    bool destroyed = false;
    HWND replaceWindow = nullptr;
    script
        .Then([&] {
            auto* replace = new TrackedFindDialog(&destroyed);
            ASSERT_TRUE(replace->Create(FALSE, L"old", L"новый", FR_DOWN | FR_WHOLEWORD, &dialog));
            replaceWindow = replace->m_hWnd;
            ::PostMessageW(::GetDlgItem(replaceWindow, psh1), BM_CLICK, 0, 0); // Replace
        })
        .WaitFor(L"replace request", [&] { return !dialog.findNotifications.empty(); })
        .Then([&] { ::PostMessageW(::GetDlgItem(replaceWindow, psh2), BM_CLICK, 0, 0); }) // Replace All
        .WaitFor(L"replace all request", [&] { return dialog.findNotifications.size() >= 2; })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    // The owner went away first: the Replace dialog went with it, and its object too.
    EXPECT_TRUE(destroyed);
    ASSERT_GE(dialog.findNotifications.size(), 2u);
    EXPECT_TRUE(dialog.findNotifications[0].replaceCurrent);
    EXPECT_EQ(dialog.findNotifications[0].findWhat, L"old");
    EXPECT_EQ(dialog.findNotifications[0].replaceWith, L"новый");
    EXPECT_TRUE(dialog.findNotifications[0].wholeWord);
    EXPECT_TRUE(dialog.findNotifications[1].replaceAll);
}

TEST(FindReplace, NotifierLookupRejectsForeignRecords)
{
    EXPECT_EQ(CFindReplaceDialog::GetNotifier(0), nullptr);
    FINDREPLACEW foreign{};
    foreign.lStructSize = sizeof(foreign);
    EXPECT_EQ(CFindReplaceDialog::GetNotifier(reinterpret_cast<LPARAM>(&foreign)), nullptr);
    CFindReplaceDialog unopened;
    EXPECT_EQ(CFindReplaceDialog::GetNotifier(reinterpret_cast<LPARAM>(&unopened.m_fr)), &unopened);
}

TEST(FindReplace, CreatingWithoutAnOwnerIsRefusedWithAMessage)
{
    CFindReplaceDialog find;
    ::SetActiveWindow(nullptr);
    if (::GetActiveWindow() != nullptr)
        GTEST_SKIP() << "a window of the thread is still active";
    EXPECT_FALSE(find.Create(TRUE, L"x", nullptr, FR_DOWN, nullptr));
    const auto boxes = MessageBoxCatcher::Current()->Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"The Find and Replace dialog needs an owner window.");
}
