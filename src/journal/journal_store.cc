#include "journal/journal_store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/journal_files.h"

namespace tocase {
namespace {

constexpr std::size_t keptRuns = 20;
constexpr std::string_view namePrefix = "run-";
constexpr std::string_view journalSuffix = ".journal";
constexpr std::string_view takenBackSuffix = ".taken-back";
// A run a take-back left not fully back: kept beyond the twenty.
constexpr std::string_view heldSuffix = ".held.journal";
// A journal being made, before it holds its start.
constexpr std::string_view unfinishedSuffix = ".new";
constexpr std::string_view lockName = "lock";

// Names sort as the runs began: the time of day in UTC, to the nanosecond,
// then the process.
std::string newJournalName() {
    using namespace std::chrono;
    const auto now = time_point_cast<nanoseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char name[96];
    std::snprintf(name, sizeof name, "run-%04d%02u%02u-%02d%02d%02d.%09lld-%lu", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<long long>(time.subseconds().count()),
                  journal_files::processId());
    return std::string(name) + std::string(journalSuffix);
}

bool isRunFile(std::string_view name, std::string_view suffix) {
    return name.starts_with(namePrefix) && name.ends_with(suffix);
}

}  // namespace

// The last directory on the way must be the user's own, whoever made it.
bool JournalStore::findDirectory(bool create, Failure& failure) {
    directory_ = journal_files::directoryPath(failure);
    if (directory_.empty() || (create && !journal_files::makeDirectories(directory_, failure))) {
        return false;
    }
    return journal_files::isPrivateDirectory(directory_, missing_, failure);
}

std::vector<std::string> JournalStore::names(bool takenBackToo) const {
    std::vector<std::string> found = journal_files::fileNames(directory_);
    std::erase_if(found, [takenBackToo](const std::string& name) {
        return !isRunFile(name, journalSuffix) && !(takenBackToo && isRunFile(name, takenBackSuffix));
    });
    std::sort(found.begin(), found.end(), std::greater<>());
    return found;
}

// Only a run that holds the lock removes what another left unfinished: no
// other can be making one then. A run not fully back is never removed: it
// holds entries the user may still want back.
void JournalStore::prune() {
    std::vector<std::string> kept;
    std::size_t held = 0;
    for (const std::string& name : journal_files::fileNames(directory_)) {
        if (isRunFile(name, heldSuffix)) {
            ++held;
        } else if (isRunFile(name, journalSuffix) || isRunFile(name, takenBackSuffix)) {
            kept.push_back(name);
        } else if (isRunFile(name, unfinishedSuffix) && lock_ != journal_files::noLock) {
            journal_files::removeFile(journal_files::pathWithin(directory_, name));
        }
    }
    std::sort(kept.begin(), kept.end(), std::greater<>());
    for (std::size_t i = keptRuns; i < kept.size(); ++i) {
        journal_files::removeFile(journal_files::pathWithin(directory_, kept[i]));
    }
    heldBeyondKept_ = std::min(kept.size(), keptRuns) + held > keptRuns ? held : 0;
}

JournalStore::~JournalStore() { releaseRunLock(); }

void JournalStore::releaseRunLock() {
    if (lock_ != journal_files::noLock) {
        journal_files::releaseLock(lock_);
        lock_ = journal_files::noLock;
    }
}

bool JournalStore::holdRunLock(const std::function<void()>& waiting, Failure& failure) {
    if (lock_ != journal_files::noLock) {
        return true;
    }
    if (!findDirectory(true, failure)) {
        failure = during(FailureStep::keepingJournals, std::move(failure));
        return false;
    }
    const std::string path = journal_files::pathWithin(directory_, lockName);
    lock_ = journal_files::holdLock(path, waiting, failure);
    if (lock_ == journal_files::noLock) {
        failure = during(FailureStep::takingTurns, std::move(failure), path);
        return false;
    }
    return true;
}

// Made whole under a name no one reads, then given its own: a stop at any
// moment leaves a journal with its start, or none.
bool JournalStore::create(std::string_view start, Failure& failure) {
    if (!findDirectory(true, failure)) {
        return false;
    }
    const std::string journal = journal_files::pathWithin(directory_, newJournalName());
    const std::string unfinished = journal + std::string(unfinishedSuffix);
    if (!journal_files::writeNewFile(unfinished, start, failure)) {
        journal_files::removeFile(unfinished);
        return false;
    }
    if (!journal_files::renameFile(unfinished, journal, failure)) {
        journal_files::removeFile(unfinished);
        return false;
    }
    journal_ = journal;
    prune();
    return true;
}

bool JournalStore::append(std::string_view text, Failure& failure) {
    return journal_files::appendToFile(journal_, text, failure);
}

void JournalStore::discard() {
    if (!journal_.empty()) {
        journal_files::removeFile(journal_);
        journal_.clear();
    }
}

std::vector<std::string> JournalStore::untakenBack(Failure& failure) {
    if (!findDirectory(false, failure)) {
        // None kept yet is nothing to take back, not a fault.
        if (missing_) {
            failure = {};
        }
        return {};
    }
    return names(false);
}

bool JournalStore::read(const std::string& name, std::string& text, Failure& failure) {
    const std::string path = journal_files::pathWithin(directory_, name);
    return journal_files::isPrivateFile(path, failure) && journal_files::readFile(path, text, failure);
}

bool JournalStore::appendTo(const std::string& name, std::string_view text, Failure& failure) {
    return journal_files::appendToFile(journal_files::pathWithin(directory_, name), text, failure);
}

std::string JournalStore::pathOf(const std::string& name) const { return journal_files::pathWithin(directory_, name); }

bool JournalStore::markTakenBack(const std::string& name, Failure& failure) {
    const std::string path = pathOf(name);
    return journal_files::renameFile(path, path + std::string(takenBackSuffix), failure);
}

bool JournalStore::markHeld(std::string& name, Failure& failure) {
    if (name.ends_with(heldSuffix)) {
        return true;
    }
    const std::string held = name.substr(0, name.size() - journalSuffix.size()) + std::string(heldSuffix);
    if (!journal_files::renameFile(pathOf(name), pathOf(held), failure)) {
        return false;
    }
    name = held;
    return true;
}

}  // namespace tocase
