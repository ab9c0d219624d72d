#include "util/spawn_posix.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "util/utf16_text.h"

extern char** environ;

pid_t spawnProgram(const std::vector<std::u16string>& argv) {
    if (argv.empty() || argv.front().empty()) return -1;
    std::vector<std::string> words;
    words.reserve(argv.size());
    for (const auto& word : argv) words.push_back(utf16ToUtf8(word));
    std::vector<char*> pointers;
    for (auto& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = -1;
    const int failure =
        posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? pid : -1;
}

int waitForChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

void releaseChild(pid_t pid) {
    std::thread([pid] { waitForChild(pid); }).detach();
}
