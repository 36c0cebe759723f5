#include "platform/posix/rename_confirmation-posix.h"

#include <dirent.h>

#include <cerrno>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {

RenameConfirmation::RenameConfirmation(int directoryFd, const std::vector<const FoundEntry*>& entries)
    : directoryFd_(directoryFd) {
    expected_.reserve(entries.size());
    for (const FoundEntry* entry : entries) {
        if (expected_.insert(entry->name, static_cast<std::uint32_t>(seen_.size()))) {
            seen_.emplace_back();
            ++unmet_;
        }
    }
}

void RenameConfirmation::letGo() {
    if (readingFd_ >= 0) {
        systemCalls().close(readingFd_);
        readingFd_ = -1;
    }
}

// The reading is let go of as soon as nothing more is to be met in it.
bool RenameConfirmation::readNextBuffer(std::string& reason) {
    if (readingFd_ < 0 && (readingFd_ = openReading(directoryFd_)) < 0) {
        reason = reasonText(errno);
        return false;
    }
    alignas(dirent64) static char buffer[32768];
    const ssize_t size = systemCalls().getdents64(readingFd_, buffer, sizeof buffer);
    if (size < 0) {
        reason = reasonText(errno);
        letGo();
        return false;
    }
    ended_ = size == 0;
    for (ssize_t at = 0; at < size;) {
        const auto* record = reinterpret_cast<const dirent64*>(buffer + at);
        at += record->d_reclen;
        if (const std::optional<std::uint32_t> place = expected_.find(record->d_name)) {
            Seen& seen = seen_[*place];
            unmet_ -= !seen.met;
            seen = {true, record->d_ino, record->d_type};
        }
    }
    if (ended_ || unmet_ == 0) {
        letGo();
    }
    return true;
}

RenameConfirmation::Verdict RenameConfirmation::confirm(const FoundEntry& entry, bool numbersLast,
                                                         std::string& reason) {
    Seen& seen = seen_[*expected_.find(entry.name)];
    while (!seen.met && !ended_) {
        if (!readNextBuffer(reason)) {
            reason = "the directory cannot be read again: " + reason;
            return Verdict::refused;
        }
    }
    if (!seen.met) {
        reason = reasonText(ENOENT);
        return Verdict::refused;
    }
    if (seen.type == DT_UNKNOWN) {
        return Verdict::typeUnknown;
    }
    return isAsListed(entry, {seen.inode, seen.type == DT_LNK, seen.type == DT_DIR}, numbersLast, reason)
               ? Verdict::confirmed
               : Verdict::refused;
}

bool isAsListed(const FoundEntry& entry, const FoundNow& now, bool numbersLast, std::string& reason) {
    if ((!numbersLast || now.inode == entry.fileId) && now.isLink == entry.isLink &&
        (now.isLink || now.isDirectory == entry.isDirectory)) {
        return true;
    }
    reason = std::string("it is no longer the ") + (entry.isLink ? "link" : entry.isDirectory ? "directory" : "file") +
             " that was listed";
    return false;
}

}  // namespace tocase
