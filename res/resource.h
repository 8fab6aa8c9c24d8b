// Resource ids of the Pellaton module: dialogs, controls, menu commands, accelerators, strings.
#pragma once

// Dialog templates and their controls.
#define IDD_TEDIALOG 202
#define IDC_EDITOR 203
#define IDC_TEXTSTYLE 204
#define IDC_LINESPACE 205
#define IDC_TEXTHEIGHT 206
#define IDC_ALIGNX 207
#define IDC_ALIGNY 208
#define IDC_WIDTH 216
#define IDC_STATUSBAR 217
#define IDC_EXIT 2  // the dialog manager's cancel id: Escape and the close box reach it too

#define IDD_ABOUT 211
#define IDC_ABOUTTEXT 215

// Accelerator table and menu.
#define IDR_ACCELERATORS 209
#define IDR_MENU 210

// Menu commands.
#define ID_EDIT_UNDO 32768
#define ID_EDIT_REDO 32769
#define ID_EDIT_CUT 32770
#define ID_EDIT_COPY 32771
#define ID_EDIT_PASTE 32772
#define ID_EDIT_SELECTALL 32773
#define ID_EDIT_FIND 32774
#define ID_EDIT_REPLACE 32775
#define ID_TOOLS_UPPERCASE 32781
#define ID_TOOLS_LOWERCASE 32782
#define ID_TOOLS_ALIGNX 32783
#define ID_TOOLS_ALIGNY 32784
#define ID_OPTIONS_FONT 32785
#define ID_HELP_ABOUT 32786
#define ID_OPTIONS_EXITONENTER 32787
#define ID_OPTIONS_EXITONCTRLENTER 32788
#define ID_OPTIONS_FASTYALIGN 32789

// Strings.
#define IDS_DIALOGNAME 102
#define IDS_ONLYTEXTALLOWED 105
#define IDS_ABOUT 106
#define IDS_HINT_TEXTSTYLE 107
#define IDS_HINT_TEXTHEIGHT 108
#define IDS_HINT_LINESPACE 109
#define IDS_HINT_MTEXTWIDTH 110
#define IDS_HINT_WIDTHFACTOR 111
#define IDS_HINT_ALIGNX 112
#define IDS_HINT_ALIGNY 113
#define IDS_CARETPOSITION 114
#define IDS_SEARCHFINISHED 115
#define IDS_INFORMATION 117
#define IDS_OCCURRENCESREPLACED 118
#define IDS_VALUEREFUSED 119
