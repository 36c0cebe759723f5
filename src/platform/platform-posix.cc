#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>

#include "platform/name_match.h"
#include "platform/posix_files.h"

namespace tocase {
namespace {

// The stop signal that has arrived, or 0; looked at between entries.
volatile std::sig_atomic_t receivedStopSignal = 0;
// Set a second after the stop signal: output still blocked then is given up.
volatile std::sig_atomic_t outputDeadlinePassed = 0;

void noteStopSignal(int number) {
    if (receivedStopSignal == 0) {
        alarm(1);
    }
    receivedStopSignal = number;
}

void noteOutputDeadline(int) { outputDeadlinePassed = 1; }

// Without SA_RESTART, so that a write blocked on a pipe nobody reads is
// interrupted. A signal ignored by whoever started the tool (nohup) stays
// ignored.
void installStopHandlers() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM}) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = number == SIGALRM ? noteOutputDeadline : noteStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}

// Half of what the process may open, so reading and renaming always find
// a descriptor free.
std::size_t heldDirectoryLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 256;
    }
    return std::clamp<rlim_t>(limit.rlim_cur / 2, 2, 256);
}

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(std::size_t maxHeldDirectories) : directories_(maxHeldDirectories) {
        facts_.slashMayBeginPath = true;
        // A closed pipe must be a failed write, not the end of the process.
        signal(SIGPIPE, SIG_IGN);
        installStopHandlers();
    }

    const PlatformFacts& facts() const override { return facts_; }

    bool openDirectory(std::string_view directoryPrefix, std::string& reason) override {
        forgetCurrentDirectory();
        return directories_.openFirst(posixDirectoryPath(directoryPrefix), reason);
    }

    bool openSubdirectory(const FoundEntry& entry, std::string& reason) override {
        forgetCurrentDirectory();
        return directories_.openChild(entry.name, reason);
    }

    bool closeDirectory(std::string& reason) override {
        forgetCurrentDirectory();
        return directories_.closeCurrent(reason);
    }

    // A directory without subdirectories is read once for both the descent
    // and its matches, as nothing comes between the two.
    bool searchDirectory(std::string_view namePattern, const EntryVisitor& visit,
                         std::string& reason) override {
        if (!listing_) {
            listing_ = readDirectory(directories_.currentFd(), reason);
        }
        if (!listing_) {
            return false;
        }
        // Held here: a rename during the visit lets go of the member.
        const std::shared_ptr<const DirectoryListing> listing = listing_;
        for (const FoundEntry& entry : *listing) {
            if (matchesNamePattern(namePattern, entry.name)) {
                visit(entry);
            }
        }
        return true;
    }

    RenameResult renameEntry(const FoundEntry& entry, std::string_view newName, bool) override {
        listing_.reset();
        if (!renamer_) {
            renamer_.emplace(directories_.currentFd());
        }
        newName_.assign(newName);
        return renamer_->rename(entry.name, newName_, entry.isDirectory);
    }

    void writeOutput(std::string_view bytes) override { pendingOutput_ += bytes; }

    void endOutputLine() override {
        pendingOutput_ += "\r\n";
        writeAll(STDOUT_FILENO, pendingOutput_);
        pendingOutput_.clear();
    }

    void writeErrorLine(std::string_view text) override {
        writeAll(STDERR_FILENO, "tocase: " + std::string(text) + "\n");
    }

    void stopIfAsked() override {
        const int number = receivedStopSignal;
        if (number == 0) {
            return;
        }
        signal(number, SIG_DFL);
        raise(number);
        _exit(128 + number);
    }

private:
    void forgetCurrentDirectory() {
        listing_.reset();
        renamer_.reset();
    }

    // A closed or failing output never stops the run. After a stop signal
    // the output has a second to take the line of the entry in hand; what
    // is still blocked then is given up, so a reader that never comes
    // cannot hold the stop up.
    static void writeAll(int fd, std::string_view bytes) {
        while (!bytes.empty() && outputDeadlinePassed == 0) {
            const ssize_t written = write(fd, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    PlatformFacts facts_;
    DirectoryStack directories_;
    // What the current directory's last reading found, while nothing has
    // been renamed in it since.
    std::shared_ptr<const DirectoryListing> listing_;
    std::optional<RenameDirectory> renamer_;
    std::string newName_;  // reused, so a rename allocates nothing
    std::string pendingOutput_;
};

}  // namespace

std::string reasonText(int error) { return std::strerror(error); }

std::unique_ptr<Platform> makePosixPlatform(std::size_t maxHeldDirectories) {
    return std::make_unique<PosixPlatform>(maxHeldDirectories);
}

std::unique_ptr<Platform> makeNativePlatform() { return makePosixPlatform(heldDirectoryLimit()); }

}  // namespace tocase
