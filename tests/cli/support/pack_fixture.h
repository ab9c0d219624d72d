// Fixtures of the command-line tests: a scratch folder, theme packs written there by our
// cabtool, and pelmora-extract run as a process with its output captured.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace clitest {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

private:
    std::filesystem::path FPath;
};

struct Member {
    std::string storedName;  // "/" between folders; stored with "\"
    std::string content;
};

// word as one word of a POSIX shell command line.
std::string quoted(const std::string& word);

void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);
// The files under folder, as paths relative to it with "/", sorted.
std::vector<std::string> filesUnder(const std::filesystem::path& folder);

// Writes the members into a staging folder and packs them with cabtool (LZX:21) into pack.
void makePack(const std::filesystem::path& pack, const std::vector<Member>& members);

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs pelmora-extract with args in folder cwd; environment holds "NAME=value" settings and
// "-NAME" removals for the program's environment.
RunResult runExtract(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::vector<std::string>& environment = {});

}  // namespace clitest
