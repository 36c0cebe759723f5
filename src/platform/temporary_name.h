#ifndef TOCASE_PLATFORM_TEMPORARY_NAME_H
#define TOCASE_PLATFORM_TEMPORARY_NAME_H

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace tocase {

// What every temporary name holds after the part of the old name it keeps,
// followed by the process and an attempt number.
inline constexpr std::string_view temporaryNameMark = ".~tocase-";

// How one no-replace rename step ended.
enum class StepEnd { done, taken, tooLong, failed };

struct StepResult {
    StepEnd end = StepEnd::failed;
    Failure failure;  // unless done
};

// How a rename through a temporary name ended; names in the platform's
// own form.
template <typename Char>
struct TwoStepOutcome {
    bool renamed = false;
    Failure failure;
    std::basic_string<Char> strandedName;  // set when it could not be put back
    std::basic_string<Char> temporaryName;  // the last one tried
};

// A case-only rename that the file system takes for a collision with the
// entry itself goes round a name in the same directory that nothing else
// holds: the old name followed by ".~tocase-PID-N", so that an entry left
// there by a crash can be told and named back. Where that would be too
// long, as much of the old name as fits is kept, and `notice` hears the
// temporary name before the step that gives it. No step ever replaces an
// entry (`step` renames without replacing); when the second step fails,
// the entry is put back under its old name.
//
// `step(from, to)` renames within the directory; `isContinuation(c)` tells
// a unit that must not be cut from the one before it.
template <typename Char, typename Step, typename IsContinuation, typename Notice>
TwoStepOutcome<Char> renameThroughTemporaryName(const std::basic_string<Char>& oldName,
                                                const std::basic_string<Char>& newName,
                                                std::size_t longestName, unsigned long processId,
                                                Step&& step, IsContinuation&& isContinuation,
                                                Notice&& notice) {
    using Name = std::basic_string<Char>;
    constexpr int attempts = 100;
    const auto widened = [](std::string_view ascii) { return Name(ascii.begin(), ascii.end()); };
    const Name mark = widened(std::string(temporaryNameMark) + std::to_string(processId) + "-");
    const auto fitting = [&](std::size_t keep) {
        while (keep > 0 && keep < oldName.size() && isContinuation(oldName[keep])) {
            --keep;
        }
        return keep;
    };
    const std::size_t longestMark = mark.size() + 2;
    std::size_t keep = fitting(longestName > longestMark ? std::min(oldName.size(), longestName - longestMark) : 0);

    TwoStepOutcome<Char> outcome;
    Name temporary;
    for (int attempt = 0;;) {
        temporary = oldName.substr(0, keep) + mark + widened(std::to_string(attempt));
        outcome.temporaryName = temporary;
        if (keep < oldName.size()) {
            notice(temporary);
        }
        const StepResult first = step(oldName, temporary);
        if (first.end == StepEnd::done) {
            break;
        }
        if (first.end == StepEnd::tooLong && keep > 0) {
            keep = fitting(keep / 2);
            continue;
        }
        if (first.end != StepEnd::taken || ++attempt == attempts) {
            outcome.failure = first.failure;
            return outcome;
        }
    }
    const StepResult second = step(temporary, newName);
    if (second.end == StepEnd::done) {
        outcome.renamed = true;
        return outcome;
    }
    outcome.failure = second.failure;
    const StepResult back = step(temporary, oldName);
    if (back.end != StepEnd::done) {
        outcome.strandedName = temporary;
        outcome.failure = back.failure;
    }
    return outcome;
}

}  // namespace tocase

#endif
