#ifndef TOCASE_PLATFORM_STOP_SIGNALS_POSIX_H
#define TOCASE_PLATFORM_STOP_SIGNALS_POSIX_H

namespace tocase {

// Interrupt, termination, hang-up, quit and alarm are noted rather than
// obeyed at once, so that they take effect between entries, never between
// the two steps of a rename. A signal ignored by whoever started the tool
// (nohup) stays ignored. A write blocked when one arrives is interrupted.
void installStopHandlers();

// The stop signal that has arrived, or 0.
int receivedStopSignal();

// Ends the process as the signal that arrived asks, if one did.
void stopIfSignalled();

}  // namespace tocase

#endif
