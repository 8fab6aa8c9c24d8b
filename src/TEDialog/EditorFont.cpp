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
  lstrcpynW(font.lfFaceName, EditorFontFace().c_str(), 32);
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfHeight = -::MulDiv(EditorFontPoints(), ScreenPixelsPerInch(), 72);
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
