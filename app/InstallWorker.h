#pragma once

#include <windows.h>

#include <atomic>

// 0 while the driver package runs, 1 once it has finished. Written by the worker, read by the
// watcher once a second.
extern std::atomic<int> installerDone;

// One whole installation, from greeting to verdict; the argument is the MainDialog. Ends by
// closing the dialog. Returns 0.
unsigned __stdcall InstallWorker(void* dialog);

// Waits for the driver package's window and then sends the user to it with one prompt. The
// argument is the MainDialog. Returns 1.
unsigned __stdcall InstallerWatcher(void* dialog);

// Waits until the driver package's process has ended, or until the closing event is set (the
// package then keeps running on its own). With no event, waits for the process alone.
void WaitForPackage(HANDLE process, HANDLE closingEvent);

// The title of the driver package's own window.
extern const char* const kPackageWindowTitle;

// The run's own texts in the status box: the greeting, the driver package that could not be
// started, and the two verdicts.
extern const char* const kWelcomeText;
extern const char* const kPackageNotStartedText;
extern const char* const kRestartText;
extern const char* const kNoScreenReaderText;

// The program's exit code: what the run came to, for a technician who starts the wizard from a
// script.
enum RunExitCode : int {
    kExitPatched = 0,         // a screen reader was found and no failure was told
    kExitFailureTold = 1,     // a failure was told: a patch's, or the package not started
    kExitNoScreenReader = 2,  // no screen reader was found (and no failure told)
    kExitClosed = 3,          // the user closed the wizard before the verdict
    kExitAnotherWizard = 4,   // a wizard was running already: this start ended at once
};
