#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "platform/console.h"
#include "platform/directory_stack-posix.h"
#include "platform/platform.h"
#include "platform/read_directory-posix.h"
#include "platform/rename-posix.h"
#include "platform/stop_signals-posix.h"

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
    DirectoryStack directories{heldDirectoryLimit()};
    // What the current directory's last reading found, while nothing has
    // been renamed in it since.
    std::shared_ptr<const DirectoryListing> listing;
    std::optional<RenameDirectory> renamer;
    bool spellingConfirmed = false;
    Console console;

    RenameDirectory& currentRenamer() {
        if (!renamer) {
            renamer.emplace(directories.currentFd(), spellingConfirmed);
        }
        return *renamer;
    }

    void forgetCurrentDirectory() {
        listing.reset();
        renamer.reset();
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

EnterResult Platform::openSubdirectory(const FoundEntry& entry, std::string& reason) {
    state_->forgetCurrentDirectory();
    return state_->directories.openChild(entry.name, reason);
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
        state_->listing = readDirectory(state_->directories.currentFd(), reason);
    }
    return state_->listing;
}

RenameResult Platform::renameEntry(const FoundEntry& entry, const std::string& newName,
                                   const TemporaryNameNotice& notice) {
    state_->listing.reset();
    return state_->currentRenamer().rename(entry, newName, notice);
}

RenameResult Platform::previewRename(const FoundEntry& entry, const std::string& newName) {
    return state_->currentRenamer().preview(entry, newName, *state_->listing);
}

void Platform::writeOutput(std::string_view bytes) { state_->console.write(bytes); }

void Platform::endOutputLine() { state_->console.endLine(); }

void Platform::writeErrorLine(std::string_view text) { state_->console.errorLine(text); }

void Platform::stopIfAsked() { stopIfSignalled(); }

}  // namespace tocase
