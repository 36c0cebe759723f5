// The POSIX platform on real directories.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "platform/posix_calls.h"
#include "platform/posix_files.h"
#include "process_runner.h"

namespace tocase {
namespace {

EntryVisitor into(std::vector<FoundEntry>& entries) {
    return [&entries](const FoundEntry& entry) { entries.push_back(entry); };
}

FoundEntry directory(const std::string& name) {
    FoundEntry entry;
    entry.name = name;
    entry.isDirectory = true;
    return entry;
}

// Lists the directory the platform has open, with `readdir` standing in
// for the system's.
bool listWith(Platform& platform, dirent* (*readdir)(DIR*), std::vector<FoundEntry>& entries,
              std::string& reason) {
    const PosixCalls saved = posixCalls();
    posixCalls().readdir = readdir;
    const bool listed = platform.searchDirectory("*", into(entries), reason);
    posixCalls() = saved;
    return listed;
}

// Some file systems list entries without their type.
dirent* readWithoutTypes(DIR* directory) {
    dirent* record = ::readdir(directory);
    if (record != nullptr) record->d_type = DT_UNKNOWN;
    return record;
}

TEST(PosixPlatform, ClassifiesEntriesAndRenamesOnlyOneStillOfTheKindFound) {
    TemporaryDirectory dir;
    writeFile(dir.path() + "/FILE", "FILE");
    ASSERT_EQ(mkdir((dir.path() + "/DIR").c_str(), 0755), 0);
    ASSERT_EQ(symlink("DIR", (dir.path() + "/LINK").c_str()), 0);
    const auto platform = makeNativePlatform();
    std::string reason;
    std::vector<FoundEntry> entries;
    ASSERT_TRUE(platform->openDirectory(dir.path(), reason));
    ASSERT_TRUE(listWith(*platform, readWithoutTypes, entries, reason));
    std::map<std::string, FoundEntry> found;
    for (const FoundEntry& entry : entries) found[entry.name] = entry;
    // Name, then whether it is a directory and whether a link.
    for (const auto& [name, isDirectory, isLink] : {std::tuple{"FILE", false, false}, {"DIR", true, false},
                                                    {"LINK", true, true}, {".", true, false}}) {
        EXPECT_EQ(found.at(name).isDirectory, isDirectory) << name;
        EXPECT_EQ(found.at(name).isLink, isLink) << name;
    }
    for (const std::string name : {"LINK", "FILE", "DIR"}) {
        FoundEntry otherKind = found.at(name);
        otherKind.isDirectory = !otherKind.isDirectory;
        EXPECT_FALSE(platform->renameEntry(otherKind, "x", true).renamed) << name;
        EXPECT_TRUE(platform->renameEntry(found.at(name), "x" + name, true).renamed) << name;
    }
    EXPECT_EQ(describeTree(dir.path()), (std::vector<std::string>{"xDIR/", "xFILE<FILE", "xLINK->DIR"}));
}

// With room for two open directories, the middle ones of A/B/C are let go
// of and reached again through "..", but only while they are the same.
TEST(PosixPlatform, DirectoryLetGoOfIsReachedAgainOnlyIfItIsStillTheSame) {
    TemporaryDirectory dir;
    for (const char* d : {"/A", "/A/B", "/A/B/C", "/ELSEWHERE"}) mkdir((dir.path() + d).c_str(), 0755);
    const auto platform = makePosixPlatform(2);
    std::string reason;
    ASSERT_TRUE(platform->openDirectory(dir.path(), reason));
    for (const char* name : {"A", "B", "C"}) ASSERT_TRUE(platform->openSubdirectory(directory(name), reason));
    ASSERT_TRUE(platform->closeDirectory(reason));
    std::vector<FoundEntry> entries;
    ASSERT_TRUE(platform->searchDirectory("C", into(entries), reason));
    EXPECT_EQ(entries.size(), 1u);
    ASSERT_EQ(rename((dir.path() + "/A/B").c_str(), (dir.path() + "/ELSEWHERE/B").c_str()), 0);
    EXPECT_FALSE(platform->closeDirectory(reason));
    EXPECT_EQ(reason, "a directory below it was moved elsewhere during the run");
    EXPECT_TRUE(platform->closeDirectory(reason));
    entries.clear();
    ASSERT_TRUE(platform->searchDirectory("*LSE*", into(entries), reason));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(PosixPlatform, DirectoryRemovedWhileOpenListsNothingWithoutFailing) {
    TemporaryDirectory dir;
    const std::string gone = dir.path() + "/gone";
    mkdir(gone.c_str(), 0755);
    const auto platform = makeNativePlatform();
    std::string reason;
    std::vector<FoundEntry> entries;
    ASSERT_TRUE(platform->openDirectory(gone, reason));
    rmdir(gone.c_str());
    EXPECT_TRUE(platform->searchDirectory("*", into(entries), reason)) << reason;
    EXPECT_EQ(entries.size(), 0u);
}

TEST(PosixPlatform, LetsGoOfEveryDirectoryItHeldWhenItEnds) {
    TemporaryDirectory dir;
    mkdir((dir.path() + "/sub").c_str(), 0755);
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = openDescriptors();
    {
        const auto platform = makeNativePlatform();
        std::string reason;
        ASSERT_TRUE(platform->openDirectory(dir.path(), reason));
        ASSERT_TRUE(platform->openSubdirectory(directory("sub"), reason));
    }
    EXPECT_EQ(openDescriptors(), before);
}

// A directory that fails part-way through its listing.
dirent* readThreeThenFail(DIR* directory) {
    static int calls = 0;
    if (++calls <= 3) return ::readdir(directory);
    errno = EIO;
    return nullptr;
}

TEST(PosixPlatform, DirectoryThatCannotBeReadToItsEndIsAFailureWithItsReason) {
    TemporaryDirectory dir;
    for (const char* name : {"/A", "/B", "/C"}) writeFile(dir.path() + name, "");
    const auto platform = makeNativePlatform();
    std::string reason;
    std::vector<FoundEntry> entries;
    ASSERT_TRUE(platform->openDirectory(dir.path(), reason));
    EXPECT_FALSE(listWith(*platform, readThreeThenFail, entries, reason));
    EXPECT_EQ(reason, "Input/output error");
}

}  // namespace
}  // namespace tocase
