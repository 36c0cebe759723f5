// The Win32 tocase.exe under Wine on real temporary directories: standard
// output byte for byte, and the tree afterwards.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

#include "tool_fixture.h"

namespace tocase {
namespace {


// Wine shows the root of the POSIX file system as drive Z:.
std::string windowsPath(const std::string& posixPath) {
    std::string path = "Z:" + posixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

using UnderWine = InTemporaryDirectory;

TEST_F(UnderWine, HelpScreenWithCrLfOnly) {
    const std::string out = run({"/?"});
    EXPECT_TRUE(out.starts_with("TOCASE v1.1 for Win32"));
    EXPECT_TRUE(out.ends_with("  /?        : help (this page)\r\n\r\n"));
    EXPECT_EQ(out.find("\r\r"), std::string::npos);
    EXPECT_EQ(run({}), out);
}

TEST_F(UnderWine, CaseOnlyRenameReallyChangesTheName) {
    file("README.TXT", "readme");
    file("B.TXT", "b");
    file("Mixed.Txt", "mixed");
    // Two matches: the C runtime must not expand the pattern itself.
    const std::string out = run({"*.TXT"});
    EXPECT_TRUE(out.starts_with(".\\\r\n"));
    EXPECT_NE(out.find("\r\n  README.TXT -> readme.txt\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n  B.TXT -> b.txt\r\n"), std::string::npos);
    EXPECT_TRUE(out.ends_with(crlfLines({"", "2 files in 1 directory converted to lowercase.", ""})));
    EXPECT_EQ(tree(), "Mixed.Txt = mixed\nb.txt = b\nreadme.txt = readme\n");
    run({"/U", "/MIXED", "*"});
    EXPECT_EQ(tree(), "B.TXT = b\nMIXED.TXT = mixed\nREADME.TXT = readme\n");
}

TEST_F(UnderWine, DriveLetterAndBackslashes) {
    directory("Data");
    file("Data/README.TXT", "readme");
    const std::string prefix = windowsPath(path("Data/"));
    EXPECT_EQ(run({prefix + "*.txt"}),
              crlfLines({prefix, "  README.TXT -> readme.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "Data/\nData/readme.txt = readme\n");
}

TEST_F(UnderWine, RecursionHeadersAndHiddenDirectories) {
    directory("B");
    file("B/X.TXT", "x");
    file("Y.TXT", "y");
    directory("HID");
    file("HID/Z.TXT", "z");
    ASSERT_EQ(std::system(("cd '" + dir_.path() + "' && wine attrib +h HID >/dev/null 2>&1").c_str()), 0);
    const std::string out = run({"/R", "*.TXT"});
    EXPECT_EQ(out, crlfLines({"B\\", "  X.TXT -> x.txt", ".\\", "  Y.TXT -> y.txt", "",
                          "2 files in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(run({"/R", "/D", "*"}),
              crlfLines({".\\", "  B -> b", "  HID -> hid", "",
                     "2 directories in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "b/\nb/x.txt = x\nhid/\nhid/Z.TXT = z\ny.txt = y\n");
}

TEST_F(UnderWine, NeverReplacesAnotherEntry) {
    file("README.TXT", "upper");
    file("readme.txt", "lower");
    const std::string out = run({"README.TXT"});
    EXPECT_NE(out.find("  README.TXT -> readme.txt *** FAILED\r\n"), std::string::npos);
    EXPECT_TRUE(out.ends_with("application. Close these applications and try again...\r\n\r\n"));
    EXPECT_EQ(tree(), "README.TXT = upper\nreadme.txt = lower\n");
}

}  // namespace
}  // namespace tocase
