#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "platform/ascii_case.h"
#include "platform/console.h"
#include "platform/directory_stack-posix.h"
#include "platform/platform.h"
#include "platform/read_directory-posix.h"
#include "platform/rename-posix.h"
#include "platform/stop_signals-posix.h"

namespace tocase {
namespace {

// What the process may still open: its limit less what it holds already,
// inherited descriptors included. Only the low ones are looked at; above
// them, the limit leaves room enough either way.
std::size_t freeDescriptors() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 1024;
    }
    const int looked = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1024));
    rlim_t held = 0;
    for (int fd = 0; fd < looked; ++fd) {
        held += fcntl(fd, F_GETFD) != -1;
    }
    return static_cast<std::size_t>(limit.rlim_cur - held);
}

// The walk holds at most this many directories, and briefly one more
// while it opens the next, so every depth finds a descriptor free.
std::size_t heldDirectoryLimit() {
    const std::size_t available = freeDescriptors();
    return std::clamp<std::size_t>(available > 0 ? available - 1 : 0, 2, 256);
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
    // The names a preview of the current directory would leave, exactly.
    std::optional<std::unordered_set<std::string>> previewNames;
    std::string newName;  // reused, so a rename allocates nothing
    Console console;

    const std::string& newNameOf(const FoundEntry& entry, bool toLower) {
        newName.assign(entry.name);
        for (char& c : newName) {
            c = toAsciiCase(c, toLower);
        }
        return newName;
    }

    void forgetCurrentDirectory() {
        listing.reset();
        renamer.reset();
        previewNames.reset();
    }
};

Platform::Platform() : state_(std::make_unique<State>()) {
    state_->facts.slashMayBeginPath = true;
    state_->facts.shellExpandsWildcards = true;
    // A closed pipe must be a failed write, not the end of the process.
    signal(SIGPIPE, SIG_IGN);
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
bool Platform::listDirectory(const EntryVisitor& visit, std::string& reason) {
    if (!state_->listing) {
        state_->listing = readDirectory(state_->directories.currentFd(), reason);
    }
    // Held here: a rename during the visit lets go of the member.
    const std::shared_ptr<const DirectoryListing> listing = state_->listing;
    if (!listing) {
        return false;
    }
    for (const FoundEntry& entry : *listing) {
        visit(entry);
    }
    return true;
}

RenameResult Platform::renameEntry(const FoundEntry& entry, bool toLower, const TemporaryNameNotice& notice) {
    state_->listing.reset();
    if (!state_->renamer) {
        state_->renamer.emplace(state_->directories.currentFd());
    }
    return state_->renamer->rename(entry, state_->newNameOf(entry, toLower), notice);
}

// Where another entry holds the new name byte for byte; on a file system
// that folds case, no other entry can hold it in another spelling.
RenameResult Platform::previewRename(const FoundEntry& entry, bool toLower) {
    std::optional<std::unordered_set<std::string>>& names = state_->previewNames;
    if (!names) {
        names.emplace();
        for (const FoundEntry& listed : *state_->listing) {
            names->insert(listed.name);
        }
    }
    const std::string& newName = state_->newNameOf(entry, toLower);
    if (names->contains(newName)) {
        return {false, "'" + newName + "' is another entry", {}};
    }
    names->erase(entry.name);
    names->insert(newName);
    return {true, {}, {}};
}

void Platform::writeOutput(std::string_view bytes) { state_->console.write(bytes); }

void Platform::endOutputLine() { state_->console.endLine(); }

void Platform::writeErrorLine(std::string_view text) { state_->console.errorLine(text); }

void Platform::stopIfAsked() { stopIfSignalled(); }

}  // namespace tocase
