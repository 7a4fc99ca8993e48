#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/InstallerApp.h"
#include "app/MainDialog.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

using testing_support::OpenDialog;
using testing_support::PumpUntil;

namespace {

struct OsCase {
    DWORD major;
    DWORD platform;
    int current;
    int expected;
};

class OsKindTable : public testing::TestWithParam<OsCase> {};

TEST_P(OsKindTable, ClassifiesTheRunningWindows) {
    const OsCase& c = GetParam();
    EXPECT_EQ(c.expected, ClassifyOsKind(c.major, c.platform, c.current));
}

INSTANTIATE_TEST_SUITE_P(Versions, OsKindTable,
                         testing::Values(OsCase{4, VER_PLATFORM_WIN32_WINDOWS, 0, 1},  // Windows 98
                                         OsCase{5, VER_PLATFORM_WIN32_NT, 0, 2},       // Windows XP
                                         OsCase{6, VER_PLATFORM_WIN32_NT, 0, 4},       // Vista
                                         OsCase{10, VER_PLATFORM_WIN32_NT, 0, 4},  // 10 and later
                                         OsCase{6, 7, 0, 4},  // 6+ whatever the platform
                                         OsCase{3, VER_PLATFORM_WIN32s, 0, 3},  // Win32s
                                         OsCase{5, 3, 0, 0},    // unknown platform: stays 0
                                         OsCase{4, 9, 2, 2}));  // ... or what it was

// Fake version queries: which record sizes they accept, and what they report.
DWORD acceptedSize = 0;
int calls = 0;
BOOL WINAPI FakeVersionQuery(OSVERSIONINFOA* record) {
    ++calls;
    if (acceptedSize == 0 || record->dwOSVersionInfoSize != acceptedSize) return FALSE;
    record->dwMajorVersion = 5;
    record->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

TEST(DetectOsKind, FallsBackFromTheExtendedRecordToTheBasicOne) {
    OpenDialog dialog;
    struct Row {
        DWORD accepted;
        int result;
        int osKind;
        int calls;
    } rows[] = {{sizeof(OSVERSIONINFOEXA), 1, 2, 1},
                {sizeof(OSVERSIONINFOA), 1, 2, 2},
                {0, 0, 3, 2}};  // both refused: OsKind keeps its value
    static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
                  "record sizes the platform expects");
    for (const Row& row : rows) {
        acceptedSize = row.accepted;
        calls = 0;
        dialog->OsKind = 3;
        EXPECT_EQ(row.result, dialog->DetectOsKindWith(FakeVersionQuery)) << row.accepted;
        EXPECT_EQ(row.osKind, dialog->OsKind) << row.accepted;
        EXPECT_EQ(row.calls, calls) << row.accepted;
    }
}

// Fake IsWow64Process: whether the call succeeds, and what it says.
BOOL wow64CallSucceeds = TRUE;
BOOL wow64Answer = FALSE;
BOOL WINAPI FakeIsWow64Process(HANDLE, BOOL* wow64) {
    *wow64 = wow64Answer;
    return wow64CallSucceeds;
}

// A 64-bit program runs on 64-bit Windows only; a 32-bit one asks, where the system can answer.
TEST(Is64BitWindows, IsAskedOnlyOfA32BitProgramAndOnlyWhereTheCallExists) {
    const struct {
        const char* label;
        bool programIs64Bit;
        bool callExists;  // Windows 95/98/ME, NT 4 and 2000 lack IsWow64Process
        BOOL succeeds;
        BOOL answer;
        bool expected;
    } rows[] = {{"64-bit program", true, false, FALSE, FALSE, true},
                {"32-bit program under WOW64", false, true, TRUE, TRUE, true},
                {"32-bit program on 32-bit Windows", false, true, TRUE, FALSE, false},
                {"the call fails", false, true, FALSE, TRUE, false},
                {"no such call", false, false, TRUE, TRUE, false}};
    for (const auto& row : rows) {
        wow64CallSucceeds = row.succeeds;
        wow64Answer = row.answer;
        EXPECT_EQ(row.expected, Is64BitWindowsWith(row.programIs64Bit,
                                                   row.callExists ? FakeIsWow64Process : nullptr,
                                                   ::GetCurrentProcess()))
            << row.label;
    }
    // The bench runs on 64-bit Windows, and the system's own call is found.
    EXPECT_NE(nullptr, SystemIsWow64Process());
    OpenDialog dialog;
    EXPECT_TRUE(dialog->windows64);
}

TEST(ProgramDir, IsTheDriveAndDirectoryOfTheExecutable) {
    const struct {
        const char* module;
        const char* programDir;
    } rows[] = {{"D:\\setup\\x.exe", "D:\\setup\\"},
                {"E:\\x.exe", "E:\\"},
                {"\\\\srv\\share\\x.exe", "\\\\srv\\share\\"},  // both backslashes kept
                {"", ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.programDir, ProgramDirFromModulePath(row.module)) << row.module;
    }
}

// GetModuleFileNameA for an executable whose path is modulePathLength bytes: it fills the
// buffer and cuts the path when it does not fit, as the platform does.
size_t modulePathLength = 0;
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size) {
    const std::string path = "C:\\" + std::string(modulePathLength - 9, 'd') + "\\x.exe";
    const DWORD copied = static_cast<DWORD>(std::min<size_t>(path.size(), size));
    memcpy(buffer, path.data(), copied);
    if (copied < size) buffer[copied] = '\0';
    return copied;
}

TEST(ProgramDir, ComesFromAModulePathOfAnyLengthThePlatformAllows) {
    for (size_t length : {size_t{20}, size_t{259}, size_t{260}, size_t{16639}, size_t{16640},
                          size_t{25000}, size_t{32767}, size_t{32768}}) {
        modulePathLength = length;
        const std::string path = ModulePathWith(FakeModuleFileName);
        // Beyond the platform's longest path nothing can be trusted: no medium path is built.
        EXPECT_EQ(length <= 32767 ? length : 0, path.size()) << length;
    }
}

TEST(MainDialog, OpensIdleWithItsMenuIconsAndFacts) {
    OpenDialog dialog;
    HWND window = dialog->GetSafeHwnd();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(testing_support::TestProgramFolder() + "\\", dialog->ProgramDir);
    EXPECT_NE(0, dialog->OsKind);
    EXPECT_FALSE(dialog.StatusVisible());
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window, IDC_INSTALL)));
    EXPECT_EQ(nullptr, ::GetDlgItem(window, ID_REMOVE_DRIVER));

    ASSERT_NE(nullptr, dialog->icon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog->icon),
              ::SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog->icon),
              ::SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog->icon),
              ::SendMessageA(window, WM_QUERYDRAGICON, 0, 0));

    HMENU menu = ::GetSystemMenu(window, FALSE);
    ASSERT_NE(nullptr, menu);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR),
              ::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t item[64] = {};
    ::GetMenuStringW(menu, IDM_ABOUTBOX, item, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"Canvasholder \xC815\xBCF4(&A)..."), item);
}

// Windows 95/98/ME: the wide calls are missing, or stubs that fail as not implemented. The
// item is still there, from the same string resource read as ANSI text.
int WINAPI LoadStringWStub(HINSTANCE, UINT, LPWSTR, int) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL WINAPI AppendMenuWStub(HMENU, UINT, UINT_PTR, LPCWSTR) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

TEST(AboutItem, IsAppendedWideWhereThePlatformCanElseAsAnsiText) {
    const WideMenuCalls real = SystemWideMenuCalls();
    ASSERT_NE(nullptr, real.loadString);
    const struct {
        const char* platform;
        WideMenuCalls wide;
        bool wideText;
    } rows[] = {{"wide calls work", real, true},
                {"wide calls missing", WideMenuCalls{}, false},
                {"wide calls not implemented", {LoadStringWStub, AppendMenuWStub}, false},
                {"only the append is a stub", {real.loadString, AppendMenuWStub}, false}};
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    char ansi[64] = {};
    ASSERT_GT(::LoadStringA(instance, IDS_ABOUTBOX, ansi, sizeof(ansi)), 0);
    for (const auto& row : rows) {
        HMENU menu = ::CreatePopupMenu();
        AppendAboutItem(menu, instance, row.wide);
        ASSERT_EQ(2, ::GetMenuItemCount(menu)) << row.platform;
        EXPECT_NE(0u, ::GetMenuState(menu, 0, MF_BYPOSITION) & MF_SEPARATOR) << row.platform;
        EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), ::GetMenuItemID(menu, 1)) << row.platform;
        wchar_t wide[64] = {};
        char narrow[64] = {};
        ::GetMenuStringW(menu, IDM_ABOUTBOX, wide, 64, MF_BYCOMMAND);
        ::GetMenuStringA(menu, IDM_ABOUTBOX, narrow, 64, MF_BYCOMMAND);
        if (row.wideText) {
            EXPECT_EQ(std::wstring(L"Canvasholder \xC815\xBCF4(&A)..."), wide) << row.platform;
        } else {
            EXPECT_STREQ(ansi, narrow) << row.platform;
        }
        ::DestroyMenu(menu);
    }
}

TEST(MainDialog, TheAboutCommandsChangeNothing) {
    OpenDialog dialog;
    HWND window = dialog->GetSafeHwnd();
    for (WPARAM id : {WPARAM{16}, WPARAM{31}}) {
        ::SendMessageA(window, WM_SYSCOMMAND, id, 0);
        PumpUntil([] { return false; }, 100);
        EXPECT_FALSE(dialog->IsEnded()) << id;
        EXPECT_FALSE(dialog->ProgramDir.empty()) << id;
        EXPECT_TRUE(::IsWindowVisible(window)) << id;
    }
}

// What reaches the dialog's window, seen ahead of the dialog's own handling.
WNDPROC dialogProc = nullptr;
std::vector<DWORD> iconErases;  // the object type of each WM_ICONERASEBKGND's device context
LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ICONERASEBKGND && lParam == 0) {
        iconErases.push_back(::GetObjectType(reinterpret_cast<HGDIOBJ>(wParam)));
    }
    return ::CallWindowProcA(dialogProc, window, message, wParam, lParam);
}

// Minimised, the dialog has the background behind its icon erased, with the paint's own device
// context, before it draws the icon.
TEST(MainDialog, MinimisedPaintErasesTheIconBackground) {
    OpenDialog dialog;
    HWND window = dialog->GetSafeHwnd();
    ::ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window));
    iconErases.clear();
    dialogProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Watch)));
    ::InvalidateRect(window, nullptr, TRUE);
    ::SendMessageA(window, WM_PAINT, 0, 0);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProc));
    EXPECT_EQ(std::vector<DWORD>{OBJ_DC}, iconErases);
}

// Every way of closing ends the dialog; all but Esc pass through WM_CLOSE and release
// ProgramDir.
TEST(MainDialog, ClosesThroughWmCloseFromCancelCloseBoxAndMenu) {
    const struct {
        const char* how;
        UINT message;
        WPARAM wParam;
        bool releasesProgramDir;
    } rows[] = {{"Cancel", WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, 0), true},
                {"close box", WM_CLOSE, 0, true},
                {"system menu Close", WM_SYSCOMMAND, SC_CLOSE, true},
                {"Esc", WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), false}};
    for (const auto& row : rows) {
        OpenDialog dialog;
        ::SendMessageA(dialog->GetSafeHwnd(), row.message, row.wParam, 0);
        EXPECT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, 5000)) << row.how;
        EXPECT_EQ(IDCANCEL, dialog->EndResult()) << row.how;
        EXPECT_EQ(row.releasesProgramDir, dialog->ProgramDir.empty()) << row.how;
        EXPECT_TRUE(dialog.prompts.Prompts().empty()) << row.how << ": no worker ever started";
    }
}

// A screen reader follows the keyboard focus: once "Install" disables itself, the focus is on
// the status box, where each step's text is, and it comes back there when the wizard is
// activated again.
TEST(MainDialog, InstallMovesTheFocusToTheStatusBoxAndItStaysThere) {
    testing_support::TempDir medium;
    OpenDialog dialog(medium.Path() + "\\");
    dialog->OsKind = 1;
    HWND window = dialog->GetSafeHwnd();
    HWND statusBox = ::GetDlgItem(window, IDC_STATUS);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    dialog.prompts.onPlay = [&](const std::string&) { ::WaitForSingleObject(release, 10000); };
    ::SetActiveWindow(window);
    ::SetFocus(::GetDlgItem(window, IDC_INSTALL));
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    EXPECT_EQ(statusBox, ::GetFocus());
    EXPECT_TRUE(::IsWindowEnabled(statusBox));
    EXPECT_TRUE(::IsWindowVisible(statusBox));

    HWND other = ::CreateWindowExA(0, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                   50, nullptr, nullptr, nullptr, nullptr);
    ::SetActiveWindow(other);
    EXPECT_NE(statusBox, ::GetFocus());
    ::SetActiveWindow(window);
    EXPECT_EQ(statusBox, ::GetFocus());
    ::DestroyWindow(other);

    ::SetEvent(release);
    ASSERT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, 20000));
    ::CloseHandle(release);
}

TEST(MainDialog, InstallShowsTheStatusBoxAndDisablesTheButtonForGood) {
    testing_support::TempDir medium;
    OpenDialog dialog(medium.Path() + "\\");
    dialog->OsKind = 1;
    HWND window = dialog->GetSafeHwnd();
    // Hold the run at its first prompt, so the state during a run can be looked at.
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    dialog.prompts.onPlay = [&](const std::string&) { ::WaitForSingleObject(release, 10000); };
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    EXPECT_TRUE(dialog.StatusVisible());
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_INSTALL)));
    // A second Install command starts no second run.
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    ::SetEvent(release);
    ASSERT_TRUE(PumpUntil([&] { return dialog->IsEnded(); }, 20000));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_INSTALL)));
    int starts = 0;
    for (const std::string& prompt : dialog.prompts.Prompts())
        starts += prompt == "sound\\start.wav";
    EXPECT_EQ(1, starts);
    ::CloseHandle(release);
}

// A DLL planted in the current folder (the medium's root, as Explorer starts the wizard) is
// loaded no more once the search is restricted. Last of this program: the restriction is for
// the whole process.
TEST(RestrictDllSearchPath, KeepsADllPlantedInTheCurrentFolderFromLoading) {
    testing_support::TempDir current;
    const std::string planted = current / "lumiplanted.dll";
    ASSERT_TRUE(::CopyFileA(LUMI_PLANTED_DLL, planted.c_str(), FALSE));
    testing_support::ScopedCurrentFolder inCurrent(current.Path());
    HMODULE before = ::LoadLibraryA("lumiplanted.dll");
    ASSERT_NE(nullptr, before) << "the current folder is not searched even before";
    ::FreeLibrary(before);

    RestrictDllSearchPath();

    HMODULE after = ::LoadLibraryA("lumiplanted.dll");
    EXPECT_EQ(nullptr, after);
    if (after != nullptr) ::FreeLibrary(after);
}

}  // namespace
