// LZX encoder throughput and ratio on a file: bench_lzx_encode [--window=N] [--runs=N] FILE
// Prints one line: input bytes, output bytes (data blocks plus their 8-byte headers), then MB/s
// by the wall clock and by the process's CPU time (the honest figure on a shared machine),
// each the best of the runs (3 unless told): other work on the machine only ever slows a run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "block_encoder.h"

namespace {

struct Run {
    uint64_t outputBytes = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

bool encodeOnce(const std::vector<char>& input, unsigned windowBits, Run& run) {
    cabinet::Allocator alloc;
    alloc.alloc = [](uint32_t size) { return std::malloc(size); };
    alloc.release = [](void* block) { std::free(block); };
    cabinet::BlockEncoder* encoder = cabinet::createLzxEncoder(alloc, windowBits);
    if (!encoder) return false;

    uint64_t output = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    cabinet::EncodedBlock block;
    for (size_t at = 0; at < input.size(); at += 32768) {
        const size_t n = std::min<size_t>(32768, input.size() - at);
        encoder->write(reinterpret_cast<const uint8_t*>(input.data()) + at,
                       static_cast<uint32_t>(n));
        while (encoder->nextBlock(block)) output += block.compressedSize + 8;
    }
    encoder->finish();
    while (encoder->nextBlock(block)) output += block.compressedSize + 8;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    run.outputBytes = output;
    cabinet::destroyEncoder(alloc, encoder);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned windowBits = 21;
    int runs = 3;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--window=", 9) == 0) {
            windowBits = static_cast<unsigned>(std::atoi(argv[i] + 9));
        } else if (std::strncmp(argv[i], "--runs=", 7) == 0) {
            runs = std::max(1, std::atoi(argv[i] + 7));
        } else {
            file = argv[i];
        }
    }
    if (!file) {
        // scripts/bench runs every benchmark bare; the inputs come from bench/lzx_encode.sh.
        std::printf(
            "usage: bench_lzx_encode [--window=15..21] [--runs=N] FILE"
            " (bench/lzx_encode.sh)\n");
        return 0;
    }
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> input(std::istreambuf_iterator<char>(in), {});

    Run best;
    for (int r = 0; r < runs; ++r) {
        Run run;
        if (!encodeOnce(input, windowBits, run)) return 1;
        if (r == 0 || run.cpuSeconds < best.cpuSeconds) best.cpuSeconds = run.cpuSeconds;
        if (r == 0 || run.wallSeconds < best.wallSeconds) best.wallSeconds = run.wallSeconds;
        best.outputBytes = run.outputBytes;
    }
    std::printf("%zu %llu %.2f %.2f\n", input.size(),
                static_cast<unsigned long long>(best.outputBytes),
                input.size() / best.wallSeconds / 1e6, input.size() / best.cpuSeconds / 1e6);
    return 0;
}
