// The host program's drawing window; see DrawingWindow.h.
#include "DrawingWindow.h"

#include <cmath>
#include <vector>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"
#include "../core/textgeometry.h"

namespace cadhost::app {

namespace {

constexpr wchar_t kClassName[] = L"CadhostDrawingWindow";
constexpr COLORREF kBackground = RGB(33, 40, 48);

COLORREF aciColor(int index) {
  switch (index) {
    case 1: return RGB(255, 0, 0);
    case 2: return RGB(255, 255, 0);
    case 3: return RGB(0, 255, 0);
    case 4: return RGB(0, 255, 255);
    case 5: return RGB(0, 0, 255);
    case 6: return RGB(255, 0, 255);
    case 7: return RGB(255, 255, 255);
    case 8: return RGB(128, 128, 128);
    case 9: return RGB(192, 192, 192);
    default: return RGB(200, 200, 200);
  }
}

// Model coordinates to window pixels.
struct View {
  double scale = 1, originX = 0, originY = 0;
  int height = 0;
  POINT toScreen(double x, double y) const {
    return POINT{static_cast<LONG>(std::lround((x - originX) * scale)),
                 static_cast<LONG>(std::lround(height - (y - originY) * scale))};
  }
};

// A placement of block contents: scale, rotation, translation.
struct Placement {
  double scaleX = 1, scaleY = 1, rotation = 0, dx = 0, dy = 0, baseX = 0, baseY = 0;
  AcGePoint3d apply(const AcGePoint3d& p) const {
    const double x = (p.x - baseX) * scaleX, y = (p.y - baseY) * scaleY;
    const double c = std::cos(rotation), s = std::sin(rotation);
    return AcGePoint3d(dx + x * c - y * s, dy + x * s + y * c, p.z);
  }
  Placement then(const Placement& inner) const {  // inner applied first, then this
    Placement combined = inner;
    const AcGePoint3d origin = apply(AcGePoint3d(inner.dx, inner.dy, 0));
    combined.dx = origin.x;
    combined.dy = origin.y;
    combined.rotation = inner.rotation + rotation;
    combined.scaleX = inner.scaleX * scaleX;
    combined.scaleY = inner.scaleY * scaleY;
    return combined;
  }
};

class Painter {
 public:
  Painter(HDC dc, const View& view) : mDc(dc), mView(view) {}

  void drawBlock(const AcDbBlockTableRecord* block, const Placement& placement, int depth) {
    if (block == nullptr || depth > 16) return;  // a block that inserts itself draws nothing deeper
    for (AcDbObjectId id : AcDbCore::entities(block)) {
      const auto* entity = AcDbCore::objectAs<AcDbEntity>(id);
      if (entity == nullptr || id.isErased() || !cadhost::isOnShownLayer(entity)) continue;
      setPen(entity);
      drawEntity(entity, placement, depth);
    }
  }

 private:
  void setPen(const AcDbEntity* entity) {
    int color = entity->colorIndex();
    if (color == AcDb::kByLayer || color == AcDb::kByBlock) {
      const auto* layer = AcDbCore::objectAs<AcDbLayerTableRecord>(entity->layerId());
      color = layer ? layer->colorIndex() : 7;
    }
    mColor = aciColor(color);
    if (mPen) DeleteObject(mPen);
    mPen = CreatePen(PS_SOLID, 1, mColor);
    SelectObject(mDc, mPen);
    SetTextColor(mDc, mColor);
  }

  void line(const Placement& pl, const AcGePoint3d& a, const AcGePoint3d& b) {
    const AcGePoint3d pa = pl.apply(a), pb = pl.apply(b);
    const POINT sa = mView.toScreen(pa.x, pa.y), sb = mView.toScreen(pb.x, pb.y);
    MoveToEx(mDc, sa.x, sa.y, nullptr);
    LineTo(mDc, sb.x, sb.y);
  }

  void arc(const Placement& pl, const AcGePoint3d& center, double radius, double start, double end) {
    double sweep = end - start;
    while (sweep <= 0) sweep += 2 * M_PI;
    const int steps = std::max(8, static_cast<int>(sweep * 16));
    AcGePoint3d previous(center.x + radius * std::cos(start), center.y + radius * std::sin(start), 0);
    for (int i = 1; i <= steps; ++i) {
      const double a = start + sweep * i / steps;
      const AcGePoint3d next(center.x + radius * std::cos(a), center.y + radius * std::sin(a), 0);
      line(pl, previous, next);
      previous = next;
    }
  }

  void text(const Placement& pl, const AcGePoint3d& at, double height, double rotation, double widthFactor,
            const std::wstring& content) {
    const AcGePoint3d p = pl.apply(at);
    const double pixels = height * pl.scaleY * mView.scale;
    if (pixels < 1 || content.empty()) return;
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(pixels * 1.3));  // capitals reach the text height
    font.lfWidth = widthFactor != 1.0 ? static_cast<LONG>(std::lround(pixels * 0.55 * widthFactor)) : 0;
    const double degrees = (rotation + pl.rotation) * 180.0 / M_PI;
    font.lfEscapement = font.lfOrientation = static_cast<LONG>(std::lround(degrees * 10));
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = ANTIALIASED_QUALITY;
    wcscpy(font.lfFaceName, L"Arial");
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ previous = SelectObject(mDc, handle);
    SetTextAlign(mDc, TA_BASELINE | TA_LEFT);
    const POINT s = mView.toScreen(p.x, p.y);
    TextOutW(mDc, s.x, s.y, content.c_str(), static_cast<int>(content.size()));
    SelectObject(mDc, previous);
    DeleteObject(handle);
  }

  void drawEntity(const AcDbEntity* entity, const Placement& pl, int depth) {
    if (const auto* l = AcDbLine::cast(entity)) {
      line(pl, l->startPoint(), l->endPoint());
    } else if (const auto* c = AcDbCircle::cast(entity)) {
      arc(pl, c->center(), c->radius(), 0, 2 * M_PI);
    } else if (const auto* a = AcDbArc::cast(entity)) {
      arc(pl, a->center(), a->radius(), a->startAngle(), a->endAngle());
    } else if (const auto* p = AcDbPolyline::cast(entity)) {
      const unsigned n = p->numVerts();
      for (unsigned i = 0; i + 1 < n + (p->isClosed() ? 1u : 0u); ++i) {
        AcGePoint2d u, v;
        p->getPointAt(i, u);
        p->getPointAt((i + 1) % n, v);
        line(pl, AcGePoint3d(u.x, u.y, 0), AcGePoint3d(v.x, v.y, 0));
      }
    } else if (const auto* t = AcDbText::cast(entity)) {
      text(pl, t->position(), t->height(), t->rotation(), t->widthFactor(), t->textStringConst());
    } else if (const auto* m = AcDbMText::cast(entity)) {
      drawMText(m, pl);
    } else if (const auto* d = AcDbDimension::cast(entity)) {
      drawDimension(d, pl);
    } else if (const auto* r = AcDbBlockReference::cast(entity)) {
      const AcGeVector3d scale = r->scaleFactors();
      const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(r->blockTableRecord());
      if (block == nullptr) return;
      Placement inner{scale.x, scale.y, r->rotation(), r->position().x, r->position().y, block->origin().x,
                      block->origin().y};
      drawBlock(block, pl.then(inner), depth + 1);
    }
  }

  void drawMText(const AcDbMText* m, const Placement& pl) {
    AcDbExtents box;
    m->getGeomExtents(box);
    const std::wstring plain = textgeometry::stripMTextFormatting(m->contentsConst());
    const double h = m->textHeight(), step = textgeometry::kLineStep * h * m->lineSpacingFactor();
    const double c = std::cos(m->rotation()), s = std::sin(m->rotation());
    // The box's top left corner, then one line after another.
    const double w = m->width() > 0 ? m->width() : m->actualWidth();
    const int column = (m->attachment() - 1) % 3, row = (m->attachment() - 1) / 3;
    const double left = -w * column / 2.0, top = m->actualHeight() * row / 2.0;
    size_t start = 0;
    for (int lineIndex = 0; start <= plain.size(); ++lineIndex) {
      const size_t end = plain.find(L'\n', start);
      const std::wstring lineText = plain.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      const double across = top - h - lineIndex * step;
      const AcGePoint3d at(m->location().x + left * c - across * s, m->location().y + left * s + across * c, 0);
      text(pl, at, h, m->rotation(), 1.0, lineText);
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
  }

  void drawDimension(const AcDbDimension* d, const Placement& pl) {
    if (const auto* a = AcDbAlignedDimension::cast(d)) {
      // Extension lines to the dimension line, which passes through the dimension line point.
      const AcGePoint3d p1 = a->xLine1Point(), p2 = a->xLine2Point(), dl = a->dimLinePoint();
      double angle = std::atan2(p2.y - p1.y, p2.x - p1.x);
      if (const auto* r = AcDbRotatedDimension::cast(d)) angle = r->rotation();
      const double ux = std::cos(angle), uy = std::sin(angle);
      auto onLine = [&](const AcGePoint3d& p) {
        const double t = (p.x - dl.x) * ux + (p.y - dl.y) * uy;
        return AcGePoint3d(dl.x + t * ux, dl.y + t * uy, 0);
      };
      const AcGePoint3d e1 = onLine(p1), e2 = onLine(p2);
      line(pl, p1, e1);
      line(pl, p2, e2);
      line(pl, e1, e2);
    } else if (const auto* r = AcDbRadialDimension::cast(d)) {
      line(pl, r->center(), r->chordPoint());
    } else if (const auto* dm = AcDbDiametricDimension::cast(d)) {
      line(pl, dm->chordPoint(), dm->farChordPoint());
    } else if (const auto* o = AcDbOrdinateDimension::cast(d)) {
      line(pl, o->definingPoint(), o->leaderEndPoint());
    } else if (const auto* an = AcDb2LineAngularDimension::cast(d)) {
      line(pl, an->xLine1Start(), an->xLine1End());
      line(pl, an->xLine2Start(), an->xLine2End());
    } else if (const auto* a3 = AcDb3PointAngularDimension::cast(d)) {
      line(pl, a3->centerPoint(), a3->xLine1Point());
      line(pl, a3->centerPoint(), a3->xLine2Point());
    }
    const double h = d->dimtxt();
    const std::wstring content = d->formattedText().kwszPtr();
    const double width = textgeometry::estimatedWidth(content, h, 1.0);
    const AcGePoint3d at = d->textPosition();
    text(pl, AcGePoint3d(at.x - width / 2, at.y - h / 2, 0), h, d->textRotation(), 1.0, content);
  }

  HDC mDc;
  View mView;
  HPEN mPen = nullptr;
  COLORREF mColor = RGB(255, 255, 255);

 public:
  ~Painter() {
    if (mPen) DeleteObject(mPen);
  }
};

}  // namespace

DrawingWindow::~DrawingWindow() {
  cadhost::setHostEventListener(nullptr);
  cadhost::setMainWindow(nullptr);
  if (mWindow) DestroyWindow(mWindow);
}

bool DrawingWindow::create(bool visible) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &DrawingWindow::windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_CROSS);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second registration fails harmlessly
  mWindow = CreateWindowExW(0, kClassName, L"cadhost", WS_OVERLAPPEDWINDOW, 40, 40, 1000, 700, nullptr, nullptr,
                            wc.hInstance, this);
  if (mWindow == nullptr) return false;
  if (visible) {
    ShowWindow(mWindow, SW_SHOWNORMAL);
    UpdateWindow(mWindow);
  }
  cadhost::setMainWindow(mWindow);
  cadhost::setHostEventListener([this](const cadhost::HostEvent& event) {
    using K = cadhost::HostEventKind;
    if (event.kind == K::GraphicsFlushed || event.kind == K::DisplayUpdated || event.kind == K::Redrawn) refresh();
  });
  return true;
}

void DrawingWindow::refresh() {
  if (mWindow == nullptr) return;
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  std::wstring title = L"cadhost";
  if (doc != nullptr) {
    title += L" - ";
    title += *doc->fileName() ? doc->fileName() : doc->docTitle();
  }
  SetWindowTextW(mWindow, title.c_str());
  InvalidateRect(mWindow, nullptr, FALSE);
  UpdateWindow(mWindow);
}

LRESULT CALLBACK DrawingWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<DrawingWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<DrawingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_PAINT && self != nullptr) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    // Drawn off screen first, so that a refresh while text is typed does not flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    self->paint(memory, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_SIZE) InvalidateRect(hwnd, nullptr, FALSE);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DrawingWindow::paint(HDC dc, const RECT& client) {
  ++mPaintCount;
  cadhost::HostReadScope hostReads;  // the host draws its own database
  HBRUSH background = CreateSolidBrush(kBackground);
  FillRect(dc, &client, background);
  DeleteObject(background);
  SetBkMode(dc, TRANSPARENT);
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  if (doc == nullptr || doc->database() == nullptr) return;
  const auto* space = AcDbCore::objectAs<AcDbBlockTableRecord>(doc->database()->currentSpaceId());
  if (space == nullptr) return;

  // Fit the drawing's extents into the window with a margin.
  AcDbExtents all;
  for (AcDbObjectId id : AcDbCore::entities(space)) {
    const auto* entity = AcDbCore::objectAs<AcDbEntity>(id);
    AcDbExtents box;
    if (entity && !id.isErased() && entity->getGeomExtents(box) == Acad::eOk) all.addExt(box);
  }
  if (all.isEmpty()) return;
  const double width = std::max(all.maxPoint().x - all.minPoint().x, 1e-9);
  const double height = std::max(all.maxPoint().y - all.minPoint().y, 1e-9);
  const double margin = 0.05;
  View view;
  view.height = client.bottom;
  view.scale = std::min(client.right * (1 - 2 * margin) / width, client.bottom * (1 - 2 * margin) / height);
  view.originX = all.minPoint().x - (client.right / view.scale - width) / 2;
  view.originY = all.minPoint().y - (client.bottom / view.scale - height) / 2;
  Painter painter(dc, view);
  painter.drawBlock(space, Placement{}, 0);
}

}  // namespace cadhost::app
