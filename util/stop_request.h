// A request from outside the work in hand (an interrupt signal, a console closing) that
// long-running work stop at its next safe point. Work that writes files checks it so that an
// interrupted run can discard what it had not finished before the program ends.
#pragma once

// Asks running work to stop. Safe to call from a signal handler.
void RequestStop() noexcept;
// Whether a stop was asked for.
bool StopRequested() noexcept;
// Takes back a request, for a program (or a test) that goes on after one.
void WithdrawStopRequest() noexcept;
