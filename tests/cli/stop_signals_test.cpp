// pelmora-extract stopped while it writes a large member: by Ctrl-C, a terminal hanging up, a
// termination request, or killed outright. No partial file may remain, and the program ends
// as the signal ends a program, so that the shell reports the usual status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/pack_fixture.h"
#include "support/zero_pack.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using clitest::ScratchFolder;

// Bytes the process has written so far; -1 once it cannot be read (the process has gone).
long long bytesWritten(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    return -1;
}

// Starts pelmora-extract on the pack, its output into files beside the pack.
pid_t startExtract(const fs::path& pack) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (pack.parent_path() / ".stdout").string();
    const std::string err = (pack.parent_path() / ".stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = PELMORA_BINARY_DIR "/bin/pelmora-extract";
    std::string packArg = pack.string();
    char* argv[] = {const_cast<char*>(program.c_str()), packArg.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Every entry under the folder, hidden ones included.
std::vector<std::string> entriesUnder(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    return names;
}

struct SignalCase {
    const char* name;
    int signalNumber;
    bool caught;  // the program stops its work cleanly before it ends
};

class StopSignalTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(StopSignalTest, MidMemberLeavesNoPartialFile) {
    const SignalCase& c = GetParam();
    ScratchFolder scratch;
    const fs::path pack = scratch / "Zeros.themepack";
    clitest::makeZeroPack(pack, 1, 32768);  // one member of 1 GB
    const pid_t pid = startExtract(pack);
    ASSERT_GT(pid, 0);

    // Waits until the member is being written: well past the pack's own size.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    long long written = 0;
    while ((written = bytesWritten(pid)) >= 0 && written < (8 << 20) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(written, 8 << 20) << "the member was never being written";
    ASSERT_EQ(::kill(pid, c.signalNumber), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);

    // Ended by the signal itself: a shell reports 128 + its number (130, 143, 129).
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), c.signalNumber);
    // Neither the member nor any temporary file of it remains.
    EXPECT_EQ(entriesUnder(scratch / "Zeros"), std::vector<std::string>{});
    if (c.caught) {
        // The run was stopped, not cut short: it says so before it ends.
        const std::string err = clitest::readFile(scratch / ".stderr");
        EXPECT_NE(err.find("Zeros.themepack: Process aborted by user"), std::string::npos) << err;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT, true},
                                           SignalCase{"Terminate", SIGTERM, true},
                                           SignalCase{"HangUp", SIGHUP, true},
                                           // Cannot be caught: only a file without a name
                                           // keeps the folder clean.
                                           SignalCase{"Kill", SIGKILL, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
