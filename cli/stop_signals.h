// The console's requests to stop: Ctrl-C, a terminal hanging up, a termination request. The
// first one asks the running extraction to stop (RequestStop) instead of ending the program
// on the spot, so that the member being written is discarded rather than left half-written;
// a second one ends the program at once. Once the work has stopped, the program ends as the
// signal would have ended it, which gives the caller the status it expects.
#pragma once

// Installs the handlers. A signal the program was started to ignore stays ignored.
void CatchStopSignals();
// Ends the program as the first caught request would have ended it (on POSIX: killed by that
// signal, status 128 + its number in a shell). Returns only when no request came.
void EndAsTheCaughtStopSignal();
