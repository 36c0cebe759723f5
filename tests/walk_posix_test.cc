// Whole runs in process on real directories, with system calls failed or
// the tree changed at the seam, at moments only the seam can choose.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/tocase_main.h"
#include "platform/system_calls-posix.h"
#include "scratch_directory.h"

namespace tocase {
namespace {

// Standard output and error as the run wrote them.
std::string output, errors;
// What a test has a call do instead of the system's; empty: the system's.
std::function<ssize_t(int, void*, size_t)> getdentsHook;
std::function<ssize_t(const void*, size_t)> outputHook;
std::function<void(int, struct statx*)> statxHook;  // after the system's
int opened = 0, closed = 0, polls = 0;
std::string refusedName;  // opened with EACCES, as another user's directory

int failedStatx(int, const char*, int, unsigned int, struct statx*) { return errno = ENOSYS, -1; }

bool isOpenAs(int fd, const std::string& path) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_ino == named.st_ino;
}

class InProcess : public testing::Test {
protected:
    void SetUp() override {
        output.clear();
        errors.clear();
        getdentsHook = nullptr;
        outputHook = nullptr;
        statxHook = nullptr;
        refusedName.clear();
        opened = closed = polls = 0;
        SystemCalls& calls = systemCalls();
        calls.openat = [](int directoryFd, const char* name, int flags) {
            if (!refusedName.empty() && std::string_view(name).starts_with(refusedName)) return errno = EACCES, -1;
            const int fd = ::openat(directoryFd, name, flags);
            opened += fd >= 0;
            return fd;
        };
        calls.close = [](int fd) { return ++closed, ::close(fd); };
        calls.poll = [](struct pollfd* descriptors, nfds_t count, int milliseconds) {
            return ++polls, ::poll(descriptors, count, milliseconds);
        };
        calls.getdents64 = [](int fd, void* buffer, size_t size) {
            return getdentsHook ? getdentsHook(fd, buffer, size) : realSystemCalls().getdents64(fd, buffer, size);
        };
        calls.statx = [](int fd, const char* name, int flags, unsigned int mask, struct statx* status) {
            const int result = ::statx(fd, name, flags, mask, status);
            if (result == 0 && statxHook) statxHook(fd, status);
            return result;
        };
        calls.write = [](int fd, const void* bytes, size_t size) {
            if (fd == STDOUT_FILENO && outputHook) return outputHook(bytes, size);
            (fd == STDOUT_FILENO ? output : errors).append(static_cast<const char*>(bytes), size);
            return static_cast<ssize_t>(size);
        };
    }
    void TearDown() override { systemCalls() = realSystemCalls(); }
    // For the next variant of a test: the hooks reset, the tree made anew.
    void restart(const std::vector<std::string>& entries) {
        SetUp();
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directory(dir.path());
        dir.make(entries);
    }

    // In the scratch directory, with relative names and options after "-"
    // only: a fault can then point the tool nowhere else (/R, taken for a
    // path, would be the root).
    void run(const std::vector<std::string>& arguments) {
        const std::filesystem::path caller = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        Platform platform;
        std::vector<const char*> pointers = {"tocase"};
        for (const std::string& argument : arguments) {
            ASSERT_NE(argument.front(), '/');
            pointers.push_back(argument.c_str());
        }
        EXPECT_EQ(tocaseMain(static_cast<int>(pointers.size()), pointers.data(), platform), 1);
        std::filesystem::current_path(caller);
    }

    // The run with room for only two held directories, so that the others
    // are let go of and reached again.
    void runWithFewDescriptors(const std::vector<std::string>& arguments) {
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        // Three descriptors free below the limit.
        rlimit few = saved;
        few.rlim_cur = 0;
        for (int free = 0; free < 3; ++few.rlim_cur) {
            free += fcntl(static_cast<int>(few.rlim_cur), F_GETFD) == -1;
        }
        setrlimit(RLIMIT_NOFILE, &few);
        run(arguments);
        setrlimit(RLIMIT_NOFILE, &saved);
    }

    // The output of a run that converted one file under each of these
    // headers, in this order.
    std::string converted(const std::vector<std::pair<std::string, std::string>>& listing, int directories) {
        std::string text;
        for (const auto& [header, line] : listing) text += (header.empty() ? ".\\" : header) + "\r\n  " + line + "\r\n";
        return text + "\r\n" + std::to_string(listing.size()) + " files in " + std::to_string(directories) +
               " directories converted to lowercase.\r\n\r\n";
    }

    ScratchDirectory dir;
};

// A directory that cannot be opened, a listing that fails part-way, when
// the descent reads the directory and when its entries are matched, and a
// directory where another file system is mounted, which cannot be staged
// here without one.
TEST_F(InProcess, SubdirectoryThatCannotBeWalkedIsSaidAndTheRestConverted) {
    const std::string bad = dir / "BAD";
    const std::string listing = "cannot read directory 'BAD\\': Input/output error";
    for (const auto& [failingReading, error] : {std::pair{1, listing}, {2, listing},
                                                {-1, std::string("cannot read directory 'BAD\\': Permission denied")},
                                                {0, std::string("not entering 'BAD\\': another file system is mounted there")}}) {
        SCOPED_TRACE(failingReading);
        restart({"OK/", "OK/A.TXT", "BAD/", "BAD/B.TXT", "BAD/SUB/", "C.TXT"});
        int readings = 0;
        getdentsHook = [&readings, bad, failingReading = failingReading](int fd, void* buffer, size_t size) -> ssize_t {
            const bool starts = ::lseek(fd, 0, SEEK_CUR) == 0;
            if (isOpenAs(fd, bad) && (readings += starts) == failingReading && !starts) return errno = EIO, -1;
            return realSystemCalls().getdents64(fd, buffer, size);
        };
        if (failingReading == -1) refusedName = "BAD";
        if (failingReading == 0) {
            statxHook = [bad](int fd, struct statx* status) { status->stx_mnt_id += isOpenAs(fd, bad); };
        }
        run({"-R", "*.TXT"});
        EXPECT_EQ(output, converted({{"OK\\", "A.TXT -> a.txt"}, {"", "C.TXT -> c.txt"}}, 2));
        EXPECT_EQ(errors, "tocase: " + error + "\n");
        EXPECT_EQ(opened, closed);
    }
    // The first directory too.
    errors.clear();
    refusedName = "BAD";
    run({"BAD/*.TXT"});
    EXPECT_EQ(errors, "tocase: cannot read directory 'BAD/': Permission denied\n");
}

// A/B is moved out of the tree while the walk is inside A/B/C. Whether A
// and B are held or were let go of, B's own entries are left and said, and
// so is everything A still had to do where A cannot be reached again.
TEST_F(InProcess, DirectoryMovedOutOfTheTreeMidRunIsLeftAndSaid) {
    for (const bool few : {false, true}) {
        SCOPED_TRACE(few ? "with two directories held" : "with all held");
        restart({"A/", "A/B/", "A/B/C/", "OUT/", "F.TXT", "A/F.TXT", "A/B/F.TXT", "A/B/C/F.TXT"});
        getdentsHook = [this](int fd, void* buffer, size_t size) {
            if (isOpenAs(fd, dir / "A/B/C")) std::rename((dir / "A/B").c_str(), (dir / "OUT/B").c_str());
            return realSystemCalls().getdents64(fd, buffer, size);
        };
        if (few) runWithFewDescriptors({"-R", "*.TXT"});
        else run({"-R", "*.TXT"});
        const std::string movedAway = "tocase: not converting in 'A\\B\\': it was moved elsewhere during the run\n";
        if (few) {
            EXPECT_EQ(output, converted({{"A\\B\\C\\", "F.TXT -> f.txt"}, {"", "F.TXT -> f.txt"}}, 2));
            EXPECT_EQ(errors, movedAway + "tocase: cannot read directory 'A\\': a directory below it was moved "
                                          "elsewhere during the run\n");
        } else {
            EXPECT_EQ(output, converted({{"A\\B\\C\\", "F.TXT -> f.txt"}, {"A\\", "F.TXT -> f.txt"},
                                         {"", "F.TXT -> f.txt"}}, 3));
            EXPECT_EQ(errors, movedAway);
        }
        EXPECT_TRUE(std::filesystem::exists(dir / "OUT/B/F.TXT"));
        EXPECT_EQ(opened, closed);
    }
}

// Where the system has no statx, the device alone tells another file
// system; where entries are listed without their type, it is asked for, a
// link still never entered. Without standard input, the first directory
// takes descriptor 0, and is let go of like any other.
TEST_F(InProcess, WithoutStatxTypesOrStandardInputTheWalkGoesOn) {
    dir.make({"SUB/", "SUB/A.TXT", "B.TXT"});
    ASSERT_EQ(symlink("SUB", (dir / "LINK").c_str()), 0);
    systemCalls().statx = failedStatx;
    getdentsHook = [](int fd, void* buffer, size_t size) {
        const ssize_t got = realSystemCalls().getdents64(fd, buffer, size);
        for (char* at = static_cast<char*>(buffer); at < static_cast<char*>(buffer) + got;) {
            auto* record = reinterpret_cast<dirent64*>(at);
            record->d_type = DT_UNKNOWN;
            at += record->d_reclen;
        }
        return got;
    };
    const int input = dup(STDIN_FILENO);
    close(STDIN_FILENO);
    run({"-R", "*.TXT"});
    dup2(input, STDIN_FILENO);
    close(input);
    EXPECT_EQ(opened, closed);
    EXPECT_EQ(output, converted({{"SUB\\", "A.TXT -> a.txt"}, {"", "B.TXT -> b.txt"}}, 2));
    EXPECT_EQ(errors, "");
    // An output that takes every line is never waited on: one call a line.
    EXPECT_EQ(polls, 0);
}

TEST_F(InProcess, FirstDirectoryThatCannotBeLookedAtIsSaidAndLetGo) {
    dir.make({"A.TXT"});
    systemCalls().statx = failedStatx;
    systemCalls().fstatat = [](int, const char*, struct stat*, int) { return errno = EIO, -1; };
    run({"*.TXT"});
    EXPECT_EQ(errors, "tocase: cannot read directory '.\\': Input/output error\n");
    EXPECT_EQ(opened, closed);
}

// A write may take less than it was given; the rest follows.
TEST_F(InProcess, ShortWritesAreContinuedUntilTheLineIsOut) {
    dir.make({"SUB/", "SUB/A.TXT", "B.TXT"});
    outputHook = [](const void* bytes, size_t) -> ssize_t {
        output.push_back(*static_cast<const char*>(bytes));
        return 1;
    };
    run({"-R", "*.TXT"});
    EXPECT_EQ(output, converted({{"SUB\\", "A.TXT -> a.txt"}, {"", "B.TXT -> b.txt"}}, 2));
}

// Once a write fails for good, not even the summary is written: a listing
// with lines missing never looks complete. The renames go on.
TEST_F(InProcess, StandardOutputThatFailsForGoodTakesNothingMore) {
    dir.make({"A.TXT", "B.TXT", "C.TXT"});
    int writes = 0;
    outputHook = [&writes](const void* bytes, size_t size) -> ssize_t {
        if (++writes >= 3) return errno = EPIPE, -1;
        output.append(static_cast<const char*>(bytes), size);
        return static_cast<ssize_t>(size);
    };
    run({"*.TXT"});
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2);
    EXPECT_EQ(writes, 3);
    EXPECT_EQ(dir.tree(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

}  // namespace
}  // namespace tocase
