// The built tool on real temporary directories: standard output byte for
// byte, standard error, and the tree afterwards.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "case_table.h"

namespace tocase {
namespace {

// What the file system of the temporary directory can hold; the mounted
// file systems say theirs.
std::set<std::string> featuresHere() {
    const char* listed = std::getenv("TOCASE_TEST_FEATURES");
    std::istringstream in(listed != nullptr ? listed : "twins links utf8 anynames dirrenames");
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

class InTemporaryDirectory : public testing::TestWithParam<Case> {};

TEST_P(InTemporaryDirectory, Plays) {
    TemporaryDirectory dir;
    DirectoryLevel level(dir.path(), featuresHere());
    if (!canPlay(level, GetParam())) GTEST_SKIP() << "this file system cannot hold the case";
    playCase(level, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, InTemporaryDirectory, testing::ValuesIn(allCases()), caseName);

std::string numbered(const char* format, int i) {
    char name[32];
    std::snprintf(name, sizeof name, format, i);
    return name;
}

TEST(EndToEnd, AbsolutePathIsTakenAsAPathNotAnOption) {
    TemporaryDirectory dir;
    writeFile(dir.path() + "/A.TXT", "");
    EXPECT_EQ(runTool(dir.path(), {dir.path() + "/*.TXT"}).output,
              dir.path() + "/\r\n  A.TXT -> a.txt\r\n\r\n1 file in 1 directory converted to lowercase.\r\n\r\n");
}

// All the entries are read before the first rename, so renames made while
// they are handed out neither skip one nor convert one twice.
TEST(EndToEnd, LargeDirectoryRenamedWhileItIsListedNeitherSkipsNorRepeats) {
    constexpr int convertible = 5000;
    TemporaryDirectory dir;
    std::vector<std::string> expected;
    for (int i = 0; i < convertible; ++i) {
        const std::string name = numbered("F%05d", i);
        writeFile(dir.path() + "/" + name, name);
        expected.push_back("f" + name.substr(1) + "<" + name);
    }
    for (int i = 0; i < 50; ++i) writeFile(dir.path() + numbered("/Keep%02d", i), numbered("Keep%02d", i));
    const ToolOutput result = runTool(dir.path(), {"*"});
    EXPECT_TRUE(result.output.ends_with("\r\n5000 files in 1 directory converted to lowercase.\r\n\r\n"));
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), convertible + 4);
    std::vector<std::string> tree = describeTree(dir.path());
    std::erase_if(tree, [](const std::string& entry) { return entry.starts_with("Keep"); });
    EXPECT_EQ(tree, expected);
}

TEST(EndToEnd, UnreadableDirectoryIsSaidOnStandardErrorAndTheRestConverted) {
    TemporaryDirectory dir;
    const std::string root = dir.path() + "/";
    mkdir((root + "OPEN").c_str(), 0);
    mkdir((root + "LOCKED").c_str(), 0);
    for (const char* d : {"", "OPEN", "LOCKED"}) chmod((root + d).c_str(), 0777);
    for (const char* f : {"OPEN/A.TXT", "LOCKED/B.TXT", "C.TXT"}) writeFile(root + f, f);
    chmod((root + "LOCKED").c_str(), 0);
    // Root reads every directory; only another user meets the refusal.
    const ToolOptions another{.userId = geteuid() == 0 ? 65534 : -1};
    const ToolOutput result = runTool(root, {"/R", "*.TXT"}, another);
    const ToolOutput named = runTool(root, {"LOCKED/*.TXT"}, another);
    chmod((root + "LOCKED").c_str(), 0755);
    EXPECT_EQ(result.output, "OPEN\\\r\n  A.TXT -> a.txt\r\n.\\\r\n  C.TXT -> c.txt\r\n\r\n"
                             "2 files in 2 directories converted to lowercase.\r\n\r\n");
    EXPECT_EQ(result.errors, "tocase: cannot read directory 'LOCKED\\': Permission denied\n");
    EXPECT_EQ(named.errors, "tocase: cannot read directory 'LOCKED/': Permission denied\n");
}

// Without standard input, the directory takes descriptor 0.
TEST(EndToEnd, ClosedInputAndOutputDoNotStopTheRun) {
    TemporaryDirectory dir;
    for (int i = 0; i < 200; ++i) writeFile(dir.path() + numbered("/F%03d.TXT", i), "");
    EXPECT_EQ(runTool(dir.path(), {"*.TXT"}, {.closeInput = true, .closeOutput = true}).exitStatus, 1);
    const std::vector<std::string> tree = describeTree(dir.path());
    EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const std::string& e) { return e[0] == 'f'; }), 200);
}

// While the tool waits on its output inside one subdirectory, a second
// process swaps the other subdirectory, and their parent, for links to a
// directory outside the tree. Neither is followed.
TEST(EndToEnd, DirectoriesSwappedForLinksMidRunNeverLeadOutOfTheTree) {
    for (const bool directoryMode : {false, true}) {
        SCOPED_TRACE(directoryMode ? "/D" : "files");
        TemporaryDirectory dir;
        const std::string tree = dir.path() + "/tree", outside = dir.path() + "/outside";
        for (const std::string& d : {tree, tree + "/P", tree + "/P/A", tree + "/P/B", outside,
                                     outside + "/A", outside + "/B"}) {
            mkdir(d.c_str(), 0755);
        }
        for (const std::string& f : {tree + "/P/X.TXT", outside + "/X.TXT", outside + "/A/F0000.TXT",
                                     outside + "/B/F0000.TXT"}) {
            writeFile(f, "");
        }
        // Enough listing lines in each of A and B to fill the pipe.
        for (int i = 0; i < 3000; ++i) {
            for (const char* sub : {"/P/A/", "/P/B/"}) {
                const std::string entry = tree + sub + numbered("F%04d.TXT", i);
                if (directoryMode) mkdir(entry.c_str(), 0755);
                else writeFile(entry, "");
            }
        }
        const std::vector<std::string> outsideBefore = describeTree(outside);
        ToolProcess tool(tree, directoryMode ? std::vector<std::string>{"/R", "/D", "*"}
                                             : std::vector<std::string>{"/R", "*"});
        const std::string other = tool.readLine() == "P\\A\\\r\n" ? "B" : "A";
        ASSERT_EQ(rename((tree + "/P").c_str(), (tree + "/P.real").c_str()), 0);
        ASSERT_EQ(symlink(outside.c_str(), (tree + "/P").c_str()), 0);
        const std::string swapped = tree + "/P.real/" + other;
        ASSERT_EQ(rename(swapped.c_str(), (swapped + ".real").c_str()), 0);
        ASSERT_EQ(symlink((outside + "/" + other).c_str(), swapped.c_str()), 0);
        const ToolOutput result = tool.finish();
        EXPECT_EQ(describeTree(outside), outsideBefore);
        EXPECT_EQ(result.errors, "tocase: cannot read directory 'P\\" + other + "\\': it is a symbolic link\n");
    }
}

// Two chains, one deeper than any path can reach, and the other walked
// after climbing back out of the first.
TEST(EndToEnd, ChainsDeeperThanAnyPathAreConvertedAtEveryLevelWithFewDescriptors) {
    TemporaryDirectory dir;
    const int top = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    for (const auto& [name, depth] : {std::pair{"D", 3000}, {"E", 1500}}) {
        int fd = dup(top);
        for (int level = 0; level < depth; ++level) {
            ASSERT_EQ(mkdirat(fd, name, 0755), 0);
            const int child = openat(fd, name, O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = child;
            close(openat(fd, "F.TXT", O_WRONLY | O_CREAT, 0644));
        }
        close(fd);
    }
    const ToolOutput result = runTool(dir.path(), {"/R", "*.TXT"}, {.openFileLimit = 1024});
    EXPECT_TRUE(result.output.ends_with("\r\n4500 files in 4500 directories converted to lowercase.\r\n\r\n"));
    EXPECT_EQ(result.errors, "");
    int converted = 0;
    for (const char* name : {"D", "E"}) {
        int fd = dup(top);
        for (int child; (child = openat(fd, name, O_RDONLY | O_DIRECTORY)) >= 0; fd = child) {
            close(fd);
            converted += faccessat(child, "f.txt", F_OK, 0) == 0;
        }
        close(fd);
    }
    close(top);
    EXPECT_EQ(converted, 4500);
}

// More renames than fit in a pipe's worth of listing.
void fillWithFiles(const TemporaryDirectory& dir) {
    for (int i = 0; i < 4000; ++i) writeFile(dir.path() + numbered("/F%04d.TXT", i), "");
}

TEST(EndToEnd, StopSignalEndsTheRunPromptlyWhenNobodyReadsTheOutput) {
    TemporaryDirectory dir;
    fillWithFiles(dir);
    ToolProcess tool(dir.path(), {"*"});
    tool.waitUntilOutputIsFull();
    tool.sendSignal(SIGTERM);
    EXPECT_EQ(tool.waitWithoutReading(5), -SIGTERM);
}

TEST(EndToEnd, StopSignalEndsTheRunBetweenEntriesWithEveryRenameListed) {
    TemporaryDirectory dir;
    fillWithFiles(dir);
    ToolProcess tool(dir.path(), {"*"});
    // Blocked writing the line of a rename it has made.
    tool.waitUntilOutputIsFull();
    tool.sendSignal(SIGINT);
    // Read only once the signal has surely met the blocked write, well
    // within the second the tool gives its reader.
    usleep(200000);
    const ToolOutput result = tool.finish();
    const std::string& listing = result.output;
    EXPECT_EQ(result.exitStatus, -SIGINT);
    std::set<std::string> listed, renamed;
    for (std::size_t at = 0; (at = listing.find("-> ", at)) != std::string::npos; at += 3) {
        listed.insert(listing.substr(at + 3, 9));
    }
    for (const std::string& entry : describeTree(dir.path())) {
        if (entry[0] == 'f') renamed.insert(entry.substr(0, 9));
    }
    std::vector<std::string> unlisted, notRenamed;
    std::set_difference(renamed.begin(), renamed.end(), listed.begin(), listed.end(), std::back_inserter(unlisted));
    std::set_difference(listed.begin(), listed.end(), renamed.begin(), renamed.end(), std::back_inserter(notRenamed));
    EXPECT_EQ(unlisted, std::vector<std::string>{}) << "renamed without a listing line";
    EXPECT_EQ(notRenamed, std::vector<std::string>{}) << "listed without a rename";
    EXPECT_LT(renamed.size(), 4000u);
}

TEST(EndToEnd, StopSignalTheCallerIgnoresStaysIgnored) {
    TemporaryDirectory dir;
    fillWithFiles(dir);
    ToolProcess tool(dir.path(), {"*"}, {.ignoreHangUp = true});
    tool.waitUntilOutputIsFull();
    tool.sendSignal(SIGHUP);
    const ToolOutput result = tool.finish();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.output.ends_with("4000 files in 1 directory converted to lowercase.\r\n\r\n"));
}

}  // namespace
}  // namespace tocase
