#include "platform/posix/rename_confirmation-posix.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

unsigned char typeOf(const FoundEntry& entry) {
    return entry.isLink ? DT_LNK : entry.isDirectory ? DT_DIR : DT_REG;
}

}  // namespace

RenameConfirmation::RenameConfirmation(int directoryFd, const std::vector<const FoundEntry*>& entries,
                                       const DirectoryListing* listing, bool listedInOne, Clock::time_point listedAt)
    : directoryFd_(directoryFd), entries_(entries), seen_(entries.size()), unmet_(entries.size()) {
    const FoundEntry* first = listing != nullptr && !listing->empty() ? &(*listing)[0] : nullptr;
    if (first == nullptr || !std::all_of(entries.begin(), entries.end(), [&](const FoundEntry* entry) {
            return entry >= first && entry < first + listing->size();
        })) {
        nameEntries();
        return;
    }
    listing_ = listing;
    seenOfListed_.assign(listing->size(), none);
    listedOfSeen_.resize(entries.size());
    for (std::uint32_t place = 0; place < entries.size(); ++place) {
        const auto listed = static_cast<std::uint32_t>(entries[place] - first);
        seenOfListed_[listed] = place;
        listedOfSeen_[place] = listed;
    }
    if (!listedInOne) {
        return;
    }
    // The listing was the whole directory in one buffer: it stands for the
    // first, which a reading from the start gives again, and nothing is
    // read on after it.
    readings_.push_back({0, listedAt, ++stamps_});
    for (std::uint32_t place = 0; place < entries.size(); ++place) {
        const FoundEntry& entry = *entries[place];
        seen_[place] = {true, static_cast<ino_t>(entry.fileId), typeOf(entry), 0, stamps_};
    }
    unmet_ = 0;
    ended_ = true;
}

// The table of the entries' names, made only where the reading strays from
// the listing's order, or there is no listing to follow.
void RenameConfirmation::nameEntries() {
    if (named_) {
        return;
    }
    named_ = true;
    expected_.reserve(entries_.size());
    for (std::uint32_t place = 0; place < entries_.size(); ++place) {
        expected_.insert(entries_[place]->name, place);
    }
}

std::optional<std::uint32_t> RenameConfirmation::placeOf(const FoundEntry& entry) const {
    if (listing_ == nullptr) {
        return expected_.find(entry.name);
    }
    const FoundEntry* first = &(*listing_)[0];
    if (&entry < first || &entry >= first + listing_->size() || seenOfListed_[&entry - first] == none) {
        return std::nullopt;
    }
    return seenOfListed_[&entry - first];
}

void RenameConfirmation::letGo() {
    if (readingFd_ >= 0) {
        systemCalls().close(readingFd_);
        readingFd_ = -1;
    }
}

// A reading of its own, from the directory's start.
bool RenameConfirmation::open(Failure& failure) {
    if (readingFd_ >= 0) {
        return true;
    }
    readingFd_ = openReading(directoryFd_);
    if (readingFd_ < 0) {
        failure = systemFailure(errno);
        return false;
    }
    position_ = 0;
    positionMoved_ = false;
    next_ = 0;
    return true;
}

// Where the reading shows what the listing showed next, its place comes from
// the listing; where it strays (an entry made, or gone, since), from the
// table, and the listing is followed on from the entry found there.
std::optional<std::uint32_t> RenameConfirmation::placeOfRecord(std::string_view name) {
    if (listing_ != nullptr && next_ < listing_->size() && (*listing_)[next_].name == name) {
        const std::uint32_t place = seenOfListed_[next_++];
        return place == none ? std::nullopt : std::optional<std::uint32_t>(place);
    }
    nameEntries();
    const std::optional<std::uint32_t> place = expected_.find(name);
    if (place && listing_ != nullptr) {
        next_ = listedOfSeen_[*place] + 1;
    }
    return place;
}

// One buffer of the reading, its entries noted as shown by `reading`; the
// size read, or -1.
ssize_t RenameConfirmation::readBuffer(std::uint32_t reading, Failure& failure) {
    alignas(dirent64) static char buffer[32768];
    const ssize_t size = systemCalls().getdents64(readingFd_, buffer, sizeof buffer);
    if (size < 0) {
        failure = systemFailure(errno);
        letGo();
        return size;
    }
    Reading& read = readings_[reading];
    read.at = Clock::now();
    read.stamp = ++stamps_;
    for (ssize_t at = 0; at < size;) {
        const auto* record = reinterpret_cast<const dirent64*>(buffer + at);
        at += record->d_reclen;
        position_ = record->d_off;
        if (const std::optional<std::uint32_t> place = placeOfRecord(record->d_name)) {
            Seen& seen = seen_[*place];
            unmet_ -= !seen.met;
            seen = {true, record->d_ino, record->d_type, reading, read.stamp};
        }
    }
    return size;
}

// The reading is let go of as soon as nothing more is to be met in it.
bool RenameConfirmation::readNextBuffer(Failure& failure) {
    if (!open(failure)) {
        return false;
    }
    if (positionMoved_ && systemCalls().lseek(readingFd_, position_, SEEK_SET) != position_) {
        failure = systemFailure(errno);
        letGo();
        return false;
    }
    positionMoved_ = false;
    readings_.push_back({position_, {}, 0});
    const ssize_t size = readBuffer(static_cast<std::uint32_t>(readings_.size() - 1), failure);
    if (size < 0) {
        return false;
    }
    ended_ = size == 0;
    if (ended_ || unmet_ == 0) {
        letGo();
    }
    return true;
}

// Read again from where it began, once; a buffer whose renames outlast a
// second reading, or a file system that cannot go back to it, leave the
// rest to be looked at alone.
bool RenameConfirmation::readAgain(std::uint32_t reading) {
    Reading& read = readings_[reading];
    Failure ignored;
    if (read.readAgain || !open(ignored)) {
        lookingAlone_ = true;
        return false;
    }
    read.readAgain = true;
    ++readAgainCount_;
    const off_t resume = position_;
    const std::size_t resumeListed = next_;
    if (systemCalls().lseek(readingFd_, read.start, SEEK_SET) != read.start || readBuffer(reading, ignored) < 0) {
        lookingAlone_ = true;
        letGo();
        return false;
    }
    position_ = resume;
    positionMoved_ = true;
    next_ = resumeListed;
    return true;
}

bool RenameConfirmation::isStale(const Reading& reading) const {
    return Clock::now() - reading.at > freshFor || reading.at < lastOutputWait();
}

RenameConfirmation::Verdict RenameConfirmation::confirm(const FoundEntry& entry, bool numbersLast,
                                                         Failure& failure) {
    Seen& seen = seen_[*placeOf(entry)];
    if (lookingAlone_) {
        return Verdict::lookAlone;
    }
    while (!seen.met && !ended_) {
        if (!readNextBuffer(failure)) {
            failure = during(FailureStep::readingAgain, std::move(failure));
            return Verdict::refused;
        }
    }
    if (!seen.met) {
        failure = systemFailure(ENOENT);
        return Verdict::refused;
    }
    if (isStale(readings_[seen.reading]) && !readAgain(seen.reading)) {
        return Verdict::lookAlone;
    }
    // Not shown by the latest reading of its buffer: it is elsewhere now,
    // or gone.
    if (seen.stamp != readings_[seen.reading].stamp) {
        return Verdict::lookAlone;
    }
    if (seen.type == DT_UNKNOWN) {
        return Verdict::lookAlone;
    }
    return isAsListed(entry, {seen.inode, seen.type == DT_LNK, seen.type == DT_DIR}, numbersLast, failure)
               ? Verdict::confirmed
               : Verdict::refused;
}

bool isAsListed(const FoundEntry& entry, const FoundNow& now, bool numbersLast, Failure& failure) {
    if ((!numbersLast || now.inode == entry.fileId) && now.isLink == entry.isLink &&
        (now.isLink || now.isDirectory == entry.isDirectory)) {
        return true;
    }
    failure = failureOf(entry.isLink        ? FailureKind::notTheListedLink
                        : entry.isDirectory ? FailureKind::notTheListedDirectory
                                            : FailureKind::notTheListedFile);
    return false;
}

}  // namespace tocase
