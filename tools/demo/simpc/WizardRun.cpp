#include "tools/demo/simpc/WizardRun.h"

namespace simpc {

const char* const kWizardTraceChannels = "+timestamp,+edit,+winmm";
const char* const kPackageWindowTitle = "FTDI Driver Installation";

WizardRun RunWizard(const std::string& mediumRoot, const std::vector<std::string>& environment,
                    bool traced, DWORD timeLimitMs,
                    const std::function<void(const std::string&)>& onLine) {
    WizardRun run;
    auto emit = [&](const std::string& line) {
        run.driverOutput += line + "\n";
        if (onLine) onLine(line);
    };

    uidriver::Launch launch;
    launch.exe = mediumRoot + "\\Setup.exe";
    launch.currentFolder = mediumRoot;
    launch.environment = environment;
    // Wine reads the channels from the program's own environment and writes the traces to
    // its standard error, the one it takes over from this program.
    if (traced) launch.environment.push_back(std::string("WINEDEBUG=") + kWizardTraceChannels);
    uidriver::UiDriver driver;
    if (!driver.Start(launch)) {
        emit("error " + driver.Error());
        return run;
    }

    uidriver::Plan plan;
    plan.pressInstall = true;
    plan.afterWindow = kPackageWindowTitle;  // only to note when the package's window opens
    bool tickKnown = false;
    DWORD pressTick = 0;
    run.outcome = driver.Run(plan, timeLimitMs, [&](const uidriver::Event& event) {
        // Events count from the press, so the first one tells when it was.
        if (!tickKnown) {
            pressTick = ::GetTickCount() - static_cast<DWORD>(event.ms);
            tickKnown = true;
        }
        emit(uidriver::FormatEvent(event));
    });
    if (run.outcome.actionsDone && tickKnown) emit("install-tick " + std::to_string(pressTick));
    if (!run.outcome.windowFound) emit("error the wizard's window never appeared");
    return run;
}

}  // namespace simpc
