// Texts and menus in the user's language: Russian for a user whose default language is exactly
// Russian (Russia, 1049), English (1033) for everyone else and whenever a resource is missing in
// the user's language. Everything comes from the module's own resources.
#pragma once

#include <string>

#include "platform/Win32.h"

// String id; 0 gives "" without a lookup, as does a string missing in both languages.
std::wstring LoadLocalizedString(UINT id);
// String id formatted as a message text with the inserts ("%1!d!") taken from values, in order.
// A failed format or an empty result throws the framework's out-of-memory exception.
std::wstring FormatLocalizedString(UINT id, ...);
// Menu id from instance; nullptr when the menu is in neither language.
HMENU LoadLocalizedMenu(HINSTANCE instance, UINT id);
