#include "cli/report.h"

#include <gtest/gtest.h>

namespace tocase {
namespace {

RunSettings tallies(std::uint32_t converted, std::uint32_t directories, std::uint32_t failed,
                    bool directoryMode = false, bool toLower = true) {
    RunSettings s;
    s.convertedCount = converted;
    s.directoryCount = directories;
    s.failedCount = failed;
    s.directoryMode = directoryMode;
    s.toLower = toLower;
    return s;
}

TEST(SummaryLine, SingularPluralDirectoryAndCaseForms) {
    struct Case {
        RunSettings settings;
        const char* line;
    };
    const Case cases[] = {
        {tallies(1, 1, 0), "1 file in 1 directory converted to lowercase."},
        {tallies(0, 0, 0, false, false), "0 files in 0 directories converted to uppercase."},
        {tallies(1, 1, 0, true), "1 directory in 1 directory converted to lowercase."},
        {tallies(2, 3, 0, true), "2 directories in 3 directories converted to lowercase."},
        {tallies(4294967295u, 2, 0), "4294967295 files in 2 directories converted to lowercase."},
        {tallies(0, 1, 1), "0 files in 1 directory converted to lowercase."},
    };
    for (const Case& c : cases) EXPECT_EQ(summaryLine(c.settings), c.line);
}

TEST(FailureNotice, OnlyWhenRenamesFailedAndAlwaysInFileWords) {
    EXPECT_TRUE(failureNoticeLines(tallies(3, 1, 0)).empty());
    const std::vector<std::string> one = {
        "", "Process failed at 1 file. Perhaps this file is in process by another",
        "application. Close these applications and try again..."};
    EXPECT_EQ(failureNoticeLines(tallies(0, 1, 1)), one);
    EXPECT_EQ(failureNoticeLines(tallies(0, 1, 1, true)), one);
    EXPECT_EQ(failureNoticeLines(tallies(0, 1, 2))[1],
              "Process failed at 2 files. Perhaps this files are in process by another");
}

TEST(HelpScreen, FixedLinesIndentsAndColumns) {
    const std::vector<std::string> lines = helpScreenLines();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[0].rfind("TOCASE v1.1 for Win32", 0), 0u);
    for (int i : {1, 2}) {
        EXPECT_EQ(lines[i].substr(0, 26), std::string(26, ' '));
        EXPECT_NE(lines[i][26], ' ');
    }
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "TOCASE converts filenames to uppercase or lowercase");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "Syntax: tocase filespec [/D] [/L | /U] [/MIXED] [/R] [/?]");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "  filespec  : any file or wildcards");
    EXPECT_EQ(lines[9], "  /D        : converts directory names instead of file names");
    EXPECT_EQ(lines[10], "  /L        : converts to lowercase (standard)");
    EXPECT_EQ(lines[11], "  /U        : converts to uppercase");
    EXPECT_EQ(lines[12], "  /MIXED    : converts also mixed filenames like \"AbCd.EfG\".");
    EXPECT_EQ(lines[13], "              Attention: this can't be undone...");
    EXPECT_EQ(lines[14], "  /R        : recurses subdirs");
    EXPECT_EQ(lines[15], "  /?        : help (this page)");
    for (int i : {8, 9, 10, 11, 12, 14, 15}) EXPECT_EQ(lines[i].find(':'), 12u) << i;
}

}  // namespace
}  // namespace tocase
