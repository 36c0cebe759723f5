#ifndef TOCASE_PLATFORM_NAME_TABLE_H
#define TOCASE_PLATFORM_NAME_TABLE_H

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tocase {

// Names to numbers (a place in a list), found by their hash: an open table
// of 16 bytes a slot over names kept elsewhere, at most half full. The sets
// and maps of a directory's names hold a million without a node each.
class NameTable {
public:
    std::size_t size() const { return count_; }
    // Room for `count` names without growing.
    void reserve(std::size_t count);
    // Gives `name` the number `number`; false, changing nothing, when it
    // has one already.
    bool insert(std::string_view name, std::uint32_t number);
    std::optional<std::uint32_t> find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name).has_value(); }
    void erase(std::string_view name);

private:
    struct Slot {
        const char* data = nullptr;  // null: never used; erasedMark: erased
        std::uint16_t size = 0;      // no name is longer
        std::uint16_t tag = 0;       // bits of its hash, so that most others are passed without a comparison
        std::uint32_t number = 0;
    };
    static const char erasedMark[1];
    std::size_t slotOf(std::string_view name, std::size_t hash) const;
    void growTo(std::size_t slots);

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    std::size_t used_ = 0;  // holding a name or erased
};

}  // namespace tocase

#endif
