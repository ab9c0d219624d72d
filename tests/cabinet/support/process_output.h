// Runs a peer tool as an oracle and collects what it writes to standard output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabinet::testing {

// The standard output of `command` (run by the shell); `ok` tells whether it exited with 0.
std::vector<uint8_t> commandOutput(const std::string& command, bool* ok = nullptr);

// `text` quoted for the shell.
std::string shellQuote(const std::string& text);

}  // namespace cabinet::testing
