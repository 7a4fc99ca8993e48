#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/Prompts.h"
#include "patchers/WindowEyesPatcher.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tools/machine/Machine.h"

using testing_support::FileExists;
using testing_support::FolderExists;
using testing_support::MakeFolders;
using testing_support::OpenDialog;
using testing_support::ReadTextFile;
using testing_support::ScopedCurrentFolder;
using testing_support::ScopedFolder;
using testing_support::ScopedMachineKey;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

const char* const kKey = "Software\\GW Micro, Inc.\\Window-Eyes\\Professional";
const char* const kPatchedText = "The Window-Eyes patch was installed successfully.";
const char* const kCopyFailedText =
    "The Window-Eyes patch installation failed. Please close currently running screen reader "
    "and retry installation.";
const char* const kNotInstalledText =
    "The Window-Eyes was not installed on your computer. Please check whether the Window-Eyes "
    "is installed on your computer.";

// What each file of the medium holds, so a copy shows where it came from.
const char* const kPre60Program = "pre60 display program";
const char* const kPost55Program = "post55 display program";
const char* const kLibrary = "display driver library";
const char* const kPre60Settings = "[pre60]\r\nDisplay=Lumitactile\r\n";
const char* const kPost55Settings = "[post55]\r\nDisplay=Lumitactile\r\n";

// ---------------------------------------------------------------------------------------------
// The version test, on its own.

struct VersionRow {
    const char* version;
    double number;
    bool pre60;
};

// clang-format off
const VersionRow kVersionRows[] = {
    {"5.5",  5.5,  true},   // the post55 folder's name notwithstanding
    {"5.95", 5.9,  true},   // only three characters count
    {"6.0",  6.0,  false},
    {"6.01", 6.0,  false},
    {"10.0", 10.0, false},
    {"7",    7.0,  false},
    {"",     0.0,  true},
    {"V6.0", 0.0,  true},
    {"6,5",  6.0,  false},  // a comma is no decimal point in the classic locale
};
// clang-format on

void ExpectVersionRows() {
    for (const VersionRow& row : kVersionRows) {
        SCOPED_TRACE(std::string("version \"") + row.version + "\"");
        EXPECT_DOUBLE_EQ(row.number, ClassicVersionNumber(row.version));
        EXPECT_EQ(row.pre60, IsPre60Version(row.version));
    }
}

TEST(WindowEyesVersion, FirstThreeCharactersChooseTheFilesAtSix) {
    ExpectVersionRows();
}

// Puts the process into a locale whose decimal separator is a comma, and back to "C" after.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"German", "de-DE", "de_DE", "French", "fr-FR", "fr_FR"}) {
            if (std::setlocale(LC_ALL, name) != nullptr && std::atof("5,5") == 5.5) {
                active = name;
                return;
            }
        }
        std::setlocale(LC_ALL, "C");
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
    const char* active = nullptr;
};

TEST(WindowEyesVersion, ReadsAFullStopWhateverTheProcessLocale) {
    CommaLocale locale;
    if (locale.active == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is available to this runtime";
    }
    SCOPED_TRACE(std::string("locale ") + locale.active);
    ExpectVersionRows();
}

// ---------------------------------------------------------------------------------------------
// Fixtures for the machine: the Window-Eyes key, its program folder, the two default-user
// folders named by environment variables, and an install medium.

class WindowEyesMachine {
public:
    // The variables in upper case, as the platform sets them; the patcher asks in lower case.
    explicit WindowEyesMachine(bool appDataSet = true, bool allUsersSet = true)
        : appDataVariable("APPDATA", appDataSet ? appData.Path() : std::string()),
          allUsersVariable("ALLUSERSPROFILE", allUsersSet ? allUsers.Path() : std::string()),
          key(kKey, testing_support::kView32Bit),
          dialog(medium.Path() + "\\") {
        MakeFolders(medium / "wineyes\\pre60");
        MakeFolders(medium / "wineyes\\post55");
        WriteTextFile(medium / "wineyes\\pre60\\bdisplay.exe", kPre60Program);
        WriteTextFile(medium / "wineyes\\post55\\bdisplay.exe", kPost55Program);
        WriteTextFile(medium / "wineyes\\Lumitactile.dll", kLibrary);
        WriteTextFile(medium / "wineyes\\pre60\\braille.ini", kPre60Settings);
        WriteTextFile(medium / "wineyes\\post55\\braille.ini", kPost55Settings);

        MakeFolders(program / "users\\default");
        MakeFolders(program / "users.bak\\default");
        MakeFolders(appData / "GW Micro\\Window-Eyes\\users\\default");
        MakeFolders(allUsers / "Application Data\\GW Micro\\Window-Eyes\\users\\default");
    }

    // A Window-Eyes of this version whose "Path" names the program folder; on the bench's 64-bit
    // Windows in the 32-bit view, where the 32-bit Window-Eyes keeps it.
    void Register(const std::string& version) { Register(version, program.Path()); }
    void Register(const std::string& version, const std::string& path) {
        Register(version, path, key);
    }
    static void Register(const std::string& version, const std::string& path,
                         ScopedMachineKey& in) {
        in.SetString("", "Version", version);
        in.SetString("", "Path", path);
    }
    int Install() { return dialog->windowEyesPatcher.Install(dialog.get()); }

    // The braille.ini targets, in the patcher's order.
    std::vector<std::string> SettingsTargets() const {
        return {program / "users.bak\\default\\braille.ini",
                program / "users\\default\\braille.ini",
                appData / "GW Micro\\Window-Eyes\\users\\default\\braille.ini",
                allUsers / "Application Data\\GW Micro\\Window-Eyes\\users\\default\\braille.ini"};
    }

    // Exactly one report: this text, then this prompt; all but success count as a failure told.
    void ExpectReport(const char* text, const char* prompt) {
        const auto entries = dialog.prompts.Entries();
        ASSERT_EQ(1u, entries.size());
        EXPECT_EQ(prompt, entries[0].prompt);
        EXPECT_EQ(text, entries[0].statusText);
        EXPECT_EQ(std::string(prompt) != Prompt::kWindowEyesSuccess, dialog->FailureTold());
    }

    TempDir medium;
    TempDir program;
    TempDir appData;
    TempDir allUsers;
    testing_support::ScopedEnvironment appDataVariable;
    testing_support::ScopedEnvironment allUsersVariable;
    ScopedMachineKey key;
    ScopedMachineKey key64{kKey, testing_support::kView64Bit};
    OpenDialog dialog;
};

// ---------------------------------------------------------------------------------------------
// Finding Window-Eyes.

TEST(WindowEyesRegistry, UnreadableEntriesCountAsNotRegistered) {
    struct Row {
        const char* what;
        void (*prepare)(WindowEyesMachine& machine);
    };
    const Row rows[] = {
        {"no key", [](WindowEyesMachine&) {}},
        {"no Version", [](WindowEyesMachine& m) { m.key.SetString("", "Path", m.program.Path()); }},
        {"no Path", [](WindowEyesMachine& m) { m.key.SetString("", "Version", "6.0"); }},
        {"Version longer than its buffer",
         [](WindowEyesMachine& m) { m.Register(std::string(1024, '6')); }},
        {"Path filling its buffer with no end",
         [](WindowEyesMachine& m) {
             m.key.SetString("", "Version", "6.0");
             const std::string bytes(1024, 'C');
             HKEY key = nullptr;
             ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0,
                             KEY_ALL_ACCESS | testing_support::kView32Bit, &key);
             ::RegSetValueExA(key, "Path", 0, REG_BINARY,
                              reinterpret_cast<const BYTE*>(bytes.data()), 1024);
             ::RegCloseKey(key);
         }},
        // The 32-bit Window-Eyes never keeps its key where 64-bit programs do.
        {"only in the 64-bit view",
         [](WindowEyesMachine& m) {
             WindowEyesMachine::Register("6.0", m.program.Path(), m.key64);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WindowEyesMachine machine;
        row.prepare(machine);
        EXPECT_EQ(0, machine.Install());
        EXPECT_TRUE(machine.dialog.prompts.Entries().empty());
        EXPECT_EQ("", machine.dialog.StatusText());
        EXPECT_FALSE(FileExists(machine.program / "bdisplay.exe"));
    }
}

TEST(WindowEyesRegistry, ReadsValuesThatJustFitAndSetsTheFlagBeforePath) {
    WindowEyesMachine machine;
    WindowEyesPatcher& patcher = machine.dialog->windowEyesPatcher;
    patcher.owner = machine.dialog.get();
    std::string path;
    std::string version;

    // 1023 bytes and the terminating zero fill the buffer exactly.
    const std::string longPath = "C:\\" + std::string(1020, 'w');
    machine.Register("5.7", longPath);
    EXPECT_EQ(1, patcher.ReadVersionAndPath(path, version));
    EXPECT_EQ(longPath, path);
    EXPECT_EQ("5.7", version);
    EXPECT_EQ(1u, patcher.isPre60);

    // Read as soon as Version is, also when Path then fails.
    machine::RemoveKey(HKEY_LOCAL_MACHINE, kKey, testing_support::kView32Bit);
    ASSERT_FALSE(machine::KeyExists(HKEY_LOCAL_MACHINE, kKey, testing_support::kView32Bit));
    machine.key.SetString("", "Version", "6.2");
    EXPECT_EQ(0, patcher.ReadVersionAndPath(path, version));
    EXPECT_EQ(0u, patcher.isPre60);
}

// ---------------------------------------------------------------------------------------------
// Patching.

TEST(WindowEyesPatch, CopiesTheFilesOfItsVersionEverywhere) {
    struct Row {
        const char* version;
        const char* pathEnd;  // appended to the folder in "Path"
        const char* program;
        const char* settings;
        bool readOnlyKey = false;  // a user without administrator rights on NT 4 to XP
        bool windows64 = true;     // else 32-bit Windows: one view, opened with no view flag
        bool expand = false;       // "Path" stored as REG_EXPAND_SZ "%ProgramFiles%" + pathEnd
    };
    const Row rows[] = {{"5.9", "", kPre60Program, kPre60Settings},
                        {"6.0", "", kPost55Program, kPost55Settings},
                        // A Path written with a closing backslash names the same folder.
                        {"6.0", "\\", kPost55Program, kPost55Settings},
                        {"6.0", "", kPost55Program, kPost55Settings, true},
                        {"6.0", "", kPost55Program, kPost55Settings, false, false},
                        // Expanded as Window-Eyes, a 32-bit program, expands it.
                        {"6.0", "\\", kPost55Program, kPost55Settings, false, true, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("version ") + row.version + ", Path ending \"" + row.pathEnd +
                     "\"" + (row.readOnlyKey ? ", key readable only" : "") +
                     (row.windows64 ? "" : ", 32-bit Windows") +
                     (row.expand ? ", stored for expansion" : ""));
        WindowEyesMachine machine;
        machine.dialog->windows64 = row.windows64;
        // The bench's own view is the only one a program on 32-bit Windows could see.
        ScopedMachineKey& key = row.windows64 ? machine.key : machine.key64;
        WindowEyesMachine::Register(row.version, machine.program.Path() + row.pathEnd, key);
        const std::string program = machine.program.Path();
        testing_support::ScopedEnvironment x86("ProgramFiles(x86)", program);
        testing_support::ScopedEnvironment plain("ProgramFiles", program + "\\nowhere");
        if (row.expand) {
            key.SetString("", "Path", std::string("%ProgramFiles%") + row.pathEnd, REG_EXPAND_SZ);
        }
        std::unique_ptr<testing_support::ScopedReadOnlyKey> readOnly;
        if (row.readOnlyKey) {
            readOnly = std::make_unique<testing_support::ScopedReadOnlyKey>(kKey, key.View());
        }
        EXPECT_EQ(1, machine.Install());
        machine.ExpectReport(kPatchedText, Prompt::kWindowEyesSuccess);
        EXPECT_EQ(row.program, ReadTextFile(machine.program / "bdisplay.exe"));
        EXPECT_EQ(kLibrary, ReadTextFile(machine.program / "Lumitactile.dll"));
        for (const std::string& target : machine.SettingsTargets()) {
            EXPECT_EQ(row.settings, ReadTextFile(target)) << target;
        }
    }
}

TEST(WindowEyesPatch, MissingOrReadOnlySettingsPlacesDoNotSpoilTheResult) {
    WindowEyesMachine machine;
    machine.Register("6.0");
    testing_support::RemoveTree(machine.program / "users.bak");
    const std::string readOnly[] = {machine.program / "users\\default\\braille.ini",
                                    machine.SettingsTargets()[2]};
    for (const std::string& target : readOnly) {
        WriteTextFile(target, "[old]\r\n");
        testing_support::SetReadOnly(target);
    }

    EXPECT_EQ(1, machine.Install());
    machine.ExpectReport(kPatchedText, Prompt::kWindowEyesSuccess);
    EXPECT_FALSE(FolderExists(machine.program / "users.bak"));  // no folder is made for it
    for (const std::string& target : readOnly) {
        EXPECT_EQ(kPost55Settings, ReadTextFile(target)) << target;
    }
}

// An unset variable gives no place to write; the braille settings must not end up under the
// root of the current drive, and the other places and the result are unaffected.
TEST(WindowEyesPatch, UnsetEnvironmentVariableSkipsOnlyItsPlace) {
    struct Row {
        bool appDataSet;
        bool allUsersSet;
    };
    for (const Row& row : {Row{true, false}, Row{false, true}}) {
        SCOPED_TRACE(row.appDataSet ? "ALLUSERSPROFILE unset" : "APPDATA unset");
        WindowEyesMachine machine(row.appDataSet, row.allUsersSet);
        machine.Register("5.5");
        // Root-relative paths resolve on the drive of the current folder: make it the prefix's
        // drive, and give both misplaced targets a folder there so a wrong copy would land.
        ScopedCurrentFolder current(machine.medium.Path());
        const std::string drive = machine.medium.Path().substr(0, 2);
        ScopedFolder rootAppData(drive + "\\GW Micro");
        ScopedFolder rootAllUsers(drive + "\\Application Data");
        MakeFolders(rootAppData.Path() + "\\Window-Eyes\\users\\default");
        MakeFolders(rootAllUsers.Path() + "\\GW Micro\\Window-Eyes\\users\\default");

        EXPECT_EQ(1, machine.Install());

        machine.ExpectReport(kPatchedText, Prompt::kWindowEyesSuccess);
        const std::vector<std::string> targets = machine.SettingsTargets();
        EXPECT_EQ(kPre60Settings, ReadTextFile(targets[0]));
        EXPECT_EQ(kPre60Settings, ReadTextFile(targets[1]));
        // The variables are found under the lower-case names the patcher asks for.
        EXPECT_EQ(row.appDataSet ? kPre60Settings : "", ReadTextFile(targets[2]));
        EXPECT_EQ(row.allUsersSet ? kPre60Settings : "", ReadTextFile(targets[3]));
        EXPECT_FALSE(FileExists(rootAppData.Path() + "\\Window-Eyes\\users\\default\\braille.ini"));
        EXPECT_FALSE(FileExists(rootAllUsers.Path() +
                                "\\GW Micro\\Window-Eyes\\users\\default\\braille.ini"));
    }
}

// With braille.ini in none of its places the display program finds no settings for the
// display: that is a failure, and it is told as one.
TEST(WindowEyesPatch, NoPlaceReceivingTheSettingsIsAFailure) {
    struct Row {
        const char* what;
        bool mediumHasSettings;
        bool placesExist;
    };
    const Row rows[] = {{"the medium without braille.ini", false, true},
                        {"none of the four places there", true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WindowEyesMachine machine(row.placesExist, row.placesExist);
        machine.Register("6.0");
        if (!row.mediumHasSettings) {
            ASSERT_TRUE(::DeleteFileA((machine.medium / "wineyes\\post55\\braille.ini").c_str()));
        }
        if (!row.placesExist) {
            testing_support::RemoveTree(machine.program / "users");
            testing_support::RemoveTree(machine.program / "users.bak");
        }

        EXPECT_EQ(1, machine.Install());

        machine.ExpectReport(kCopyFailedText, Prompt::kWindowEyesFailed);
        EXPECT_EQ(kPost55Program, ReadTextFile(machine.program / "bdisplay.exe"));
        for (const std::string& target : machine.SettingsTargets()) {
            EXPECT_FALSE(FileExists(target)) << target;
        }
    }
}

// Window-Eyes running holds its files: the patch stops at the first file that cannot be
// written, reports the failure, and leaves what was already there.
TEST(WindowEyesPatch, FileHeldOpenEndsThePatchWithFailure) {
    struct Row {
        const char* heldFile;
        const char* programAfter;  // bdisplay.exe once the patch has given up
    };
    const Row rows[] = {{"bdisplay.exe", "old display program"},
                        {"Lumitactile.dll", kPre60Program}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.heldFile) + " held open");
        WindowEyesMachine machine;
        machine.Register("5.5");
        WriteTextFile(machine.program / "bdisplay.exe", "old display program");
        WriteTextFile(machine.program / "Lumitactile.dll", "old library");
        const std::string held = machine.program / row.heldFile;
        {
            UniqueHandle holder(
                ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_NE(INVALID_HANDLE_VALUE, holder.Get());
            ASSERT_FALSE(::CopyFileA((machine.medium / "wineyes\\Lumitactile.dll").c_str(),
                                     held.c_str(), FALSE))
                << "this platform lets a file that another holder opened unshared be replaced";

            EXPECT_EQ(1, machine.Install());
        }
        machine.ExpectReport(kCopyFailedText, Prompt::kWindowEyesFailed);
        EXPECT_EQ(row.programAfter, ReadTextFile(machine.program / "bdisplay.exe"));
        EXPECT_EQ("old library", ReadTextFile(machine.program / "Lumitactile.dll"));
        for (const std::string& target : machine.SettingsTargets()) {
            EXPECT_FALSE(FileExists(target)) << target;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Registered but gone.

TEST(WindowEyesNotInstalled, DeletedFolderIsToldAndCountsAsFound) {
    for (const bool plainFile : {false, true}) {
        SCOPED_TRACE(plainFile ? "Path names a plain file" : "Path folder deleted");
        WindowEyesMachine machine;
        const std::string gone = machine.program / "Window-Eyes";
        if (plainFile) WriteTextFile(gone, "not a folder");
        machine.Register("6.0", gone);
        EXPECT_EQ(1, machine.Install());
        machine.ExpectReport(kNotInstalledText, Prompt::kWindowEyesNotInstalled);
        EXPECT_FALSE(FileExists(gone + "\\bdisplay.exe"));
    }
}

TEST(WindowEyesNotInstalled, WholeRunCountsWindowEyesInTheVerdict) {
    WindowEyesMachine machine;
    machine.Register("6.0", machine.program / "deleted");
    ::SendMessageA(machine.dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return machine.dialog->IsEnded(); }, 60000));

    const std::vector<std::string> prompts = machine.dialog.prompts.Prompts();
    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(Prompt::kRestart, prompts.back());
    bool toldNotInstalled = false;
    for (const std::string& prompt : prompts) {
        if (prompt == Prompt::kWindowEyesNotInstalled) toldNotInstalled = true;
        EXPECT_NE(Prompt::kNoScreenReader, prompt);
    }
    EXPECT_TRUE(toldNotInstalled);
}

}  // namespace
