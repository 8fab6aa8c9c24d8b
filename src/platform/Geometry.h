// Small value types over the Win32 POINT, SIZE and RECT structures used by the window classes:
// CPoint, CSize and CRect with the handful of helpers the dialogs need.
#pragma once

#include "platform/Win32.h"

class CSize : public SIZE {
public:
    constexpr CSize() noexcept : SIZE{0, 0} {}
    constexpr CSize(int initCX, int initCY) noexcept : SIZE{initCX, initCY} {}
    constexpr CSize(const SIZE& size) noexcept : SIZE(size) {}

    constexpr bool operator==(const CSize& other) const noexcept { return cx == other.cx && cy == other.cy; }
};

class CPoint : public POINT {
public:
    constexpr CPoint() noexcept : POINT{0, 0} {}
    constexpr CPoint(int initX, int initY) noexcept : POINT{initX, initY} {}
    constexpr CPoint(const POINT& point) noexcept : POINT(point) {}
    // Unpacks the signed screen or client coordinates carried in a message's lParam.
    explicit CPoint(LPARAM packed) noexcept : POINT{GET_X_LPARAM(packed), GET_Y_LPARAM(packed)} {}

    void Offset(int dx, int dy) noexcept { x += dx; y += dy; }
    constexpr bool operator==(const CPoint& other) const noexcept { return x == other.x && y == other.y; }
};

class CRect : public RECT {
public:
    constexpr CRect() noexcept : RECT{0, 0, 0, 0} {}
    constexpr CRect(int l, int t, int r, int b) noexcept : RECT{l, t, r, b} {}
    constexpr CRect(const RECT& rect) noexcept : RECT(rect) {}
    constexpr CRect(POINT topLeft, SIZE size) noexcept
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}

    constexpr int Width() const noexcept { return right - left; }
    constexpr int Height() const noexcept { return bottom - top; }
    constexpr CSize Size() const noexcept { return CSize(Width(), Height()); }
    constexpr CPoint TopLeft() const noexcept { return CPoint(left, top); }
    constexpr CPoint BottomRight() const noexcept { return CPoint(right, bottom); }
    constexpr bool IsRectEmpty() const noexcept { return right <= left || bottom <= top; }

    void OffsetRect(int dx, int dy) noexcept { left += dx; right += dx; top += dy; bottom += dy; }
    constexpr bool operator==(const CRect& other) const noexcept
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }

    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};
