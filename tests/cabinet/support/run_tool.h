// Runs a command line tool with its output captured, for tests of cabtool and the peers.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace cabtest {

struct ToolRun {
    int status = -1;  // the exit status; -1 when the process did not exit normally (a crash)
    std::string out;
    std::string err;
};

// Runs `command` (shell syntax) with stdout and stderr captured, under `timeout` seconds. A
// sanitizer report makes the status 86, so it cannot pass for an ordinary failure.
ToolRun runTool(const std::string& command, int timeoutSeconds = 60);

std::string cabtoolPath();

// Every regular file under `root`, by path relative to it, with its bytes.
std::map<std::string, std::vector<uint8_t>> readTree(const std::filesystem::path& root);

}  // namespace cabtest
