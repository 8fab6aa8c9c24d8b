// The settings store; see Settings.h.
//
// How values that are not as the module writes them are read (nothing outside the 4-byte value
// or the 64-byte name buffer is ever read or written):
// - an option or size stored in fewer than 4 bytes counts as missing (the query fills only part
//   of the value); one of more than 4 bytes fails the query and counts as missing too;
// - a "FontName" of 64 bytes without a terminating NUL is cut at 31 characters (as is one of 32
//   characters and its terminator, which no face can have); a longer one gives "MS Sans Serif";
// - a stored font size is kept as it is in memory and in the registry; the editor shows sizes
//   from 1 to 1638 points (the largest a rich edit control takes) and 10 points for any other.
#include "Settings.h"

#include <algorithm>

EditorSettings g_settings;

namespace {

const wchar_t kSettingsKey[] = L"Software\\Quorva\\Pellaton";
const wchar_t kDefaultFontName[] = L"MS Sans Serif";
constexpr int kDefaultFontSize = 10;
constexpr int kLargestFontSize = 1638;
constexpr DWORD kFontNameBytes = sizeof(EditorSettings::fontName);  // 64

// Opens the key, creating it when it is missing.
LONG OpenSettingsKey(HKEY& key) {
  key = nullptr;
  return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, const_cast<LPWSTR>(L""), REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key, nullptr);
}

// A 4-byte value into value; false (value untouched) when it is missing or not 4 bytes long.
bool ReadInt32(HKEY key, const wchar_t* name, int& value) {
  DWORD read = 0;
  DWORD size = sizeof read;
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
      size != sizeof read)
    return false;
  value = static_cast<int>(read);
  return true;
}

// The face name into the 64-byte buffer; false when the value is longer than that or cannot be
// read. The query is given one unit more than the buffer: a registry may add a terminator to a
// string stored without one (and count it), and refuse a buffer that leaves no room for it, so
// a value that fills 32 units and is then terminated is taken as one of 64 bytes.
bool ReadFontName(HKEY key, wchar_t (&name)[32]) {
  wchar_t buffer[33] = {};
  DWORD size = sizeof buffer;
  if (RegQueryValueExW(key, L"FontName", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    return false;
  if (size > kFontNameBytes && !(size == sizeof buffer && buffer[32] == L'\0')) return false;
  buffer[std::min<DWORD>(size / sizeof(wchar_t), 31)] = L'\0';
  std::copy(buffer, buffer + 32, name);
  return true;
}

}  // namespace

const wchar_t* OptionValueName(EditorOption option) {
  switch (option) {
    case kExitOnEnter: return L"ExitOnEnter";
    case kExitOnCtrlEnter: return L"ExitOnCtrlEnter";
    case kFastYAlign: return L"FastYAlign";
    default: return L"";
  }
}

LONG LoadSettings() {
  HKEY key = nullptr;
  const LONG opened = OpenSettingsKey(key);
  if (opened != ERROR_SUCCESS) return opened;
  for (int i = 0; i < kOptionCount; ++i)
    ReadInt32(key, OptionValueName(static_cast<EditorOption>(i)), g_settings.options[i]);
  if (!ReadFontName(key, g_settings.fontName)) lstrcpynW(g_settings.fontName, kDefaultFontName, 32);
  if (!ReadInt32(key, L"FontSize", g_settings.fontSize)) g_settings.fontSize = kDefaultFontSize;
  return RegCloseKey(key);
}

LONG StoreOption(const wchar_t* valueName, int value) {
  HKEY key = nullptr;
  const LONG opened = OpenSettingsKey(key);
  if (opened != ERROR_SUCCESS) return opened;
  const DWORD stored = static_cast<DWORD>(value);
  RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
  RegCloseKey(key);
  return opened;
}

LONG StoreEditorFont() {
  HKEY key = nullptr;
  const LONG opened = OpenSettingsKey(key);
  if (opened != ERROR_SUCCESS) return opened;
  const DWORD size = static_cast<DWORD>(g_settings.fontSize);
  RegSetValueExW(key, L"FontSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size);
  RegSetValueExW(key, L"FontName", 0, REG_SZ, reinterpret_cast<const BYTE*>(g_settings.fontName), kFontNameBytes);
  RegCloseKey(key);
  return opened;
}

std::wstring EditorFontFace() {
  // (A key that could be neither opened nor created leaves the name empty.)
  return g_settings.fontName[0] != L'\0' ? std::wstring(g_settings.fontName) : std::wstring(kDefaultFontName);
}

int EditorFontPoints() {
  const int size = g_settings.fontSize;
  return size >= 1 && size <= kLargestFontSize ? size : kDefaultFontSize;
}
