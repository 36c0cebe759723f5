// The POSIX platform layer on a real directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "platform/platform.h"
#include "process_runner.h"

namespace tocase {
namespace {

std::map<std::string, FoundEntry> searchAll(Platform& platform, const std::string& prefix,
                                            const std::string& pattern) {
    std::map<std::string, FoundEntry> found;
    auto search = platform.startSearch(prefix, pattern);
    if (!search) return found;
    FoundEntry entry;
    while (search->next(entry)) found[entry.name] = entry;
    return found;
}

TEST(PosixPlatform, SearchMatchesIgnoringCaseAndClassifiesEntries) {
    TemporaryDirectory dir;
    const std::string root = dir.path() + "/";
    writeFile(root + "README.TXT", "");
    writeFile(root + "other.doc", "");
    writeFile(root + ".hidden.txt", "");
    ASSERT_EQ(mkdir((root + "Sub.txt").c_str(), 0755), 0);
    ASSERT_EQ(symlink("Sub.txt", (root + "link.txt").c_str()), 0);
    ASSERT_EQ(symlink("missing", (root + "dangling.txt").c_str()), 0);
    const auto platform = makeNativePlatform();

    const auto found = searchAll(*platform, root, "*.TXT");
    ASSERT_EQ(found.size(), 5u);
    EXPECT_FALSE(found.at("README.TXT").isDirectory);
    EXPECT_TRUE(found.at(".hidden.txt").isHidden);
    EXPECT_FALSE(found.at("README.TXT").isHidden);
    EXPECT_TRUE(found.at("Sub.txt").isDirectory);
    EXPECT_FALSE(found.at("Sub.txt").isLink);
    EXPECT_TRUE(found.at("link.txt").isDirectory);
    EXPECT_TRUE(found.at("link.txt").isLink);
    EXPECT_FALSE(found.at("dangling.txt").isDirectory);

    // Backslashes separate too, and "." and ".." are entries like any other.
    const auto all = searchAll(*platform, dir.path() + "\\", "*.*");
    EXPECT_EQ(all.size(), 8u);
    EXPECT_TRUE(all.at("..").isDirectory);
    EXPECT_EQ(platform->startSearch(root + "nowhere/", "*"), nullptr);
}

TEST(PosixPlatform, RenameNeverReplacesAndTakesNamesLiterally) {
    TemporaryDirectory dir;
    const std::string root = dir.path() + "/";
    writeFile(root + "A.TXT", "upper");
    writeFile(root + "a.txt", "lower");
    writeFile(root + "B\\C.TXT", "backslash");
    writeFile(root + "D.TXT", "d");
    const auto platform = makeNativePlatform();

    EXPECT_FALSE(platform->renameEntry(root, "A.TXT", "a.txt", false));
    EXPECT_TRUE(platform->renameEntry(root, "B\\C.TXT", "b\\c.txt", false));
    EXPECT_FALSE(platform->renameEntry(root, "missing", "MISSING", false));
    EXPECT_TRUE(platform->renameEntry(dir.path() + "\\", "D.TXT", "d.txt", false));
    EXPECT_FALSE(platform->renameEntry(root + "nowhere/", "X", "x", false));
    EXPECT_EQ(describeTree(dir.path()), "A.TXT = upper\na.txt = lower\nb\\c.txt = backslash\nd.txt = d\n");
}

TEST(PosixPlatform, RenamesOnlyAnEntryOfTheKindThatWasFound) {
    TemporaryDirectory dir;
    const std::string root = dir.path() + "/";
    writeFile(root + "FILE", "f");
    ASSERT_EQ(mkdir((root + "DIR").c_str(), 0755), 0);
    ASSERT_EQ(symlink("DIR", (root + "LINK").c_str()), 0);
    const auto platform = makeNativePlatform();
    EXPECT_FALSE(platform->renameEntry(root, "FILE", "file", true));
    EXPECT_FALSE(platform->renameEntry(root, "DIR", "dir", false));
    EXPECT_FALSE(platform->renameEntry(root, "LINK", "link", false));
    EXPECT_TRUE(platform->renameEntry(root, "LINK", "link", true));
    EXPECT_TRUE(platform->renameEntry(root, "DIR", "dir", true));
    EXPECT_TRUE(platform->renameEntry(root, "FILE", "file", false));
    EXPECT_EQ(describeTree(dir.path()), "dir/\nfile = f\nlink -> DIR\n");
}

}  // namespace
}  // namespace tocase
