// Renames in a real directory, with the system calls made to misbehave at
// the seam as FUSE and case-folding file systems do, or to fail outright.
#include <fcntl.h>
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

std::string folded(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// How the pretend file system behaves; reset for every test.
struct Behaviour {
    int refuseFlag = 0;           // no RENAME_NOREPLACE: FUSE answers EINVAL, old kernels ENOSYS
    bool foldCase = false;        // a case variant of the entry itself is "taken"
    bool storeUppercase = false;  // the driver ignores the spelling asked for
    const char* failRenameTo[2] = {};  // EIO for a rename to either of these

    bool fails(const char* to) const {
        for (const char* name : failRenameTo) {
            if (name != nullptr && std::string(name) == to) return true;
        }
        return false;
    }
};
Behaviour behaviour;
std::vector<std::string> calls;  // "from>to" for each call that reached the kernel

int fakeRenameat(int oldFd, const char* from, int newFd, const char* to) {
    if (behaviour.fails(to)) return errno = EIO, -1;
    calls.push_back(std::string(from) + ">" + to);
    std::string stored = to;
    // The temporary name aside, which must be found again.
    if (behaviour.storeUppercase && stored.find("~tocase-") == std::string::npos) {
        for (char& c : stored) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return ::renameat(oldFd, from, newFd, stored.c_str());
}

int fakeRenameat2(int oldFd, const char* from, int newFd, const char* to, unsigned int flags) {
    if (behaviour.refuseFlag != 0) return errno = behaviour.refuseFlag, -1;
    if (behaviour.foldCase && folded(from) == folded(to)) return errno = EEXIST, -1;
    if (behaviour.storeUppercase || behaviour.fails(to)) {
        return fakeRenameat(oldFd, from, newFd, to);
    }
    calls.push_back(std::string(from) + ">" + to);
    return ::renameat2(oldFd, from, newFd, to, flags);
}

// A directory to rename in, with the fakes in place of the system calls.
class RenameSeam : public testing::Test {
protected:
    struct Scratch {
        TemporaryDirectory dir;
        int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ~Scratch() { close(fd); }
        void files(std::initializer_list<std::string> names) {
            for (const std::string& name : names) writeFile(dir.path() + "/" + name, name);
        }
        // One renamer for the directory, as the platform keeps one.
        RenameDirectory directory{fd};
        RenameResult rename(const std::string& from, const std::string& to) {
            return directory.rename(from, to, false);
        }
        std::vector<std::string> tree() const { return describeTree(dir.path()); }
    };

    void SetUp() override {
        saved_ = posixCalls();
        posixCalls() = PosixCalls{fakeRenameat2, fakeRenameat, ::readdir};
        use(Behaviour{});
    }
    void TearDown() override { posixCalls() = saved_; }
    static void use(const Behaviour& setup) {
        behaviour = setup;
        calls.clear();
    }

    PosixCalls saved_{};
    const std::string temporary_ = ".~tocase-" + std::to_string(getpid()) + "-";
};

TEST_F(RenameSeam, FileSystemsThatRefuseTheFlagOrFoldCase) {
    struct Row {
        const char* title;
        Behaviour setup;
        std::vector<std::string> before;
        bool renamed;
        std::vector<std::string> after;
        std::size_t kernelCalls;  // renames that reached the kernel
    };
    const Row rows[] = {
        {"without the flag, a free name is looked up, then taken", {.refuseFlag = EINVAL},
         {"A.TXT"}, true, {"a.txt<A.TXT"}, 1},
        {"an old kernel without the call does the same", {.refuseFlag = ENOSYS},
         {"A.TXT"}, true, {"a.txt<A.TXT"}, 1},
        {"without the flag, a name another entry holds is left", {.refuseFlag = EINVAL},
         {"A.TXT", "a.txt"}, false, {"A.TXT", "a.txt"}, 0},
        {"folding case, the entry goes round a temporary name", {.foldCase = true},
         {"A.TXT", "B.TXT"}, true, {"B.TXT", "a.txt<A.TXT"}, 2},
        {"folding case without the flag", {.refuseFlag = EINVAL, .foldCase = true},
         {"A.TXT"}, true, {"a.txt<A.TXT"}, 1},
        {"folding case, a real collision fails and keeps both", {.foldCase = true},
         {"A.TXT", "a.txt"}, false, {"A.TXT", "a.txt"}, 0},
        {"a failed second step puts the entry back", {.foldCase = true, .failRenameTo = {"a.txt"}},
         {"A.TXT"}, false, {"A.TXT"}, 2},
        {"a driver that keeps its own spelling is a failure", {.foldCase = true, .storeUppercase = true},
         {"A.TXT"}, false, {"A.TXT"}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        use(row.setup);
        Scratch scratch;
        for (const std::string& name : row.before) scratch.files({name});
        EXPECT_EQ(scratch.rename("A.TXT", "a.txt").renamed, row.renamed);
        EXPECT_EQ(scratch.tree(), row.after);
        EXPECT_EQ(calls.size(), row.kernelCalls) << testing::PrintToString(calls);
    }
}

TEST_F(RenameSeam, TemporaryNameCarriesTheOriginalAndSkipsTakenOnes) {
    use({.foldCase = true});
    Scratch scratch;
    scratch.files({"README.TXT", "README.TXT" + temporary_ + "0"});
    EXPECT_TRUE(scratch.rename("README.TXT", "readme.txt").renamed);
    EXPECT_EQ(calls, (std::vector<std::string>{"README.TXT>README.TXT" + temporary_ + "0",
                                               "README.TXT>README.TXT" + temporary_ + "1",
                                               "README.TXT" + temporary_ + "1>readme.txt"}));
    // Where the original would make it too long, a generic name.
    const std::string longName = std::string(250, 'N') + ".TXT";
    scratch.files({longName});
    EXPECT_TRUE(scratch.rename(longName, folded(longName)).renamed);
    EXPECT_EQ(calls.at(4), longName + ">~tocase-" + std::to_string(getpid()) + "-0.tmp");
}

TEST_F(RenameSeam, EntryThatCannotBePutBackIsReportedUnderItsTemporaryName) {
    use({.foldCase = true, .failRenameTo = {"readme.txt", "README.TXT"}});
    Scratch scratch;
    scratch.files({"README.TXT"});
    const RenameResult result = scratch.rename("README.TXT", "readme.txt");
    EXPECT_FALSE(result.renamed);
    EXPECT_EQ(result.strandedName, "README.TXT" + temporary_ + "0");
    EXPECT_EQ(result.reason, "Input/output error");
    EXPECT_EQ(scratch.tree(), std::vector<std::string>{result.strandedName + "<README.TXT"});
}

}  // namespace
}  // namespace tocase
