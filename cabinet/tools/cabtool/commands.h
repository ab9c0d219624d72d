// The commands of cabtool. Each takes the arguments after its name and answers the exit status.
#pragma once

#include <string>
#include <vector>

namespace cabtool {

using Arguments = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;  // the arguments, for the usage text
    const char* summary;
    int (*run)(const Arguments& args);
};

int runList(const Arguments& args);
int runExtract(const Arguments& args);
int runTest(const Arguments& args);
int runCreate(const Arguments& args);

// Prints "cabtool: " followed by the message on stderr.
void printError(const std::string& message);

}  // namespace cabtool
