#include <unistd.h>

#include "cli/console.h"
#include "util/utf16_text.h"

std::vector<std::u16string> ProgramArguments(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8ToUtf16(argv[i]));
    return args;
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}
