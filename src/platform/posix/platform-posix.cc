#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "platform/posix/directory_stack-posix.h"
#include "platform/posix/read_directory-posix.h"
#include "platform/posix/rename-posix.h"
#include "platform/posix/stop_signals-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {

std::string systemErrorText(long code) { return std::strerror(static_cast<int>(code)); }

namespace {

// The walk holds at most this many directories, and briefly one more
// while it opens the next, so every depth finds a descriptor free.
constexpr std::size_t mostHeld = 256;

// What the process may still open, counted up to what the walk could use:
// its limit less what it holds already, inherited descriptors included,
// wherever they are below the limit.
std::size_t freeDescriptors() {
    rlimit limit{};
    const rlim_t end = getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
    std::size_t free = 0;
    for (rlim_t fd = 0; fd < end && free <= mostHeld; ++fd) {
        free += fcntl(static_cast<int>(fd), F_GETFD) == -1;
    }
    return free;
}

std::size_t heldDirectoryLimit() {
    const std::size_t available = freeDescriptors();
    return std::clamp<std::size_t>(available > 0 ? available - 1 : 0, 2, mostHeld);
}

// FUSE file systems number files anew as they look them up (exfat-fuse even
// numbers each spelling of a name apart): their numbers do not last from
// one run to the next.
bool numbersLast(int fd) {
    constexpr long fuseMagic = 0x65735546;
    struct statfs status {};
    return systemCalls().fstatfs(fd, &status) != 0 || status.f_type != fuseMagic;
}

// A time as a journal records it: seconds, then the nanoseconds after a dot.
std::pair<long long, long long> secondsAndNanoseconds(std::string_view time) {
    const std::size_t dot = time.find('.');
    long long seconds = 0;
    long long nanoseconds = 0;
    std::from_chars(time.data(), time.data() + std::min(dot, time.size()), seconds);
    if (dot != std::string_view::npos) {
        std::from_chars(time.data() + dot + 1, time.data() + time.size(), nanoseconds);
    }
    return {seconds, nanoseconds};
}

// Made after the time a journal recorded all its entries had been made by,
// where the file system tells: then its number was given anew, to another
// file.
bool madeAfter(int directoryFd, const char* name, int flags, std::string_view madeBy) {
    struct statx status {};
    if (systemCalls().statx(directoryFd, name, flags, STATX_BTIME, &status) != 0 ||
        (status.stx_mask & STATX_BTIME) == 0) {
        return false;
    }
    const auto [seconds, nanoseconds] = secondsAndNanoseconds(madeBy);
    return status.stx_btime.tv_sec > seconds ||
           (status.stx_btime.tv_sec == seconds && status.stx_btime.tv_nsec > nanoseconds);
}

timespec preciseTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// Seconds and nanoseconds, as a journal records a time.
std::string timeText(const timespec& time) {
    return std::to_string(time.tv_sec) + "." + std::to_string(1000000000 + time.tv_nsec).substr(1);
}

std::string posixDirectoryPath(std::string_view directoryPrefix) {
    if (directoryPrefix.empty()) {
        return ".";
    }
    std::string path(directoryPrefix);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

struct Platform::State {
    PlatformFacts facts;
    DirectoryStack directories{heldDirectoryLimit};
    // What the current directory's last reading found, while nothing has
    // been renamed in it since.
    std::shared_ptr<const DirectoryListing> listing;
    std::size_t listingBuffers = 0;
    RenameConfirmation::Clock::time_point listedAt;
    // Whether the current directory's descriptor has never been read: only
    // then is it read itself; any later reading opens one of its own.
    bool currentUnread = false;
    std::optional<RenameDirectory> renamer;
    bool spellingConfirmed = false;
    // Whether a file system keeps its file numbers, by device; looked at
    // once a file system, not once a directory.
    std::map<dev_t, bool> numbersLastOn;

    RenameDirectory& currentRenamer() {
        if (!renamer) {
            renamer.emplace(directories.currentFd(), spellingConfirmed, currentNumbersLast());
        }
        return *renamer;
    }

    void forgetCurrentDirectory() {
        listing.reset();
        renamer.reset();
    }

    bool currentNumbersLast() {
        const auto [known, added] = numbersLastOn.try_emplace(directories.currentDevice(), true);
        if (added) {
            known->second = tocase::numbersLast(directories.currentFd());
        }
        return known->second;
    }
};

Platform::Platform() : state_(std::make_unique<State>()) {
    state_->facts.slashMayBeginPath = true;
    state_->facts.shellExpandsWildcards = true;
    // A closed pipe, or a size limit on the output, must be a failed write,
    // not the end of the process.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    installStopHandlers();
}

Platform::~Platform() = default;

const PlatformFacts& Platform::facts() const { return state_->facts; }

std::vector<std::string> Platform::commandLine(int argumentCount, char** arguments) {
    return std::vector<std::string>(arguments, arguments + argumentCount);
}

EnterResult Platform::openDirectory(std::string_view directoryPrefix, Failure& failure) {
    state_->forgetCurrentDirectory();
    const EnterResult opened = state_->directories.openFirst(posixDirectoryPath(directoryPrefix), failure);
    state_->currentUnread = opened == EnterResult::entered;
    return opened;
}

// What a listing found is confirmed again as it is opened, never through
// a link: a listed entry is opened as any other name.
EnterResult Platform::openSubdirectory(const FoundEntry& entry, Failure& failure) {
    return openSubdirectoryByName(std::string(entry.name), failure);
}

EnterResult Platform::openSubdirectoryByName(const std::string& name, Failure& failure) {
    state_->forgetCurrentDirectory();
    const EnterResult entered = state_->directories.openChild(name, failure);
    state_->currentUnread = entered == EnterResult::entered;
    return entered;
}

bool Platform::closeDirectory(Failure& failure) {
    state_->forgetCurrentDirectory();
    state_->currentUnread = false;
    return state_->directories.closeCurrent(failure);
}

bool Platform::currentIsStillInItsParent(Failure& failure) {
    return state_->directories.currentIsStillInItsParent(failure);
}

// A directory without subdirectories is read once for both the descent
// and its matches, as nothing comes between the two.
std::shared_ptr<const DirectoryListing> Platform::listDirectory(Failure& failure) {
    if (!state_->listing) {
        state_->listingBuffers = 0;
        const int fd = state_->directories.currentFd();
        const std::shared_ptr<DirectoryListing> fresh = state_->currentUnread
                                                            ? readUnreadDirectory(fd, failure, &state_->listingBuffers)
                                                            : readDirectory(fd, failure, &state_->listingBuffers);
        state_->currentUnread = false;
        if (fresh) {
            fresh->setTimeRead(timeText(preciseTimeNow()));
            state_->listedAt = RenameConfirmation::Clock::now();
        }
        state_->listing = fresh;
    }
    return state_->listing;
}

// The walk announces a directory's renames right after its listing: one
// the kernel gave in a single reading is itself the reading just before
// the renames; a longer one is read again, a buffer at a time.
void Platform::announceRenames(const std::vector<const FoundEntry*>& entries) {
    const bool oneReading = state_->listing != nullptr && state_->listingBuffers <= 1;
    state_->currentRenamer().announce(entries, state_->listing.get(), oneReading, state_->listedAt);
}

RenameResult Platform::renameEntry(const FoundEntry& entry, const std::string& newName,
                                   const TemporaryNameNotice& notice) {
    state_->listing.reset();
    return state_->currentRenamer().rename(entry, newName, notice);
}

// The names the previews before it would have made start from the
// directory's reading: the one kept since it was listed, else a new one.
RenameResult Platform::previewRename(const FoundEntry& entry, const std::string& newName) {
    Failure failure;
    const std::shared_ptr<const DirectoryListing> listing = listDirectory(failure);
    if (!listing) {
        return {false, during(FailureStep::readingAgain, std::move(failure)), {}};
    }
    return state_->currentRenamer().preview(entry, newName, *listing);
}

// The kernel keeps the directory a process was started in.
Failure Platform::whyWorkingDirectoryIsUnknown() { return {}; }

std::string Platform::workingDirectoryPath() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr && errno == ERANGE) {
        path.resize(2 * path.size());
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

// Where numbers do not last, the path it is known by.
std::string Platform::workingDirectoryIdentity() {
    struct stat status {};
    if (systemCalls().fstatat(AT_FDCWD, ".", &status, 0) != 0) {
        return {};
    }
    const int fd = systemCalls().openat(AT_FDCWD, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool lasting = fd < 0 || numbersLast(fd);
    if (fd >= 0) {
        systemCalls().close(fd);
    }
    return std::to_string(status.st_dev) + ":" + (lasting ? std::to_string(status.st_ino) : workingDirectoryPath());
}

std::string Platform::currentDirectoryIdentity() {
    if (state_->directories.currentFd() < 0) {
        return {};
    }
    const DirectoryStack& directories = state_->directories;
    return std::to_string(directories.currentDevice()) + ":" +
           (state_->currentNumbersLast() ? std::to_string(directories.currentInode()) : "");
}

std::string Platform::entryIdentity(const FoundEntry& entry) {
    if (state_->currentNumbersLast()) {
        char digits[24];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, entry.fileId).ptr);
    }
    struct stat status {};
    if (entry.isDirectory || systemCalls().fstatat(state_->directories.currentFd(), entry.name.data(), &status,
                                                   AT_SYMLINK_NOFOLLOW) != 0) {
        return "-";
    }
    // Its size alone: FUSE daemons (fusefat) stamp a file anew as they
    // rename it, so its time does not last either.
    return std::to_string(status.st_size) + "B";
}

bool Platform::identitiesAreUnique() { return state_->currentNumbersLast(); }

// The directory it runs in was made before the run began, whatever clock
// the file system stamps its making with: every such clock reads the
// precise time or earlier.
std::string Platform::runStartTime() { return timeText(preciseTimeNow()); }

// Local file systems stamp a file's making with the kernel's coarse clock,
// or with a finer time no later than now.
void Platform::waitForStampsAfter(std::string_view time) {
    const auto [seconds, nanoseconds] = secondsAndNanoseconds(time);
    for (timespec coarse{};;) {
        clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
        if (coarse.tv_sec > seconds || (coarse.tv_sec == seconds && coarse.tv_nsec > nanoseconds)) {
            return;
        }
        const timespec pause{0, 200000};
        nanosleep(&pause, nullptr);
    }
}

bool Platform::isWorkingDirectoryAsRecorded(std::string_view identity, std::string_view madeBy) {
    return workingDirectoryIdentity() == identity && !madeAfter(AT_FDCWD, ".", 0, madeBy);
}

bool Platform::isCurrentDirectoryAsRecorded(std::string_view identity, std::string_view madeBy) {
    return currentDirectoryIdentity() == identity &&
           !madeAfter(state_->directories.currentFd(), "", AT_EMPTY_PATH, madeBy);
}

bool Platform::isEntryAsRecorded(const FoundEntry& entry, std::string_view identity, std::string_view madeBy) {
    return entryIdentity(entry) == identity &&
           !madeAfter(state_->directories.currentFd(), entry.name.data(), AT_SYMLINK_NOFOLLOW, madeBy);
}

void Platform::stopIfAsked() { stopIfSignalled(); }

}  // namespace tocase
