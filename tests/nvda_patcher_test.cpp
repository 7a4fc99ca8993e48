#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/InstallLog.h"
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
        {"2025.3.1", "2019.3", "2025.1", true},
        {"2025.3.1", "2019.3", "2024.4", false},
        {"2026.1.1", "2019.3", "2025.3", false},
        {"2026.1.1", "2019.3", "2026.1", true},
        {"2025.3.1", "2025.3.2", "2026.1", false},
        {"2018.4.1", "0.0", "0.0", true},
        {"2021.1", "2019.3", "2020.4", false},
        {"2026.3beta2", "2019.3", "2026.1", true},
        // A release newer than NVDA's known history: its own year's first release.
        {"2027.2.0", "2019.3", "2026.3", false},
        {"2027.2.0", "2019.3", "2027.1", true},
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

// NVDA's manifests: a byte-order mark, quotes, a description over several lines (whose text must
// not be taken for fields) and sections after the fields.
TEST(NvdaManifest, ReadsTheTopLevelFieldsAsNvdaWritesThem) {
    TempDir folder;
    WriteTextFile(folder / "manifest.ini",
                  "\xEF\xBB\xBFname = lumitactile\r\nversion = \"1.2.3\"\r\n"
                  "description = \"\"\"Line one\r\nline two\r\nversion = 9.9\r\n\"\"\"\r\n"
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

// NVDA's keys in both views (removed before and after), the user's application data folders,
// and the wizard opened on a medium with the display's add-on, version 1.0.0.
TEST(NvdaInstall, PlacesTheAddonPendingOnlyWhereNvdaWouldLoadItAndNeverOverANewerOne) {
    enum Key { kNoKey, kGoneFolder, k32Bit, k64Bit, k64BitLocalConfig };
    const struct {
        const char* label;
        Key key;
        const char* nvda;        // DisplayVersion
        const char* lastTested;  // the medium's
        const char* installed;   // version in addons\lumitactile; nullptr: none
        const char* pending;     // version in addons\lumitactile.pendingInstall; nullptr: none
        bool holdMediumDriver;   // the copy fails partway
        const char* text;        // nullptr: nothing told
        bool placed;             // the medium's add-on is pending afterwards
        bool inPlace = false;    // or, for an NVDA that finishes no pending folder, in place
    } rows[] = {
        {"no NVDA", kNoKey, "2025.3.1", "2026.1", nullptr, nullptr, false, nullptr, false},
        {"uninstalled", kGoneFolder, "2025.3.1", "2026.1", nullptr, nullptr, false, nullptr, false},
        {"32-bit", k32Bit, "2025.3.1", "2026.1", nullptr, nullptr, false, kSuccessText, true},
        {"64-bit, local", k64BitLocalConfig, "2026.1.1", "2026.1", nullptr, nullptr, false,
         kSuccessText, true},
        {"blocked", k64Bit, "2026.1.1", "2025.1", nullptr, nullptr, false, kNotCompatibleText,
         false},
        {"no version", k32Bit, "", "2026.1", nullptr, nullptr, false, kFailedText, false},
        {"newer there", k32Bit, "2025.3.1", "2026.1", "1.2.0", nullptr, false, kSuccessText, false},
        {"newer pending", k32Bit, "2025.3.1", "2026.1", nullptr, "1.0.1", false, kSuccessText,
         false},
        // NVDA renames the pending folder over no older one: the older one goes aside.
        {"older there", k32Bit, "2025.3.1", "2026.1", "0.9", nullptr, false, kSuccessText, true},
        {"rerun", k32Bit, "2025.3.1", "2026.1", "0.9", "1.0.0", false, kSuccessText, true},
        {"copy fails", k32Bit, "2025.3.1", "2026.1", nullptr, nullptr, true, kFailedText, false},
        {"copy fails, older there", k32Bit, "2025.3.1", "2026.1", "0.9", nullptr, true, kFailedText,
         false},
        {"2021.3", k32Bit, "2021.3.5", "2026.1", nullptr, nullptr, false, kSuccessText, true, true},
    };
    const char* const uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NVDA";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScopedMachineKey key32(uninstall, kView32Bit);
        ScopedMachineKey key64(uninstall, kView64Bit);
        ScopedMachineKey settings64("Software\\NVDA", kView64Bit);
        TempDir roaming, local, programs, medium;
        ScopedEnvironment appData("APPDATA", roaming.Path());
        ScopedEnvironment localAppData("LOCALAPPDATA", local.Path());
        const std::string source = medium / "nvda\\lumitactile";
        MakeFolders(source + "\\brailleDisplayDrivers");
        WriteTextFile(source + "\\manifest.ini", Manifest("1.0.0", row.lastTested));
        WriteTextFile(source + "\\brailleDisplayDrivers\\lumitactile.py", "# driver\r\n");
        // Listed after the manifest (a fresh folder lists its files as they were made).
        WriteTextFile(source + "\\readme.txt", "Sample.\r\n");
        if (row.key != kNoKey) {
            ScopedMachineKey& key = row.key == k32Bit || row.key == kGoneFolder ? key32 : key64;
            if (row.key != kGoneFolder) MakeFolders(programs / "NVDA");
            key.SetString("", "UninstallDirectory", programs / "NVDA");
            key.SetString("", "DisplayVersion", row.nvda);
        }
        if (row.key == k64BitLocalConfig) settings64.SetString("", "configInLocalAppData", "1");
        const std::string addons =
            (row.key == k64BitLocalConfig ? local : roaming) / "nvda\\addons\\";
        const std::string pending = addons + "lumitactile.pendingInstall\\";
        if (row.installed != nullptr) MakeFolders(addons + "lumitactile");
        if (row.installed != nullptr)
            WriteTextFile(addons + "lumitactile\\manifest.ini", Manifest(row.installed));
        if (row.pending != nullptr) MakeFolders(pending);
        if (row.pending != nullptr) WriteTextFile(pending + "manifest.ini", Manifest(row.pending));
        UniqueFile held;
        if (row.holdMediumDriver) {
            held.Reset(::CreateFileA((source + "\\brailleDisplayDrivers\\lumitactile.py").c_str(),
                                     GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        }
        OpenDialog dialog(medium.Path() + "\\");

        EXPECT_EQ(row.key >= k32Bit ? 1 : 0, dialog->nvdaPatcher.Install(dialog.get()));
        std::vector<std::string> told;
        for (const auto& entry : dialog.prompts.Entries()) {
            told.push_back(entry.statusText + " | " + entry.prompt);
        }
        const std::string prompt = row.text == kSuccessText  ? Prompt::kNvdaSuccess
                                   : row.text == kFailedText ? Prompt::kNvdaFailed
                                                             : Prompt::kNvdaNotCompatible;
        EXPECT_EQ(row.text == nullptr ? std::vector<std::string>{}
                                      : std::vector<std::string>{row.text + (" | " + prompt)},
                  told);
        EXPECT_EQ(row.text != nullptr && row.text != kSuccessText, dialog->FailureTold());
        const std::string placedIn = row.inPlace ? addons + "lumitactile\\" : pending;
        EXPECT_EQ(row.placed, ReadTextFile(placedIn + "manifest.ini") == Manifest("1.0.0"));
        EXPECT_EQ(row.placed, FileExists(placedIn + "brailleDisplayDrivers\\lumitactile.py"));
        EXPECT_EQ(row.pending != nullptr || (row.placed && !row.inPlace), FolderExists(pending));
        if (row.placed) {
            // The manifest is copied last: NVDA takes no folder without one for an add-on.
            const std::string log = ReadTextFile(InstallLog::FilePath());
            const size_t manifest = log.rfind(" to \"" + placedIn + "manifest.ini\"");
            ASSERT_NE(std::string::npos, manifest);
            EXPECT_EQ(std::string::npos, log.find(" to \"" + placedIn, manifest + 1));
        }
        if (row.installed == nullptr) continue;
        EXPECT_EQ(!row.placed, FolderExists(addons + "lumitactile"));
        EXPECT_EQ(row.placed, FolderExists(addons + "lumitactile.replaced.delete"));
    }
}

}  // namespace
