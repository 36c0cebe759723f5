#include "platform/name_store.h"

#include <algorithm>
#include <cstring>

namespace tocase {

// Each block twice the one before, up to a size where a block's slack no
// longer matters: few blocks for a large directory, little waste for a
// small one.
std::string_view NameStore::keep(std::string_view name) {
    constexpr std::size_t firstBlock = 4096;
    constexpr std::size_t largestBlock = 1 << 20;
    const std::size_t needed = name.size() + 1;
    if (room_ - used_ < needed) {
        room_ = std::max(needed, std::min(largestBlock, blocks_.empty() ? firstBlock : 2 * room_));
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
        used_ = 0;
    }
    char* kept = blocks_.back().get() + used_;
    std::memcpy(kept, name.data(), name.size());
    kept[name.size()] = '\0';
    used_ += needed;
    return {kept, name.size()};
}

}  // namespace tocase
