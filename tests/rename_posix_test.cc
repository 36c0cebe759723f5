// Renames in a real directory, with the system calls made to misbehave at
// the seam as FUSE and case-folding file systems do, or to fail outright.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/rename-posix.h"
#include "platform/posix/system_calls-posix.h"
#include "scratch_directory.h"

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
    std::vector<std::string> failRenameTo;  // EIO for a rename to any of these
    int listingsBeforeFailure = -1;          // directory reads that succeed, then EIO
    bool kindsUnknown = false;               // readings say DT_UNKNOWN, as some file systems do
    bool readingsEndForGood = false;  // a description read to its end gives nothing more, as sshfs's
    bool listingLags = false;         // readings show the names as they were before the renames
    bool readingsRefused = false;     // a reading of its own cannot be opened: EMFILE

    bool fails(const char* to) const { return std::ranges::count(failRenameTo, to) > 0; }
};
Behaviour behaviour;
std::vector<std::string> calls;  // "from>to" for each rename that reached the kernel
std::set<int> endedReadings;
int readingsOpened = 0;
int lookups = 0;  // names looked up alone

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
    if (behaviour.storeUppercase || behaviour.fails(to)) return fakeRenameat(oldFd, from, newFd, to);
    calls.push_back(std::string(from) + ">" + to);
    return ::renameat2(oldFd, from, newFd, to, flags);
}

// A folding file system finds an entry by every spelling of its name.
int fakeFstatat(int fd, const char* name, struct stat* status, int flags) {
    lookups += *name != '\0';
    const int looked = ::fstatat(fd, name, status, flags);
    if (looked == 0 || errno != ENOENT || !behaviour.foldCase || *name == '\0') return looked;
    DIR* directory = fdopendir(::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string found;
    for (const dirent* entry; directory != nullptr && (entry = readdir(directory)) != nullptr;) {
        if (folded(entry->d_name) == folded(name)) found = entry->d_name;
    }
    if (directory != nullptr) closedir(directory);
    return found.empty() ? (errno = ENOENT, -1) : ::fstatat(fd, found.c_str(), status, flags);
}

ssize_t fakeGetdents64(int fd, void* buffer, size_t size) {
    // Only the start of a reading counts, so a long directory is one.
    if (::lseek(fd, 0, SEEK_CUR) == 0 && behaviour.listingsBeforeFailure >= 0 &&
        behaviour.listingsBeforeFailure-- == 0) {
        return errno = EIO, -1;
    }
    if (behaviour.readingsEndForGood && endedReadings.contains(fd)) return 0;
    const ssize_t got = realSystemCalls().getdents64(fd, buffer, size);
    if (got == 0) endedReadings.insert(fd);
    for (ssize_t at = 0; at < got;) {
        auto* record = reinterpret_cast<dirent64*>(static_cast<char*>(buffer) + at);
        if (behaviour.kindsUnknown) record->d_type = DT_UNKNOWN;
        // A case change keeps the name's length: undone in place.
        for (auto call = calls.rbegin(); behaviour.listingLags && call != calls.rend(); ++call) {
            const std::size_t split = call->find('>');
            if (2 * split + 1 == call->size() && call->substr(split + 1) == record->d_name) call->copy(record->d_name, split);
        }
        at += record->d_reclen;
    }
    return got;
}

FoundEntry entry(std::string_view name, bool isDirectory = false, bool isLink = false) {
    return FoundEntry{name, isDirectory, false, isLink};
}

// Files of `directory` as its listing gives them, each with its number.
std::vector<FoundEntry> listedWithNumbers(const std::filesystem::path& directory, const std::vector<std::string>& names) {
    std::vector<FoundEntry> listed;
    for (const std::string& name : names) {
        struct stat status {};
        lstat((directory / name).c_str(), &status);
        listed.push_back(entry(name));
        listed.back().fileId = status.st_ino;
    }
    return listed;
}

std::vector<const FoundEntry*> pointersTo(const std::vector<FoundEntry>& listed) {
    std::vector<const FoundEntry*> pointers;
    for (const FoundEntry& found : listed) pointers.push_back(&found);
    return pointers;
}

// A directory to rename in, with the fakes in place of the system calls.
class RenameSeam : public testing::Test {
protected:
    struct Scratch {
        ScratchDirectory dir;
        int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ~Scratch() { close(fd); }
        // One renamer for the directory, as the platform keeps one.
        bool spellingConfirmed = false;
        // Numbers that do not last: the kind alone is checked, unless a
        // test gives the entries their numbers.
        RenameDirectory directory{fd, spellingConfirmed, false};
        std::vector<std::string> notices;
        RenameResult rename(const FoundEntry& found, const std::string& to) {
            return directory.rename(found, to, [this](std::string_view name) { notices.emplace_back(name); });
        }
        RenameResult rename(const std::string& from, const std::string& to) { return rename(entry(from), to); }
    };

    void SetUp() override {
        systemCalls().renameat2 = fakeRenameat2;
        systemCalls().renameat = fakeRenameat;
        systemCalls().getdents64 = fakeGetdents64;
        systemCalls().fstatat = fakeFstatat;
        systemCalls().openat = [](int directoryFd, const char* name, int flags) {
            readingsOpened += std::string_view(name) == ".";
            if (behaviour.readingsRefused && std::string_view(name) == ".") return errno = EMFILE, -1;
            return ::openat(directoryFd, name, flags);
        };
        systemCalls().close = [](int fd) { return endedReadings.erase(fd), ::close(fd); };
        use(Behaviour{});
    }
    void TearDown() override { systemCalls() = realSystemCalls(); }
    static void use(const Behaviour& setup) {
        behaviour = setup;
        calls.clear();
        endedReadings.clear();
        readingsOpened = 0;
        lookups = 0;
    }

    const std::string temporary_ = ".~tocase-" + std::to_string(getpid()) + "-";
};

TEST_F(RenameSeam, FileSystemsThatRefuseTheFlagOrFoldCase) {
    struct Row {
        const char* title;
        Behaviour setup;
        std::vector<std::string> before;
        const char* reason;  // empty: renamed
        std::vector<std::string> after;
        std::size_t kernelCalls;  // renames that reached the kernel
        const char* notice = "";  // why its new spelling is unconfirmed
    };
    const Row rows[] = {
        {"without the flag, a free name is looked up, then taken", {.refuseFlag = EINVAL},
         {"A.TXT"}, "", {"a.txt"}, 1},
        {"an old kernel without the call does the same", {.refuseFlag = ENOSYS}, {"A.TXT"}, "", {"a.txt"}, 1},
        {"without the flag, a name another entry holds is left", {.refuseFlag = EINVAL},
         {"A.TXT", "a.txt"}, "'a.txt' is another entry", {"A.TXT", "a.txt"}, 0},
        {"folding case, the entry goes round a temporary name", {.foldCase = true},
         {"A.TXT", "B.TXT"}, "", {"B.TXT", "a.txt"}, 2},
        {"folding case without the flag", {.refuseFlag = EINVAL, .foldCase = true}, {"A.TXT"}, "", {"a.txt"}, 2},
        {"folding case, a real collision fails and keeps both", {.foldCase = true},
         {"A.TXT", "a.txt"}, "'a.txt' is another entry", {"A.TXT", "a.txt"}, 0},
        {"a failed second step puts the entry back", {.foldCase = true, .failRenameTo = {"a.txt"}},
         {"A.TXT"}, "Input/output error", {"A.TXT"}, 2},
        {"a driver that keeps its own spelling is a failure", {.foldCase = true, .storeUppercase = true},
         {"A.TXT"}, "the file system kept another spelling", {"A.TXT"}, 2},
        {"so is one that takes a rename in one step and keeps its spelling, after a try round a temporary name",
         {.storeUppercase = true}, {"A.TXT"}, "the file system kept another spelling", {"A.TXT"}, 3},
        {"a directory that cannot be read to tell a twin from itself is left alone",
         {.foldCase = true, .listingsBeforeFailure = 0}, {"A.TXT"}, "the directory cannot be read again: ", {"A.TXT"}, 0},
        {"a rename made is made, though a reading cannot show it",
         {.foldCase = true, .listingsBeforeFailure = 1}, {"A.TXT"}, "", {"a.txt"}, 2,
         "Input/output error"},
        {"so is one whose spelling neither a reading nor the look-ups can tell",
         {.foldCase = true, .storeUppercase = true, .listingsBeforeFailure = 1}, {"A.TXT"}, "", {"A.TXT"}, 2,
         "Input/output error"},
        // sshfs: no flag, and from a directory it has read to its end (as
        // the listing leaves it) nothing more, even from its start; the
        // names' look-ups tell, whatever a cached listing shows.
        {"sshfs: the new name is read from the start", {.refuseFlag = EINVAL, .readingsEndForGood = true},
         {"A.TXT"}, "", {"a.txt"}, 1},
        {"sshfs: a cached listing that lags is not asked", {.refuseFlag = EINVAL, .readingsEndForGood = true, .listingLags = true},
         {"A.TXT"}, "", {"a.txt"}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        use(row.setup);
        Scratch scratch;
        scratch.dir.make(row.before);
        Failure listed;
        if (row.setup.readingsEndForGood) readUnreadDirectory(scratch.fd, listed);
        const RenameResult result = scratch.rename("A.TXT", "a.txt");
        if (*row.reason == '\0') {
            EXPECT_TRUE(result.renamed) << describe(result.failure);
            EXPECT_EQ(describe(result.spellingUnconfirmed), row.notice);
        } else {
            EXPECT_FALSE(result.renamed);
            EXPECT_TRUE(describe(result.failure).starts_with(row.reason)) << describe(result.failure);
        }
        EXPECT_EQ(scratch.dir.tree(), row.after);
        EXPECT_EQ(calls.size(), row.kernelCalls) << testing::PrintToString(calls);
    }
}

// What one rename teaches about the directory's names is kept for the next.
TEST_F(RenameSeam, NamesMadeAndFreedAreKnownToTheNextRename) {
    use({.foldCase = true});
    Scratch scratch;
    scratch.dir.make({"A.TXT", "A.txt", "a.TXT"});
    EXPECT_TRUE(scratch.rename("A.TXT", "a.txt").renamed);
    EXPECT_TRUE(scratch.rename("A.txt", "A.TXT").renamed);
    // Freed: A.txt is nobody's twin any more.
    EXPECT_TRUE(scratch.rename("a.TXT", "A.txt").renamed);
    calls.clear();
    // Made: A.TXT is another entry, refused at once.
    EXPECT_EQ(describe(scratch.rename("a.txt", "A.TXT").failure), "'A.TXT' is another entry");
    EXPECT_EQ(calls, std::vector<std::string>{});
}

TEST_F(RenameSeam, TemporaryNameCarriesTheOriginalAndSkipsTakenOnes) {
    use({.foldCase = true});
    Scratch scratch;
    scratch.dir.make({"README.TXT", "README.TXT" + temporary_ + "0"});
    EXPECT_TRUE(scratch.rename("README.TXT", "readme.txt").renamed);
    EXPECT_EQ(calls, (std::vector<std::string>{"README.TXT>README.TXT" + temporary_ + "0",
                                               "README.TXT>README.TXT" + temporary_ + "1",
                                               "README.TXT" + temporary_ + "1>readme.txt"}));
    EXPECT_EQ(scratch.notices, std::vector<std::string>{});
}

// Where the whole original does not fit, as much of it as fits, said
// first: the temporary name stays within 255 bytes up to the hundredth
// attempt, is never cut inside a character, and keeps every character
// that fits. A two-byte character at every position round the cut.
TEST_F(RenameSeam, TemporaryNameOfALongNameKeepsWhatFits) {
    use({.foldCase = true});
    const std::string lastAttempt = temporary_ + "99";
    for (std::size_t at = 200; at < 250; ++at) {
        Scratch scratch;
        const std::string longName = std::string(at, 'N') + "\xC3\x84" + std::string(253 - at, 'X');
        scratch.dir.make({longName});
        calls.clear();
        ASSERT_TRUE(scratch.rename(longName, folded(longName)).renamed) << at;
        ASSERT_EQ(scratch.notices.size(), 1u);
        const std::string& temporary = scratch.notices[0];
        ASSERT_TRUE(temporary.ends_with(temporary_ + "0")) << temporary;
        const std::string kept = temporary.substr(0, temporary.size() - temporary_.size() - 1);
        ASSERT_TRUE(longName.starts_with(kept)) << at;
        const std::size_t next = longName[kept.size()] == 'N' || longName[kept.size()] == 'X' ? 1 : 2;
        EXPECT_LE(kept.size() + lastAttempt.size(), 255u) << at;
        EXPECT_GT(kept.size() + next + lastAttempt.size(), 255u) << at;
        EXPECT_NE(longName[kept.size()], '\x84') << at;
        EXPECT_EQ(calls.at(0), longName + ">" + temporary);
    }
}

TEST_F(RenameSeam, EntryThatCannotBePutBackIsReportedUnderItsTemporaryName) {
    use({.foldCase = true, .failRenameTo = {"readme.txt", "README.TXT"}});
    Scratch scratch;
    scratch.dir.make({"README.TXT"});
    const RenameResult result = scratch.rename("README.TXT", "readme.txt");
    EXPECT_FALSE(result.renamed);
    EXPECT_EQ(result.strandedName, "README.TXT" + temporary_ + "0");
    EXPECT_EQ(describe(result.failure), "Input/output error");
    EXPECT_EQ(scratch.dir.tree(), std::vector<std::string>{result.strandedName});
}

// Looked at without following: a link is renamed as the link it still is,
// whatever its target has become; anything else of another kind is left.
TEST_F(RenameSeam, OnlyAnEntryStillOfTheKindListedIsRenamed) {
    Scratch scratch;
    scratch.dir.make({"DIR/", "FILE"});
    ASSERT_EQ(symlink("DIR", (scratch.dir / "LINK").c_str()), 0);
    ASSERT_EQ(symlink("GONE", (scratch.dir / "DANGLING").c_str()), 0);
    EXPECT_EQ(describe(scratch.rename(entry("FILE", true), "file").failure), "it is no longer the directory that was listed");
    EXPECT_EQ(describe(scratch.rename(entry("DIR"), "dir").failure), "it is no longer the file that was listed");
    EXPECT_EQ(describe(scratch.rename(entry("DIR", true, true), "dir").failure), "it is no longer the link that was listed");
    EXPECT_EQ(describe(scratch.rename(entry("LINK", true), "link").failure), "it is no longer the directory that was listed");
    EXPECT_EQ(describe(scratch.rename(entry("NONE"), "none").failure), "No such file or directory");
    for (const auto& found : {entry("LINK", true, true), entry("DANGLING", false, true), entry("DIR", true)}) {
        EXPECT_TRUE(scratch.rename(found, folded(std::string(found.name))).renamed) << found.name;
    }
    EXPECT_EQ(scratch.dir.tree(), (std::vector<std::string>{"FILE", "dangling", "dir/", "link"}));
}

// Where numbers last, a name that now holds another file is refused too,
// whether the entry is looked at alone or confirmed by the reading of the
// directory its renames were announced with, a reading that tells no kinds
// included.
TEST_F(RenameSeam, OnlyTheFileListedIsRenamedWhereNumbersLast) {
    struct Mode {
        bool announced;
        bool kindsUnknown;
    };
    for (const auto [announced, kindsUnknown] : {Mode{false, false}, Mode{true, false}, Mode{true, true}}) {
        SCOPED_TRACE(testing::Message() << announced << kindsUnknown);
        Scratch scratch;
        use({.kindsUnknown = kindsUnknown});
        scratch.dir.make({"SAME", "OTHER", "GONE", "DIR/"});
        RenameDirectory directory{scratch.fd, scratch.spellingConfirmed, true};
        const auto listed = [&](std::string_view name, bool isDirectory = false) {
            struct stat status {};
            lstat((scratch.dir / std::string(name)).c_str(), &status);
            FoundEntry found = entry(name, isDirectory);
            found.fileId = status.st_ino;
            return found;
        };
        const FoundEntry other = listed("OTHER"), gone = listed("GONE"), dir = listed("DIR", true);
        std::rename((scratch.dir / "SAME").c_str(), (scratch.dir / "OTHER").c_str());
        std::remove((scratch.dir / "GONE").c_str());
        if (announced) directory.announce({&dir, &other, &gone}, nullptr, false, {});
        EXPECT_EQ(describe(directory.rename(other, "other", {}).failure), "it is no longer the file that was listed");
        EXPECT_EQ(describe(directory.preview(other, "other", {}).failure), "it is no longer the file that was listed");
        EXPECT_EQ(describe(directory.rename(gone, "gone", {}).failure), "No such file or directory");
        EXPECT_TRUE(directory.rename(dir, "dir", {}).renamed);
        EXPECT_EQ(scratch.dir.tree(), (std::vector<std::string>{"OTHER", "dir/"}));
    }
}

// A directory of several reading buffers is confirmed in one pass from its
// start, on a reading of its own: the renames between two buffers leave it
// where it was. The reading that confirms the spelling lets go of it, and
// the rest are met in a reading from the start: never one seeks, as sshfs's
// cannot.
TEST_F(RenameSeam, DirectoryOfSeveralBuffersIsConfirmedInOnePass) {
    Scratch scratch;
    std::vector<std::string> names;
    for (int i = 0; i < 800; ++i) names.push_back("A_NAME_LONG_ENOUGH_TO_FILL_BUFFERS_" + std::to_string(i));
    scratch.dir.make(names);
    // Lowered where the spelling is known, then raised where it is not.
    for (const bool spellingKnown : {true, false}) {
        const std::vector<FoundEntry> listed = listedWithNumbers(scratch.dir.path(), names);
        const std::vector<const FoundEntry*> announced = pointersTo(listed);
        use({.readingsEndForGood = true});
        RenameDirectory directory{scratch.fd, scratch.spellingConfirmed = spellingKnown, true};
        directory.announce(announced, nullptr, false, {});
        std::vector<std::string> renamed;
        for (const std::string& name : names) renamed.push_back(spellingKnown ? folded(name) : "A" + name.substr(1));
        for (std::size_t i = 0; i < names.size(); ++i) {
            ASSERT_TRUE(directory.rename(listed[i], renamed[i], {}).renamed) << names[i];
        }
        names = renamed;
        // The names' look-ups tell the spelling, once for all the renames:
        // no reading but the one.
        EXPECT_EQ(readingsOpened, 1);
        EXPECT_LE(lookups, 2);
    }
    // Where no reading can be opened, nothing is renamed on a guess.
    std::vector<FoundEntry> listed;
    for (const std::string& name : names) listed.push_back(entry(name));
    const std::vector<const FoundEntry*> announced = pointersTo(listed);
    use({.readingsRefused = true});
    RenameDirectory directory{scratch.fd, scratch.spellingConfirmed, true};
    directory.announce(announced, nullptr, false, {});
    EXPECT_EQ(describe(directory.rename(listed.front(), "x", {}).failure), "the directory cannot be read again: Too many open files");
}

// A reading stands for its buffer's entries 50 ms at most: then the buffer
// is read again from where it began; one whose renames outlast even that
// leaves every entry left to be looked at alone.
TEST_F(RenameSeam, StaleBufferIsReadAgainOnceThenEachEntryLookedAtAlone) {
    Scratch scratch;
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i) names.push_back(std::string(60, 'N') + std::to_string(i));
    scratch.dir.make(names);
    const std::vector<FoundEntry> listed = listedWithNumbers(scratch.dir.path(), names);
    const std::vector<const FoundEntry*> announced = pointersTo(listed);
    RenameConfirmation confirmation(scratch.fd, announced);
    Failure failure;
    const auto confirmed = [&](std::size_t at) { return confirmation.confirm(listed[at], true, failure); };
    using Verdict = RenameConfirmation::Verdict;
    const auto stale = [] { usleep(60000); };
    ASSERT_EQ(confirmed(0), Verdict::confirmed);
    ASSERT_EQ(confirmed(names.size() - 1), Verdict::confirmed);
    const std::size_t buffers = confirmation.buffersRead();
    EXPECT_GE(buffers, 2u);
    // Made anew since its buffer was read: never confirmed by that reading.
    std::remove((scratch.dir / names[2]).c_str());
    scratch.dir.make({names[2]});
    stale();
    EXPECT_EQ(confirmed(1), Verdict::confirmed);
    EXPECT_EQ(confirmation.buffersReadAgain(), 1u);
    EXPECT_NE(confirmed(2), Verdict::confirmed);
    stale();
    EXPECT_EQ(confirmed(3), Verdict::lookAlone);
    EXPECT_EQ(confirmed(names.size() - 2), Verdict::lookAlone);
    EXPECT_EQ(confirmation.buffersReadAgain(), 1u);
    EXPECT_EQ(confirmation.buffersRead(), buffers);
}

}  // namespace
}  // namespace tocase
