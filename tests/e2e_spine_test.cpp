// The real Setup.exe from the assembled medium, pressed by the UI driver, on Windows versions
// that Wine emulates for it. No screen reader is installed here; the scenarios with screen
// readers are run by the demo's end-to-end test.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install/InstallLog.h"
#include "tests/support/TestSupport.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Transcript.h"
#include "tools/uidriver/UiDriver.h"

using testing_support::MediumFolder;
using testing_support::ReadTextFile;
using testing_support::TempDir;

namespace {

const char* const kWelcome = "Welcome to the Driver Install Wizard for Lumitactile.";
const char* const kNoScreenReader =
    "There is no screen reader on your PC. Please install screen reader program in advance.";

// Wine's per-program Windows version, for every program named Setup.exe in this prefix, as this
// bench emulates it (see simpc::BenchWindows), and put back as it was afterwards.
class EmulatedWindows {
public:
    explicit EmulatedWindows(const char* asked) {
        std::string version;
        if (!simpc::BenchWindows(asked, false, version, skipReason)) return;
        simpc::Scenario scenario;
        scenario.windows = asked;
        std::string error;
        EXPECT_TRUE(simpc::Seed(scenario, record, error)) << error;
    }
    ~EmulatedWindows() { simpc::Unseed(record); }
    std::string skipReason;  // set when this bench cannot emulate that Windows

private:
    simpc::SeedRecord record;
};

struct SetupRun {
    uidriver::Outcome outcome;
    std::string log;  // what the stand-ins wrote
};

SetupRun RunSetup(const std::string& medium, const uidriver::Plan& plan, int packageMs = 1500) {
    TempDir logs;
    const std::string log = logs / "standin.log";
    uidriver::UiDriver driver;
    uidriver::Launch launch;
    launch.exe = medium + "\\Setup.exe";
    launch.currentFolder = medium;
    launch.environment = {"LUMI_STANDIN_LOG=" + log,
                          "LUMI_STANDIN_PACKAGE_MS=" + std::to_string(packageMs)};
    SetupRun run;
    if (!driver.Start(launch)) {
        ADD_FAILURE() << "Setup.exe did not start: " << driver.Error();
        return run;
    }
    run.outcome = driver.Run(plan, 60000);
    // The package may outlive a cancelled wizard; let it finish so its log is complete.
    ::Sleep(static_cast<DWORD>(packageMs) + 500);
    run.log = ReadTextFile(log);
    return run;
}

uidriver::Plan PressInstall() {
    uidriver::Plan plan;
    plan.pressInstall = true;
    return plan;
}

struct FamilyRow {
    const char* windows;
    bool runsPackage;
};

class OnEachWindowsFamily : public testing::TestWithParam<FamilyRow> {};

INSTANTIATE_TEST_SUITE_P(SetupExe, OnEachWindowsFamily,
                         testing::Values(FamilyRow{"win98", false}, FamilyRow{"winxp", true},
                                         FamilyRow{"win7", true}, FamilyRow{"win10", true}),
                         [](const testing::TestParamInfo<FamilyRow>& info) {
                             return std::string(info.param.windows);
                         });

TEST_P(OnEachWindowsFamily, RunsTheWholeSequence) {
    const FamilyRow& row = GetParam();
    {
        EmulatedWindows windows(row.windows);
        if (!windows.skipReason.empty()) GTEST_SKIP() << windows.skipReason;
        const SetupRun run = RunSetup(MediumFolder(), PressInstall());
        EXPECT_TRUE(run.outcome.ended) << row.windows;
        // No screen reader here, and no failure told: exit code 2 for a script.
        EXPECT_EQ(2u, run.outcome.exitCode) << row.windows;
        EXPECT_TRUE(run.outcome.InstallStayedDisabled()) << row.windows;
        // Headless Wine plays no prompt, so a text can live for less than the driver's poll:
        // only the order of the texts seen is certain. While the package runs, the welcome
        // stays long enough to be seen.
        const std::vector<std::string> texts = run.outcome.StatusTexts();
        const std::vector<std::string> sequence = {kWelcome, kNoScreenReader};
        auto next = sequence.begin();
        for (const std::string& text : texts) {
            next = std::find(next, sequence.end(), text);
            ASSERT_NE(sequence.end(), next)
                << row.windows << ": unexpected or out of order: " << text;
        }
        if (row.runsPackage) {
            ASSERT_FALSE(texts.empty()) << row.windows;
            EXPECT_EQ(kWelcome, texts.front()) << row.windows;
        }
        // The package is started by its full path with a quoted command line; the doubled
        // backslash comes from joining the medium root with the package's relative path.
        const std::string started = "package " + MediumFolder() + "\\Driver\\xp\\Lumitactile.exe";
        EXPECT_EQ(row.runsPackage, run.log.find(started) != std::string::npos)
            << row.windows << ": " << run.log;
        if (row.runsPackage) {
            EXPECT_NE(std::string::npos,
                      run.log.find("| \"" + MediumFolder() + "\\\\Driver\\xp\\Lumitactile.exe\""))
                << run.log;
            // The verdict waits for the package to end.
            long exitAt = -1;
            for (const auto& event : run.outcome.events) {
                if (event.kind == uidriver::Event::kExit) exitAt = event.ms;
            }
            EXPECT_GE(exitAt, 1400) << row.windows;
        }
    }
}

// Copies a file, failing the test when it cannot.
void Copy(const std::string& from, const std::string& to) {
    ASSERT_TRUE(::CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
}

TEST(SetupExe, AMediumFolderWithABlankNeverStartsAnotherProgram) {
    EmulatedWindows windows("winxp");
    TempDir root;
    // "Lumi.exe" beside "Lumi Setup" is what an unquoted command line would start first.
    const std::string medium = root / "Lumi Setup";
    testing_support::MakeFolders(medium + "\\Driver\\xp");
    Copy(MediumFolder() + "\\Setup.exe", medium + "\\Setup.exe");
    Copy(MediumFolder() + "\\Driver\\xp\\Lumitactile.exe",
         medium + "\\Driver\\xp\\Lumitactile.exe");
    Copy(MediumFolder() + "\\Driver\\vista\\FTDIUNIN.exe", root / "Lumi.exe");

    const SetupRun run = RunSetup(medium, PressInstall(), 300);
    EXPECT_TRUE(run.outcome.ended);
    EXPECT_NE(std::string::npos, run.log.find("package " + medium)) << run.log;
    EXPECT_EQ(std::string::npos, run.log.find("uninstaller")) << run.log;
}

TEST(SetupExe, CancelWhileThePackageIsOpenEndsTheWizardAtOnce) {
    EmulatedWindows windows("winxp");
    uidriver::Plan plan = PressInstall();
    plan.afterWindow = "FTDI Driver Installation";
    plan.commands.push_back({8, 0});
    const SetupRun run = RunSetup(MediumFolder(), plan, 4000);
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(3u, run.outcome.exitCode) << "closed before the verdict";
    long windowAt = -1, exitAt = -1;
    for (const auto& event : run.outcome.events) {
        if (event.kind == uidriver::Event::kWindow) windowAt = event.ms;
        if (event.kind == uidriver::Event::kExit) exitAt = event.ms;
    }
    ASSERT_GE(windowAt, 0);
    EXPECT_LT(exitAt - windowAt, 2000) << "the wizard does not wait for the package";
    EXPECT_EQ(std::vector<std::string>{kWelcome}, run.outcome.StatusTexts())
        << "no verdict after a close";
    // The log tells support where the user closed the wizard, and ends with it.
    const std::string log = simpc::LastLogBlock(ReadTextFile(InstallLog::FilePath()));
    EXPECT_NE(std::string::npos, log.find("closed by the user during the driver package")) << log;
    const std::string end =
        "the wizard ends, exit code 3 (closed by the user before the verdict)\r\n";
    EXPECT_EQ(end, log.substr(log.size() - std::min(log.size(), end.size()))) << log;
}

// A second start (a double Enter) finds the wizard that runs, brings its window to the front and
// ends at once with exit code 4; its line goes into the running wizard's block, under no heading
// of its own, and the first wizard runs on to its own end.
TEST(SetupExe, ASecondStartBringsTheRunningWizardToTheFrontAndEnds) {
    EmulatedWindows windows("winxp");
    uidriver::Launch launch;
    launch.exe = MediumFolder() + "\\Setup.exe";
    launch.currentFolder = MediumFolder();
    uidriver::UiDriver first;
    ASSERT_TRUE(first.Start(launch)) << first.Error();
    HWND window = first.WaitForWindow(IDS_CAPTION_TEXT, 30000);
    ASSERT_NE(nullptr, window);
    // Something else is in front when the user presses Enter again.
    HWND other = ::CreateWindowExA(0, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                   10, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_NE(window, ::GetForegroundWindow());

    uidriver::UiDriver second;
    ASSERT_TRUE(second.Start(launch)) << second.Error();
    DWORD code = 0;
    ASSERT_TRUE(second.WaitForExit(10000, code));
    EXPECT_EQ(4u, code);
    EXPECT_LT(second.SinceStart(), 5000) << "the second start did not end at once";
    EXPECT_EQ(window, ::GetForegroundWindow());
    ::DestroyWindow(other);

    ASSERT_TRUE(first.Close());
    ASSERT_TRUE(first.WaitForExit(10000, code));
    EXPECT_EQ(3u, code) << "the first wizard did not run on";
    const std::string log = simpc::LastLogBlock(ReadTextFile(InstallLog::FilePath()));
    EXPECT_NE(std::string::npos,
              log.find("another start of Lumitactile Setup 1.0.0.1 at ")) << log;
    EXPECT_NE(std::string::npos, log.find(": a wizard is running already; its window was brought "
                                          "to the front; this start ended, exit code 4\r\n"))
        << log;
    // The block is the first wizard's, from its heading on: no heading of the second split it.
    EXPECT_NE(std::string::npos, log.find(" ms  Windows reports version ")) << log;
    const std::string end =
        "the wizard ends, exit code 3 (closed by the user before the verdict)\r\n";
    EXPECT_EQ(end, log.substr(log.size() - std::min(log.size(), end.size()))) << log;
}

// A log over 1 MiB beside a read-only older log: the wizard's start renames the log, the
// read-only older one goes, and the new log's first block says so.
TEST(SetupExe, MakesWayForANewLogPastAReadOnlyOlderOne) {
    EmulatedWindows windows("winxp");
    const std::string path = InstallLog::FilePath();
    const std::string old = InstallLog::OldFilePath();
    ::SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_NORMAL);
    testing_support::WriteTextFile(old, "the oldest runs");
    testing_support::SetReadOnly(old);
    const std::string full(1024 * 1024 + 1, 'x');
    testing_support::WriteTextFile(path, full);
    uidriver::Plan plan;
    plan.closeAtMs = 500;
    const SetupRun run = RunSetup(MediumFolder(), plan, 300);
    EXPECT_TRUE(run.outcome.ended);
    EXPECT_EQ(full, ReadTextFile(old));
    const std::string log = ReadTextFile(path);
    EXPECT_EQ(0u, log.find("\r\n==== Lumitactile Setup ")) << log.substr(0, 200);
    EXPECT_NE(std::string::npos, log.find(" ms  the log was over 1 MiB: renamed to ")) << log;
    EXPECT_NE(std::string::npos, log.find(" ms  the older log it replaces was deleted")) << log;
}

}  // namespace
