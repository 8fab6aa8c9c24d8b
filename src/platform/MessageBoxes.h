// Messages to the user from the framework: AfxMessageBox with the application's name as caption,
// and the report of programming errors (a call made in the wrong order, a resource that is not
// there), which are shown in a stop box and written to the debugger output.
#pragma once

#include "platform/Win32.h"

#include <string>

// The caption of the framework's message boxes. Until AfxSetAppName is called it is the file
// name of the running program without its extension.
std::wstring AfxGetAppName();
void AfxSetAppName(const std::wstring& name);

// Shows a message box owned by the thread's active window; returns the button pressed.
int AfxMessageBox(const std::wstring& text, UINT nType = MB_OK, UINT nIDHelp = 0);
// Same, with the text loaded from the string table through the resource chain.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = 0);

// Reports a misuse of the framework: the text goes to the debugger output and to a message box
// titled "<app name>: programming error". The caller then fails in its documented way.
void AfxReportProgrammingError(const std::wstring& text);
