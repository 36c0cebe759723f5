#include "platform/name_table.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace tocase {

const char NameTable::erasedMark[1] = {};

void NameTable::reserve(std::size_t count) {
    if (2 * count > slots_.size()) {
        growTo(std::bit_ceil(std::max<std::size_t>(16, 2 * count)));
    }
}

void NameTable::growTo(std::size_t slots) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(slots, Slot{});
    count_ = used_ = 0;
    for (const Slot& slot : old) {
        if (slot.data != nullptr && slot.data != erasedMark) {
            insert({slot.data, slot.size}, slot.number);
        }
    }
}

namespace {

std::size_t hashOf(std::string_view name) { return std::hash<std::string_view>{}(name); }

std::uint16_t tagOf(std::size_t hash) { return static_cast<std::uint16_t>(hash >> 48); }

}  // namespace

// The slot that holds `name`, or else the first never used on its probe.
std::size_t NameTable::slotOf(std::string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint16_t tag = tagOf(hash);
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.data == nullptr || (slot.tag == tag && slot.data != erasedMark && slot.size == name.size() &&
                                     std::string_view(slot.data, slot.size) == name)) {
            return at;
        }
    }
}

bool NameTable::insert(std::string_view name, std::uint32_t number) {
    if (2 * (used_ + 1) > slots_.size()) {
        // Erased slots are dropped as it is rebuilt: at twice its size where
        // names fill more than a quarter of it, at its size otherwise.
        const bool doubled = 4 * (count_ + 1) > slots_.size();
        growTo(std::max<std::size_t>(16, doubled ? 2 * slots_.size() : slots_.size()));
    }
    const std::size_t hash = hashOf(name);
    Slot& slot = slots_[slotOf(name, hash)];
    if (slot.data != nullptr) {
        return false;
    }
    slot = {name.data(), static_cast<std::uint16_t>(name.size()), tagOf(hash), number};
    ++count_;
    ++used_;
    return true;
}

std::optional<std::uint32_t> NameTable::find(std::string_view name) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const Slot& slot = slots_[slotOf(name, hashOf(name))];
    return slot.data == nullptr ? std::nullopt : std::optional<std::uint32_t>(slot.number);
}

void NameTable::erase(std::string_view name) {
    if (slots_.empty()) {
        return;
    }
    Slot& slot = slots_[slotOf(name, hashOf(name))];
    if (slot.data != nullptr) {
        slot.data = erasedMark;
        --count_;
    }
}

}  // namespace tocase
