#include <io.h>
#include <stdio.h>
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "cli/console.h"

// The narrow argv of Windows is in the ANSI code page; the wide command line is not.
std::vector<std::u16string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::u16string> args;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(words[i]));
    LocalFree(words);
    return args;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
