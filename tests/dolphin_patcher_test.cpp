#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "install/Prompts.h"
#include "patchers/DolphinPatcher.h"
#include "tests/support/DolphinFixtures.h"
#include "tests/support/ProfileWriteLog.h"
#include "tests/support/TestSupport.h"
#include "tools/machine/Machine.h"

using testing_support::DolphinMachine;
using testing_support::FileExists;
using testing_support::FolderExists;
using testing_support::kView32Bit;
using testing_support::kView64Bit;
using testing_support::MakeFolders;
using testing_support::OpenDialog;
using testing_support::ReadTextFile;
using testing_support::SectionLines;
using testing_support::SupernovaMedium;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

const char* const kFailedText =
    "The Supernova patch installation failed. Please close currently running screen reader and "
    "retry installation.";
const char* const kSupernovaText = "The Supernova patch was installed successfully.";

const std::vector<std::string> kMediumLines(std::begin(SupernovaMedium::kSectionLines),
                                            std::end(SupernovaMedium::kSectionLines));

// A Dolphin folder, a complete medium and the wizard pointed at that medium. The machine is
// seeded by each test.
struct Bench {
    DolphinMachine machine;
    TempDir medium;
    std::unique_ptr<OpenDialog> dialog;

    Bench() {
        SupernovaMedium::Write(medium.Path());
        dialog.reset(new OpenDialog(medium.Path() + "\\"));
    }
    int Install() { return (*dialog)->dolphinPatcher.Install(dialog->get()); }
    // Each report as "text | prompt".
    std::vector<std::string> Reports() const {
        std::vector<std::string> reports;
        for (const auto& entry : dialog->prompts.Entries()) {
            reports.push_back(entry.statusText + " | " + entry.prompt);
        }
        return reports;
    }
    std::string In(const std::string& reader, const std::string& relative) const {
        return machine / (reader + "\\" + relative);
    }
    // A reader folder counts as patched when its braille.ini has the medium's section.
    bool Patched(const std::string& reader) const {
        return SectionLines(In(reader, "defaults\\braille.ini"), "QTL1") == kMediumLines;
    }
};

std::string Report(const char* text, const char* prompt) {
    return std::string(text) + " | " + prompt;
}

const char* const kHal = "Hal";
const char* const kSupernova = "Supernova Snova 13";

// Each reader is told only what was done for it: a reader whose folder is there but whose
// braille.ini did not take the section makes the patch a failure, and SAM alone drives no
// screen reader.
TEST(DolphinInstall, OutcomeByWhatTheMachineAndMediumHold) {
    enum Sam { kNoSam, kSamIsFile, kSam };
    struct Row {
        const char* label;
        Sam sam;
        std::vector<std::string> readers;  // reader folders on the machine
        const char* missingOnMedium;       // nullptr: the medium is complete
        const char* heldBy;  // a reader that holds its braille.ini open, as when running
        bool driverFolderIsFile;
        int result;
        std::vector<std::string> reports;
        size_t driverFilesCopied;          // in copy order; the first failure ends the copy
        std::vector<std::string> patched;  // readers whose braille.ini has the section
        bool backupsReplaced;              // QTL1.bk1 placed and QTL1.bk0 gone, else the .bk0 kept
        // Reader folders an uninstall left behind: their Settings alone.
        std::vector<std::string> leftovers = {};
        bool readOnlyOldBackups = false;  // each QTL1.bk0 read-only, as placed from a CD
    };
    const std::vector<std::string> both = {kHal, kSupernova};
    const std::string failed = Report(kFailedText, Prompt::kSupernovaNotCopied);
    const std::string supernova = Report(kSupernovaText, Prompt::kSupernovaSuccess);
    const Row rows[] = {
        {"no Sam folder", kNoSam, both, nullptr, nullptr, false, 0, {}, 0, {}, false},
        {"Sam is a plain file", kSamIsFile, both, nullptr, nullptr, false, 0, {}, 0, {}, false},
        {"LumiTac.sdi missing on the medium",
         kSam,
         both,
         "LumiTac.sdi",
         nullptr,
         false,
         1,
         {failed},
         1,
         {},
         false},
        {"display driver folder cannot be made",
         kSam,
         both,
         nullptr,
         nullptr,
         true,
         1,
         {failed},
         0,
         {},
         false},
        {"complete", kSam, both, nullptr, nullptr, false, 1, {supernova}, 4, both, true},
        // The old settings stay where the new ones could not be placed.
        {"QTL1.bk1 missing on the medium",
         kSam,
         both,
         "QTL1.bk1",
         nullptr,
         false,
         1,
         {supernova},
         4,
         both,
         false},
        {"Hal alone",
         kSam,
         {kHal},
         nullptr,
         nullptr,
         false,
         1,
         {Report("The Hal patch was installed successfully.", Prompt::kHalSuccess)},
         4,
         {kHal},
         true},
        {"SAM alone", kSam, {}, nullptr, nullptr, false, 0, {}, 4, {}, false},
        {"SAM alone, LumiTac.sdi missing on the medium",
         kSam,
         {},
         "LumiTac.sdi",
         nullptr,
         false,
         0,
         {},
         1,
         {},
         false},
        {"Supernova running, holding its braille.ini",
         kSam,
         both,
         nullptr,
         kSupernova,
         false,
         1,
         {failed},
         4,
         {kHal},
         true},
        {"the medium without the device settings",
         kSam,
         both,
         "lmuitactile.ini",
         nullptr,
         false,
         1,
         {failed},
         4,
         {},
         true},
        {"old settings read-only",
         kSam,
         both,
         nullptr,
         nullptr,
         false,
         1,
         {supernova},
         4,
         both,
         true,
         {},
         true},
        // What an uninstall leaves behind is no reader: it gets nothing and tells nothing.
        {"Hal left behind by an uninstall",
         kSam,
         {kSupernova},
         nullptr,
         nullptr,
         false,
         1,
         {supernova},
         4,
         {kSupernova},
         true,
         {kHal}},
        {"SAM with leftovers alone",
         kSam,
         {},
         nullptr,
         nullptr,
         false,
         0,
         {},
         4,
         {},
         false,
         {kHal, kSupernova}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Bench bench;
        if (row.sam == kSam) bench.machine.AddSam();
        if (row.sam == kSamIsFile) WriteTextFile(bench.machine / "Sam", "not a folder");
        if (row.driverFolderIsFile) WriteTextFile(bench.machine / "Sam\\LumiTac", "in the way");
        if (row.missingOnMedium != nullptr) {
            ASSERT_TRUE(
                ::DeleteFileA((bench.medium / "supernova\\" + row.missingOnMedium).c_str()));
        }
        for (const std::string& reader : row.readers) bench.machine.AddReader(reader);
        for (const std::string& leftover : row.leftovers) bench.machine.AddLeftover(leftover);
        if (row.readOnlyOldBackups) {
            for (const std::string& reader : row.readers) {
                for (const char* sub : {"defaults\\", "Settings\\"}) {
                    testing_support::SetReadOnly(bench.In(reader, std::string(sub) + "QTL1.bk0"));
                }
            }
        }
        UniqueFile held;
        if (row.heldBy != nullptr) {
            held.Reset(::CreateFileA(bench.In(row.heldBy, "defaults\\braille.ini").c_str(),
                                     GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held.IsValid());
        }

        EXPECT_EQ(row.result, bench.Install());
        held.Reset();

        EXPECT_EQ(row.reports, bench.Reports());
        EXPECT_EQ(row.reports == std::vector<std::string>{failed}, (*bench.dialog)->FailureTold());
        if (row.reports.empty()) {
            EXPECT_EQ("", bench.dialog->StatusText());
        }
        if (row.sam != kSam) {
            EXPECT_FALSE(FolderExists(bench.machine / "Sam\\LumiTac"));
        }
        for (size_t i = 0; i < 4; ++i) {
            const char* name = SupernovaMedium::kDriverFiles[i];
            EXPECT_EQ(i < row.driverFilesCopied,
                      FileExists(bench.machine / (std::string("Sam\\LumiTac\\") + name)))
                << name;
        }
        for (const char* reader : {kHal, kSupernova}) {
            SCOPED_TRACE(reader);
            const bool there =
                std::find(row.readers.begin(), row.readers.end(), reader) != row.readers.end();
            const bool leftover = std::find(row.leftovers.begin(), row.leftovers.end(), reader) !=
                                  row.leftovers.end();
            if (leftover) {
                EXPECT_FALSE(FolderExists(bench.In(reader, "defaults"))) << "made for a leftover";
                EXPECT_FALSE(FileExists(bench.In(reader, "Settings\\QTL1.bk1")));
                EXPECT_TRUE(FileExists(bench.In(reader, "Settings\\QTL1.bk0")));
                continue;
            }
            if (!there) {
                EXPECT_FALSE(FolderExists(bench.machine / reader)) << "made for an absent reader";
                continue;
            }
            const bool patched =
                std::find(row.patched.begin(), row.patched.end(), reader) != row.patched.end();
            EXPECT_EQ(patched, bench.Patched(reader));
            for (const std::string sub : {"defaults\\", "Settings\\"}) {
                EXPECT_EQ(row.backupsReplaced, FileExists(bench.In(reader, sub + "QTL1.bk1")));
                EXPECT_EQ(!row.backupsReplaced, FileExists(bench.In(reader, sub + "QTL1.bk0")));
            }
        }
    }
}

TEST(DolphinInstall, CompleteRunPlacesEveryFileOverReadOnlyOnes) {
    Bench bench;
    bench.machine.AddSam();
    MakeFolders(bench.machine / "Sam\\LumiTac");
    WriteTextFile(bench.machine / "Sam\\LumiTac\\LumiTac.dll", "old driver");
    testing_support::SetReadOnly(bench.machine / "Sam\\LumiTac\\LumiTac.dll");
    bench.machine.AddReader("Hal");
    bench.machine.AddReader("Snova");

    EXPECT_EQ(1, bench.Install());

    EXPECT_EQ(SupernovaMedium::Content("QVRsam.dll"),
              ReadTextFile(bench.machine / "Sam\\QVRsam\\QVRsam.dll"));
    for (const char* name : SupernovaMedium::kDriverFiles) {
        EXPECT_EQ(SupernovaMedium::Content(name),
                  ReadTextFile(bench.machine / (std::string("Sam\\LumiTac\\") + name)))
            << name;
    }
    for (const char* reader : {"Hal", "Snova"}) {
        SCOPED_TRACE(reader);
        EXPECT_TRUE(bench.Patched(reader));
        for (const char* subfolder : {"defaults\\", "Settings\\"}) {
            EXPECT_EQ(SupernovaMedium::Content("QTL1.bk1"),
                      ReadTextFile(bench.In(reader, std::string(subfolder) + "QTL1.bk1")));
            EXPECT_FALSE(FileExists(bench.In(reader, std::string(subfolder) + "QTL1.bk0")));
        }
    }
    // Only the display's section is carried over.
    EXPECT_TRUE(SectionLines(bench.In("Hal", "defaults\\braille.ini"), "Before").empty());
    EXPECT_EQ(std::vector<std::string>{Report(kSupernovaText, Prompt::kSupernovaSuccess)},
              bench.Reports());
}

TEST(DolphinInstall, MissingFoldersFailSilentlyAndAreNotCreated) {
    // Neither SAM's own driver folder nor Hal exists; the display's files still make it.
    Bench bench;
    bench.machine.AddSam(/*withQvrSamFolder=*/false);
    bench.machine.AddReader("Snova");

    EXPECT_EQ(1, bench.Install());

    EXPECT_FALSE(FolderExists(bench.machine / "Sam\\QVRsam"));
    EXPECT_FALSE(FolderExists(bench.machine / "Hal"));
    EXPECT_TRUE(bench.Patched("Snova"));
    EXPECT_EQ(std::vector<std::string>{Report(kSupernovaText, Prompt::kSupernovaSuccess)},
              bench.Reports());
}

TEST(DolphinInstall, PatchesTheFirstListedFolderWhoseNameHoldsSnova) {
    // Folder names are found case-insensitively, so the "Snova" fallback lands in a folder
    // named "snova", which the listing itself never chooses: that makes the fallback visible.
    struct Row {
        const char* label;
        std::vector<std::string> folders;
        std::vector<std::string> files;
        // The folder patched: "" for none, "*" for the first of the folders in listing order.
        std::string patched;
        UINT codePage = 0;  // the ANSI code page the row needs; 0: any
    };
    // Longer than the 256 bytes the old buffers gave Dolphin's folder, the name and
    // "\defaults\braille.ini", yet within the platform's 260.
    const std::string longName =
        std::string(256 - 7 - 4 - 21 - DolphinMachine::kRoot.size(), 'x') + " Snova yyyy";
    const Row rows[] = {
        {"no marker anywhere", {"Screen Reader", "snova"}, {}, "snova"},
        {"marker in lower case only", {"snova 13"}, {}, ""},
        {"full product name", {"Supernova", "snova"}, {}, "snova"},
        {"dot-name with the marker", {".Snova", "snova"}, {}, "snova"},
        {"plain file with the marker", {"snova"}, {"Snova notes.txt"}, "snova"},
        {"marker inside the name", {"Dolphin Snova 13", "snova"}, {}, "Dolphin Snova 13"},
        {"two matching folders", {"Snova 12", "Snova 13"}, {}, "*"},
        {"name longer than the old buffers", {longName}, {}, longName},
        // Bytes 83 53 are one character, so "Snova" is not in the name.
        {"S as a trail byte, under code page 932", {"\x83Snova", "snova"}, {}, "snova", 932},
    };
    for (const Row& row : rows) {
        if (row.codePage != 0 && row.codePage != ::GetACP()) continue;  // the *_cp932 run has it
        SCOPED_TRACE(row.label);
        Bench bench;
        bench.machine.AddSam();
        for (const std::string& folder : row.folders) bench.machine.AddReader(folder);
        for (const std::string& file : row.files) WriteTextFile(bench.machine / file, "notes");
        const std::vector<std::string> listing = bench.machine.Listing();
        std::string expected = row.patched;
        if (expected == "*") {
            expected = *std::find_first_of(listing.begin(), listing.end(), row.folders.begin(),
                                           row.folders.end());
        }

        // With no Supernova folder, SAM alone is there.
        EXPECT_EQ(expected.empty() ? 0 : 1, bench.Install());

        for (const std::string& folder : row.folders) {
            EXPECT_EQ(folder == expected, bench.Patched(folder)) << folder;
        }
        // Nothing new in Dolphin's folder: a missing fallback folder is not created.
        std::vector<std::string> after = bench.machine.Listing();
        std::vector<std::string> before = listing;
        std::sort(after.begin(), after.end());
        std::sort(before.begin(), before.end());
        EXPECT_EQ(before, after);
        std::vector<std::string> reports;
        if (!expected.empty()) reports.push_back(Report(kSupernovaText, Prompt::kSupernovaSuccess));
        EXPECT_EQ(reports, bench.Reports());
    }
}

// The wizard as the patcher sees it when the user closes it while one step is in progress:
// asking for the medium's file at closeAt (a step under way) closes it.
class ClosedDuringAStep : public RunOwner {
public:
    ClosedDuringAStep(MainDialog& wizard, const char* closeAt) : wizard(wizard), closeAt(closeAt) {}
    bool MediumPath(const char* relative, std::string& path) const override {
        if (std::string(relative) == closeAt) closing = true;
        return wizard.MediumPath(relative, path);
    }
    bool IsClosing() const override { return closing; }
    void ShowStatus(const char* text) override { wizard.ShowStatus(text); }
    PromptPlayer& Prompts() override { return wizard.Prompts(); }
    int RunningOsKind() const override { return wizard.RunningOsKind(); }
    bool Is64BitWindows() const override { return wizard.Is64BitWindows(); }

private:
    MainDialog& wizard;
    std::string closeAt;
    mutable bool closing = false;
};

// A close ends the step in progress normally and starts nothing after it; Dolphin was found,
// and nothing is told.
TEST(DolphinInstall, AClosePatchesNoReaderAfterTheStepInProgress) {
    const struct {
        const char* label;
        const char* closeAt;
        bool halPatched;
    } rows[] = {{"closed while SAM's files are copied", "\\supernova\\LumiTac.dll", false},
                {"closed while Hal is patched", "\\supernova\\lmuitactile.ini", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Bench bench;
        bench.machine.AddSam();
        bench.machine.AddReader("Hal");
        bench.machine.AddReader("Snova");
        ClosedDuringAStep owner(**bench.dialog, row.closeAt);

        EXPECT_EQ(1, (*bench.dialog)->dolphinPatcher.Install(&owner));

        EXPECT_TRUE(FileExists(bench.machine / "Sam\\LumiTac\\LumiTac.dll"));
        EXPECT_EQ(row.halPatched, bench.Patched("Hal"));
        EXPECT_FALSE(bench.Patched("Snova"));
        EXPECT_TRUE(bench.Reports().empty());
    }
}

// An uninstalled Supernova leaves its folder behind, and the listing may name it first: the
// installed one is patched all the same, and the leftover gets nothing.
TEST(DolphinInstall, PatchesTheInstalledSupernovaThoughALeftoverIsListedFirst) {
    Bench bench;
    bench.machine.AddSam();
    const std::string installed = "Snova 14";
    bench.machine.AddReader(installed);
    std::string leftover;
    for (int n = 0; n < 50 && leftover.empty(); ++n) {
        const std::string name = "Snova 1" + std::to_string(n) + " old";
        bench.machine.AddLeftover(name);
        const std::vector<std::string> listing = bench.machine.Listing();
        if (std::find(listing.begin(), listing.end(), name) <
            std::find(listing.begin(), listing.end(), installed)) {
            leftover = name;
        } else {
            testing_support::RemoveTree(bench.machine / name);
        }
    }
    ASSERT_FALSE(leftover.empty()) << "the listing names no leftover before " << installed;

    EXPECT_EQ(1, bench.Install());

    EXPECT_TRUE(bench.Patched(installed));
    EXPECT_FALSE(FolderExists(bench.In(leftover, "defaults")));
    EXPECT_FALSE(FileExists(bench.In(leftover, "Settings\\QTL1.bk1")));
    EXPECT_EQ(std::vector<std::string>{Report(kSupernovaText, Prompt::kSupernovaSuccess)},
              bench.Reports());
}

TEST(DolphinPatchSupernova, NothingListedMeansNothingMade) {
    Bench bench;
    testing_support::RemoveTree(DolphinMachine::kRoot);
    bench.dialog->get()->dolphinPatcher.owner = bench.dialog->get();
    bench.dialog->get()->dolphinPatcher.dolphinFolder = DolphinMachine::kRoot;

    EXPECT_EQ(DolphinPatcher::Reader::kAbsent,
              bench.dialog->get()->dolphinPatcher.PatchSupernova());
    EXPECT_FALSE(FolderExists(DolphinMachine::kRoot));
}

// Dolphin lies where Windows keeps 32-bit programs ("C:\Program Files (x86)" on 64-bit Windows,
// another drive or a localised name elsewhere), as the 32-bit view says on 64-bit Windows and the
// one view on 32-bit Windows; the usual folder stands in when Windows names none. The value is
// read from a key of the test's own.
TEST(DolphinFolder, IsWhereWindowsKeeps32BitProgramsElseTheUsualProgramFolder) {
    const std::string key = "Software\\LumiTest CurrentVersion";
    TempDir elsewhere;
    const std::string usual = "C:\\Program Files\\Dolphin";
    const std::string usual32 = "C:\\Program Files (x86)\\Dolphin";
    enum Value { kNoKey, kNoValue, kValue };
    struct Row {
        const char* label;
        bool windows64;
        Value value;
        REGSAM view;  // where the value is
        std::string programFiles;
        std::string dolphin;  // where the patcher looks
    };
    const Row rows[] = {
        {"value present", true, kValue, kView32Bit, elsewhere.Path(), elsewhere / "Dolphin"},
        {"value ending in a backslash", true, kValue, kView32Bit, elsewhere.Path() + "\\",
         elsewhere / "Dolphin"},
        {"another drive", true, kValue, kView32Bit, "D:\\Programme", "D:\\Programme\\Dolphin"},
        {"value empty", true, kValue, kView32Bit, "", usual32},
        {"value missing", true, kNoValue, kView32Bit, "", usual32},
        {"key missing", true, kNoKey, kView32Bit, "", usual32},
        // 64-bit programs' folder is never Dolphin's.
        {"value only in the 64-bit view", true, kValue, kView64Bit, elsewhere.Path(), usual32},
        // One view, opened with no view flag (NT 4 and 2000 refuse them).
        {"32-bit Windows", false, kValue, 0, elsewhere.Path(), elsewhere / "Dolphin"},
        {"32-bit Windows, key missing", false, kNoKey, 0, "", usual},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        testing_support::ScopedMachineKey windows(key, row.view);
        if (row.value == kNoValue) windows.CreateSubkey("");
        if (row.value == kValue) windows.SetString("", "ProgramFilesDir", row.programFiles);
        {
            OpenDialog owner;
            owner->windows64 = row.windows64;
            EXPECT_EQ(row.dolphin, DolphinFolder(*owner, key));
        }

        // Both places hold SAM and Hal; only the one Windows names is patched.
        Bench bench;
        (*bench.dialog)->windows64 = row.windows64;
        bench.machine.AddSam();
        bench.machine.AddReader("Hal");
        const bool onThisMachine = row.dolphin != "D:\\Programme\\Dolphin";
        std::unique_ptr<testing_support::ScopedFolder> named;
        if (row.dolphin != DolphinMachine::kRoot && onThisMachine) {
            named.reset(new testing_support::ScopedFolder(row.dolphin));
            MakeFolders(row.dolphin + "\\Sam");
            MakeFolders(row.dolphin + "\\Hal\\defaults");
        }
        (*bench.dialog)->dolphinPatcher.programFilesKey = key;

        EXPECT_EQ(onThisMachine ? 1 : 0, bench.Install());
        EXPECT_EQ(onThisMachine, FileExists(row.dolphin + "\\Sam\\LumiTac\\LumiTac.dll"));
        EXPECT_EQ(row.dolphin == DolphinMachine::kRoot,
                  FileExists(bench.machine / "Sam\\LumiTac\\LumiTac.dll"));
    }
}

// On the bench's 64-bit Windows, the machine's own 32-bit view names the folder of 32-bit
// programs, where every other test seeds Dolphin.
TEST(DolphinFolder, TheMachinesOwnValueNamesTheFolderOf32BitProgramsOnTheBench) {
    OpenDialog owner;
    ASSERT_TRUE(owner->windows64);
    EXPECT_EQ("C:\\Program Files (x86)\\Dolphin", DolphinMachine::kRoot);
    EXPECT_EQ(DolphinMachine::kRoot, DolphinFolder(*owner, kWindowsCurrentVersionKey));
}

TEST(DolphinInstall, ExistingSectionIsKeptAndAnEmptyOneFilled) {
    struct Row {
        const char* label;
        std::string brailleIni;
        std::vector<std::string> section;
    };
    const Row rows[] = {
        {"section with lines", "[QTL1]\r\nCells=80\r\n[Other]\r\nK=1\r\n", {"Cells=80"}},
        {"header without lines", "[QTL1]\r\n[Other]\r\nK=1\r\n", kMediumLines},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Bench bench;
        bench.machine.AddSam();
        bench.machine.AddReader("Hal");
        WriteTextFile(bench.In("Hal", "defaults\\braille.ini"), row.brailleIni);

        EXPECT_EQ(1, bench.Install());

        EXPECT_EQ(row.section, SectionLines(bench.In("Hal", "defaults\\braille.ini"), "QTL1"));
        EXPECT_EQ(std::vector<std::string>{"K=1"},
                  SectionLines(bench.In("Hal", "defaults\\braille.ini"), "Other"));
        // The settings files are placed whatever the section held.
        EXPECT_TRUE(FileExists(bench.In("Hal", "defaults\\QTL1.bk1")));
        EXPECT_FALSE(FileExists(bench.In("Hal", "defaults\\QTL1.bk0")));
    }
}

// Windows 95, 98 and ME keep profile writes in a cache and change the file later: there each
// reader's braille.ini is written through before the next one and before the outcome is told.
TEST(DolphinInstall, PutsEachFilesWritesIntoItBeforeTheNextOnWindows9x) {
    for (const int osKind : {kOsKindWindows9x, kOsKindNtBefore6}) {
        SCOPED_TRACE(osKind == kOsKindWindows9x ? "Windows 98" : "Windows XP");
        Bench bench;
        (*bench.dialog)->OsKind = osKind;
        bench.machine.AddSam();
        bench.machine.AddReader("Hal");
        bench.machine.AddReader("Snova");
        testing_support::ProfileWriteLog log;
        bench.dialog->prompts.onPlay = [&](const std::string& prompt) {
            log.Mark("told " + prompt);
        };

        EXPECT_EQ(1, bench.Install());

        EXPECT_TRUE(bench.Patched("Hal") && bench.Patched("Snova"));
        if (osKind == kOsKindWindows9x) {
            EXPECT_EQ(std::vector<std::string>{}, log.Breaches());
        } else {
            EXPECT_EQ(0, log.Flushes());
        }
    }
}

// A reader counts as patched only when its braille.ini holds the section afterwards, whatever
// the write said (Windows 95/98/ME answer from their cache).
TEST(DolphinInstall, AReaderCountsByWhatItsFileHoldsNotByTheWritesAnswer) {
    Bench bench;
    bench.machine.AddSam();
    bench.machine.AddReader("Hal");
    testing_support::ScopedImportHook cache(
        "kernel32.dll", "WritePrivateProfileSectionA",
        reinterpret_cast<void*>(&testing_support::SectionWriteThatNeverReachesTheFile));
    ASSERT_TRUE(cache.IsHooked());

    EXPECT_EQ(1, bench.Install());

    EXPECT_EQ(std::vector<std::string>{Report(kFailedText, Prompt::kSupernovaNotCopied)},
              bench.Reports());
}

TEST(DolphinInstall, SecondRunReportsAgainWithoutDuplicatingTheSection) {
    Bench bench;
    bench.machine.AddSam();
    bench.machine.AddReader("Hal");
    bench.machine.AddReader("Snova");

    EXPECT_EQ(1, bench.Install());
    EXPECT_EQ(1, bench.Install());

    const std::string report = Report(kSupernovaText, Prompt::kSupernovaSuccess);
    EXPECT_EQ((std::vector<std::string>{report, report}), bench.Reports());
    for (const char* reader : {"Hal", "Snova"}) {
        const std::string ini = ReadTextFile(bench.In(reader, "defaults\\braille.ini"));
        EXPECT_EQ(ini.find("[QTL1]"), ini.rfind("[QTL1]")) << ini;
        EXPECT_EQ(ini.find(kMediumLines[0]), ini.rfind(kMediumLines[0])) << ini;
        EXPECT_TRUE(bench.Patched(reader)) << reader;
    }
}

}  // namespace
