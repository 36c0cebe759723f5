// The Win32 tocase.exe under Wine on real temporary directories: the cases,
// and what only Windows has.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <string>
#include <vector>

#include "case_table.h"

namespace tocase {
namespace {

// Wine resolves names without regard to case, yet shows both of two names
// that the directory below holds side by side.
const std::set<std::string> wineFeatures = {"twins", "folding", "dirrenames", "ansi"};

// Wine reads Unix file names and arguments in the charset of the locale:
// UTF-8 here, whatever the caller has; with code page 1252 for Windows.
void useLocale(const char* name) {
    unsetenv("LC_ALL");
    unsetenv("LC_CTYPE");
    setenv("LANG", name, 1);
}

class UnderWine : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { useLocale("C.UTF-8"); }
};

TEST_P(UnderWine, Plays) {
    TemporaryDirectory dir;
    DirectoryLevel level(dir.path(), wineFeatures);
    if (!canPlay(level, GetParam())) GTEST_SKIP() << "needs what only POSIX file systems hold";
    playCase(level, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, UnderWine, testing::ValuesIn(allCases()), caseName);

// Wine shows the root of the POSIX file system as drive Z:.
std::string windowsPath(const std::string& posixPath) {
    std::string path = "Z:" + posixPath;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

TEST(Windows, DriveLetterAndBackslashesInThePathTyped) {
    useLocale("C.UTF-8");
    TemporaryDirectory dir;
    DirectoryLevel level(dir.path(), wineFeatures);
    level.makeDirectory("Data");
    level.makeFile("Data/README.TXT");
    const std::string prefix = windowsPath(dir.path() + "/DATA/");
    const ToolOutput result = level.run({prefix + "*.txt"});
    EXPECT_EQ(result.output, prefix + "\r\n  README.TXT -> readme.txt\r\n\r\n"
                             "1 file in 1 directory converted to lowercase.\r\n\r\n");
    EXPECT_EQ(level.tree(), (std::vector<std::string>{"Data/", "Data/readme.txt<README.TXT"}));
}

// Shift JIS, where the second byte of a character may be the code of a
// letter, and the yen sign has no exact form.
TEST(Windows, DoubleByteCodePageKeepsEveryCharacterButTheAsciiLetters) {
    if (std::system("locale -a | grep -qx ja_JP.utf8") != 0) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << "locale ja_JP.UTF-8 is missing";
        GTEST_SKIP() << "locale ja_JP.UTF-8 is missing (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)";
    }
    TemporaryDirectory dir;
    DirectoryLevel level(dir.path(), wineFeatures);
    level.makeFile("A\u00A5C.TXT");
    level.makeFile("\u30A2B.TXT");
    useLocale("ja_JP.UTF-8");
    const ToolOutput result = level.run({"*.TXT"});
    useLocale("C.UTF-8");
    EXPECT_NE(result.output.find("\r\n  A?C.TXT -> a?c.txt\r\n"), std::string::npos);
    EXPECT_NE(result.output.find("\r\n  \x83\x41" "B.TXT -> \x83\x41" "b.txt\r\n"), std::string::npos);
    EXPECT_TRUE(result.output.ends_with("\r\n2 files in 1 directory converted to lowercase.\r\n\r\n"));
    EXPECT_EQ(level.tree(), (std::vector<std::string>{"a\u00A5c.txt<A\u00A5C.TXT", "\u30A2b.txt<\u30A2B.TXT"}));
}

TEST(Windows, PathsLongerThanTheOldLimitAreConvertedAtEveryLevel) {
    useLocale("C.UTF-8");
    TemporaryDirectory dir;
    DirectoryLevel level(dir.path(), wineFeatures);
    std::string path;
    std::vector<std::string> expected = {"f.txt<F.TXT"};
    for (int depth = 0; depth < 3; ++depth) {
        path += std::string(100, 'D') + "/";
        level.makeDirectory(path);
        level.makeFile(path + "F.TXT");
        expected.push_back(path);
        expected.push_back(path + "f.txt<F.TXT");
    }
    level.makeFile("F.TXT");
    const ToolOutput result = level.run({"/R", "*.TXT"});
    EXPECT_TRUE(result.output.ends_with("\r\n4 files in 4 directories converted to lowercase.\r\n\r\n"));
    EXPECT_EQ(result.errors, "");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(level.tree(), expected);
}

}  // namespace
}  // namespace tocase
