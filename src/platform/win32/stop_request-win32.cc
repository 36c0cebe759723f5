#include "platform/win32/stop_request-win32.h"

#include <windows.h>

#include <atomic>

namespace tocase {
namespace {

std::atomic<bool> stopRequested{false};

BOOL WINAPI noteStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    stopRequested = true;
    return TRUE;
}

}  // namespace

void installStopHandler() { SetConsoleCtrlHandler(noteStop, TRUE); }

void stopIfRequested() {
    if (stopRequested) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

}  // namespace tocase
