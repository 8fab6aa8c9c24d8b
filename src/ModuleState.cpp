// Module-wide values; see ModuleState.h.
#include "ModuleState.h"

#include "host/HostInterface.h"

const UINT g_findReplaceMessage = RegisterWindowMessageW(L"commdlg_FindReplace");
CTEDialog* g_pEditorDialog = nullptr;

HINSTANCE ModuleInstance() { return _hdllInstance; }
