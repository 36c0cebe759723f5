#ifndef TOCASE_PLATFORM_WIN32_STOP_REQUEST_WIN32_H
#define TOCASE_PLATFORM_WIN32_STOP_REQUEST_WIN32_H

namespace tocase {

// Ctrl+C and Ctrl+Break are noted rather than obeyed at once, so that they
// take effect between entries, never between the two steps of a rename.
void installStopHandler();

// Ends the process as Ctrl+C does, if it was pressed.
void stopIfRequested();

}  // namespace tocase

#endif
