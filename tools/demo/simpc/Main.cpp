// simpc: the simulated PC of the demo. It runs under Wine in the demo's prefix and puts a
// scenario on the machine, takes snapshots, holds files open, prepares the medium, runs the
// wizard through the UI driver and reports what happened. See Usage() for the commands.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Scenario.h"
#include "tools/demo/simpc/Snapshot.h"
#include "tools/demo/simpc/Transcript.h"
#include "tools/demo/simpc/WizardRun.h"

namespace {

// Tells a running "simpc hold" to let its files go; names are per Wine prefix.
const char* const kReleaseEvent = "simpc-release-held-files";
constexpr long kDefaultHoldLimitS = 600;
constexpr long kDefaultRunLimitS = 120;

void Usage() {
    std::fputs(
        "usage: simpc seed <scenario>\n"
        "       simpc snapshot <scenario> <snapshot file>\n"
        "       simpc medium <scenario> <medium folder> <copy folder>\n"
        "       simpc hold <scenario> [--timeout <s>]    (until \"simpc release\")\n"
        "       simpc release\n"
        "       simpc run --medium <folder> [--env NAME=VALUE]... [--timeout <s>]\n"
        "             (Wine's traces of the wizard's texts and prompts go to standard error)\n"
        "       simpc report <scenario> <before> <after> <run output> <trace>\n"
        "Paths are Windows paths (Z:\\... for the Linux file system).\n",
        stderr);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "simpc: %s\n", message.c_str());
    return 1;
}

bool Load(const char* path, simpc::Scenario& scenario) {
    std::string error;
    if (simpc::LoadScenario(path, scenario, error)) return true;
    static_cast<void>(Fail(error));
    return false;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        static_cast<void>(file.Release());
        return false;
    }
    DWORD written = 0;
    return content.empty() || (::WriteFile(file.Get(), content.data(),
                                           static_cast<DWORD>(content.size()), &written, nullptr) &&
                               written == content.size());
}

bool ParseSeconds(const std::string& text, long& seconds) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    seconds = std::atol(text.c_str());
    return seconds > 0;
}

int Seed(const char* scenarioPath) {
    simpc::Scenario scenario;
    if (!Load(scenarioPath, scenario)) return 1;
    simpc::SeedRecord record;
    std::string error;
    if (!simpc::Seed(scenario, record, error)) return Fail(error);
    std::printf("seeded %zu key(s), %zu folder(s) and %zu file(s)\n", scenario.keys.size(),
                scenario.folders.size(), scenario.files.size());
    std::string emulated;
    if (simpc::BenchWindows(scenario.windows, emulated, error) && emulated != scenario.windows) {
        std::printf("Windows %s is emulated as %s, the same family, for this 64-bit bench\n",
                    scenario.windows.c_str(), emulated.c_str());
    }
    return 0;
}

int TakeSnapshot(const char* scenarioPath, const char* output) {
    simpc::Scenario scenario;
    if (!Load(scenarioPath, scenario)) return 1;
    if (!WriteWholeFile(output, simpc::SaveSnapshot(simpc::TakeSnapshot(scenario)))) {
        return Fail(std::string("cannot write ") + output);
    }
    return 0;
}

int Medium(const char* scenarioPath, const char* medium, const char* copy) {
    simpc::Scenario scenario;
    if (!Load(scenarioPath, scenario)) return 1;
    std::string root;
    std::string error;
    if (!simpc::PrepareMedium(scenario, medium, copy, root, error)) return Fail(error);
    std::printf("%s\n", root.c_str());
    return 0;
}

int Hold(const char* scenarioPath, long limitS) {
    simpc::Scenario scenario;
    if (!Load(scenarioPath, scenario)) return 1;
    UniqueHandle release(::CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent));
    if (!release) return Fail("cannot create the release event");
    simpc::HeldFiles held;
    std::string error;
    if (!held.Hold(scenario.held, error)) return Fail(error);
    std::printf("holding %zu file(s)\n", held.Count());
    std::fflush(stdout);
    const DWORD waited = ::WaitForSingleObject(release.Get(), static_cast<DWORD>(limitS) * 1000);
    held.Release();
    if (waited != WAIT_OBJECT_0)
        return Fail("nobody released the held files; let go after the time limit");
    return 0;
}

int Release() {
    UniqueHandle release(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kReleaseEvent));
    if (!release) return 0;  // nothing is held
    return ::SetEvent(release.Get()) ? 0 : Fail("cannot signal the release event");
}

int Run(int argc, char** argv) {
    std::string medium;
    std::vector<std::string> environment;
    long limitS = kDefaultRunLimitS;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--medium") {
            medium = value;
        } else if (option == "--env" && value.find('=') != std::string::npos) {
            environment.push_back(value);
        } else if (option != "--timeout" || !ParseSeconds(value, limitS)) {
            Usage();
            return 3;
        }
    }
    if (medium.empty() || argc % 2 != 0) {
        Usage();
        return 3;
    }
    const simpc::WizardRun run = simpc::RunWizard(
        medium, environment, true, static_cast<DWORD>(limitS) * 1000, [](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
    if (!run.outcome.ended) return 1;
    return run.outcome.actionsDone ? 0 : 2;
}

int Report(const char* scenarioPath, const char* beforePath, const char* afterPath,
           const char* runPath, const char* tracePath) {
    simpc::Scenario scenario;
    if (!Load(scenarioPath, scenario)) return 1;
    std::string text;
    std::string error;
    simpc::Snapshot before;
    simpc::Snapshot after;
    if (!simpc::ReadWholeFile(beforePath, text) || !simpc::LoadSnapshot(text, before, error)) {
        return Fail(std::string("cannot read the snapshot ") + beforePath + " " + error);
    }
    if (!simpc::ReadWholeFile(afterPath, text) || !simpc::LoadSnapshot(text, after, error)) {
        return Fail(std::string("cannot read the snapshot ") + afterPath + " " + error);
    }
    std::string runOutput;
    std::string trace;
    static_cast<void>(simpc::ReadWholeFile(runPath, runOutput));
    static_cast<void>(simpc::ReadWholeFile(tracePath, trace));
    const simpc::RunReport run = simpc::ReadRun(runOutput, trace);

    std::printf("Transcript: every status text and prompt, in ms since \"Install\" was pressed\n");
    std::printf("%s\n", simpc::FormatTranscript(run).c_str());
    std::printf("What changed on the machine\n%s\n",
                simpc::FormatChanges(simpc::DiffSnapshots(scenario, before, after)).c_str());
    if (!run.verdict.empty()) {
        std::printf("Verdict: \"%s\"\n", run.verdict.c_str());
    } else {
        std::printf("Verdict: none was told\n");
    }
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
        return 1;
    }
    std::printf("The wizard ran to its end in %.1f s (from \"Install\" to the end of Setup.exe).\n",
                run.endMs / 1000.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The output goes to Linux scripts: no carriage returns added to it.
    static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "seed" && argc == 3) return Seed(argv[2]);
    if (command == "snapshot" && argc == 4) return TakeSnapshot(argv[2], argv[3]);
    if (command == "medium" && argc == 5) return Medium(argv[2], argv[3], argv[4]);
    if (command == "hold" && (argc == 3 || argc == 5)) {
        long limitS = kDefaultHoldLimitS;
        if (argc == 5 && (std::string(argv[3]) != "--timeout" || !ParseSeconds(argv[4], limitS))) {
            Usage();
            return 3;
        }
        return Hold(argv[2], limitS);
    }
    if (command == "release" && argc == 2) return Release();
    if (command == "run") return Run(argc, argv);
    if (command == "report" && argc == 7)
        return Report(argv[2], argv[3], argv[4], argv[5], argv[6]);
    Usage();
    return 3;
}
