#include "app/InstallWorker.h"

#include <string>

#include "app/MainDialog.h"
#include "framework/Thread.h"
#include "install/InstallLog.h"
#include "install/Prompts.h"

std::atomic<int> installerDone{0};

const char* const kPackageWindowTitle = "FTDI Driver Installation";
const char* const kWelcomeText = "Welcome to the Driver Install Wizard for Lumitactile.";
const char* const kPackageNotStartedText =
    "The driver package could not be started. The braille display will not work until its "
    "driver is installed.";
const char* const kRestartText = "Please restart screen reader.";
const char* const kNoScreenReaderText =
    "There is no screen reader on your PC. Please install screen reader program in advance.";

namespace {

const char* const kPackagePath = "\\Driver\\xp\\Lumitactile.exe";

// Window-Eyes, Dolphin, JAWS and NVDA.
constexpr int kFamilies = 4;

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
// closed (the package then keeps running on its own). The watcher runs meanwhile. A package that
// cannot be started is told: without its driver the display cannot work at all. Its exit code
// is not judged: driver packages use it for counts, not only for failures.
void RunDriverPackage(MainDialog& dialog) {
    installerDone.store(0);
    dialog.SetWatcherThread(BeginThread(InstallerWatcher, &dialog));

    std::string path;
    bool started = false;
    DWORD error = ERROR_PATH_NOT_FOUND;  // the medium's root is unknown
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
        if (dialog.IsClosing()) {
            installerDone.store(1);
            return;
        }
        InstallLog::Write("driver package: " + commandLine);
        started = ::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &created) != FALSE;
        if (started) {
            InstallLog::Write("driver package started");
            const DWORD begun = ::GetTickCount();
            UniqueHandle process(created.hProcess);
            UniqueHandle thread(created.hThread);
            WaitForPackage(process.Get(), dialog.ClosingEvent());
            InstallLog::Write(
                (::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0
                     ? "driver package ended after "
                     : "driver package left running after the wizard was closed, after ") +
                std::to_string(::GetTickCount() - begun) + " ms");
        } else {
            error = ::GetLastError();
        }
    }
    installerDone.store(1);
    if (!started) {
        InstallLog::Write("driver package could not be started: " + InstallLog::ErrorText(error));
        dialog.TellFailure(kPackageNotStartedText, Prompt::kDriverFailed);
    }
}

// The verdict: whether a screen reader was found, and whether a failure was told. Returns the
// exit code the run comes to.
int TellVerdict(MainDialog& dialog, int found) {
    const bool anyFound = found > 0;
    const int code = dialog.FailureTold() ? kExitFailureTold
                     : anyFound           ? kExitPatched
                                          : kExitNoScreenReader;
    InstallLog::Write("verdict: " + std::to_string(found) + " of " + std::to_string(kFamilies) +
                      " screen-reader families found" +
                      (dialog.FailureTold() ? ", a failure told" : ", no failure told"));
    const bool told = anyFound ? dialog.Tell(kRestartText, Prompt::kRestart)
                               : dialog.Tell(kNoScreenReaderText, Prompt::kNoScreenReader);
    return told ? code : kExitClosed;
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

    dialog.EnterStep("the greeting");
    dialog.Tell(kWelcomeText, Prompt::kStart, Prompt::kWelcome);

    // Only the NT families install the package this way.
    if (!dialog.IsClosing()) {
        if (dialog.OsKind == kOsKindNtBefore6 || dialog.OsKind == kOsKind6OrLater) {
            dialog.EnterStep("the driver package");
            RunDriverPackage(dialog);
        } else {
            InstallLog::Write("no driver package on this Windows (OsKind " +
                              std::to_string(dialog.OsKind) + ")");
        }
    }

    int found = 0;
    if (!dialog.IsClosing()) {
        dialog.EnterStep("the Window-Eyes patch");
        if (dialog.windowEyesPatcher.Install(&dialog) != 0) ++found;
    }
    if (!dialog.IsClosing()) {
        dialog.EnterStep("the Dolphin patch");
        if (dialog.dolphinPatcher.Install(&dialog) != 0) ++found;
    }
    if (!dialog.IsClosing()) {
        dialog.EnterStep("the JAWS patch");
        if (dialog.jawsPatcher.Install(&dialog) != 0) ++found;
    }
    if (!dialog.IsClosing()) {
        dialog.EnterStep("the NVDA patch");
        if (dialog.nvdaPatcher.Install(&dialog) != 0) ++found;
    }
    if (dialog.IsClosing()) return 0;

    dialog.EnterStep("the verdict");
    dialog.SetExitCode(TellVerdict(dialog, found));
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
