#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/uidriver/UiDriver.h"

// One run of the wizard as a user starts it: Setup.exe from the medium's root with that root as
// its current folder (as Explorer does), "Install" pressed by the UI driver, and the wizard
// left alone until it ends or the time limit passes.
namespace simpc {

// Wine's debug channels that show the wizard's texts, its status box and its prompts.
extern const char* const kWizardTraceChannels;
// The title of the driver package's window, which the run notes when it opens.
extern const char* const kPackageWindowTitle;

struct WizardRun {
    uidriver::Outcome outcome;
    // The UI driver's event lines, "error <text>" lines, and "install-tick <ms>": the tick count
    // at which "Install" was pressed, the clock of the trace's timestamps.
    std::string driverOutput;
};

// environment: "NAME=VALUE" entries for the wizard (and the driver package it starts).
// traced: Setup.exe runs with kWizardTraceChannels, and Wine writes the traces to the standard
// error that Setup.exe takes over from this program. onLine sees each output line as it comes.
WizardRun RunWizard(const std::string& mediumRoot, const std::vector<std::string>& environment,
                    bool traced, DWORD timeLimitMs,
                    const std::function<void(const std::string&)>& onLine = nullptr);

}  // namespace simpc
