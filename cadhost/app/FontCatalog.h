// The faces the drawing view draws text in, and their measures. A text style names a font file
// (arial.ttf, arialn.ttf, simplex.shx, ...); the view maps it to a face the system has, with a
// fallback of the same kind (a narrow face for a narrow one, a sans face for stroke fonts). Every
// face is measured once, at a reference size of kEm pixels per em: its cap height (the height a
// drawing's text height gives its capitals), ascent, descent and the advance of each character.
// Text is laid out with these advances and drawn with them, so that what is drawn is what is
// measured and picked.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "dbid.h"

class AcDbTextStyleTableRecord;

namespace cadhost::app {

class FontCatalog {
 public:
  static constexpr int kEm = 256;  // font units per em of the reference size

  struct Face {
    std::wstring family;  // the family asked for
    std::wstring drawn;   // the family the system draws it with
    bool bold = false, italic = false;
    double widthScale = 1;  // a narrow face the system lacks: a regular one, narrowed
    HFONT font = nullptr;   // at kEm
    double capHeight = 0.7 * kEm, ascent = 0.9 * kEm, descent = 0.2 * kEm;  // font units
    mutable std::unordered_map<int, std::array<short, 256>> advances;  // by page of 256 characters
  };

  FontCatalog();
  ~FontCatalog();
  FontCatalog(const FontCatalog&) = delete;
  FontCatalog& operator=(const FontCatalog&) = delete;

  // A face by family name (an MTEXT \f code); the system's nearest when it lacks the family.
  int faceFor(const std::wstring& family, bool bold, bool italic);
  // The face of a text style's font file (read as the host, without opening the style).
  int faceForStyle(AcDbObjectId style);
  // The face for a font file name ("arialbd.ttf", "simplex.shx", "txt").
  int faceForFontFile(const std::wstring& fontFile);
  const Face& face(int index) const { return *mFaces[static_cast<size_t>(index)]; }
  // The advance of a character in font units of the face as the system draws it (before
  // widthScale, which the drawing of the text applies).
  int advance(int faceIndex, wchar_t c) const;
  // Forgets the faces of text styles (after a drawing is opened or its styles changed).
  void forgetStyles() { mByStyle.clear(); }

  // The face at a size in pixels per em, narrowed or widened by a ratio, with the system's own
  // advances at that size: small upright text is drawn in it, its glyphs fitted to the pixels.
  struct SizedFont {
    HFONT font = nullptr;
    mutable std::unordered_map<int, std::array<short, 256>> advances;
  };
  const SizedFont& sized(int faceIndex, int emPixels, double widthRatio);
  int advance(const SizedFont& font, wchar_t c) const;

 private:
  bool systemHas(const std::wstring& family);
  int addFace(const std::wstring& family, const std::wstring& drawn, bool bold, bool italic, double widthScale);

  HDC mDc = nullptr;
  std::vector<std::unique_ptr<Face>> mFaces;
  std::map<std::wstring, int> mByKey;            // family|bold|italic
  std::unordered_map<AcDbStub*, int> mByStyle;  // text style to face
  std::map<std::wstring, bool> mSystemFamilies;  // upper-case family: whether the system has it
  std::map<std::tuple<int, int, int>, SizedFont> mSized;  // face, pixels per em, width in thousandths
};

}  // namespace cadhost::app
