#include <gtest/gtest.h>
#include <windows.h>

#include "app/PathSplitter.h"

namespace {

struct SplitCase {
    const char* path;
    int result;
    int starts[4];
    int lengths[4];
    const char* drive;
    const char* directory;
};

class SplitTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, RecordsEachPartAndItsText) {
    const SplitCase& c = GetParam();
    PathSplitter splitter("");
    EXPECT_EQ(c.result, splitter.Split(c.path));
    for (int part = 0; part < 4; ++part) {
        EXPECT_EQ(c.starts[part], splitter.PartStart(part)) << "start of part " << part;
        EXPECT_EQ(c.lengths[part], splitter.PartLength(part)) << "length of part " << part;
    }
    EXPECT_EQ(c.drive, splitter.GetDrive());
    EXPECT_EQ(c.directory, splitter.GetDirectory());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SplitTable,
    testing::Values(
        // path, Split, starts {drive, dir, name, ext}, lengths, GetDrive, GetDirectory
        SplitCase{"D:\\setup\\x.exe", 1, {0, 2, 9, 10}, {2, 7, 1, 4}, "D:", "\\setup\\"},
        SplitCase{"E:\\x.exe", 1, {0, 2, 3, 4}, {2, 1, 1, 4}, "E:", "\\"},
        SplitCase{"setup.exe", 1, {0, -1, 0, 0}, {9, 0, 0, 0}, "setup.exe", ""},
        SplitCase{"\\\\srv\\share\\x.exe", 1, {0, 1, 12, 13}, {0, 11, 1, 4}, "", "\\srv\\share\\"},
        SplitCase{"  C:\\a\\b.txt  ", 1, {0, 2, 5, 6}, {2, 3, 1, 4}, "C:", "\\a\\"},
        SplitCase{"\t\r\nC:\\a\\b.txt\v\f", 1, {0, 2, 5, 6}, {2, 3, 1, 4}, "C:", "\\a\\"},
        SplitCase{"C:\\my.dir\\readme", 1, {0, 2, 10, 0}, {2, 8, 6, 0}, "C:", "\\my.dir\\"},
        SplitCase{"C:\\dir\\.profile", 1, {0, 2, 7, 0}, {2, 5, 8, 0}, "C:", "\\dir\\"},
        SplitCase{"C:\\a\\b.tar.gz", 1, {0, 2, 5, 10}, {2, 3, 5, 3}, "C:", "\\a\\"},
        SplitCase{"C:\\dir\\", 1, {0, 2, 7, 0}, {2, 5, 0, 0}, "C:", "\\dir\\"},
        SplitCase{"", 0, {0, 0, 0, 0}, {0, 0, 0, 0}, "", ""},
        SplitCase{"   \t ", 0, {0, 0, 0, 0}, {0, 0, 0, 0}, "", ""}));

struct JoinCase {
    const char* path;
    int lastPart;
    const char* suffix;
    int firstPart;
    const char* expected;
};

class JoinTable : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinTable, JoinsTheRunOfParts) {
    const JoinCase& c = GetParam();
    PathSplitter splitter(c.path);
    EXPECT_EQ(c.expected, splitter.JoinParts(c.lastPart, c.suffix, c.firstPart));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, JoinTable,
    testing::Values(JoinCase{"D:\\setup\\x.exe", 3, nullptr, 2, "x.exe"},
                    JoinCase{"D:\\setup\\x.exe", 3, nullptr, 0, "D:\\setup\\x.exe"},
                    JoinCase{"D:\\setup\\x.exe", 1, nullptr, 0, "D:\\setup\\"},
                    JoinCase{"D:\\setup\\x.exe", 1, "tail", 0, "D:\\setup\\tail"},
                    JoinCase{"\\\\srv\\share\\x.exe", 1, nullptr, 0, "\\\\srv\\share\\"},
                    // Clamping: 7 is taken as 3, a first part beyond the last as the last.
                    JoinCase{"D:\\setup\\x.exe", 7, nullptr, 1, "\\setup\\x.exe"},
                    JoinCase{"D:\\setup\\x.exe", 1, nullptr, 3, "\\setup\\"},
                    JoinCase{"D:\\setup\\x.exe", -4, nullptr, -1, "D:"},
                    // A run ending at an absent extension computes a negative count: empty.
                    JoinCase{"C:\\dir\\readme", 3, nullptr, 1, ""},
                    JoinCase{"setup.exe", 3, "!", 0, "!"},
                    // A run from a part that was not found is empty, not the text's front.
                    JoinCase{"setup.exe", 2, nullptr, 1, ""},
                    JoinCase{"setup.exe", 3, "!", 1, "!"}));

TEST(PathSplitter, ConstructionSplitsAndResetKeepsTheText) {
    PathSplitter splitter("  D:\\setup\\x.exe ");
    EXPECT_EQ("D:\\setup\\x.exe", splitter.Text());
    EXPECT_EQ("\\setup\\", splitter.GetDirectory());
    splitter.Reset();
    EXPECT_EQ("D:\\setup\\x.exe", splitter.Text());
    EXPECT_EQ(0, splitter.PartStart(PathSplitter::Directory));
    EXPECT_EQ(0, splitter.PartLength(PathSplitter::Drive));
}

bool CodePage932LeadByte(unsigned char byte) {
    return IsDBCSLeadByteEx(932, byte) != FALSE;
}

TEST(PathSplitter, DoubleByteTrailByteIsNeverABackslashOrADot) {
    // 0x95 0x5C is one character in code page 932 whose trail byte is the backslash byte;
    // 0x83 0x2E would be a dot byte if taken alone.
    ASSERT_TRUE(CodePage932LeadByte(0x95));
    const std::string path = "C:\\\x95\x5C\\\x83\x2E\x95\x5C";
    PathSplitter splitter(path, CodePage932LeadByte);
    EXPECT_EQ("C:", splitter.GetDrive());
    EXPECT_EQ("\\\x95\x5C\\", splitter.GetDirectory());
    EXPECT_EQ(6, splitter.PartStart(PathSplitter::Name));
    EXPECT_EQ(4, splitter.PartLength(PathSplitter::Name));
    EXPECT_EQ(0, splitter.PartLength(PathSplitter::Extension));

    // A text whose only 0x5C byte is a trail byte has no backslash at all.
    PathSplitter trimmed("x\x95\x5C", CodePage932LeadByte);
    EXPECT_EQ(-1, trimmed.PartStart(PathSplitter::Directory));
    EXPECT_EQ("x\x95\x5C", trimmed.GetDrive());
}

}  // namespace
