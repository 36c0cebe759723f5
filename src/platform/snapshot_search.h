#ifndef TOCASE_PLATFORM_SNAPSHOT_SEARCH_H
#define TOCASE_PLATFORM_SNAPSHOT_SEARCH_H

#include <utility>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// A search whose entries were all read when it started, so renames made
// while they are handed out can neither skip nor repeat one.
class SnapshotSearch : public DirectorySearch {
public:
    explicit SnapshotSearch(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}

    bool next(FoundEntry& entry) override {
        if (position_ == entries_.size()) {
            return false;
        }
        entry = std::move(entries_[position_++]);
        return true;
    }

private:
    std::vector<FoundEntry> entries_;
    std::size_t position_ = 0;
};

}  // namespace tocase

#endif
