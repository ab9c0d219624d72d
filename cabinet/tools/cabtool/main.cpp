// cabtool: lists, tests, extracts and creates cabinets through libcabinet.
#include <cstdio>
#include <cstring>
#include <exception>

#include "commands.h"

namespace cabtool {

void printError(const std::string& message) {
    std::fprintf(stderr, "cabtool: %s\n", message.c_str());
}

namespace {

const Command kCommands[] = {
    {"list", "FILE", "one line per member: size, date, time, attributes, stored name", runList},
    {"extract", "[-d DIR] [-p] FILE [MEMBER...]",
     "write the members under DIR (default: the current folder), or with -p to standard output,"
     " following a set into its next cabinets",
     runExtract},
    {"test", "FILE [MEMBER...]", "decode the members and write nothing", runTest},
    {"create", "[-z none|mszip|lzx:N] [-f FOLDER_THRESHOLD] [-s MAX_CABINET_SIZE] OUT FILE...",
     "write the files into the cabinet OUT (compression mszip unless -z says otherwise; sizes in"
     " bytes, or with k or m), and with -s into a set OUT, then OUT's extension counted up"
     " (.c01, .c02...), no cabinet larger than MAX_CABINET_SIZE",
     runCreate},
};

int usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  cabtool %s %s\n      %s\n", c.name, c.usage, c.summary);
    std::fprintf(stderr,
                 "attributes: r read-only, h hidden, s system, a archive, x execute,"
                 " u UTF-8 name, c continued from the previous cabinet\n");
    return 1;
}

}  // namespace

}  // namespace cabtool

int main(int argc, char** argv) {
    if (argc < 2) return cabtool::usage();
    for (const cabtool::Command& c : cabtool::kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        try {
            return c.run(cabtool::Arguments(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            cabtool::printError(e.what());
            return 1;
        }
    }
    return cabtool::usage();
}
