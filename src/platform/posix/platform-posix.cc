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

// Made at or after the time a journal recorded as its run's start, where
// the file system tells: then its number was given anew, to another file.
bool madeAfter(int directoryFd, const char* name, int flags, std::string_view since) {
    struct statx status {};
    if (systemCalls().statx(directoryFd, name, flags, STATX_BTIME, &status) != 0 ||
        (status.stx_mask & STATX_BTIME) == 0) {
        return false;
    }
    const std::size_t dot = since.find('.');
    long long seconds = 0;
    long long nanoseconds = 0;
    std::from_chars(since.data(), since.data() + std::min(dot, since.size()), seconds);
    if (dot != std::string_view::npos) {
        std::from_chars(since.data() + dot + 1, since.data() + since.size(), nanoseconds);
    }
    return status.stx_btime.tv_sec > seconds ||
           (status.stx_btime.tv_sec == seconds && status.stx_btime.tv_nsec >= nanoseconds);
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

bool Platform::openDirectory(std::string_view directoryPrefix, std::string& reason) {
    state_->forgetCurrentDirectory();
    return state_->directories.openFirst(posixDirectoryPath(directoryPrefix), reason);
}

// What a listing found is confirmed again as it is opened, never through
// a link: a listed entry is opened as any other name.
EnterResult Platform::openSubdirectory(const FoundEntry& entry, std::string& reason) {
    return openSubdirectoryByName(entry.name, reason);
}

EnterResult Platform::openSubdirectoryByName(const std::string& name, std::string& reason) {
    state_->forgetCurrentDirectory();
    return state_->directories.openChild(name, reason);
}

bool Platform::closeDirectory(std::string& reason) {
    state_->forgetCurrentDirectory();
    return state_->directories.closeCurrent(reason);
}

bool Platform::currentIsStillInItsParent(std::string& reason) {
    return state_->directories.currentIsStillInItsParent(reason);
}

// A directory without subdirectories is read once for both the descent
// and its matches, as nothing comes between the two.
std::shared_ptr<const DirectoryListing> Platform::listDirectory(std::string& reason) {
    if (!state_->listing) {
        state_->listingBuffers = 0;
        state_->listing = readDirectory(state_->directories.currentFd(), reason, &state_->listingBuffers);
    }
    return state_->listing;
}

// The walk announces a directory's renames right after its listing: one
// the kernel gave in a single reading is itself the reading just before
// the renames; a longer one is read again, a buffer at a time.
void Platform::announceRenames(const std::vector<const FoundEntry*>& entries) {
    state_->currentRenamer().announce(entries, state_->listing != nullptr && state_->listingBuffers <= 1);
}

RenameResult Platform::renameEntry(const FoundEntry& entry, const std::string& newName,
                                   const TemporaryNameNotice& notice) {
    state_->listing.reset();
    return state_->currentRenamer().rename(entry, newName, notice);
}

// The names the previews before it would have made start from the
// directory's reading: the one kept since it was listed, else a new one.
RenameResult Platform::previewRename(const FoundEntry& entry, const std::string& newName) {
    std::string reason;
    const std::shared_ptr<const DirectoryListing> listing = listDirectory(reason);
    if (!listing) {
        return {false, "the directory cannot be read again: " + reason, {}};
    }
    return state_->currentRenamer().preview(entry, newName, *listing);
}

// The kernel keeps the directory a process was started in.
std::string Platform::whyWorkingDirectoryIsUnknown() { return {}; }

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
    if (entry.isDirectory || systemCalls().fstatat(state_->directories.currentFd(), entry.name.c_str(), &status,
                                                   AT_SYMLINK_NOFOLLOW) != 0) {
        return "-";
    }
    // Its size alone: FUSE daemons (fusefat) stamp a file anew as they
    // rename it, so its time does not last either.
    return std::to_string(status.st_size) + "B";
}

bool Platform::identitiesAreUnique() { return state_->currentNumbersLast(); }

// Local file systems stamp a file's making with the kernel's coarse clock,
// which lags the time by up to a tick, or with a finer time no later than
// now: whatever was made before the run began reads earlier than the time
// it began, and once the coarse clock has caught up with that time,
// whatever is made reads the same or later.
std::string Platform::runStartTime() {
    timespec began{};
    clock_gettime(CLOCK_REALTIME, &began);
    for (timespec coarse{};;) {
        clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
        if (coarse.tv_sec > began.tv_sec || (coarse.tv_sec == began.tv_sec && coarse.tv_nsec >= began.tv_nsec)) {
            break;
        }
        const timespec pause{0, 200000};
        nanosleep(&pause, nullptr);
    }
    return std::to_string(began.tv_sec) + "." + std::to_string(1000000000 + began.tv_nsec).substr(1);
}

bool Platform::isWorkingDirectoryAsRecorded(std::string_view identity, std::string_view since) {
    return workingDirectoryIdentity() == identity && !madeAfter(AT_FDCWD, ".", 0, since);
}

bool Platform::isCurrentDirectoryAsRecorded(std::string_view identity, std::string_view since) {
    return currentDirectoryIdentity() == identity &&
           !madeAfter(state_->directories.currentFd(), "", AT_EMPTY_PATH, since);
}

bool Platform::isEntryAsRecorded(const FoundEntry& entry, std::string_view identity, std::string_view since) {
    return entryIdentity(entry) == identity &&
           !madeAfter(state_->directories.currentFd(), entry.name.c_str(), AT_SYMLINK_NOFOLLOW, since);
}

void Platform::stopIfAsked() { stopIfSignalled(); }

}  // namespace tocase
