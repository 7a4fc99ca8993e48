#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "patchers/PatchToolkit.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

TEST(CopyClearingReadOnly, OverwritesWhateverTheReadOnlyBits) {
    struct Row {
        const char* name;
        bool sourceExists;
        bool sourceReadOnly;
        const char* oldTarget;  // nullptr: no target yet
        bool targetReadOnly;
        int expected;
    } rows[] = {
        {"new target", true, false, nullptr, false, 1},
        {"read-only source", true, true, nullptr, false, 1},
        {"read-only target", true, false, "old", true, 1},
        {"both read-only", true, true, "old", true, 1},
        {"missing source", false, false, "old", true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string source = folder / "source.bin";
        const std::string target = folder / "target.bin";
        if (row.sourceExists) WriteTextFile(source, "new");
        if (row.sourceReadOnly) SetReadOnly(source);
        if (row.oldTarget != nullptr) WriteTextFile(target, row.oldTarget);
        if (row.targetReadOnly) SetReadOnly(target);

        EXPECT_EQ(row.expected, CopyClearingReadOnly(source, target));
        EXPECT_EQ(row.expected == 1 ? "new" : row.oldTarget, ReadTextFile(target));
        if (row.sourceExists) {
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
    } rows[] = {
        {"target file missing", "[Display]\r\nCells=40\r\n", nullptr, "Cells", "40"},
        {"section missing", "[Display]\r\nCells=40\r\n", "[Other]\r\nA=1\r\n", "Cells", "40"},
        {"empty section", "[Display]\r\nCells=40\r\n", "[Display]\r\n[Other]\r\nA=1\r\n", "Cells",
         "40"},
        {"differing section left alone", "[Display]\r\nCells=40\r\n", "[Display]\r\nCells=80\r\n",
         "Cells", "80"},
        {"long section carried whole", longSection, nullptr, "Line299",
         "a value long enough to pass 4096"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        const std::string source = folder / "source.ini";
        const std::string target = folder / "target.ini";
        WriteTextFile(source, row.source);
        if (row.target != nullptr) WriteTextFile(target, row.target);

        EXPECT_TRUE(TransplantSectionIfAbsent("Display", source, target));

        EXPECT_EQ(row.expected, Value(target, "Display", row.key));
        if (row.target != nullptr && std::string(row.target).find("[Other]") != std::string::npos) {
            EXPECT_EQ("1", Value(target, "Other", "A"));
        }
    }
}

}  // namespace
