// Resource and command ids of the wizard. Shared by Setup.rc and the code.
#pragma once

// The wizard's version, in the version resource and at the head of each run's log.
#define LUMI_VERSION_NUMBERS 1, 0, 0, 1
#define LUMI_VERSION_TEXT "1.0.0.1"

// The wizard's window caption, trailing blank included.
#define IDS_CAPTION_TEXT "Lumitactile Driver Installation "

#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDI_MAIN 128
#define IDB_BACKGROUND 129

#define IDC_INSTALL 1001
#define ID_REMOVE_DRIVER 1002
#define IDC_STATUS 1004
#define IDC_CLOSE_BUTTON 8

#define IDM_ABOUTBOX 0x0010
