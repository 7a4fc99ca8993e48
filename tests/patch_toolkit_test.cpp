#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/AnsiText.h"
#include "install/InstallLog.h"
#include "patchers/PatchToolkit.h"
#include "tests/support/ImportHook.h"
#include "tests/support/TestSupport.h"
#include "tools/machine/Machine.h"

using namespace testing_support;

namespace {

// Only the read-only bit goes: a user's hidden or system file stays hidden or system. A copy
// never ends read-only, even from a CD, whose files keep the bit whatever is asked of them.
TEST(CopyClearingReadOnly, OverwritesWhateverTheReadOnlyBitsAndLeavesTheCopyWritable) {
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    struct Row {
        const char* name;
        bool sourceExists;
        bool sourceReadOnly;
        const char* oldTarget;  // nullptr: no target yet
        bool targetReadOnly;
        int expected;
        DWORD otherBits = 0;  // the read-only files' other bits
        bool sourceOnCd = false;
    } rows[] = {
        {"new target", true, false, nullptr, false, 1},
        {"read-only source", true, true, nullptr, false, 1, kHiddenSystem},
        {"read-only target", true, false, "old", true, 1},
        {"both read-only", true, true, "old", true, 1},
        // The target stays as it was but for its read-only bit.
        {"missing source", false, false, "old", true, 0, kHiddenSystem},
        {"source on a CD", true, true, nullptr, false, 1, kHiddenSystem, true},
        {"source on a CD over a read-only target", true, true, "old", true, 1, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        MakeFolders(folder / "medium");
        const std::string source = folder / "medium\\source.bin";
        const std::string target = folder / "target.bin";
        const DWORD readOnly = FILE_ATTRIBUTE_READONLY | row.otherBits;
        if (row.sourceExists) WriteTextFile(source, "new");
        if (row.sourceReadOnly) ::SetFileAttributesA(source.c_str(), readOnly);
        if (row.oldTarget != nullptr) WriteTextFile(target, row.oldTarget);
        if (row.targetReadOnly) ::SetFileAttributesA(target.c_str(), readOnly);
        std::string problem;
        if (row.sourceOnCd && !machine::MountReadOnly(folder / "medium", problem)) {
            std::printf("skipped \"%s\": %s\n", row.name, problem.c_str());
            continue;
        }

        EXPECT_EQ(row.expected, CopyClearingReadOnly(source, target));
        const auto bits = [&](const std::string& file) {
            return ::GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_READONLY | kHiddenSystem);
        };
        if (row.sourceOnCd) {
            EXPECT_EQ(readOnly, bits(source)) << "the CD's file changed";
            machine::Unmount(folder / "medium");
        }
        EXPECT_EQ(row.expected == 1 ? "new" : row.oldTarget, ReadTextFile(target));
        if (row.sourceReadOnly && !row.sourceOnCd) {
            EXPECT_EQ(row.otherBits, bits(source));
        }
        if (row.targetReadOnly && row.expected == 0) {
            EXPECT_EQ(row.otherBits, bits(target));
        }
        if (row.expected == 1) {
            // The copy has the source's bits but the read-only one.
            EXPECT_EQ(row.sourceReadOnly ? row.otherBits : 0, bits(target));
        }
        if (row.sourceExists && !row.sourceOnCd) {
            EXPECT_FALSE(IsReadOnly(source));
        }
    }
}

TEST(IsExistingDirectory, LooksAtThePathItself) {
    TempDir folder;
    MakeFolders(folder / "sub");
    WriteTextFile(folder / "file.txt", "x");
    EXPECT_EQ(1, IsExistingDirectory(folder / "sub"));
    EXPECT_EQ(0, IsExistingDirectory(folder / "file.txt"));
    EXPECT_EQ(0, IsExistingDirectory(folder / "missing"));
}

// One folder however it is written, as the system resolves it: by the folder's identity where it
// can open folders, else (Windows 9x, missing folders) by the resolved path.
TEST(IsSameFolder, DecidesAsTheFileSystemDoes) {
    TempDir folder;
    const std::string jaws = folder / "Freedom Scientific\\JAWS\\2025";
    MakeFolders(folder / "Freedom Scientific\\JAWS\\13.0");
    MakeFolders(jaws);
    std::vector<char> shortName(32768, 0);
    ::GetShortPathNameA(jaws.c_str(), shortName.data(), 32768);
    const std::string missing = folder / "Freedom Scientific\\JAWS\\2026";
    std::string prefix;  // Wine's Z: is the host's root, so the prefix's C: is there as well
    const bool wine = Registry::EnvironmentValue("WINEPREFIX", prefix) && jaws[0] == 'C';
    std::replace(prefix.begin(), prefix.end(), '/', '\\');
    const std::pair<std::string, bool> rows[] = {
        {folder / "FREEDOM SCIENTIFIC\\\\JAWS\\.\\13.0\\..\\2025\\", true},
        {shortName.data(), true},
        {wine ? "Z:" + prefix + "\\drive_c" + jaws.substr(2) : jaws, true},
        {folder / "Freedom Scientific\\JAWS\\13.0", false},
        {missing, false},
    };
    for (const auto& [other, same] : rows) EXPECT_EQ(same, IsSameFolder(jaws, other)) << other;
    EXPECT_TRUE(IsSameFolder(missing, folder / "Freedom Scientific\\\\JAWS\\.\\2026\\"));
    EXPECT_TRUE(AnsiText::EqualIgnoringCase(jaws, ResolvedFolderPath(shortName.data())));
}

// On 64-bit Windows a stored %ProgramFiles% means the folder of the programs of the value's view.
bool NamedEnvironment(const std::string& name, std::string& value) {
    if (name == "Unset") return false;
    value = "<" + name + ">";
    return true;
}

TEST(RegistryExpandVariables, ExpandsAsTheProgramOfTheValuesViewWould) {
    using Registry::View;
    const struct {
        const char* text;
        bool windows64;
        View view;
        const char* expected;  // empty: cannot be expanded
    } rows[] = {
        {"%ProgramFiles%\\JAWS\\", true, View::k64Bit, "<ProgramW6432>\\JAWS\\"},
        {"%ProgramFiles%\\JAWS", true, View::k32Bit, "<ProgramFiles(x86)>\\JAWS"},
        {"%programfiles%\\JAWS", false, View::k64Bit, "<programfiles>\\JAWS"},
        {"%commonprogramfiles%%X%", true, View::k64Bit, "<CommonProgramW6432><X>"},
        {"%CommonProgramFiles%", true, View::k32Bit, "<CommonProgramFiles(x86)>"},
        {"C:\\100% JAWS", true, View::k64Bit, "C:\\100% JAWS"},
        {"%X%\\%Unset%\\JAWS", true, View::k64Bit, ""},
    };
    for (const auto& row : rows) {
        std::string expanded;
        std::string unset;
        EXPECT_EQ(*row.expected != '\0',
                  Registry::ExpandVariables(row.text, row.windows64, row.view, NamedEnvironment,
                                            expanded, unset));
        EXPECT_EQ(row.expected, expanded) << row.text;
        EXPECT_EQ(*row.expected != '\0' ? "" : "Unset", unset);
    }
}

std::string Value(const std::string& file, const char* section, const char* key) {
    std::vector<char> buffer(1024, 0);
    ::GetPrivateProfileStringA(section, key, "", buffer.data(), 1024, file.c_str());
    return buffer.data();
}

TEST(TransplantSectionIfAbsent, FillsOnlyAMissingOrEmptySection) {
    std::string longSection = "[Display]\r\n";
    for (int i = 0; i < 300; ++i) {
        longSection += "Line" + std::to_string(i) + "=a value long enough to pass 4096\r\n";
    }
    struct Row {
        const char* name;
        std::string source;
        const char* target;  // nullptr: no target file
        const char* key;     // read back from the target's section
        const char* expected;
        bool held = false;  // the target is held open by its program: the write is refused
        bool readOnly = false;
    } rows[] = {
        // An empty section in a reader's file would only look like the display's.
        {"source without the section", "[Other]\r\nB=2\r\n", "[Other]\r\nA=1\r\n", "Cells", ""},
        {"source with the section empty", "[Display]\r\n[Other]\r\nB=2\r\n", "[Other]\r\nA=1\r\n",
         "Cells", ""},
        {"target file missing", "[Display]\r\nCells=40\r\n", nullptr, "Cells", "40"},
        {"section missing", "[Display]\r\nCells=40\r\n", "[Other]\r\nA=1\r\n", "Cells", "40"},
        {"empty section", "[Display]\r\nCells=40\r\n", "[Display]\r\n[Other]\r\nA=1\r\n", "Cells",
         "40"},
        {"differing section left alone", "[Display]\r\nCells=40\r\n", "[Display]\r\nCells=80\r\n",
         "Cells", "80"},
        {"long section carried whole", longSection, nullptr, "Line299",
         "a value long enough to pass 4096"},
        {"target held by its program", "[Display]\r\nCells=40\r\n", "[Other]\r\nA=1\r\n", "Cells",
         "", true},
        // Windows refuses profile writes to a read-only file.
        {"read-only target", "[Display]\r\nCells=40\r\n", "[Other]\r\nA=1\r\n", "Cells", "40",
         false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string source = folder / "source.ini";
        const std::string target = folder / "target.ini";
        WriteTextFile(source, row.source);
        if (row.target != nullptr) WriteTextFile(target, row.target);
        if (row.readOnly) SetReadOnly(target);
        UniqueFile held;
        if (row.held) {
            held.Reset(::CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held.IsValid());
        }

        const bool sourceHasLines = row.source.find("Cells") != std::string::npos ||
                                    row.source.find("Line") != std::string::npos;
        EXPECT_EQ(!row.held && sourceHasLines,
                  TransplantSectionIfAbsent("Display", source, target));
        held.Reset();
        if (!sourceHasLines) {
            EXPECT_EQ(row.target, ReadTextFile(target)) << "the target was written";
        }

        EXPECT_EQ(row.expected, Value(target, "Display", row.key));
        if (row.readOnly) {
            EXPECT_FALSE(IsReadOnly(target)) << "written, and left read-only";
        }
        if (row.target != nullptr && std::string(row.target).find("[Other]") != std::string::npos) {
            EXPECT_EQ("1", Value(target, "Other", "A"));
        }
    }
}

// What the run's log says: the log of a run opened in a folder of the test's own.
class RunLog {
public:
    RunLog() { EXPECT_TRUE(log.Open("9.8.7.6")); }
    std::string Text() const { return ReadTextFile(folder / "Lumitactile Setup.log"); }

private:
    TempDir folder;
    ScopedEnvironment tmp{"TMP", folder.Path()};
    InstallLog log;
};

// A file that is gone already was not "failed to delete": it is logged as absent.
TEST(DeleteClearingReadOnly, DeletesAnyFileAndTellsOneThatIsNotThere) {
    const struct {
        const char* name;
        bool exists;
        bool readOnly;
        const char* logged;
    } rows[] = {{"a file", true, false, "deleted "},
                {"a read-only file", true, true, "deleted "},
                {"no file", false, false, "is not there: nothing to delete"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string file = folder / "QTL1.bk0";
        if (row.exists) WriteTextFile(file, "old");
        if (row.readOnly) SetReadOnly(file);
        RunLog log;
        EXPECT_TRUE(DeleteClearingReadOnly(file));
        EXPECT_FALSE(FileExists(file));
        EXPECT_NE(std::string::npos, log.Text().find(row.logged)) << log.Text();
        EXPECT_EQ(std::string::npos, log.Text().find("failed")) << log.Text();
    }
}

// Windows' profile functions, as far as a UTF-8 mark goes: they take the mark's bytes for the
// start of the first line, so a section header right after it is not seen. Wine's skip the mark
// (and drop the line break after it when they rewrite a file), so the stand-in looks at the
// file's bytes at every profile call the product makes through this program's imports, and
// records each call that Windows would make without seeing the file's first section.
std::vector<std::string> blindCalls;  // the files of the calls Windows would make blind
void* platformCalls[4];
void Look(LPCSTR file) {
    const std::string bytes = ReadTextFile(file);
    const size_t text = bytes.find_first_not_of(" \t", 3);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 && text != std::string::npos && bytes[text] == '[') {
        blindCalls.push_back(file);
    }
}
DWORD WINAPI ReadString(LPCSTR s, LPCSTR k, LPCSTR d, LPSTR b, DWORD n, LPCSTR f) {
    Look(f);
    return reinterpret_cast<decltype(&ReadString)>(platformCalls[0])(s, k, d, b, n, f);
}
DWORD WINAPI ReadSection(LPCSTR s, LPSTR b, DWORD n, LPCSTR f) {
    Look(f);
    return reinterpret_cast<decltype(&ReadSection)>(platformCalls[1])(s, b, n, f);
}
BOOL WINAPI WriteString(LPCSTR s, LPCSTR k, LPCSTR v, LPCSTR f) {
    Look(f);
    return reinterpret_cast<decltype(&WriteString)>(platformCalls[2])(s, k, v, f);
}
BOOL WINAPI WriteSection(LPCSTR s, LPCSTR l, LPCSTR f) {
    Look(f);
    return reinterpret_cast<decltype(&WriteSection)>(platformCalls[3])(s, l, f);
}
struct WindowsProfileCalls {
    WindowsProfileCalls() {
        blindCalls.clear();
        for (int i = 0; i < 4; ++i) platformCalls[i] = hooks[i].Original();
    }
    ScopedImportHook hooks[4] = {
        {"kernel32.dll", "GetPrivateProfileStringA", reinterpret_cast<void*>(&ReadString)},
        {"kernel32.dll", "GetPrivateProfileSectionA", reinterpret_cast<void*>(&ReadSection)},
        {"kernel32.dll", "WritePrivateProfileStringA", reinterpret_cast<void*>(&WriteString)},
        {"kernel32.dll", "WritePrivateProfileSectionA", reinterpret_cast<void*>(&WriteSection)}};
};

// A settings file that starts with a UTF-8 mark and a section right after it: whichever read or
// write of the toolkit comes first, Windows then sees that section, each section once, the mark
// and the rest kept. A file Windows sees whole already is never touched by a read.
TEST(Ini, ASectionRightAfterAUtf8MarkIsSeenByWindowsAndNeverWrittenTwice) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string list = "[list]\r\nItem1=ALVA\r\n[Other]\r\nA=1\r\n";
    enum First { kRead, kWriteValue, kWriteSection, kTransplant };
    const struct {
        const char* name;
        std::string before;
        std::string afterRead;  // the bytes after a first read
        First first = kRead;
        bool readOnly = false;
    } rows[] = {
        {"mark, then the section", mark + list, mark + "\r\n" + list},
        {"mark, blanks, then the section", mark + "  " + list, mark + "\r\n  " + list},
        {"read-only, mark, then the section", mark + list, mark + "\r\n" + list, kRead, true},
        {"mark, then a comment", mark + ";c\r\n" + list, mark + ";c\r\n" + list},
        {"no mark", list, list},
        {"mark, then the section, written first", mark + list, "", kWriteValue},
        {"read-only, written first", list, "", kWriteValue, true},
        {"mark, then the section, written whole first", mark + list, "", kWriteSection},
        {"mark, then the section, transplanted first", mark + list, mark + "\r\n" + list,
         kTransplant},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string file = folder / "braille.ini";
        WriteTextFile(file, row.before);
        if (row.readOnly) SetReadOnly(file);
        RunLog log;
        WindowsProfileCalls windows;
        switch (row.first) {
            case kRead:
                EXPECT_EQ("ALVA", Ini::ReadValue(file, "list", "Item1"));
                break;
            case kWriteValue:
                EXPECT_TRUE(Ini::WriteValue(file, "list", "Item2", "Lumitactile"));
                EXPECT_FALSE(IsReadOnly(file));
                break;
            case kWriteSection:
                EXPECT_TRUE(Ini::WriteSection(file, "list",
                                              std::string("Item1=ALVA\0Item2=Lumitactile\0", 30)));
                break;
            case kTransplant:
                EXPECT_TRUE(TransplantSectionIfAbsent("list", file, file));
                break;
        }
        if (!row.afterRead.empty()) {
            EXPECT_EQ(row.afterRead, ReadTextFile(file)) << "Windows does not see the section";
            EXPECT_EQ(row.afterRead != row.before,
                      log.Text().find("wrote a line break after the UTF-8 mark of ") !=
                          std::string::npos)
                << log.Text();
        }

        EXPECT_TRUE(Ini::WriteValue(file, "list", "Item2", "Lumitactile"));
        EXPECT_TRUE(Ini::WriteSection(file, "Lumitactile", std::string("Cells=40\0", 9)));
        EXPECT_EQ(std::vector<std::string>{}, blindCalls);
        EXPECT_EQ(row.before.compare(0, 3, mark) == 0, ReadTextFile(file).compare(0, 3, mark) == 0);
        EXPECT_EQ("ALVA", Value(file, "list", "Item1"));
        EXPECT_EQ("Lumitactile", Value(file, "list", "Item2"));
        EXPECT_EQ(std::string::npos, ReadTextFile(file).find("[list]", 10)) << "written twice";
        EXPECT_FALSE(IsReadOnly(file));
    }
}

}  // namespace
