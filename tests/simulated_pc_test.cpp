// The demo's simulated PC: reading scenarios, seeding and clearing the machine, holding files,
// comparing snapshots and reading a run back from the UI driver and Wine's traces.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tools/demo/simpc/Machine.h"
#include "tools/demo/simpc/Scenario.h"
#include "tools/demo/simpc/Snapshot.h"
#include "tools/demo/simpc/Transcript.h"
#include "tools/machine/Machine.h"

using testing_support::ReadTextFile;
using testing_support::TempDir;
using testing_support::WriteTextFile;

namespace {

// A string value; empty when it cannot be read.
std::string StringValue(HKEY root, const std::string& subkey, const char* name, REGSAM view = 0) {
    std::string value;
    return machine::ReadString(root, subkey, name, value, view) ? value : "";
}

simpc::Scenario Parse(const std::string& text) {
    simpc::Scenario scenario;
    std::string error;
    EXPECT_TRUE(simpc::ParseScenario(text, "test", scenario, error)) << error;
    return scenario;
}

// ---- Scenario files ----------------------------------------------------------------------------

TEST(ScenarioFile, ReadsEveryDirective) {
    const simpc::Scenario scenario = Parse(
        "# First line of the description.\n"
        "# Second line.\n"
        "windows winxp\n"
        "group JAWS\n"
        "key HKLM\\Software\\Vendor\\11.0\\\n"
        "value Target = C:\\Vendor\\11.0\\\n"
        "value @ = default text\n"
        "file C:\\Vendor\\11.0\\braille.ini\n"
        "[list]\n"
        "  Item1=Alva\n"
        "end\n"
        "readonly C:\\Vendor\\11.0\\braille.ini\n"
        "# not part of the description\n"
        "group Dolphin\n"
        "folder C:/Dolphin/Sam/\n"
        "watch C:\\Dolphin\n"
        "hold C:\\Dolphin\\Sam\\x.dll\n"
        "medium-remove supernova\\LumiTac.sdi\n"
        "expect Please restart screen reader.\n");
    EXPECT_EQ("First line of the description.\nSecond line.", scenario.description);
    EXPECT_EQ("winxp", scenario.windows);
    EXPECT_FALSE(scenario.windows64);
    EXPECT_TRUE(Parse("windows win10 64-bit\n").windows64);
    EXPECT_EQ((std::vector<std::string>{"JAWS", "Dolphin"}), scenario.groups);
    ASSERT_EQ(1u, scenario.keys.size());
    EXPECT_EQ("Software\\Vendor\\11.0", scenario.keys[0].subkey);
    ASSERT_EQ(2u, scenario.keys[0].values.size());
    EXPECT_EQ("Target", scenario.keys[0].values[0].name);
    EXPECT_EQ("C:\\Vendor\\11.0\\", scenario.keys[0].values[0].data);
    EXPECT_EQ("", scenario.keys[0].values[1].name);
    ASSERT_EQ(1u, scenario.files.size());
    EXPECT_EQ("[list]\r\n  Item1=Alva\r\n", scenario.files[0].content);
    EXPECT_TRUE(scenario.files[0].readOnly);
    EXPECT_EQ("JAWS", scenario.files[0].group);
    ASSERT_EQ(1u, scenario.folders.size());
    EXPECT_EQ("C:\\Dolphin\\Sam", scenario.folders[0].path);
    EXPECT_EQ("Dolphin", scenario.folders[0].group);
    EXPECT_EQ((std::vector<std::string>{"C:\\Dolphin\\Sam\\x.dll"}), scenario.held);
    EXPECT_EQ((std::vector<std::string>{"supernova\\LumiTac.sdi"}), scenario.mediumRemovals);
    EXPECT_EQ((std::vector<std::string>{"Please restart screen reader."}), scenario.expectedStatus);
    // The file's folder, the created folder and the watched one, each once.
    const std::vector<simpc::Folder> watched = scenario.WatchedFolders();
    ASSERT_EQ(3u, watched.size());
    EXPECT_EQ("C:\\Dolphin\\Sam", watched[0].path);
    EXPECT_EQ("C:\\Dolphin", watched[1].path);
    EXPECT_EQ("C:\\Vendor\\11.0", watched[2].path);
}

TEST(ScenarioFile, NamesTheLineOfEachMistake) {
    struct Case {
        const char* text;
        const char* error;
    } const cases[] = {
        {"windows winxp\nwindows win98\n", "test:2: the Windows version is given twice"},
        {"windows win10 32-bit\n", "test:1: expected a version such as winxp, and 64-bit"},
        {"key HKLM\\Software\\x\nvalue P = %LUMI_SURELY_UNSET%\n",
         "test:2: an environment variable in"},
        {"value Path = C:\\x\n", "test:1: a value needs a key line before it"},
        {"key HKLM\\Software\\x\nvalue Path\n", "test:2: expected value <name> = <data>"},
        {"key HKCU\\Software\\x\n", "test:1: \"HKCU\\Software\\x\" is not a key under HKLM\\"},
        {"folder Program Files\\x\n", "test:1: \"Program Files\\x\" is not an absolute path"},
        {"file C:\\x.ini\n[a]\n", "test:1: the file's content has no line \"end\""},
        {"readonly C:\\x.ini\n", "test:1: readonly names a file the scenario has not created"},
        {"medium-remove ..\\Setup.exe\n", "test:1: \"..\\Setup.exe\" is not a path inside"},
        {"folder %LUMI_SURELY_UNSET%\\x\n", "test:1: an environment variable in"},
        {"\n\nfolders C:\\x\n", "test:3: unknown directive \"folders\""},
        {"windows win10\nkey64 HKLM\\Software\\x\n", "test:2: key64 needs a \"windows"},
        {"medium-readonly yes\n", "test:1: medium-readonly takes nothing after it"},
        {"expect-exit 12\n", "test:1: expect-exit needs an exit code such as 0"},
        {"medium-file jaws\\x.ini\n[a]\n", "test:1: the file's content has no line \"end\""},
    };
    for (const Case& c : cases) {
        simpc::Scenario scenario;
        std::string error;
        EXPECT_FALSE(simpc::ParseScenario(c.text, "test", scenario, error)) << c.text;
        EXPECT_EQ(0u, error.find(c.error)) << error;
    }
}

TEST(ScenarioFile, ExpandsEnvironmentVariablesInPaths) {
    char appData[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableA("APPDATA", appData, MAX_PATH), 0u);
    const simpc::Scenario scenario =
        Parse("folder %APPDATA%\\GW Micro\nkey HKLM\\Software\\x\nvalue Path = %APPDATA%\\y\n");
    ASSERT_EQ(1u, scenario.folders.size());
    EXPECT_EQ(std::string(appData) + "\\GW Micro", scenario.folders[0].path);
    ASSERT_EQ(1u, scenario.keys.size());
    EXPECT_EQ(std::string(appData) + "\\y", scenario.keys[0].values[0].data);
    // %ProgramFiles% is where 32-bit programs go, also for the 64-bit bench.
    EXPECT_EQ("C:\\Program Files (x86)\\Dolphin",
              Parse("folder %PROGRAMFILES%\\Dolphin\n").folders.at(0).path);
}

TEST(ScenarioFile, EveryShippedScenarioReadsAndSaysWhatItExpects) {
    WIN32_FIND_DATAA entry;
    HANDLE search =
        ::FindFirstFileA((std::string(LUMI_SCENARIO_DIR) + "\\*.scenario").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int count = 0;
    do {
        const std::string name = entry.cFileName;
        simpc::Scenario scenario;
        std::string error;
        EXPECT_TRUE(
            simpc::LoadScenario(std::string(LUMI_SCENARIO_DIR) + "/" + name, scenario, error))
            << error;
        EXPECT_FALSE(scenario.description.empty()) << name;
        EXPECT_FALSE(scenario.expectedStatus.empty()) << name;
        EXPECT_LE(0, scenario.expectedExit) << name;
        ++count;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    EXPECT_LT(0, count) << "no scenario found";
}

// ---- Seeding the machine ---------------------------------------------------------------------

TEST(Seeding, CreatesTheScenarioAndTakesAwayOnlyWhatItCreated) {
    TempDir temp;
    const std::string kept = temp / "existing";
    testing_support::MakeFolders(kept);
    WriteTextFile(kept + "\\mine.txt", "not the scenario's");
    const std::string key = "Software\\LumiSimpcSeedingTest";
    machine::RemoveKey(HKEY_LOCAL_MACHINE, key);

    machine::RemoveKey(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY);
    machine::RemoveKey(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY);

    // A 32-bit reader's key goes to the 32-bit view of the bench's 64-bit Windows, a 64-bit
    // reader's to the 64-bit one.
    const simpc::Scenario scenario =
        Parse("windows win10 64-bit\n" + std::string("key64 HKLM\\") + key + "\\Reader\\2025\n" +
              "value Target = C:\\Reader64\n" + "key HKLM\\" + key + "\\Reader\\1.0\n" +
              "value Target = C:\\Reader\n" + "folder " + temp / "existing\\Settings\\enu" + "\n" +
              "file " + temp / "existing\\braille.ini" + "\n" + "[list]\nItem1=Alva\nend\n" +
              "readonly " + temp / "existing\\braille.ini" + "\n");
    simpc::SeedRecord record;
    std::string error;
    ASSERT_TRUE(simpc::Seed(scenario, record, error)) << error;

    EXPECT_EQ("C:\\Reader",
              StringValue(HKEY_LOCAL_MACHINE, key + "\\Reader\\1.0", "Target", KEY_WOW64_32KEY));
    EXPECT_EQ("C:\\Reader64",
              StringValue(HKEY_LOCAL_MACHINE, key + "\\Reader\\2025", "Target", KEY_WOW64_64KEY));
    EXPECT_FALSE(machine::KeyExists(HKEY_LOCAL_MACHINE, key + "\\Reader\\1.0", KEY_WOW64_64KEY));
    EXPECT_TRUE(testing_support::FolderExists(kept + "\\Settings\\enu"));
    EXPECT_EQ("[list]\r\nItem1=Alva\r\n", ReadTextFile(kept + "\\braille.ini"));
    EXPECT_TRUE(testing_support::IsReadOnly(kept + "\\braille.ini"));
    // What a run adds inside a created folder goes with it.
    WriteTextFile(kept + "\\Settings\\enu\\default.JKM", "[LumiTac Keys]\r\n");

    simpc::Unseed(record);
    EXPECT_FALSE(machine::KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY));
    EXPECT_FALSE(machine::KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY));
    EXPECT_FALSE(testing_support::FolderExists(kept + "\\Settings"));
    EXPECT_FALSE(testing_support::FileExists(kept + "\\braille.ini"));
    EXPECT_EQ("not the scenario's", ReadTextFile(kept + "\\mine.txt"));
}

// A 64-bit prefix reports 6.1 for Windows 98 and a 32-bit XP, so the bench asks for the family
// it can emulate, or refuses with its reason rather than run a scenario as another Windows.
TEST(Seeding, SetsTheWindowsVersionTheBenchCanEmulateForTheWizardAloneAndPutsItBack) {
    const struct {
        const char* asked;
        const char* seeded;  // nullptr: refused
    } rows[] = {{"win7", "win7"},
                {"winxp", "winxp64"},
                {"win2k", "winxp64"},
                {"win98", nullptr},
                {"win10 64-bit", "win10"}};
    for (const auto& row : rows) {
        simpc::SeedRecord record;
        std::string error;
        const bool seeded =
            simpc::Seed(Parse(std::string("windows ") + row.asked + "\n"), record, error);
        EXPECT_EQ(row.seeded != nullptr, seeded) << row.asked << ": " << error;
        if (row.seeded != nullptr) {
            EXPECT_EQ(row.seeded, StringValue(HKEY_CURRENT_USER, simpc::kVersionKey, "Version"));
        } else {
            EXPECT_NE(std::string::npos, error.find("cannot run")) << error;
        }
        simpc::Unseed(record);
        EXPECT_FALSE(machine::KeyExists(HKEY_CURRENT_USER, simpc::kVersionKey)) << row.asked;
    }
}

TEST(HeldFiles, KeepOthersFromReplacingThemUntilReleased) {
    TempDir temp;
    const std::string file = temp / "bdisplay.exe";
    WriteTextFile(file, "old");
    WriteTextFile(temp / "new.exe", "new");
    simpc::HeldFiles held;
    std::string error;
    ASSERT_TRUE(held.Hold({file}, error)) << error;
    EXPECT_FALSE(::CopyFileA((temp / "new.exe").c_str(), file.c_str(), FALSE));
    held.Release();
    EXPECT_TRUE(::CopyFileA((temp / "new.exe").c_str(), file.c_str(), FALSE));
    EXPECT_FALSE(held.Hold({temp / "missing.exe"}, error));
}

TEST(PreparedMedium, IsACopyWithoutTheRemovedFiles) {
    TempDir temp;
    const std::string medium = temp / "medium";
    testing_support::MakeFolders(medium + "\\supernova");
    WriteTextFile(medium + "\\Setup.exe", "setup");
    WriteTextFile(medium + "\\supernova\\LumiTac.sdi", "sdi");
    WriteTextFile(medium + "\\supernova\\LumiTac.dll", "dll");
    std::string error;
    {
        simpc::RunMedium run;
        ASSERT_TRUE(run.Prepare(Parse(""), medium, temp / "copy", error)) << error;
        EXPECT_EQ(medium, run.Root()) << "without removals the medium itself is used";
    }
    {
        simpc::RunMedium run;
        ASSERT_TRUE(run.Prepare(Parse("medium-remove supernova\\LumiTac.sdi\n"), medium,
                                temp / "copy", error))
            << error;
        const std::string& root = run.Root();
        EXPECT_EQ(temp / "copy", root);
        EXPECT_EQ("setup", ReadTextFile(root + "\\Setup.exe"));
        EXPECT_EQ("dll", ReadTextFile(root + "\\supernova\\LumiTac.dll"));
        EXPECT_FALSE(testing_support::FileExists(root + "\\supernova\\LumiTac.sdi"));
        EXPECT_EQ("sdi", ReadTextFile(medium + "\\supernova\\LumiTac.sdi")) << "the original stays";
    }
    {
        simpc::RunMedium run;
        EXPECT_FALSE(
            run.Prepare(Parse("medium-remove jaws\\nothing.jlb\n"), medium, temp / "copy", error));
        EXPECT_EQ("the medium has no file jaws\\nothing.jlb to remove", error);
    }
    // As on a CD: every file read-only, and no bit can be cleared there, until the run is over.
    const std::string file = temp / "copy\\supernova\\LumiTac.dll";
    {
        simpc::RunMedium run;
        if (!run.Prepare(Parse("medium-readonly\n"), medium, temp / "copy", error)) {
            ASSERT_TRUE(run.CannotRunHere()) << error;
            GTEST_SKIP() << error;
        }
        EXPECT_TRUE(testing_support::IsReadOnly(file));
        EXPECT_FALSE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
        EXPECT_TRUE(testing_support::IsReadOnly(file));
    }
    EXPECT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL)) << "still mounted";
}

// ---- Snapshots and their differences ---------------------------------------------------------

TEST(IniFiles, AreReadAsTheProfileFunctionsSeeThem) {
    const std::vector<simpc::IniSection> sections = simpc::ParseIni(
        "Orphan=before any section\r\n"
        "; a comment\r\n"
        "[ list ]\r\n"
        "  Item1 = \"Lumitactile\"  \r\n"
        "Item1=second one is ignored\r\n"
        "bare line\r\n"
        "[Other]\n"
        "[LIST]\n"
        "Item2=Alva\n");
    ASSERT_EQ(2u, sections.size());
    EXPECT_EQ("list", sections[0].name);
    ASSERT_EQ(3u, sections[0].entries.size());
    EXPECT_EQ("Item1", sections[0].entries[0].key);
    EXPECT_EQ("\"Lumitactile\"", sections[0].entries[0].value);
    EXPECT_EQ("bare line", sections[0].entries[1].key);
    EXPECT_EQ("Item2", sections[0].entries[2].key) << "a repeated section adds to the first";
    EXPECT_TRUE(sections[1].entries.empty());
}

simpc::FileState Ini(const std::string& path, const std::string& text, const std::string& hash) {
    simpc::FileState file;
    file.path = path;
    file.size = text.size();
    file.hash = hash;
    file.isIni = true;
    file.sections = simpc::ParseIni(text);
    return file;
}

simpc::FileState Plain(const std::string& path, unsigned long long size, const std::string& hash) {
    simpc::FileState file;
    file.path = path;
    file.size = size;
    file.hash = hash;
    return file;
}

TEST(Changes, AreListedPerGroupWithOldAndNewValues) {
    const simpc::Scenario scenario = Parse(
        "group JAWS\nfolder C:\\JAWS\nfolder C:\\Dolphin\\JAWS\n"
        "group Dolphin\nfolder C:\\Dolphin\n"
        "group Idle\nfolder C:\\Idle\n");
    simpc::Snapshot before;
    simpc::Snapshot after;
    before.folders = {{"c:\\jaws", "C:\\JAWS"}, {"c:\\dolphin", "C:\\Dolphin"}};
    after.folders = before.folders;
    after.folders["c:\\dolphin\\sam"] = "C:\\Dolphin\\Sam";
    before.files["c:\\jaws\\braille.ini"] =
        Ini("C:\\JAWS\\braille.ini", "[list]\nItem1=Alva\nItem2=Focus\n[Gone]\nA=1\n", "1");
    after.files["c:\\jaws\\braille.ini"] = Ini(
        "C:\\JAWS\\braille.ini", "[list]\nItem1=Alva 2\nItem3=\"Lumitactile\"\n[New]\nB=2\n", "2");
    before.files["c:\\dolphin\\bdisplay.exe"] = Plain("C:\\Dolphin\\bdisplay.exe", 10, "a");
    after.files["c:\\dolphin\\bdisplay.exe"] = Plain("C:\\Dolphin\\bdisplay.exe", 12, "b");
    before.files["c:\\dolphin\\qtl1.bk0"] = Plain("C:\\Dolphin\\QTL1.bk0", 1, "c");
    after.files["c:\\dolphin\\sam\\lumitac.dll"] = Plain("C:\\Dolphin\\Sam\\LumiTac.dll", 1, "d");
    // The most precise place decides the group.
    after.files["c:\\dolphin\\jaws\\x.jlb"] = Plain("C:\\Dolphin\\JAWS\\x.jlb", 2, "e");

    const std::vector<simpc::GroupChanges> changes = simpc::DiffSnapshots(scenario, before, after);
    ASSERT_EQ(3u, changes.size());
    EXPECT_EQ("JAWS", changes[0].group);
    EXPECT_EQ((std::vector<std::string>{
                  "created  C:\\Dolphin\\JAWS\\x.jlb (2 bytes)",
                  "changed  C:\\JAWS\\braille.ini",
                  "           [list] Item1 = Alva 2   changed, was Alva",
                  "           [list] Item3 = \"Lumitactile\"   added",
                  "           [list] Item2   removed, was Focus",
                  "           section [New] added",
                  "           [New] B = 2   added",
                  "           section [Gone] removed",
              }),
              changes[0].lines);
    EXPECT_EQ("Dolphin", changes[1].group);
    EXPECT_EQ((std::vector<std::string>{
                  "replaced C:\\Dolphin\\bdisplay.exe (10 bytes -> 12 bytes)",
                  "deleted  C:\\Dolphin\\QTL1.bk0",
                  "created  C:\\Dolphin\\Sam\\",
                  "created  C:\\Dolphin\\Sam\\LumiTac.dll (1 byte)",
              }),
              changes[1].lines);
    EXPECT_EQ("Idle", changes[2].group);
    EXPECT_TRUE(changes[2].lines.empty());
    EXPECT_NE(std::string::npos, simpc::FormatChanges(changes).find("Idle\n  no change\n"));
}

TEST(Changes, OfTheRealMachineAreReadFromItsFiles) {
    TempDir temp;
    testing_support::MakeFolders(temp / "reader\\Settings");
    WriteTextFile(temp / "reader\\braille.ini", "[list]\r\nItem1=Tab\there\\n\r\n");
    WriteTextFile(temp / "reader\\QTL1.bk0", "old");
    const simpc::Scenario scenario = Parse("group Reader\nwatch " + temp / "reader" + "\n");
    const simpc::Snapshot before = simpc::TakeSnapshot(scenario);
    ASSERT_EQ(1u, before.files.count(simpc::Lower(temp / "reader\\braille.ini")));
    EXPECT_EQ(
        "Tab\there\\n",
        before.files.at(simpc::Lower(temp / "reader\\braille.ini")).sections[0].entries[0].value);
    EXPECT_TRUE(
        simpc::DiffSnapshots(scenario, before, simpc::TakeSnapshot(scenario))[0].lines.empty());

    ::DeleteFileA((temp / "reader\\QTL1.bk0").c_str());
    WritePrivateProfileStringA("list", "Item2", "\"Lumitactile\"",
                               (temp / "reader\\braille.ini").c_str());
    const std::vector<simpc::GroupChanges> changes =
        simpc::DiffSnapshots(scenario, before, simpc::TakeSnapshot(scenario));
    EXPECT_EQ((std::vector<std::string>{
                  "changed  " + temp / "reader\\braille.ini",
                  "           [list] Item2 = \"Lumitactile\"   added",
                  "deleted  " + temp / "reader\\QTL1.bk0",
              }),
              changes[0].lines);
}

// ---- Reading a run back ----------------------------------------------------------------------

TEST(RunTranscript, MergesTheDriversEventsWithTheTracedTextsAndPrompts) {
    const std::string driver =
        "5 status-shown\n"
        "5 install-disabled\n"
        "20 status Welcome\n"
        "1100 window FTDI Driver Installation\n"
        "4200 status Please restart screen reader.\n"
        "4300 status-hidden\n"
        "4310 exit 0\n"
        "install-tick 100000\n";
    const std::string trace =
        "ALSA lib pcm.c:2666:(snd_pcm_open_noupdate) Unknown PCM default\n"
        "100.012:0030:trace:edit:EDIT_WM_SetText L\"Welcome\"\n"
        "100.012:0030:trace:winmm:MULTIMEDIA_PlaySound pszSound='0043A1F2'\n"
        "100.012:0030:trace:winmm:proc_PlaySound SoundName=L\"sound\\\\start.wav\" !\n"
        "102.350:0044:trace:winmm:proc_PlaySound SoundName=L\"sound\\\\checkdialog.wav\" !\n"
        "104.150:0030:trace:edit:EDIT_WM_SetText L\"Please restart screen reader.\"\n"
        "104.151:0030:trace:winmm:proc_PlaySound SoundName=L\"sound\\\\restart.wav\" !\n";
    const simpc::RunReport report = simpc::ReadRun(driver, trace);
    EXPECT_TRUE(report.RanToEnd()) << report.Problem();
    EXPECT_EQ("Please restart screen reader.", report.verdict);
    EXPECT_EQ(4310, report.endMs);
    std::vector<std::string> lines;
    for (const simpc::TranscriptLine& line : report.transcript) {
        lines.push_back(std::to_string(line.ms) + " " + line.text);
    }
    EXPECT_EQ((std::vector<std::string>{
                  "0           \"Install\" pressed",
                  "12 status    \"Welcome\"",
                  "12 prompt    sound\\start.wav",
                  "1100 window    \"FTDI Driver Installation\" opened (the driver package)",
                  "2350 prompt    sound\\checkdialog.wav",
                  "4150 status    \"Please restart screen reader.\"",
                  "4151 prompt    sound\\restart.wav",
                  "4300           status box hidden",
                  "4310           Setup.exe ended (exit code 0)",
              }),
              lines);
}

TEST(RunTranscript, SaysWhyARunDidNotReachItsEnd) {
    struct Case {
        const char* driver;
        const char* problem;
    } const cases[] = {
        {"error cannot start Z:\\m\\Setup.exe (error 2)\n", "could not start Setup.exe"},
        {"5 status-shown\n20 status Welcome\ntimeout\ninstall-tick 1\n", "did not end within"},
        {"5 status-shown\n20 status Welcome\n90 exit 3\ninstall-tick 1\n",
         "ended (exit code 3) before it told its verdict"},
        {"5 status-shown\n20 status Please restart screen reader.\n90 exit 0\ninstall-tick 1\n",
         "without hiding its status box"},
    };
    for (const Case& c : cases) {
        const simpc::RunReport report = simpc::ReadRun(c.driver, "");
        EXPECT_FALSE(report.RanToEnd()) << c.driver;
        EXPECT_NE(std::string::npos, report.Problem().find(c.problem)) << report.Problem();
    }
}

TEST(RunTranscript, DropsTextsCaughtHalfChanged) {
    struct Case {
        std::vector<std::string> read;
        std::vector<std::string> settled;
    } const cases[] = {
        {{"Welcome to the wizard.", "There is no screen", "There is no screen reader."},
         {"Welcome to the wizard.", "There is no screen reader."}},
        {{"A", "B", "A"}, {"A", "B", "A"}},
        {{"Same", "Same"}, {"Same", "Same"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.settled, simpc::SettledTexts(c.read));
}

}  // namespace
