#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "framework/Thread.h"
#include "app/InstallWorker.h"
#include "install/InstallLog.h"
#include "install/Prompts.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

using testing_support::OpenDialog;
using testing_support::PumpUntil;
using testing_support::RecordingPromptPlayer;
using testing_support::TempDir;

namespace {

const char* const kWelcome = "Welcome to the Driver Install Wizard for Lumitactile.";
const char* const kNoScreenReader =
    "There is no screen reader on your PC. Please install screen reader program in advance.";
const char* const kRestart = "Please restart screen reader.";

void PressInstallAndWaitForTheEnd(OpenDialog& dialog, DWORD timeoutMs = 30000) {
    ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, timeoutMs))
        << "the run did not close the dialog";
}

// A medium holding the stand-in driver package, which logs each start and stays briefly
// without a window (so the watcher never prompts).
struct PackageMedium {
    PackageMedium() {
        testing_support::MakeFolders(medium / "Driver\\xp");
        ::CopyFileA((testing_support::MediumFolder() + "\\Driver\\xp\\Lumitactile.exe").c_str(),
                    (medium / "Driver\\xp\\Lumitactile.exe").c_str(), FALSE);
    }
    int Starts() const {
        const std::string lines = testing_support::ReadTextFile(log / "standin.log");
        int starts = 0;
        for (size_t at = lines.find("package "); at != std::string::npos;
             at = lines.find("package ", at + 1)) {
            ++starts;
        }
        return starts;
    }
    TempDir medium;
    TempDir log;
    testing_support::ScopedEnvironment logFile{"LUMI_STANDIN_LOG", log / "standin.log"};
    testing_support::ScopedEnvironment stay{"LUMI_STANDIN_PACKAGE_MS", "300"};
    testing_support::ScopedEnvironment noWindow{"LUMI_STANDIN_PACKAGE_NOWINDOW", "1"};
};

// With no screen reader, every Windows family hears the same run; only the NT families run
// the package, a package that ends without its window is not reported, and one that is missing
// is told at once. The watcher has ended, silently, before the run closes the dialog.
TEST(InstallWorker, RunsGreetingThenVerdictForEveryOsKind) {
    const struct {
        int osKind;
        bool packageOnMedium;
        bool packageRuns;
    } rows[] = {{0, true, false}, {1, true, false},  {2, true, true},  {3, true, false},
                {4, true, true},  {2, false, false}, {4, false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE("OsKind " + std::to_string(row.osKind) +
                     (row.packageOnMedium ? "" : ", package missing"));
        PackageMedium medium;
        if (!row.packageOnMedium) {
            ASSERT_TRUE(::DeleteFileA((medium.medium / "Driver\\xp\\Lumitactile.exe").c_str()));
        }
        OpenDialog dialog(medium.medium.Path() + "\\");
        dialog->OsKind = row.osKind;
        bool watcherEnded = true;
        dialog.prompts.onPlay = [&](const std::string& prompt) {
            if (prompt != Prompt::kNoScreenReader) return;
            // It polls once a second; a package that ended (or never started) ends it.
            const DWORD start = ::GetTickCount();
            while (dialog->IsWatcherRunning() && ::GetTickCount() - start < 3000) ::Sleep(20);
            watcherEnded = !dialog->IsWatcherRunning();
        };
        PressInstallAndWaitForTheEnd(dialog);

        EXPECT_EQ(row.packageRuns ? 1 : 0, medium.Starts());
        EXPECT_TRUE(watcherEnded);
        // A package that the NT families could not start is told right after the attempt: the
        // display cannot work without its driver.
        const bool notStarted = !row.packageOnMedium;
        const auto entries = dialog.prompts.Entries();
        ASSERT_EQ(notStarted ? 4u : 3u, entries.size());
        EXPECT_EQ(Prompt::kStart, entries[0].prompt);
        EXPECT_EQ(kWelcome, entries[0].statusText) << "the text comes before its prompt";
        EXPECT_EQ(Prompt::kWelcome, entries[1].prompt);
        if (notStarted) {
            EXPECT_EQ(Prompt::kDriverFailed, entries[2].prompt);
            EXPECT_EQ(kPackageNotStartedText, entries[2].statusText);
        }
        EXPECT_EQ(Prompt::kNoScreenReader, entries.back().prompt);
        EXPECT_EQ(kNoScreenReader, entries.back().statusText);
        EXPECT_TRUE(entries.back().statusVisible) << "the verdict is hidden while it is told";
        EXPECT_EQ(notStarted ? kExitFailureTold : kExitNoScreenReader, dialog->ExitCode());
        EXPECT_FALSE(dialog.StatusVisible()) << "hidden again at the end";
        EXPECT_TRUE(dialog->ProgramDir.empty()) << "the close released it";
    }
}

// Any one screen reader found, whatever its patch gave, leads to the restart verdict. SAM alone
// is no screen reader. The exit code tells a script whether a failure was told.
TEST(InstallWorker, AnyFoundScreenReaderLeadsToTheRestartVerdict) {
    enum Reader { kNone, kWindowEyes, kSamAlone, kDolphin, kJaws, kJaws64WithoutDriver, kNvda };
    const struct {
        const char* label;
        Reader reader;
        const char* verdict;
        const char* prompt;
        int exitCode;
    } rows[] = {
        {"none", kNone, kNoScreenReader, Prompt::kNoScreenReader, kExitNoScreenReader},
        {"Window-Eyes, its folder gone", kWindowEyes, kRestart, Prompt::kRestart, kExitFailureTold},
        {"Dolphin's SAM alone", kSamAlone, kNoScreenReader, Prompt::kNoScreenReader,
         kExitNoScreenReader},
        {"Dolphin's SAM and Hal, the medium without their files", kDolphin, kRestart,
         Prompt::kRestart, kExitFailureTold},
        {"JAWS, its driver not copied", kJaws, kRestart, Prompt::kRestart, kExitFailureTold},
        // Told that the medium lacks its driver; it is there, and no other screen reader is to
        // be installed.
        {"64-bit JAWS, the medium without its driver", kJaws64WithoutDriver, kRestart,
         Prompt::kRestart, kExitFailureTold},
        {"NVDA, the medium without its add-on", kNvda, kRestart, Prompt::kRestart,
         kExitFailureTold}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testing_support::ScopedMachineKey windowEyes("Software\\GW Micro, Inc.",
                                                     testing_support::kView32Bit);
        testing_support::ScopedMachineKey jaws("Software\\Freedom Scientific",
                                               testing_support::kView32Bit);
        testing_support::ScopedMachineKey jaws64("Software\\Freedom Scientific",
                                                 testing_support::kView64Bit);
        testing_support::ScopedFolder dolphin(testing_support::ProgramFiles32() + "\\Dolphin");
        testing_support::ScopedMachineKey nvda(
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NVDA",
            testing_support::kView32Bit);
        TempDir medium;
        switch (row.reader) {
            case kNone:
                break;
            case kWindowEyes:
                windowEyes.SetString("Window-Eyes\\Professional", "Version", "7.0");
                windowEyes.SetString("Window-Eyes\\Professional", "Path", medium / "gone");
                break;
            case kSamAlone:
                testing_support::MakeFolders(dolphin.Path() + "\\Sam");
                break;
            case kDolphin:
                testing_support::MakeFolders(dolphin.Path() + "\\Sam");
                testing_support::MakeFolders(dolphin.Path() + "\\Hal\\defaults");
                break;
            case kJaws:
                testing_support::MakeFolders(medium / "jaws11");
                testing_support::WriteTextFile(medium / "jaws11\\jfw.exe", "JAWS");
                jaws.SetString("JAWS\\11.0", "Target", medium / "jaws11");
                break;
            case kJaws64WithoutDriver:
                testing_support::MakeFolders(medium / "jaws2025");
                testing_support::WriteTextFile(medium / "jaws2025\\jfw.exe", "JAWS");
                jaws64.SetString("JAWS\\2025", "Target", medium / "jaws2025");
                break;
            case kNvda:
                testing_support::MakeFolders(medium / "NVDA program");
                nvda.SetString("", "UninstallDirectory", medium / "NVDA program");
                nvda.SetString("", "DisplayVersion", "2025.3.1");
                break;
        }
        OpenDialog dialog(medium.Path() + "\\");
        dialog->OsKind = 1;
        PressInstallAndWaitForTheEnd(dialog);

        const auto entries = dialog.prompts.Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(row.prompt, entries.back().prompt);
        EXPECT_EQ(row.verdict, entries.back().statusText);
        EXPECT_TRUE(entries.back().statusVisible);
        EXPECT_EQ(row.exitCode, dialog->ExitCode());
    }
}

// The package's process, waited for whole unless a close sets the event. Without the event
// (it could not be created) the wait still lasts as long as the package.
TEST(WaitForPackage, EndsWithThePackageOrAtOnceWhenClosing) {
    const struct {
        const char* label;
        bool event;
        bool closing;
        bool waitsForThePackage;
    } rows[] = {{"no closing event", false, false, true},
                {"event not set", true, false, true},
                {"event set by a close", true, true, false}};
    PackageMedium medium;
    const std::string package = medium.medium / "Driver\\xp\\Lumitactile.exe";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        UniqueHandle event(row.event ? ::CreateEventA(nullptr, TRUE, row.closing, nullptr)
                                     : nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION created = {};
        std::string commandLine = "\"" + package + "\"";
        ASSERT_TRUE(::CreateProcessA(package.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &created));
        UniqueHandle process(created.hProcess);
        UniqueHandle thread(created.hThread);
        WaitForPackage(process.Get(), event.Get());
        EXPECT_EQ(row.waitsForThePackage, ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0);
        ::WaitForSingleObject(process.Get(), 10000);
    }
}

// A window titled like the package's, made by the test itself.
class PackageWindow {
public:
    PackageWindow() {
        window = ::CreateWindowExA(0, "STATIC", kPackageWindowTitle, WS_POPUP, 0, 0, 10, 10,
                                   nullptr, nullptr, nullptr, nullptr);
    }
    ~PackageWindow() { ::DestroyWindow(window); }

private:
    HWND window;
};

unsigned __stdcall WatcherThread(void* dialog) {
    return InstallerWatcher(dialog);
}

TEST(InstallerWatcher, PromptsOnceWhenThePackageWindowAppears) {
    OpenDialog dialog;
    installerDone.store(0);
    PackageWindow window;
    const DWORD start = ::GetTickCount();
    UniqueHandle watcher = BeginThread(WatcherThread, dialog.get());
    ASSERT_TRUE(testing_support::PumpUntil(
        [&] { return ::WaitForSingleObject(watcher.Get(), 0) == WAIT_OBJECT_0; }, 10000));
    const DWORD elapsed = ::GetTickCount() - start;
    DWORD exitCode = 0;
    ::GetExitCodeThread(watcher.Get(), &exitCode);
    EXPECT_EQ(1u, exitCode);
    EXPECT_EQ(std::vector<std::string>{Prompt::kCheckDialog}, dialog.prompts.Prompts());
    // One second to the first look, one more before the prompt.
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 4000u);
    installerDone.store(1);
}

TEST(InstallerWatcher, EndsSilentlyWhenThePackageEndsWithoutItsWindow) {
    OpenDialog dialog;
    installerDone.store(0);
    UniqueHandle watcher = BeginThread(WatcherThread, dialog.get());
    ::Sleep(1500);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(watcher.Get(), 0))
        << "it keeps watching while the package runs";
    installerDone.store(1);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(watcher.Get(), 2500));
    EXPECT_TRUE(dialog.prompts.Prompts().empty());
}

// A prompt that plays until the run is stopped, as a long recording is cut off by a close; where
// the close lets the prompt in progress end (Windows 95/98/ME), until the close has arrived.
void PlayUntilStopped(MainDialog& dialog, const RecordingPromptPlayer& prompts, bool cutOff) {
    const DWORD start = ::GetTickCount();
    while ((cutOff ? prompts.StopCount() == 0 : !dialog.IsClosing()) &&
           ::GetTickCount() - start < 5000) {
        ::Sleep(5);
    }
    if (!cutOff) ::Sleep(100);
}

// Closing during a run: the window goes at once, and nothing after the step in progress is
// done or said. The prompt in progress is cut off, except on Windows 95/98/ME, where a second
// thread must not call the sound functions while it plays: it plays to its end there. The
// step in progress still has all it reads until it has ended.
TEST(InstallWorker, ACloseDuringTheRunStopsItAfterTheStepInProgress) {
    const struct {
        int osKind;
        bool cutOff;
    } rows[] = {{kOsKindWindows9x, false}, {kOsKindNtBefore6, true}, {kOsKind6OrLater, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE("OsKind " + std::to_string(row.osKind));
        TempDir medium;
        OpenDialog dialog(medium.Path() + "\\");
        dialog->OsKind = row.osKind;
        HWND window = dialog->GetSafeHwnd();
        bool closedWhilePlaying = false;
        bool hiddenAtOnce = false;
        bool mediumKept = false;
        dialog.prompts.onPlay = [&](const std::string& prompt) {
            if (prompt != Prompt::kStart) return;
            ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, 0), 0);
            PlayUntilStopped(*dialog, dialog.prompts, row.cutOff);
            closedWhilePlaying = dialog->IsClosing();
            hiddenAtOnce = !::IsWindowVisible(window);
            std::string path;
            mediumKept = dialog->MediumPath("\\sound", path);
        };
        PressInstallAndWaitForTheEnd(dialog);
        EXPECT_TRUE(closedWhilePlaying);
        EXPECT_TRUE(hiddenAtOnce) << "the window stayed while the run was being stopped";
        EXPECT_TRUE(mediumKept) << "ProgramDir was released while the run could still read it";
        EXPECT_EQ(std::vector<std::string>{Prompt::kStart}, dialog.prompts.Prompts());
        if (row.cutOff) {
            EXPECT_GE(dialog.prompts.StopCount(), 1);
        } else {
            EXPECT_EQ(0, dialog.prompts.StopCount()) << "no sound call from a second thread";
        }
        EXPECT_TRUE(dialog->ProgramDir.empty());
        EXPECT_EQ(kWelcome, dialog.StatusText()) << "no later text was shown";
        // A thread that read the closing flag just before the close still makes no sound.
        dialog->Prompts().Play(Prompt::kRestart);
        EXPECT_EQ(std::vector<std::string>{Prompt::kStart}, dialog.prompts.Prompts());
    }
}

// A prompt that had passed the player's check just before the close starts its sound after the
// first cut-off: the close cuts it off too, instead of waiting for it to end.
TEST(InstallWorker, ACloseCutsOffAPromptThatStartsJustAfterIt) {
    TempDir medium;
    OpenDialog dialog(medium.Path() + "\\");
    dialog->OsKind = kOsKindNtBefore6;
    HWND window = dialog->GetSafeHwnd();
    DWORD played = 0;
    dialog.prompts.onPlay = [&](const std::string& prompt) {
        if (prompt != Prompt::kStart) return;
        ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, 0), 0);
        PlayUntilStopped(*dialog, dialog.prompts, true);  // until the first cut-off
        // Now the sound starts: a recording of five seconds, unless it is cut off.
        const int stops = dialog.prompts.StopCount();
        const DWORD start = ::GetTickCount();
        while (dialog.prompts.StopCount() == stops && ::GetTickCount() - start < 5000) ::Sleep(5);
        played = ::GetTickCount() - start;
    };
    PressInstallAndWaitForTheEnd(dialog);
    EXPECT_LT(played, 1000u) << "the close waited for the prompt to end";
}

// Esc and Enter end the dialog without WM_CLOSE (with "Install" disabled, Enter is the OK
// command). The run still stops after the step in progress, and the dialog does not go
// before the run has ended. A close during the verdict's prompt comes after the verdict: the
// program's exit code and the log's last line are the verdict's, and agree whatever the close.
TEST(InstallWorker, EscOrEnterDuringTheRunStopsItBeforeTheDialogGoes) {
    const struct {
        const char* key;
        WORD command;
        const char* during;  // the prompt the close comes in
        int exitCode;
        WORD endResult;
    } rows[] = {{"Esc", IDCANCEL, Prompt::kStart, kExitClosed, IDCANCEL},
                {"Enter", IDOK, Prompt::kStart, kExitClosed, IDOK},
                {"Esc during the verdict", IDCANCEL, Prompt::kNoScreenReader, kExitFailureTold,
                 IDCANCEL},
                {"Cancel during the verdict", IDC_CLOSE_BUTTON, Prompt::kNoScreenReader,
                 kExitFailureTold, IDCANCEL}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        TempDir medium;
        testing_support::ScopedEnvironment tmp("TMP", medium.Path());
        OpenDialog dialog(medium.Path() + "\\");
        dialog->OsKind = kOsKindNtBefore6;
        std::atomic<HANDLE> worker{nullptr};
        dialog.prompts.onPlay = [&](const std::string& prompt) {
            if (prompt != row.during) return;
            HANDLE self = nullptr;
            ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                              &self, 0, FALSE, DUPLICATE_SAME_ACCESS);
            worker.store(self);
            PlayUntilStopped(*dialog, dialog.prompts, true);
        };
        ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
        ASSERT_TRUE(PumpUntil([&] { return worker.load() != nullptr; }, 10000));
        UniqueHandle run(worker.load());
        ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(row.command, 0), 0);
        // The close box's way ends the dialog through the cancel command it posts.
        ASSERT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, 5000));
        EXPECT_EQ(row.endResult, dialog->EndResult());

        EXPECT_EQ(row.exitCode, dialog->Finish());
        const bool ended = ::WaitForSingleObject(run.Get(), 0) == WAIT_OBJECT_0;
        EXPECT_TRUE(ended) << "the dialog went while its run could still reach it";
        // Left to go on, such a run would use what is gone; the failure above is the finding.
        if (!ended) ::TerminateThread(run.Get(), 1);
        dialog.DestroyDialog();
        const std::string log = testing_support::ReadTextFile(medium / "Lumitactile Setup.log");
        const std::string end =
            "the wizard ends, exit code " + std::to_string(row.exitCode) +
            (row.exitCode == kExitClosed ? " (closed by the user before the verdict)" : "") +
            "\r\n";
        ASSERT_GE(log.size(), end.size());
        EXPECT_EQ(end, log.substr(log.size() - end.size())) << log;
        EXPECT_EQ(row.during, dialog.prompts.Prompts().back());
    }
}

// A dialog whose close lands at the last moment before the driver package would start, while
// the worker takes the package's path from it.
class ClosedAsThePackageStarts : public MainDialog {
public:
    bool MediumPath(const char* relative, std::string& path) const override {
        if (std::string(relative) == "\\Driver\\xp\\Lumitactile.exe") {
            ::PostMessageA(GetSafeHwnd(), WM_CLOSE, 0, 0);
            const DWORD start = ::GetTickCount();
            while (!IsClosing() && ::GetTickCount() - start < 5000) ::Sleep(5);
        }
        return MainDialog::MediumPath(relative, path);
    }
};

// A close while the watcher speaks: the dialog goes only once the watcher has ended, for the
// watcher reads the dialog up to its last step.
TEST(InstallWorker, ADialogClosedWhileTheWatcherSpeaksGoesOnlyAfterIt) {
    PackageMedium medium;
    testing_support::ScopedEnvironment window("LUMI_STANDIN_PACKAGE_NOWINDOW", "");
    testing_support::ScopedEnvironment stay("LUMI_STANDIN_PACKAGE_MS", "5000");
    OpenDialog dialog(medium.medium.Path() + "\\");
    dialog->OsKind = kOsKindNtBefore6;
    std::atomic<bool> speaking{false};
    std::atomic<bool> gone{false};
    std::atomic<bool> goneWhileSpeaking{false};
    dialog.prompts.onPlay = [&](const std::string& prompt) {
        if (prompt != Prompt::kCheckDialog) return;
        speaking.store(true);
        ::Sleep(500);  // the recording, which the close may cut off but not take away
        goneWhileSpeaking.store(gone.load());
    };
    ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return speaking.load(); }, 10000));

    dialog.DestroyDialog();
    gone.store(true);
    ::Sleep(700);
    EXPECT_FALSE(goneWhileSpeaking.load()) << "the dialog went while its watcher still ran";
}

TEST(InstallWorker, NoPackageStartsAfterAClose) {
    PackageMedium medium;
    OpenDialog dialog(medium.medium.Path() + "\\", new ClosedAsThePackageStarts);
    dialog->OsKind = 2;
    PressInstallAndWaitForTheEnd(dialog);
    ::Sleep(1000);  // a package started now would have logged its start by then
    EXPECT_EQ(0, medium.Starts());
}

// The log is one file in the temporary folder; each run appends its block, and a log over
// 1 MiB makes way for a new one, replacing the older one kept, read-only or not; a rename that
// fails keeps both as they were and says so. Lines after the run's log is gone go nowhere, and a
// folder where no log can be written keeps none.
TEST(InstallLog, AppendsEachRunsBlockAndMakesWayForANewOneOverOneMebibyte) {
    const struct {
        const char* label;
        size_t before;  // bytes already in the log; 0: no log yet
        bool madeWay;
        const char* note;  // a line the block must hold
        bool oldReadOnly = false;
        bool logReadOnly = false;
        bool renameRefused = false;  // another program holds the log without letting it move
    } rows[] = {{"no log yet", 0, false, "a step"},
                {"a log of earlier runs", 3000, false, "a step"},
                {"just 1 MiB", 1024 * 1024, false, "a step"},
                {"over 1 MiB", 1024 * 1024 + 1, true,
                 "the older log it replaces was deleted"},
                {"over 1 MiB, the older log read-only", 1024 * 1024 + 1, true,
                 "the older log it replaces was deleted", true},
                {"a read-only log", 3000, false,
                 "the log was read-only: its read-only bit was cleared", false, true},
                {"over 1 MiB, the rename refused", 1024 * 1024 + 1, false,
                 "the log is over 1 MiB, but renaming it to", false, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir folder;
        testing_support::ScopedEnvironment tmp("TMP", folder.Path());
        const std::string path = folder / "Lumitactile Setup.log";
        const std::string earlier = std::string(row.before, 'x');
        if (row.before > 0) testing_support::WriteTextFile(path, earlier);
        if (row.logReadOnly) testing_support::SetReadOnly(path);
        testing_support::WriteTextFile(folder / "Lumitactile Setup.old.log", "the oldest runs");
        if (row.oldReadOnly) testing_support::SetReadOnly(folder / "Lumitactile Setup.old.log");
        UniqueFile holder;
        if (row.renameRefused) {
            holder.Reset(::CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder.IsValid());
        }
        {
            InstallLog log;
            ASSERT_TRUE(log.Open("9.8.7.6"));
            InstallLog::Write("a step");
        }
        holder.Reset();
        InstallLog::Write("a line after the run's log is gone");

        const std::string text = testing_support::ReadTextFile(path);
        const std::string kept = row.madeWay ? std::string() : earlier;
        EXPECT_EQ(kept, text.substr(0, kept.size()));
        EXPECT_EQ(row.madeWay ? earlier : "the oldest runs",
                  testing_support::ReadTextFile(folder / "Lumitactile Setup.old.log"));
        EXPECT_FALSE(testing_support::FileExists(folder / "Lumitactile Setup.old.log.tmp"));
        const std::string block = text.substr(kept.size());
        EXPECT_EQ(0u, block.find("\r\n==== Lumitactile Setup 9.8.7.6, run of ")) << block;
        EXPECT_NE(std::string::npos, block.find(" ms  a step\r\n")) << block;
        EXPECT_NE(std::string::npos, block.find(std::string(" ms  ") + row.note)) << block;
        EXPECT_EQ(std::string::npos, block.find("after the run")) << block;
        for (size_t at = block.find('\n'); at != std::string::npos; at = block.find('\n', at + 1)) {
            EXPECT_EQ('\r', block[at - 1]) << "a line not ended by CR LF";
        }
    }
    testing_support::ScopedEnvironment nowhere("TMP", "C:\\no temporary folder here");
    InstallLog log;
    EXPECT_FALSE(log.Open("9.8.7.6"));
    InstallLog::Write("a step");
    EXPECT_FALSE(testing_support::FolderExists("C:\\no temporary folder here"));
}

constexpr DWORD kSharedLockOffset = 0x7FFFFFF0;  // the byte every writer of the log locks

// Another process that appends its line under the lock it holds, a moment later.
unsigned __stdcall WriteTheOthersLineAndUnlock(void* file) {
    ::Sleep(300);
    const char line[] = "the other's line\r\n";
    DWORD written = 0;
    ::SetFilePointer(file, 0, nullptr, FILE_END);
    ::WriteFile(file, line, sizeof(line) - 1, &written, nullptr);
    ::UnlockFile(file, kSharedLockOffset, 0, 1, 0);
    return 0;
}

// Another process's lines (a second start, or a wizard of another account) go at the end as it
// is when each line is written, never over the run's; and a line waits for the one another
// process is writing under the lock they share.
TEST(InstallLog, AppendsEachLineAtTheFilesEndUnderALockSharedWithOtherProcesses) {
    TempDir folder;
    testing_support::ScopedEnvironment tmp("TMP", folder.Path());
    const std::string path = folder / "Lumitactile Setup.log";
    InstallLog log;
    ASSERT_TRUE(log.Open("9.8.7.6"));
    InstallLog::Write("first");
    ASSERT_TRUE(InstallLog::WriteForAnotherStart("9.8.7.6", "a second start"));
    InstallLog::Write("second");

    UniqueFile other(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other.IsValid());
    ASSERT_TRUE(::LockFile(other.Get(), kSharedLockOffset, 0, 1, 0));
    UniqueHandle writer(BeginThread(WriteTheOthersLineAndUnlock, other.Get()));
    InstallLog::Write("third");
    ::WaitForSingleObject(writer.Get(), 5000);

    const std::string text = testing_support::ReadTextFile(path);
    const std::string block = text.substr(text.rfind("==== Lumitactile Setup "));
    EXPECT_EQ(0u, block.find("==== Lumitactile Setup 9.8.7.6, run of ")) << block;
    const size_t first = block.find(" ms  first\r\n");
    const size_t start = block.find("  ++  another start of Lumitactile Setup 9.8.7.6 at ");
    const size_t second = block.find(" ms  second\r\n");
    const size_t others = block.find("\r\nthe other's line\r\n");
    const size_t third = block.find(" ms  third\r\n");
    EXPECT_NE(std::string::npos, first) << block;
    EXPECT_NE(std::string::npos, block.find(": a second start\r\n", start)) << block;
    EXPECT_LT(first, start) << block;
    EXPECT_LT(start, second) << block;
    EXPECT_LT(second, others) << block;
    EXPECT_LT(others, third) << "a line did not wait for the other's: " << block;
}

}  // namespace
