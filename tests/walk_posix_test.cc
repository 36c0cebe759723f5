// Whole runs in process on real directories, with system calls failed or
// the tree changed at the seam, at moments only the seam can choose.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/tocase_main.h"
#include "engine/convert_entry.h"
#include "platform/posix/system_calls-posix.h"
#include "scratch_directory.h"

namespace tocase {
namespace {

// Standard output and error as the run wrote them.
std::string output, errors;
// What a test has a call do instead of the system's; empty: the system's.
std::function<ssize_t(int, void*, size_t)> getdentsHook;
std::function<ssize_t(const void*, size_t)> outputHook;
// After the system's own statx and fstatat, whatever they looked at.
std::function<void(struct statx*)> statxHook;
std::function<void(struct stat*)> fstatHook;
int opened = 0, closed = 0, polls = 0, parentsOpened = 0;
std::set<int> endedReadings;  // read to their end
std::string refusedName;  // opened with EACCES, as another user's directory

int failedStatx(int, const char*, int, unsigned int, struct statx*) { return errno = ENOSYS, -1; }

ino_t inodeOf(const std::string& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_ino;
}

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
        fstatHook = nullptr;
        refusedName.clear();
        opened = closed = polls = parentsOpened = 0;
        endedReadings.clear();
        SystemCalls& calls = systemCalls();
        calls.openat = [](int directoryFd, const char* name, int flags) {
            if (!refusedName.empty() && std::string_view(name).starts_with(refusedName)) return errno = EACCES, -1;
            const int fd = ::openat(directoryFd, name, flags);
            opened += fd >= 0;
            parentsOpened += std::string_view(name) == "..";
            endedReadings.erase(fd);
            return fd;
        };
        calls.createat = [](int directoryFd, const char* name, int flags, mode_t mode) {
            const int fd = ::openat(directoryFd, name, flags, mode);
            opened += fd >= 0;
            return fd;
        };
        calls.close = [](int fd) { return ++closed, ::close(fd); };
        // Journals of their own, apart from the tree.
        setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        calls.poll = [](struct pollfd* descriptors, nfds_t count, int milliseconds) {
            return ++polls, ::poll(descriptors, count, milliseconds);
        };
        calls.getdents64 = [](int fd, void* buffer, size_t size) {
            return getdentsHook ? getdentsHook(fd, buffer, size) : realSystemCalls().getdents64(fd, buffer, size);
        };
        calls.statx = [](int fd, const char* name, int flags, unsigned int mask, struct statx* status) {
            const int result = ::statx(fd, name, flags, mask, status);
            if (result == 0 && statxHook) statxHook(status);
            return result;
        };
        calls.fstatat = [](int fd, const char* name, struct stat* status, int flags) {
            const int result = ::fstatat(fd, name, status, flags);
            if (result == 0 && fstatHook) fstatHook(status);
            return result;
        };
        calls.write = [](int fd, const void* bytes, size_t size) {
            if (fd == STDOUT_FILENO && outputHook) return outputHook(bytes, size);
            if (fd != STDOUT_FILENO && fd != STDERR_FILENO) return ::write(fd, bytes, size);
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
    // are let go of and reached again: four descriptors free (the turn's
    // lock takes one) below a limit above 1024, and every other one held,
    // those above 1023 too.
    void runWithFewDescriptors(const std::vector<std::string>& arguments) {
        constexpr int limit = 1300;
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit wide{limit, std::max<rlim_t>(saved.rlim_max, limit)};
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &wide), 0);
        const int source = open("/dev/null", O_RDONLY | O_CLOEXEC);
        std::vector<int> held;
        for (int fd = 0, leftFree = 0; fd < limit; ++fd) {
            if (fcntl(fd, F_GETFD) != -1) continue;
            if (leftFree++ < 4) continue;
            held.push_back(dup2(source, fd));
        }
        run(arguments);
        for (const int fd : held) close(fd);
        close(source);
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
    ScratchDirectory state;
};

// A directory that cannot be opened, and a listing that fails part-way,
// when the descent reads the directory and when its entries are matched.
TEST_F(InProcess, SubdirectoryThatCannotBeWalkedIsSaidAndTheRestConverted) {
    const std::string bad = dir / "BAD";
    const std::string listing = "cannot read directory 'BAD\\': Input/output error";
    for (const auto& [failingReading, error] : {std::pair{1, listing}, {2, listing},
                                                {-1, std::string("cannot read directory 'BAD\\': Permission denied")}}) {
        SCOPED_TRACE(failingReading);
        restart({"OK/", "OK/A.TXT", "BAD/", "BAD/B.TXT", "BAD/SUB/", "C.TXT"});
        int readings = 0;
        getdentsHook = [&readings, bad, failingReading = failingReading](int fd, void* buffer, size_t size) -> ssize_t {
            const bool starts = ::lseek(fd, 0, SEEK_CUR) == 0;
            if (isOpenAs(fd, bad) && (readings += starts) == failingReading && !starts) return errno = EIO, -1;
            return realSystemCalls().getdents64(fd, buffer, size);
        };
        if (failingReading == -1) refusedName = "BAD";
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

// While the walk is inside A/B/C, B or A is moved out of the tree. The
// directory that moved is left and said; its parent, untouched, is still
// converted; a directory the walk was inside when its parent moved is
// converted where it went. Whether every level is held or most were let
// go of and reached again, the result is the same.
TEST_F(InProcess, DirectoryMovedOutOfTheTreeMidRunIsLeftAndSaid) {
    const auto movedAway = [](const std::string& prefix) {
        return "tocase: not converting in '" + prefix + "': it was moved elsewhere during the run\n";
    };
    const struct {
        std::string moved;
        std::string expectedOutput, expectedErrors;
        std::string inside = "A/B/C";
        std::string renamedTop = "";
    } rows[] = {
        {"A/B", converted({{"A\\B\\C\\", "F.TXT -> f.txt"}, {"A\\", "F.TXT -> f.txt"}, {"", "F.TXT -> f.txt"}}, 3),
         movedAway("A\\B\\")},
        {"A", converted({{"A\\B\\C\\", "F.TXT -> f.txt"}, {"A\\B\\", "F.TXT -> f.txt"}, {"", "F.TXT -> f.txt"}}, 3),
         movedAway("A\\")},
        // Two levels down from the first directory to the parent: the one
        // passed through is let go of.
        {"A/B/C/D",
         converted({{"A\\B\\C\\D\\E\\", "F.TXT -> f.txt"}, {"A\\B\\C\\", "F.TXT -> f.txt"},
                    {"A\\B\\", "F.TXT -> f.txt"}, {"A\\", "F.TXT -> f.txt"}, {"", "F.TXT -> f.txt"}}, 5),
         movedAway("A\\B\\C\\D\\"), "A/B/C/D/E"},
        // Let go of, and then neither below its child nor where the first
        // directory led to it: given up with what it still had to do.
        {"A/B/C", ".\\\r\n  F.TXT -> f.txt\r\n\r\n1 file in 1 directory converted to lowercase.\r\n\r\n",
         movedAway("A\\B\\C\\") + movedAway("A\\B\\") + movedAway("A\\"), "A/B/C", "A"},
    };
    for (const auto& row : rows) {
        for (const bool few : {false, true}) {
            if (!few && !row.renamedTop.empty()) continue;
            SCOPED_TRACE(row.moved + (few ? " moved, with two directories held" : " moved, with all held"));
            restart({"A/", "A/B/", "A/B/C/", "OUT/", "F.TXT", "A/F.TXT", "A/B/F.TXT", "A/B/C/F.TXT"});
            if (row.inside != "A/B/C") dir.make({"A/B/C/D/", "A/B/C/D/E/", "A/B/C/D/E/F.TXT", "A/B/C/D/F.TXT"});
            getdentsHook = [this, &row](int fd, void* buffer, size_t size) {
                if (isOpenAs(fd, dir / row.inside)) {
                    std::rename((dir / row.moved).c_str(), (dir / "OUT/X").c_str());
                    if (!row.renamedTop.empty()) std::rename((dir / row.renamedTop).c_str(), (dir / "TOP").c_str());
                }
                return realSystemCalls().getdents64(fd, buffer, size);
            };
            if (few) runWithFewDescriptors({"-R", "*.TXT"});
            else run({"-R", "*.TXT"});
            // Parents are reached again only where they were let go of.
            EXPECT_EQ(parentsOpened > 0, few);
            EXPECT_EQ(output, row.expectedOutput);
            EXPECT_EQ(errors, row.expectedErrors);
            EXPECT_EQ(opened, closed);
        }
    }
}

// Only another mount stops the descent: a btrfs subvolume has a device of
// its own, not a mount of its own. Where the system gives no mount
// identifier (kernels before 5.8), the device alone tells.
TEST_F(InProcess, OnlyAnotherMountStopsTheDescent) {
    const std::string refused = "tocase: not entering 'SUB\\': another file system is mounted there\n";
    const struct {
        const char* title;
        bool otherMount, otherDevice, withMountIds, withStatx;
        std::string expectedErrors;
    } rows[] = {
        {"a subvolume", false, true, true, true, ""},
        {"a bind mount", true, false, true, true, refused},
        {"another device, without mount identifiers", false, true, false, true, refused},
        {"another device, without statx", false, true, false, false, refused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        restart({"SUB/", "SUB/A.TXT", "B.TXT"});
        const ino_t sub = inodeOf(dir / "SUB");
        statxHook = [&](struct statx* status) {
            status->stx_mnt_id += row.otherMount && status->stx_ino == sub;
            status->stx_dev_minor += row.otherDevice && status->stx_ino == sub;
            if (!row.withMountIds) status->stx_mask &= ~STATX_MNT_ID;
        };
        fstatHook = [&](struct stat* status) { status->st_dev += row.otherDevice && status->st_ino == sub; };
        if (!row.withStatx) systemCalls().statx = failedStatx;
        run({"-R", "*.TXT"});
        EXPECT_EQ(errors, row.expectedErrors);
        EXPECT_EQ(output.find("SUB\\\r\n  A.TXT -> a.txt\r\n") != std::string::npos, row.expectedErrors.empty()) << output;
        EXPECT_EQ(opened, closed);
    }
}

// The second step and the way back both refused: the entry is named under
// the temporary name it was left with. Its name is too long for the
// temporary name to hold whole, so that name is said before the first step.
TEST_F(InProcess, EntryLeftUnderItsTemporaryNameIsNamedThere) {
    const std::string name = std::string(240, 'N') + ".TXT";
    dir.make({name});
    systemCalls().renameat2 = [](int fromFd, const char* from, int toFd, const char* to, unsigned int flags) {
        if (strchr(to, '/') != nullptr) return ::renameat2(fromFd, from, toFd, to, flags);  // the journal's
        if (strcasecmp(from, to) == 0) return errno = EEXIST, -1;
        if (std::string_view(to).find("~tocase-") == std::string_view::npos) return errno = EIO, -1;
        return ::renameat2(fromFd, from, toFd, to, flags);
    };
    run({"*.TXT"});
    const std::string said = "' goes through the temporary name '";
    const std::size_t at = errors.find(said) + said.size();
    ASSERT_GT(at, said.size());
    const std::string temporary = errors.substr(at, errors.find('\'', at) - at);
    const std::string mark = ".~tocase-" + std::to_string(getpid()) + "-0";
    ASSERT_TRUE(temporary.ends_with(mark));
    EXPECT_TRUE(name.starts_with(temporary.substr(0, temporary.size() - mark.size())));
    EXPECT_EQ(errors, "tocase: '" + name + "' goes through the temporary name '" + temporary + "'\ntocase: '" + name +
                          "' is left under the name '" + temporary + "': Input/output error\n");
    EXPECT_EQ(output, ".\\\r\n  " + name + " -> " + std::string(240, 'n') + ".txt *** FAILED\r\n\r\n0 files in 1 directory converted to lowercase."
                      "\r\n\r\nProcess failed at 1 file. Perhaps this file is in process by another\r\n"
                      "application. Close these applications and try again...\r\n\r\n");
    EXPECT_EQ(dir.tree(), std::vector<std::string>{temporary});
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
    EXPECT_EQ(output, converted({{"SUB\\", "A.TXT -> a.txt"}, {"", "B.TXT -> b.txt"}}, 2));
    EXPECT_EQ(errors, "");
    // An output that takes every line is never waited on: one call a line.
    EXPECT_EQ(polls, 0);
    // A preview takes no turn with other runs, so descriptor 0 goes to its
    // first directory.
    run({"-N", "-R", "*.TXT"});
    dup2(input, STDIN_FILENO);
    close(input);
    EXPECT_EQ(opened, closed);
    EXPECT_EQ(parentsOpened, 0);
}

TEST_F(InProcess, FirstDirectoryThatCannotBeLookedAtIsSaidAndLetGo) {
    dir.make({"A.TXT"});
    systemCalls().statx = failedStatx;
    systemCalls().fstatat = [](int, const char*, struct stat*, int) { return errno = EIO, -1; };
    run({"*.TXT"});
    EXPECT_EQ(errors, "tocase: cannot read directory '.\\': Input/output error\n");
    EXPECT_EQ(opened, closed);
}

// A write may take less than it was given; the rest follows. By the last
// of them, the summary's, the walk holds nothing open.
TEST_F(InProcess, ShortWritesAreContinuedUntilTheLineIsOut) {
    dir.make({"SUB/", "SUB/A.TXT", "B.TXT"});
    static int heldAtLastByte = -1;
    outputHook = [](const void* bytes, size_t) -> ssize_t {
        output.push_back(*static_cast<const char*>(bytes));
        heldAtLastByte = opened - closed;
        return 1;
    };
    run({"-R", "*.TXT"});
    EXPECT_EQ(output, converted({{"SUB\\", "A.TXT -> a.txt"}, {"", "B.TXT -> b.txt"}}, 2));
    EXPECT_EQ(heldAtLastByte, 0);
}

// An entry left under a temporary name is named with the folder it was
// left in, where that is not its own (Windows says where a step went).
TEST_F(InProcess, EntryStrandedElsewhereIsNamedWithItsFolder) {
    Platform platform;
    RunSettings settings;
    bool headerPrinted = false;
    const FoundEntry found{"A.TXT", false, false, false};
    const std::string newName = "a.txt";
    const EntryRef entry{"SUB\\", found, newName, settings, platform, headerPrinted};
    const Failure astray = failureOf(FailureKind::movedWhileRenamed);
    listRename(entry, {false, astray, "A.TXT.~tocase-1-0", "'OUT\\'"});
    listRename(entry, {false, astray, "A.TXT.~tocase-1-0"});
    EXPECT_EQ(errors,
              "tocase: 'SUB\\A.TXT' is left under the name 'A.TXT.~tocase-1-0' in 'OUT\\': its folder was moved while it was renamed\n"
              "tocase: 'SUB\\A.TXT' is left under the name 'A.TXT.~tocase-1-0': its folder was moved while it was renamed\n");
}

// A directory made after the run began, though it bears the number of the
// one the run started in, is not where the run started.
TEST_F(InProcess, DirectoryMadeAfterTheRunIsNotWhereItStarted) {
    dir.make({"A.TXT"});
    run({"*.TXT"});
    statxHook = [](struct statx* status) { status->stx_btime.tv_sec += 3600; };
    errors.clear();
    run({"-Z"});
    EXPECT_EQ(errors, "tocase: nothing to take back: no run started in this directory is left to take back\n"
                      "tocase: the newest run left to take back was started in a directory of this same path, '" +
                          dir.path() + "', that has been removed since\n");
    EXPECT_EQ(dir.tree(), std::vector<std::string>{"a.txt"});
}

// A take-back confirms what it puts back by one reading of the directory,
// as a run does, not by a look at each entry.
TEST_F(InProcess, TakeBackConfirmsByOneReading) {
    static int looks = 0;
    const auto looksOfTakeBack = [this](const std::vector<std::string>& tree) {
        restart(tree);
        run({"*.TXT"});
        looks = 0;
        fstatHook = [](struct stat*) { ++looks; };
        run({"-Z"});
        EXPECT_EQ(dir.tree(), tree);
        return looks;
    };
    EXPECT_EQ(looksOfTakeBack({"A.TXT", "B.TXT", "C.TXT", "D.TXT"}), looksOfTakeBack({"A.TXT"}));
}

// Only files of the journal folder are journals: a directory named as the
// newest of them is not one.
TEST_F(InProcess, OnlyFilesOfTheJournalFolderAreJournals) {
    dir.make({"A.TXT"});
    run({"*.TXT"});
    std::filesystem::create_directory(state / "tocase/run-99991231-235959.999999999-1.journal");
    errors.clear();
    run({"-Z"});
    EXPECT_EQ(errors, "");
    EXPECT_EQ(dir.tree(), std::vector<std::string>{"A.TXT"});
}

// A reading handed back again is the directory as it is now: never one
// from before a rename made in it.
TEST_F(InProcess, ListingAfterARenameShowsTheNewName) {
    dir.make({"A.TXT"});
    Platform platform;
    Failure failure;
    ASSERT_EQ(platform.openDirectory(dir.path() + "/", failure), EnterResult::entered);
    const std::shared_ptr<const DirectoryListing> before = platform.listDirectory(failure);
    const auto named = [](const DirectoryListing& listing, const std::string& name) {
        return std::any_of(listing.begin(), listing.end(), [&name](const FoundEntry& entry) { return entry.name == name; });
    };
    const FoundEntry& entry = *std::find_if(before->begin(), before->end(), [](const FoundEntry& e) { return e.name == "A.TXT"; });
    ASSERT_TRUE(platform.renameEntry(entry, "a.txt", {}).renamed);
    EXPECT_TRUE(named(*platform.listDirectory(failure), "a.txt"));
    EXPECT_FALSE(named(*platform.listDirectory(failure), "A.TXT"));
}

// A directory of many reading buffers is listed with its storage doubled
// as it fills, never enlarged once a buffer: the entries are moved about
// once each, however many they are.
TEST_F(InProcess, ListingOfManyBuffersGrowsByDoubling) {
    // Long names: some 150 a reading buffer, twenty buffers.
    constexpr int count = 3000;
    for (int i = 0; i < count; ++i) {
        ::close(::open((dir / (std::string(200, 'N') + std::to_string(i))).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    Platform platform;
    Failure failure;
    ASSERT_EQ(platform.openDirectory(dir.path() + "/", failure), EnterResult::entered);
    const std::shared_ptr<const DirectoryListing> listing = platform.listDirectory(failure);
    ASSERT_EQ(listing->size(), count + 2u);
    EXPECT_LE(listing->enlargements(), static_cast<std::size_t>(std::log2(count)));
}

// sshfs refuses the no-replace flag, and a directory handle it has read to
// its end gives nothing more, even from its start: a directory read for the
// descent and again for its own entries misses none, and the run is taken
// back exactly. Its cache may list a directory as it was before a rename.
TEST_F(InProcess, ReadingsThatCannotRewindMissNothing) {
    dir.make({"SUB/", "SUB/B.TXT", "A.TXT"});
    getdentsHook = [](int fd, void* buffer, size_t size) -> ssize_t {
        if (endedReadings.contains(fd)) return 0;
        const ssize_t got = realSystemCalls().getdents64(fd, buffer, size);
        if (got == 0) endedReadings.insert(fd);
        return got;
    };
    systemCalls().renameat2 = [](int, const char*, int, const char*, unsigned int) { return errno = EINVAL, -1; };
    run({"-R", "*"});
    EXPECT_EQ(output, converted({{"SUB\\", "B.TXT -> b.txt"}, {"", "A.TXT -> a.txt"}}, 2));
    run({"-Z"});
    EXPECT_EQ(errors, "");
    EXPECT_EQ(dir.tree(), (std::vector<std::string>{"A.TXT", "SUB/", "SUB/B.TXT"}));
    // A reading after the rename that does not show it yet, as a cache that
    // lags: the names' own look-ups tell the rename was made.
    static int listed = -1;
    getdentsHook = [](int fd, void* buffer, size_t size) -> ssize_t {
        if (listed < 0) listed = fd;
        return fd == listed ? realSystemCalls().getdents64(fd, buffer, size) : 0;
    };
    output.clear();
    run({"*.TXT"});
    EXPECT_EQ(output, ".\\\r\n  A.TXT -> a.txt\r\n\r\n1 file in 1 directory converted to lowercase.\r\n\r\n");
    EXPECT_EQ(errors, "");
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

// What keeps a run from its journal, or a journal from its run, is said
// with the system's reason; the run itself goes on, and taking it back
// renames nothing it cannot reach.
TEST_F(InProcess, WhatStandsBetweenARunAndItsJournalIsSaidWithItsReason) {
    // Nothing names a home: no directory or file is made anywhere, and the
    // run's second directory is not tried again.
    dir.make({"SUB/", "SUB/D.TXT", "C.TXT"});
    const char* const homeSet = std::getenv("HOME");
    const std::optional<std::string> home = homeSet != nullptr ? std::optional<std::string>(homeSet) : std::nullopt;
    unsetenv("HOME");
    unsetenv("XDG_STATE_HOME");
    systemCalls().mkdirat = [](int, const char*, mode_t) { return errno = EROFS, -1; };
    systemCalls().createat = [](int, const char*, int, mode_t) { return errno = EROFS, -1; };
    run({"-R", "*.TXT"});
    home ? setenv("HOME", home->c_str(), 1) : unsetenv("HOME");
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    EXPECT_EQ(errors, "tocase: this run cannot be taken back: the journals cannot be kept: there is no home "
                      "directory to keep it in\n");
    EXPECT_EQ(dir.tree(), (std::vector<std::string>{"SUB/", "SUB/d.txt", "c.txt"}));

    restart({"A.TXT"});
    systemCalls().mkdirat = [](int fd, const char* name, mode_t mode) {
        return std::string_view(name).ends_with("/tocase") ? (errno = EACCES, -1) : ::mkdirat(fd, name, mode);
    };
    run({"*.TXT"});
    EXPECT_EQ(errors, "tocase: this run cannot be taken back: the journals cannot be kept: '" + state.path() +
                          "/tocase': Permission denied\n");
    EXPECT_EQ(dir.tree(), std::vector<std::string>{"a.txt"});

    // A state home that is a file.
    systemCalls().mkdirat = realSystemCalls().mkdirat;
    restart({"C.TXT"});
    const std::string file = state.path() + "/file";
    std::ofstream(file) << "x";
    setenv("XDG_STATE_HOME", file.c_str(), 1);
    run({"*.TXT"});
    run({"-Z"});
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    std::remove(file.c_str());
    EXPECT_EQ(errors, "tocase: this run cannot be taken back: the journals cannot be kept: '" + file +
                          "/tocase': Not a directory\ntocase: no run can be taken back: the journals cannot be kept: '" +
                          file + "/tocase': Not a directory\n");

    // A journal begun that can no longer be added to.
    restart({"B.TXT"});
    systemCalls().openat = [](int fd, const char* name, int flags) {
        return (flags & O_APPEND) != 0 ? (errno = EACCES, -1) : ::openat(fd, name, flags);
    };
    run({"*.TXT"});
    systemCalls().openat = realSystemCalls().openat;
    EXPECT_EQ(errors, "tocase: this run cannot be taken back: its journal cannot be written: Permission denied\n");
    EXPECT_EQ(dir.tree(), std::vector<std::string>{"b.txt"});

    // A home on a file system that refuses the no-replace flag (FUSE)
    // keeps journals all the same.
    systemCalls().mkdirat = realSystemCalls().mkdirat;
    restart({"B.TXT"});
    systemCalls().renameat2 = [](int fromFd, const char* from, int toFd, const char* to, unsigned int flags) {
        return from[0] == '/' ? (errno = EINVAL, -1) : ::renameat2(fromFd, from, toFd, to, flags);
    };
    run({"*.TXT"});
    systemCalls().renameat2 = realSystemCalls().renameat2;
    ASSERT_EQ(errors, "");
    output.clear();
    refusedName = ".";
    run({"-Z"});
    EXPECT_EQ(output, ".\\\r\n  b.txt -> B.TXT *** FAILED\r\n\r\n0 files in 1 directory put back.\r\n\r\n"
                      "Process failed at 1 file. Perhaps this file is in process by another\r\n"
                      "application. Close these applications and try again...\r\n\r\n");
    EXPECT_TRUE(errors.starts_with("tocase: cannot rename 'b.txt': its directory cannot be read: Permission denied\n"
                                   "tocase: 1 entry of this run is not back: 1 whose directory cannot be read")) << errors;
    EXPECT_EQ(dir.tree(), std::vector<std::string>{"b.txt"});
}

// A run a take-back leaves not fully back is kept beside the last twenty,
// its journal named so; where that cannot be, it is said.
TEST_F(InProcess, RunNotFullyBackThatCannotBeKeptSoIsSaid) {
    dir.make({"A.TXT"});
    run({"*.TXT"});
    dir.make({"A.TXT"});
    systemCalls().renameat2 = [](int fromFd, const char* from, int toFd, const char* to, unsigned int flags) {
        return from[0] == '/' ? (errno = EACCES, -1) : ::renameat2(fromFd, from, toFd, to, flags);
    };
    errors.clear();
    run({"-Z"});
    EXPECT_NE(errors.find("tocase: the run cannot be kept beside the last 20: Permission denied\n"), std::string::npos)
        << errors;
}

// The journals of the runs made so far, oldest first.
std::vector<std::filesystem::path> journalsIn(const ScratchDirectory& state) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(state / "tocase")) {
        if (entry.path().filename().string().starts_with("run-")) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Another name of the same file is marked in the journal, never looked for
// by its number, however many entries its directory holds.
TEST_F(InProcess, SecondLinkIsMarkedInALargeDirectory) {
    for (int i = 0; i < 5000; ++i) {
        ::close(::open((dir / std::string("f").append(std::to_string(i))).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    dir.make({"A.TXT", "B.TXT"});
    ASSERT_EQ(::link((dir / "A.TXT").c_str(), (dir / "keep").c_str()), 0);
    run({"*.TXT"});
    std::ifstream journal(journalsIn(state).back());
    const std::string text((std::istreambuf_iterator<char>(journal)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("rename f* " + std::to_string(inodeOf(dir / "a.txt")) + " A.TXT a.txt\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("rename f " + std::to_string(inodeOf(dir / "b.txt")) + " B.TXT b.txt\n"), std::string::npos)
        << text;
}

// A journal whose one record does not read holds a record all the same:
// that record is said, and the journal is not said to hold none.
TEST_F(InProcess, JournalWhoseOnlyRecordDoesNotReadIsNotSaidToHoldNone) {
    dir.make({"A.TXT"});
    run({"*.TXT"});
    const std::filesystem::path journal = journalsIn(state).back();
    std::ifstream reading(journal);
    std::string text, line;
    while (std::getline(reading, line) && !line.starts_with("directory ")) text += line + "\n";
    reading.close();
    std::ofstream(journal, std::ios::trunc) << text << "directory 1:1 \\q\n";
    errors.clear();
    run({"-Z"});
    EXPECT_NE(errors.find("cannot be read: what it holds is not put back"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("holds no record"), std::string::npos) << errors;
}

// The renames of the run's last directory that were not made are noted at
// its end too, not only those of a directory another one followed.
TEST_F(InProcess, RenamesNotMadeInTheLastDirectoryAreNoted) {
    dir.make({"A.TXT", "a.txt", "B.TXT"});
    run({"*.TXT"});
    std::ifstream journal(journalsIn(state).back());
    const std::string text((std::istreambuf_iterator<char>(journal)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(text.ends_with("\nunmade 0\n") || text.ends_with("\nunmade 1\n")) << text;
}

// A record that does not read, or a newest journal without its start, is
// said, and the run is not taken as done: nothing older is taken back
// instead. A journal that cannot be begun leaves no file at all.
TEST_F(InProcess, JournalThatDoesNotReadIsSaidAndNothingOlderTakenBackInstead) {
    dir.make({"A.TXT"});
    run({"*.TXT"});
    dir.make({"B.TXT"});
    run({"*.TXT"});
    std::ofstream(journalsIn(state).back(), std::ios::app) << "directory 1:1 \\q\n";
    for (const int attempt : {1, 2}) {
        errors.clear();
        output.clear();
        const std::string journal = journalsIn(state).back().filename().string();
        run({"-Z"});
        // The record not read counts as an entry not put back.
        EXPECT_NE(output.find("\r\nProcess failed at 1 file."), std::string::npos) << output;
        EXPECT_TRUE(errors.starts_with("tocase: a record of the journal '" + journal +
                                       "' cannot be read: what it holds is not put back\ntocase: 1 entry of this run "
                                       "is not back")) << attempt << errors;
        EXPECT_EQ(dir.tree(), (std::vector<std::string>{"B.TXT", "a.txt"})) << attempt;
    }
    const std::string cannotRead = "tocase: the journal '" + journalsIn(state).back().filename().string() + "' cannot be read: ";
    const std::string nothingTaken =
        "; nothing is taken back, as it may hold the newest run made here (remove it to take back the runs before it)\n";
    systemCalls().fstatat = [](int fd, const char* name, struct stat* status, int flags) {
        return std::string_view(name).find("/run-") != std::string_view::npos ? (errno = EIO, -1)
                                                                                : ::fstatat(fd, name, status, flags);
    };
    errors.clear();
    run({"-Z"});
    EXPECT_EQ(errors, cannotRead + "Input/output error" + nothingTaken);
    systemCalls().fstatat = realSystemCalls().fstatat;
    // Nor one that looks the user's own, but cannot be opened.
    systemCalls().openat = [](int fd, const char* name, int flags) {
        return std::string_view(name).find("/run-") != std::string_view::npos ? (errno = EACCES, -1)
                                                                                : ::openat(fd, name, flags);
    };
    errors.clear();
    run({"-Z"});
    EXPECT_EQ(errors, cannotRead + "Permission denied" + nothingTaken);
    systemCalls().openat = realSystemCalls().openat;
    // Nor one whose reading fails part-way.
    systemCalls().read = [](int, void*, size_t) -> ssize_t { return errno = EIO, -1; };
    errors.clear();
    run({"-Z"});
    EXPECT_EQ(errors, cannotRead + "Input/output error" + nothingTaken);
    systemCalls().read = realSystemCalls().read;
    std::filesystem::resize_file(journalsIn(state).back(), 0);
    errors.clear();
    output.clear();
    run({"-Z"});
    EXPECT_EQ(errors, cannotRead + "its start is not whole" + nothingTaken);
    EXPECT_EQ(output, "");
    EXPECT_EQ(dir.tree(), (std::vector<std::string>{"B.TXT", "a.txt"}));

    // A full disk at the journal's first write.
    std::filesystem::remove_all(state / "tocase");
    restart({"C.TXT"});
    systemCalls().write = [](int fd, const void* bytes, size_t size) -> ssize_t {
        if (fd > STDERR_FILENO) return errno = ENOSPC, -1;
        (fd == STDOUT_FILENO ? output : errors).append(static_cast<const char*>(bytes), size);
        return static_cast<ssize_t>(size);
    };
    run({"*.TXT"});
    EXPECT_EQ(errors, "tocase: this run cannot be taken back: its journal cannot be written: No space left on device\n");
    EXPECT_EQ(journalsIn(state), std::vector<std::filesystem::path>{});
}

// A disk that fills part-way through a directory's record: every whole
// line written is taken back.
TEST_F(InProcess, EveryWholeLineOfARecordCutShortIsTakenBack) {
    dir.make({"A.TXT", "B.TXT", "C.TXT", "D.TXT"});
    static std::size_t journalBytesLeft;
    journalBytesLeft = std::string::npos;
    const auto capturing = systemCalls().write;
    systemCalls().write = [](int fd, const void* bytes, size_t size) -> ssize_t {
        if (fd <= STDERR_FILENO) return (fd == STDOUT_FILENO ? output : errors).append(static_cast<const char*>(bytes), size), size;
        const std::string_view text(static_cast<const char*>(bytes), size);
        // The directory's record: cut in the middle of its third rename line.
        if (text.starts_with("directory ")) journalBytesLeft = text.find("rename", text.find("rename", text.find("rename") + 1) + 1) + 9;
        if (journalBytesLeft == 0) return errno = ENOSPC, -1;
        const ssize_t written = ::write(fd, bytes, std::min(size, journalBytesLeft));
        journalBytesLeft -= journalBytesLeft == std::string::npos ? 0 : written;
        return written;
    };
    run({"*.TXT"});
    systemCalls().write = capturing;
    ASSERT_EQ(dir.tree(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    const std::vector<std::filesystem::path> journals = journalsIn(state);
    ASSERT_EQ(journals.size(), 1u);
    output.clear();
    run({"-Z"});
    std::vector<std::string> tree = dir.tree();
    EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const std::string& name) { return std::isupper(name[0]); }), 2)
        << output;
    EXPECT_TRUE(output.ends_with("2 files in 1 directory put back.\r\n\r\n")) << output;
}

}  // namespace
}  // namespace tocase
