#include "app/InstallerApp.h"

#include <commctrl.h>

#include "app/MainDialog.h"

namespace {
constexpr UINT kHelpCommand = 57670;
}

void RestrictDllSearchPath() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR path);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    // Each narrows the search where the system has it; neither failing keeps the wizard from
    // running.
    if (FARPROC proc = ::GetProcAddress(kernel, "SetDefaultDllDirectories")) {
        static_cast<void>(reinterpret_cast<SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void*>(proc))(kSearchSystem32));
    }
    if (FARPROC proc = ::GetProcAddress(kernel, "SetDllDirectoryA")) {
        static_cast<void>(reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(proc))(""));
    }
}

void FailCriticalErrorsQuietly() {
    // The previous mode it returns is of no use here.
    static_cast<void>(::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
}

BOOL InstallerApp::InitInstance() {
    ::InitCommonControls();
    WinApp::InitInstance();
    // The dialog hosts no ActiveX control, so no control container is set up.
    MainDialog dialog;
    // How the dialog ended changes nothing: the program ends either way, telling what the run
    // came to.
    static_cast<void>(dialog.DoModal());
    SetExitCode(dialog.ExitCode());
    return FALSE;
}

bool InstallerApp::OnCommand(UINT id) {
    if (id == kHelpCommand) {
        OnHelp();
        return true;
    }
    return WinApp::OnCommand(id);
}
