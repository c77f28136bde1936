// Identifiers of Zorn_Utility.exe's resources, shared by the resource script and the code. The
// control identifiers of the main dialog are in utility/core/dialog_view.h; the script writes
// them as numbers beside their captions.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_ZORN_UTILITY_DIALOG 102
#define IDR_MAINFRAME 128

// The About entry of the system menu. System-menu commands keep their four low bits clear: the
// system uses them, so a handler compares the command with those bits masked off.
#define IDM_ABOUTBOX 0x0010
