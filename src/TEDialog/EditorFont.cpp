// The font the editor shows its text in: a face and a size in whole points, kept in the settings,
// and the Font command that lets the user choose them.
#include "../Settings.h"
#include "TEDialog.h"

namespace {

// The screen's vertical resolution in pixels per logical inch.
int ScreenPixelsPerInch() {
  HDC screen = ::GetDC(nullptr);
  const int pixels = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

// The face text of this face and height is really shown in: a face that is not installed (the
// default "MS Sans Serif" on many systems) is shown in the one the system puts in its place, and
// the font dialog lists installed faces only. Opened on a face it does not list, it would show
// the first of its list, at its smallest size, as if that were the editor's font.
std::wstring ShownFace(const std::wstring& face, LONG height) {
  LOGFONTW wanted{};
  wanted.lfHeight = height;
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face.c_str(), LF_FACESIZE);
  HFONT font = ::CreateFontIndirectW(&wanted);
  if (font == nullptr) return face;
  HDC screen = ::GetDC(nullptr);
  const HGDIOBJ old = ::SelectObject(screen, font);
  wchar_t shown[LF_FACESIZE] = {0};
  const int length = ::GetTextFaceW(screen, LF_FACESIZE, shown);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(font);
  return length > 0 && shown[0] != L'\0' ? std::wstring(shown) : face;
}

}  // namespace

void CTEDialog::ApplyEditorFont(const std::wstring& face, int points) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_FACE | CFM_SIZE;
  lstrcpynW(format.szFaceName, face.c_str(), LF_FACESIZE);
  // Twenty times the font's height in screen pixels, negative, as the editor takes it.
  format.yHeight = -::MulDiv(points * 10, ScreenPixelsPerInch(), 36);
  m_editor.SendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void CTEDialog::ChooseEditorFont() {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfHeight = -::MulDiv(EditorFontPoints(), ScreenPixelsPerInch(), 72);
  lstrcpynW(font.lfFaceName, ShownFace(EditorFontFace(), font.lfHeight).c_str(), 32);
  CHOOSEFONTW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = m_dialogWindow;
  request.lpLogFont = &font;
  request.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST;
  if (!::ChooseFontW(&request)) return;  // cancelled: nothing changes

  // Only the face and the whole points are kept; weight, slant and the rest are dropped.
  g_settings.fontSize = request.iPointSize / 10;
  lstrcpynW(g_settings.fontName, font.lfFaceName, 32);
  StoreEditorFont();  // (a key that cannot be opened keeps the font for this process only)
  ApplyEditorFont(EditorFontFace(), EditorFontPoints());
}
