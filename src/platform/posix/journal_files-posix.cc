#include "platform/journal_files.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

constexpr std::size_t kept = 20;
constexpr std::string_view journalSuffix = ".journal";
constexpr std::string_view takenBackSuffix = ".taken-back";

// $XDG_STATE_HOME, taken only as an absolute path, as its definition asks.
std::string stateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return state;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.local/state" : std::string();
}

// Names sort as the runs began: the time of day in UTC, to the nanosecond.
std::string newJournalName() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    gmtime_r(&now.tv_sec, &parts);
    char name[64];
    strftime(name, sizeof name, "run-%Y%m%d-%H%M%S", &parts);
    return std::string(name) + "." + std::to_string(1000000000 + now.tv_nsec).substr(1) + "-" +
           std::to_string(getpid()) + std::string(journalSuffix);
}

// The user's own, and no one else may write it (a directory) or read it (a journal).
bool isPrivate(const struct stat& status, mode_t closed) {
    return status.st_uid == geteuid() && (status.st_mode & closed) == 0;
}

bool writeAll(int fd, std::string_view text, std::string& reason) {
    while (!text.empty()) {
        const ssize_t written = systemCalls().write(fd, text.data(), text.size());
        if (written <= 0) {
            reason = reasonText(written < 0 ? errno : EIO);
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

// Each missing directory on the way is made for the user alone; the last
// must be a directory of the user's own that no one else may write in,
// whoever made it. Reached by its path each time: nothing of the journals
// stays open while the walk runs, whose every descriptor may be needed.
bool JournalFiles::findDirectory(bool create, std::string& reason) {
    const std::string state = stateDirectory();
    if (state.empty()) {
        reason = "there is no home directory to keep it in";
        return false;
    }
    directory_ = state + "/tocase";
    for (std::size_t end = directory_.find('/', 1); create; end = directory_.find('/', end + 1)) {
        const std::string part = directory_.substr(0, end);
        if (systemCalls().mkdirat(AT_FDCWD, part.c_str(), 0700) != 0 && errno != EEXIST) {
            reason = "'" + part + "': " + reasonText(errno);
            return false;
        }
        create = end != std::string::npos;
    }
    struct stat status {};
    if (systemCalls().fstatat(AT_FDCWD, directory_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        missing_ = errno == ENOENT;
        reason = "'" + directory_ + "': " + reasonText(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode) || !isPrivate(status, S_IWGRP | S_IWOTH)) {
        reason = "'" + directory_ + "' is not a directory of the user's own that no one else may write in";
        return false;
    }
    return true;
}

std::string JournalFiles::pathOf(std::string_view name) const { return directory_ + "/" + std::string(name); }

std::vector<std::string> JournalFiles::names(bool takenBackToo) {
    std::vector<std::string> found;
    const int fd = systemCalls().openat(AT_FDCWD, directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    std::string ignored;
    if (const auto listing = fd < 0 ? nullptr : readDirectory(fd, ignored)) {
        for (const FoundEntry& entry : *listing) {
            if (entry.name.starts_with("run-") &&
                (entry.name.ends_with(journalSuffix) || (takenBackToo && entry.name.ends_with(takenBackSuffix)))) {
                found.push_back(entry.name);
            }
        }
    }
    if (fd >= 0) {
        systemCalls().close(fd);
    }
    std::sort(found.begin(), found.end(), std::greater<>());
    return found;
}

bool JournalFiles::create(std::string& reason) {
    if (!findDirectory(true, reason)) {
        return false;
    }
    journal_ = pathOf(newJournalName());
    const int fd = systemCalls().createat(AT_FDCWD, journal_.c_str(),
                                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        reason = reasonText(errno);
        return false;
    }
    systemCalls().close(fd);
    const std::vector<std::string> all = names(true);
    for (std::size_t i = kept; i < all.size(); ++i) {
        systemCalls().unlinkat(AT_FDCWD, pathOf(all[i]).c_str(), 0);
    }
    return true;
}

bool JournalFiles::append(std::string_view text, std::string& reason) {
    const int fd = systemCalls().openat(AT_FDCWD, journal_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        reason = reasonText(errno);
        return false;
    }
    const bool written = writeAll(fd, text, reason);
    if (systemCalls().close(fd) != 0 && written) {
        reason = reasonText(errno);
        return false;
    }
    return written;
}

std::vector<std::string> JournalFiles::untakenBack(std::string& reason) {
    if (!findDirectory(false, reason)) {
        // None kept yet is nothing to take back, not a fault.
        if (missing_) {
            reason.clear();
        }
        return {};
    }
    std::vector<std::string> found = names(false);
    std::erase_if(found, [this](const std::string& name) {
        struct stat status {};
        return systemCalls().fstatat(AT_FDCWD, pathOf(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
               !S_ISREG(status.st_mode) || !isPrivate(status, 077);
    });
    return found;
}

bool JournalFiles::read(const std::string& name, std::string& text, std::string& reason) {
    const int fd = systemCalls().openat(AT_FDCWD, pathOf(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        reason = reasonText(errno);
        return false;
    }
    char buffer[65536];
    text.clear();
    ssize_t got = 0;
    while ((got = systemCalls().read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (got < 0) {
        reason = reasonText(errno);
    }
    systemCalls().close(fd);
    return got == 0;
}

bool JournalFiles::markTakenBack(const std::string& name, std::string& reason) {
    const std::string path = pathOf(name);
    if (systemCalls().renameat(AT_FDCWD, path.c_str(), AT_FDCWD, (path + std::string(takenBackSuffix)).c_str()) != 0) {
        reason = reasonText(errno);
        return false;
    }
    return true;
}

}  // namespace tocase
