#pragma once

#include "framework/App.h"
#include "framework/Handles.h"

// What the process sets up before anything else runs.
// DLLs are loaded from the system folder only, never out of the current folder or the folder of
// the medium, where a planted copy could wait. Both calls are looked up at run time, so the
// program still starts on systems that lack them (there the system's own search order stays).
void RestrictDllSearchPath();
// A disk that is missing (a CD taken out mid-run) fails the call that needs it, instead of
// raising the system's box on whichever thread asked, which would block the run and a close
// behind it. Every Windows the wizard claims has it.
void FailCriticalErrorsQuietly();

// One wizard at a time, so two never speak over each other or start two driver packages: every
// wizard holds this named mutex while it runs (Windows 95 has named mutexes; the name has no
// backslash, which Windows 95/98/ME refuse in one).
extern const char* const kOneWizardName;
// Creates or opens the mutex into held. False when another wizard holds it (or holds it where
// this process may not open it). A mutex that cannot be made at all lets the wizard run.
[[nodiscard]] bool TakeOneWizard(UniqueHandle& held);
// For a start that finds another wizard: brings that wizard's window to the front, waiting a
// moment for one that is still opening it, and logs this start and how it ended.
void HandOverToRunningWizard();

// The program: shows the wizard's dialog modally and ends when it closes.
class InstallerApp : public WinApp {
public:
    BOOL InitInstance() override;
    bool OnCommand(UINT id) override;
};
