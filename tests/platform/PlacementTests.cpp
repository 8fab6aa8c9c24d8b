// Dialog placement kept in the registry under the dialog's name: it survives to the next DoModal,
// the layout follows the restored size, and damaged values leave the template placement.
#include "TestDialog.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace platform_test;
using namespace pellaton::platform;

namespace {

const wchar_t kName[] = L"PlatformTest.Placement";

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r)
{
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

void ClearKey()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, DialogPlacementKey(kName).c_str());
}

void WriteRawValue(DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, DialogPlacementKey(kName).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, kDialogPlacementValue, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}

// Shows the named test dialog, runs act on it, and returns the window rectangle it had on its
// first script tick plus its rich edit's rectangle (client coordinates).
struct Shown {
    RECT window;
    RECT text;
};

Shown ShowNamed(const wchar_t* name, std::function<void(TestDialog&)> act = {})
{
    TestDialog dialog;
    if (name != nullptr)
        dialog.SetDialogName(name);
    Shown shown{};
    Script script(&dialog);
    script
        .Then([&] {
            ::GetWindowRect(dialog.m_hWnd, &shown.window);
            shown.text = ChildRect(dialog.m_hWnd, dialog.m_text.m_hWnd);
            if (act)
                act(dialog);
        })
        .End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
    return shown;
}

} // namespace

TEST(Placement, KeyNamesAreOneKeyPerDialog)
{
    EXPECT_EQ(DialogPlacementKey(L"TE"), L"Software\\Cadhost\\Dialogs\\TE");
    EXPECT_EQ(DialogPlacementKey(L"a\\b"), L"Software\\Cadhost\\Dialogs\\a_b");
    EXPECT_EQ(DialogPlacementKey(L""), L"");
    EXPECT_EQ(DialogPlacementKey(std::wstring(400, L'x')).size(), std::wstring(kDialogPlacementRoot).size() + 1 + 255);
}

TEST(Placement, ThePlacementSurvivesToTheNextDialogWithTheSameName)
{
    ClearKey();
    const Shown reference = ShowNamed(nullptr);
    const int width = reference.window.right - reference.window.left + 120;
    const int height = reference.window.bottom - reference.window.top + 80;
    ShowNamed(kName, [&](TestDialog& dialog) { dialog.MoveWindow(40, 30, width, height); });

    const auto stored = LoadDialogPlacement(kName);
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(SameRect(*stored, RECT{40, 30, 40 + width, 30 + height})) << Describe(*stored);

    const Shown again = ShowNamed(kName);
    EXPECT_TRUE(SameRect(again.window, RECT{40, 30, 40 + width, 30 + height})) << Describe(again.window);
    // The layout table was handed over in OnInitDialog: the restored size is laid out too.
    EXPECT_EQ(again.text.right - again.text.left, reference.text.right - reference.text.left + 120);
    EXPECT_EQ(again.text.bottom - again.text.top, reference.text.bottom - reference.text.top + 80);

    // Another name knows nothing of it.
    const Shown other = ShowNamed(L"PlatformTest.Other");
    EXPECT_TRUE(SameRect(other.window, reference.window));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, DialogPlacementKey(L"PlatformTest.Other").c_str());
    ClearKey();
}

TEST(Placement, DamagedValuesAreIgnoredAndReplacedWhenTheDialogCloses)
{
    ClearKey();
    const Shown reference = ShowNamed(nullptr);
    const int width = reference.window.right - reference.window.left;
    const int height = reference.window.bottom - reference.window.top;

    struct Damage {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    auto rectBytes = [](int l, int t, int r, int b) {
        const std::int32_t values[4] = {l, t, r, b};
        const auto* p = reinterpret_cast<const BYTE*>(values);
        return std::vector<BYTE>(p, p + sizeof(values));
    };
    const wchar_t text[] = L"garbage";
    std::vector<BYTE> longValue = rectBytes(10, 10, 10 + width, 10 + height);
    longValue.resize(20, 0);
    const Damage damages[] = {
        {"wrong type", REG_SZ, std::vector<BYTE>(reinterpret_cast<const BYTE*>(text),
                                                 reinterpret_cast<const BYTE*>(text) + sizeof(text))},
        {"wrong type with the right size", REG_DWORD, rectBytes(10, 10, 10 + width, 10 + height)},
        {"too short", REG_BINARY, std::vector<BYTE>{1, 2, 3}},
        {"too long", REG_BINARY, longValue},
        {"empty", REG_BINARY, {}},
        {"off screen", REG_BINARY, rectBytes(30000, 30000, 30000 + width, 30000 + height)},
        {"title bar above the screen", REG_BINARY, rectBytes(10, -5000, 10 + width, -5000 + height)},
        {"absurd size", REG_BINARY, rectBytes(0, 0, 100000, 100000)},
        {"smaller than the template", REG_BINARY, rectBytes(10, 10, 60, 40)},
        {"inverted", REG_BINARY, rectBytes(10 + width, 10 + height, 10, 10)},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        WriteRawValue(damage.type, damage.bytes.data(), static_cast<DWORD>(damage.bytes.size()));
        const Shown shown = ShowNamed(kName);
        EXPECT_TRUE(SameRect(shown.window, reference.window)) << Describe(shown.window);
        // Closing wrote a sound value over the damaged one.
        const auto stored = LoadDialogPlacement(kName);
        ASSERT_TRUE(stored.has_value());
        EXPECT_TRUE(SameRect(*stored, reference.window));
        ClearKey();
    }
}

TEST(Placement, UsablePlacementsAreOnScreenAndAtLeastTheTemplateSize)
{
    const SIZE minimum{200, 100};
    EXPECT_TRUE(IsPlacementUsable(RECT{10, 10, 310, 210}, minimum));
    EXPECT_FALSE(IsPlacementUsable(RECT{10, 10, 150, 210}, minimum));
    EXPECT_FALSE(IsPlacementUsable(RECT{-1000, 10, -700, 210}, minimum));
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    EXPECT_FALSE(IsPlacementUsable(RECT{screenWidth - 20, 10, screenWidth + 280, 210}, minimum))
        << "only a sliver of the title bar would be on screen";
    EXPECT_TRUE(IsPlacementUsable(RECT{screenWidth - 150, 10, screenWidth + 150, 210}, minimum));
}
