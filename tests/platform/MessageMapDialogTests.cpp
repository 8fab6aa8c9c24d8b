// Message map routing in a running dialog with real input: typing into the rich edit, the combo
// box's keyboard selection, accelerators, menu commands, command ranges, registered messages,
// WM_SETCURSOR and WM_CONTEXTMENU.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

TEST(MessageMapInDialog, TypingIntoTheRichEditSendsEnChangeAndEnSelChange)
{
    TestDialog dialog;
    Script script(&dialog);
    script.Then([&] { PostChars(dialog.m_text.m_hWnd, L"abc"); })
        .WaitFor(L"three characters typed", [&] { return dialog.m_text.GetWindowText() == L"abc"; })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_GE(dialog.textChanges, 3);
    ASSERT_FALSE(dialog.selectionChanges.empty());
    EXPECT_EQ(dialog.selectionChanges.back().cpMin, 3);
    EXPECT_EQ(dialog.selectionChanges.back().cpMax, 3);
}

TEST(MessageMapInDialog, ChoosingAComboItemWithTheKeyboardSendsCbnSelChange)
{
    TestDialog dialog;
    Script script(&dialog);
    script.Then([&] { PostKey(dialog.m_style.m_hWnd, VK_DOWN); })
        .WaitFor(L"selection moved", [&] { return dialog.m_style.GetCurSel() == 1; })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(dialog.styleChanges, 1);
}

TEST(MessageMapInDialog, MenuCommandsAcceleratorsAndRangesReachTheirEntries)
{
    TestDialog dialog;
    Script script(&dialog);
    script
        .Then([&] {
            dialog.PostMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_FIND, 0)); // menu
            for (UINT id : {ID_TEST_RANGE_FIRST, ID_TEST_RANGE_LAST, ID_TEST_AFTER_RANGE})
                dialog.PostMessage(WM_COMMAND, MAKEWPARAM(id, 0));
            PostKey(dialog.m_text.m_hWnd, VK_F5); // accelerator
        })
        .WaitFor(L"F5 handled", [&] { return dialog.commands.size() >= 4; })
        .Then([&] {
            SetKeyDown(VK_CONTROL, true);
            PostKey(dialog.m_text.m_hWnd, 'F');
        })
        .WaitFor(L"Ctrl+F handled", [&] { return dialog.commands.size() >= 5; })
        .Then([&] { SetKeyDown(VK_CONTROL, false); })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(dialog.commands, (std::vector<UINT>{ID_TEST_FIND, ID_TEST_RANGE_FIRST, ID_TEST_RANGE_LAST,
                                                  ID_TEST_REFRESH, ID_TEST_FIND}));
    EXPECT_EQ(dialog.m_text.GetWindowText(), L"") << "accelerator keys must not reach the rich edit";
}

TEST(MessageMapInDialog, ButtonClicksRegisteredMessagesCursorAndContextMenu)
{
    TestDialog dialog;
    Script script(&dialog);
    LRESULT registeredResult = 0;
    LRESULT cursorOverText = 0;
    script
        .Then([&] {
            ::SendMessageW(::GetDlgItem(dialog.m_hWnd, IDC_APPLY), BM_CLICK, 0, 0);
            registeredResult = dialog.SendMessage(g_testRegisteredMessage, 20, 22);
            cursorOverText = dialog.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog.m_text.m_hWnd),
                                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            dialog.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog.m_text.m_hWnd), MAKELPARAM(120, 340));
            dialog.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog.m_text.m_hWnd), MAKELPARAM(-1, -1));
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(dialog.applyClicks, 1);
    EXPECT_EQ(registeredResult, 42);
    EXPECT_EQ(cursorOverText, TRUE);
    ASSERT_FALSE(dialog.setCursors.empty());
    EXPECT_EQ(dialog.setCursors.back().first, &dialog.m_text);
    EXPECT_EQ(dialog.setCursors.back().second, static_cast<UINT>(HTCLIENT));
    ASSERT_EQ(dialog.contextMenus.size(), 2u);
    EXPECT_EQ(dialog.contextMenus[0].first, &dialog.m_text);
    EXPECT_EQ(dialog.contextMenus[0].second, CPoint(120, 340));
    EXPECT_EQ(dialog.contextMenus[1].second, CPoint(-1, -1)) << "keyboard-invoked menus keep (-1, -1)";
}

TEST(MessageMapInDialog, UnhandledMessagesGetTheDialogManagersProcessing)
{
    TestDialog dialog;
    Script script(&dialog);
    std::wstring caption;
    LRESULT defaultId = 0;
    script
        .Then([&] {
            caption = dialog.GetWindowText();
            defaultId = dialog.SendMessage(DM_GETDEFID);
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(caption, L"Platform test");
    EXPECT_EQ(LOWORD(defaultId), IDOK);
    EXPECT_EQ(HIWORD(defaultId), DC_HASDEFID);
    EXPECT_EQ(dialog.destroyCount, 1) << "ON_WM_DESTROY ran once";
}
