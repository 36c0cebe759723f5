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
class RenameConfirmation {
public:
    RenameConfirmation(int directoryFd, const std::vector<const FoundEntry*>& entries);

    bool covers(const FoundEntry& entry) const { return expected_.contains(entry.name); }
    enum class Verdict { confirmed, refused, typeUnknown };
    // Reads on until the entry is met, or the directory ends.
    Verdict confirm(const FoundEntry& entry, bool numbersLast, std::string& reason);
    // Another reading of the same descriptor has moved its position.
    void readingMoved() { moved_ = true; }

private:
    struct Seen {
        bool met = false;
        ino_t inode = 0;
        unsigned char type = 0;
    };
    bool readNextBuffer(std::string& reason);

    int directoryFd_;  // not owned
    // The announced entries' names, each to its place in `seen_`.
    NameTable expected_;
    std::vector<Seen> seen_;
    off_t position_ = 0;
    bool moved_ = true;  // the listing before read to the end
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
