// Extracting one member per FDICopy pass, as the archive layer does, against one pass that
// writes every member: the later passes resume inside the folder instead of decoding it again.
//
// The input is 24 members of 1 MB in one folder: LZX:21 when `cabtool create` can write it,
// otherwise MSZIP made by gcab (the label says which). The goal: 24 passes cost at most 1.3
// times the single pass. peak_rss_mb reports the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cabinet.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMembers = 24;
constexpr size_t kMemberSize = 1 << 20;

fs::path gFolder;
std::string gCabinet = "resume.cab";
std::string gMethod;

// Text-like content: words from a small vocabulary, so the folder compresses as documents do.
std::vector<char> memberContent(int index) {
    static const char* const kWords[] = {"cabinet ", "folder ", "theme ", "wallpaper ", "the ",
                                         "of ",      "and ",    "blue ",  "light ",     "\n"};
    std::mt19937 random(index);
    std::vector<char> bytes;
    bytes.reserve(kMemberSize);
    while (bytes.size() < kMemberSize) {
        const char* word = kWords[random() % 10];
        for (const char* p = word; *p && bytes.size() < kMemberSize; ++p) bytes.push_back(*p);
    }
    return bytes;
}

bool makeInput() {
    char pattern[] = "/tmp/bench-resume-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    gFolder = pattern;
    std::string names;
    for (int i = 0; i < kMembers; ++i) {
        std::string name = "member" + std::to_string(i) + ".txt";
        auto bytes = memberContent(i);
        std::ofstream(gFolder / name, std::ios::binary).write(bytes.data(), bytes.size());
        names += " " + name;
    }
    std::string cabtool = std::string(PELMORA_BINARY_DIR) + "/bin/cabtool";
    std::string cd = "cd " + gFolder.string() + " && ";
    if (std::system((cd + cabtool + " create -z lzx:21 " + gCabinet + names + " >/dev/null 2>&1")
                        .c_str()) == 0) {
        gMethod = "LZX:21 (cabtool create)";
        return true;
    }
    gMethod = "MSZIP (gcab)";
    return std::system((cd + "gcab -c -z " + gCabinet + names + " >/dev/null").c_str()) == 0;
}

void* CABINET_CC heapAlloc(uint32_t size) {
    return std::malloc(size);
}
void CABINET_CC heapFree(void* block) {
    std::free(block);
}
CabHandle CABINET_CC openFile(char* name, int, int) {
    std::FILE* f = std::fopen(name, "rb");
    return f ? reinterpret_cast<CabHandle>(f) : -1;
}
uint32_t CABINET_CC readFile(CabHandle h, void* buffer, uint32_t count) {
    return static_cast<uint32_t>(std::fread(buffer, 1, count, reinterpret_cast<std::FILE*>(h)));
}
// Output goes nowhere: the handle 1 stands for a sink.
uint32_t CABINET_CC writeSink(CabHandle, void*, uint32_t count) {
    return count;
}
int CABINET_CC closeFile(CabHandle h) {
    return std::fclose(reinterpret_cast<std::FILE*>(h));
}
int32_t CABINET_CC seekFile(CabHandle h, int32_t offset, int origin) {
    auto* f = reinterpret_cast<std::FILE*>(h);
    if (std::fseek(f, offset, origin) != 0) return -1;
    return static_cast<int32_t>(std::ftell(f));
}

struct Pass {
    int wanted;  // -1: every member
    int offered = 0;
};

CabHandle CABINET_CC notify(FDINotificationType type, FDINotification* n) {
    auto* pass = static_cast<Pass*>(n->pv);
    if (type == fdintCOPY_FILE) {
        int index = pass->offered++;
        return pass->wanted < 0 || pass->wanted == index ? 1 : 0;
    }
    return type == fdintCLOSE_FILE_INFO ? 1 : 0;
}

bool copy(FDIContext context, int wanted) {
    Pass pass{wanted};
    std::string path = gFolder.string() + "/";
    return FDICopy(context, gCabinet.data(), path.data(), 0, notify, nullptr, &pass);
}

void report(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = usage.ru_maxrss / 1024.0;
    state.SetLabel(gMethod);
    state.SetBytesProcessed(state.iterations() * kMembers * int64_t{kMemberSize});
}

void BM_OnePassOverEveryMember(benchmark::State& state) {
    CabErrorRecord error{};
    FDIContext context = FDICreate(heapAlloc, heapFree, openFile, readFile, writeSink, closeFile,
                                   seekFile, cpuUNKNOWN, &error);
    for (auto _ : state) {
        if (!copy(context, -1)) state.SkipWithError("FDICopy failed");
    }
    FDIDestroy(context);
    report(state);
}

void BM_OnePassPerMember(benchmark::State& state) {
    CabErrorRecord error{};
    FDIContext context = FDICreate(heapAlloc, heapFree, openFile, readFile, writeSink, closeFile,
                                   seekFile, cpuUNKNOWN, &error);
    for (auto _ : state) {
        for (int i = 0; i < kMembers; ++i) {
            if (!copy(context, i)) state.SkipWithError("FDICopy failed");
        }
    }
    FDIDestroy(context);
    report(state);
}

BENCHMARK(BM_OnePassOverEveryMember)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OnePassPerMember)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (!makeInput()) {
        std::fprintf(stderr, "cannot make the input cabinet\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(gFolder, ec);
    return 0;
}
