// The stand-ins for the vendor's driver programs, the assembled install medium and the UI driver,
// run for real in the prefix. The UI driver is checked against a small fake wizard: this very
// test program, started again with LUMI_FAKE_WIZARD set, so its behaviour is known exactly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tools/uidriver/UiDriver.h"

using testing_support::FullPath;
using testing_support::MediumFolder;
using testing_support::ReadTextFile;
using testing_support::TempDir;
using uidriver::Event;
using uidriver::UiDriver;

namespace {

const char* const kWizardCaption = "Lumitactile Driver Installation ";
const char* const kPackageTitle = "FTDI Driver Installation";
const char* const kFakeWizardVariable = "LUMI_FAKE_WIZARD";

// ---- The fake wizard -------------------------------------------------------------------------
// Modes: "ends"  Install: status box shown with "First", button disabled; "Second" at 200 ms;
//                status box hidden at 400 ms; ends with 7 at 500 ms.
//        "waits" Install: "First"; at 300 ms opens a window titled like the driver package;
//                then waits.
//        "stays" never ends and ignores WM_CLOSE.
// Any other command (not from a control) ends it with its id as exit code; WM_CLOSE ends it with 9.

std::string fakeMode;
int fakeExitCode = 0;

LRESULT CALLBACK FakeWizardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND status = ::GetDlgItem(window, IDC_STATUS);
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_INSTALL) {
                ::EnableWindow(::GetDlgItem(window, IDC_INSTALL), FALSE);
                ::ShowWindow(status, SW_SHOW);
                ::SetWindowTextA(status, "First");
                if (fakeMode != "stays")
                    ::SetTimer(window, 1, fakeMode == "waits" ? 300 : 200, nullptr);
            } else if (lParam == 0) {  // not a notification from its own controls
                fakeExitCode = LOWORD(wParam);
                ::DestroyWindow(window);
            }
            return 0;
        case WM_TIMER:
            ::KillTimer(window, wParam);
            if (fakeMode == "waits") {
                ::CreateWindowExA(0, "STATIC", kPackageTitle, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                  nullptr, nullptr, nullptr, nullptr);
            } else if (wParam == 1) {
                ::SetWindowTextA(status, "Second");
                ::SetTimer(window, 2, 200, nullptr);
            } else if (wParam == 2) {
                ::ShowWindow(status, SW_HIDE);
                ::SetTimer(window, 3, 100, nullptr);
            } else {
                fakeExitCode = 7;
                ::DestroyWindow(window);
            }
            return 0;
        case WM_CLOSE:
            if (fakeMode != "stays") {
                fakeExitCode = 9;
                ::DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(fakeExitCode);
            return 0;
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunFakeWizard() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FakeWizardProc;
    windowClass.lpszClassName = "LumiFakeWizard";
    ::RegisterClassA(&windowClass);
    HWND window =
        ::CreateWindowExA(0, "LumiFakeWizard", kWizardCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                          0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ::CreateWindowExA(0, "BUTTON", "Install", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, window,
                      reinterpret_cast<HMENU>(IDC_INSTALL), nullptr, nullptr);
    ::CreateWindowExA(0, "EDIT", "", WS_CHILD, 10, 40, 200, 24, window,
                      reinterpret_cast<HMENU>(IDC_STATUS), nullptr, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
    return static_cast<int>(message.wParam);
}

// Started as the fake wizard, the program plays it and ends before any test is run.
const bool kPlayedFakeWizard = [] {
    char mode[16] = {};
    const DWORD length = ::GetEnvironmentVariableA(kFakeWizardVariable, mode, sizeof(mode));
    if (length == 0 || length >= sizeof(mode)) return false;
    fakeMode = mode;
    ::ExitProcess(static_cast<UINT>(RunFakeWizard()));
}();

// ---- Helpers ---------------------------------------------------------------------------------

std::string TestExe() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

uidriver::Launch FakeWizard(const std::string& mode) {
    uidriver::Launch launch;
    launch.exe = TestExe();
    launch.environment = {std::string(kFakeWizardVariable) + "=" + mode};
    return launch;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<Event::Kind> Kinds(const uidriver::Outcome& outcome,
                               std::initializer_list<Event::Kind> wanted) {
    std::vector<Event::Kind> kinds;
    for (const Event& event : outcome.events) {
        for (Event::Kind kind : wanted) {
            if (event.kind == kind) kinds.push_back(kind);
        }
    }
    return kinds;
}

// A window of the test program itself with the wizard's caption: the driver must not take it
// for the program it started.
struct DecoyWizard {
    HWND window = ::CreateWindowExA(0, "STATIC", kWizardCaption, WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                    50, nullptr, nullptr, nullptr, nullptr);
    ~DecoyWizard() { ::DestroyWindow(window); }
};

// ---- Stand-in driver package -----------------------------------------------------------------

class StandinPackage : public testing::Test {
protected:
    // The test's own value must be replaced by the one given to the launch, whatever its case.
    void SetUp() override { ::SetEnvironmentVariableA("LUMI_STANDIN_PACKAGE_MS", "60000"); }
    void TearDown() override { ::SetEnvironmentVariableA("LUMI_STANDIN_PACKAGE_MS", nullptr); }
    const std::string package = MediumFolder() + "\\Driver\\xp\\Lumitactile.exe";
};

TEST_F(StandinPackage, KeepsItsWindowForTheTimeItIsToldThenEnds) {
    struct Case {
        const char* name;
        std::vector<std::string> environment;
        long closeAtMs;
        bool opensWindow;
        long minMs, maxMs;  // from start to end
    };
    const Case cases[] = {
        {"told 1500 ms", {"LUMI_STANDIN_PACKAGE_MS=1500"}, -1, true, 1400, 8000},
        {"told in lower case", {"lumi_standin_package_ms=1200"}, -1, true, 1100, 8000},
        {"not a number: 3000 ms", {"LUMI_STANDIN_PACKAGE_MS=1.5s"}, -1, true, 2900, 10000},
        {"closed early", {}, 200, true, 0, 5000},
        {"no window",
         {"LUMI_STANDIN_PACKAGE_MS=800", "LUMI_STANDIN_PACKAGE_NOWINDOW=1"},
         -1,
         false,
         700,
         8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UiDriver driver;
        ASSERT_TRUE(driver.Start({package, std::string(), c.environment})) << driver.Error();
        // The driver's own environment is as it was, for the programs it starts later.
        char stay[16] = {};
        EXPECT_EQ(5u, ::GetEnvironmentVariableA("LUMI_STANDIN_PACKAGE_MS", stay, sizeof(stay)));
        EXPECT_STREQ("60000", stay);
        EXPECT_EQ(0u, ::GetEnvironmentVariableA("LUMI_STANDIN_PACKAGE_NOWINDOW", nullptr, 0));
        uidriver::Plan plan;
        plan.caption = kPackageTitle;
        plan.closeAtMs = c.closeAtMs;
        const uidriver::Outcome outcome = driver.Run(plan, 20000);
        const long tookMs = driver.SinceStart();
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(0u, outcome.exitCode);
        EXPECT_EQ(c.opensWindow, outcome.windowFound);
        EXPECT_GE(tookMs, c.minMs);
        EXPECT_LE(tookMs, c.maxMs);
    }
}

TEST_F(StandinPackage, IsFoundByItsTitleLikeTheWatcherDoesButNeverAsTheWizard) {
    UiDriver driver;
    ASSERT_TRUE(driver.Start({package, std::string(), {"LUMI_STANDIN_PACKAGE_MS=1500"}}));
    HWND window = driver.WaitForWindow(kPackageTitle, 5000);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, ::FindWindowA(nullptr, kPackageTitle));
    EXPECT_EQ(nullptr, driver.WaitForWindow(kWizardCaption, 300));
    DWORD exitCode = 1;
    EXPECT_TRUE(driver.WaitForExit(10000, exitCode));
}

// ---- The medium and the log lines ------------------------------------------------------------

TEST(Medium, HasOneDriverFolderThatTheWizardReachesUnderEitherCase) {
    int driverFolders = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((MediumFolder() + "\\*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << MediumFolder();
    do {
        if (lstrcmpiA(entry.cFileName, "driver") == 0) ++driverFolders;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    EXPECT_EQ(1, driverFolders);
    EXPECT_TRUE(testing_support::FileExists(MediumFolder() + "\\Setup.exe"));
}

TEST(Medium, StandinsLogTheirPathAndCommandLineWhenStartedAsTheWizardStartsThem) {
    struct Case {
        const char* relative;  // appended to the medium folder ending in a backslash
        const char* role;
    };
    const Case cases[] = {
        {"\\Driver\\xp\\Lumitactile.exe", "package"},
        {"\\driver\\vista\\FTDIUNIN.exe", "uninstaller"},
        {"\\driver\\98&me\\FTDIUNIN.exe", "uninstaller"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        TempDir dir;
        const std::string log = dir / "standin.log";
        const std::string path = MediumFolder() + "\\" + c.relative;
        UiDriver driver;
        ASSERT_TRUE(driver.Start({path,
                                  std::string(),
                                  {"LUMI_STANDIN_LOG=" + log, "LUMI_STANDIN_PACKAGE_MS=0",
                                   "LUMI_STANDIN_PACKAGE_NOWINDOW=1"}}))
            << driver.Error();
        DWORD exitCode = 1;
        ASSERT_TRUE(driver.WaitForExit(10000, exitCode));
        EXPECT_EQ(0u, exitCode);

        const std::vector<std::string> lines = Lines(ReadTextFile(log));
        ASSERT_EQ(1u, lines.size());
        const std::string prefix = std::string(c.role) + " ";
        const std::string separator = " | ";
        const size_t split = lines[0].find(separator);
        // The uninstaller adds how it was to be shown.
        const size_t end = lines[0].find(separator, split + separator.size());
        ASSERT_EQ(0u, lines[0].rfind(prefix, 0)) << lines[0];
        ASSERT_NE(std::string::npos, split) << lines[0];
        EXPECT_EQ(0, lstrcmpiA(FullPath(path).c_str(),
                               lines[0].substr(prefix.size(), split - prefix.size()).c_str()))
            << lines[0];
        EXPECT_EQ("\"" + path + "\"",
                  lines[0].substr(split + separator.size(), end - split - separator.size()));
    }
}

TEST(Medium, StandinsStartedTogetherEachLogOneWholeLine) {
    TempDir dir;
    const std::string log = dir / "standin.log";
    const int count = 8;
    std::vector<UiDriver> drivers(count);
    for (UiDriver& driver : drivers) {
        ASSERT_TRUE(driver.Start({MediumFolder() + "\\driver\\vista\\FTDIUNIN.exe",
                                  std::string(),
                                  {"LUMI_STANDIN_LOG=" + log}}));
    }
    for (UiDriver& driver : drivers) {
        DWORD exitCode = 1;
        ASSERT_TRUE(driver.WaitForExit(20000, exitCode));
        EXPECT_EQ(0u, exitCode);
    }
    const std::vector<std::string> lines = Lines(ReadTextFile(log));
    ASSERT_EQ(static_cast<size_t>(count), lines.size());
    for (const std::string& line : lines) {
        EXPECT_EQ(0u, line.rfind("uninstaller ", 0)) << line;
        EXPECT_NE(std::string::npos, line.find("FTDIUNIN.exe | \"")) << line;
    }
}

// ---- The UI driver on the fake wizard --------------------------------------------------------

TEST(UiDriver, RecordsWhatTheWizardShowsAfterInstallIsPressed) {
    DecoyWizard decoy;
    UiDriver driver;
    ASSERT_TRUE(driver.Start(FakeWizard("ends"))) << driver.Error();
    uidriver::Plan plan;
    plan.pressInstall = true;
    const uidriver::Outcome outcome = driver.Run(plan, 20000);

    ASSERT_TRUE(outcome.ended);
    EXPECT_TRUE(outcome.actionsDone);
    EXPECT_EQ(7u, outcome.exitCode);
    EXPECT_EQ((std::vector<std::string>{"First", "Second"}), outcome.StatusTexts());
    EXPECT_EQ((std::vector<Event::Kind>{Event::kStatusShown, Event::kStatusHidden}),
              Kinds(outcome, {Event::kStatusShown, Event::kStatusHidden}));
    EXPECT_TRUE(outcome.InstallStayedDisabled());
    ASSERT_EQ(Event::kExit, outcome.events.back().kind);
    for (const Event& event : outcome.events) {
        if (event.kind == Event::kStatus && event.text == "Second") {
            EXPECT_GE(event.ms, 190);  // timed from the press, which came first
            EXPECT_LT(event.ms, 5000);
        }
    }
}

TEST(UiDriver, CarriesOutCommandsAndTheCloseAtTheirMoments) {
    struct Case {
        const char* name;
        uidriver::Plan plan;
        DWORD exitCode;
        long minExitMs;  // since the press, or since the window was found
    };
    uidriver::Plan close;
    close.closeAtMs = 300;
    uidriver::Plan command;
    command.commands = {{1002, 300}};
    uidriver::Plan cancelWhilePackageOpen;
    cancelWhilePackageOpen.pressInstall = true;
    cancelWhilePackageOpen.afterWindow = kPackageTitle;
    cancelWhilePackageOpen.commands = {{IDC_CLOSE_BUTTON, 0}};
    const Case cases[] = {
        {"close after 300 ms", close, 9, 300},
        {"command 1002 at 300 ms", command, 1002, 300},
        {"Cancel once the package window is open", cancelWhilePackageOpen, 8, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UiDriver driver;
        ASSERT_TRUE(driver.Start(FakeWizard("waits"))) << driver.Error();
        const uidriver::Outcome outcome = driver.Run(c.plan, 20000);
        ASSERT_TRUE(outcome.ended);
        EXPECT_TRUE(outcome.actionsDone);
        EXPECT_EQ(c.exitCode, outcome.exitCode);
        EXPECT_GE(outcome.events.back().ms, c.minExitMs);
        EXPECT_EQ(c.plan.afterWindow.empty() ? 0u : 1u, Kinds(outcome, {Event::kWindow}).size());
    }
}

TEST(UiDriver, KillsAProgramThatOutlivesTheTimeLimit) {
    UiDriver driver;
    ASSERT_TRUE(driver.Start(FakeWizard("stays"))) << driver.Error();
    uidriver::Plan plan;
    plan.closeAtMs = 0;  // ignored by this wizard
    const uidriver::Outcome outcome = driver.Run(plan, 1500);
    EXPECT_FALSE(outcome.ended);
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(Event::kTimeout, outcome.events.back().kind);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(driver.Process(), 0));
}

}  // namespace
