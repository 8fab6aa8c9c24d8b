// Saving, loading and checking dialog placements in the registry.
#include "platform/DialogPlacement.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pellaton::platform {

namespace {

constexpr size_t kMaxKeyNameLength = 255;

struct StoredPlacement {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};
static_assert(sizeof(StoredPlacement) == 16);

} // namespace

std::wstring DialogPlacementKey(const std::wstring& dialogName)
{
    if (dialogName.empty())
        return {};
    std::wstring name = dialogName.substr(0, kMaxKeyNameLength);
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return std::wstring(kDialogPlacementRoot) + L"\\" + name;
}

bool SaveDialogPlacement(const std::wstring& dialogName, const RECT& windowRect)
{
    const std::wstring keyPath = DialogPlacementKey(dialogName);
    if (keyPath.empty())
        return false;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const StoredPlacement stored{windowRect.left, windowRect.top, windowRect.right, windowRect.bottom};
    const LSTATUS status = ::RegSetValueExW(key, kDialogPlacementValue, 0, REG_BINARY,
                                            reinterpret_cast<const BYTE*>(&stored), sizeof(stored));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::optional<RECT> LoadDialogPlacement(const std::wstring& dialogName)
{
    const std::wstring keyPath = DialogPlacementKey(dialogName);
    if (keyPath.empty())
        return std::nullopt;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    // One byte more than expected, so that an over-long value is told apart from a fitting one.
    BYTE buffer[sizeof(StoredPlacement) + 1] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(buffer);
    const LSTATUS status = ::RegQueryValueExW(key, kDialogPlacementValue, nullptr, &type, buffer, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size != sizeof(StoredPlacement))
        return std::nullopt;
    StoredPlacement stored{};
    std::memcpy(&stored, buffer, sizeof(stored));
    return RECT{stored.left, stored.top, stored.right, stored.bottom};
}

bool IsPlacementUsable(const RECT& windowRect, SIZE minimumSize)
{
    const long long width = static_cast<long long>(windowRect.right) - windowRect.left;
    const long long height = static_cast<long long>(windowRect.bottom) - windowRect.top;
    if (width <= 0 || height <= 0 || width < minimumSize.cx || height < minimumSize.cy)
        return false;
    const int maxWidth = std::max(::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CXMAXTRACK));
    const int maxHeight = std::max(::GetSystemMetrics(SM_CYVIRTUALSCREEN), ::GetSystemMetrics(SM_CYMAXTRACK));
    if (width > maxWidth || height > maxHeight)
        return false;

    // The title bar must be reachable: a strip at the top of the window, at least partly (a
    // useful width of it) on the work area of a monitor.
    const int captionHeight = std::max(::GetSystemMetrics(SM_CYCAPTION), 8);
    const RECT titleStrip{windowRect.left, windowRect.top, windowRect.right, windowRect.top + captionHeight};
    HMONITOR monitor = ::MonitorFromRect(&titleStrip, MONITOR_DEFAULTTONULL);
    if (monitor == nullptr)
        return false;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info))
        return false;
    RECT visible{};
    if (!::IntersectRect(&visible, &titleStrip, &info.rcWork))
        return false;
    const long long needed = std::min<long long>(width, 64);
    return visible.right - visible.left >= needed && visible.bottom - visible.top >= std::min(captionHeight, 4);
}

} // namespace pellaton::platform
