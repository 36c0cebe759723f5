// The built binary on real temporary directories: standard output byte for
// byte, and the tree afterwards, contents included.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace tocase {
namespace {


using EndToEnd = InTemporaryDirectory;

const std::string helpScreen = crlfLines({
    "TOCASE v1.1 for Win32 and POSIX - file names to lowercase or uppercase",
    "                          Free software, provided as is, without any warranty.",
    "                          Report problems on the project's issue tracker.",
    "",
    "TOCASE converts filenames to uppercase or lowercase",
    "",
    "Syntax: tocase filespec [/D] [/L | /U] [/MIXED] [/R] [/?]",
    "",
    "  filespec  : any file or wildcards",
    "  /D        : converts directory names instead of file names",
    "  /L        : converts to lowercase (standard)",
    "  /U        : converts to uppercase",
    "  /MIXED    : converts also mixed filenames like \"AbCd.EfG\".",
    "              Attention: this can't be undone...",
    "  /R        : recurses subdirs",
    "  /?        : help (this page)",
    "",
});

const std::string noConversions = crlfLines({"", "0 files in 0 directories converted to lowercase.", ""});

TEST_F(EndToEnd, HelpScreenWithoutFileSpecOrWithHelpOption) {
    file("A.TXT");
    EXPECT_EQ(run({}), helpScreen);
    EXPECT_EQ(run({"-?", "*.TXT"}), helpScreen);
    EXPECT_EQ(run({"+h"}), helpScreen);
    EXPECT_EQ(run({"/R"}), helpScreen);
    EXPECT_EQ(tree(), "A.TXT = x\n");
}

TEST_F(EndToEnd, ConvertsMatchingFilesAndLeavesTheRest) {
    file("README.TXT", "readme");
    file("Mixed.Txt", "mixed");
    file("notes.txt", "notes");
    file("OTHER.DOC", "doc");
    directory("SUBDIR.TXT");
    EXPECT_EQ(run({"*.txt"}), crlfLines({".\\", "  README.TXT -> readme.txt", "",
                                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "Mixed.Txt = mixed\nOTHER.DOC = doc\nSUBDIR.TXT/\nnotes.txt = notes\n"
                      "readme.txt = readme\n");
}

TEST_F(EndToEnd, UppercaseMixedAndDirectoryModes) {
    file("readme.txt", "1");
    file("Mixed.Txt", "2");
    directory("docs");
    const std::string mixed = run({"/U", "/MIXED", "*.txt"});
    EXPECT_NE(mixed.find("\r\n  Mixed.Txt -> MIXED.TXT\r\n"), std::string::npos);
    EXPECT_NE(mixed.find("\r\n  readme.txt -> README.TXT\r\n"), std::string::npos);
    EXPECT_TRUE(mixed.ends_with(crlfLines({"", "2 files in 1 directory converted to uppercase.", ""})));
    EXPECT_EQ(run({"-u", "/d", "*"}), crlfLines({".\\", "  docs -> DOCS", "",
                                            "1 directory in 1 directory converted to uppercase.", ""}));
    EXPECT_EQ(tree(), "DOCS/\nMIXED.TXT = 2\nREADME.TXT = 1\n");
}

TEST_F(EndToEnd, NeverReplacesAnEntryThatHoldsTheNewName) {
    file("README.TXT", "upper");
    file("readme.txt", "lower");
    directory("DIR");
    directory("dir");
    file("DIR/inside", "kept");
    EXPECT_EQ(run({"readme.txt"}),
              crlfLines({".\\", "  README.TXT -> readme.txt *** FAILED", "",
                     "0 files in 1 directory converted to lowercase.", "",
                     "Process failed at 1 file. Perhaps this file is in process by another",
                     "application. Close these applications and try again...", ""}));
    EXPECT_EQ(run({"/D", "dir"}),
              crlfLines({".\\", "  DIR -> dir *** FAILED", "",
                     "0 directories in 1 directory converted to lowercase.", "",
                     "Process failed at 1 file. Perhaps this file is in process by another",
                     "application. Close these applications and try again...", ""}));
    EXPECT_EQ(tree(), "DIR/\nDIR/inside = kept\nREADME.TXT = upper\ndir/\nreadme.txt = lower\n");
}

TEST_F(EndToEnd, AbsolutePathAndSlashDirectoryPrefix) {
    directory("Data");
    file("Data/A.TXT", "a");
    EXPECT_EQ(run({path("Data/*.TXT")}),
              crlfLines({path("Data/"), "  A.TXT -> a.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    file("Data/B.TXT", "b");
    EXPECT_EQ(run({"Data\\*"}), crlfLines({"Data\\", "  B.TXT -> b.txt", "",
                                      "1 file in 1 directory converted to lowercase.", ""}));
    // Only the last component changes: the directory keeps its spelling.
    EXPECT_EQ(tree(), "Data/\nData/a.txt = a\nData/b.txt = b\n");
}

TEST_F(EndToEnd, HostileNamesAreRenamedWholeAndListedAsTheyAre) {
    const std::vector<std::string> names = {"CR\rX.TXT",      "LF\nX.TXT",  "BACK\\SLASH.TXT",
                                            "STAR*.TXT",      "QUERY?.TXT", "\xC3\x84\xFF.TXT",
                                            "C:COLON.TXT",    std::string(251, 'N') + ".TXT"};
    for (const std::string& name : names) file(name, name);
    const std::string out = run({"*.txt"});
    for (const std::string& name : names) {
        std::string lower = name;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        EXPECT_NE(out.find("  " + name + " -> " + lower + "\r\n"), std::string::npos) << name;
        EXPECT_TRUE(std::filesystem::exists(path(lower))) << lower;
    }
    EXPECT_NE(out.find("8 files in 1 directory converted to lowercase."), std::string::npos);
    // Twelve lines, and the LF inside one name written twice (old and new).
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 14);
}

TEST_F(EndToEnd, WildcardCharactersInANameMatchOnlyWhatTheyMatch) {
    file("A*.TXT", "star");
    file("AB.TXT", "ab");
    file("B.TXT", "b");
    file("A.TXT", "a");
    const std::string out = run({"A?.TXT"});
    EXPECT_TRUE(out.ends_with(crlfLines({"", "2 files in 1 directory converted to lowercase.", ""})));
    EXPECT_EQ(tree(), "A.TXT = a\nB.TXT = b\na*.txt = star\nab.txt = ab\n");
}

TEST_F(EndToEnd, BadFileSpecsFindNothing) {
    file("A.TXT");
    for (const std::string& spec : {std::string(100000, 'x'), std::string(100000, '/'),
                                    std::string("//"), std::string("\\\\\\"), std::string("..."),
                                    std::string("nowhere/*.TXT"), "x/" + std::string(5000, 'y')}) {
        EXPECT_EQ(run({spec}), noConversions) << spec.substr(0, 20);
    }
    EXPECT_EQ(run({"/" + std::string(100000, 'M')}), helpScreen);
    EXPECT_EQ(tree(), "A.TXT = x\n");
}

TEST_F(EndToEnd, UnreadableDirectoryIsSkippedAndTheRestConverted) {
    // Root reads every directory; only another user sees the refusal.
    const int nobody = geteuid() == 0 ? 65534 : -1;
    directory("OPEN");
    directory("LOCKED");
    file("OPEN/A.TXT", "a");
    file("LOCKED/B.TXT", "b");
    file("C.TXT", "c");
    for (const char* p : {"", "OPEN", "LOCKED", "OPEN/A.TXT", "LOCKED/B.TXT", "C.TXT"}) {
        chmod(path(p).c_str(), 0777);
    }
    chmod(path("LOCKED").c_str(), 0);
    chmod(dir_.path().c_str(), 0777);
    const ProcessResult result = runTool(dir_.path(), {"/R", "*.TXT"}, false, nobody);
    chmod(path("LOCKED").c_str(), 0755);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output, crlfLines({"OPEN\\", "  A.TXT -> a.txt", ".\\", "  C.TXT -> c.txt", "",
                                        "2 files in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "LOCKED/\nLOCKED/B.TXT = b\nOPEN/\nOPEN/a.txt = a\nc.txt = c\n");
}

TEST_F(EndToEnd, ClosedOutputDoesNotStopTheRun) {
    for (int i = 0; i < 200; ++i) file("F" + std::to_string(i) + ".TXT");
    const ProcessResult result = runTool(dir_.path(), {"*.TXT"}, true);
    EXPECT_EQ(result.exitStatus, 1);
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += "f" + std::to_string(i) + ".txt = x\n";
    std::string actual = tree();
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace tocase

namespace tocase {
namespace {

using Recursive = EndToEnd;

TEST_F(Recursive, SubdirectoriesComeFirstAndHeadersEndInBackslash) {
    directory("B");
    file("B/X.TXT", "x");
    file("Y.TXT", "y");
    EXPECT_EQ(run({"*.TXT", "/R"}),
              crlfLines({"B\\", "  X.TXT -> x.txt", ".\\", "  Y.TXT -> y.txt", "",
                     "2 files in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "B/\nB/x.txt = x\ny.txt = y\n");
}

TEST_F(Recursive, SlashSeparatedFileSpecAndDotDirectories) {
    directory("data");
    directory("data/sub");
    directory("data/.git");
    file("data/sub/A.TXT", "a");
    file("data/.git/HEAD.TXT", "git");
    EXPECT_EQ(run({"/r", "data/*.txt"}),
              crlfLines({"data/sub\\", "  A.TXT -> a.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "data/\ndata/.git/\ndata/.git/HEAD.TXT = git\ndata/sub/\ndata/sub/a.txt = a\n");
}

TEST_F(Recursive, DirectoriesBottomUpThroughTheWholeChain) {
    directory("WORK");
    directory("WORK/SUB");
    directory("WORK/SUB/DEEP");
    file("WORK/SUB/DEEP/KEEP.TXT", "kept");
    EXPECT_EQ(run({"WORK/*", "/R", "/D"}),
              crlfLines({"WORK/SUB\\", "  DEEP -> deep", "WORK/", "  SUB -> sub", "",
                     "2 directories in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "WORK/\nWORK/sub/\nWORK/sub/deep/\nWORK/sub/deep/KEEP.TXT = kept\n");
}

TEST_F(Recursive, SymbolicLinksAreNeverFollowed) {
    directory("IN");
    file("IN/A.TXT", "a");
    ASSERT_EQ(symlink(".", path("IN/LOOP").c_str()), 0);
    ASSERT_EQ(symlink("..", path("IN/UP").c_str()), 0);
    TemporaryDirectory outside;
    writeFile(outside.path() + "/OUT.TXT", "out");
    ASSERT_EQ(symlink(outside.path().c_str(), path("IN/AWAY").c_str()), 0);
    EXPECT_EQ(run({"/R", "IN/*.TXT"}),
              crlfLines({"IN/", "  A.TXT -> a.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(describeTree(outside.path()), "OUT.TXT = out\n");
    // With /D the links themselves are renamed, as directories would be.
    const std::string out = run({"/R", "/D", "IN/*"});
    EXPECT_TRUE(out.ends_with(crlfLines({"", "3 directories in 1 directory converted to lowercase.", ""})));
    EXPECT_EQ(tree(), "IN/\nIN/a.txt = a\nIN/away -> " + outside.path() + "\nIN/loop -> .\nIN/up -> ..\n");
}

TEST_F(Recursive, NameWithoutWildcardsIsSoughtInEverySubdirectory) {
    for (const char* d : {"one", "two", "two/three", "four"}) directory(d);
    for (const char* f : {"README", "one/README", "two/three/readme", "four/README", "two/OTHER"}) {
        file(f, f);
    }
    const std::string out = run({"/R", "readme"});
    EXPECT_TRUE(out.ends_with(crlfLines({"", "3 files in 3 directories converted to lowercase.", ""})));
    EXPECT_NE(out.find("one\\\r\n  README -> readme\r\n"), std::string::npos);
    EXPECT_NE(out.find("four\\\r\n  README -> readme\r\n"), std::string::npos);
    EXPECT_TRUE(out.starts_with(".\\\r\n  README -> readme\r\n") ||
                out.find("\r\n.\\\r\n  README -> readme\r\n") != std::string::npos);
    EXPECT_EQ(tree(), "four/\nfour/readme = four/README\none/\none/readme = one/README\n"
                      "readme = README\ntwo/\ntwo/OTHER = two/OTHER\ntwo/three/\n"
                      "two/three/readme = two/three/readme\n");
}

TEST_F(Recursive, TreeDeeperThanThePathLimitIsWalkedAsFarAsItCanBeAddressed) {
    // 30 levels of 200-byte names: about 6,000 bytes, beyond PATH_MAX.
    const std::string level(200, 'L');
    int parent = open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(parent, 0);
    for (int depth = 0; depth < 30; ++depth) {
        ASSERT_EQ(mkdirat(parent, level.c_str(), 0755), 0);
        const int child = openat(parent, level.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(child, 0);
        close(parent);
        parent = child;
        const int f = openat(parent, "F.TXT", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(f, 0);
        close(f);
    }
    close(parent);
    const std::string out = run({"/R", "*.TXT"});
    // Levels whose path fits are converted; deeper ones cannot be searched.
    const std::size_t converted = std::stoul(out.substr(out.rfind("\r\n\r\n", out.size() - 5) + 4));
    EXPECT_GE(converted, 15u);
    EXPECT_LT(converted, 30u);
    EXPECT_EQ(out.find("FAILED"), std::string::npos);
}

}  // namespace
}  // namespace tocase
