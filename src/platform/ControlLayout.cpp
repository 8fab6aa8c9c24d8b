// Layout of dialog controls on resizing: the arithmetic and its application to the windows.
#include "platform/ControlLayout.h"

namespace pellaton::platform {

namespace {

int Share(int change, DWORD pct) noexcept
{
    return ::MulDiv(change, static_cast<int>(pct), 100);
}

} // namespace

RECT LayoutControlRect(const RECT& recorded, DWORD flags, DWORD pct, int dx, int dy) noexcept
{
    if (pct > 100)
        pct = 100;
    RECT rect = recorded;
    const int shareX = Share(dx, pct);
    const int shareY = Share(dy, pct);
    if (flags & MOVEX) {
        rect.left += shareX;
        rect.right += shareX;
    }
    if (flags & MOVEY) {
        rect.top += shareY;
        rect.bottom += shareY;
    }
    if (flags & ELASTICX)
        rect.right += shareX;
    if (flags & ELASTICY)
        rect.bottom += shareY;
    if (rect.right < rect.left)
        rect.right = rect.left;
    if (rect.bottom < rect.top)
        rect.bottom = rect.top;
    return rect;
}

void ControlLayout::Record(HWND hDialog, const DLGCTLINFO* table, DWORD count)
{
    controls_.clear();
    RECT client{0, 0, 0, 0};
    ::GetClientRect(hDialog, &client);
    clientSize_ = SIZE{client.right - client.left, client.bottom - client.top};
    if (table != nullptr) {
        controls_.reserve(count);
        for (DWORD index = 0; index < count; ++index) {
            Control control{table[index].id, table[index].flags, table[index].pct, nullptr, RECT{0, 0, 0, 0}};
            control.hWnd = ::GetDlgItem(hDialog, static_cast<int>(table[index].id));
            if (control.hWnd != nullptr) {
                ::GetWindowRect(control.hWnd, &control.recorded);
                ::MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&control.recorded), 2);
            }
            controls_.push_back(control);
        }
    }
    recorded_ = true;
}

void ControlLayout::Apply(HWND hDialog, int cx, int cy) const
{
    if (!recorded_ || controls_.empty())
        return;
    const int dx = cx - clientSize_.cx;
    const int dy = cy - clientSize_.cy;
    constexpr UINT kFlags = SWP_NOZORDER | SWP_NOACTIVATE;
    // Each control is found by its id, so that a control the dialog made anew (in place of one of
    // the same id) follows the layout too.
    std::vector<std::pair<HWND, RECT>> placed;
    placed.reserve(controls_.size());
    for (const Control& control : controls_) {
        const HWND hWnd = ::GetDlgItem(hDialog, static_cast<int>(control.id));
        if (hWnd != nullptr)
            placed.emplace_back(hWnd, LayoutControlRect(control.recorded, control.flags, control.pct, dx, dy));
    }
    // All controls move in one step; should the system refuse that, they move one by one.
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(placed.size()));
    for (const auto& [hWnd, rect] : placed) {
        if (positions == nullptr)
            break;
        positions = ::DeferWindowPos(positions, hWnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                                     rect.bottom - rect.top, kFlags);
    }
    if (positions == nullptr || !::EndDeferWindowPos(positions)) {
        for (const auto& [hWnd, rect] : placed)
            ::SetWindowPos(hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, kFlags);
    }
}

} // namespace pellaton::platform
