// The five user settings that outlive the host process: three options of the editor and the
// editor's font. They live under HKEY_CURRENT_USER\Software\Quorva\Pellaton, are read once when
// the module initialises, and are written one by one the moment the user changes them. Between
// those moments the module works on the copy in memory below, shared by every run of TE.
#pragma once

#include <string>

#include "platform/Win32.h"

// The three options, in the order of their menu commands (32787 to 32789).
enum EditorOption : int {
  kExitOnEnter = 0,      // "ExitOnEnter": Enter in the editor closes the dialog
  kExitOnCtrlEnter = 1,  // "ExitOnCtrlEnter": Ctrl+Enter in the editor closes the dialog
  kFastYAlign = 2,       // "FastYAlign": a new line spacing re-spaces the TEXT lines at once
  kOptionCount = 3,
};

struct EditorSettings {
  // 0 off, any other value on; the module writes only 0 and 1.
  int options[kOptionCount] = {0, 0, 0};
  int fontSize = 0;            // whole points, as stored
  wchar_t fontName[32] = {};   // at most 31 characters and the terminator
};

// The settings in force for the process.
extern EditorSettings g_settings;

// The registry value name of an option ("ExitOnEnter", ...).
const wchar_t* OptionValueName(EditorOption option);

// Reads the settings key (creating it when it is missing) into g_settings; returns the status of
// opening the key. A value that is missing, of the wrong size or unreadable leaves its option off,
// makes the font "MS Sans Serif" and the size 10.
LONG LoadSettings();
// Stores one option as a 4-byte value; the status of opening the key (nothing is reported).
LONG StoreOption(const wchar_t* valueName, int value);
// Stores the editor font size and name from g_settings.
LONG StoreEditorFont();

// The face and size the editor shows: the stored ones when the font machinery can use them,
// else "MS Sans Serif" and 10 points (for a key that could be neither opened nor created, or a
// stored size of 0, below 0 or absurdly large). The stored values themselves stay as they are.
std::wstring EditorFontFace();
int EditorFontPoints();
