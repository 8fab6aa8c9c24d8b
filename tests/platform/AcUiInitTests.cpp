// Initialisation order of the host UI library, seen from a process that has not initialised
// anything yet: a host dialog opened before InitAcUiDLL is refused with a message, a template with
// a rich edit needs AfxInitRichEdit2, and with both done the dialog opens.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

TEST(AcUiInit, DialogsOpenOnlyAfterTheLibrariesAreInitialised)
{
    MessageBoxCatcher catcher;
    ASSERT_FALSE(IsAcUiDLLInitialized());
    {
        TestDialog dialog;
        bool created = false;
        dialog.onInitDialog = [&](TestDialog&) { created = true; };
        EXPECT_EQ(dialog.DoModal(), -1);
        EXPECT_FALSE(created);
        const auto boxes = catcher.Take();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"InitAcUiDLL() must be called before a dialog of the host's UI library is shown.");
        EXPECT_NE(boxes[0].caption.find(L"programming error"), std::wstring::npos);
    }

    InitAcUiDLL();
    EXPECT_TRUE(IsAcUiDLLInitialized());
    if (::GetModuleHandleW(L"riched20.dll") == nullptr) {
        // The template's "RichEdit20W" control cannot be made yet: reported, not crashed on.
        TestDialog dialog;
        EXPECT_EQ(dialog.DoModal(), -1);
        const auto boxes = catcher.Take();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find(L"AfxInitRichEdit2"), std::wstring::npos);
    }

    ASSERT_TRUE(AfxInitRichEdit2());
    TestDialog dialog;
    Script script(&dialog);
    script.End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    EXPECT_TRUE(catcher.Take().empty());
}

int main(int argc, char** argv)
{
    if (int exitCode = 0; platform_test::RerunWithUnmanagedWindows(exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    AfxSetAppName(L"Platform tests");
    return RUN_ALL_TESTS();
}
