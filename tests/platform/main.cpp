// Entry of the platform test program: initialises the framework the way a plug-in does and
// catches every message box for the whole run (a box nobody expected fails the test that
// caused it).
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class NoStrayMessageBoxes : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override
    {
        if (auto* catcher = platform_test::MessageBoxCatcher::Current()) {
            for (const auto& box : catcher->Take()) {
                std::string text;
                for (wchar_t ch : box.text)
                    text.push_back(ch < 128 ? static_cast<char>(ch) : '?');
                ADD_FAILURE() << "unexpected message box: " << text;
            }
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (int exitCode = 0; platform_test::RerunWithUnmanagedWindows(exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    AfxSetAppName(L"Platform tests");
    if (!AfxInitRichEdit2()) {
        fprintf(stderr, "riched20.dll could not be loaded\n");
        return 2;
    }
    InitAcUiDLL();
    platform_test::MessageBoxCatcher catcher;
    testing::UnitTest::GetInstance()->listeners().Append(new NoStrayMessageBoxes);
    return RUN_ALL_TESTS();
}
