#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "cli/stop_signals.h"
#include "util/stop_request.h"

namespace {

// What a console program ended by Ctrl-C reports (STATUS_CONTROL_C_EXIT).
constexpr unsigned kControlCExit = 0xC000013Au;

std::atomic<bool> caught{false};
std::atomic<bool> cleanedUp{false};

BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    // A second request takes the default course and ends the program at once.
    if (caught.exchange(true)) return FALSE;
    RequestStop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process when this handler returns: give the extraction the few
        // seconds the system allows to discard what it was writing.
        for (int waited = 0; waited < 40 && !cleanedUp.load(); ++waited) Sleep(100);
    }
    return TRUE;
}

}  // namespace

void CatchStopSignals() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void EndAsTheCaughtStopSignal() {
    if (!caught.load()) return;
    cleanedUp.store(true);
    std::_Exit(static_cast<int>(kControlCExit));
}
