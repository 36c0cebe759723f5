#ifndef TOCASE_PLATFORM_POSIX_RENAME_CONFIRMATION_POSIX_H
#define TOCASE_PLATFORM_POSIX_RENAME_CONFIRMATION_POSIX_H

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/name_table.h"
#include "platform/platform.h"

namespace tocase {

// The entries of one directory that are about to be renamed, confirmed by
// reading the directory again as the renames ask for them, one reading
// buffer at a time: each must still be listed under its name as the same
// file (the same inode number, where numbers last) of the same kind. One
// reading stands for a look at each entry it shows, for a bounded time:
// an entry is renamed only on a reading of its buffer made within
// `freshFor`, and after the last write to standard output that had to
// wait. A buffer older than that is read again from where it began; one
// whose renames outlast it even so, and a file system that cannot read a
// buffer again, leave each entry to be looked at alone.
class RenameConfirmation {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds freshFor{50};

    // `listing`, when given, is the listing `entries` point into, whose
    // order the readings most likely follow; where `listedInOne`, it read
    // the whole directory in one buffer at `listedAt`, and stands for the
    // first.
    RenameConfirmation(int directoryFd, const std::vector<const FoundEntry*>& entries,
                       const DirectoryListing* listing = nullptr, bool listedInOne = false,
                       Clock::time_point listedAt = {});
    ~RenameConfirmation() { letGo(); }
    RenameConfirmation(const RenameConfirmation&) = delete;
    RenameConfirmation& operator=(const RenameConfirmation&) = delete;

    bool covers(const FoundEntry& entry) const { return placeOf(entry).has_value(); }
    enum class Verdict { confirmed, refused, lookAlone };
    // Reads on until the entry is met, or the directory ends; reads its
    // buffer again where it is no longer fresh.
    Verdict confirm(const FoundEntry& entry, bool numbersLast, Failure& failure);
    // Closes the reading, so that another one of the directory never needs
    // a second descriptor beside it: the entries not met yet are then
    // looked for in a reading from the directory's start.
    void letGo();
    // How many buffers were read, and how many of them again.
    std::size_t buffersRead() const { return readings_.size(); }
    std::size_t buffersReadAgain() const { return readAgainCount_; }

private:
    struct Seen {
        bool met = false;
        ino_t inode = 0;
        unsigned char type = 0;
        std::uint32_t reading = 0;  // which of `readings_` showed it last
        std::uint32_t stamp = 0;    // the reading's stamp then
    };
    struct Reading {
        off_t start = 0;
        Clock::time_point at;
        std::uint32_t stamp = 0;
        bool readAgain = false;
    };
    bool open(Failure& failure);
    bool readNextBuffer(Failure& failure);
    bool readAgain(std::uint32_t reading);
    ssize_t readBuffer(std::uint32_t reading, Failure& failure);
    void nameEntries();
    std::optional<std::uint32_t> placeOf(const FoundEntry& entry) const;
    std::optional<std::uint32_t> placeOfRecord(std::string_view name);
    bool isStale(const Reading& reading) const;

    int directoryFd_;  // not owned
    int readingFd_ = -1;
    off_t position_ = 0;         // where the next buffer of the reading begins
    bool positionMoved_ = false;  // a buffer read again moved the reading
    // The announced entries, what the reading showed of each, and their
    // names' places in `seen_`, once needed.
    std::vector<const FoundEntry*> entries_;
    std::vector<Seen> seen_;
    NameTable expected_;
    bool named_ = false;
    // The listing's order, which a reading most likely follows: each
    // listed entry's place in `seen_`, or none, and each announced entry's
    // place in the listing. Names are compared in that order first, the
    // table asked only where the reading strays from it.
    static constexpr std::uint32_t none = ~std::uint32_t{0};
    const DirectoryListing* listing_ = nullptr;
    std::vector<std::uint32_t> seenOfListed_;
    std::vector<std::uint32_t> listedOfSeen_;
    std::size_t next_ = 0;  // in the listing, the entry the reading most likely shows next
    std::vector<Reading> readings_;
    std::uint32_t stamps_ = 0;
    std::size_t unmet_ = 0;
    std::size_t readAgainCount_ = 0;
    bool ended_ = false;
    bool lookingAlone_ = false;
};

// What is under an entry's name now.
struct FoundNow {
    ino_t inode = 0;
    bool isLink = false;
    bool isDirectory = false;
};

// Whether it is still the entry listed: the same file, where numbers last,
// and of the same kind, a link still a link whatever it points to; the
// failure when not.
bool isAsListed(const FoundEntry& entry, const FoundNow& now, bool numbersLast, Failure& failure);

// When standard output last had to wait for its reader: a reading made
// before it stands for nothing any more.
RenameConfirmation::Clock::time_point lastOutputWait();

}  // namespace tocase

#endif
