#include "app/InstallerApp.h"

#include <commctrl.h>

#include "app/InstallWorker.h"
#include "app/MainDialog.h"
#include "install/InstallLog.h"
#include "res/resource.h"

const char* const kOneWizardName = "Lumitactile Setup: one wizard at a time";

namespace {
constexpr UINT kHelpCommand = 57670;
// How long a second start waits for the window of a wizard that is just opening it.
constexpr DWORD kWindowWaitMs = 2000;
constexpr DWORD kWindowPollMs = 50;
}  // namespace

bool TakeOneWizard(UniqueHandle& held) {
    held.Reset(::CreateMutexA(nullptr, FALSE, kOneWizardName));
    const DWORD error = ::GetLastError();
    if (held) return error != ERROR_ALREADY_EXISTS;
    // Made by a wizard of another account or elevation: it runs all the same.
    return error != ERROR_ACCESS_DENIED;
}

void HandOverToRunningWizard() {
    HWND window = nullptr;
    for (const DWORD begun = ::GetTickCount();;) {
        window = ::FindWindowA("#32770", IDS_CAPTION_TEXT);
        if (window != nullptr || ::GetTickCount() - begun >= kWindowWaitMs) break;
        ::Sleep(kWindowPollMs);
    }
    std::string what = "a wizard is running already; ";
    if (window == nullptr) {
        what += "its window was not found";
    } else {
        if (::IsIconic(window)) static_cast<void>(::ShowWindow(window, SW_RESTORE));
        what += ::SetForegroundWindow(window) ? "its window was brought to the front"
                                              : "the system refused to bring its window to the front";
    }
    // Without a log the start ends the same.
    static_cast<void>(InstallLog::WriteForAnotherStart(
        LUMI_VERSION_TEXT, what + "; this start ended, exit code " +
                               std::to_string(kExitAnotherWizard)));
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
    // Held until the program ends, after the dialog and its log have gone.
    UniqueHandle oneWizard;
    if (!TakeOneWizard(oneWizard)) {
        HandOverToRunningWizard();
        SetExitCode(kExitAnotherWizard);
        return FALSE;
    }
    ::InitCommonControls();
    WinApp::InitInstance();
    // The dialog hosts no ActiveX control, so no control container is set up.
    MainDialog dialog;
    // How the dialog ended changes nothing: the program ends either way, telling what the run
    // came to once the run has ended.
    static_cast<void>(dialog.DoModal());
    SetExitCode(dialog.Finish());
    return FALSE;
}

bool InstallerApp::OnCommand(UINT id) {
    if (id == kHelpCommand) {
        OnHelp();
        return true;
    }
    return WinApp::OnCommand(id);
}
