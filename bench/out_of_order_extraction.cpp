// Extracting a pack whose members are listed against the order of their data in their folder,
// beside the same pack listed in order: 200 members of text-like data in one LZX:21 folder
// (written by cabtool), listed in order, back to front and zig-zag (first, last, second...).
// Each pack is extracted whole through the cabinet archive. The goal: a shuffled pack costs at
// most twice the in-order one, with bounded memory. The run prints each time and the ratios;
// peak_rss_mb is the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/cab/ab_cab_archive.h"
#include "support/file_table_order.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMembers = 200;
constexpr std::size_t kMemberSize = 16 * 1024;

fs::path gFolder;
std::map<std::string, double> gSecondsPerRun;

std::string memberContent(int index) {
    static const char* const kWords[] = {"cabinet ", "folder ", "theme ", "wallpaper ", "the ",
                                         "of ",      "and ",    "blue ",  "light ",     "\n"};
    std::mt19937 random(static_cast<unsigned>(index));
    std::string bytes;
    while (bytes.size() < kMemberSize) bytes += kWords[random() % 10];
    bytes.resize(kMemberSize);
    return bytes;
}

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<int> inOrder(int n) {
    std::vector<int> order;
    for (int i = 0; i < n; ++i) order.push_back(i);
    return order;
}

bool makePacks() {
    char pattern[] = "/tmp/bench-order-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    gFolder = pattern;
    fs::create_directories(gFolder / "src");
    std::string names;
    for (int i = 0; i < kMembers; ++i) {
        std::string name = "member" + std::to_string(i) + ".txt";
        std::ofstream(gFolder / "src" / name, std::ios::binary) << memberContent(i);
        names += " " + name;
    }
    std::string command = "cd '" + (gFolder / "src").string() +
                          "' && '" PELMORA_BINARY_DIR "/bin/cabtool' create -z lzx:21 '" +
                          (gFolder / "made.cab").string() + "'" + names + " >/dev/null";
    if (std::system(command.c_str()) != 0) return false;
    std::vector<uint8_t> made = readAll(gFolder / "made.cab");
    writeAll(gFolder / "InOrder.cab", testsupport::reorderFileTable(made, inOrder(kMembers)));
    writeAll(gFolder / "Reverse.cab",
             testsupport::reorderFileTable(made, testsupport::reverseOrder(kMembers)));
    writeAll(gFolder / "ZigZag.cab",
             testsupport::reorderFileTable(made, testsupport::zigZagOrder(kMembers)));
    return true;
}

void extractWhole(const std::string& pack) {
    fs::path out = gFolder / ("out-" + pack);
    fs::create_directories(out);
    TAbCabArchive archive((gFolder / (pack + ".cab")).u16string(), 0);
    archive.Load();
    archive.SetBaseDirectory(out.u16string());
    archive.ExtractFiles(u"*");
}

void BM_ExtractWholePack(benchmark::State& state, const std::string& pack) {
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        extractWhole(pack);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    gSecondsPerRun[pack] = seconds / static_cast<double>(state.iterations());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(state.iterations() * kMembers * static_cast<int64_t>(kMemberSize));
}

}  // namespace

int main(int argc, char** argv) {
    if (!makePacks()) {
        std::fprintf(stderr, "out_of_order_extraction: cannot make the packs with cabtool\n");
        return 1;
    }
    for (const char* pack : {"InOrder", "Reverse", "ZigZag"}) {
        benchmark::RegisterBenchmark(pack, BM_ExtractWholePack, std::string(pack))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double inOrderTime = gSecondsPerRun["InOrder"];
    for (const char* pack : {"Reverse", "ZigZag"}) {
        if (inOrderTime > 0 && gSecondsPerRun.count(pack))
            std::printf("%s / InOrder: %.2f (%.1f ms against %.1f ms; goal: at most 2)\n", pack,
                        gSecondsPerRun[pack] / inOrderTime, gSecondsPerRun[pack] * 1000,
                        inOrderTime * 1000);
    }
    std::error_code ec;
    fs::remove_all(gFolder, ec);
    return 0;
}
