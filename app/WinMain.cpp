// Entry point of Setup.exe.
#include <windows.h>

#include "app/InstallerApp.h"

namespace {

InstallerApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchPath();
    FailCriticalErrorsQuietly();
    return RunApplication();
}
