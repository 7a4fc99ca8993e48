#pragma once

#include <windows.h>
// The application object. The program's entry point runs InitInstance; when it returns FALSE
// the program ends without a message loop of its own.
class WinApp {
public:
    WinApp();
    virtual ~WinApp();
    WinApp(const WinApp&) = delete;
    WinApp& operator=(const WinApp&) = delete;

    static WinApp* Current();

    virtual BOOL InitInstance();
    // The application's command map: commands that no window handled. True when handled.
    virtual bool OnCommand(UINT id);

    // The process's exit code once InitInstance has returned; 0 unless the application set one.
    int ExitCode() const { return exitCode; }

protected:
    // The framework's default help command; the wizard ships no help file, so it shows nothing.
    void OnHelp() {}
    void SetExitCode(int code) { exitCode = code; }

private:
    int exitCode = 0;
};

// The framework's main routine: runs the one application object's InitInstance. Returns the
// process exit code the application set.
int RunApplication();
