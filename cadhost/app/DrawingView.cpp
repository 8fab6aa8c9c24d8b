// The drawing view; see DrawingView.h.
#include "DrawingView.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "HitTest.h"

namespace cadhost::app {

namespace {

constexpr wchar_t kClassName[] = L"CadhostDrawingView";
constexpr int kDragThreshold = 4;      // pixels the mouse moves before a press becomes a drag
constexpr double kWheelStep = 1.25;    // zoom of one notch of the wheel
constexpr double kFitMargin = 0.03;    // of the window, around what ZOOM Extents fits
constexpr int kRepaintMargin = 3;      // pixels around a changed entity (line ends, smoothed text)
constexpr COLORREF kWindowColor = RGB(40, 110, 255);
constexpr COLORREF kCrossingColor = RGB(40, 200, 90);

bool overlapsOrTouches(const RECT& a, const RECT& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

DrawingView::DrawingView() = default;

DrawingView::~DrawingView() {
  if (mWindow) DestroyWindow(mWindow);
  if (mMemDc) {
    SelectObject(mMemDc, mPreviousBitmap);
    DeleteDC(mMemDc);
  }
  if (mBitmap) DeleteObject(mBitmap);
}

bool DrawingView::create(HWND parent, InputTarget* target) {
  mTarget = target;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &DrawingView::windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_CROSS);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second registration fails harmlessly
  mWindow = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 100, 100, parent, nullptr,
                            wc.hInstance, this);
  return mWindow != nullptr;
}

LRESULT CALLBACK DrawingView::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<DrawingView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->mWindow = hwnd;
  }
  auto* self = reinterpret_cast<DrawingView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT DrawingView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the buffer covers every pixel
    case WM_SIZE:
      resizeBuffer(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(mWindow, &ps);
      if (!mBufferValid) renderAll();
      BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
             mMemDc, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
      EndPaint(mWindow, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      if (!mBufferValid) renderAll();
      BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, mView.width, mView.height, mMemDc, 0, 0, SRCCOPY);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      mouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_LBUTTONUP:
      mouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      mouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONUP:
      // A right click is Enter where a prompt waits for more than text.
      if (mTarget && (mTarget->inputKind() == InputKind::Objects || mTarget->inputKind() == InputKind::Point)) {
        cancelWindow();
        mTarget->submit(UserInput{});
      }
      return 0;
    case WM_MBUTTONDOWN:
      mDrag = Drag::Panning;
      mLast = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      SetCapture(mWindow);
      return 0;
    case WM_MBUTTONUP:
      if (mDrag == Drag::Panning) {
        mDrag = Drag::None;
        ReleaseCapture();
      }
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(mWindow, &at);
      zoomAt(at.x, at.y, std::pow(kWheelStep, GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA)));
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != mWindow && mDrag != Drag::None) {
        hideBand();
        mDrag = Drag::None;
      }
      return 0;
    default:
      return DefWindowProcW(mWindow, message, wParam, lParam);
  }
}

// ---- The buffer and painting -----------------------------------------------------------

void DrawingView::resizeBuffer(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (mMemDc == nullptr) {
    HDC screen = GetDC(nullptr);
    mMemDc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(mMemDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return;
  HGDIOBJ previous = SelectObject(mMemDc, bitmap);
  if (mBitmap) DeleteObject(mBitmap);
  else mPreviousBitmap = previous;
  mBitmap = bitmap;
  mView.width = width;
  mView.height = height;
  mBufferValid = false;
  InvalidateRect(mWindow, nullptr, FALSE);
}

void DrawingView::renderRect(const RECT& r) {
  HRGN clip = CreateRectRgnIndirect(&r);
  SelectClipRgn(mMemDc, clip);
  DeleteObject(clip);
  HBRUSH background = CreateSolidBrush(ViewRenderer::kBackground);
  FillRect(mMemDc, &r, background);
  DeleteObject(background);
  const Box2 box = mView.drawingBox(r.left - kRepaintMargin, r.top - kRepaintMargin, r.right + kRepaintMargin,
                                    r.bottom + kRepaintMargin);
  mList.query(box, mCandidates);
  mRenderer.begin(mMemDc, mList, mView);
  for (uint32_t index : mCandidates) {
    const DisplayItem& item = mList.items()[index];
    mRenderer.draw(item, isHighlighted(item.id));
  }
  SelectClipRgn(mMemDc, nullptr);
}

void DrawingView::renderAll() {
  if (mMemDc == nullptr) return;
  if (mStale) {
    mStale = false;
    mList.build(mList.database());
  }
  renderRect(RECT{0, 0, mView.width, mView.height});
  mBufferValid = true;
  ++mPaintCount;
}

void DrawingView::present(const RECT& r) {
  if (mWindow == nullptr || !IsWindowVisible(mWindow)) return;
  HDC dc = GetDC(mWindow);
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mMemDc, r.left, r.top, SRCCOPY);
  ReleaseDC(mWindow, dc);
}

void DrawingView::redraw() {
  if (!IsWindowVisible(mWindow)) {  // painted when it is shown
    mBufferValid = false;
    return;
  }
  renderAll();
  present(RECT{0, 0, mView.width, mView.height});
  mBandShown = false;
}

RECT DrawingView::toScreenRect(const Box2& box) const {
  const Point2 a = mView.toScreen({box.minX, box.maxY}), b = mView.toScreen({box.maxX, box.minY});
  auto clamp = [](double v) { return static_cast<LONG>(std::clamp(v, -1e7, 1e7)); };
  return RECT{clamp(std::floor(a.x)) - kRepaintMargin, clamp(std::floor(a.y)) - kRepaintMargin,
              clamp(std::ceil(b.x)) + kRepaintMargin + 1, clamp(std::ceil(b.y)) + kRepaintMargin + 1};
}

void DrawingView::repaintBoxes(const std::vector<Box2>& boxes) {
  if (!mBufferValid || mMemDc == nullptr) return;
  if (!IsWindowVisible(mWindow)) {
    mBufferValid = false;
    return;
  }
  const RECT client{0, 0, mView.width, mView.height};
  std::vector<RECT> rects;
  for (const Box2& box : boxes) {
    if (box.empty()) continue;
    RECT r = toScreenRect(box), clipped;
    if (IntersectRect(&clipped, &r, &client)) rects.push_back(clipped);
  }
  // Parts that overlap are painted once, together.
  for (bool merged = true; merged;) {
    merged = false;
    for (size_t i = 0; i < rects.size() && !merged; ++i)
      for (size_t j = i + 1; j < rects.size() && !merged; ++j)
        if (overlapsOrTouches(rects[i], rects[j])) {
          UnionRect(&rects[i], &rects[i], &rects[j]);
          rects.erase(rects.begin() + static_cast<long>(j));
          merged = true;
        }
  }
  if (rects.empty()) return;
  for (const RECT& r : rects) renderRect(r);
  for (const RECT& r : rects) present(r);
  ++mPaintCount;
}

// ---- What is shown ---------------------------------------------------------------------

void DrawingView::showDrawing(AcDbDatabase* db) {
  mFonts.forgetStyles();
  mList.build(db);
  mStale = false;
  mHighlighted.clear();
  zoomExtents();
}

void DrawingView::regen() {
  mFonts.forgetStyles();
  mList.build(mList.database());
  redraw();
}

void DrawingView::entitiesChanged(const std::vector<AcDbObjectId>& ids) {
  if (ids.empty() || mList.database() == nullptr) return;
  if (!IsWindowVisible(mWindow)) {  // a hidden view makes everything again when it is shown
    mStale = true;
    mBufferValid = false;
    return;
  }
  std::vector<Box2> boxes;
  mList.update(ids, boxes);
  repaintBoxes(boxes);
}

void DrawingView::setHighlighted(const std::vector<AcDbObjectId>& ids) {
  std::unordered_set<AcDbStub*> next;
  for (AcDbObjectId id : ids) next.insert(id.stub());
  if (next == mHighlighted) return;
  std::vector<Box2> boxes;
  auto changedOne = [&](AcDbStub* stub) {
    if (const DisplayItem* item = mList.find(AcDbObjectId(stub)); item && item->live) boxes.push_back(item->bounds);
  };
  for (AcDbStub* stub : next)
    if (!mHighlighted.count(stub)) changedOne(stub);
  for (AcDbStub* stub : mHighlighted)
    if (!next.count(stub)) changedOne(stub);
  mHighlighted = std::move(next);
  repaintBoxes(boxes);
}

// ---- Zoom and pan ----------------------------------------------------------------------

void DrawingView::fit(const Box2& box) {
  if (box.empty()) {
    mView.centerX = mView.centerY = 0;
    mView.scale = 1;
    return;
  }
  const double usable = 1 - 2 * kFitMargin;
  const double w = std::max(box.width(), 1e-9), h = std::max(box.height(), 1e-9);
  mView.scale = std::min(mView.width * usable / w, mView.height * usable / h);
  if (!(mView.scale > 0) || !std::isfinite(mView.scale)) mView.scale = 1;
  mView.centerX = (box.minX + box.maxX) / 2;
  mView.centerY = (box.minY + box.maxY) / 2;
}

void DrawingView::zoomExtents() {
  mRenderer.begin(mMemDc, mList, mView);  // (for the layers' states)
  fit(mList.extents([this](const DisplayItem& item) { return mRenderer.isShown(item); }));
  redraw();
}

void DrawingView::zoomWindow(const Box2& window) {
  if (window.empty() || window.width() <= 0 || window.height() <= 0) return;
  const double usable = 1.0;
  mView.scale = std::min(mView.width * usable / window.width(), mView.height * usable / window.height());
  mView.centerX = (window.minX + window.maxX) / 2;
  mView.centerY = (window.minY + window.maxY) / 2;
  redraw();
}

void DrawingView::zoomAt(int x, int y, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  const Point2 fixed = mView.toDrawing(x, y);
  const double scale = std::clamp(mView.scale * factor, 1e-12, 1e12);
  mView.scale = scale;
  // The point under the cursor stays under it.
  mView.centerX = fixed.x - (x - mView.width / 2.0) / scale;
  mView.centerY = fixed.y + (y - mView.height / 2.0) / scale;
  redraw();
}

void DrawingView::panBy(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  mView.centerX -= dx / mView.scale;
  mView.centerY += dy / mView.scale;
  if (!mBufferValid || std::abs(dx) >= mView.width || std::abs(dy) >= mView.height) {
    redraw();
    return;
  }
  // What stays in view moves with the drawing; only the strips that come into view are painted.
  BitBlt(mMemDc, dx, dy, mView.width, mView.height, mMemDc, 0, 0, SRCCOPY);
  if (dx > 0) renderRect(RECT{0, 0, dx, mView.height});
  if (dx < 0) renderRect(RECT{mView.width + dx, 0, mView.width, mView.height});
  if (dy > 0) renderRect(RECT{0, 0, mView.width, dy});
  if (dy < 0) renderRect(RECT{0, mView.height + dy, mView.width, mView.height});
  present(RECT{0, 0, mView.width, mView.height});
  ++mPaintCount;
}

// ---- Picking ---------------------------------------------------------------------------

AcDbObjectId DrawingView::pickAt(int x, int y) {
  const double tolerance = kPickBox / mView.scale;
  const Point2 at = mView.toDrawing(x, y);
  mList.query(Box2{at.x - tolerance, at.y - tolerance, at.x + tolerance, at.y + tolerance}, mCandidates);
  mRenderer.begin(mMemDc, mList, mView);
  AcDbObjectId best;
  double bestDistance = tolerance;
  // The nearest; of equals the one drawn last (on top).
  for (uint32_t index : mCandidates) {
    const DisplayItem& item = mList.items()[index];
    if (!mRenderer.isShown(item)) continue;
    const double d = hittest::distance(item, at);
    if (d <= bestDistance) {
      bestDistance = d;
      best = item.id;
    }
  }
  return best;
}

std::vector<AcDbObjectId> DrawingView::selectWindow(POINT from, POINT to) {
  const bool crossing = to.x < from.x;
  const Box2 window = mView.drawingBox(std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x),
                                       std::max(from.y, to.y));
  mList.query(window, mCandidates);
  mRenderer.begin(mMemDc, mList, mView);
  std::vector<AcDbObjectId> selected;
  for (uint32_t index : mCandidates) {
    const DisplayItem& item = mList.items()[index];
    if (!mRenderer.isShown(item)) continue;
    if (crossing ? hittest::crossesWindow(item, window) : hittest::insideWindow(item, window)) selected.push_back(item.id);
  }
  return selected;
}

RECT DrawingView::screenBoxOf(AcDbObjectId id) const {
  const DisplayItem* item = mList.find(id);
  if (item == nullptr || !item->live || item->bounds.empty()) return RECT{};
  const Point2 a = mView.toScreen({item->bounds.minX, item->bounds.maxY});
  const Point2 b = mView.toScreen({item->bounds.maxX, item->bounds.minY});
  return RECT{static_cast<LONG>(std::floor(a.x)), static_cast<LONG>(std::floor(a.y)), static_cast<LONG>(std::ceil(b.x)),
              static_cast<LONG>(std::ceil(b.y))};
}

std::vector<COLORREF> DrawingView::screenPixels() const {
  std::vector<COLORREF> pixels;
  const int w = mView.width, h = mView.height;
  HDC screen = GetDC(mWindow);
  HDC copy = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    // A 32-bit DIB holds 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
    const auto* data = static_cast<const DWORD*>(bits);
    pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (size_t i = 0, n = static_cast<size_t>(w) * static_cast<size_t>(h); i < n; ++i)
      pixels.push_back(RGB((data[i] >> 16) & 0xFF, (data[i] >> 8) & 0xFF, data[i] & 0xFF));
    SelectObject(copy, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(copy);
  ReleaseDC(mWindow, screen);
  return pixels;
}

// ---- The mouse -------------------------------------------------------------------------

void DrawingView::select(std::vector<AcDbObjectId> ids, bool removing) {
  if (mTarget == nullptr) return;
  UserInput input;
  input.kind = UserInput::Kind::Objects;
  input.objects = std::move(ids);
  input.removing = removing;
  mTarget->submit(std::move(input));
}

void DrawingView::mouseDown(int x, int y, bool shift) {
  if (mTarget == nullptr) return;
  const InputKind kind = mTarget->inputKind();
  if (kind == InputKind::Point) {
    UserInput input;
    input.kind = UserInput::Kind::Point;
    input.point = mView.toDrawing(x, y);
    mTarget->submit(std::move(input));
    return;
  }
  if (kind != InputKind::Command && kind != InputKind::Objects) return;
  if (mWindowPending) {  // the second corner of a window begun with a click
    mWindowPending = false;
    hideBand();
    select(selectWindow(mAnchor, POINT{x, y}), mShiftAtPress || shift);
    return;
  }
  mDrag = Drag::Pressed;
  mAnchor = mLast = {x, y};
  mShiftAtPress = shift;
  SetCapture(mWindow);
}

void DrawingView::mouseMove(int x, int y) {
  if (mTarget) mTarget->cursorMoved(mView.toDrawing(x, y));
  if (mDrag == Drag::Panning) {
    panBy(x - mLast.x, y - mLast.y);
    mLast = {x, y};
    return;
  }
  if (mDrag == Drag::Pressed && (std::abs(x - mAnchor.x) > kDragThreshold || std::abs(y - mAnchor.y) > kDragThreshold))
    mDrag = Drag::Window;
  if (mDrag == Drag::Window || mWindowPending) showBand(POINT{x, y});
}

void DrawingView::mouseUp(int x, int y) {
  const Drag drag = mDrag;
  if (drag != Drag::Pressed && drag != Drag::Window) return;
  mDrag = Drag::None;
  ReleaseCapture();
  if (drag == Drag::Window) {
    hideBand();
    select(selectWindow(mAnchor, POINT{x, y}), mShiftAtPress);
    return;
  }
  const AcDbObjectId picked = pickAt(x, y);
  if (!picked.isNull()) {
    select({picked}, mShiftAtPress);
    return;
  }
  // A click on nothing begins a window; the next click ends it.
  mWindowPending = true;
  showBand(POINT{x, y});
}

void DrawingView::cancelWindow() {
  mWindowPending = false;
  if (mDrag == Drag::Window || mDrag == Drag::Pressed) {
    mDrag = Drag::None;
    ReleaseCapture();
  }
  hideBand();
}

void DrawingView::hideBand() {
  if (!mBandShown) return;
  mBandShown = false;
  RECT r = mBand;
  InflateRect(&r, 1, 1);
  present(r);
}

void DrawingView::showBand(POINT to) {
  hideBand();
  RECT band{std::min(mAnchor.x, to.x), std::min(mAnchor.y, to.y), std::max(mAnchor.x, to.x), std::max(mAnchor.y, to.y)};
  if (band.right - band.left < 1 || band.bottom - band.top < 1) return;
  const bool crossing = to.x < mAnchor.x;
  const COLORREF color = crossing ? kCrossingColor : kWindowColor;
  HDC dc = GetDC(mWindow);
  // The band is drawn over what the buffer shows, tinted: the buffer itself stays clean.
  HDC tint = CreateCompatibleDC(dc);
  HBITMAP one = CreateCompatibleBitmap(dc, 1, 1);
  HGDIOBJ previous = SelectObject(tint, one);
  SetPixelV(tint, 0, 0, color);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 48, 0};
  AlphaBlend(dc, band.left, band.top, band.right - band.left, band.bottom - band.top, tint, 0, 0, 1, 1, blend);
  SelectObject(tint, previous);
  DeleteObject(one);
  DeleteDC(tint);
  HPEN pen = CreatePen(crossing ? PS_DASH : PS_SOLID, 1, color);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, band.left, band.top, band.right, band.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  ReleaseDC(mWindow, dc);
  mBand = band;
  mBandShown = true;
}

}  // namespace cadhost::app
