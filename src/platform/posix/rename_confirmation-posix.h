#ifndef TOCASE_PLATFORM_POSIX_RENAME_CONFIRMATION_POSIX_H
#define TOCASE_PLATFORM_POSIX_RENAME_CONFIRMATION_POSIX_H

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/name_table.h"
#include "platform/platform.h"

namespace tocase {

// The entries of one directory that are about to be renamed, confirmed by
// reading the directory again just before their renames, one reading buffer
// at a time as the renames ask for them: each must still be listed under its
// name as the same file (the same inode number, where numbers last) of the
// same kind. One reading stands for a look at each entry; what is left
// between the reading and the rename is the time a buffer's renames take.
// The reading is its own, held from the first buffer until every entry has
// been met or the directory ends.
class RenameConfirmation {
public:
    RenameConfirmation(int directoryFd, const std::vector<const FoundEntry*>& entries);
    ~RenameConfirmation() { letGo(); }
    RenameConfirmation(const RenameConfirmation&) = delete;
    RenameConfirmation& operator=(const RenameConfirmation&) = delete;

    bool covers(const FoundEntry& entry) const { return expected_.contains(entry.name); }
    enum class Verdict { confirmed, refused, typeUnknown };
    // Reads on until the entry is met, or the directory ends.
    Verdict confirm(const FoundEntry& entry, bool numbersLast, std::string& reason);
    // Closes the reading, so that another one of the directory never needs
    // a second descriptor beside it: the entries not met yet are then
    // looked for in a reading from the directory's start.
    void letGo();

private:
    struct Seen {
        bool met = false;
        ino_t inode = 0;
        unsigned char type = 0;
    };
    bool readNextBuffer(std::string& reason);

    int directoryFd_;  // not owned
    int readingFd_ = -1;
    // The announced entries' names, each to its place in `seen_`.
    NameTable expected_;
    std::vector<Seen> seen_;
    std::size_t unmet_ = 0;
    bool ended_ = false;
};

// What is under an entry's name now.
struct FoundNow {
    ino_t inode = 0;
    bool isLink = false;
    bool isDirectory = false;
};

// Whether it is still the entry listed: the same file, where numbers last,
// and of the same kind, a link still a link whatever it points to; the
// reason when not.
bool isAsListed(const FoundEntry& entry, const FoundNow& now, bool numbersLast, std::string& reason);

}  // namespace tocase

#endif
