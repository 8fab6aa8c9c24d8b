// Module-wide values: the module instance handle (kept by the host interface as _hdllInstance),
// the id of the find/replace notification message, and the editor dialog of the edit run in
// progress.
#pragma once

#include "platform/Win32.h"

class CTEDialog;

// The id that RegisterWindowMessageW gave "commdlg_FindReplace", registered when the module is
// loaded.
extern const UINT g_findReplaceMessage;

// The editor dialog of the run of TE in progress; none between runs.
extern CTEDialog* g_pEditorDialog;

// The module's own instance handle, from which every resource is loaded.
HINSTANCE ModuleInstance();
