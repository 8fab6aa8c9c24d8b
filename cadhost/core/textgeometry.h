// The host's estimate of the size of text. Without the fonts themselves the host measures text
// with one simple model, used wherever a text's size matters: placing a justified TEXT from its
// alignment point, extents for window selection, the size of MTEXT.
//
//   - every visible character advances by kAdvance x height x width factor;
//   - capitals reach one height above the baseline; descenders reach kDescent x height below;
//   - the special codes %%d %%c %%p %%nnn and %%% each draw one character, %%u %%o %%k none;
//   - MTEXT lines are kLineStep x height x line spacing factor apart.
#pragma once

#include <string>

#include "../sdk/adesk.h"

namespace textgeometry {

constexpr double kAdvance = 0.8;
constexpr double kDescent = 0.3;
constexpr double kLineStep = 5.0 / 3.0;

// The number of characters single-line text draws.
ACCORE_PORT int drawnCharacterCount(const std::wstring& text);
ACCORE_PORT double estimatedWidth(const std::wstring& text, double height, double widthFactor);

// Offsets of a TEXT's alignment point from its insertion point, along the text direction and
// across it, for a justification (horizontal mode 0..5, vertical mode 0..3).
struct JustificationOffset {
  double along = 0;
  double across = 0;
};
ACCORE_PORT JustificationOffset justificationOffset(int horizontalMode, int verticalMode, double width, double height);

// MTEXT: the lines of contents without formatting codes (paragraphs split at "\P" and line
// feeds), as plain text.
ACCORE_PORT std::wstring stripMTextFormatting(const std::wstring& contents);

}  // namespace textgeometry
