#include "support/process_output.h"

#include <sys/wait.h>

#include <cstdio>

namespace cabinet::testing {

std::vector<uint8_t> commandOutput(const std::string& command, bool* ok) {
    std::vector<uint8_t> output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (ok) *ok = false;
        return output;
    }
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.insert(output.end(), buffer, buffer + n);
    int status = pclose(pipe);
    if (ok) *ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return output;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char ch : text) {
        if (ch == '\'')
            quoted += "'\\''";
        else
            quoted += ch;
    }
    return quoted + "'";
}

}  // namespace cabinet::testing
