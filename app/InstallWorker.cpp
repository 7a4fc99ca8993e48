#include "app/InstallWorker.h"

#include <string>

#include "app/MainDialog.h"
#include "framework/Thread.h"
#include "install/Prompts.h"

std::atomic<int> installerDone{0};

const char* const kPackageWindowTitle = "FTDI Driver Installation";
const char* const kWelcomeText = "Welcome to the Driver Install Wizard for Lumitactile.";
const char* const kRestartText = "Please restart screen reader.";
const char* const kNoScreenReaderText =
    "There is no screen reader on your PC. Please install screen reader program in advance.";

namespace {

const char* const kPackagePath = "\\Driver\\xp\\Lumitactile.exe";

constexpr DWORD kPollMs = 1000;

// Sleeps, but wakes at once when the dialog is closed. True when the time passed normally.
bool SleepUnlessClosing(MainDialog& dialog, DWORD ms) {
    if (dialog.ClosingEvent() == nullptr) {
        // Without the event a close is seen at the end of the sleep.
        ::Sleep(ms);
        return !dialog.IsClosing();
    }
    return ::WaitForSingleObject(dialog.ClosingEvent(), ms) == WAIT_TIMEOUT;
}

// Runs the driver package from the medium and waits until it has ended, or until the dialog is
// closed (the package then keeps running on its own). The watcher runs meanwhile.
void RunDriverPackage(MainDialog& dialog) {
    installerDone.store(0);
    dialog.SetWatcherThread(BeginThread(InstallerWatcher, &dialog));

    std::string path;
    if (dialog.MediumPath(kPackagePath, path)) {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION created;
        ZeroMemory(&created, sizeof(created));
        // The full path names the program and the command line is quoted, so a blank in the
        // medium's folder can never start another program. A close is looked for last thing
        // before the start: a package started after it would run on with the wizard gone.
        std::string commandLine = "\"" + path + "\"";
        if (!dialog.IsClosing() &&
            ::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &created)) {
            UniqueHandle process(created.hProcess);
            UniqueHandle thread(created.hThread);
            WaitForPackage(process.Get(), dialog.ClosingEvent());
        }
        // A package that cannot be started is not reported: the run goes on with the patchers.
    }
    installerDone.store(1);
}

}  // namespace

void WaitForPackage(HANDLE process, HANDLE closingEvent) {
    // Without the event (it could not be created) a close cannot end the wait early; waiting
    // on a null handle would end it at once, with the package still installing.
    if (closingEvent == nullptr) {
        static_cast<void>(::WaitForSingleObject(process, INFINITE));
        return;
    }
    const HANDLE waits[] = {process, closingEvent};
    static_cast<void>(::WaitForMultipleObjects(2, waits, FALSE, INFINITE));
}

unsigned __stdcall InstallWorker(void* argument) {
    MainDialog& dialog = *static_cast<MainDialog*>(argument);

    dialog.Tell(kWelcomeText, Prompt::kStart, Prompt::kWelcome);

    // Only the NT families install the package this way.
    if (!dialog.IsClosing() &&
        (dialog.OsKind == kOsKindNtBefore6 || dialog.OsKind == kOsKind6OrLater)) {
        RunDriverPackage(dialog);
    }

    int notFound = 0;
    if (!dialog.IsClosing() && dialog.windowEyesPatcher.Install(&dialog) == 0) ++notFound;
    if (!dialog.IsClosing() && dialog.dolphinPatcher.Install(&dialog) == 0) ++notFound;
    if (!dialog.IsClosing() && dialog.jawsPatcher.Install(&dialog) == 0) ++notFound;
    if (dialog.IsClosing()) return 0;

    if (notFound == 3) {
        dialog.Tell(kNoScreenReaderText, Prompt::kNoScreenReader);
    } else {
        dialog.Tell(kRestartText, Prompt::kRestart);
    }
    if (dialog.IsClosing()) return 0;

    dialog.EndRun();
    return 0;
}

unsigned __stdcall InstallerWatcher(void* argument) {
    MainDialog& dialog = *static_cast<MainDialog*>(argument);
    for (;;) {
        if (!SleepUnlessClosing(dialog, kPollMs)) return 1;
        // The window is looked for before the flag is read, so a window seen at the poll at
        // which the package has already ended still gets its prompt.
        if (::FindWindowA(nullptr, kPackageWindowTitle) != nullptr) {
            if (SleepUnlessClosing(dialog, kPollMs)) dialog.Prompts().Play(Prompt::kCheckDialog);
            return 1;
        }
        if (installerDone.load() != 0) return 1;
    }
}
