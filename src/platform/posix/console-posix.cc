#include "platform/console.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/posix/rename_confirmation-posix.h"
#include "platform/posix/stop_signals-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

using Clock = std::chrono::steady_clock;

// A write that would block waits for the reader; after a stop signal, at
// most this long, so that a reader that never comes cannot hold the stop up.
constexpr std::chrono::milliseconds stopGrace{1000};

// A write that took longer than this waited for its reader.
constexpr std::chrono::milliseconds waited{1};
Clock::time_point lastWait{};

// The milliseconds poll may wait: without end until a stop signal, then
// what is left of the grace from when the writer first saw it.
int waitLimit() {
    static Clock::time_point deadline{};
    if (receivedStopSignal() == 0) {
        return -1;
    }
    const Clock::time_point now = Clock::now();
    if (deadline == Clock::time_point{}) {
        deadline = now + stopGrace;
    }
    return static_cast<int>(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()));
}

bool waitUntilWritable(int fd) {
    pollfd request{fd, POLLOUT, 0};
    const int ready = systemCalls().poll(&request, 1, waitLimit());
    lastWait = Clock::now();
    return ready > 0 || (ready < 0 && errno == EINTR);
}

// False once a write has failed for good, or the grace after a stop
// signal has run out. Once stopping, no more is written at once than a
// pipe with room takes without blocking.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        if (receivedStopSignal() != 0 && !waitUntilWritable(fd)) {
            return false;
        }
        const std::size_t size = receivedStopSignal() != 0 ? std::min<std::size_t>(bytes.size(), PIPE_BUF)
                                                           : bytes.size();
        const Clock::time_point began = Clock::now();
        const ssize_t written = systemCalls().write(fd, bytes.data(), size);
        if (const Clock::time_point now = Clock::now(); now - began > waited) {
            lastWait = now;
        }
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        const int error = written < 0 ? errno : 0;
        // Interrupted: a stop signal is looked at above.
        if (error != EINTR && (error != EAGAIN || !waitUntilWritable(fd))) {
            return false;
        }
    }
    return true;
}

}  // namespace

const std::string_view errorLineEnd = "\n";

RenameConfirmation::Clock::time_point lastOutputWait() { return lastWait; }

bool writeStandardOutput(std::string_view bytes) { return writeAll(STDOUT_FILENO, bytes); }

void writeStandardError(std::string_view bytes) { writeAll(STDERR_FILENO, bytes); }

}  // namespace tocase
