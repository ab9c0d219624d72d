#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "gtest/gtest.h"
#include "support/scratch_folder.h"
#include "util/common_func.h"
#include "util/utf16_text.h"

namespace fs = std::filesystem;

namespace {

struct ExitCase {
    const char16_t* commandLine;
    int32_t expected;
};

class RunCommandLineWaitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(RunCommandLineWaitTest, AnswersTheExitCode) {
    const auto& c = GetParam();
    EXPECT_EQ(RunCommandLine(c.commandLine, SW_HIDE_STATE, true), c.expected)
        << utf16ToUtf8(c.commandLine);
}

INSTANTIATE_TEST_SUITE_P(Processes, RunCommandLineWaitTest,
                         ::testing::Values(ExitCase{u"sh -c \"exit 3\"", 3}, ExitCase{u"true", 0},
                                           ExitCase{u"sh -c \"exit 255\"", 255},
                                           // Ended by a signal: 128 + the signal number.
                                           ExitCase{u"sh -c \"kill -TERM $$\"", 128 + SIGTERM},
                                           ExitCase{u"sh -c \"kill -KILL $$\"", 128 + SIGKILL},
                                           ExitCase{u"/nonexistent/program", -1},
                                           ExitCase{u"pelmora-no-such-program-anywhere --flag", -1},
                                           ExitCase{u"", -1}, ExitCase{u"   ", -1}));

// Reads a file that a process writes, waiting until it is complete (the process writes a
// final line "end").
std::string waitForRecord(const fs::path& file) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find("end\n") != std::string::npos) return text.str();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "(no record)";
}

TEST(RunCommandLine, PassesQuotedWordsAndSpacesAsSeparateArguments) {
    ScratchFolder scratch;
    const fs::path record = scratch.path() / "args";
    const std::u16string commandLine = u"sh -c \"printf '%s|' \\\"$@\\\" > '" + toU16(record) +
                                       u"'; echo end >> '" + toU16(record) +
                                       u"'\" sh \"two words\" plain \\\"quoted\\\"";
    EXPECT_EQ(RunCommandLine(commandLine, SW_SHOWNORMAL_STATE, true), 0);
    EXPECT_EQ(waitForRecord(record), "two words|plain|\"quoted\"|end\n");
}

TEST(RunCommandLine, WithoutWaitingAnswersAtOnceAndStoresTheRunningProcess) {
    uint32_t pid = 0;
    EXPECT_EQ(RunCommandLine(u"sleep 30", SW_HIDE_STATE, false, &pid), -1);
    ASSERT_NE(pid, 0u);
    EXPECT_EQ(kill(static_cast<pid_t>(pid), 0), 0) << "the process should still run";
    // The new process may still be between fork and exec for a moment.
    std::string program;
    for (int attempt = 0; attempt < 100 && fs::path(program).filename() != "sleep"; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
        std::getline(cmdline, program, '\0');
    }
    EXPECT_EQ(fs::path(program).filename(), "sleep");
    kill(static_cast<pid_t>(pid), SIGKILL);

    // Without a place for the identifier the process still starts.
    ScratchFolder scratch;
    const fs::path record = scratch.path() / "started";
    EXPECT_EQ(
        RunCommandLine(u"sh -c \"echo end > '" + toU16(record) + u"'\"", SW_HIDE_STATE, false), -1);
    EXPECT_EQ(waitForRecord(record), "end\n");
}

TEST(RunCommandLine, MissingProgramStoresNoIdentifier) {
    uint32_t pid = 12345;
    EXPECT_EQ(RunCommandLine(u"/nonexistent/program", SW_HIDE_STATE, false, &pid), -1);
    EXPECT_EQ(pid, 12345u);
}

// Puts a stand-in for a system program first in PATH for the life of the fixture; the
// stand-in records its arguments, one per line, then "end", and exits with `exitCode`.
class StandInProgram {
public:
    StandInProgram(const std::string& name, int exitCode) {
        const fs::path bin = scratch_.makeFolder("bin");
        record_ = scratch_.path() / "record";
        const fs::path script = bin / name;
        std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '"
                              << record_.string() << ".tmp'\necho end >> '" << record_.string()
                              << ".tmp'\nmv '" << record_.string() << ".tmp' '" << record_.string()
                              << "'\nexit " << exitCode << "\n";
        fs::permissions(script, fs::perms::owner_all);
        const char* oldPath = std::getenv("PATH");
        oldPath_ = oldPath ? oldPath : "";
        setenv("PATH", (bin.string() + ":" + oldPath_).c_str(), 1);
    }
    ~StandInProgram() { setenv("PATH", oldPath_.c_str(), 1); }
    std::string record() const { return waitForRecord(record_); }
    bool ran() const { return fs::exists(record_); }

private:
    ScratchFolder scratch_;
    fs::path record_;
    std::string oldPath_;
};

struct ElevationCase {
    const char16_t* parameters;
    int pkexecExit;
    bool accepted;
    const char* recorded;
};

class RunElevatedAndWaitTest : public ::testing::TestWithParam<ElevationCase> {};

TEST_P(RunElevatedAndWaitTest, AsksPkexecAndWaits) {
    const auto& c = GetParam();
    StandInProgram pkexec("pkexec", c.pkexecExit);
    EXPECT_EQ(RunElevatedAndWait(nullptr, u"powershell.exe", c.parameters), c.accepted);
    // The call has waited, so the record is already complete.
    ASSERT_TRUE(pkexec.ran());
    EXPECT_EQ(pkexec.record(), c.recorded);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RunElevatedAndWaitTest,
    ::testing::Values(
        ElevationCase{u"set-executionpolicy Bypass -Confirm:$false", 0, true,
                      "powershell.exe\nset-executionpolicy\nBypass\n-Confirm:$false\nend\n"},
        // Empty parameters add no argument at all, not an empty one.
        ElevationCase{u"", 0, true, "powershell.exe\nend\n"},
        // The program itself failing is still an accepted request.
        ElevationCase{u"x", 1, true, "powershell.exe\nx\nend\n"},
        // pkexec: 126 when the user declines, 127 when it cannot run the program.
        ElevationCase{u"x", 126, false, "powershell.exe\nx\nend\n"},
        ElevationCase{u"x", 127, false, "powershell.exe\nx\nend\n"}));

TEST(RunElevatedAndWait, WithoutPkexecTheRequestFails) {
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ScratchFolder empty;
    setenv("PATH", empty.path().c_str(), 1);
    EXPECT_FALSE(RunElevatedAndWait(nullptr, u"true", u""));
    setenv("PATH", saved.c_str(), 1);
}

struct OpenCase {
    const char* name;
    const char16_t* target;
};

class DesktopOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(DesktopOpenTest, HandsTheTargetWholeToXdgOpen) {
    const auto& c = GetParam();
    StandInProgram xdgOpen("xdg-open", 0);
    if (std::string(c.name) == "folder") {
        EXPECT_TRUE(ExploreFolder(c.target));
    } else {
        ShellOpen(c.target);
    }
    EXPECT_EQ(xdgOpen.record(), utf16ToUtf8(c.target) + "\nend\n");
}

INSTANTIATE_TEST_SUITE_P(Targets, DesktopOpenTest,
                         ::testing::Values(OpenCase{"folder", u"/tmp/My Pictures/Spotlight"},
                                           OpenCase{"folder", u"/tmp/Ünïcode \"quoted\""},
                                           OpenCase{"address",
                                                    u"https://example.org/themes?a=1&b=2"}));

TEST(ExploreFolder, WithoutAFileManagerTheRequestFails) {
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ScratchFolder empty;
    setenv("PATH", empty.path().c_str(), 1);
    EXPECT_FALSE(ExploreFolder(u"/tmp"));
    ShellOpen(u"https://example.org");  // nothing to report, and nothing breaks
    setenv("PATH", saved.c_str(), 1);
}

}  // namespace
