#include "platform/platform.h"

#include <algorithm>

// What both systems do alike: the listings' storage, and the console kept
// by its own class over the system's calls.
namespace tocase {

FoundEntry& DirectoryListing::add(std::string_view name) {
    if (entries_.size() == entries_.capacity()) {
        entries_.reserve(std::max<std::size_t>(64, 2 * entries_.capacity()));
        ++enlargements_;
    }
    FoundEntry& entry = entries_.emplace_back();
    entry.name = names_.keep(name);
    return entry;
}

FoundEntry& DirectoryListing::add(const FoundEntry& entry) {
    FoundEntry& copy = add(entry.name);
    const std::string_view name = copy.name;
    copy = entry;
    copy.name = name;
    return copy;
}

void Platform::writeOutput(std::string_view bytes) { console_.write(bytes); }

void Platform::endOutputLine() { console_.endLine(); }

void Platform::writeErrorLine(std::string_view text) { console_.errorLine(text); }

}  // namespace tocase
