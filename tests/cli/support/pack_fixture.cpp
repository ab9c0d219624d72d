#include "support/pack_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace clitest {

namespace fs = std::filesystem;

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (const char c : word) {
        if (c == '\'') {
            text += "'\\''";
        } else {
            text += c;
        }
    }
    return text + "'";
}

namespace {

int runShell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "pelmora-cli-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> filesUnder(const fs::path& folder) {
    std::vector<std::string> files;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder));
    }
    std::sort(files.begin(), files.end());
    return files;
}

void makePack(const fs::path& pack, const std::vector<Member>& members) {
    const fs::path staging = pack.parent_path() / (".staging-" + pack.filename().string());
    fs::create_directories(staging);
    std::string command = "cd " + quoted(staging) + " && " +
                          quoted(PELMORA_BINARY_DIR "/bin/cabtool") + " create -z lzx:21 " +
                          quoted(pack) + " ";
    for (const Member& member : members) {
        writeFile(staging / member.storedName, member.content);
        // Appended piece by piece: GCC 12 at -O3 misreads " " + a temporary string as an
        // overlapping copy and warns.
        command += ' ';
        command += quoted(member.storedName);
    }
    const int status = runShell(command + " >/dev/null");
    fs::remove_all(staging);
    if (status != 0) throw std::runtime_error("cabtool create failed for " + pack.string());
}

RunResult runExtract(const std::vector<std::string>& args, const fs::path& cwd,
                     const std::vector<std::string>& environment) {
    const fs::path out = cwd / ".stdout";
    const fs::path err = cwd / ".stderr";
    // Built by appending: GCC 12 at -O3 misreads "x" + a temporary string as an overlapping copy.
    std::string command = "cd " + quoted(cwd);
    command += " && env";
    for (const auto& setting : environment) {
        if (setting.starts_with("-")) {
            command += " -u ";
            command += quoted(setting.substr(1));
        } else {
            command += ' ';
            command += quoted(setting);
        }
    }
    command += ' ';
    command += quoted(PELMORA_BINARY_DIR "/bin/pelmora-extract");
    for (const auto& arg : args) {
        command += ' ';
        command += quoted(arg);
    }
    RunResult result;
    result.status = runShell(command + " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null");
    result.out = readFile(out);
    result.err = readFile(err);
    fs::remove(out);
    fs::remove(err);
    return result;
}

}  // namespace clitest
