#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainDialog.h"
#include "framework/Thread.h"
#include "install/InstallWorker.h"
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

// With no screen reader and no package on the medium, every Windows family hears the same
// run; the package is only tried on the NT families, and its missing file is not reported.
TEST(InstallWorker, RunsGreetingThenVerdictForEveryOsKind) {
    for (int osKind = 0; osKind <= 4; ++osKind) {
        TempDir medium;
        OpenDialog dialog(medium.Path() + "\\");
        dialog->OsKind = osKind;
        PressInstallAndWaitForTheEnd(dialog);

        const auto entries = dialog.prompts.Entries();
        ASSERT_EQ(3u, entries.size()) << "OsKind " << osKind;
        EXPECT_EQ(Prompt::kStart, entries[0].prompt);
        EXPECT_EQ(kWelcome, entries[0].statusText) << "the text comes before its prompt";
        EXPECT_EQ(Prompt::kWelcome, entries[1].prompt);
        EXPECT_EQ(Prompt::kNoScreenReader, entries[2].prompt);
        EXPECT_EQ(kNoScreenReader, entries[2].statusText);
        EXPECT_FALSE(dialog.StatusVisible()) << "hidden again at the end";
        EXPECT_TRUE(dialog->ProgramDir.empty()) << "the close released it";
    }
}

TEST(InstallWorker, AFoundScreenReaderLeadsToTheRestartVerdict) {
    // SAM's folder is what makes Dolphin count as found, whatever its patch gives.
    testing_support::ScopedFolder dolphin("C:\\Program Files\\Dolphin");
    testing_support::MakeFolders("C:\\Program Files\\Dolphin\\Sam");
    TempDir medium;
    OpenDialog dialog(medium.Path() + "\\");
    dialog->OsKind = 1;
    PressInstallAndWaitForTheEnd(dialog);

    const auto entries = dialog.prompts.Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Prompt::kRestart, entries.back().prompt);
    EXPECT_EQ(kRestart, entries.back().statusText);
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

// Closing during a run: the window goes at once, the prompt in progress is cut off, and
// nothing after the step in progress is done or said.
TEST(InstallWorker, ACloseDuringTheRunStopsItAfterTheStepInProgress) {
    TempDir medium;
    OpenDialog dialog(medium.Path() + "\\");
    dialog->OsKind = 1;
    HWND window = dialog->GetSafeHwnd();
    dialog.prompts.onPlay = [&](const std::string& prompt) {
        if (prompt == Prompt::kStart) {
            ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, 0), 0);
            ::Sleep(300);  // the prompt is still playing when the close arrives
        }
    };
    PressInstallAndWaitForTheEnd(dialog);
    EXPECT_EQ(std::vector<std::string>{Prompt::kStart}, dialog.prompts.Prompts());
    EXPECT_GE(dialog.prompts.StopCount(), 1);
    EXPECT_TRUE(dialog->IsClosing());
    EXPECT_TRUE(dialog->ProgramDir.empty());
    EXPECT_EQ(kWelcome, dialog.StatusText()) << "no later text was shown";
}

}  // namespace
