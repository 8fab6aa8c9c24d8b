// The Win32 headers the dialog framework is written against, included in one place with the same
// settings for every file: UTF-16 ("W") APIs, no min/max macros, the rich edit, common control
// and common dialog declarations, plus the few framework-wide constants and markers.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

// <windowsx.h> is left out on purpose: its SubclassWindow macro would rename CWnd::SubclassWindow.
#ifdef SubclassWindow
#undef SubclassWindow
#endif
#ifndef GET_X_LPARAM
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))
#endif

// Sent by the modal loop of CDialog to the dialog whenever its message queue runs empty
// (wParam = MSGF_DIALOGBOX, lParam = number of idle passes since the last real message).
// A handler that returns nonzero asks for another idle pass before the loop waits again.
#ifndef WM_KICKIDLE
#define WM_KICKIDLE 0x036A
#endif

// Marks message handler declarations, as in code written for MFC; it expands to nothing.
#ifndef afx_msg
#define afx_msg
#endif

// Command code of WM_COMMAND messages from menus and accelerators once they reach the message
// map (the accelerator code 1 is folded into it).
#ifndef CN_COMMAND
#define CN_COMMAND 0
#endif
