#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "app/BitmapBackgroundDialog.h"
#include "framework/Handles.h"
#include "install/PromptPlayer.h"
#include "patchers/DolphinPatcher.h"
#include "patchers/JawsPatcher.h"
#include "patchers/WindowEyesPatcher.h"

// OsKind for a major version and platform id; current is kept for a platform not known.
int ClassifyOsKind(DWORD majorVersion, DWORD platformId, int current);
// Drive and directory of the executable at modulePath, ending in a backslash.
std::string ProgramDirFromModulePath(const std::string& modulePath);
// The executable's full path as query (GetModuleFileNameA's shape) gives it, read whole up to
// the platform's longest path; empty when it cannot be read.
using ModuleFileNameQuery = DWORD(WINAPI*)(HMODULE module, LPSTR buffer, DWORD size);
std::string ModulePathWith(ModuleFileNameQuery query);

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
WideMenuCalls SystemWideMenuCalls();
// Appends a separator and string 101 as item 16 to menu. Read and appended as wide text where
// the wide calls work, so the Korean letters show whatever the ANSI code page; where they are
// missing or fail, the ANSI calls append the same resource, so the item is there everywhere.
// Nothing is appended when the string cannot be loaded at all.
void AppendAboutItem(HMENU menu, HINSTANCE instance, const WideMenuCalls& wide);

// The wizard's window: background picture, hidden status box, "Install" and "Cancel". It works
// out which Windows runs (OsKind) and where the install medium is (ProgramDir), owns the three
// patchers, and starts the installation worker.
class MainDialog : public BitmapBackgroundDialog {
public:
    explicit MainDialog(HWND parent = nullptr);
    ~MainDialog() override;

    // 1 Windows 95/98/ME, 2 NT before version 6, 3 Win32s, 4 version 6 or later; 0 unknown.
    int OsKind = 0;
    // Drive and directory of the program's executable, ending in a backslash: the root of the
    // install medium. Empty until the dialog opens, when the path cannot be read, and once
    // released on close.
    std::string ProgramDir;

    WindowEyesPatcher windowEyesPatcher;
    DolphinPatcher dolphinPatcher;
    JawsPatcher jawsPatcher;

    HICON icon;

    // Sets OsKind from the version query; 1 when the query succeeded, else 0. The query is
    // tried with the extended record first and the basic one after.
    int DetectOsKind();
    using VersionQuery = BOOL(WINAPI*)(OSVERSIONINFOA* record);
    int DetectOsKindWith(VersionQuery query);

    // ProgramDir followed by relative (which begins with a backslash). False, with path empty,
    // when ProgramDir is unknown: no path is ever built from an empty ProgramDir.
    bool MediumPath(const char* relative, std::string& path) const;

    // Every prompt of the run goes through this player; tests hand in one that records.
    PromptPlayer& Prompts() { return *prompts; }
    void SetPromptPlayer(PromptPlayer* player) {
        prompts = player != nullptr ? player : &systemPrompts;
    }

    // Set when the dialog is closed during a run: the worker finishes the step it is in and
    // skips every step after it. The event lets waits end at once; it is null when it could
    // not be created, and waits then run their full course.
    bool IsClosing() const { return closing.load(); }
    HANDLE ClosingEvent() const { return closingEvent.Get(); }

    // The dialog's window as the run's steps know it: kept when the dialog opens, before any
    // run can start, and never changed after, so the run's threads never read the handle
    // that the user-interface thread clears when the window goes (Esc during a run).
    HWND RunWindow() const { return runWindow; }
    bool IsWatcherRunning() const;

    // Bookkeeping of the run, used by the worker.
    void SetWatcherThread(UniqueHandle watcher);
    void MarkWorkerClosing() { workerSentClose.store(true); }

protected:
    bool OnMessage(const Message& message, LRESULT& result) override;
    BOOL OnInitDialog() override;

private:
    void OnSysCommand(WPARAM id, LPARAM position);
    void OnPaint();
    void OnInstall();
    void OnRemoveDriver();
    void OnClose();
    // Tells a running worker to stop and waits for it and its watcher, handling the messages
    // they send meanwhile. Safe to call when no run was started.
    void StopRun();
    void WaitCuttingOffPrompts(HANDLE thread);
    void ReleaseProgramDir();

    SystemPromptPlayer systemPrompts;
    PromptPlayer* prompts = &systemPrompts;
    std::atomic<bool> closing{false};
    std::atomic<bool> workerSentClose{false};
    UniqueHandle closingEvent;
    HWND runWindow = nullptr;
    UniqueHandle workerThread;
    UniqueHandle watcherThread;
};
