#include "platform/posix/stop_signals-posix.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace tocase {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

void noteStopSignal(int number) { stopSignal = number; }

}  // namespace

// Without SA_RESTART, so that a write blocked on a pipe nobody reads
// returns, and the wait for it can be bounded.
void installStopHandlers() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM}) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = noteStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(number, &action, nullptr);
    }
}

int receivedStopSignal() { return stopSignal; }

void stopIfSignalled() {
    const int number = stopSignal;
    if (number == 0) {
        return;
    }
    signal(number, SIG_DFL);
    raise(number);
    _exit(128 + number);
}

}  // namespace tocase
