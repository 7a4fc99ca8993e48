#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/InstallLog.h"
#include "install/Prompts.h"
#include "patchers/JawsPatcher.h"
#include "res/resource.h"
#include "tests/support/ImportHook.h"
#include "tests/support/ProfileWriteLog.h"
#include "tests/support/TestSupport.h"
#include "tools/machine/Machine.h"

using namespace testing_support;

namespace {

const char* const kSuccessText = "The JAWS patch was installled successfully.";
const char* const kFailedText =
    "The JAWS patch installation failed. Please close currently running screen reader and retry "
    "installation.";
const char* const kDriver = "display driver, medium edition";
const char* const kDriver64 = "64-bit display driver, medium edition";
const char* const kMediumIni =
    "[Lumitactile]\r\nCells=40\r\n[LumiTac Keys]\r\nBraille Next=NextLine\r\n"
    "Braille Prior=PriorLine\r\n";

std::string Value(const std::string& file, const char* section, const std::string& key) {
    std::vector<char> buffer(1024, 0);
    ::GetPrivateProfileStringA(section, key.c_str(), "", buffer.data(), 1024, file.c_str());
    return buffer.data();
}

int LineCount(const std::string& file, const char* section) {
    std::vector<char> buffer(65536, 0);
    const DWORD length = ::GetPrivateProfileSectionA(section, buffer.data(), 65536, file.c_str());
    int lines = 0;
    for (DWORD i = 0; i < length; ++i) lines += buffer[i] == '\0' ? 1 : 0;
    return lines;
}

// The last index the patcher's searches read: no real braille.ini or jfw.ini comes near it.
constexpr int kLastIndex = 1000;

// A section whose keys prefix + n + suffix, n = 1 to count, all name other displays.
std::string FilledSection(const char* header, const char* prefix, const char* suffix, int count) {
    std::string text = std::string(header) + "\r\n";
    for (int n = 1; n <= count; ++n) {
        text += prefix + std::to_string(n) + suffix + "=Alva " + std::to_string(n) + "\r\n";
    }
    return text;
}

// Sets a value of any type under HKLM, in the 32-bit view, bypassing the terminator SetString
// adds.
void SetRawValue(const std::string& key, DWORD type, const std::string& data) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS | kView32Bit, nullptr, &opened, nullptr));
    ::RegSetValueExA(opened, "Target", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
    ::RegCloseKey(opened);
}

// A machine with the JAWS key in both registry views (removed before and after), a medium
// folder holding the drivers and the display's settings, and the wizard opened on that medium.
// The bench is 64-bit Windows: a version is a 32-bit JAWS unless it is listed in the 64-bit view.
struct JawsMachine {
    JawsMachine() {
        MakeFolders(medium / "jaws\\x64");
        WriteTextFile(medium / "jaws\\Lumitac.jlb", kDriver);
        WriteTextFile(medium / "jaws\\x64\\Lumitac.jlb", kDriver64);
        WriteTextFile(medium / "jaws\\TessilKey.ini", kMediumIni);
        patcher.owner = dialog.get();
    }

    // A JAWS program folder listed in the registry as version, with the settings of one
    // language; returned without a backslash.
    std::string AddVersion(const std::string& version, bool trailingBackslash = false,
                           REGSAM view = kView32Bit) {
        const std::string folder = programs / ("jaws" + version);
        MakeFolders(folder + "\\Settings\\enu");
        WriteTextFile(folder + "\\jfw.exe", "JAWS");
        (view == kView32Bit ? jawsKey : jawsKey64)
            .SetString(version, "Target", trailingBackslash ? folder + "\\" : folder);
        return folder;
    }
    std::string VersionKey(const std::string& version) const { return kJawsKey + version; }

    static constexpr const char* kJawsKey = "Software\\Freedom Scientific\\JAWS\\";
    ScopedMachineKey jawsKey{"Software\\Freedom Scientific\\JAWS", kView32Bit};
    ScopedMachineKey jawsKey64{"Software\\Freedom Scientific\\JAWS", kView64Bit};
    TempDir medium;
    TempDir programs;
    OpenDialog dialog{medium.Path() + "\\"};
    JawsPatcher& patcher = dialog->jawsPatcher;
};

// The display's keys in the key map of a version made by AddVersion.
bool HasKeys(const std::string& folder) {
    return Value(folder + "\\Settings\\enu\\default.JKM", "LumiTac Keys", "Braille Next") ==
           "NextLine";
}

bool IsPatched(const std::string& folder) {
    return FileExists(folder + "\\LumiTac.jlb") && FileExists(folder + "\\braille.ini") &&
           FileExists(folder + "\\jfw.ini") && HasKeys(folder);
}

TEST(JawsCollectVersions, ListsReadableNamesInRegistryOrder) {
    const std::string overLong(120, 'x');
    struct Row {
        const char* name;
        bool createKey;
        std::vector<std::string> subkeys;  // in creation order
        int expectedResult;
        std::vector<std::string> expected;
    } rows[] = {
        {"no JAWS key", false, {}, 0, {}},
        {"JAWS key without versions", true, {}, 0, {}},
        {"only an over-long name", true, {overLong}, 0, {}},
        {"over-long name skipped, others kept",
         true,
         {"5.0", overLong, "4.51"},
         1,
         {"4.51", "5.0"}},
        // The registry's order, neither creation order nor a numeric sort.
        {"order kept", true, {"9.0", "10.0", "4.51"}, 1, {"10.0", "4.51", "9.0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        if (row.createKey) machine.jawsKey.CreateSubkey("");
        for (const std::string& name : row.subkeys) machine.jawsKey.CreateSubkey(name);
        std::vector<JawsVersion> versions;
        EXPECT_EQ(row.expectedResult, machine.patcher.CollectVersions(versions));
        std::vector<std::string> names;
        for (const JawsVersion& version : versions) names.push_back(version.name);
        EXPECT_EQ(row.expected, names);
    }
}

enum class Kind {
    kGood,
    kNoTarget,
    kEmptyTarget,
    kFullBuffer,
    kTooLong,
    kNumber,
    kNoFolder,        // left behind by an uninstall: Target names a folder that is gone
    kJfwHeld,         // jfw.ini held open by a running JAWS: no write can reach it
    kBrailleHeld,     // the same for braille.ini
    kPresentHeld,     // both files already hold the display, and are held for reading only
    kSectionRefused,  // braille.ini lists the display but lacks its section, and is held
    kKeyMapRefused,   // the only key map is held by a running JAWS
    kReadOnlyKeys,    // good, but the user may only read its key and the JAWS key
    kListFull,        // braille.ini's list has no gap up to the last index searched
    kNoProgram,       // left behind by an uninstall: the folder holds settings but no jfw.exe
    kExpandTarget,    // good, its Target stored for expansion (REG_EXPAND_SZ)
};

// An INI file opened the way a running screen reader keeps it: others may read it when
// sharing allows, and nobody may write it.
UniqueFile Hold(const std::string& file, DWORD sharing) {
    UniqueFile held(::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(held.IsValid()) << file;
    return held;
}

TEST(JawsInstall, SkipsUnreadableVersionsAndReportsOnce) {
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, Kind>> versions;
        int expectedResult;
        const char* expectedText;  // nullptr: nothing reported
        const char* expectedPrompt;
    } rows[] = {
        {"unreadable versions between good ones",
         {{"1.0", Kind::kGood},
          {"2.0", Kind::kNoTarget},
          {"3.0", Kind::kEmptyTarget},
          {"4.0", Kind::kFullBuffer},
          {"5.0", Kind::kTooLong},
          {"6.0", Kind::kNumber},
          {"7.0", Kind::kGood},
          {"8.0", Kind::kExpandTarget},
          {"9.0", Kind::kNoProgram}},
         1,
         kSuccessText,
         Prompt::kJawsSuccess},
        {"no version readable",
         {{"2.0", Kind::kNoTarget}, {"4.0", Kind::kFullBuffer}},
         0,
         nullptr,
         nullptr},
        // Nothing can be done for them, so they are no failure.
        {"a version whose folder is gone is skipped",
         {{"1.0", Kind::kNoFolder}, {"2.0", Kind::kGood}},
         1,
         kSuccessText,
         Prompt::kJawsSuccess},
        {"only versions whose folder is gone", {{"1.0", Kind::kNoFolder}}, 0, nullptr, nullptr},
        // Without its INI entries a version cannot use the display either.
        {"jfw.ini of one version held by JAWS",
         {{"1.0", Kind::kGood}, {"2.0", Kind::kJfwHeld}},
         1,
         kFailedText,
         Prompt::kJawsFailed},
        {"braille.ini held by JAWS",
         {{"1.0", Kind::kBrailleHeld}},
         1,
         kFailedText,
         Prompt::kJawsFailed},
        {"entries already there need no write",
         {{"1.0", Kind::kPresentHeld}},
         1,
         kSuccessText,
         Prompt::kJawsSuccess},
        {"the display's section refused by braille.ini",
         {{"1.0", Kind::kSectionRefused}},
         1,
         kFailedText,
         Prompt::kJawsFailed},
        // The display works, but none of its keys would (from 5.0 on default.JKM is the only
        // key map).
        {"the key map refused",
         {{"1.0", Kind::kGood}, {"11.0", Kind::kKeyMapRefused}},
         1,
         kFailedText,
         Prompt::kJawsFailed},
        {"no free braille.ini item",
         {{"1.0", Kind::kListFull}},
         1,
         kFailedText,
         Prompt::kJawsFailed},
        // A user without administrator rights on Windows NT 4 to XP.
        {"keys that may only be read",
         {{"1.0", Kind::kReadOnlyKeys}},
         1,
         kSuccessText,
         Prompt::kJawsSuccess},
    };
    // Run from a folder on the prefix's drive, where a path built from an empty Target (the
    // root of the current drive) would lead.
    TempDir current;
    ScopedCurrentFolder inCurrent(current.Path());
    const std::string driveRoot = current.Path().substr(0, 2) + "\\";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        ScopedEnvironment programs("LUMI_JAWS_PROGRAMS", machine.programs.Path());
        std::vector<std::string> good;
        std::vector<std::string> untouched;
        std::vector<std::string> keyed;  // the INI entries may fail, the keys must not
        std::vector<UniqueFile> held;
        std::vector<std::unique_ptr<ScopedReadOnlyKey>> readOnly;
        for (const auto& version : row.versions) {
            const std::string key = machine.VersionKey(version.first);
            switch (version.second) {
                case Kind::kGood:
                    good.push_back(machine.AddVersion(version.first));
                    break;
                case Kind::kNoTarget:
                    machine.jawsKey.CreateSubkey(version.first);
                    break;
                case Kind::kEmptyTarget:
                    SetRawValue(key, REG_SZ, std::string(1, '\0'));
                    break;
                case Kind::kFullBuffer:
                    SetRawValue(key, REG_SZ, std::string(1024, 'C'));
                    break;
                case Kind::kTooLong:
                    SetRawValue(key, REG_SZ, std::string(2000, 'C') + '\0');
                    break;
                case Kind::kNumber:
                    SetRawValue(key, REG_DWORD, std::string(4, '\x43'));
                    break;
                case Kind::kNoProgram:
                    untouched.push_back(machine.AddVersion(version.first));
                    WriteTextFile(untouched.back() + "\\jfw.ini", "[Options]\r\n");
                    ::DeleteFileA((untouched.back() + "\\jfw.exe").c_str());
                    break;
                case Kind::kExpandTarget:
                    good.push_back(machine.AddVersion(version.first));
                    machine.jawsKey.SetString(
                        version.first, "Target",
                        std::string("%LUMI_JAWS_PROGRAMS%\\jaws") + version.first, REG_EXPAND_SZ);
                    break;
                case Kind::kNoFolder:
                    machine.jawsKey.SetString(version.first, "Target",
                                              machine.programs / "missing");
                    break;
                case Kind::kJfwHeld:
                    keyed.push_back(machine.AddVersion(version.first));
                    held.push_back(Hold(keyed.back() + "\\jfw.ini", 0));
                    break;
                case Kind::kBrailleHeld:
                    keyed.push_back(machine.AddVersion(version.first));
                    held.push_back(Hold(keyed.back() + "\\braille.ini", 0));
                    break;
                case Kind::kSectionRefused:
                    keyed.push_back(machine.AddVersion(version.first));
                    WriteTextFile(keyed.back() + "\\braille.ini",
                                  "[list]\r\nItem1=Lumitactile\r\n");
                    held.push_back(Hold(keyed.back() + "\\braille.ini", FILE_SHARE_READ));
                    break;
                case Kind::kKeyMapRefused: {
                    const std::string map =
                        machine.AddVersion(version.first) + "\\Settings\\enu\\default.JKM";
                    WriteTextFile(map, "[LumiTac Keys]\r\nBraille Next=OldDisplayLine\r\n");
                    held.push_back(Hold(map, 0));
                    break;
                }
                case Kind::kReadOnlyKeys:
                    good.push_back(machine.AddVersion(version.first));
                    readOnly.push_back(std::make_unique<ScopedReadOnlyKey>(key, kView32Bit));
                    readOnly.push_back(std::make_unique<ScopedReadOnlyKey>(
                        "Software\\Freedom Scientific\\JAWS", kView32Bit));
                    break;
                case Kind::kListFull:
                    WriteTextFile(machine.AddVersion(version.first) + "\\braille.ini",
                                  FilledSection("[list]", "Item", "", kLastIndex));
                    break;
                case Kind::kPresentHeld: {
                    const std::string folder = machine.AddVersion(version.first);
                    WriteTextFile(folder + "\\braille.ini",
                                  "[list]\r\nItem1=Lumitactile\r\n[Lumitactile]\r\nCells=40\r\n");
                    WriteTextFile(folder + "\\jfw.ini",
                                  "[BrailleDisplays]\r\nBraille1Name=LumiTac\r\n"
                                  "Braille1LongName=Lumitactile\r\nBraille1Driver=LumiTac\r\n"
                                  "Braille1Port=USB\r\n");
                    held.push_back(Hold(folder + "\\braille.ini", FILE_SHARE_READ));
                    held.push_back(Hold(folder + "\\jfw.ini", FILE_SHARE_READ));
                    break;
                }
            }
        }
        EXPECT_EQ(row.expectedResult, machine.patcher.Install(machine.dialog.get()));
        held.clear();
        for (const std::string& folder : good) EXPECT_TRUE(IsPatched(folder)) << folder;
        for (const std::string& folder : keyed) EXPECT_TRUE(HasKeys(folder)) << folder;
        for (const std::string& folder : untouched) {
            EXPECT_FALSE(FileExists(folder + "\\LumiTac.jlb")) << folder;
        }
        for (const char* name : {"LumiTac.jlb", "braille.ini", "jfw.ini"}) {
            EXPECT_FALSE(FileExists(driveRoot + name)) << "written to the root of the drive";
            ::DeleteFileA((driveRoot + name).c_str());
        }
        const std::vector<RecordingPromptPlayer::Entry> played = machine.dialog.prompts.Entries();
        if (row.expectedText == nullptr) {
            EXPECT_TRUE(played.empty());
            EXPECT_EQ("", machine.dialog.StatusText());
        } else {
            ASSERT_EQ(1u, played.size());
            EXPECT_EQ(row.expectedPrompt, played[0].prompt);
            EXPECT_EQ(row.expectedText, played[0].statusText);  // shown before the prompt
            EXPECT_EQ(row.expectedText, machine.dialog.StatusText());
            EXPECT_EQ(row.expectedText != kSuccessText, machine.dialog->FailureTold());
        }
    }
}

TEST(JawsInstall, CopiesTheDriverWhereTheVersionLooksForIt) {
    struct Row {
        const char* name;
        bool brailleFolder;
        bool trailingBackslash;
        bool readOnlyOldDriver;
        bool sourceMissing;
        const char* destination;           // relative to the program folder; nullptr: no copy
        const char* folderName = nullptr;  // the program folder's own name; nullptr: the usual
        UINT codePage = 0;                 // the ANSI code page the row needs; 0: any
    } rows[] = {
        {"program folder", false, false, false, false, "LumiTac.jlb"},
        {"Target ending in a backslash", false, true, false, false, "LumiTac.jlb"},
        {"Drivers\\Braille present", true, false, false, false,
         "Drivers\\Braille\\LumiTac\\LumiTac.jlb"},
        {"read-only old driver replaced", false, false, true, false, "LumiTac.jlb"},
        {"driver missing on the medium", false, false, false, true, nullptr},
        // "j" and a character whose trail byte is the backslash's byte: it does not end in one.
        {"Target ending in a double-byte character", false, false, false, false, "LumiTac.jlb",
         "j\x83\x5C", 932},
    };
    for (const Row& row : rows) {
        if (row.codePage != 0 && row.codePage != ::GetACP()) continue;  // the *_cp932 run has it
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        std::string folder;
        if (row.folderName == nullptr) {
            folder = machine.AddVersion("11.0", row.trailingBackslash);
        } else {
            // Made in one piece: a byte walk would cut the name at its trail byte.
            folder = machine.programs / row.folderName;
            ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
            WriteTextFile(folder + "\\jfw.exe", "JAWS");
            machine.jawsKey.SetString("11.0", "Target", folder);
        }
        if (row.brailleFolder) MakeFolders(folder + "\\Drivers\\Braille");
        if (row.readOnlyOldDriver) {
            WriteTextFile(folder + "\\LumiTac.jlb", "old driver");
            SetReadOnly(folder + "\\LumiTac.jlb");
        }
        if (row.sourceMissing) ::DeleteFileA((machine.medium / "jaws\\Lumitac.jlb").c_str());

        EXPECT_EQ(1, machine.patcher.Install(machine.dialog.get()));
        if (row.destination != nullptr) {
            EXPECT_EQ(kDriver, ReadTextFile(folder + "\\" + row.destination));
            EXPECT_TRUE(FileExists(folder + "\\braille.ini"));
            EXPECT_TRUE(FileExists(folder + "\\jfw.ini"));
            if (row.brailleFolder) {
                EXPECT_FALSE(FileExists(folder + "\\LumiTac.jlb"));
            }
            // Nothing lands beside the folder under a name glued to its own.
            EXPECT_FALSE(FileExists(folder + "LumiTac.jlb"));
            EXPECT_EQ(std::vector<std::string>{Prompt::kJawsSuccess},
                      machine.dialog.prompts.Prompts());
        } else {
            // A version that cannot use the display keeps its settings untouched.
            EXPECT_FALSE(FileExists(folder + "\\LumiTac.jlb"));
            EXPECT_FALSE(FileExists(folder + "\\braille.ini"));
            EXPECT_FALSE(FileExists(folder + "\\jfw.ini"));
            EXPECT_FALSE(FileExists(folder + "\\Settings\\enu\\default.JKM"));
            EXPECT_EQ(std::vector<std::string>{Prompt::kJawsFailed},
                      machine.dialog.prompts.Prompts());
        }
    }
}

// On 64-bit Windows JAWS lists itself in the view of its own bitness, and may list one folder in
// both: each folder is patched once, with the driver its JAWS can load, and a 64-bit JAWS whose
// driver the medium lacks is left untouched and told. 32-bit Windows has one view, opened with no
// view flag, and only 32-bit JAWS.
TEST(JawsInstall, EachFolderGetsTheDriverOfTheViewItIsListedInOnce) {
    struct Listing {
        const char* version;
        REGSAM view;
        const char* folder;  // under the programs folder, as the Target names it
    };
    struct Row {
        const char* label;
        bool windows64;
        std::vector<Listing> listings;
        bool driver64OnMedium;
        std::vector<std::pair<const char*, const char*>> drivers;  // folder, driver; nullptr: none
        const char* text;
        const char* prompt;
        bool driver32OnMedium = true;
    };
    const char* const noDriver64 =
        "The JAWS patch was not installed: this install medium has no driver for 64-bit JAWS.";
    const Row rows[] = {
        {"64-bit view only",
         true,
         {{"2025", kView64Bit, "a"}},
         true,
         {{"a", kDriver64}},
         kSuccessText,
         Prompt::kJawsSuccess},
        {"32-bit view only",
         true,
         {{"13.0", kView32Bit, "a"}},
         true,
         {{"a", kDriver}},
         kSuccessText,
         Prompt::kJawsSuccess},
        {"both views, one folder written two ways",
         true,
         {{"2025", kView64Bit, "a"}, {"2025", kView32Bit, "A\\"}},
         true,
         {{"a", kDriver64}},
         kSuccessText,
         Prompt::kJawsSuccess},
        {"both views, two folders",
         true,
         {{"2025", kView64Bit, "a"}, {"13.0", kView32Bit, "b"}},
         true,
         {{"a", kDriver64}, {"b", kDriver}},
         kSuccessText,
         Prompt::kJawsSuccess},
        {"no 64-bit driver on the medium",
         true,
         {{"2025", kView64Bit, "a"}, {"2025", kView32Bit, "a"}, {"13.0", kView32Bit, "b"}},
         false,
         {{"a", nullptr}, {"b", kDriver}},
         noDriver64,
         Prompt::kJawsNoDriver64},
        {"32-bit Windows",
         false,
         {{"11.0", 0, "a"}},
         true,
         {{"a", kDriver}},
         kSuccessText,
         Prompt::kJawsSuccess},
        // No retry can mend the missing 64-bit driver: it is told before the other failure.
        {"no driver on the medium",
         true,
         {{"2025", kView64Bit, "a"}, {"13.0", kView32Bit, "b"}},
         false,
         {{"a", nullptr}, {"b", nullptr}},
         noDriver64,
         Prompt::kJawsNoDriver64,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        JawsMachine machine;
        ScopedMachineKey ownView("Software\\Freedom Scientific\\JAWS");
        machine.dialog->windows64 = row.windows64;
        if (!row.driver64OnMedium) {
            ASSERT_TRUE(::DeleteFileA((machine.medium / "jaws\\x64\\Lumitac.jlb").c_str()));
        }
        if (!row.driver32OnMedium) {
            ASSERT_TRUE(::DeleteFileA((machine.medium / "jaws\\Lumitac.jlb").c_str()));
        }
        for (const Listing& listing : row.listings) {
            MakeFolders(machine.programs / (std::string(listing.folder) + "\\Settings\\enu"));
            WriteTextFile(machine.programs / (std::string(listing.folder) + "\\jfw.exe"), "JAWS");
            ScopedMachineKey& key = listing.view == kView64Bit   ? machine.jawsKey64
                                    : listing.view == kView32Bit ? machine.jawsKey
                                                                 : ownView;
            key.SetString(listing.version, "Target", machine.programs / listing.folder);
        }

        EXPECT_EQ(1, machine.patcher.Install(machine.dialog.get()));

        for (const auto& [folder, driver] : row.drivers) {
            SCOPED_TRACE(folder);
            const std::string path = machine.programs / folder;
            if (driver == nullptr) {
                // Nothing at all: no driver it cannot load, no entry for it, no keys.
                EXPECT_FALSE(FileExists(path + "\\LumiTac.jlb"));
                EXPECT_FALSE(FileExists(path + "\\braille.ini"));
                EXPECT_FALSE(FileExists(path + "\\jfw.ini"));
                EXPECT_FALSE(FileExists(path + "\\Settings\\enu\\default.JKM"));
                continue;
            }
            EXPECT_EQ(driver, ReadTextFile(path + "\\LumiTac.jlb"));
            EXPECT_TRUE(IsPatched(path));
            EXPECT_EQ(1, LineCount(path + "\\braille.ini", "list")) << "patched twice";
            EXPECT_EQ(4, LineCount(path + "\\jfw.ini", "BrailleDisplays")) << "patched twice";
        }
        const std::vector<RecordingPromptPlayer::Entry> played = machine.dialog.prompts.Entries();
        ASSERT_EQ(1u, played.size());
        EXPECT_EQ(row.prompt, played[0].prompt);
        EXPECT_EQ(row.text, played[0].statusText);
    }
}

TEST(JawsRegisterInBrailleIni, EntersTheDisplayAtTheFirstGap) {
    struct Row {
        const char* name;
        const char* before;  // nullptr: no braille.ini
        int itemWritten;     // 0: none
        const char* cells;   // the display section's value afterwards
        const char* mediumIni = kMediumIni;
        bool registered = true;  // JAWS can use the display: braille.ini has its section
    } rows[] = {
        // No section, no display for JAWS, though its list names it: a failure.
        {"the medium without the display's section", "[list]\r\nItem1=Alva\r\n", 2, "",
         "[LumiTac Keys]\r\nBraille Next=NextLine\r\n", false},
        {"gap at Item3 though Item4 names the display",
         "[list]\r\nItem1=Alva\r\nItem2=Baum\r\nItem4=Lumitactile\r\n", 3, "40"},
        {"a value beginning with the word", "[list]\r\nItem1=Alva\r\nItem2=Lumitactile 40\r\n", 0,
         "40"},
        {"other letter case", "[list]\r\nItem1=LUMITACTILE\r\n", 2, "40"},
        {"no braille.ini", nullptr, 1, "40"},
        {"display section kept", "[list]\r\nItem1=Lumitactile\r\n[Lumitactile]\r\nCells=80\r\n", 0,
         "80"},
        {"empty display section filled", "[list]\r\nItem1=Alva\r\n[Lumitactile]\r\n", 2, "40"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        const std::string folder = machine.programs / "jaws";
        MakeFolders(folder);
        const std::string file = folder + "\\braille.ini";
        if (row.before != nullptr) WriteTextFile(file, row.before);
        const int itemsBefore = LineCount(file, "list");
        WriteTextFile(machine.medium / "jaws\\TessilKey.ini", row.mediumIni);

        EXPECT_EQ(row.registered, machine.patcher.RegisterInBrailleIni(folder + "\\"));

        EXPECT_EQ(itemsBefore + (row.itemWritten != 0 ? 1 : 0), LineCount(file, "list"));
        if (row.itemWritten != 0) {
            const std::string key = "Item" + std::to_string(row.itemWritten);
            EXPECT_EQ("Lumitactile", Value(file, "list", key));
            EXPECT_NE(std::string::npos, ReadTextFile(file).find(key + "=\"Lumitactile\""));
        }
        EXPECT_EQ(row.cells, Value(file, "Lumitactile", "Cells"));
        if (!row.registered) {
            EXPECT_EQ(std::string::npos, ReadTextFile(file).find("[Lumitactile]"));
        }
    }
}

// A wizard the user has closed, as the patcher sees it.
class ClosedOwner : public RunOwner {
public:
    bool MediumPath(const char*, std::string& path) const override {
        path.clear();
        return false;
    }
    bool IsClosing() const override { return true; }
    void ShowStatus(const char*) override {}
    PromptPlayer& Prompts() override { return prompts; }
    int RunningOsKind() const override { return kOsKindNtBefore6; }
    bool Is64BitWindows() const override { return true; }

private:
    RecordingPromptPlayer prompts;
};

// The searches end at the first missing key, after the last index (where every read so far
// gave a value, as a file held by another program can on Windows 95/98/ME), or when the user
// closes the wizard. Without a free index nothing is written, so no entry lands at a wrong
// index, and the registration counts as failed.
TEST(JawsIndexSearch, EndsAtTheFirstGapAtItsBoundOrOnAClose) {
    struct Row {
        const char* name;
        bool jfw;  // jfw.ini's long names, else braille.ini's list
        int filled;
        bool closing;
        int written;  // the index written; 0: the file is left as it was
    } rows[] = {
        {"braille.ini, gap at the last index", false, kLastIndex - 1, false, kLastIndex},
        {"braille.ini, no gap", false, kLastIndex, false, 0},
        {"braille.ini, closing", false, 3, true, 0},
        {"jfw.ini, gap at the last index", true, kLastIndex - 1, false, kLastIndex},
        {"jfw.ini, no gap", true, kLastIndex, false, 0},
        {"jfw.ini, closing", true, 3, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        const std::string folder = machine.programs / "jaws";
        MakeFolders(folder);
        const std::string file = folder + (row.jfw ? "\\jfw.ini" : "\\braille.ini");
        const char* section = row.jfw ? "BrailleDisplays" : "list";
        const char* prefix = row.jfw ? "Braille" : "Item";
        const char* suffix = row.jfw ? "LongName" : "";
        WriteTextFile(file, FilledSection(row.jfw ? "[BrailleDisplays]" : "[list]", prefix, suffix,
                                          row.filled));
        const std::string before = ReadTextFile(file);
        ClosedOwner closed;
        if (row.closing) machine.patcher.owner = &closed;

        const bool registered = row.jfw ? machine.patcher.RegisterInJfwIni(folder + "\\")
                                        : machine.patcher.RegisterInBrailleIni(folder + "\\");

        EXPECT_EQ(row.written != 0, registered);
        if (row.written == 0) {
            EXPECT_EQ(before, ReadTextFile(file));
            continue;
        }
        EXPECT_EQ("Lumitactile",
                  Value(file, section, prefix + std::to_string(row.written) + suffix));
        EXPECT_EQ(row.filled + (row.jfw ? 4 : 1), LineCount(file, section));
    }
}

std::vector<std::string>* debugLines = nullptr;

LONG CALLBACK RecordDebugLine(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2 &&
        debugLines != nullptr) {
        debugLines->push_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(JawsRegisterInBrailleIni, SendsThePathToTheDebuggerOnEveryCall) {
    JawsMachine machine;
    const std::string folder = machine.programs / "jaws";
    MakeFolders(folder);
    std::vector<std::string> lines;
    debugLines = &lines;
    void* handler = ::AddVectoredExceptionHandler(1, RecordDebugLine);
    EXPECT_TRUE(machine.patcher.RegisterInBrailleIni(folder + "\\"));  // enters the display
    EXPECT_TRUE(machine.patcher.RegisterInBrailleIni(folder + "\\"));  // finds it present
    ::RemoveVectoredExceptionHandler(handler);
    debugLines = nullptr;
    const std::string line = folder + "\\braille.ini\r\n";
    EXPECT_EQ((std::vector<std::string>{line, line}), lines);
}

TEST(JawsRegisterInJfwIni, AddsFourKeysAtTheFirstFreeLongName) {
    const std::string twoDisplays =
        "[BrailleDisplays]\r\nBraille1Name=Alva\r\nBraille1LongName=Alva 640\r\n"
        "Braille2Name=Baum\r\nBraille2LongName=Baum Vario\r\n";
    JawsMachine machine;
    const std::string folder = machine.programs / "jaws";
    MakeFolders(folder);
    const std::string file = folder + "\\jfw.ini";

    WriteTextFile(file, twoDisplays);
    EXPECT_TRUE(machine.patcher.RegisterInJfwIni(folder + "\\"));
    const std::string after = ReadTextFile(file);
    size_t previous = after.find("Braille2LongName");
    for (const char* line : {"Braille3Name=LumiTac", "Braille3LongName=Lumitactile",
                             "Braille3Driver=LumiTac", "Braille3Port=USB"}) {
        const size_t at = after.find(line);
        EXPECT_TRUE(at != std::string::npos && at > previous) << line << " in\n" << after;
        previous = at;
    }

    // Present already: the file stays as it is.
    EXPECT_TRUE(machine.patcher.RegisterInJfwIni(folder + "\\"));
    EXPECT_EQ(after, ReadTextFile(file));
}

// Only the long name decides: an index with a name but no long name is taken, and its name is
// overwritten.
TEST(JawsRegisterInJfwIni, TakesTheFirstIndexWithoutALongName) {
    JawsMachine machine;
    const std::string folder = machine.programs / "jaws";
    MakeFolders(folder);
    const std::string file = folder + "\\jfw.ini";
    WriteTextFile(file, "[BrailleDisplays]\r\nBraille1Name=Alva\r\nBraille2LongName=Baum\r\n");
    EXPECT_TRUE(machine.patcher.RegisterInJfwIni(folder + "\\"));
    EXPECT_EQ("LumiTac", Value(file, "BrailleDisplays", "Braille1Name"));
    EXPECT_EQ("Lumitactile", Value(file, "BrailleDisplays", "Braille1LongName"));
    EXPECT_EQ("LumiTac", Value(file, "BrailleDisplays", "Braille1Driver"));
    EXPECT_EQ("USB", Value(file, "BrailleDisplays", "Braille1Port"));
    EXPECT_EQ("", Value(file, "BrailleDisplays", "Braille3LongName"));
}

// An entry that a cut or partly refused run left with the display's long name is completed where
// it stands, its own keys kept; one that cannot be completed is a failure.
TEST(JawsRegisterInJfwIni, CompletesAnEntryACutRunLeft) {
    const std::string cut = "Braille1Name=LumiTac\r\nBraille1LongName=Lumitactile\r\n";
    const struct {
        std::string entry;
        bool held;    // held by a running JAWS, for reading only
        bool cached;  // writes answered from a cache (Windows 95/98/ME) that never reach the file
        const char* port;  // Braille1Port afterwards; empty: not registered, the file unchanged
    } rows[] = {
        {cut, false, false, "USB"},
        {"Braille1LongName=Lumitactile 40\r\nBraille1Port=\r\n", false, false, "USB"},
        {cut + "Braille1Driver=LumiTac\r\nBraille1Port=USB2\r\n", true, false, "USB2"},
        {cut, true, false, ""},
        {"", false, true, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry);
        JawsMachine machine;
        const std::string file = machine.programs / "jfw.ini";
        WriteTextFile(file, "[BrailleDisplays]\r\n" + row.entry);
        const std::string before = ReadTextFile(file);
        UniqueFile held = row.held ? Hold(file, FILE_SHARE_READ) : UniqueFile();
        ScopedImportHook cache("kernel32.dll", row.cached ? "WritePrivateProfileStringA" : "-",
                               reinterpret_cast<void*>(&StringWriteThatNeverReachesTheFile));

        EXPECT_EQ(*row.port != '\0',
                  machine.patcher.RegisterInJfwIni(machine.programs.Path() + "\\"));

        held.Reset();
        if (*row.port == '\0') {
            EXPECT_EQ(before, ReadTextFile(file));
            continue;
        }
        EXPECT_EQ("LumiTac", Value(file, "BrailleDisplays", "Braille1Driver"));
        EXPECT_EQ(row.port, Value(file, "BrailleDisplays", "Braille1Port"));
        EXPECT_EQ("", Value(file, "BrailleDisplays", "Braille2LongName"));
    }
}

TEST(JawsInstallKeyMaps, WritesTheKeysIntoEverySettingsFolder) {
    std::string longKeys = "[LumiTac Keys]\r\n";
    for (int i = 0; i < 300; ++i) {
        longKeys += "Key" + std::to_string(i) + "=Assignment number " + std::to_string(i) + "\r\n";
    }
    struct Row {
        const char* name;
        const char* version;
        bool profilePath;
        std::string mediumIni;
        const char* oldKeyMap;  // enu\default.JKM before; nullptr: none
        bool written;           // also the result: language folders without the keys are a failure
        bool olderKeyMap;
        const char* lastKey;
        int lines;
        bool emptyProfilePath = false;  // FileFinder.ini names the profile path as ""
    } rows[] = {
        {"5.0, settings in the program folder", "5.0", false, kMediumIni, nullptr, true, false,
         "Braille Prior", 2},
        {"4.51 also writes DefaultTL", "4.51", false, kMediumIni, nullptr, true, true,
         "Braille Prior", 2},
        {"profile path from FileFinder.ini", "11.0", true, kMediumIni, nullptr, true, false,
         "Braille Prior", 2},
        {"old section replaced, other sections kept", "11.0", false, kMediumIni,
         "[LumiTac Keys]\r\nOld=1\r\n[Other]\r\nKept=1\r\n", true, false, "Braille Prior", 2},
        {"no section on the medium writes nothing", "11.0", false, "[Lumitactile]\r\nCells=40\r\n",
         "[LumiTac Keys]\r\nOld=1\r\n", false, false, nullptr, 0},
        {"section longer than 4096 bytes carried whole", "11.0", false, longKeys, nullptr, true,
         false, "Key299", 300},
        {"a name without leading digits counts as 0", "beta", false, kMediumIni, nullptr, true,
         true, "Braille Prior", 2},
        // An empty path would send the key maps to "\Settings\" at the root of the drive.
        {"an empty profile path counts as none", "11.0", false, kMediumIni, nullptr, true, false,
         "Braille Prior", 2, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JawsMachine machine;
        WriteTextFile(machine.medium / "jaws\\TessilKey.ini", row.mediumIni);
        const std::string folder = machine.programs / "jaws";
        const std::string profile = machine.programs / "profile";
        std::string settings = folder + "\\Settings";
        const std::string unused = profile + "\\Settings";
        for (const std::string& base : {folder + "\\Settings", unused}) {
            MakeFolders(base + "\\enu");
            MakeFolders(base + "\\deu");
            MakeFolders(base + "\\.svn");
            WriteTextFile(base + "\\readme.txt", "read me");
        }
        if (row.profilePath) {
            WriteTextFile(folder + "\\FileFinder.ini",
                          "[DefaultUserProfilePaths]\r\nJAWS=" + profile + "\r\n");
            settings = unused;
        }
        if (row.emptyProfilePath) {
            WriteTextFile(folder + "\\FileFinder.ini", "[DefaultUserProfilePaths]\r\nJAWS=\r\n");
        }
        if (row.oldKeyMap != nullptr) WriteTextFile(settings + "\\enu\\default.JKM", row.oldKeyMap);

        EXPECT_EQ(row.written, machine.patcher.InstallKeyMaps(folder + "\\", row.version));

        const std::string other = row.profilePath ? folder + "\\Settings" : unused;
        EXPECT_FALSE(FileExists(other + "\\enu\\default.JKM"));
        EXPECT_FALSE(FileExists(settings + "\\.svn\\default.JKM"));
        EXPECT_EQ("read me", ReadTextFile(settings + "\\readme.txt"));
        if (!row.written) {
            EXPECT_EQ(row.oldKeyMap, ReadTextFile(settings + "\\enu\\default.JKM"));
            EXPECT_FALSE(FileExists(settings + "\\deu\\default.JKM"));
            continue;
        }
        for (const char* language : {"enu", "deu"}) {
            for (const char* name : {"default.JKM", "DefaultTL.jkm"}) {
                const bool expected = name[0] == 'd' || row.olderKeyMap;
                const std::string map = settings + "\\" + language + "\\" + name;
                ASSERT_EQ(expected, FileExists(map)) << map;
                if (!expected) continue;
                EXPECT_EQ(row.lines, LineCount(map, "LumiTac Keys")) << map;
                EXPECT_NE("", Value(map, "LumiTac Keys", row.lastKey)) << map;
            }
        }
        if (row.oldKeyMap != nullptr) {
            EXPECT_EQ("", Value(settings + "\\enu\\default.JKM", "LumiTac Keys", "Old"));
            EXPECT_EQ("1", Value(settings + "\\enu\\default.JKM", "Other", "Kept"));
        }
    }
}

// Windows 95, 98 and ME keep profile writes in a cache and change the file later: there each
// file's writes are put into it before another file is written and before the outcome is told.
// Elsewhere nothing is flushed.
TEST(JawsInstall, PutsEachFilesWritesIntoItBeforeTheNextOnWindows9x) {
    for (const int osKind : {kOsKindWindows9x, kOsKindNtBefore6}) {
        SCOPED_TRACE(osKind == kOsKindWindows9x ? "Windows 98" : "Windows XP");
        JawsMachine machine;
        machine.dialog->OsKind = osKind;
        for (const char* version : {"4.51", "11.0"}) {
            MakeFolders(machine.AddVersion(version) + "\\Settings\\deu");
        }
        ProfileWriteLog log;
        machine.dialog.prompts.onPlay = [&](const std::string& prompt) {
            log.Mark("told " + prompt);
        };

        EXPECT_EQ(1, machine.patcher.Install(machine.dialog.get()));

        EXPECT_EQ(std::vector<std::string>{Prompt::kJawsSuccess}, machine.dialog.prompts.Prompts());
        if (osKind == kOsKindWindows9x) {
            EXPECT_EQ(std::vector<std::string>{}, log.Breaches());
        } else {
            EXPECT_EQ(0, log.Flushes());
        }
    }
}

// Windows 95/98/ME answer a profile write from their cache, before the file changes, and a
// running JAWS may keep the file from ever changing: a key map counts only when the file holds
// the keys, whatever the write said.
TEST(JawsInstallKeyMaps, CountsTheKeysTheFileHoldsNotTheWritesAnswer) {
    JawsMachine machine;
    const std::string folder = machine.AddVersion("11.0");
    ScopedImportHook cache("kernel32.dll", "WritePrivateProfileSectionA",
                           reinterpret_cast<void*>(&SectionWriteThatNeverReachesTheFile));
    ASSERT_TRUE(cache.IsHooked());
    EXPECT_FALSE(machine.patcher.InstallKeyMaps(folder + "\\", "11.0"));
}

TEST(JawsInstall, SecondRunAddsNothingTwice) {
    JawsMachine machine;
    const std::string folder = machine.AddVersion("11.0");
    ASSERT_EQ(1, machine.patcher.Install(machine.dialog.get()));
    const std::string braille = ReadTextFile(folder + "\\braille.ini");
    const std::string jfw = ReadTextFile(folder + "\\jfw.ini");
    ASSERT_EQ(1, machine.patcher.Install(machine.dialog.get()));
    EXPECT_EQ(braille, ReadTextFile(folder + "\\braille.ini"));
    EXPECT_EQ(jfw, ReadTextFile(folder + "\\jfw.ini"));
    EXPECT_EQ(1, LineCount(folder + "\\braille.ini", "list"));
    EXPECT_EQ((std::vector<std::string>{Prompt::kJawsSuccess, Prompt::kJawsSuccess}),
              machine.dialog.prompts.Prompts());
}

// The user closes the wizard while the worker patches: the version in hand is finished, the
// others are left alone and nothing is reported.
TEST(JawsInstall, ClosingStopsBetweenVersions) {
    TempDir logFolder;
    ScopedEnvironment tmp("TMP", logFolder.Path());
    JawsMachine machine;
    std::vector<std::string> folders;
    for (int i = 0; i < 15; ++i) {
        const std::string name = (i < 10 ? "v0" : "v") + std::to_string(i);
        folders.push_back(machine.AddVersion(name));
        // Enough settings folders that a version takes a while to patch.
        for (int language = 0; language < 20; ++language) {
            MakeFolders(folders.back() + "\\Settings\\l" + std::to_string(language));
        }
    }
    HWND window = machine.dialog->GetSafeHwnd();
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return FileExists(folders[0] + "\\LumiTac.jlb"); }, 60000));
    ::SendMessageA(window, WM_CLOSE, 0, 0);  // returns once the worker has ended

    // A close that lands in an index search of the version in hand leaves that INI file
    // unwritten; every version before it is whole.
    size_t touched = 0;
    while (touched < folders.size() && FileExists(folders[touched] + "\\LumiTac.jlb")) ++touched;
    ASSERT_GT(touched, 0u);
    for (size_t i = 0; i < folders.size(); ++i) {
        SCOPED_TRACE(folders[i]);
        if (i >= touched) {
            EXPECT_FALSE(FileExists(folders[i] + "\\LumiTac.jlb")) << "after the version in hand";
            continue;
        }
        if (i + 1 < touched) {
            EXPECT_TRUE(IsPatched(folders[i]));
        }
        EXPECT_TRUE(FileExists(folders[i] + "\\Settings\\l19\\default.JKM"));
    }
    EXPECT_FALSE(FileExists(folders.back() + "\\LumiTac.jlb"));
    for (const std::string& prompt : machine.dialog.prompts.Prompts()) {
        EXPECT_NE(Prompt::kJawsSuccess, prompt);
        EXPECT_NE(Prompt::kJawsFailed, prompt);
        EXPECT_NE(Prompt::kRestart, prompt);
    }
    // The log says where the user closed the wizard, and ends with what the run came to.
    EXPECT_EQ(kExitClosed, machine.dialog->ExitCode());
    machine.dialog.DestroyDialog();
    const std::string log = ReadTextFile(logFolder / "Lumitactile Setup.log");
    EXPECT_NE(std::string::npos, log.find("closed by the user during the JAWS patch")) << log;
    // Where the driver and the key maps were looked for, and what was found there.
    const std::string v0 = "\"" + folders[0];
    for (const std::string& line :
         {"folder " + v0 + "\\Drivers\\Braille\" is not there",
          "[DefaultUserProfilePaths] JAWS in " + v0 + "\\FileFinder.ini\" is not there",
          "language folder " + v0 + "\\Settings\\l19\" found",
          "checked [BrailleDisplays] Braille1 in " + v0 + "\\jfw.ini\": it holds all four keys"}) {
        EXPECT_NE(std::string::npos, log.find(line)) << line;
    }
    const std::string end =
        "the wizard ends, exit code 3 (closed by the user before the verdict)\r\n";
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(end, log.substr(log.size() - end.size()));
}

}  // namespace
