#ifndef TOCASE_PLATFORM_NAME_STORE_H
#define TOCASE_PLATFORM_NAME_STORE_H

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace tocase {

// Names kept together in blocks that never move, each followed by a NUL so
// that it can be handed to the system as it is: a directory of a million
// entries costs its names and no more, not a string and an allocation each.
class NameStore {
public:
    // A copy of `name` that lives as long as the store.
    std::string_view keep(std::string_view name);

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0;   // in the last block
    std::size_t room_ = 0;   // of the last block
};

}  // namespace tocase

#endif
