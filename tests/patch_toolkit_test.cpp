#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/AnsiText.h"
#include "patchers/PatchToolkit.h"
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

// The same folder however it is written: the system's own resolution decides, by the folder's
// identity where it can open folders, else by the resolved path (Windows 9x; missing folders).
TEST(IsSameFolder, DecidesAsTheFileSystemDoes) {
    TempDir folder;
    const std::string jaws = folder / "Freedom Scientific\\JAWS\\2025";
    MakeFolders(jaws);
    MakeFolders(folder / "Freedom Scientific\\JAWS\\13.0");
    std::vector<char> shortName(32768, 0);
    ::GetShortPathNameA(jaws.c_str(), shortName.data(), 32768);
    std::string upper = jaws;
    for (char& c : upper) c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    const std::string missing = folder / "Freedom Scientific\\JAWS\\2026";
    const struct {
        const char* name;
        std::string other;
        bool same;
    } rows[] = {
        {"closing backslash", jaws + "\\", true},
        {"letter case", upper, true},
        {"doubled separator", folder / "Freedom Scientific\\\\JAWS\\2025", true},
        {"dot parts", folder / "Freedom Scientific\\.\\JAWS\\13.0\\..\\2025\\", true},
        {"short 8.3 name", shortName.data(), true},
        {"another folder", folder / "Freedom Scientific\\JAWS\\13.0", false},
        {"a missing folder", missing, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.same, IsSameFolder(jaws, row.other)) << row.other;
    }
    // Only the folder's identity knows one folder under two drives: Wine's Z: is the host's
    // root, where the prefix's C: is a folder too.
    std::string prefix;
    if (Registry::EnvironmentValue("WINEPREFIX", prefix) && jaws.compare(0, 3, "C:\\") == 0) {
        std::replace(prefix.begin(), prefix.end(), '/', '\\');
        const std::string alias = "Z:" + prefix + "\\drive_c" + jaws.substr(2);
        EXPECT_TRUE(IsSameFolder(jaws, alias)) << alias;
    } else {
        std::printf("skipped \"another drive\": not a Wine prefix on C:\n");
    }
    // Where no identity can be had, the resolved paths decide.
    EXPECT_TRUE(IsSameFolder(missing, folder / "Freedom Scientific\\\\JAWS\\.\\2026\\"));
    EXPECT_TRUE(AnsiText::EqualIgnoringCase(jaws, ResolvedFolderPath(shortName.data())))
        << shortName.data();
}

// A stored folder is expanded with the %ProgramFiles% of the program that wrote it: on 64-bit
// Windows the variables of the value's view, whoever reads it.
bool StandInEnvironment(const std::string& name, std::string& value) {
    const std::pair<const char*, const char*> variables[] = {
        {"ProgramFiles", "C:\\Own Programs"},
        {"ProgramW6432", "C:\\Program Files"},
        {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
        {"CommonProgramFiles", "C:\\Own Programs\\Common Files"},
        {"CommonProgramW6432", "C:\\Program Files\\Common Files"},
        {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
        {"SystemDrive", "C:"},
    };
    for (const auto& variable : variables) {
        if (AnsiText::EqualIgnoringCase(name, variable.first)) {
            value = variable.second;
            return true;
        }
    }
    return false;
}

TEST(RegistryExpandVariables, ExpandsAsTheProgramOfTheValuesViewWould) {
    using Registry::View;
    const struct {
        const char* name;
        const char* text;
        bool windows64;
        View view;
        const char* expected;  // nullptr: cannot be expanded
        const char* unset = "";
    } rows[] = {
        {"64-bit view", "%ProgramFiles%\\JAWS\\", true, View::k64Bit, "C:\\Program Files\\JAWS\\"},
        {"32-bit view", "%ProgramFiles%\\JAWS", true, View::k32Bit, "C:\\Program Files (x86)\\JAWS"},
        {"32-bit Windows", "%ProgramFiles%\\JAWS", false, View::k32Bit, "C:\\Own Programs\\JAWS"},
        {"common files, 64-bit view", "%commonprogramfiles%\\FS", true, View::k64Bit,
         "C:\\Program Files\\Common Files\\FS"},
        {"common files, 32-bit view", "%CommonProgramFiles%\\FS", true, View::k32Bit,
         "C:\\Program Files (x86)\\Common Files\\FS"},
        {"other variables as named", "%SystemDrive%\\JAWS", true, View::k64Bit, "C:\\JAWS"},
        {"a lone percent sign", "C:\\100% JAWS", true, View::k64Bit, "C:\\100% JAWS"},
        {"an unset variable", "%SystemDrive%\\%JawsHome%\\JAWS", true, View::k64Bit, nullptr,
         "JawsHome"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string expanded;
        std::string unset;
        EXPECT_EQ(row.expected != nullptr,
                  Registry::ExpandVariables(row.text, row.windows64, row.view, StandInEnvironment,
                                            expanded, unset));
        EXPECT_EQ(row.expected != nullptr ? row.expected : "", expanded);
        EXPECT_EQ(row.unset, unset);
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string source = folder / "source.ini";
        const std::string target = folder / "target.ini";
        WriteTextFile(source, row.source);
        if (row.target != nullptr) WriteTextFile(target, row.target);
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
        if (row.target != nullptr && std::string(row.target).find("[Other]") != std::string::npos) {
            EXPECT_EQ("1", Value(target, "Other", "A"));
        }
    }
}

}  // namespace
