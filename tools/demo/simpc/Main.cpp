// simpc: the simulated PC of the demo. One run, under Wine in the demo's prefix, puts a scenario
// on the machine, takes a snapshot, holds the scenario's files open, runs the wizard through the
// UI driver, lets the files go, takes a second snapshot and reports what the wizard showed,
// played and changed. See Usage().

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/InstallWorker.h"
#include "install/InstallLog.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Scenario.h"
#include "tools/demo/simpc/Snapshot.h"
#include "tools/demo/simpc/Transcript.h"
#include "tools/machine/Machine.h"
#include "tools/uidriver/UiDriver.h"

namespace {

constexpr long kDefaultRunLimitS = 120;
// Wine's debug channels that show the wizard's texts, its status box and its prompts.
const char* const kWizardTraceChannels = "+timestamp,+edit,+winmm";
// Exit codes besides 0, the wizard ran to its end.
constexpr int kNotToTheEnd = 1;
constexpr int kNotSetUp = 2;
constexpr int kBadCommandLine = 3;
constexpr int kCannotRunHere = 4;  // this host cannot give the scenario what it needs

void Usage() {
    std::fputs(
        "usage: simpc <scenario> <medium folder> <work folder> <trace file>\n"
        "             [--env NAME=VALUE]... [--timeout <s>] [--relay <functions>]\n"
        "Seeds the machine from the scenario, runs Setup.exe from the medium (or from a copy in\n"
        "the work folder without the files the scenario removes) and reports on standard output.\n"
        "Standard error must go to the trace file: Setup.exe takes it over and Wine writes the\n"
        "traces of the wizard's texts and prompts there. The UI driver's events go to run.log in\n"
        "the work folder. Paths are Windows paths (Z:\\... for the Linux file system).\n"
        "--relay adds Wine's relay trace of those functions (RelayInclude's form, e.g.\n"
        "advapi32.RegOpenKeyExA;msvcrt._beginthreadex) and the process ids to the trace.\n",
        stderr);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "simpc: %s\n", message.c_str());
    return kNotSetUp;
}

// A step of the run, shown at once: the wizard's run that follows takes a while.
void Step(const std::string& text) {
    std::printf("  %s\n", text.c_str());
    std::fflush(stdout);
}

struct Options {
    std::string scenario;
    std::string medium;
    std::string work;
    std::string trace;
    std::vector<std::string> environment;
    long limitS = kDefaultRunLimitS;
    std::string relay;  // RelayInclude for the wizard's run; empty: no relay trace
};

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 5 || argc % 2 == 0) return false;
    options.scenario = argv[1];
    options.medium = argv[2];
    options.work = argv[3];
    options.trace = argv[4];
    for (int i = 5; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--env" && value.find('=') != std::string::npos) {
            options.environment.push_back(value);
        } else if (option == "--relay" && !value.empty()) {
            options.relay = value;
        } else if (option == "--timeout" && !value.empty() && value.size() <= 6 &&
                   value.find_first_not_of("0123456789") == std::string::npos) {
            options.limitS = std::atol(value.c_str());
        } else {
            return false;
        }
    }
    return options.limitS > 0;
}

// Wine's list of the functions the relay trace shows, for the processes that start while it is
// set; put back as it was afterwards.
class RelayInclude {
public:
    explicit RelayInclude(const std::string& functions) {
        if (functions.empty()) return;
        had = machine::ReadString(HKEY_CURRENT_USER, kKey, kValue, previous);
        set = machine::WriteString(HKEY_CURRENT_USER, kKey, kValue, functions) == ERROR_SUCCESS;
    }
    ~RelayInclude() {
        if (!set) return;
        if (had) {
            static_cast<void>(machine::WriteString(HKEY_CURRENT_USER, kKey, kValue, previous));
        } else {
            machine::DeleteValue(HKEY_CURRENT_USER, kKey, kValue);
        }
    }
    RelayInclude(const RelayInclude&) = delete;
    RelayInclude& operator=(const RelayInclude&) = delete;
    bool IsSet() const { return set; }

private:
    static constexpr const char* kKey = "Software\\Wine\\Debug";
    static constexpr const char* kValue = "RelayInclude";
    bool had = false;
    bool set = false;
    std::string previous;
};

// Setup.exe from the medium's root with that root as its current folder, as Explorer starts it,
// and "Install" pressed. Returns the UI driver's event lines, "error <text>" lines,
// "wizard-pid <id>" (the process id the traces name) and "install-tick <ms>": the tick count
// at which "Install" was pressed, the clock of the trace.
std::string RunWizard(const std::string& root, const Options& options) {
    std::string lines;
    uidriver::Launch launch;
    launch.exe = root + "\\Setup.exe";
    launch.currentFolder = root;
    launch.environment = options.environment;
    // Wine reads the channels from the program's own environment and writes the traces to the
    // standard error it takes over from this program.
    const RelayInclude relay(options.relay);
    if (!options.relay.empty() && !relay.IsSet()) return "error cannot set RelayInclude\n";
    launch.environment.push_back(std::string("WINEDEBUG=") + kWizardTraceChannels +
                                 (options.relay.empty() ? "" : ",+pid,+relay"));
    uidriver::UiDriver driver;
    if (!driver.Start(launch)) return "error " + driver.Error() + "\n";
    lines += "wizard-pid " + std::to_string(driver.ProcessId()) + "\n";

    uidriver::Plan plan;
    plan.pressInstall = true;
    plan.afterWindow = kPackageWindowTitle;  // only to note when the package's window opens
    bool tickKnown = false;
    DWORD pressTick = 0;
    const uidriver::Outcome outcome = driver.Run(
        plan, static_cast<DWORD>(options.limitS) * 1000, [&](const uidriver::Event& event) {
            // Events count from the press, so the first one tells when it was.
            if (!tickKnown) {
                pressTick = ::GetTickCount() - static_cast<DWORD>(event.ms);
                tickKnown = true;
            }
            lines += uidriver::FormatEvent(event) + "\n";
        });
    if (outcome.actionsDone && tickKnown)
        lines += "install-tick " + std::to_string(pressTick) + "\n";
    if (!outcome.windowFound) lines += "error the wizard's window never appeared\n";
    return lines;
}

// Where the wizard writes its installation log: its temporary folder, which the environment it
// was given names (TMP first, then TEMP, as the system looks), else this program's own.
std::string WizardLogPath(const Options& options) {
    for (const char* variable : {"TMP=", "TEMP="}) {
        for (const std::string& entry : options.environment) {
            if (simpc::Lower(entry.substr(0, std::strlen(variable))) == simpc::Lower(variable)) {
                std::string folder = entry.substr(std::strlen(variable));
                if (!folder.empty() && folder.back() != '\\') folder += '\\';
                return folder + "Lumitactile Setup.log";
            }
        }
    }
    return InstallLog::FilePath();
}

int Report(const simpc::Scenario& scenario, const simpc::Snapshot& before,
           const simpc::Snapshot& after, const simpc::RunReport& run, const Options& options) {
    std::printf("Transcript: every status text and prompt, in ms since \"Install\" was pressed\n");
    std::printf("%s\n", simpc::FormatTranscript(run).c_str());
    std::printf("What changed on the machine\n%s\n",
                simpc::FormatChanges(simpc::DiffSnapshots(scenario, before, after)).c_str());
    const std::string logPath = WizardLogPath(options);
    std::string log;
    const std::string block =
        machine::ReadWholeFile(logPath, log) ? simpc::LastLogBlock(log) : std::string();
    std::printf("The wizard's installation log of this run (%s)\n%s\n", logPath.c_str(),
                block.empty() ? "  none was written\n" : block.c_str());
    std::printf("Verdict: %s\n",
                run.verdict.empty() ? "none was told" : ("\"" + run.verdict + "\"").c_str());
    if (!scenario.expectedStatus.empty()) {
        if (run.statusTexts == scenario.expectedStatus) {
            std::printf("The status texts are the ones the scenario expects.\n");
        } else {
            std::printf("The status texts differ from the ones the scenario expects:\n");
            for (const std::string& expected : scenario.expectedStatus) {
                std::printf("  expected \"%s\"\n", expected.c_str());
            }
            for (const std::string& shown : run.statusTexts) {
                std::printf("  shown    \"%s\"\n", shown.c_str());
            }
        }
    }
    if (!run.RanToEnd()) {
        std::printf("The wizard did not run to its end: %s.\n", run.Problem().c_str());
        return kNotToTheEnd;
    }
    std::printf(
        "The wizard ran to its end in %.1f s (from \"Install\" to the end of Setup.exe), "
        "exit code %lu.\n",
        run.endMs / 1000.0, run.exitCode);
    if (scenario.expectedExit >= 0 &&
        run.exitCode != static_cast<unsigned long>(scenario.expectedExit)) {
        std::printf("The scenario expects exit code %d.\n", scenario.expectedExit);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The output goes to Linux scripts: no carriage returns added to it.
    static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return kBadCommandLine;
    }
    simpc::Scenario scenario;
    std::string error;
    if (!simpc::LoadScenario(options.scenario, scenario, error)) return Fail(error);

    Step("seeding the machine from the scenario");
    simpc::SeedRecord record;
    if (!simpc::Seed(scenario, record, error)) return Fail(error);
    std::string emulated;
    if (simpc::BenchWindows(scenario.windows, scenario.windows64, emulated, error) &&
        emulated != scenario.windows) {
        Step("Windows " + scenario.windows + " is emulated as " + emulated +
             ", the same family, for this 64-bit bench");
    }
    simpc::RunMedium medium;
    if (!medium.Prepare(scenario, options.medium, options.work + "\\medium", error)) {
        if (medium.CannotRunHere()) {
            std::fprintf(stderr, "simpc: cannot run the scenario here: %s\n", error.c_str());
            return kCannotRunHere;
        }
        return Fail("cannot prepare the medium: " + error);
    }
    const std::string& root = medium.Root();
    if (scenario.mediumReadOnly) {
        Step("using a read-only copy of the medium, as on a CD: " + root);
    } else if (root != options.medium) {
        Step("using a copy of the medium: " + root);
    }
    const simpc::Snapshot before = simpc::TakeSnapshot(scenario);
    simpc::HeldFiles held;
    if (!held.Hold(scenario.held, error)) return Fail("cannot hold the scenario's files: " + error);
    if (held.Count() > 0) {
        Step("holding " + std::to_string(held.Count()) +
             " file(s) open, as a running screen reader would");
    }

    Step("starting Setup.exe in " + root + " and pressing \"Install\"");
    std::printf("\n");
    const std::string driverOutput = RunWizard(root, options);
    held.Release();
    const simpc::Snapshot after = simpc::TakeSnapshot(scenario);
    if (!machine::WriteWholeFile(options.work + "\\run.log", driverOutput)) {
        return Fail("cannot write " + options.work + "\\run.log");
    }
    // Setup.exe has ended, so the trace is complete.
    std::string trace;
    static_cast<void>(machine::ReadWholeFile(options.trace, trace));
    return Report(scenario, before, after, simpc::ReadRun(driverOutput, trace), options);
}
