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

protected:
    // The framework's default help command; the wizard ships no help file, so it shows nothing.
    void OnHelp() {}
};

// The framework's main routine: runs the one application object's InitInstance. Returns the
// process exit code.
int RunApplication();
