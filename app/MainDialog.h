#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "app/BitmapBackgroundDialog.h"
#include "app/InstallWorker.h"
#include "framework/Handles.h"
#include "install/InstallLog.h"
#include "install/OsKind.h"
#include "install/PromptPlayer.h"
#include "install/RunOwner.h"
#include "patchers/DolphinPatcher.h"
#include "patchers/JawsPatcher.h"
#include "patchers/NvdaPatcher.h"
#include "patchers/WindowEyesPatcher.h"

// OsKind for a major version and platform id; current is kept for a platform not known.
[[nodiscard]] int ClassifyOsKind(DWORD majorVersion, DWORD platformId, int current);
// Whether Windows is 64-bit, for a program of this bitness: a 64-bit program runs on nothing
// else; a 32-bit one asks isWow64 (IsWow64Process, which Windows 95/98/ME, NT 4 and 2000 lack:
// nullptr then) about process, and a missing call, a failed one or FALSE mean 32-bit Windows.
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE process, BOOL* wow64);
[[nodiscard]] bool Is64BitWindowsWith(bool programIs64Bit, IsWow64ProcessFn isWow64,
                                      HANDLE process);
// kernel32's IsWow64Process, looked up at run time so the program still starts where it is
// missing; nullptr there.
[[nodiscard]] IsWow64ProcessFn SystemIsWow64Process();
// Drive and directory of the executable at modulePath, ending in a backslash.
[[nodiscard]] std::string ProgramDirFromModulePath(const std::string& modulePath);
// The executable's full path as query (GetModuleFileNameA's shape) gives it, read whole up to
// the platform's longest path; empty when it cannot be read.
using ModuleFileNameQuery = DWORD(WINAPI*)(HMODULE module, LPSTR buffer, DWORD size);
[[nodiscard]] std::string ModulePathWith(ModuleFileNameQuery query);

// The wide calls the About item is appended with. Windows 95/98/ME lack them (or have stubs
// that fail with ERROR_CALL_NOT_IMPLEMENTED), so they are looked up at run time and never
// named in the import table, which would keep the program from starting there.
struct WideMenuCalls {
    using LoadStringWFn = int(WINAPI*)(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
    using AppendMenuWFn = BOOL(WINAPI*)(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR item);
    LoadStringWFn loadString = nullptr;  // nullptr: missing
    AppendMenuWFn appendMenu = nullptr;
};
// user32's own, as far as it has them.
[[nodiscard]] WideMenuCalls SystemWideMenuCalls();
// Appends a separator and string 101 as item 16 to menu. Read and appended as wide text where
// the wide calls work, so the Korean letters show whatever the ANSI code page; where they are
// missing or fail, the ANSI calls append the same resource, so the item is there everywhere.
// Nothing is appended when the string cannot be loaded at all.
void AppendAboutItem(HMENU menu, HINSTANCE instance, const WideMenuCalls& wide);

// The wizard's window: background picture, hidden status box, "Install" and "Cancel". It works
// out which Windows runs (OsKind) and where the install medium is (ProgramDir), owns the four
// patchers, and starts the installation worker. To the run's steps it is their RunOwner.
class MainDialog : public BitmapBackgroundDialog, public RunOwner {
public:
    explicit MainDialog(HWND parent = nullptr);
    ~MainDialog() override;

    // One of the OsKindValue values.
    int OsKind = kOsKindUnknown;
    // 64-bit Windows; set with OsKind when the dialog opens.
    bool windows64 = false;
    // Drive and directory of the program's executable, ending in a backslash: the root of the
    // install medium. Empty until the dialog opens, when the path cannot be read, and once
    // released on close.
    std::string ProgramDir;

    WindowEyesPatcher windowEyesPatcher;
    DolphinPatcher dolphinPatcher;
    JawsPatcher jawsPatcher;
    NvdaPatcher nvdaPatcher;

    HICON icon;

    // Sets OsKind from the version query; 1 when the query succeeded, else 0. The query is
    // tried with the extended record first and the basic one after; the version it reports goes
    // into the log.
    [[nodiscard]] int DetectOsKind();
    using VersionQuery = BOOL(WINAPI*)(OSVERSIONINFOA* record);
    [[nodiscard]] int DetectOsKindWith(VersionQuery query);
    // Sets windows64 for the running Windows.
    void Detect64BitWindows();

    // What the run's steps ask of the wizard. The status box is reached here and nowhere else.
    [[nodiscard]] bool MediumPath(const char* relative, std::string& path) const override;
    [[nodiscard]] bool IsClosing() const override { return closing.load(); }
    void ShowStatus(const char* text) override;
    PromptPlayer& Prompts() override { return *prompts; }
    [[nodiscard]] int RunningOsKind() const override { return OsKind; }
    [[nodiscard]] bool Is64BitWindows() const override { return windows64; }
    // Tests hand in a player that records.
    void SetPromptPlayer(PromptPlayer* player) {
        prompts = player != nullptr ? player : &systemPrompts;
    }

    // Set by a close during a run, so waits end at once; null when it could not be created,
    // and waits then run their full course.
    HANDLE ClosingEvent() const { return closingEvent.Get(); }
    // Bookkeeping of the run, used by the worker.
    void SetWatcherThread(UniqueHandle watcher);
    [[nodiscard]] bool IsWatcherRunning() const;
    // The run's last step, on the worker's thread: hides the status box and closes the dialog.
    void EndRun();
    // The step the worker is in, for the log and for a close by the user; written by the worker.
    void EnterStep(const char* step);
    // What the run came to: one of the RunExitCode values, kExitClosed until the verdict is told.
    // While a worker runs it may still change: the program's exit code is Finish's.
    void SetExitCode(int code) { exitCode.store(code); }
    [[nodiscard]] int ExitCode() const { return exitCode.load(); }
    // Once the dialog has ended: stops a run still going (a close during the verdict's prompt
    // leaves the worker to finish the verdict), logs the wizard's end and returns the exit code
    // that line states, so the log, the process and what the user heard agree. Later calls
    // return the same code; the destructor calls it when nobody did.
    [[nodiscard]] int Finish();

protected:
    bool OnMessage(const Message& message, LRESULT& result) override;
    BOOL OnInitDialog() override;

private:
    LRESULT OnSysCommand(const Message& message);
    LRESULT OnPaint(const Message& message);
    LRESULT OnQueryDragIcon(const Message& message);
    LRESULT OnClose(const Message& message);
    void OnInstall();
    void OnRemoveDriver();
    void OnCloseButton();
    // Tells a running worker to stop and waits for it and its watcher, handling the messages
    // they send meanwhile; the prompt in progress is cut off where the system allows that.
    // Safe to call when no run was started.
    void StopRun();
    void WaitCuttingOffPrompts(HANDLE thread);
    void ReleaseProgramDir();
    // Writes what support needs of this PC into the log (the Windows version is written where it
    // is asked for).
    void LogThisPc() const;
    // Logs a close by the user, once, with the step it came in.
    void LogClose();

    SystemPromptPlayer systemPrompts;
    PromptPlayer* prompts = &systemPrompts;
    std::atomic<bool> closing{false};
    std::atomic<bool> workerSentClose{false};
    UniqueHandle closingEvent;
    // The window as the run's threads know it: kept when the dialog opens, before any run can
    // start, and never changed after, so they never read the handle that this thread clears
    // when the window goes (Esc during a run).
    HWND runWindow = nullptr;
    UniqueHandle workerThread;
    UniqueHandle watcherThread;
    std::atomic<const char*> step{"the start, before Install was pressed"};
    std::atomic<int> exitCode{kExitClosed};
    bool closeLogged = false;  // on the user-interface thread only
    bool finished = false;     // on the user-interface thread only
    // The installation log of this run; the last member, so it goes after everything that
    // writes to it.
    InstallLog log;
};
