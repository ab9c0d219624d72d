#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "cli/stop_signals.h"
#include "util/stop_request.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void onStopSignal(int signalNumber) {
    if (caughtSignal == 0) caughtSignal = signalNumber;
    RequestStop();
}

}  // namespace

void CatchStopSignals() {
    for (const int signalNumber : kStopSignals) {
        struct sigaction previous {};
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        // The handler runs once: a second signal takes its default course and ends the
        // program at once, for a user who does not want to wait for the clean-up.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(signalNumber, &action, nullptr);
    }
}

void EndAsTheCaughtStopSignal() {
    const int signalNumber = caughtSignal;
    if (signalNumber == 0) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
    sigset_t pending;
    sigemptyset(&pending);
    sigaddset(&pending, signalNumber);
    sigprocmask(SIG_UNBLOCK, &pending, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // only if the signal did not end the program
}
