// End to end: the real Setup.exe on the assembled medium, run through the UI driver on machines
// seeded from the demo's own scenario files, and the machine checked afterwards. The default
// scenario is checked file by file and key by key; every other one by its status texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "install/InstallLog.h"
#include "install/Prompts.h"
#include "tests/support/CallRules.h"
#include "tests/support/PeFile.h"
#include "tests/support/TestSupport.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Scenario.h"
#include "tools/demo/simpc/Snapshot.h"
#include "tools/demo/simpc/Transcript.h"
#include "tools/machine/Machine.h"

using testing_support::FullPath;
using testing_support::MediumFolder;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::TestProgramFolder;

namespace {

constexpr DWORD kRunLimitMs = 90000;
// simpc's exit code when this host cannot give a scenario what it needs.
constexpr int kSimpcCannotRunHere = 4;

// The i686 bench's programs drive the shipped Setup.exe, the bench's its own 64-bit build.
constexpr bool kShippedFile = sizeof(void*) == 4;

// A path as the scenarios write it: %ProgramFiles% is where 32-bit programs go.
std::string Expand(const std::string& text) {
    std::string expanded;
    return simpc::ExpandVariables(text, expanded) ? expanded : text;
}

std::string Value(const std::string& file, const char* section, const char* key) {
    char buffer[1024] = {};
    ::GetPrivateProfileStringA(section, key, "???", buffer, sizeof(buffer), file.c_str());
    return buffer;
}

// A section's lines as the platform reads them, "key=value" each followed by "|".
std::string Section(const std::string& file, const char* section) {
    std::vector<char> buffer(32768, '\0');
    const DWORD length = ::GetPrivateProfileSectionA(
        section, buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    std::string lines;
    for (const char* line = buffer.data(); line < buffer.data() + length && *line != '\0';
         line += std::char_traits<char>::length(line) + 1) {
        lines += std::string(line) + "|";
    }
    return lines;
}

// The demo's own run, started the way make demo starts simpc: from a Linux shell that sends
// simpc's output and its standard error to files. Wine writes a program's traces to the Linux
// standard error it inherited, whatever its Windows handles say, so only a shell can catch the
// traces of the wizard (which the demo reads its texts and prompts from). simpc seeds the
// scenario, holds its files, runs the wizard from the medium (or a copy in folder) and writes the
// UI driver's events to folder\run.log. When simpc says this host cannot give the scenario what
// it needs, cannotRunHere tells why.
simpc::RunReport RunLikeTheDemo(const std::string& scenario,
                                const std::vector<std::string>& environment,
                                const std::string& folder, std::string& cannotRunHere) {
    const std::string simpc = FullPath(TestProgramFolder() + "\\..\\tools\\demo\\simpc.exe");
    const std::string trace = folder + "\\trace.log";
    // The bench's own loader, which wine-run hands down (the wine command may pick a loader
    // this host cannot run).
    std::string script =
        "$LUMI_WINE_LOADER " + machine::ShellQuoted(simpc) + " " + machine::ShellQuoted(scenario) +
        " " + machine::ShellQuoted(MediumFolder()) + " " + machine::ShellQuoted(folder) + " " +
        machine::ShellQuoted(trace) + " --timeout " + std::to_string(kRunLimitMs / 1000);
    for (const std::string& entry : environment) script += " --env " + machine::ShellQuoted(entry);
    // The wizard's own calls are traced, to be checked against the old systems' rules.
    script += " --relay " + machine::ShellQuoted(testing_support::kRuleBearingCalls);
    script += " >" + machine::ShellQuoted(machine::HostPath(folder + "\\report.txt")) + " 2>" +
              machine::ShellQuoted(machine::HostPath(trace));
    int status = 0;
    std::string shell;
    if (!machine::RunHostCommand(script, kRunLimitMs + 30000, status, shell)) {
        ADD_FAILURE() << "simpc did not end: " << script;
        return simpc::RunReport();
    }
    const std::string traced = ReadTextFile(trace);
    if (status == kSimpcCannotRunHere) {
        const size_t at = traced.find("simpc: ");
        cannotRunHere = at == std::string::npos ? "simpc cannot run the scenario here"
                                                : traced.substr(at, traced.find('\n', at) - at);
        return simpc::RunReport();
    }
    // 0 and 1: the wizard ran (to its end or not); anything else: simpc said why in the trace.
    EXPECT_GE(1, status) << "see " << trace << shell;
    return simpc::ReadRun(ReadTextFile(folder + "\\run.log"), traced);
}

// The wizard's calls in a run's relay trace (the shipped file's in the i686 bench, the bench
// build's here, which takes the same paths on 64-bit Windows), checked against the rules of
// Windows 95, 98, ME and NT 4 that Wine does not enforce; each breach names the call and its
// arguments. Before anything else, the program makes a missing disk fail quietly and keeps DLLs
// from being loaded out of the current folder.
// On Windows 95, 98 and ME profile writes may wait in the system's cache, so there each file's
// writes are flushed before an outcome is told, and no write is left unflushed at the end.
void ExpectTheOldSystemsCallRules(const std::string& trace, unsigned long wizardPid,
                                  bool windows9x) {
    const std::string setup = MediumFolder() + "\\Setup.exe";
    const testing_support::PeFile pe = testing_support::ReadPeFile(ReadTextFile(setup));
    ASSERT_TRUE(pe.valid) << setup << ": " << pe.problem;
    ASSERT_NE(0u, wizardPid) << "the run did not say which process was the wizard";
    const bool windows64 = simpc::ThisHostWindows() != simpc::HostWindows::kWindows32;
    const testing_support::CallRuleReport calls =
        testing_support::CheckCallRules(trace, wizardPid, pe.imageBase, pe.imageSize, windows64);
    // The trace covers the program: its worker thread at least was started.
    EXPECT_EQ(1u, calls.calls.count("msvcrt._beginthreadex")) << "no thread start in the trace";
    std::string breaches;
    for (const std::string& breach : calls.breaches) breaches += "\n  " + breach;
    EXPECT_TRUE(calls.breaches.empty()) << "calls the oldest systems refuse:" << breaches;
    EXPECT_TRUE(calls.quietCriticalErrors) << "a missing disk would raise the system's box";
    EXPECT_TRUE(calls.dllSearchRestricted) << "DLLs may still be loaded from the current folder";
    if (windows9x) {
        EXPECT_LT(0, calls.cacheFlushes) << "no profile cache flush as Windows 98";
        EXPECT_EQ(0, calls.writesLeftInCache) << "profile writes after the last cache flush";
        EXPECT_GE(1u, calls.mostFilesInCache)
            << "a file's writes not flushed before the next file's";
    } else {
        EXPECT_EQ(0, calls.cacheFlushes) << "a profile cache flush outside Windows 95/98/ME";
    }
}

// The verdict is told while the status box is visible: the box is hidden only once the
// verdict's prompt has been played.
void ExpectVerdictToldWhileVisible(const simpc::RunReport& report) {
    size_t verdictPrompt = std::string::npos;
    size_t hidden = std::string::npos;
    for (size_t i = 0; i < report.transcript.size(); ++i) {
        const std::string& line = report.transcript[i].text;
        if (line == std::string("prompt    ") + Prompt::kRestart ||
            line == std::string("prompt    ") + Prompt::kNoScreenReader) {
            verdictPrompt = i;
        }
        if (hidden == std::string::npos && line.find("status box hidden") != std::string::npos) {
            hidden = i;
        }
    }
    ASSERT_NE(std::string::npos, verdictPrompt) << simpc::FormatTranscript(report);
    ASSERT_NE(std::string::npos, hidden) << simpc::FormatTranscript(report);
    EXPECT_LT(verdictPrompt, hidden) << "the status box was hidden before the verdict was told:\n"
                                     << simpc::FormatTranscript(report);
}

const char* const kNvdaUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NVDA";

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One scenario, seeded, run and taken off the machine again.
class ScenarioRun {
public:
    // Seeds the scenario of this file, runs the wizard on it and takes the snapshots.
    void Run(const std::string& file, const std::vector<std::string>& environment = {}) {
        ClearScreenReaders();
        std::string error;
        const std::string path = std::string(LUMI_SCENARIO_DIR) + "/" + file;
        loaded = simpc::LoadScenario(path, scenario, error);
        ASSERT_TRUE(loaded) << error;
        std::string emulated;
        if (!simpc::BenchWindows(scenario.windows, scenario.windows64, emulated, skipReason)) {
            return;
        }
        // Seeded here too, so that the test can take it all away again; simpc's own seeding then
        // finds everything in place and changes nothing.
        ASSERT_TRUE(simpc::Seed(scenario, record, error)) << error;
        before = simpc::TakeSnapshot(scenario);

        const std::string log = work / "standin.log";
        const std::string runFolder = TestProgramFolder() + "\\e2e_demo_run";
        testing_support::RemoveTree(runFolder);
        testing_support::MakeFolders(runFolder);
        std::vector<std::string> wizardEnvironment = {"LUMI_STANDIN_PACKAGE_MS=4000",
                                                      "LUMI_STANDIN_LOG=" + log};
        wizardEnvironment.insert(wizardEnvironment.end(), environment.begin(), environment.end());
        report = RunLikeTheDemo(path, wizardEnvironment, runFolder, skipReason);
        if (!skipReason.empty()) return;
        rerun = [=]() { return RunLikeTheDemo(path, wizardEnvironment, runFolder, skipReason); };
        trace = ReadTextFile(runFolder + "\\trace.log");
        after = simpc::TakeSnapshot(scenario);
        logBlock = simpc::LastLogBlock(ReadTextFile(InstallLog::FilePath()));
        const std::string lines = ReadTextFile(log);
        for (size_t at = lines.find("package "); at != std::string::npos;
             at = lines.find("package ", at + 1)) {
            ++packageStarts;
        }
    }
    // Runs the wizard once more on the machine the first run left; before is then what that run
    // left, after what this one leaves.
    void RunAgain() {
        ASSERT_TRUE(rerun);
        before = after;
        report = rerun();
        after = simpc::TakeSnapshot(scenario);
    }
    ~ScenarioRun() {
        simpc::Unseed(record);
        ClearScreenReaders();
    }

    // Every file and folder that was created, changed (its read-only bit too) or deleted.
    std::set<std::string> ChangedPaths() const {
        std::set<std::string> changed;
        for (const auto& [id, file] : after.files) {
            const auto old = before.files.find(id);
            if (old == before.files.end() || old->second.hash != file.hash ||
                old->second.readOnly != file.readOnly) {
                changed.insert(id);
            }
        }
        for (const auto& [id, file] : before.files) {
            if (after.files.count(id) == 0) changed.insert(id);
        }
        for (const auto& [id, folder] : after.folders) {
            if (before.folders.count(id) == 0) changed.insert(id + "\\");
        }
        for (const auto& [id, folder] : before.folders) {
            if (after.folders.count(id) == 0) changed.insert(id + "\\");
        }
        return changed;
    }

    // What every run must leave behind: each file it placed writable (a screen reader must be
    // able to save its settings, even when the medium is a CD), no old QTL1.bk0 beside a QTL1.bk1
    // it placed, and nothing in a Dolphin reader's folder that lacks "defaults" (an uninstalled
    // reader's leftovers).
    void ExpectPlacedFilesUsable() const {
        const std::string dolphin = simpc::Lower(Expand("%ProgramFiles%\\Dolphin\\"));
        for (const std::string& id : ChangedPaths()) {
            const auto file = after.files.find(id);
            if (file != after.files.end()) {
                EXPECT_FALSE(file->second.readOnly) << file->second.path << " was left read-only";
                const std::string bk1 = "\\qtl1.bk1";
                if (id.size() > bk1.size() &&
                    id.compare(id.size() - bk1.size(), bk1.size(), bk1) == 0) {
                    EXPECT_EQ(0u, after.files.count(id.substr(0, id.size() - 3) + "bk0"))
                        << file->second.path << " placed beside the old settings";
                }
            }
            if (id.compare(0, dolphin.size(), dolphin) != 0) continue;
            const std::string reader = id.substr(0, id.find('\\', dolphin.size()));
            if (reader == dolphin + "sam") continue;
            EXPECT_EQ(1u, after.folders.count(reader + "\\defaults")) << id << " is in a leftover";
        }
    }

    // Every change the run made is in its installation log, with its result: each file copied,
    // folder created, file deleted, and each INI section written, where it was written.
    void ExpectChangesLogged() const {
        ASSERT_FALSE(logBlock.empty()) << "the run wrote no installation log";
        std::vector<std::string> lines;
        for (size_t start = 0; start < logBlock.size();) {
            size_t end = logBlock.find("\r\n", start);
            if (end == std::string::npos) end = logBlock.size();
            lines.push_back(logBlock.substr(start, end - start));
            start = end + 2;
        }
        // The log's last line states the code the process ended with.
        const std::string end = " ms  the wizard ends, exit code " + std::to_string(report.exitCode);
        const std::string& last = lines.back();
        EXPECT_TRUE(last.find(end) != std::string::npos && last.find(end) == last.find(" ms  "))
            << last;
        // A file that was not there was not a deletion that failed.
        for (const std::string& line : lines) {
            if (line.find(" ms  deletion of ") == std::string::npos) continue;
            EXPECT_EQ(std::string::npos, line.find("failed: error 2 (")) << line;
            EXPECT_EQ(std::string::npos, line.find("failed: error 3 (")) << line;
        }
        std::vector<std::string> done;  // the log's lines of steps that did something
        const std::string lowered = simpc::Lower(logBlock);
        for (size_t start = 0; start < lowered.size();) {
            size_t end = lowered.find("\r\n", start);
            if (end == std::string::npos) end = lowered.size();
            const std::string line = lowered.substr(start, end - start);
            for (const char* verb :
                 {"ms  copied ", "ms  wrote ", "ms  deleted ", "ms  created folder "}) {
                if (line.find(verb) != std::string::npos) done.push_back(line);
            }
            start = end + 2;
        }
        auto logged = [&](const std::string& path, const std::string& also) {
            return std::any_of(done.begin(), done.end(), [&](const std::string& line) {
                return line.find("\"" + path + "\"") != std::string::npos &&
                       line.find(also) != std::string::npos;
            });
        };
        for (std::string id : ChangedPaths()) {
            if (id.back() == '\\') id.pop_back();
            EXPECT_TRUE(logged(id, "")) << id << " changed, and the log does not say so:\n"
                                        << logBlock;
            const auto file = after.files.find(id);
            if (file == after.files.end() || !file->second.isIni) continue;
            const auto old = before.files.find(id);
            for (const simpc::IniSection& section : file->second.sections) {
                const bool same =
                    old != before.files.end() &&
                    std::any_of(old->second.sections.begin(), old->second.sections.end(),
                                [&](const simpc::IniSection& was) {
                                    return simpc::Lower(was.name) == simpc::Lower(section.name) &&
                                           was.entries.size() == section.entries.size();
                                });
                // A file copied whole is logged as copied; sections are written one by one.
                if (same || logged(id, "ms  copied ")) continue;
                EXPECT_TRUE(logged(id, "[" + simpc::Lower(section.name) + "]"))
                    << "[" << section.name << "] of " << id << " is not in the log";
            }
        }
    }

    bool loaded = false;
    std::string skipReason;  // set when this bench cannot give the scenario what it needs
    simpc::Scenario scenario;
    simpc::RunReport report;
    std::string trace;     // Wine's traces of the wizard's run
    std::string logBlock;  // the wizard's installation log of the run
    simpc::Snapshot before;
    simpc::Snapshot after;
    int packageStarts = 0;

private:
    // The places the wizard reads are shared with other test programs of this prefix: each run
    // starts without any screen reader but its own.
    static void ClearScreenReaders() {
        for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
            machine::RemoveKey(HKEY_LOCAL_MACHINE, "Software\\Freedom Scientific", view);
            machine::RemoveKey(HKEY_LOCAL_MACHINE, "Software\\GW Micro, Inc.", view);
            machine::RemoveKey(HKEY_LOCAL_MACHINE, kNvdaUninstallKey, view);
            machine::RemoveKey(HKEY_LOCAL_MACHINE, "Software\\NVDA", view);
        }
        testing_support::RemoveTree(Expand("%ProgramFiles%\\Dolphin"));
        // A configuration folder the wizard made where the scenario had none.
        testing_support::RemoveTree(Expand("%APPDATA%\\nvda"));
        testing_support::RemoveTree(Expand("%LOCALAPPDATA%\\nvda"));
    }

    TempDir work;
    simpc::SeedRecord record;
    std::function<simpc::RunReport()> rerun;
};

// ---- The check of the shipped file's calls -----------------------------------------------------

// Rows of relay lines, as Wine 8 writes them with +timestamp,+pid, from process 00dc with its
// image at 00400000; each says how many breaches it must give.
TEST(CallRules, FlagOnlyTheProgramsOwnCallsThatTheOldestSystemsRefuse) {
    const struct {
        const char* line;
        size_t breaches;
        bool windows64 = false;
    } rows[] = {
        {"1.0:00dc:00e0:Call msvcrt._beginthreadex(00000000,00000000,00416a90,0073fd70,00000000,"
         "00000000) ret=0041631d",
         1},
        {"1.0:00dc:00e0:Call msvcrt._beginthreadex(00000000,00000000,00416a90,0073fd70,00000000,"
         "0073fd00) ret=0041631d",
         0},
        // msvcrt's own call, and a call of another process with the same image base.
        {"1.0:00dc:00e0:Call KERNEL32.CreateThread(00000000,00000000,656dc620,00e45990,00000000,"
         "00000000) ret=656dc88e",
         0},
        {"1.0:00e8:00ec:Call msvcrt._beginthreadex(00000000,00000000,00416a90,0073fd70,00000000,"
         "00000000) ret=0041631d",
         0},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\\\\GW, Inc.\","
         "00000000,000f003f,026efd3c) ret=0041f36c",
         1},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,00020019,026efd3c) ret=0041f36c",
         0},
        // A view flag: refused by NT 4 and 2000, so only on 64-bit Windows; one at most there.
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,00020219,026efd3c) ret=0041f36c",
         1},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,00020219,026efd3c) ret=0041f36c",
         0, true},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,00020119,026efd3c) ret=0041f36c",
         0, true},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,00020319,026efd3c) ret=0041f36c",
         1, true},
        {"1.0:00dc:00e4:Call advapi32.RegOpenKeyExA(80000002,00438850 \"Software\","
         "00000000,000f013f,026efd3c) ret=0041f36c",
         1, true},
        {"1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileStringA(004385f9 \"list\",026efd50 "
         "\"Item3\",0043860d \"\",00e45a50 \"C:\\\\b.ini\") ret=0042045a",
         1},
        {"1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileStringA(004385f9 \"a,b\",026efd50 "
         "\"Item3\",0043860d \"\\\"x\\\"\",00e45a50 \"C:\\\\b.ini\") ret=0042045a",
         0},
        {"1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileStringA(00000000,00000000,00000000,"
         "00e45a50 \"C:\\\\b.ini\") ret=0042045a",
         0},
        {"1.0:00dc:00e0:Call user32.PeekMessageA(0073fc00,00000000,00000000,00000000,00400000) "
         "ret=00416000",
         1},
        {"1.0:00dc:00e0:Call user32.PeekMessageA(0073fc00,00000000,00000000,00000000,00000000) "
         "ret=00416000",
         0},
    };
    for (const auto& row : rows) {
        const testing_support::CallRuleReport report =
            testing_support::CheckCallRules(row.line, 0xdc, 0x400000, 0x40000, row.windows64);
        EXPECT_EQ(row.breaches, report.breaches.size()) << row.line;
    }
    // Writes to b.ini, the flush of the profile cache (every argument null), then writes to
    // b.ini and c.ini that no flush follows.
    const char* const write =
        "1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileStringA(004385f9 \"a\",026efd50 \"b\","
        "0043860d \"c\",00e45a50 \"C:\\\\B.ini\") ret=0042045a\n";
    const std::string flushed =
        std::string(write) +
        "1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileStringA(00000000,00000000,00000000,"
        "00000000) ret=0042047a\n";
    const std::string trace =
        flushed + write + write +
        "1.0:00dc:00e4:Call KERNEL32.WritePrivateProfileSectionA(004385f9 \"a\",026efd50 \"b=c\","
        "00e45a50 \"C:\\\\c.ini\") ret=0042049a\n";
    const testing_support::CallRuleReport report =
        testing_support::CheckCallRules(trace, 0xdc, 0x400000, 0x40000, false);
    EXPECT_EQ(1, report.cacheFlushes);
    EXPECT_EQ(3, report.writesLeftInCache);
    EXPECT_EQ(2u, report.mostFilesInCache);
    const testing_support::CallRuleReport clean =
        testing_support::CheckCallRules(flushed, 0xdc, 0x400000, 0x40000, false);
    EXPECT_EQ(0, clean.writesLeftInCache);
    EXPECT_EQ(1u, clean.mostFilesInCache);

    // Start-up: the error mode and the DLL search are set before the first thread starts.
    const std::string errorMode =
        "1.0:00dc:00e0:Call KERNEL32.SetErrorMode(00008001) ret=0041631d\n";
    const std::string dllFolder =
        "1.0:00dc:00e0:Call KERNEL32.SetDllDirectoryA(0041a000 \"\") ret=0041631d\n";
    const std::string thread =
        "1.0:00dc:00e0:Call msvcrt._beginthreadex(00000000,00000000,00416a90,0073fd70,00000000,"
        "0073fd00) ret=0041631d\n";
    const struct {
        std::string trace;
        bool quiet;
        bool restricted;
    } startUps[] = {{errorMode + dllFolder + thread, true, true},
                    {thread + errorMode + dllFolder, false, false},
                    {"1.0:00dc:00e0:Call KERNEL32.SetErrorMode(00000001) ret=0041631d\n" +
                         std::string("1.0:00dc:00e0:Call KERNEL32.SetDllDirectoryA(0041a000 "
                                     "\"C:\\\\x\") ret=0041631d\n"),
                     false, false}};
    for (const auto& startUp : startUps) {
        const testing_support::CallRuleReport started =
            testing_support::CheckCallRules(startUp.trace, 0xdc, 0x400000, 0x40000, false);
        EXPECT_EQ(startUp.quiet, started.quietCriticalErrors) << startUp.trace;
        EXPECT_EQ(startUp.restricted, started.dllSearchRestricted) << startUp.trace;
    }
}

// ---- The medium ------------------------------------------------------------------------------

TEST(DemoMedium, SpeaksEveryPromptTheWizardPlays) {
    for (const char* prompt : Prompt::kAll) {
        const std::string path = MediumFolder() + "\\" + prompt;
        const std::string content = ReadTextFile(path);
        ASSERT_GT(content.size(), 44u) << path;  // more than a WAV header
        EXPECT_EQ("RIFF", content.substr(0, 4)) << path;
        EXPECT_EQ("WAVE", content.substr(8, 4)) << path;
    }
}

TEST(DemoMedium, HoldsEveryFileThePatchersReadAndSaysItIsSampleData) {
    const char* const files[] = {"jaws\\Lumitac.jlb",
                                 "jaws\\x64\\Lumitac.jlb",
                                 "jaws\\TessilKey.ini",
                                 "supernova\\QVRsam.dll",
                                 "supernova\\LumiTac00044.ini",
                                 "supernova\\LumiTac.sdi",
                                 "supernova\\LumiTac.txt",
                                 "supernova\\LumiTac.dll",
                                 "supernova\\QTL1.bk1",
                                 "supernova\\lmuitactile.ini",
                                 "wineyes\\Lumitactile.dll",
                                 "wineyes\\pre60\\bdisplay.exe",
                                 "wineyes\\pre60\\braille.ini",
                                 "wineyes\\post55\\bdisplay.exe",
                                 "wineyes\\post55\\braille.ini",
                                 "nvda\\lumitactile\\manifest.ini",
                                 "nvda\\lumitactile\\brailleDisplayDrivers\\lumitactile.py"};
    for (const char* relative : files) {
        const std::string content = ReadTextFile(MediumFolder() + "\\" + relative);
        EXPECT_NE(std::string::npos, content.find("SAMPLE DATA")) << relative;
    }
    const std::string keys = MediumFolder() + "\\jaws\\TessilKey.ini";
    EXPECT_NE("", Section(keys, "Lumitactile"));
    EXPECT_NE("", Section(keys, "LumiTac Keys"));
    EXPECT_NE("", Section(MediumFolder() + "\\supernova\\lmuitactile.ini", "QTL1"));
}

// ---- The default scenario, file by file ------------------------------------------------------

class TypicalPc : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new ScenarioRun;
        run->Run("typical-xp.scenario");
    }
    static void TearDownTestSuite() {
        delete run;
        run = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(run->loaded);
        ASSERT_TRUE(run->report.ended) << run->report.Problem();
    }
    static std::string FromMedium(const char* relative) {
        return ReadTextFile(MediumFolder() + "\\" + relative);
    }
    static ScenarioRun* run;
};
ScenarioRun* TypicalPc::run = nullptr;

const std::string kJaws11 = Expand("%ProgramFiles%\\Freedom Scientific\\JAWS\\11.0\\");
const std::string kJaws11Settings =
    "C:\\Documents and Settings\\All Users\\Application Data\\Freedom Scientific\\JAWS\\11.0"
    "\\Settings\\";
const std::string kJaws451 = Expand("%ProgramFiles%\\Freedom Scientific\\JAWS\\4.51\\");
const std::string kWindowEyes = Expand("%ProgramFiles%\\GW Micro\\Window-Eyes\\");
const std::string kDolphin = Expand("%ProgramFiles%\\Dolphin\\");

TEST_F(TypicalPc, TellsEachScreenReaderItsOutcomeAndThenTheVerdict) {
    EXPECT_EQ(run->scenario.expectedStatus, run->report.statusTexts);
    EXPECT_TRUE(run->report.RanToEnd()) << run->report.Problem();
    // The package's window is announced while the package runs, before any screen reader.
    EXPECT_EQ((std::vector<std::string>{Prompt::kStart, Prompt::kWelcome, Prompt::kCheckDialog,
                                        Prompt::kWindowEyesSuccess, Prompt::kSupernovaSuccess,
                                        Prompt::kJawsSuccess, Prompt::kRestart}),
              run->report.prompts);
    ExpectVerdictToldWhileVisible(run->report);
    EXPECT_EQ(1, run->packageStarts) << "Windows XP runs the driver package once";
}

TEST_F(TypicalPc, MakesOnlyCallsTheOldestSystemsAcceptAndStartsSafely) {
    ExpectTheOldSystemsCallRules(run->trace, run->report.wizardPid, false);
}

TEST_F(TypicalPc, LogsEveryChangeAndEndsWithExitCodeZero) {
    run->ExpectChangesLogged();
    EXPECT_EQ(0u, run->report.exitCode);
    EXPECT_NE(std::string::npos, run->logBlock.find("the wizard ends, exit code 0\r\n"));
    // What support asks first: the Windows, and where the wizard was started from (the medium's
    // root, as Explorer starts it).
    const std::string& block = run->logBlock;
    for (const char* fact : {"Windows reports version 5.", "OsKind ", "ProgramDir \""}) {
        EXPECT_LT(block.find(fact), block.find("Install pressed")) << fact << "\n" << block;
    }
    const auto quoted = [&](const std::string& name) {
        const size_t at = block.find(name + " \"");
        if (at == std::string::npos) return std::string();
        const size_t from = at + name.size() + 2;
        return block.substr(from, block.find('"', from) - from);
    };
    EXPECT_EQ(quoted("ProgramDir"), quoted("current folder") + "\\");
}

// What a run on the typical PC changes: the files of the display, and nothing else.
std::set<std::string> TypicalPcChanges() {
    return {
        simpc::Lower(kJaws11 + "Drivers\\Braille\\LumiTac\\"),
        simpc::Lower(kJaws11 + "Drivers\\Braille\\LumiTac\\LumiTac.jlb"),
        simpc::Lower(kJaws11 + "braille.ini"),
        simpc::Lower(kJaws11 + "jfw.ini"),
        simpc::Lower(kJaws11Settings + "enu\\default.JKM"),
        simpc::Lower(kJaws11Settings + "deu\\default.JKM"),
        simpc::Lower(kJaws451 + "LumiTac.jlb"),
        simpc::Lower(kJaws451 + "braille.ini"),
        simpc::Lower(kJaws451 + "jfw.ini"),
        simpc::Lower(kJaws451 + "Settings\\enu\\default.JKM"),
        simpc::Lower(kJaws451 + "Settings\\enu\\DefaultTL.jkm"),
        simpc::Lower(kWindowEyes + "bdisplay.exe"),
        simpc::Lower(kWindowEyes + "Lumitactile.dll"),
        simpc::Lower(kWindowEyes + "users\\default\\braille.ini"),
        simpc::Lower(kWindowEyes + "users.bak\\default\\braille.ini"),
        simpc::Lower(Expand("%APPDATA%\\GW Micro\\Window-Eyes\\users\\default\\braille.ini")),
        simpc::Lower(Expand("%ALLUSERSPROFILE%\\Application Data\\GW Micro\\Window-Eyes\\users"
                            "\\default\\braille.ini")),
        simpc::Lower(kDolphin + "Sam\\QVRsam\\QVRsam.dll"),
        simpc::Lower(kDolphin + "Sam\\LumiTac\\"),
        simpc::Lower(kDolphin + "Sam\\LumiTac\\LumiTac00044.ini"),
        simpc::Lower(kDolphin + "Sam\\LumiTac\\LumiTac.sdi"),
        simpc::Lower(kDolphin + "Sam\\LumiTac\\LumiTac.txt"),
        simpc::Lower(kDolphin + "Sam\\LumiTac\\LumiTac.dll"),
        simpc::Lower(kDolphin + "Hal\\defaults\\braille.ini"),
        simpc::Lower(kDolphin + "Hal\\defaults\\QTL1.bk0"),
        simpc::Lower(kDolphin + "Hal\\defaults\\QTL1.bk1"),
        simpc::Lower(kDolphin + "Hal\\Settings\\QTL1.bk0"),
        simpc::Lower(kDolphin + "Hal\\Settings\\QTL1.bk1"),
        simpc::Lower(kDolphin + "Snova 12\\defaults\\braille.ini"),
        simpc::Lower(kDolphin + "Snova 12\\defaults\\QTL1.bk1"),
        simpc::Lower(kDolphin + "Snova 12\\Settings\\QTL1.bk0"),
        simpc::Lower(kDolphin + "Snova 12\\Settings\\QTL1.bk1"),
    };
}

TEST_F(TypicalPc, ChangesNothingBeyondTheFilesOfTheDisplay) {
    const std::set<std::string> expected = TypicalPcChanges();
    EXPECT_EQ(expected, run->ChangedPaths());
    run->ExpectPlacedFilesUsable();
    // The registry is only read.
    ASSERT_FALSE(run->before.keys.empty());
    for (const auto& [id, key] : run->before.keys) {
        ASSERT_EQ(1u, run->after.keys.count(id)) << key.path;
        EXPECT_EQ(key.values, run->after.keys.at(id).values) << key.path;
    }
}

TEST_F(TypicalPc, JawsVersionsGetTheDriverInTheirBrailleFolderOrElseTheirProgramFolder) {
    const std::string driver = FromMedium("jaws\\Lumitac.jlb");
    EXPECT_EQ(driver, ReadTextFile(kJaws11 + "Drivers\\Braille\\LumiTac\\LumiTac.jlb"));
    EXPECT_FALSE(Exists(kJaws11 + "LumiTac.jlb"));
    EXPECT_EQ(driver, ReadTextFile(kJaws451 + "LumiTac.jlb"));
    EXPECT_FALSE(Exists(kJaws451 + "Drivers"));
}

TEST_F(TypicalPc, JawsBrailleIniListsTheDisplayAfterTheOthersAndGetsItsSection) {
    const std::string medium = MediumFolder() + "\\jaws\\TessilKey.ini";
    struct Case {
        std::string folder;
        const char* firstItems[2];
    } const cases[] = {{kJaws11, {"Focus", "Alva"}}, {kJaws451, {"Alva", "Braillex"}}};
    for (const Case& c : cases) {
        const std::string ini = c.folder + "braille.ini";
        EXPECT_EQ(c.firstItems[0], Value(ini, "list", "Item1")) << ini;
        EXPECT_EQ(c.firstItems[1], Value(ini, "list", "Item2")) << ini;
        EXPECT_EQ("Lumitactile", Value(ini, "list", "Item3")) << ini;
        EXPECT_EQ("???", Value(ini, "list", "Item4")) << ini;
        EXPECT_EQ(Section(medium, "Lumitactile"), Section(ini, "Lumitactile")) << ini;
    }
    EXPECT_EQ("Focus", Value(kJaws11 + "braille.ini", "Options", "ActiveDisplay"));
    EXPECT_EQ("Port=USB|Cells=40|", Section(kJaws11 + "braille.ini", "Focus"));
    EXPECT_EQ("Port=1|", Section(kJaws451 + "braille.ini", "Alva"));
}

TEST_F(TypicalPc, JawsJfwIniGetsTheDisplayAtTheFirstFreeIndex) {
    struct Case {
        std::string folder;
        const char* index;
        const char* previousLongName;
    } const cases[] = {{kJaws11, "3", "Alva Satellite"}, {kJaws451, "2", "Alva Delphi"}};
    for (const Case& c : cases) {
        const std::string ini = c.folder + "jfw.ini";
        const std::string n = c.index;
        EXPECT_EQ("LumiTac", Value(ini, "BrailleDisplays", ("Braille" + n + "Name").c_str()));
        EXPECT_EQ("Lumitactile",
                  Value(ini, "BrailleDisplays", ("Braille" + n + "LongName").c_str()));
        EXPECT_EQ("LumiTac", Value(ini, "BrailleDisplays", ("Braille" + n + "Driver").c_str()));
        EXPECT_EQ("USB", Value(ini, "BrailleDisplays", ("Braille" + n + "Port").c_str()));
        const std::string previous = std::to_string(std::stoi(n) - 1);
        EXPECT_EQ(c.previousLongName,
                  Value(ini, "BrailleDisplays", ("Braille" + previous + "LongName").c_str()));
    }
    EXPECT_EQ("eloq", Value(kJaws11 + "jfw.ini", "Options", "Synthesizer"));
}

TEST_F(TypicalPc, JawsKeyMapsOfEverySettingsFolderGetTheDisplayKeys) {
    const std::string keys = Section(MediumFolder() + "\\jaws\\TessilKey.ini", "LumiTac Keys");
    ASSERT_NE("", keys);
    // 11.0 keeps its settings where FileFinder.ini says; 4.51 has them under its own folder
    // and, being older than 5, also has the DefaultTL key map.
    const std::string maps[] = {
        kJaws11Settings + "enu\\default.JKM", kJaws11Settings + "deu\\default.JKM",
        kJaws451 + "Settings\\enu\\default.JKM", kJaws451 + "Settings\\enu\\DefaultTL.jkm"};
    for (const std::string& map : maps) EXPECT_EQ(keys, Section(map, "LumiTac Keys")) << map;
    EXPECT_FALSE(Exists(kJaws11Settings + "enu\\DefaultTL.jkm"));
    EXPECT_FALSE(Exists(kJaws11 + "Settings"));
    EXPECT_EQ("Insert+F12=SayTime|Control+Shift+F=MyFavouriteScript|",
              Section(kJaws11Settings + "enu\\default.JKM", "Common Keys"));
    EXPECT_EQ("Insert+F12=SayTime|",
              Section(kJaws451 + "Settings\\enu\\default.JKM", "Common Keys"));
}

TEST_F(TypicalPc, WindowEyesSevenGetsTheFilesForSixAndLaterInAllFourSettingsPlaces) {
    EXPECT_EQ(FromMedium("wineyes\\post55\\bdisplay.exe"),
              ReadTextFile(kWindowEyes + "bdisplay.exe"));
    EXPECT_EQ(FromMedium("wineyes\\Lumitactile.dll"),
              ReadTextFile(kWindowEyes + "Lumitactile.dll"));
    const std::string settings = FromMedium("wineyes\\post55\\braille.ini");
    const std::string places[] = {
        kWindowEyes + "users\\default\\braille.ini",
        kWindowEyes + "users.bak\\default\\braille.ini",
        Expand("%APPDATA%\\GW Micro\\Window-Eyes\\users\\default\\braille.ini"),
        Expand("%ALLUSERSPROFILE%\\Application Data\\GW Micro\\Window-Eyes\\users\\default"
               "\\braille.ini")};
    for (const std::string& place : places) EXPECT_EQ(settings, ReadTextFile(place)) << place;
}

TEST_F(TypicalPc, SamGetsItsDriverAndTheDisplayDriverFolder) {
    EXPECT_EQ(FromMedium("supernova\\QVRsam.dll"),
              ReadTextFile(kDolphin + "Sam\\QVRsam\\QVRsam.dll"));
    for (const char* name : {"LumiTac00044.ini", "LumiTac.sdi", "LumiTac.txt", "LumiTac.dll"}) {
        EXPECT_EQ(FromMedium((std::string("supernova\\") + name).c_str()),
                  ReadTextFile(kDolphin + "Sam\\LumiTac\\" + name))
            << name;
    }
}

TEST_F(TypicalPc, HalAndSupernovaGetTheDeviceSectionAndFileAndLoseTheOldBackup) {
    const std::string device = Section(MediumFolder() + "\\supernova\\lmuitactile.ini", "QTL1");
    const std::string backup = FromMedium("supernova\\QTL1.bk1");
    struct Case {
        std::string folder;
        const char* otherSection;
        const char* otherLines;
    } const cases[] = {{kDolphin + "Hal\\", "ALVA", "Port=COM1|Cells=40|"},
                       {kDolphin + "Snova 12\\", "ALVA", "Port=USB|"}};
    for (const Case& c : cases) {
        const std::string ini = c.folder + "defaults\\braille.ini";
        EXPECT_EQ(device, Section(ini, "QTL1")) << ini;
        EXPECT_EQ(c.otherLines, Section(ini, c.otherSection)) << ini;
        EXPECT_EQ("ALVA", Value(ini, "Display", "Active")) << ini;
        for (const char* sub : {"defaults\\", "Settings\\"}) {
            EXPECT_EQ(backup, ReadTextFile(c.folder + sub + "QTL1.bk1")) << c.folder << sub;
            EXPECT_FALSE(Exists(c.folder + sub + "QTL1.bk0")) << c.folder << sub;
        }
    }
}

// ---- The installation log ------------------------------------------------------------------

// A temporary folder where the log cannot be written (here: one that does not exist) changes
// nothing of the run.
TEST(InstallLog, AnUnwritableTemporaryFolderChangesNothingElse) {
    const std::string missing = "C:\\no temporary folder here";
    ScenarioRun run;
    run.Run("typical-xp.scenario", {"TMP=" + missing, "TEMP=" + missing});
    ASSERT_TRUE(run.loaded);
    ASSERT_TRUE(run.report.ended) << run.report.Problem();
    EXPECT_EQ(run.scenario.expectedStatus, run.report.statusTexts);
    EXPECT_EQ(TypicalPcChanges(), run.ChangedPaths());
    EXPECT_EQ(0u, run.report.exitCode);
    EXPECT_FALSE(testing_support::FolderExists(missing));
}

// ---- Today's PC: JAWS of both bitnesses ------------------------------------------------------

// The 64-bit JAWS gets the medium's 64-bit driver, or, where the medium has none, nothing at all;
// the 32-bit JAWS beside it gets the 32-bit driver either way.
TEST(TodaysPc, EachJawsGetsTheDriverOfItsOwnBitnessOrNothing) {
    const std::string jaws2025 = "C:\\Program Files\\Freedom Scientific\\JAWS\\2025\\";
    const std::string jaws13 = Expand("%ProgramFiles%\\Freedom Scientific\\JAWS\\13.0\\");
    const struct {
        const char* scenario;
        const char* driver2025;  // where JAWS 2025 gets the 64-bit driver; nullptr: nothing changes
        const char* driver13;
    } rows[] = {{"windows-10-x64.scenario", "Drivers\\Braille\\LumiTac\\LumiTac.jlb",
                 "Drivers\\Braille\\LumiTac\\LumiTac.jlb"},
                {"windows-10-x64-no-jaws64-driver.scenario", nullptr, "LumiTac.jlb"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        ScenarioRun run;
        run.Run(row.scenario);
        ASSERT_TRUE(run.loaded);
        if (!run.skipReason.empty()) GTEST_SKIP() << run.skipReason;
        ASSERT_TRUE(run.report.ended) << run.report.Problem();
        EXPECT_EQ(ReadTextFile(MediumFolder() + "\\jaws\\Lumitac.jlb"),
                  ReadTextFile(jaws13 + row.driver13));
        // The entry a cut run left without its driver and port is completed where it stands.
        const std::string jfw = jaws13 + "jfw.ini";
        if (row.driver2025 != nullptr) {  // the scenario with the cut entry
            EXPECT_EQ("LumiTac", Value(jfw, "BrailleDisplays", "Braille2Driver"));
            EXPECT_EQ("USB", Value(jfw, "BrailleDisplays", "Braille2Port"));
            EXPECT_EQ("???", Value(jfw, "BrailleDisplays", "Braille3LongName"));
            EXPECT_EQ(ReadTextFile(MediumFolder() + "\\jaws\\x64\\Lumitac.jlb"),
                      ReadTextFile(jaws2025 + row.driver2025));
            continue;
        }
        for (const std::string& changed : run.ChangedPaths()) {
            EXPECT_FALSE(simpc::IsAtOrBelow(changed, jaws2025)) << changed;
        }
        EXPECT_FALSE(Exists(jaws2025 + "LumiTac.jlb"));
    }
}

// ---- NVDA ------------------------------------------------------------------------------------

// The medium's add-on waits in the user's configuration as a pending installation, and nothing
// else changes; or, for an NVDA that would block it or a newer add-on, nothing changes at all. A
// second run tells the same and changes nothing more.
TEST(Nvda, GetsTheMediumsAddonPendingOrNothingAndARerunChangesNothingMore) {
    const struct {
        const char* scenario;
        const char* config;  // NVDA's configuration folder
        bool placed;
    } rows[] = {{"windows-11-nvda.scenario", "%APPDATA%\\nvda", true},
                {"windows-11-nvda-2026.scenario", "%LOCALAPPDATA%\\nvda", true},
                {"windows-11-nvda-2026-old-addon.scenario", "%APPDATA%\\nvda", false},
                {"windows-11-nvda-newer-addon.scenario", "%APPDATA%\\nvda", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        ScenarioRun run;
        run.Run(row.scenario);
        ASSERT_TRUE(run.loaded);
        if (!run.skipReason.empty()) GTEST_SKIP() << run.skipReason;
        ASSERT_TRUE(run.report.ended) << run.report.Problem();
        const std::string config = simpc::Lower(Expand(row.config)) + "\\";
        const std::string pending = config + "addons\\lumitactile.pendinginstall\\";
        for (const std::string& changed : run.ChangedPaths()) {
            EXPECT_TRUE(row.placed && (simpc::IsAtOrBelow(changed, pending) || changed == config ||
                                       changed == config + "addons\\"))
                << changed;
        }
        for (const char* file : {"manifest.ini", "brailleDisplayDrivers\\lumitactile.py"}) {
            const std::string placed = ReadTextFile(pending + file);
            EXPECT_EQ(row.placed ? ReadTextFile(MediumFolder() + "\\nvda\\lumitactile\\" + file)
                                 : std::string(),
                      placed)
                << file;
        }
        // The manifest comes last: NVDA takes no folder without one for an add-on, so a copy cut
        // off is never finished as if it were whole.
        if (row.placed) {
            const std::string log = simpc::Lower(run.logBlock);
            const size_t manifest = log.find(" to \"" + pending + "manifest.ini\"");
            ASSERT_NE(std::string::npos, manifest) << run.logBlock;
            EXPECT_LT(log.find(" to \"" + pending + "brailledisplaydrivers\\lumitactile.py\""),
                      manifest);
        }
        run.RunAgain();
        EXPECT_EQ(run.scenario.expectedStatus, run.report.statusTexts);
        EXPECT_EQ(std::set<std::string>(), run.ChangedPaths());
    }
}

// ---- The other scenarios: their outcome --------------------------------------------------------

class OtherScenario : public testing::TestWithParam<const char*> {};

TEST_P(OtherScenario, RunsToTheEndWithTheStatusTextsTheScenarioExpects) {
    ScenarioRun run;
    run.Run(GetParam());
    ASSERT_TRUE(run.loaded);
    if (!run.skipReason.empty()) GTEST_SKIP() << run.skipReason;
    ASSERT_FALSE(run.scenario.expectedStatus.empty()) << "the scenario expects nothing";
    EXPECT_TRUE(run.report.RanToEnd()) << run.report.Problem();
    EXPECT_EQ(run.scenario.expectedStatus, run.report.statusTexts);
    // Only the NT family runs the driver package, where the medium has it, and its window is
    // announced.
    const bool packageOnMedium =
        std::none_of(run.scenario.mediumRemovals.begin(), run.scenario.mediumRemovals.end(),
                     [](const std::string& removed) {
                         return simpc::Lower(removed) == "driver\\xp\\lumitactile.exe";
                     });
    const bool nt = run.scenario.windows != "win98" && packageOnMedium;
    EXPECT_EQ(nt ? 1 : 0, run.packageStarts);
    const std::vector<std::string>& prompts = run.report.prompts;
    EXPECT_EQ(nt, std::find(prompts.begin(), prompts.end(), Prompt::kCheckDialog) != prompts.end());
    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(run.report.verdict == "Please restart screen reader." ? Prompt::kRestart
                                                                    : Prompt::kNoScreenReader,
              prompts.back());
    ExpectTheOldSystemsCallRules(run.trace, run.report.wizardPid, run.scenario.windows == "win98");
    run.ExpectPlacedFilesUsable();
    run.ExpectChangesLogged();
    if (run.scenario.expectedExit >= 0) {
        EXPECT_EQ(static_cast<unsigned long>(run.scenario.expectedExit), run.report.exitCode);
    }
    // On 64-bit Windows each screen reader's key is in the view of its own kind alone, so the
    // wizard found each one where its kind keeps it.
    if (simpc::ThisHostWindows() != simpc::HostWindows::kWindows32) {
        for (const simpc::RegistryKey& key : run.scenario.keys) {
            const REGSAM other = key.view64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
            const bool listedThereToo =
                std::any_of(run.scenario.keys.begin(), run.scenario.keys.end(),
                            [&](const simpc::RegistryKey& twin) {
                                return twin.view64 != key.view64 &&
                                       simpc::Lower(twin.subkey) == simpc::Lower(key.subkey);
                            });
            if (listedThereToo) continue;
            EXPECT_FALSE(machine::KeyExists(HKEY_LOCAL_MACHINE, key.subkey, other))
                << key.subkey << " is in the other view too";
        }
    }
    ExpectVerdictToldWhileVisible(run.report);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, OtherScenario,
    testing::Values("no-screen-reader.scenario", "windows-98.scenario", "readers-running.scenario",
                    "medium-missing-file.scenario", "windows-10-x64.scenario",
                    "windows-10-x64-no-jaws64-driver.scenario", "installed-from-cd.scenario",
                    "leftover-readers.scenario", "medium-without-jaws-section.scenario",
                    "medium-without-driver-package.scenario", "windows-11-nvda.scenario",
                    "windows-11-nvda-2026.scenario", "windows-11-nvda-2026-old-addon.scenario",
                    "windows-11-nvda-newer-addon.scenario", "windows-11-nvda-and-jaws.scenario",
                    "windows-7-nvda.scenario"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        name = name.substr(0, name.find('.'));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

}  // namespace
