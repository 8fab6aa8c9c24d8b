// Resources through the extension module chain: a template or string only a module has is found
// once the module's CDynLinkLibrary exists, the program's own resources come first, and the
// module leaves the chain again with AfxTermExtensionModule.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

namespace {

class ExtensionDialog : public CDialog {
public:
    ExtensionDialog() : CDialog(IDD_EXTENSION_ONLY) {}
};

} // namespace

TEST(ResourceChain, ModuleResourcesAreFoundOnlyWhileTheModuleIsInTheChain)
{
    HMODULE module = LoadTestExtensionModule();
    ASSERT_NE(module, nullptr);
    const auto dialogName = MAKEINTRESOURCEW(IDD_EXTENSION_ONLY);
    HINSTANCE program = ::GetModuleHandleW(nullptr);
    ASSERT_EQ(AfxGetResourceHandle(), program);

    // Before the module is in the chain.
    EXPECT_EQ(AfxFindResourceHandle(dialogName, RT_DIALOG), program);
    EXPECT_EQ(AfxLoadString(IDS_EXTENSION_ONLY), L"");
    {
        ExtensionDialog dialog;
        EXPECT_EQ(dialog.DoModal(), -1);
        const auto boxes = MessageBoxCatcher::Current()->Take();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find(L"Dialog template 101 was found neither"), std::wstring::npos);
    }

    static AFX_EXTENSION_MODULE extension;
    ASSERT_TRUE(AfxInitExtensionModule(extension, module));
    EXPECT_TRUE(AfxInitExtensionModule(extension, program)) << "a second call finds it initialised";
    EXPECT_EQ(extension.hModule, module) << "... and changes nothing";
    new CDynLinkLibrary(extension);

    EXPECT_EQ(AfxFindResourceHandle(dialogName, RT_DIALOG), module);
    EXPECT_EQ(AfxLoadString(IDS_EXTENSION_ONLY), L"Ресурс модуля");
    EXPECT_EQ(AfxLoadString(IDS_TEST_GREETING), L"Привет from the program") << "the program's resources come first";
    {
        ExtensionDialog dialog;
        Script script(&dialog);
        std::wstring caption;
        script.Then([&] { caption = dialog.GetWindowText(); }).Then([&] {
            PostKey(::GetDlgItem(dialog.m_hWnd, IDOK), VK_RETURN);
        });
        EXPECT_EQ(RunModal(dialog, script), IDOK);
        EXPECT_EQ(caption, L"Из модуля");
    }

    // With the module as the current resource handle, its own copy of a string wins.
    AfxSetResourceHandle(module);
    EXPECT_EQ(AfxLoadString(IDS_TEST_GREETING), L"Hello from the module");
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), program);

    AfxTermExtensionModule(extension);
    EXPECT_FALSE(extension.bInitialized);
    EXPECT_EQ(AfxFindResourceHandle(dialogName, RT_DIALOG), program);
    EXPECT_EQ(AfxLoadString(IDS_EXTENSION_ONLY), L"");
}

TEST(ResourceChain, MissingStringsAndModulesAreHandled)
{
    AFX_EXTENSION_MODULE nothing;
    EXPECT_FALSE(AfxInitExtensionModule(nothing, nullptr));
    EXPECT_FALSE(nothing.bInitialized);
    std::wstring text = L"left over";
    EXPECT_FALSE(AfxLoadString(65000, text));
    EXPECT_EQ(text, L"");
    // The neighbour of an existing string in the same block of sixteen does not exist.
    EXPECT_EQ(AfxLoadString(IDS_TEST_GREETING + 2), L"");
}
