// Where a named CAdUiDialog was last shown. The host's UI library keeps one registry key per
// dialog name:
//
//     HKEY_CURRENT_USER\Software\Cadhost\Dialogs\<dialog name>
//         Placement  REG_BINARY, 16 bytes: left, top, right, bottom of the window rectangle in
//                    screen coordinates, each a little-endian 32-bit signed integer
//
// Reading is defensive: a value of the wrong type or size, a rectangle smaller than the dialog's
// template or larger than the screens, or one whose title bar is not on any monitor is ignored,
// and the dialog keeps its template placement.
#pragma once

#include "platform/Win32.h"

#include <optional>
#include <string>

namespace pellaton::platform {

inline constexpr wchar_t kDialogPlacementRoot[] = L"Software\\Cadhost\\Dialogs";
inline constexpr wchar_t kDialogPlacementValue[] = L"Placement";

// The key under HKEY_CURRENT_USER for a dialog name: backslashes become '_' (a name is one key,
// never a path) and the name is cut to the registry's 255 characters. Empty for an empty name.
std::wstring DialogPlacementKey(const std::wstring& dialogName);

bool SaveDialogPlacement(const std::wstring& dialogName, const RECT& windowRect);
// The stored rectangle when the value exists with the right type and size (not checked against
// the screens; see IsPlacementUsable).
std::optional<RECT> LoadDialogPlacement(const std::wstring& dialogName);

// True when a window rectangle can be used for a dialog whose template size is minimumSize:
// at least that large, at most as large as the screens (or the system's largest tracking size),
// and with at least part of its title bar on a monitor's work area.
bool IsPlacementUsable(const RECT& windowRect, SIZE minimumSize);

} // namespace pellaton::platform
