#include "support/run_tool.h"

#include <fstream>
#include <iterator>

#include "support/cab_reader.h"
#include "support/temp_folder.h"

namespace cabtest {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

ToolRun runTool(const std::string& command, int timeoutSeconds) {
    TempFolder temp;
    auto out = temp / "out";
    auto err = temp / "err";
    auto script = temp / "run.sh";
    std::ofstream(script) << command << "\n";
    std::string line =
        "ASAN_OPTIONS=exitcode=86:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 "
        "timeout " +
        std::to_string(timeoutSeconds) + " sh " + script.string() + " >" + out.string() + " 2>" +
        err.string();
    ToolRun run;
    run.status = runCommand(line);
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

std::string cabtoolPath() {
    return std::string(PELMORA_BINARY_DIR) + "/bin/cabtool";
}

std::map<std::string, std::vector<uint8_t>> readTree(const std::filesystem::path& root) {
    std::map<std::string, std::vector<uint8_t>> tree;
    if (!std::filesystem::exists(root)) return tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        tree[std::filesystem::relative(entry.path(), root).string()] =
            readWholeFile(entry.path().string());
    }
    return tree;
}

}  // namespace cabtest
