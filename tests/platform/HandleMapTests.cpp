// Handle-to-object lookups: permanent objects, temporary wrappers and their release, attaching
// and subclassing rules, and run-time class checks.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

namespace {

HWND MakeWindow()
{
    return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST(HandleMap, TemporaryWrappersAreReusedNeverOwnTheWindowAndAreFreedOnRequest)
{
    AfxDeleteTempMap();
    HWND hWnd = MakeWindow();
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    CWnd* wrapper = CWnd::FromHandle(hWnd);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->m_hWnd, hWnd);
    EXPECT_EQ(CWnd::FromHandle(hWnd), wrapper);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(AfxGetTempMapCount(), 1u);

    AfxDeleteTempMap();
    EXPECT_EQ(AfxGetTempMapCount(), 0u);
    EXPECT_TRUE(::IsWindow(hWnd)) << "freeing a temporary wrapper must not destroy the window";
    ::DestroyWindow(hWnd);
}

TEST(HandleMap, AttachedObjectsArePermanentAndExclusive)
{
    HWND hWnd = MakeWindow();
    CWnd first;
    CWnd second;
    ASSERT_TRUE(first.Attach(hWnd));
    EXPECT_EQ(CWnd::FromHandle(hWnd), &first);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &first);
    EXPECT_FALSE(second.Attach(hWnd));
    EXPECT_FALSE(second.SubclassWindow(hWnd));
    EXPECT_EQ(first.Detach(), hWnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_TRUE(::IsWindow(hWnd));
    ::DestroyWindow(hWnd);
}

TEST(HandleMap, DetachingASubclassedWindowGivesItsOwnProcedureBack)
{
    HWND hWnd = MakeWindow();
    const auto original = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    CWnd object;
    ASSERT_TRUE(object.SubclassWindow(hWnd));
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&AfxWndProc));
    EXPECT_EQ(object.Detach(), hWnd);
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), original);
    ::SetWindowTextW(hWnd, L"still a static");
    EXPECT_EQ(WindowText(hWnd), L"still a static");
    // And it can be subclassed again.
    ASSERT_TRUE(object.SubclassWindow(hWnd));
    object.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(object.m_hWnd, nullptr);
}

TEST(HandleMap, AnObjectDestroysTheWindowItStillOwns)
{
    HWND hWnd = MakeWindow();
    {
        CWnd owner;
        ASSERT_TRUE(owner.SubclassWindow(hWnd));
    }
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST(HandleMap, MenusMapTheSameWay)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_TEST_MENU));
    EXPECT_EQ(CMenu::FromHandle(menu.m_hMenu), &menu);
    CMenu* popup = menu.GetSubMenu(1);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(popup->m_hMenu), nullptr);
    EXPECT_EQ(popup->GetMenuItemCount(), 4);
    EXPECT_EQ(popup->GetMenuItemID(2), static_cast<UINT>(ID_TEST_RANGE_LAST));
    EXPECT_EQ(popup->GetMenuString(ID_TEST_RANGE_FIRST, MF_BYCOMMAND), L"Style &1");
    AfxDeleteTempMap();
    EXPECT_EQ(AfxGetTempMapCount(), 0u);
}

TEST(HandleMap, ControlsAndDialogWrappersInsideTheModalLoop)
{
    TestDialog dialog;
    Script script(&dialog);
    HWND apply = nullptr;
    script
        .Then([&] {
            EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
            // Bound controls come back as their objects, unbound ones as temporary wrappers.
            EXPECT_EQ(dialog.GetDlgItem(IDC_TEXT), &dialog.m_text);
            CWnd* applyWrapper = dialog.GetDlgItem(IDC_APPLY);
            ASSERT_NE(applyWrapper, nullptr);
            apply = applyWrapper->m_hWnd;
            EXPECT_EQ(CWnd::FromHandlePermanent(apply), nullptr);
            EXPECT_GE(AfxGetTempMapCount(), 1u);
            // The menu from the template.
            CMenu* menu = dialog.GetMenu();
            ASSERT_NE(menu, nullptr);
            EXPECT_EQ(menu->GetSubMenu(0)->GetMenuItemID(0), static_cast<UINT>(ID_TEST_FIND));
        })
        .WaitFor(L"temporary wrappers freed at idle", [] { return AfxGetTempMapCount() == 0; })
        .Then([&] {
            // Binding again (a second UpdateData) must not subclass the controls twice.
            EXPECT_TRUE(dialog.UpdateData(FALSE));
            EXPECT_EQ(dialog.GetDlgItem(IDC_TEXT), &dialog.m_text);
            dialog.m_text.SetWindowText(L"still works");
            EXPECT_EQ(dialog.m_text.GetWindowText(), L"still works");
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_EQ(dialog.m_text.m_hWnd, nullptr) << "controls are released with the dialog";
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), nullptr);
}

TEST(HandleMap, ANestedDialogKeepsTheOuterHandlersTemporaryWrappers)
{
    TestDialog outer;
    Script outerScript(&outer);
    size_t countDuringInnerIdle = 0;
    bool innerRan = false;
    outerScript
        .Then([&] {
            CWnd* apply = outer.GetDlgItem(IDC_APPLY); // a temporary at the outer depth
            ASSERT_NE(apply, nullptr);
            TestDialog inner(&outer);
            Script innerScript(&inner);
            innerScript
                .WaitFor(L"inner idle", [&] { return inner.kickIdles.size() >= 2; })
                .Then([&] { countDuringInnerIdle = AfxGetTempMapCount(); })
                .End(IDOK);
            outerScript.Stop();
            EXPECT_EQ(RunModal(inner, innerScript), IDOK);
            outerScript.Start();
            EXPECT_EQ(apply->m_hWnd, ::GetDlgItem(outer.m_hWnd, IDC_APPLY));
            innerRan = true;
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(outer, outerScript), IDOK);
    EXPECT_TRUE(innerRan);
    EXPECT_GE(countDuringInnerIdle, 1u);
}

TEST(RuntimeClass, ObjectsKnowTheirClassAndItsBases)
{
    TestDialog dialog;
    const CWnd& asWindow = dialog;
    EXPECT_STREQ(asWindow.GetRuntimeClass()->m_lpszClassName, "CAcUiDialog") << "TestDialog declares no class info";
    EXPECT_TRUE(asWindow.IsKindOf(RUNTIME_CLASS(CAdUiDialog)));
    EXPECT_TRUE(asWindow.IsKindOf(RUNTIME_CLASS(CAdUiBaseDialog)));
    EXPECT_TRUE(asWindow.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_TRUE(asWindow.IsKindOf(RUNTIME_CLASS(CCmdTarget)));
    EXPECT_TRUE(asWindow.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(asWindow.IsKindOf(RUNTIME_CLASS(CRichEditCtrl)));
    EXPECT_TRUE(dialog.m_text.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_FALSE(dialog.m_text.IsKindOf(RUNTIME_CLASS(CComboBox)));
    EXPECT_TRUE(RUNTIME_CLASS(CMemoryException)->IsDerivedFrom(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(RUNTIME_CLASS(CException)->IsDerivedFrom(RUNTIME_CLASS(CMemoryException)));
    EXPECT_FALSE(RUNTIME_CLASS(CObject)->IsDerivedFrom(nullptr));
}
