// Text layout for the drawing view; see TextLayout.h.
#include "TextLayout.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "../core/textgeometry.h"

namespace cadhost::app {

double unitsAcross(const RunStyle& style, const FontCatalog& fonts) {
  return style.height / fonts.face(style.face).capHeight;
}

double unitsAlong(const RunStyle& style, const FontCatalog& fonts) {
  return unitsAcross(style, fonts) * style.widthFactor * fonts.face(style.face).widthScale;
}

namespace {

// A character to draw and the style it is drawn in (an index into the styles).
struct Glyph {
  wchar_t c;
  int style;
};
constexpr wchar_t kParagraph = L'\n';

void closeRun(std::vector<LaidRun>& runs, LaidRun& run, FontCatalog& fonts, double& x) {
  if (run.text.empty()) return;
  int total = 0;
  for (int a : run.advances) total += a;
  run.width = total * unitsAlong(run.style, fonts);
  x += run.width;
  runs.push_back(std::move(run));
  run = LaidRun();
}

int advanceOf(FontCatalog& fonts, const RunStyle& style, wchar_t c) {
  return static_cast<int>(std::lround(fonts.advance(style.face, c) * style.tracking));
}

// The %% codes of single-line text (also read in multi-line text): the character a code draws, or
// 0 for a toggle (its lines flag in toggle). Returns how many characters the code takes, 0 when
// there is none at i.
size_t percentCode(const std::wstring& s, size_t i, wchar_t& drawn, uint8_t& toggle) {
  drawn = 0;
  toggle = 0;
  if (s.compare(i, 2, L"%%") != 0 || i + 2 >= s.size()) return 0;
  const wchar_t code = static_cast<wchar_t>(std::towlower(s[i + 2]));
  switch (code) {
    case L'd': drawn = L'\u00B0'; return 3;
    case L'p': drawn = L'\u00B1'; return 3;
    case L'c': drawn = L'\u00D8'; return 3;
    case L'%': drawn = L'%'; return 3;
    case L'u': toggle = kUnderline; return 3;
    case L'o': toggle = kOverline; return 3;
    case L'k': toggle = kStrikeThrough; return 3;
    default: break;
  }
  if (std::iswdigit(code)) {
    size_t j = i + 2;
    int value = 0;
    while (j < s.size() && j < i + 5 && std::iswdigit(s[j])) value = value * 10 + (s[j++] - L'0');
    drawn = static_cast<wchar_t>(value);
    return j - i;
  }
  return 0;
}

}  // namespace

std::vector<LaidRun> layoutSingleLine(const std::wstring& text, const RunStyle& style, FontCatalog& fonts,
                                      double& width) {
  std::vector<LaidRun> runs;
  LaidRun run;
  run.style = style;
  double x = 0;
  for (size_t i = 0; i < text.size();) {
    wchar_t drawn;
    uint8_t toggle;
    if (const size_t taken = percentCode(text, i, drawn, toggle); taken > 0) {
      i += taken;
      if (toggle != 0) {
        const RunStyle next = [&] {
          RunStyle s = run.style;
          s.lines ^= toggle;
          return s;
        }();
        closeRun(runs, run, fonts, x);
        run.style = next;
        run.x = x;
        continue;
      }
      if (drawn == 0) continue;
      run.text += drawn;
      run.advances.push_back(advanceOf(fonts, run.style, drawn));
      continue;
    }
    const wchar_t c = text[i++];
    if (c == L'\r' || c == L'\n') continue;
    run.text += c;
    run.advances.push_back(advanceOf(fonts, run.style, c));
  }
  closeRun(runs, run, fonts, x);
  width = x;
  return runs;
}

namespace {

// Reads the MTEXT inline codes into characters with their styles.
class MTextReader {
 public:
  MTextReader(FontCatalog& fonts, const RunStyle& base) : mFonts(fonts) { mStack.push_back(base); }

  void read(const std::wstring& s) {
    for (size_t i = 0; i < s.size(); ++i) {
      const wchar_t c = s[i];
      if (c == L'{') {
        mStack.push_back(mStack.back());
        continue;
      }
      if (c == L'}') {
        if (mStack.size() > 1) mStack.pop_back();
        continue;
      }
      wchar_t drawn;
      uint8_t toggle;
      if (const size_t taken = percentCode(s, i, drawn, toggle); taken > 0) {
        if (toggle) current().lines ^= toggle;
        else if (drawn) put(drawn);
        i += taken - 1;
        continue;
      }
      if (c == L'\r') continue;
      if (c == L'\n') {
        put(kParagraph);
        continue;
      }
      if (c != L'\\' || i + 1 >= s.size()) {
        put(c);
        continue;
      }
      i = code(s, i + 1);
    }
  }

  std::vector<Glyph> glyphs;
  std::vector<RunStyle> styles;

 private:
  RunStyle& current() { return mStack.back(); }

  void put(wchar_t c) {
    if (styles.empty() || !(styles.back() == current())) styles.push_back(current());
    glyphs.push_back({c, static_cast<int>(styles.size() - 1)});
  }

  // The argument of a code that runs up to ';' (or the end); i then stands on the ';'.
  static std::wstring argument(const std::wstring& s, size_t& i) {
    const size_t end = s.find(L';', i);
    std::wstring value = s.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
    i = end == std::wstring::npos ? s.size() : end;
    return value;
  }

  // A code starting at s[i] (after the backslash); returns the index of its last character.
  size_t code(const std::wstring& s, size_t i) {
    const wchar_t code = s[i];
    RunStyle& style = current();
    switch (code) {
      case L'P': case L'N': case L'X': put(kParagraph); return i;
      case L'~': put(L'\u00A0'); return i;
      case L'\\': case L'{': case L'}': put(code); return i;
      case L'L': style.lines |= kUnderline; return i;
      case L'l': style.lines &= static_cast<uint8_t>(~kUnderline); return i;
      case L'O': style.lines |= kOverline; return i;
      case L'o': style.lines &= static_cast<uint8_t>(~kOverline); return i;
      case L'K': style.lines |= kStrikeThrough; return i;
      case L'k': style.lines &= static_cast<uint8_t>(~kStrikeThrough); return i;
      case L'U': {
        const bool escape = i + 5 < s.size() && s[i + 1] == L'+' && std::iswxdigit(s[i + 2]) &&
                            std::iswxdigit(s[i + 3]) && std::iswxdigit(s[i + 4]) && std::iswxdigit(s[i + 5]);
        if (!escape) {
          put(code);
          return i;
        }
        put(static_cast<wchar_t>(std::wcstol(s.substr(i + 2, 4).c_str(), nullptr, 16)));
        return i + 5;
      }
      case L'S': {  // stacked text: drawn as a fraction on the line
        ++i;
        std::wstring stacked = argument(s, i);
        for (auto& ch : stacked)
          if (ch == L'^' || ch == L'#') ch = L'/';
        for (wchar_t ch : stacked) put(ch);
        return i;
      }
      default: break;
    }
    ++i;
    const std::wstring value = argument(s, i);
    const double number = std::wcstod(value.c_str(), nullptr);
    switch (code) {
      case L'H':
        if (number > 0 && std::isfinite(number))
          style.height = !value.empty() && (value.back() == L'x' || value.back() == L'X') ? style.height * number : number;
        break;
      case L'W':
        if (number > 0 && std::isfinite(number)) style.widthFactor = number;
        break;
      case L'Q':
        if (std::isfinite(number) && std::fabs(number) <= 85) style.oblique = number * M_PI / 180;
        break;
      case L'T':
        if (number > 0 && std::isfinite(number)) style.tracking = std::clamp(number, 0.75, 4.0);
        break;
      case L'C': {
        const int aci = static_cast<int>(number);
        style.hasRgb = false;
        style.aci = aci >= 1 && aci <= 255 ? aci : -1;  // 0 (by block) and 256 (by layer): the entity's
        break;
      }
      case L'c': {
        const long rgb = std::wcstol(value.c_str(), nullptr, 10);
        style.hasRgb = true;
        style.rgb = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        break;
      }
      case L'f': case L'F': {
        // family|b1|i0|c204|p34 (a TrueType face), or a font file name.
        std::wstring family = value.substr(0, value.find(L'|'));
        const bool bold = value.find(L"|b1") != std::wstring::npos;
        const bool italic = value.find(L"|i1") != std::wstring::npos;
        const bool file = code == L'F' || family.find(L'.') != std::wstring::npos;
        if (!family.empty()) style.face = file ? mFonts.faceForFontFile(family) : mFonts.faceFor(family, bold, italic);
        break;
      }
      default: break;  // \A, \p and the rest: not drawn
    }
    return i;
  }

  FontCatalog& mFonts;
  std::vector<RunStyle> mStack;
};

// One line of glyphs [begin, end) as it is drawn.
struct Line {
  size_t begin = 0, end = 0;
  double width = 0, height = 0;
};

}  // namespace

MTextLayout layoutMText(const std::wstring& contents, const RunStyle& style, double width,
                        double lineSpacingFactor, int attachment, FontCatalog& fonts) {
  MTextReader reader(fonts, style);
  reader.read(contents);
  const std::vector<Glyph>& glyphs = reader.glyphs;
  const std::vector<RunStyle>& styles = reader.styles;
  auto glyphWidth = [&](const Glyph& g) {
    const RunStyle& s = styles[static_cast<size_t>(g.style)];
    return advanceOf(fonts, s, g.c) * unitsAlong(s, fonts);
  };

  // Lines: a paragraph ends one; a line wider than the text's width breaks after its last space.
  std::vector<Line> lines;
  Line line;
  size_t lastSpace = std::wstring::npos;
  double widthAtSpace = 0;
  auto finish = [&](size_t end) {
    line.end = end;
    line.height = 0;
    for (size_t k = line.begin; k < line.end; ++k)
      line.height = std::max(line.height, styles[static_cast<size_t>(glyphs[k].style)].height);
    if (line.height == 0) line.height = style.height;
    // Spaces at the end of a wrapped line take no room.
    double w = 0, trailing = 0;
    for (size_t k = line.begin; k < line.end; ++k) {
      const double gw = glyphWidth(glyphs[k]);
      if (glyphs[k].c == L' ') trailing += gw;
      else {
        w += trailing + gw;
        trailing = 0;
      }
    }
    line.width = w;
    lines.push_back(line);
    line = Line();
    lastSpace = std::wstring::npos;
  };
  for (size_t k = 0; k < glyphs.size(); ++k) {
    if (glyphs[k].c == kParagraph) {
      finish(k);
      line.begin = k + 1;
      continue;
    }
    line.width += glyphWidth(glyphs[k]);
    if (glyphs[k].c == L' ') {
      lastSpace = k;
      widthAtSpace = line.width;
    } else if (width > 0 && line.width > width && lastSpace != std::wstring::npos) {
      // The line ends after its last space; the word that did not fit starts the next one.
      const size_t next = lastSpace + 1;
      const double carried = line.width - widthAtSpace;
      finish(next);
      line.begin = next;
      line.width = carried;
    }
  }
  finish(glyphs.size());

  // Baselines: the first line's capitals touch the top; each next line is a line step lower.
  MTextLayout layout;
  double boxWidth = width;
  if (boxWidth <= 0)
    for (const Line& l : lines) boxWidth = std::max(boxWidth, l.width);
  std::vector<double> baselines;
  double y = 0;
  for (size_t n = 0; n < lines.size(); ++n) {
    y -= n == 0 ? lines[n].height : textgeometry::kLineStep * lines[n].height * lineSpacingFactor;
    baselines.push_back(y);
  }
  const double boxHeight = -y;
  const int column = (attachment - 1) % 3, row = (attachment - 1) / 3;
  layout.boxLeft = -boxWidth * column / 2.0;
  layout.boxTop = boxHeight * row / 2.0;
  layout.boxWidth = boxWidth;
  layout.boxHeight = boxHeight;
  for (size_t n = 0; n < lines.size(); ++n) {
    double x = layout.boxLeft + (boxWidth - lines[n].width) * column / 2.0;
    LaidRun run;
    run.style = style;
    run.x = x;
    run.y = layout.boxTop + baselines[n];
    int runStyle = -1;
    for (size_t k = lines[n].begin; k < lines[n].end; ++k) {
      const Glyph& g = glyphs[k];
      if (g.style != runStyle) {
        closeRun(layout.runs, run, fonts, x);
        runStyle = g.style;
        run.style = styles[static_cast<size_t>(g.style)];
        run.x = x;
        run.y = layout.boxTop + baselines[n];
      }
      run.text += g.c;
      run.advances.push_back(advanceOf(fonts, run.style, g.c));
    }
    closeRun(layout.runs, run, fonts, x);
  }
  return layout;
}

}  // namespace cadhost::app
