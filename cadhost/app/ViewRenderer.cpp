// Painting display items; see ViewRenderer.h.
#include "ViewRenderer.h"

#include <cmath>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"
#include "TextLayout.h"

namespace cadhost::app {

namespace {

// GDI takes coordinates of 27 bits at most; a view zoomed far in keeps its lines within that.
constexpr double kFarthest = 1 << 26;

LONG pixel(double v) { return static_cast<LONG>(std::lround(std::clamp(v, -kFarthest, kFarthest))); }

COLORREF fromHsv(double hue, double saturation, double value) {
  const double c = value * saturation, h = std::fmod(hue / 60.0, 6.0);
  const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1)), m = value - c;
  double r = 0, g = 0, b = 0;
  if (h < 1) r = c, g = x;
  else if (h < 2) r = x, g = c;
  else if (h < 3) g = c, b = x;
  else if (h < 4) g = x, b = c;
  else if (h < 5) r = x, b = c;
  else r = c, b = x;
  auto channel = [](double v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return RGB(channel(r + m), channel(g + m), channel(b + m));
}

}  // namespace

COLORREF ViewRenderer::aciColor(int aci) {
  static const COLORREF kFirst[] = {RGB(255, 255, 255), RGB(255, 0, 0),   RGB(255, 255, 0),
                                    RGB(0, 255, 0),     RGB(0, 255, 255), RGB(0, 0, 255),
                                    RGB(255, 0, 255),   RGB(255, 255, 255), RGB(128, 128, 128),
                                    RGB(192, 192, 192)};
  static const BYTE kGrays[] = {51, 91, 132, 173, 214, 255};
  if (aci >= 0 && aci <= 9) return kFirst[aci];
  if (aci >= 250 && aci <= 255) return RGB(kGrays[aci - 250], kGrays[aci - 250], kGrays[aci - 250]);
  if (aci < 10 || aci > 249) return RGB(255, 255, 255);
  // Hues 15 degrees apart; five shades in pairs, the second of each pair paler.
  static const double kValues[] = {1.0, 0.65, 0.5, 0.3, 0.15};
  const int hue = (aci - 10) / 10, shade = aci % 10;
  return fromHsv(hue * 15.0, shade % 2 ? 0.5 : 1.0, kValues[shade / 2]);
}

ViewRenderer::~ViewRenderer() {
  for (auto& [key, pen] : mPens) DeleteObject(pen);
  for (auto& [key, brush] : mBrushes) DeleteObject(brush);
}

void ViewRenderer::begin(HDC dc, const DisplayList& list, const ViewTransform& view) {
  mDc = dc;
  mList = &list;
  mView = view;
  mToScreen = view.toScreenMap();
  mLayers.clear();
  SetGraphicsMode(dc, GM_ADVANCED);
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
}

const ViewRenderer::LayerState& ViewRenderer::layer(AcDbObjectId id) {
  const auto it = mLayers.find(id.stub());
  if (it != mLayers.end()) return it->second;
  LayerState state;
  cadhost::HostReadScope hostReads;
  if (const auto* record = AcDbCore::objectAs<AcDbLayerTableRecord>(id)) {
    state.shown = !record->isOff() && !record->isFrozen() && !id.isErased();
    state.aci = record->colorIndex();
  }
  return mLayers.emplace(id.stub(), state).first->second;
}

bool ViewRenderer::isShown(const DisplayItem& item) { return layer(mList->paint(item.paint).layer).shown; }

bool ViewRenderer::colorOf(uint16_t index, COLORREF& color) {
  const Paint& paint = mList->paint(index);
  if (!layer(paint.layer).shown) return false;
  if (paint.byRgb) color = paint.rgb;
  else if (paint.aci == 256) color = aciColor(std::abs(layer(paint.colorLayer).aci));
  else color = aciColor(paint.aci);
  return true;
}

HPEN ViewRenderer::pen(COLORREF color, bool dashed) {
  auto& slot = mPens[{color, dashed}];
  if (slot == nullptr) slot = CreatePen(dashed ? PS_DOT : PS_SOLID, 1, color);
  return slot;
}

HBRUSH ViewRenderer::brush(COLORREF color) {
  auto& slot = mBrushes[color];
  if (slot == nullptr) slot = CreateSolidBrush(color);
  return slot;
}

void ViewRenderer::draw(const DisplayItem& item, bool highlighted) {
  if (!item.live || !isShown(item)) return;
  // An item smaller than a pixel is a pixel.
  const Point2 lo = mView.toScreen({item.bounds.minX, item.bounds.minY});
  const Point2 hi = mView.toScreen({item.bounds.maxX, item.bounds.maxY});
  if (std::fabs(hi.x - lo.x) < 1 && std::fabs(hi.y - lo.y) < 1) {
    for (const Primitive& p : item.primitives) {
      COLORREF color;
      if (!colorOf(p.paint, color)) continue;
      SetPixelV(mDc, pixel((lo.x + hi.x) / 2), pixel((lo.y + hi.y) / 2), highlighted ? kHighlight : color);
      break;
    }
    return;
  }
  for (const Primitive& p : item.primitives) {
    COLORREF color;
    if (!colorOf(p.paint, color)) continue;
    if (highlighted) color = kHighlight;
    if (p.kind == Primitive::Kind::Text) {
      drawText(item, p, color, highlighted);
      continue;
    }
    mPoints.clear();
    for (uint32_t k = 0; k < p.count; ++k) {
      const Point2 s = mView.toScreen(item.points[p.first + k]);
      mPoints.push_back({pixel(s.x), pixel(s.y)});
    }
    switch (p.kind) {
      case Primitive::Kind::Polyline:
        if (p.closed) mPoints.push_back(mPoints.front());
        SelectObject(mDc, pen(color, highlighted));
        Polyline(mDc, mPoints.data(), static_cast<int>(mPoints.size()));
        break;
      case Primitive::Kind::Polygon:
        SelectObject(mDc, pen(color, false));
        SelectObject(mDc, brush(color));
        Polygon(mDc, mPoints.data(), static_cast<int>(mPoints.size()));
        break;
      case Primitive::Kind::Dot:
        SetPixelV(mDc, mPoints[0].x, mPoints[0].y, color);
        break;
      case Primitive::Kind::Text:
        break;
    }
  }
}

void ViewRenderer::drawText(const DisplayItem& item, const Primitive& p, COLORREF color, bool highlighted) {
  const TextPrimitive& t = item.texts[static_cast<size_t>(p.text)];
  const Affine2 m = mToScreen * t.frame;  // font units to pixels
  int width = 0;
  for (int a : t.advances) width += a;
  auto along = [&](double y) {  // a line along the text at a height in font units
    const Point2 a = m.apply({0, y}), b = m.apply({static_cast<double>(width), y});
    mPoints = {{pixel(a.x), pixel(a.y)}, {pixel(b.x), pixel(b.y)}};
    SelectObject(mDc, pen(color, false));
    Polyline(mDc, mPoints.data(), 2);
  };
  const Point2 up = m.applyVector({0, t.capHeight});
  const double capPixels = std::hypot(up.x, up.y);
  if (capPixels < kReadablePixels) {
    // Too small to read: a bar where the text stands, from its baseline to most of its capitals.
    if (capPixels < 1.5) {
      along(t.capHeight / 3);
      return;
    }
    mPoints.clear();
    for (const Point2& corner : {Point2{0, 0}, Point2{double(width), 0}, Point2{double(width), t.capHeight * 0.7},
                                 Point2{0, t.capHeight * 0.7}}) {
      const Point2 s = m.apply(corner);
      mPoints.push_back({pixel(s.x), pixel(s.y)});
    }
    SelectObject(mDc, pen(color, false));
    SelectObject(mDc, brush(color));
    Polygon(mDc, mPoints.data(), 4);
    return;
  }
  SetTextColor(mDc, color);
  const double pixelsPerUnit = -m.d;  // (the screen's y runs downwards)
  const bool upright = m.a > 0 && pixelsPerUnit > 0 && std::fabs(m.b) <= 1e-9 * m.a && std::fabs(m.c) <= 1e-9 * pixelsPerUnit;
  if (upright && capPixels < kFittedBelow) {
    // Small upright text is drawn in the face at its size in pixels, its glyphs fitted to the
    // pixels and spaced with the face's own advances at that size, stretched evenly to the width
    // it was laid out with: evenly spaced, and where it was measured.
    const int emPixels = std::max(1, static_cast<int>(std::lround(pixelsPerUnit * FontCatalog::kEm)));
    const FontCatalog::SizedFont& font = mFonts.sized(t.face, emPixels, m.a / pixelsPerUnit);
    mAdvances.clear();
    int fitted = 0;
    for (wchar_t c : t.text) {
      mAdvances.push_back(mFonts.advance(font, c));
      fitted += mAdvances.back();
    }
    const int n = static_cast<int>(mAdvances.size());
    const int spare = static_cast<int>(std::lround(width * m.a)) - fitted;
    for (int i = 0; i < n; ++i) mAdvances[static_cast<size_t>(i)] += (i + 1) * spare / n - i * spare / n;
    SelectObject(mDc, font.font);
    ExtTextOutW(mDc, pixel(m.e), pixel(m.f), 0, nullptr, t.text.c_str(), static_cast<UINT>(n), mAdvances.data());
  } else {
    drawTransformedText(t, m);
  }
  if (t.lines & kUnderline) along(-t.capHeight * 0.15);
  if (t.lines & kOverline) along(t.capHeight * 1.2);
  if (t.lines & kStrikeThrough) along(t.capHeight * 0.45);
  if (highlighted) {
    mPoints.clear();
    for (uint32_t k = 0; k < p.count; ++k) {
      const Point2 s = mView.toScreen(item.points[p.first + k]);
      mPoints.push_back({pixel(s.x), pixel(s.y)});
    }
    mPoints.push_back(mPoints.front());
    SelectObject(mDc, pen(color, true));
    Polyline(mDc, mPoints.data(), static_cast<int>(mPoints.size()));
  }
}

void ViewRenderer::drawTransformedText(const TextPrimitive& t, const Affine2& m) {
  // GDI's text runs downwards: the font's y is turned over first.
  const Affine2 g = m * Affine2::scaling(1, -1);
  const XFORM xf{static_cast<FLOAT>(g.a), static_cast<FLOAT>(g.b), static_cast<FLOAT>(g.c),
                 static_cast<FLOAT>(g.d), static_cast<FLOAT>(g.e), static_cast<FLOAT>(g.f)};
  if (SetWorldTransform(mDc, &xf)) {
    SelectObject(mDc, mFonts.face(t.face).font);
    ExtTextOutW(mDc, 0, 0, 0, nullptr, t.text.c_str(), static_cast<UINT>(t.text.size()), t.advances.data());
    ModifyWorldTransform(mDc, nullptr, MWT_IDENTITY);
  }
}

}  // namespace cadhost::app
