// Exceptions thrown by message handlers are reported (message box) and end only the handler.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

TEST(Exceptions, AMemoryExceptionInAHandlerIsReportedAndTheDialogGoesOn)
{
    TestDialog dialog;
    Script script(&dialog);
    std::vector<MessageBoxCatcher::Box> boxes;
    script.Then([&] { dialog.PostMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_THROW_MEMORY, 0)); })
        .WaitFor(L"the report", [&] {
            auto taken = MessageBoxCatcher::Current()->Take();
            boxes.insert(boxes.end(), taken.begin(), taken.end());
            return !boxes.empty();
        })
        .Then([&] { dialog.PostMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_FIND, 0)); })
        .WaitFor(L"the next command", [&] { return !dialog.commands.empty(); })
        .Then([&] { dialog.PostMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_THROW_STD, 1)); })
        .WaitFor(L"the second report", [&] {
            auto taken = MessageBoxCatcher::Current()->Take();
            boxes.insert(boxes.end(), taken.begin(), taken.end());
            return boxes.size() >= 2;
        })
        .End(12);
    EXPECT_EQ(RunModal(dialog, script), 12);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"Out of memory.");
    EXPECT_EQ(boxes[0].caption, L"Platform tests");
    EXPECT_EQ(boxes[1].text, L"Ошибка: the handler failed");
    EXPECT_EQ(dialog.events, (std::vector<std::wstring>{L"before throw"}));
    EXPECT_EQ(dialog.commands, (std::vector<UINT>{ID_TEST_FIND}));
}

namespace {

class ThrowingWindow : public CWnd {
public:
    bool* deleted = nullptr;

protected:
    afx_msg LRESULT OnThrowArgument(WPARAM, LPARAM) { throw new CInvalidArgException(L"Неверный аргумент"); }
    afx_msg LRESULT OnThrowInt(WPARAM, LPARAM) { throw 5; }
    afx_msg LRESULT OnThrowUser(WPARAM, LPARAM) { AfxThrowUserException(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ThrowingWindow, CWnd)
    ON_MESSAGE(WM_APP + 10, &ThrowingWindow::OnThrowArgument)
    ON_MESSAGE(WM_APP + 11, &ThrowingWindow::OnThrowInt)
    ON_MESSAGE(WM_APP + 12, &ThrowingWindow::OnThrowUser)
END_MESSAGE_MAP()

} // namespace

TEST(Exceptions, EveryKindOfExceptionStopsAtTheWindowProcedure)
{
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ThrowingWindow window;
    ASSERT_TRUE(window.SubclassWindow(hWnd));
    EXPECT_EQ(::SendMessageW(hWnd, WM_APP + 10, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(hWnd, WM_APP + 11, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(hWnd, WM_APP + 12, 0, 0), 0);
    const auto boxes = MessageBoxCatcher::Current()->Take();
    ASSERT_EQ(boxes.size(), 2u) << "a CUserException is silent: the user was already told";
    EXPECT_EQ(boxes[0].text, L"Неверный аргумент");
    EXPECT_EQ(boxes[1].text, L"An unexpected error occurred.");
    EXPECT_TRUE(::IsWindow(hWnd));
    window.DestroyWindow();
}

TEST(Exceptions, ReportErrorFallsBackToTheResourceStringAndMessageText)
{
    CException plain;
    EXPECT_EQ(plain.GetErrorMessageText(), L"");
    plain.ReportError(MB_OK, IDS_TEST_GREETING);
    CMemoryException memory(FALSE);
    wchar_t small[4];
    EXPECT_TRUE(memory.GetErrorMessage(small, 4));
    EXPECT_STREQ(small, L"Out");
    const auto boxes = MessageBoxCatcher::Current()->Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Привет from the program");
}
