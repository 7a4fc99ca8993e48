#pragma once

#include "framework/App.h"

// What the process sets up before anything else runs.
// DLLs are loaded from the system folder only, never out of the current folder or the folder of
// the medium, where a planted copy could wait. Both calls are looked up at run time, so the
// program still starts on systems that lack them (there the system's own search order stays).
void RestrictDllSearchPath();
// A disk that is missing (a CD taken out mid-run) fails the call that needs it, instead of
// raising the system's box on whichever thread asked, which would block the run and a close
// behind it. Every Windows the wizard claims has it.
void FailCriticalErrorsQuietly();

// The program: shows the wizard's dialog modally and ends when it closes.
class InstallerApp : public WinApp {
public:
    BOOL InitInstance() override;
    bool OnCommand(UINT id) override;
};
