// Starting and waiting for child processes on POSIX systems.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts argv[0] (searched in PATH) with argv and the caller's environment, with no file
// descriptor beyond standard input, output and error inherited. Answers the new process's
// identifier, or -1 when it could not be started (a missing program included).
pid_t spawnProgram(const std::vector<std::u16string>& argv);

// Waits for the child to end: its exit status, or 128 + the signal that ended it.
int waitForChild(pid_t pid);

// Leaves the child to run on its own; a background thread collects it when it ends so that
// no finished process lingers.
void releaseChild(pid_t pid);
