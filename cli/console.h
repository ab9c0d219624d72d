// What pelmora-extract asks of the console it runs in.
#pragma once

#include <string>
#include <vector>

// The arguments after the program name, as UTF-16.
std::vector<std::u16string> ProgramArguments(int argc, char** argv);
// Whether standard error is a terminal, where a progress bar can redraw itself.
bool StandardErrorIsTerminal();
