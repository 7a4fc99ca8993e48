// benchdriver: the measuring half of `make bench`. It runs under Wine in the benchmark's own
// prefix, starts the programs through the UI driver and prints what it measured as plain
// "name value" lines for tools/bench/bench.sh, which makes the table. See Usage().

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/InstallWorker.h"
#include "tools/bench/BenchMachine.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Scenario.h"
#include "tools/machine/Machine.h"
#include "tools/uidriver/UiDriver.h"

namespace {

const char* const kPackageStayVariable = "LUMI_STANDIN_PACKAGE_MS";

constexpr DWORD kPollMs = 10;
constexpr long kDefaultTimeoutS = 120;

void Usage() {
    std::fputs(
        "usage: benchdriver startup --runs <n> [--timeout <s>] --program <exe> <caption>...\n"
        "       benchdriver patch --exe <Setup.exe> --versions <n> --folders <n>\n"
        "                   --windows <version> --runs <n> [--timeout <s>] [--save <file>]\n"
        "       benchdriver wait --exe <Setup.exe> --windows <version> --package-ms <ms>\n"
        "                   [--timeout <s>]\n"
        "       benchdriver idle --program <exe> <caption> --idle-ms <ms> [--timeout <s>]\n"
        "Windows paths (Z:\\... for the Linux file system). Every program runs with its own\n"
        "folder as its current folder. --timeout limits each single run (default 120 s).\n",
        stderr);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "benchdriver: %s\n", message.c_str());
    return 1;
}

bool ParseNumber(const std::string& text, long& number) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    number = std::stol(text);
    return true;
}

long Median(std::vector<long> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The options after the command, as name and values; false on anything unknown or incomplete.
struct Options {
    long runs = 0;
    long timeoutS = kDefaultTimeoutS;
    std::vector<std::pair<std::string, std::string>> programs;  // exe, caption
    std::string exe;
    std::string windows;
    std::string save;
    long versions = -1;
    long folders = -1;
    long packageMs = -1;
    long idleMs = -1;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        const int left = argc - i - 1;
        if (option == "--program" && left >= 2) {
            options.programs.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
            continue;
        }
        if (left < 1) return false;
        const std::string value = argv[++i];
        bool good = true;
        if (option == "--runs") {
            good = ParseNumber(value, options.runs) && options.runs > 0;
        } else if (option == "--timeout") {
            good = ParseNumber(value, options.timeoutS) && options.timeoutS > 0 &&
                   options.timeoutS <= 3600;
        } else if (option == "--exe") {
            options.exe = value;
        } else if (option == "--windows") {
            options.windows = value;
        } else if (option == "--save") {
            options.save = value;
        } else if (option == "--versions") {
            good = ParseNumber(value, options.versions);
        } else if (option == "--folders") {
            good = ParseNumber(value, options.folders);
        } else if (option == "--package-ms") {
            good = ParseNumber(value, options.packageMs);
        } else if (option == "--idle-ms") {
            good = ParseNumber(value, options.idleMs);
        } else {
            good = false;
        }
        if (!good) return false;
    }
    return true;
}

// ---- Start-up ----------------------------------------------------------------------------------
// Each program is started, its window awaited and closed again, the programs taking turns so
// that anything slowing the machine meanwhile hits all of them alike. One unrecorded round first
// brings the platform's own files into the cache.
int StartUp(const Options& options) {
    if (options.programs.empty() || options.runs <= 0) {
        Usage();
        return 3;
    }
    const DWORD limitMs = static_cast<DWORD>(options.timeoutS) * 1000;
    std::vector<std::vector<long>> times(options.programs.size());
    std::vector<SIZE_T> peaks(options.programs.size(), 0);
    for (long round = 0; round <= options.runs; ++round) {
        for (size_t p = 0; p < options.programs.size(); ++p) {
            const std::string& exe = options.programs[p].first;
            const std::string& caption = options.programs[p].second;
            uidriver::UiDriver driver;
            if (!driver.Start({exe, simpc::ParentOf(exe), {}})) return Fail(driver.Error());
            if (driver.WaitForWindow(caption.c_str(), limitMs) == nullptr) {
                return Fail(exe + " showed no window \"" + caption + "\" within the limit");
            }
            const long ms = driver.FoundAtMs();
            const SIZE_T peak = driver.SamplePeakWorkingSet();
            DWORD exitCode = 0;
            if (!driver.Close() || !driver.WaitForExit(limitMs, exitCode)) {
                return Fail(exe + " did not end when its window was closed");
            }
            if (round == 0) continue;
            times[p].push_back(ms);
            peaks[p] = std::max(peaks[p], peak);
            std::printf("startup %zu %ld\n", p, ms);
            std::fflush(stdout);
        }
    }
    for (size_t p = 0; p < options.programs.size(); ++p) {
        std::printf("startup-median %zu %ld\n", p, Median(times[p]));
        std::printf("startup-peak-working-set %zu %lu\n", p, static_cast<unsigned long>(peaks[p]));
    }
    return 0;
}

// ---- Idle floor --------------------------------------------------------------------------------
// The CPU time a program uses while it only shows its window: what any waiting program costs
// here, to set the wizard's wait beside.
int Idle(const Options& options) {
    if (options.programs.size() != 1 || options.idleMs < 0) {
        Usage();
        return 3;
    }
    const DWORD limitMs = static_cast<DWORD>(options.timeoutS) * 1000;
    const std::string& exe = options.programs[0].first;
    uidriver::UiDriver driver;
    if (!driver.Start({exe, simpc::ParentOf(exe), {}})) return Fail(driver.Error());
    if (driver.WaitForWindow(options.programs[0].second.c_str(), limitMs) == nullptr) {
        return Fail(exe + " showed no window within the limit");
    }
    const long before = driver.CpuMs();
    ::Sleep(static_cast<DWORD>(options.idleMs));
    const long after = driver.CpuMs();
    DWORD exitCode = 0;
    if (!driver.Close() || !driver.WaitForExit(limitMs, exitCode)) {
        return Fail(exe + " did not end when its window was closed");
    }
    std::printf("idle-ms %ld\n", options.idleMs);
    std::printf("idle-cpu-ms %ld\n", after - before);
    return 0;
}

// ---- Machines ----------------------------------------------------------------------------------

// Puts a generated machine on this prefix, through the simulated PC's own parser and seeding.
// Whatever an earlier run that was cut off left of the readers' vendors is taken away first:
// the benchmark's prefix holds nothing else.
class SeededMachine {
public:
    ~SeededMachine() { simpc::Unseed(record); }

    bool Seed(const bench::MachineSize& size, const std::string& windows, std::string& error) {
        text = bench::MachineScenario(size, windows);
        simpc::Scenario scenario;
        if (!simpc::ParseScenario(text, "benchmark machine", scenario, error)) return false;
        std::set<std::pair<std::string, REGSAM>> leftKeys;
        std::set<std::string> leftFolders;
        for (const simpc::RegistryKey& key : scenario.keys) {
            leftKeys.insert({TopKey(key.subkey), simpc::ViewOf(key)});
        }
        for (const simpc::File& file : scenario.files) leftFolders.insert(TopFolder(file.path));
        for (const simpc::Folder& folder : scenario.folders) {
            leftFolders.insert(TopFolder(folder.path));
        }
        for (const auto& [key, view] : leftKeys) machine::RemoveKey(HKEY_LOCAL_MACHINE, key, view);
        for (const std::string& folder : leftFolders) machine::RemoveTree(folder);
        return simpc::Seed(scenario, record, error);
    }
    const std::string& Text() const { return text; }

private:
    // "Software\Vendor" of "Software\Vendor\Product\...": the vendor's key, which the machine
    // brings with it.
    static std::string TopKey(const std::string& subkey) {
        const size_t first = subkey.find('\\');
        return subkey.substr(0, subkey.find('\\', first + 1));
    }
    // "C:\Program Files\Vendor" of a path below it.
    static std::string TopFolder(const std::string& path) {
        size_t slash = path.find('\\', 3);
        if (slash != std::string::npos) slash = path.find('\\', slash + 1);
        return path.substr(0, slash);
    }

    simpc::SeedRecord record;
    std::string text;
};

// What a complete run leaves on the machine: the proof that the run timed did all its work.
// Empty when it is all there, else what is missing.
std::string MissingWork(const bench::MachineSize& size) {
    for (const std::string& path : bench::InstalledDriverPaths(size)) {
        if (!machine::FileExists(path)) return path;
    }
    int patched = 0;
    const std::string header = std::string("[") + bench::kDisplayKeysSection + "]";
    for (const std::string& path : bench::KeyMapPaths(size)) {
        std::string content;
        if (machine::ReadWholeFile(path, content) && content.find(header) != std::string::npos) {
            ++patched;
        }
    }
    if (patched == size.KeyMaps()) return std::string();
    return "the display's keys in " + std::to_string(size.KeyMaps() - patched) + " of " +
           std::to_string(size.KeyMaps()) + " key maps";
}

// ---- Patch phase -------------------------------------------------------------------------------
// Each run gets the machine freshly seeded (a patched machine has less left to do), presses
// Install and is timed to the program's end. With silent prompts the verdict stays in the status
// box only for the moment it takes to hide the box and close the dialog, so a poll sees it in
// some runs only; the time it was seen is kept when it was.
int Patch(const Options& options) {
    if (options.exe.empty() || options.windows.empty() || options.versions < 0 ||
        options.folders < 0 || options.runs <= 0) {
        Usage();
        return 3;
    }
    const bench::MachineSize size{static_cast<int>(options.versions),
                                  static_cast<int>(options.folders)};
    const DWORD limitMs = static_cast<DWORD>(options.timeoutS) * 1000;
    std::vector<long> verdictTimes;
    std::vector<long> exitTimes;
    SIZE_T peak = 0;
    for (long run = 1; run <= options.runs; ++run) {
        SeededMachine machine;
        std::string error;
        if (!machine.Seed(size, options.windows, error)) return Fail("cannot seed: " + error);
        if (run == 1 && !options.save.empty() &&
            !machine::WriteWholeFile(options.save, machine.Text())) {
            return Fail("cannot write " + options.save);
        }

        uidriver::UiDriver driver;
        if (!driver.Start({options.exe, simpc::ParentOf(options.exe), {}}))
            return Fail(driver.Error());
        uidriver::Plan plan;
        plan.pressInstall = true;
        const uidriver::Outcome outcome = driver.Run(plan, limitMs);
        if (!outcome.ended) return Fail("the wizard did not end within the limit");
        if (!outcome.actionsDone) return Fail("the wizard ended before Install was pressed");

        long verdictMs = -1;
        long exitMs = -1;
        for (const uidriver::Event& event : outcome.events) {
            if (event.kind == uidriver::Event::kStatus) {
                std::printf("patch-status %ld %ld %s\n", run, event.ms, event.text.c_str());
                if (event.text == kNoScreenReaderText) {
                    return Fail("the wizard found no screen reader on the machine");
                }
                if (event.text == kRestartText && verdictMs < 0) verdictMs = event.ms;
            }
            if (event.kind == uidriver::Event::kExit) exitMs = event.ms;
        }
        // A run that skipped work would time the wrong thing.
        const std::string missing = MissingWork(size);
        if (!missing.empty()) return Fail("the run left out " + missing);

        if (verdictMs >= 0) verdictTimes.push_back(verdictMs);
        exitTimes.push_back(exitMs);
        peak = std::max(peak, driver.PeakWorkingSet());
        std::printf("patch-run %ld exit-ms %ld verdict-ms %ld peak-working-set %lu\n", run, exitMs,
                    verdictMs, static_cast<unsigned long>(driver.PeakWorkingSet()));
        std::fflush(stdout);
    }
    std::printf("patch-median-exit-ms %ld\n", Median(exitTimes));
    std::printf("patch-verdict-seen %zu\n", verdictTimes.size());
    std::printf("patch-median-verdict-ms %ld\n", Median(verdictTimes));
    std::printf("patch-peak-working-set %lu\n", static_cast<unsigned long>(peak));
    return 0;
}

// ---- Waiting for the package -------------------------------------------------------------------
// The wizard's CPU time is read when the package's window appears and again when it has gone,
// while the wizard still runs: Wine's figure for a program that has ended is not its own.
// Nothing asks the wizard anything in between (the package window is looked for by title,
// which needs no answer from the wizard), so the difference is what the wizard spends waiting.
int Wait(const Options& options) {
    if (options.exe.empty() || options.windows.empty() || options.packageMs < 0) {
        Usage();
        return 3;
    }
    const DWORD limitMs = static_cast<DWORD>(options.timeoutS) * 1000;
    SeededMachine machine;
    std::string error;
    if (!machine.Seed(bench::MachineSize{1, 1}, options.windows, error)) {
        return Fail("cannot seed: " + error);
    }
    uidriver::UiDriver driver;
    const std::string stay =
        std::string(kPackageStayVariable) + "=" + std::to_string(options.packageMs);
    if (!driver.Start({options.exe, simpc::ParentOf(options.exe), {stay}}))
        return Fail(driver.Error());
    if (driver.WaitForWindow(IDS_CAPTION_TEXT, limitMs) == nullptr) {
        return Fail("the wizard's window did not appear");
    }
    if (!driver.PressInstall()) return Fail("cannot press Install");

    auto waitFor = [&](bool open) {
        for (;;) {
            if ((::FindWindowA(nullptr, kPackageWindowTitle) != nullptr) == open) return true;
            if (driver.SinceStart() >= static_cast<long>(limitMs)) return false;
            ::Sleep(kPollMs);
        }
    };
    if (!waitFor(true)) return Fail("the driver package's window did not appear");
    const long openedAt = driver.SinceStart();
    const long cpuAtOpen = driver.CpuMs();
    if (!waitFor(false)) return Fail("the driver package's window did not go away");
    const long closedAt = driver.SinceStart();
    const long cpuAtClose = driver.CpuMs();

    DWORD exitCode = 0;
    const long remainingMs = std::max(1L, static_cast<long>(limitMs) - driver.SinceStart());
    if (!driver.WaitForExit(static_cast<DWORD>(remainingMs), exitCode)) {
        return Fail("the wizard did not end after the package");
    }
    std::printf("wait-open-ms %ld\n", closedAt - openedAt);
    std::printf("wait-cpu-ms %ld\n", cpuAtClose - cpuAtOpen);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The lines go to a Linux script: no carriage returns added to them.
    static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
    const std::string command = argc > 1 ? argv[1] : "";
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 3;
    }
    if (command == "startup") return StartUp(options);
    if (command == "patch") return Patch(options);
    if (command == "wait") return Wait(options);
    if (command == "idle") return Idle(options);
    Usage();
    return 3;
}
