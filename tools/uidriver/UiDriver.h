#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "res/resource.h"

// Drives a wizard from outside, the way a user would: starts the program, finds its window,
// presses its buttons, and reads back what it shows, without any help from the program itself.
// Everything goes through window messages that work across processes (WM_COMMAND, WM_CLOSE,
// WM_GETTEXT), so the program under test is the very one that ships.

namespace uidriver {

struct Event {
    enum Kind {
        kStatus,           // the status box shows a new text
        kStatusShown,      // the status box became visible
        kStatusHidden,     // ... and hidden again
        kInstallDisabled,  // the Install button was disabled
        kInstallEnabled,   // ... or enabled again
        kWindow,           // the window awaited by Plan::afterWindow appeared (text: its title)
        kExit,             // the program ended (exitCode)
        kTimeout,          // the time limit passed; the program was killed
    };
    Kind kind;
    long ms;           // since Install was pressed (since the start when it was not pressed)
    std::string text;  // kStatus, kWindow
    DWORD exitCode;    // kExit
};

// One line per event: "<ms> status <text>", "<ms> status-shown", "<ms> exit <code>",
// "timeout", ... Line breaks inside a text are written as \r and \n.
std::string FormatEvent(const Event& event);

struct Launch {
    std::string exe;            // full path of the program
    std::string currentFolder;  // empty: the driver's own
    // "NAME=VALUE" entries the program gets on top of the driver's own environment (replacing a
    // variable of the same name, whatever its case); the driver's own is left as it was.
    std::vector<std::string> environment;
};

// What to do to the program while it runs. Every moment is counted from Install being pressed
// (or from the window being found, when Install is not pressed), or, when afterWindow is set,
// from the moment a top-level window with that title (any program) first appears after that.
struct Plan {
    std::string caption = IDS_CAPTION_TEXT;  // the window to drive, looked for in the program only
    bool pressInstall = false;
    struct Command {
        int id;
        long atMs;
    };
    std::vector<Command> commands;  // WM_COMMAND with this id, notification 0
    long closeAtMs = -1;            // WM_CLOSE at this moment; -1: never
    std::string afterWindow;        // e.g. the driver package's "FTDI Driver Installation"
};

struct Outcome {
    bool ended = false;        // the program ended within the limit (not killed by the driver)
    DWORD exitCode = 0;        // when ended
    bool windowFound = false;  // the program's window with Plan::caption was seen
    bool actionsDone = false;  // every action of the plan was carried out
    std::vector<Event> events;
    // The Install button was seen disabled and never enabled again afterwards.
    bool InstallStayedDisabled() const;
    // The status texts in the order they appeared.
    std::vector<std::string> StatusTexts() const;
};

class UiDriver {
public:
    UiDriver();
    // Kills the program if it still runs, so no test leaves a process behind in the prefix.
    ~UiDriver();
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    // Starts the program with a quoted command line and its full path as the application name.
    // False when it cannot be created (see Error()) or one is already started.
    bool Start(const Launch& launch);
    const std::string& Error() const { return error; }
    HANDLE Process() const { return process.Get(); }
    DWORD ProcessId() const { return processId; }
    // Milliseconds since Start (the moment CreateProcess returned).
    long SinceStart() const;

    // Waits until a visible top-level window of this program has this caption (compared without
    // regard to case, like FindWindowA). Null when none appeared within timeoutMs or the
    // program ended first. SinceStart() at the moment it was found is kept in FoundAtMs().
    HWND WaitForWindow(const char* caption, DWORD timeoutMs);
    long FoundAtMs() const { return foundAtMs; }

    // The window actions post their message to a window found by WaitForWindow (or Run) and
    // return false when there is none.
    bool PressInstall();       // WM_COMMAND IDC_INSTALL with BN_CLICKED, as the button sends it
    bool SendCommand(int id);  // WM_COMMAND id with notification 0
    bool Close();              // WM_CLOSE

    // Carries out the plan, polling the window every 10 ms and recording what it shows, until
    // the program ends or timeLimitMs (counted from Start) passes; then the program is killed.
    // onEvent, when given, sees each event as it is recorded.
    Outcome Run(const Plan& plan, DWORD timeLimitMs,
                const std::function<void(const Event&)>& onEvent = nullptr);

    // Waits for the program to end; kills it when it has not ended within timeoutMs. True with
    // its exit code when it ended by itself.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);

    // CPU time (user and kernel) the program has used, in milliseconds; also after it ended.
    long CpuMs() const;
    // The largest working set seen while Run polled, in bytes (0 when unknown).
    SIZE_T PeakWorkingSet() const { return peakWorkingSet; }
    // Reads the program's peak working set now; the largest seen, as PeakWorkingSet().
    SIZE_T SamplePeakWorkingSet();

private:
    HWND FindOwnWindow(const char* caption) const;
    void Kill();

    UniqueHandle process;
    DWORD processId = 0;
    LARGE_INTEGER startedAt = {};
    HWND window = nullptr;
    long foundAtMs = -1;
    SIZE_T peakWorkingSet = 0;
    std::string error;
};

}  // namespace uidriver
