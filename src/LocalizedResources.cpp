// Texts and menus in the user's language; see LocalizedResources.h.
#include "LocalizedResources.h"

#include <cstdarg>

#include "ModuleState.h"
#include "platform/Exceptions.h"

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

// The resource in the user's language, else in English.
HRSRC FindLocalizedResource(HINSTANCE instance, LPCWSTR type, LPCWSTR name) {
  if (HRSRC found = FindResourceExW(instance, type, name, GetUserDefaultLangID())) return found;
  return FindResourceExW(instance, type, name, kEnglish);
}

// A string table block holds sixteen counted strings: string id is entry id % 16 of block
// id / 16 + 1. False when the block is not there in that language or the string is empty.
bool FindString(HINSTANCE instance, UINT id, LANGID language, std::wstring& text) {
  HRSRC block = FindResourceExW(instance, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (block == nullptr) return false;
  const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(instance, block)));
  if (p == nullptr) return false;
  const WCHAR* end = p + SizeofResource(instance, block) / sizeof(WCHAR);
  for (UINT i = 0; i < id % 16; ++i) {
    if (p >= end) return false;
    p += 1 + *p;
  }
  if (p >= end || *p == 0 || p + 1 + *p > end) return false;
  text.assign(p + 1, *p);
  return true;
}

}  // namespace

std::wstring LoadLocalizedString(UINT id) {
  std::wstring text;
  if (id == 0) return text;
  if (!FindString(ModuleInstance(), id, GetUserDefaultLangID(), text)) FindString(ModuleInstance(), id, kEnglish, text);
  return text;
}

std::wstring FormatLocalizedString(UINT id, ...) {
  const std::wstring pattern = LoadLocalizedString(id);
  va_list args;
  va_start(args, id);
  LPWSTR buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, pattern.c_str(), 0,
                                      0, reinterpret_cast<LPWSTR>(&buffer), 0, &args);
  va_end(args);
  if (length == 0 || buffer == nullptr) {
    if (buffer != nullptr) LocalFree(buffer);
    AfxThrowMemoryException();
  }
  std::wstring text(buffer, length);
  LocalFree(buffer);
  return text;
}

HMENU LoadLocalizedMenu(HINSTANCE instance, UINT id) {
  HRSRC found = FindLocalizedResource(instance, RT_MENU, MAKEINTRESOURCEW(id));
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(instance, found);
  const void* menuTemplate = LockResource(loaded);
  return menuTemplate ? LoadMenuIndirectW(menuTemplate) : nullptr;
}
