// Laying out the text of TEXT and MTEXT as the drawing view draws it: the special codes of single-
// line text (%%d, %%u, ...), and multi-line text with its paragraphs, lines wrapped to the text's
// width, line spacing, attachment and the simple inline codes (\P, \L, \O, \K, \H, \W, \Q, \T,
// \C, \c, \f, \F, \S, \~, \U+, braces); other codes are left out of what is drawn. Widths come
// from the faces' measures (FontCatalog), so the layout is what the view draws and picks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FontCatalog.h"

namespace cadhost::app {

constexpr uint8_t kUnderline = 1, kOverline = 2, kStrikeThrough = 4;

// How a run of text looks.
struct RunStyle {
  int face = 0;
  double height = 1;       // of the capitals, in drawing units
  double widthFactor = 1;
  double oblique = 0;      // radians
  double tracking = 1;     // spacing of the characters, as a factor
  uint8_t lines = 0;       // kUnderline | kOverline | kStrikeThrough
  int aci = -1;            // a colour of its own (\C); -1: the entity's
  COLORREF rgb = 0;        // a true colour of its own (\c), when hasRgb
  bool hasRgb = false;
  bool operator==(const RunStyle&) const = default;
};

// A run of characters of one style on one baseline.
struct LaidRun {
  std::wstring text;
  std::vector<int> advances;  // font units of the face (tracking included)
  RunStyle style;
  double x = 0, y = 0;        // the start of its baseline, in the text's own frame (drawing units)
  double width = 0;           // drawing units
};

// The drawing units per font unit of a run's face along and across its baseline.
double unitsAcross(const RunStyle& style, const FontCatalog& fonts);
double unitsAlong(const RunStyle& style, const FontCatalog& fonts);

// Single-line text: its runs side by side on the baseline from x = 0; width is their total.
std::vector<LaidRun> layoutSingleLine(const std::wstring& text, const RunStyle& style, FontCatalog& fonts,
                                      double& width);

// Multi-line text placed about its attachment point (the frame's origin): lines wrapped to width
// (none when 0), kLineStep x height x lineSpacingFactor apart, each line left, centred or right in
// the box as the attachment's column says. The box's size is given back too.
struct MTextLayout {
  std::vector<LaidRun> runs;
  double boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
};
MTextLayout layoutMText(const std::wstring& contents, const RunStyle& style, double width,
                        double lineSpacingFactor, int attachment, FontCatalog& fonts);

}  // namespace cadhost::app
