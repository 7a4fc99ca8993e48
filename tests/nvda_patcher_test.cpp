#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/Prompts.h"
#include "patchers/NvdaPatcher.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

const char* const kSuccessText = "The NVDA patch was installed successfully.";
const char* const kFailedText =
    "The NVDA patch installation failed. Please close currently running screen reader and retry "
    "installation.";
const char* const kNotCompatibleText =
    "The NVDA patch was not installed: the NVDA driver on this install medium does not work with "
    "this version of NVDA.";

NvdaVersion Version(const char* text) {
    NvdaVersion version;
    EXPECT_TRUE(ParseNvdaVersion(text, version)) << text;
    return version;
}

// NVDA's rule, with the "backwards compatible to" version of each release from NVDA's history.
TEST(NvdaCompatibility, IsJudgedByNvdasRuleAndEachReleasesBackwardsCompatibleVersion) {
    const struct {
        const char* running;
        const char* minimum;
        const char* lastTested;
        bool compatible;
    } rows[] = {
        {"2025.3.1", "2019.3", "2026.1", true},    {"2025.3.1", "2019.3", "2025.1", true},
        {"2025.3.1", "2019.3", "2024.4", false},   {"2026.1.1", "2019.3", "2025.3", false},
        {"2026.1.1", "2019.3", "2026.1", true},    {"2025.3.1", "2025.3.2", "2026.1", false},
        {"2025.3.1", "2025.3.1", "2026.1", true},  {"2018.4.1", "0.0", "0.0", true},
        {"2020.4", "2019.3", "2019.3", true},      {"2021.1", "2019.3", "2020.4", false},
        {"2026.3beta2", "2019.3", "2026.1", true},
        // A release newer than NVDA's known history: its own year's first release.
        {"2027.2.0", "2019.3", "2026.3", false},   {"2027.2.0", "2019.3", "2027.1", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.compatible, IsAddonCompatible(Version(row.minimum), Version(row.lastTested),
                                                    Version(row.running)))
            << row.running << " / " << row.minimum << " / " << row.lastTested;
    }
    NvdaVersion unread;
    EXPECT_FALSE(ParseNvdaVersion("source-master", unread));
    EXPECT_FALSE(ParseNvdaVersion("2025", unread));
}

TEST(NvdaAddonVersions, CompareNumberByNumber) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } rows[] = {{"1.2.0", "1.10", -1}, {"1.0", "1.0.0", 0}, {"2", "1.9.9", 1}, {"1.0.1", "1.0", 1}};
    for (const auto& row : rows) {
        const int compared = CompareAddonVersions(row.a, row.b);
        EXPECT_EQ(row.sign, (compared > 0) - (compared < 0)) << row.a << " / " << row.b;
    }
}

// NVDA's manifests: a byte-order mark, quotes, a description over several lines (whose text must
// not be taken for fields) and sections after the fields.
TEST(NvdaManifest, ReadsTheTopLevelFieldsAsNvdaWritesThem) {
    TempDir folder;
    WriteTextFile(folder / "manifest.ini",
                  "\xEF\xBB\xBFname = lumitactile\r\nversion = \"1.2.3\"\r\n"
                  "description = \"\"\"Line one\r\nversion = 9.9\r\n\"\"\"\r\n"
                  "minimumNVDAVersion = 2019.3 # oldest\r\nlastTestedNVDAVersion='2026.1'\r\n"
                  "[translations]\r\nname = other\r\n");
    AddonManifest manifest;
    ASSERT_TRUE(ReadAddonManifest(folder / "manifest.ini", manifest));
    EXPECT_EQ("lumitactile", manifest.name);
    EXPECT_EQ("1.2.3", manifest.version);
    EXPECT_EQ("2019.3", manifest.minimumNVDAVersion);
    EXPECT_EQ("2026.1", manifest.lastTestedNVDAVersion);
    EXPECT_FALSE(ReadAddonManifest(folder / "missing.ini", manifest));
}

std::string Manifest(const char* version, const char* lastTested = "2026.1") {
    return std::string("name = lumitactile\r\nversion = ") + version +
           "\r\nminimumNVDAVersion = 2019.3\r\nlastTestedNVDAVersion = " + lastTested + "\r\n";
}

// A machine with NVDA's keys in both views (removed before and after), the user's application
// data folders, and the wizard opened on a medium with the display's add-on.
TEST(NvdaInstall, PlacesTheAddonPendingOnlyWhereNvdaWouldLoadItAndNeverOverANewerOne) {
    enum Key { kNoKey, kGoneFolder, k32Bit, k64Bit, k64BitLocalConfig };
    const struct {
        const char* label;
        Key key;
        const char* nvdaVersion;
        const char* mediumLastTested;
        const char* installed;  // version in addons\lumitactile; nullptr: none
        const char* pending;    // version in addons\lumitactile.pendingInstall; nullptr: none
        bool holdMediumDriver;  // the medium's driver cannot be read
        int result;
        const char* text;  // nullptr: nothing told
        bool placed;       // the medium's add-on is pending afterwards
        bool oldMovedAside;
    } rows[] = {
        {"no NVDA", kNoKey, "2025.3.1", "2026.1", nullptr, nullptr, false, 0, nullptr, false,
         false},
        {"an uninstalled NVDA's key", kGoneFolder, "2025.3.1", "2026.1", nullptr, nullptr, false,
         0, nullptr, false, false},
        {"32-bit NVDA", k32Bit, "2025.3.1", "2026.1", nullptr, nullptr, false, 1, kSuccessText,
         true, false},
        {"64-bit NVDA, local configuration", k64BitLocalConfig, "2026.1.1", "2026.1", nullptr,
         nullptr, false, 1, kSuccessText, true, false},
        {"an add-on NVDA 2026.1 blocks", k64Bit, "2026.1.1", "2025.1", nullptr, nullptr, false, 1,
         kNotCompatibleText, false, false},
        {"an unreadable NVDA version", k32Bit, "", "2026.1", nullptr, nullptr, false, 1,
         kFailedText, false, false},
        {"a newer add-on installed", k32Bit, "2025.3.1", "2026.1", "1.2.0", nullptr, false, 1,
         kSuccessText, false, false},
        {"a newer add-on pending", k32Bit, "2025.3.1", "2026.1", nullptr, "1.0.1", false, 1,
         kSuccessText, false, false},
        {"an older add-on installed", k32Bit, "2025.3.1", "2026.1", "0.9", nullptr, false, 1,
         kSuccessText, true, true},
        {"a rerun: the same version pending", k32Bit, "2025.3.1", "2026.1", "0.9", "1.0.0", false,
         1, kSuccessText, true, true},
        {"a copy that fails partway", k32Bit, "2025.3.1", "2026.1", nullptr, nullptr, true, 1,
         kFailedText, false, false},
    };
    const char* const uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NVDA";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScopedMachineKey key32(uninstall, kView32Bit);
        ScopedMachineKey key64(uninstall, kView64Bit);
        ScopedMachineKey settings64("Software\\NVDA", kView64Bit);
        TempDir roaming;
        TempDir local;
        TempDir programs;
        ScopedEnvironment appData("APPDATA", roaming.Path());
        ScopedEnvironment localAppData("LOCALAPPDATA", local.Path());
        TempDir medium;
        const std::string source = medium / "nvda\\lumitactile";
        MakeFolders(source + "\\brailleDisplayDrivers");
        WriteTextFile(source + "\\manifest.ini", Manifest("1.0.0", row.mediumLastTested));
        WriteTextFile(source + "\\brailleDisplayDrivers\\lumitactile.py", "# driver\r\n");
        if (row.key != kNoKey) {
            ScopedMachineKey& key = row.key == k32Bit || row.key == kGoneFolder ? key32 : key64;
            if (row.key != kGoneFolder) MakeFolders(programs / "NVDA");
            key.SetString("", "UninstallDirectory", programs / "NVDA");
            key.SetString("", "DisplayVersion", row.nvdaVersion);
        }
        if (row.key == k64BitLocalConfig) settings64.SetString("", "configInLocalAppData", "1");
        const std::string config = (row.key == k64BitLocalConfig ? local : roaming) / "nvda";
        const std::string addons = config + "\\addons\\";
        for (const auto& [folder, version] :
             {std::pair<const char*, const char*>{"lumitactile", row.installed},
              std::pair<const char*, const char*>{"lumitactile.pendingInstall", row.pending}}) {
            if (version == nullptr) continue;
            MakeFolders(addons + folder);
            WriteTextFile(addons + folder + "\\manifest.ini", Manifest(version));
        }
        UniqueFile held;
        if (row.holdMediumDriver) {
            held.Reset(::CreateFileA((source + "\\brailleDisplayDrivers\\lumitactile.py").c_str(),
                                     GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsValid());
        }
        OpenDialog dialog(medium.Path() + "\\");

        EXPECT_EQ(row.result, dialog->nvdaPatcher.Install(dialog.get()));
        std::vector<std::string> told;
        for (const auto& entry : dialog.prompts.Entries()) {
            told.push_back(entry.statusText + " | " + entry.prompt);
        }
        const std::string prompt = row.text == kSuccessText ? Prompt::kNvdaSuccess
                                   : row.text == kFailedText ? Prompt::kNvdaFailed
                                                             : Prompt::kNvdaNotCompatible;
        EXPECT_EQ(row.text == nullptr ? std::vector<std::string>{}
                                      : std::vector<std::string>{row.text + (" | " + prompt)},
                  told);
        EXPECT_EQ(row.text != nullptr && row.text != kSuccessText, dialog->FailureTold());
        const std::string pending = addons + "lumitactile.pendingInstall\\";
        EXPECT_EQ(row.placed, ReadTextFile(pending + "manifest.ini") == Manifest("1.0.0"));
        EXPECT_EQ(row.placed, FileExists(pending + "brailleDisplayDrivers\\lumitactile.py"));
        if (row.pending == nullptr && !row.placed) {
            EXPECT_FALSE(FolderExists(pending));
        }
        if (row.installed != nullptr) {
            EXPECT_EQ(!row.oldMovedAside, FolderExists(addons + "lumitactile"));
            EXPECT_EQ(row.oldMovedAside, FolderExists(addons + "lumitactile.replaced.delete"));
        }
    }
}

}  // namespace
