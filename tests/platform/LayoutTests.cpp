// The resizing layout of CAdUiDialog: the arithmetic of one control, and a running dialog widened
// and heightened with the table of the test dialog.
#include "TestDialog.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>

using namespace platform_test;
using pellaton::platform::LayoutControlRect;

namespace {

RECT Offset(RECT r, int dx, int dy, int dw = 0, int dh = 0)
{
    return RECT{r.left + dx, r.top + dy, r.right + dx + dw, r.bottom + dy + dh};
}

} // namespace

TEST(ControlLayout, MovesAndStretchesByTheirShareOfTheChange)
{
    const RECT r{10, 20, 110, 70};
    EXPECT_EQ(LayoutControlRect(r, MOVEX, 100, 40, 30), Offset(r, 40, 0));
    EXPECT_EQ(LayoutControlRect(r, MOVEY, 100, 40, 30), Offset(r, 0, 30));
    EXPECT_EQ(LayoutControlRect(r, MOVEXY, 50, 40, 30), Offset(r, 20, 15));
    EXPECT_EQ(LayoutControlRect(r, ELASTICX, 100, 40, 30), Offset(r, 0, 0, 40, 0));
    EXPECT_EQ(LayoutControlRect(r, ELASTICY, 25, 40, 30), Offset(r, 0, 0, 0, 8)); // 7.5 rounds to 8
    EXPECT_EQ(LayoutControlRect(r, MOVEY | ELASTICX, 100, 40, 30), Offset(r, 0, 30, 40, 0));
    EXPECT_EQ(LayoutControlRect(r, MOVEX | ELASTICX, 50, 40, 0), Offset(r, 20, 0, 20, 0));
    EXPECT_EQ(LayoutControlRect(r, 0, 100, 40, 30), r);
    EXPECT_EQ(LayoutControlRect(r, 0x100, 100, 40, 30), r) << "unknown flags are ignored";
}

TEST(ControlLayout, BadTableValuesAreHandledSafely)
{
    const RECT r{10, 20, 110, 70};
    EXPECT_EQ(LayoutControlRect(r, MOVEX, 250, 40, 0), Offset(r, 40, 0)) << "percentages above 100 count as 100";
    // Shrinking further than the control's size leaves it empty, never inverted.
    const RECT shrunk = LayoutControlRect(r, ELASTICXY, 100, -500, -500);
    EXPECT_EQ(shrunk.right, shrunk.left);
    EXPECT_EQ(shrunk.bottom, shrunk.top);
}

TEST(ControlLayout, ResizingTheDialogAppliesTheTable)
{
    TestDialog dialog;
    Script script(&dialog);
    std::map<int, RECT> before;
    std::map<int, RECT> after;
    RECT styleBefore{}, styleAfter{};
    RECT clientBefore{}, clientAfter{};
    MINMAXINFO limits{};
    CRect initialWindow;
    const int ids[] = {IDC_TEXT, IDOK, IDCANCEL, IDC_APPLY, IDC_HEIGHT, IDC_STATUS};
    script
        .Then([&] {
            for (int id : ids)
                before[id] = ChildRect(dialog.m_hWnd, ::GetDlgItem(dialog.m_hWnd, id));
            styleBefore = ChildRect(dialog.m_hWnd, ::GetDlgItem(dialog.m_hWnd, IDC_STYLE));
            dialog.GetClientRect(&clientBefore);
            dialog.GetWindowRect(&initialWindow);
            dialog.SetWindowPos(nullptr, 0, 0, initialWindow.Width() + 100, initialWindow.Height() + 60,
                                SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        })
        .Then([&] {
            for (int id : ids)
                after[id] = ChildRect(dialog.m_hWnd, ::GetDlgItem(dialog.m_hWnd, id));
            styleAfter = ChildRect(dialog.m_hWnd, ::GetDlgItem(dialog.m_hWnd, IDC_STYLE));
            dialog.GetClientRect(&clientAfter);
            dialog.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);

    const int dx = clientAfter.right - clientBefore.right;
    const int dy = clientAfter.bottom - clientBefore.bottom;
    EXPECT_EQ(dx, 100);
    EXPECT_EQ(dy, 60);
    EXPECT_EQ(after[IDC_TEXT], Offset(before[IDC_TEXT], 0, 0, dx, dy)) << "ELASTICXY 100";
    EXPECT_EQ(after[IDOK], Offset(before[IDOK], dx, dy)) << "MOVEXY 100";
    EXPECT_EQ(after[IDCANCEL], Offset(before[IDCANCEL], dx, dy)) << "MOVEXY 100";
    EXPECT_EQ(after[IDC_APPLY], Offset(before[IDC_APPLY], dx / 2, 0)) << "MOVEX 50";
    EXPECT_EQ(after[IDC_HEIGHT], Offset(before[IDC_HEIGHT], 0, 0, dx / 2, 0)) << "ELASTICX 50";
    EXPECT_EQ(after[IDC_STATUS], Offset(before[IDC_STATUS], 0, dy, dx, 0)) << "MOVEY | ELASTICX 100";
    EXPECT_EQ(styleAfter, styleBefore) << "unlisted controls stay";
    ASSERT_FALSE(dialog.sizes.empty());
    EXPECT_EQ(dialog.sizes.back().cx, clientAfter.right);

    // The template's size is the smallest the frame can be dragged to.
    EXPECT_EQ(limits.ptMinTrackSize.x, initialWindow.Width());
    EXPECT_EQ(limits.ptMinTrackSize.y, initialWindow.Height());
}

TEST(ControlLayout, AResizeBeforeTheTableExistsChangesNothing)
{
    TestDialog dialog;
    dialog.useLayoutTable = false;
    Script script(&dialog);
    RECT before{}, after{};
    script
        .Then([&] {
            before = ChildRect(dialog.m_hWnd, dialog.m_text.m_hWnd);
            CRect window;
            dialog.GetWindowRect(&window);
            dialog.MoveWindow(window.left, window.top, window.Width() + 80, window.Height() + 40);
        })
        .Then([&] { after = ChildRect(dialog.m_hWnd, dialog.m_text.m_hWnd); })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(after, before);
}
