#include "platform/platform.h"

#include <algorithm>

// What both systems do alike: the journals and the console, each kept by
// its own class over the system's calls.
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

bool Platform::holdRunLock(const std::function<void()>& waiting, std::string& reason) {
    return journal_.holdRunLock(waiting, reason);
}

void Platform::releaseRunLock() { journal_.releaseRunLock(); }

bool Platform::createJournal(std::string_view start, std::string& reason) { return journal_.create(start, reason); }

bool Platform::appendJournal(std::string_view text, std::string& reason) { return journal_.append(text, reason); }

void Platform::discardJournal() { journal_.discard(); }

std::vector<std::string> Platform::journals(std::string& reason) { return journal_.untakenBack(reason); }

bool Platform::readJournal(const std::string& name, std::string& text, std::string& reason) {
    return journal_.read(name, text, reason);
}

bool Platform::appendToJournal(const std::string& name, std::string_view text, std::string& reason) {
    return journal_.appendTo(name, text, reason);
}

bool Platform::markTakenBack(const std::string& name, std::string& reason) {
    return journal_.markTakenBack(name, reason);
}

std::string Platform::journalPath(const std::string& name) const { return journal_.pathOf(name); }

void Platform::writeOutput(std::string_view bytes) { console_.write(bytes); }

void Platform::endOutputLine() { console_.endLine(); }

void Platform::writeErrorLine(std::string_view text) { console_.errorLine(text); }

}  // namespace tocase
