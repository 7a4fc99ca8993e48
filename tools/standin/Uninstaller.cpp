// STAND-IN for the vendor's FTDI driver uninstaller (FTDIUNIN.exe, on the install medium under
// driver\vista and driver\98&me). It removes nothing and opens no window: it appends one line
// to the log file named by LUMI_STANDIN_LOG, so a test can see that the wizard started it and
// from which path, and ends.

#include <windows.h>

#include "tools/standin/StandinLog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return standin::LogStart("uninstaller") ? 0 : 1;
}
