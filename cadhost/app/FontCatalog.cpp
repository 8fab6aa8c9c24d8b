// The drawing view's faces; see FontCatalog.h.
#include "FontCatalog.h"

#include <cmath>
#include <cwctype>

#include "../core/coreaccess.h"
#include "../core/hostservices.h"

namespace cadhost::app {

namespace {

std::wstring upper(const std::wstring& s) { return acdbUpperName(s.c_str()); }

bool contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// What a font file stands for: family and weight.
struct FontFileFace {
  const wchar_t* stem;
  const wchar_t* family;
  bool bold, italic;
};
constexpr FontFileFace kKnownFiles[] = {
    {L"ARIAL", L"Arial", false, false},          {L"ARIALBD", L"Arial", true, false},
    {L"ARIALI", L"Arial", false, true},          {L"ARIALBI", L"Arial", true, true},
    {L"ARIALN", L"Arial Narrow", false, false},  {L"ARIALNB", L"Arial Narrow", true, false},
    {L"ARIALNI", L"Arial Narrow", false, true},  {L"ARIALNBI", L"Arial Narrow", true, true},
    {L"TIMES", L"Times New Roman", false, false}, {L"TIMESBD", L"Times New Roman", true, false},
    {L"TIMESI", L"Times New Roman", false, true}, {L"COUR", L"Courier New", false, false},
    {L"COURBD", L"Courier New", true, false},    {L"CALIBRI", L"Calibri", false, false},
    {L"CALIBRIB", L"Calibri", true, false},      {L"TAHOMA", L"Tahoma", false, false},
    {L"VERDANA", L"Verdana", false, false},      {L"SEGOEUI", L"Segoe UI", false, false},
    {L"ISOCPEUR", L"ISOCPEUR", false, false},    {L"ISOCTEUR", L"ISOCTEUR", false, false},
};

// Faces of the same kind, best first, for a family the system lacks.
const wchar_t* const kSans[] = {L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Tahoma"};
const wchar_t* const kNarrow[] = {L"Arial Narrow", L"Liberation Sans Narrow", L"Nimbus Sans Narrow"};
const wchar_t* const kSerif[] = {L"Times New Roman", L"Liberation Serif", L"DejaVu Serif"};
const wchar_t* const kMono[] = {L"Courier New", L"Liberation Mono", L"DejaVu Sans Mono"};
constexpr double kNarrowedWidth = 0.82;  // a regular face standing in for a narrow one

int CALLBACK takeFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

FontCatalog::FontCatalog() {
  HDC screen = GetDC(nullptr);
  mDc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
}

FontCatalog::~FontCatalog() {
  for (auto& face : mFaces)
    if (face->font) DeleteObject(face->font);
  for (auto& [key, sized] : mSized) DeleteObject(sized.font);
  if (mDc) DeleteDC(mDc);
}

bool FontCatalog::systemHas(const std::wstring& family) {
  const std::wstring key = upper(family);
  if (const auto it = mSystemFamilies.find(key); it != mSystemFamilies.end()) return it->second;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(query.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(mDc, &query, takeFamily, reinterpret_cast<LPARAM>(&found), 0);
  mSystemFamilies[key] = found;
  return found;
}

int FontCatalog::faceFor(const std::wstring& family, bool bold, bool italic) {
  const std::wstring key = upper(family) + (bold ? L"|B" : L"|") + (italic ? L"I" : L"");
  if (const auto it = mByKey.find(key); it != mByKey.end()) return it->second;
  std::wstring drawn;
  double widthScale = 1;
  if (!family.empty() && systemHas(family)) {
    drawn = family;
  } else {
    const std::wstring u = upper(family);
    auto firstPresent = [&](auto& chain) -> std::wstring {
      for (const wchar_t* candidate : chain)
        if (systemHas(candidate)) return candidate;
      return L"";
    };
    if (contains(u, L"NARROW") || contains(u, L"CONDENSED")) {
      drawn = firstPresent(kNarrow);
      if (drawn.empty()) widthScale = kNarrowedWidth;
    } else if (contains(u, L"TIMES") || contains(u, L"SERIF") || contains(u, L"ROMAN")) {
      drawn = firstPresent(kSerif);
    } else if (contains(u, L"COUR") || contains(u, L"MONO") || contains(u, L"CONSOL")) {
      drawn = firstPresent(kMono);
    }
    if (drawn.empty()) drawn = firstPresent(kSans);
    if (drawn.empty()) drawn = L"Tahoma";  // always there under Wine and on Windows
  }
  const int index = addFace(family, drawn, bold, italic, widthScale);
  mByKey[key] = index;
  return index;
}

int FontCatalog::addFace(const std::wstring& family, const std::wstring& drawn, bool bold, bool italic,
                         double widthScale) {
  auto face = std::make_unique<Face>();
  face->family = family;
  face->drawn = drawn;
  face->bold = bold;
  face->italic = italic;
  face->widthScale = widthScale;
  LOGFONTW lf{};
  lf.lfHeight = -kEm;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  wcsncpy(lf.lfFaceName, drawn.c_str(), LF_FACESIZE - 1);
  face->font = CreateFontIndirectW(&lf);
  HGDIOBJ previous = SelectObject(mDc, face->font);
  TEXTMETRICW tm{};
  if (GetTextMetricsW(mDc, &tm)) {
    face->ascent = tm.tmAscent;
    face->descent = tm.tmDescent;
  }
  // The cap height: the font's own figure, else the height of an H.
  double cap = 0;
  if (const UINT size = GetOutlineTextMetricsW(mDc, 0, nullptr); size > 0) {
    std::vector<char> buffer(size);
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (GetOutlineTextMetricsW(mDc, size, otm) && otm->otmsCapEmHeight > 0) cap = otm->otmsCapEmHeight;
  }
  if (cap <= 0) {
    GLYPHMETRICS gm{};
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    if (GetGlyphOutlineW(mDc, L'H', GGO_METRICS, &gm, 0, nullptr, &identity) != GDI_ERROR) cap = gm.gmBlackBoxY;
  }
  if (cap > 0.3 * kEm && cap < 1.2 * kEm) face->capHeight = cap;
  SelectObject(mDc, previous);
  mFaces.push_back(std::move(face));
  return static_cast<int>(mFaces.size() - 1);
}

namespace {
// The advance of a character in a font, from a table by pages that is filled as pages are asked for.
int pagedAdvance(HDC dc, HFONT font, std::unordered_map<int, std::array<short, 256>>& pages, wchar_t c, int otherwise) {
  const int page = c >> 8;
  auto it = pages.find(page);
  if (it == pages.end()) {
    std::array<short, 256> widths{};
    INT measured[256] = {0};
    HGDIOBJ previous = SelectObject(dc, font);
    const UINT first = static_cast<UINT>(page) << 8;
    if (!GetCharWidth32W(dc, first, first + 255, measured))
      for (auto& w : measured) w = otherwise;
    SelectObject(dc, previous);
    for (int i = 0; i < 256; ++i) widths[static_cast<size_t>(i)] = static_cast<short>(measured[i]);
    it = pages.emplace(page, widths).first;
  }
  return it->second[static_cast<size_t>(c & 0xFF)];
}
}  // namespace

int FontCatalog::advance(int faceIndex, wchar_t c) const {
  const Face& f = face(faceIndex);
  return pagedAdvance(mDc, f.font, f.advances, c, kEm / 2);
}

int FontCatalog::advance(const SizedFont& font, wchar_t c) const {
  return pagedAdvance(mDc, font.font, font.advances, c, 0);
}

const FontCatalog::SizedFont& FontCatalog::sized(int faceIndex, int emPixels, double widthRatio) {
  const int width = static_cast<int>(std::lround(widthRatio * 1000));
  const auto key = std::make_tuple(faceIndex, emPixels, width);
  if (const auto it = mSized.find(key); it != mSized.end()) return it->second;
  constexpr size_t kKeptSizes = 512;  // a view zoomed through many sizes keeps the recent ones
  if (mSized.size() >= kKeptSizes) {
    for (auto& [k, f] : mSized) DeleteObject(f.font);
    mSized.clear();
  }
  const Face& f = face(faceIndex);
  LOGFONTW lf{};
  GetObjectW(f.font, sizeof lf, &lf);
  lf.lfHeight = -emPixels;
  if (width != 1000) {
    // Narrower or wider: the width of the average character at this size, in proportion.
    HFONT regular = CreateFontIndirectW(&lf);
    HGDIOBJ previous = SelectObject(mDc, regular);
    TEXTMETRICW tm{};
    GetTextMetricsW(mDc, &tm);
    SelectObject(mDc, previous);
    DeleteObject(regular);
    lf.lfWidth = std::max(1L, static_cast<LONG>(std::lround(tm.tmAveCharWidth * widthRatio)));
  }
  SizedFont sizedFont;
  sizedFont.font = CreateFontIndirectW(&lf);
  return mSized.emplace(key, std::move(sizedFont)).first->second;
}

int FontCatalog::faceForFontFile(const std::wstring& fontFile) {
  std::wstring name = fontFile;
  if (const size_t slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
  std::wstring stem = upper(name), extension;
  if (const size_t dot = stem.rfind(L'.'); dot != std::wstring::npos) {
    extension = stem.substr(dot + 1);
    stem.erase(dot);
  }
  for (const FontFileFace& known : kKnownFiles)
    if (stem == known.stem) return faceFor(known.family, known.bold, known.italic);
  // A TrueType file is asked for by its name; a stroke font (.shx, or a bare name such as txt) is
  // drawn with a plain sans face.
  if (extension == L"TTF" || extension == L"OTF" || extension == L"TTC") {
    std::wstring family = name.substr(0, name.rfind(L'.'));
    return faceFor(family, contains(stem, L"BOLD"), contains(stem, L"ITALIC"));
  }
  return faceFor(L"Arial", false, false);
}

int FontCatalog::faceForStyle(AcDbObjectId style) {
  if (const auto it = mByStyle.find(style.stub()); it != mByStyle.end()) return it->second;
  cadhost::HostReadScope hostReads;
  std::wstring file = L"txt";
  if (const auto* record = AcDbCore::objectAs<AcDbTextStyleTableRecord>(style)) {
    const ACHAR* name = nullptr;
    record->fileName(name);
    if (name != nullptr && *name) file = name;
  }
  const int index = faceForFontFile(file);
  mByStyle[style.stub()] = index;
  return index;
}

}  // namespace cadhost::app
