// Process services on POSIX: posix_spawn and waitpid. There are no windows to show or hide,
// so the show state has no effect; elevation goes through pkexec.
#include "util/command_line_words.h"
#include "util/common_func.h"
#include "util/spawn_posix.h"

namespace {

// pkexec's own answers: the user dismissed or failed the prompt (126), or pkexec could not
// run the program (127).
constexpr int kPkexecNotAuthorised = 126;
constexpr int kPkexecCannotRun = 127;

}  // namespace

int32_t RunCommandLine(const std::u16string& CommandLine, uint16_t /*ShowWindow*/, bool Wait,
                       uint32_t* ProcessId) {
    const pid_t pid = spawnProgram(SplitCommandLine(CommandLine));
    if (pid < 0) return -1;
    if (!Wait) {
        if (ProcessId) *ProcessId = static_cast<uint32_t>(pid);
        releaseChild(pid);
        return -1;
    }
    return waitForChild(pid);
}

bool RunElevatedAndWait(void* /*Wnd*/, const std::u16string& FileName,
                        const std::u16string& Parameters) {
    std::vector<std::u16string> argv{u"pkexec", FileName};
    for (auto& word : SplitCommandLine(Parameters)) argv.push_back(std::move(word));
    const pid_t pid = spawnProgram(argv);
    if (pid < 0) return false;
    const int status = waitForChild(pid);
    return status != kPkexecNotAuthorised && status != kPkexecCannotRun;
}
