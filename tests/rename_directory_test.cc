// Renames in a real directory, with the system calls failing on purpose
// at the seam, to reach the paths that case-folding and FUSE file systems
// take.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix_calls.h"
#include "platform/posix_files.h"
#include "process_runner.h"

namespace tocase {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// How the pretend file system behaves; reset for every test.
struct Behaviour {
    bool refuseFlag = false;         // FUSE: no RENAME_NOREPLACE
    bool foldCase = false;           // a case variant of an entry is "taken"
    bool storeUppercase = false;     // the driver ignores the spelling asked for
                                     // (the temporary name aside, which it must find again)
    std::string failRenameTo;        // refuse any rename to this name
    std::vector<std::string> calls;  // "from>to" for each call that reached the kernel
};
Behaviour behaviour;

int fakeRenameat(int oldFd, const char* from, int newFd, const char* to) {
    if (behaviour.failRenameTo == to) {
        errno = EIO;
        return -1;
    }
    behaviour.calls.push_back(std::string(from) + ">" + to);
    std::string stored = to;
    if (behaviour.storeUppercase && !stored.starts_with("~tocase-")) {
        for (char& c : stored) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return ::renameat(oldFd, from, newFd, stored.c_str());
}

int fakeRenameat2(int oldFd, const char* from, int newFd, const char* to, unsigned int flags) {
    if (behaviour.refuseFlag) {
        errno = EINVAL;
        return -1;
    }
    if (behaviour.foldCase && sameIgnoringCase(from, to)) {
        errno = EEXIST;
        return -1;
    }
    if (behaviour.failRenameTo == to) {
        errno = EIO;
        return -1;
    }
    if (behaviour.storeUppercase) return fakeRenameat(oldFd, from, newFd, to);
    behaviour.calls.push_back(std::string(from) + ">" + to);
    return ::renameat2(oldFd, from, newFd, to, flags);
}

class RenameDirectoryTest : public testing::Test {
protected:
    void SetUp() override {
        behaviour = Behaviour{};
        saved_ = posixCalls();
        posixCalls() = PosixCalls{fakeRenameat2, fakeRenameat};
    }
    void TearDown() override { posixCalls() = saved_; }

    RenameDirectory open() {
        return RenameDirectory(::open(dir_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    void file(const std::string& name, const std::string& contents) {
        writeFile(dir_.path() + "/" + name, contents);
    }
    std::string tree() const { return describeTree(dir_.path()); }

    TemporaryDirectory dir_;
    PosixCalls saved_{};
};

TEST_F(RenameDirectoryTest, WithoutTheFlagLooksUpTheNewNameFirst) {
    behaviour.refuseFlag = true;
    file("A.TXT", "a");
    file("B.TXT", "upper");
    file("b.txt", "lower");
    RenameDirectory directory = open();
    EXPECT_TRUE(directory.rename("A.TXT", "a.txt", false));
    EXPECT_FALSE(directory.rename("B.TXT", "b.txt", false));
    EXPECT_EQ(tree(), "B.TXT = upper\na.txt = a\nb.txt = lower\n");
    EXPECT_EQ(behaviour.calls, std::vector<std::string>{"A.TXT>a.txt"});
}

TEST_F(RenameDirectoryTest, CaseFoldingGoesThroughATemporaryName) {
    behaviour.foldCase = true;
    file("README.TXT", "readme");
    file("OTHER.TXT", "other");
    RenameDirectory directory = open();
    EXPECT_TRUE(directory.rename("README.TXT", "readme.txt", false));
    EXPECT_TRUE(directory.rename("OTHER.TXT", "other.txt", false));
    EXPECT_EQ(tree(), "other.txt = other\nreadme.txt = readme\n");
    ASSERT_EQ(behaviour.calls.size(), 4u);
    const std::string temporary = behaviour.calls[0].substr(behaviour.calls[0].find('>') + 1);
    EXPECT_EQ(behaviour.calls[1], temporary + ">readme.txt");
}

TEST_F(RenameDirectoryTest, CaseFoldingWithoutTheFlagToo) {
    behaviour.foldCase = true;
    behaviour.refuseFlag = true;
    file("README.TXT", "readme");
    RenameDirectory directory = open();
    // The look-up finds nothing on this case-sensitive directory, so the
    // case folding shows only where the flag is honoured; what matters is
    // that the rename happens once and nothing is left over.
    EXPECT_TRUE(directory.rename("README.TXT", "readme.txt", false));
    EXPECT_EQ(tree(), "readme.txt = readme\n");
}

TEST_F(RenameDirectoryTest, FailedSecondStepPutsTheEntryBack) {
    behaviour.foldCase = true;
    behaviour.failRenameTo = "readme.txt";
    file("README.TXT", "readme");
    RenameDirectory directory = open();
    EXPECT_FALSE(directory.rename("README.TXT", "readme.txt", false));
    EXPECT_EQ(tree(), "README.TXT = readme\n");
}

TEST_F(RenameDirectoryTest, RealCollisionUnderCaseFoldingFailsAndKeepsBoth) {
    behaviour.foldCase = true;
    file("README.TXT", "upper");
    file("readme.txt", "lower");
    RenameDirectory directory = open();
    EXPECT_FALSE(directory.rename("README.TXT", "readme.txt", false));
    EXPECT_EQ(tree(), "README.TXT = upper\nreadme.txt = lower\n");
    EXPECT_TRUE(behaviour.calls.empty());
}

TEST_F(RenameDirectoryTest, DriverThatKeepsAnotherSpellingIsAFailure) {
    behaviour.foldCase = true;
    behaviour.storeUppercase = true;
    file("README.TXT", "readme");
    RenameDirectory directory = open();
    EXPECT_FALSE(directory.rename("README.TXT", "readme.txt", false));
    // Stored as the driver wanted: not lost, no temporary name left.
    EXPECT_EQ(tree(), "README.TXT = readme\n");
}

TEST_F(RenameDirectoryTest, TakenTemporaryNamesAreSkippedNeverReplaced) {
    behaviour.foldCase = true;
    const std::string taken = "~tocase-" + std::to_string(getpid()) + "-0.tmp";
    file(taken, "somebody else's");
    file("README.TXT", "readme");
    RenameDirectory directory = open();
    EXPECT_TRUE(directory.rename("README.TXT", "readme.txt", false));
    EXPECT_EQ(tree(), "readme.txt = readme\n" + taken + " = somebody else's\n");
}

TEST_F(RenameDirectoryTest, UnopenableDirectoryRenamesNothing) {
    RenameDirectory directory(-1);
    EXPECT_FALSE(directory.rename("A", "a", false));
}

}  // namespace
}  // namespace tocase
