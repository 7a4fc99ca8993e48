#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"

using testing_support::FileExists;
using testing_support::MakeFolders;
using testing_support::OpenDialog;
using testing_support::PumpUntil;
using testing_support::ReadTextFile;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

namespace {

// A copy of the medium's stand-in uninstaller, which logs its own start, removed afterwards.
class PlantedProgram {
public:
    explicit PlantedProgram(const std::string& path) : path(path) {
        MakeFolders(path.substr(0, path.find_last_of('\\')));
        const std::string helper =
            testing_support::MediumFolder() + "\\Driver\\vista\\FTDIUNIN.exe";
        if (!::CopyFileA(helper.c_str(), path.c_str(), FALSE)) {
            ADD_FAILURE() << "cannot plant " << path;
        }
    }
    ~PlantedProgram() {
        // A started copy may still be on its way out.
        for (int attempt = 0; attempt < 50 && FileExists(path); ++attempt) {
            if (!::DeleteFileA(path.c_str())) ::Sleep(100);
        }
    }

private:
    std::string path;
};

struct Start {
    std::string program;      // the started program's own path
    std::string commandLine;  // as it was given
    std::string show;         // how its window was to be shown: "show 5" for SW_SHOW
};

bool SamePath(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    ::GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

// A medium whose folder name has a blank, uninstallers planted where each family's comes
// from, and a decoy where an unquoted command line would lead first.
class DriverRemoval : public ::testing::Test {
protected:
    DriverRemoval()
        : log(temp / "starts.log"),
          logVariable("LUMI_STANDIN_LOG", log),
          medium(temp / "my medium"),
          systemRoot(temp / "WINDOWS"),
          vista(medium + "\\driver\\vista\\FTDIUNIN.exe"),
          nineEightMe(medium + "\\driver\\98&me\\FTDIUNIN.exe"),
          system(systemRoot + "\\system32\\ftdiunin.exe"),
          decoy(temp / "my.exe") {}

    // Sends the dialog command 1002 with the given OsKind and ProgramDir.
    void RemoveWith(int osKind, const std::string& programDir, WORD notification = 0) {
        OpenDialog dialog;
        dialog->OsKind = osKind;
        dialog->ProgramDir = programDir;
        ::SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND,
                       MAKEWPARAM(ID_REMOVE_DRIVER, notification), 0);
    }

    std::vector<Start> Starts() const {
        std::vector<Start> starts;
        const std::string text = ReadTextFile(log);
        size_t begin = 0;
        for (size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
            // "uninstaller <own path> | <command line> | show <n>"
            const std::string line = text.substr(begin, end - begin);
            const size_t role = line.find(' ') + 1;
            const size_t bar = line.find(" | ");
            const size_t show = line.rfind(" | ");
            starts.push_back({line.substr(role, bar - role), line.substr(bar + 3, show - bar - 3),
                              line.substr(show + 3)});
        }
        return starts;
    }

    // Waits for the first start to be logged.
    std::vector<Start> AwaitStart() const {
        PumpUntil([&] { return !Starts().empty(); }, 15000);
        return Starts();
    }

    TempDir temp;
    std::string log;
    ScopedEnvironment logVariable;
    std::string medium;
    std::string systemRoot;
    std::string programDir = medium + "\\";
    PlantedProgram vista;
    PlantedProgram nineEightMe;
    PlantedProgram system;
    PlantedProgram decoy;
};

TEST_F(DriverRemoval, StartsTheUninstallerOfTheWindowsFamily) {
    struct Row {
        int osKind;
        std::string programDir;
        std::string program;
    };
    // The medium paths keep ProgramDir's own backslash: the doubled one counts as one.
    const Row rows[] = {
        {2, std::string(), systemRoot + "\\system32\\ftdiunin.exe"},
        {2, programDir, systemRoot + "\\system32\\ftdiunin.exe"},
        {1, programDir, programDir + "\\driver\\98&me\\FTDIUNIN.exe"},
        {4, programDir, programDir + "\\driver\\vista\\FTDIUNIN.exe"},
    };
    ScopedEnvironment root("SYSTEMROOT", systemRoot);
    for (const Row& row : rows) {
        SCOPED_TRACE("OsKind " + std::to_string(row.osKind) + ", ProgramDir '" + row.programDir +
                     "'");
        ::DeleteFileA(log.c_str());
        RemoveWith(row.osKind, row.programDir);
        const std::vector<Start> starts = AwaitStart();
        ASSERT_EQ(1u, starts.size());
        // Quoted whole: the blank in the medium's folder name must not start the decoy.
        EXPECT_EQ("\"" + row.program + "\"", starts[0].commandLine);
        // The uninstaller asks the user, so its window must be seen.
        EXPECT_EQ("show " + std::to_string(SW_SHOW), starts[0].show);
        char full[MAX_PATH] = {};
        ::GetFullPathNameA(row.program.c_str(), MAX_PATH, full, nullptr);
        EXPECT_TRUE(SamePath(full, starts[0].program)) << starts[0].program;
    }
}

TEST_F(DriverRemoval, WithoutSystemRootNtUsesTheSystemFolder) {
    const std::string program = SystemFolder() + "\\ftdiunin.exe";
    ASSERT_FALSE(FileExists(program)) << "the prefix already has an uninstaller";
    PlantedProgram planted(program);
    ScopedEnvironment root("SYSTEMROOT", std::string());
    ASSERT_EQ(nullptr, std::getenv("SYSTEMROOT"));

    RemoveWith(2, programDir);
    const std::vector<Start> starts = AwaitStart();
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ("\"" + program + "\"", starts[0].commandLine);
}

TEST_F(DriverRemoval, StartsNothingWithoutAnUninstallerForTheCase) {
    ScopedEnvironment root("SYSTEMROOT", systemRoot);
    struct Row {
        const char* why;
        int osKind;
        std::string programDir;
        WORD notification;
    };
    const Row rows[] = {
        {"Win32s", 3, programDir, 0},
        {"unclassified", 0, programDir, 0},
        {"unknown family", 5, programDir, 0},
        {"no medium (95/98/ME)", 1, std::string(), 0},
        {"no medium (version 6)", 4, std::string(), 0},
        {"a notification, not a command", 4, programDir, 1},
    };
    for (const Row& row : rows) RemoveWith(row.osKind, row.programDir, row.notification);
    PumpUntil([] { return false; }, 2000);
    EXPECT_TRUE(Starts().empty()) << "started " << Starts()[0].commandLine;

    // The same set-up does show a start, so the silence above means something.
    RemoveWith(4, programDir);
    EXPECT_EQ(1u, AwaitStart().size());
}

}  // namespace
