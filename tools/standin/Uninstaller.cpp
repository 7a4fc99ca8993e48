// STAND-IN for the vendor's FTDI driver uninstaller (FTDIUNIN.exe, on the install medium under
// driver\vista and driver\98&me). It removes nothing and opens no window: it appends one line
// to the log file named by LUMI_STANDIN_LOG, so a test can see that the wizard started it, from
// which path, and how it asked for the uninstaller's window to be shown ("show 5" for SW_SHOW,
// "show default" when it did not say), and ends.

#include <windows.h>

#include <string>

#include "tools/standin/StandinLog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    ::GetStartupInfoA(&startup);
    const std::string show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0
                                 ? std::to_string(startup.wShowWindow)
                                 : std::string("default");
    return standin::LogStart("uninstaller", "show " + show) ? 0 : 1;
}
