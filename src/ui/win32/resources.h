// Identifiers of the Windows build's resources: the dialog templates, their
// controls, the icon and the pictures. The resource script and the windows
// that use them share these numbers; other code addresses the status
// dialog's controls by the same numbers (ui/user_interface.h).
#pragma once

// Dialog templates.
#define IDD_STATUS 1000
#define IDD_ABOUT 2000

// Icon of every window of the program.
#define IDI_TAV32 3000

// Status dialog controls.
#define IDC_STATUS_LINE 100
#define IDC_CURRENT_STATUS_LABEL 101
#define IDC_LEFT_DIRECTORY 102
#define IDC_LEFT_LABEL 103
#define IDC_RIGHT_DIRECTORY 104
#define IDC_RIGHT_LABEL 105
#define IDC_ELAPSED_TIME 106
#define IDC_TIME_LABEL 107
#define IDC_SYNC_LABEL 108
#define IDC_LINE_NUMBER 109
#define IDC_LINE_LABEL 110
#define IDC_PROGRAM_FILE 111
#define IDC_PROGRAM_FILE_LABEL 112
#define IDC_ABORT 113
#define IDC_INFO 114
#define IDC_HELP_BUTTON 115
#define IDC_STATUS_FRAME_FIRST 501
#define IDC_STATUS_FRAME_LAST 504

// About box controls.
#define IDC_DISMISS 200
#define IDC_ABOUT_TEXT 201
#define IDC_ABOUT_ICON 202
#define IDC_ABOUT_FRAME_FIRST 401
#define IDC_ABOUT_FRAME_LAST 403
