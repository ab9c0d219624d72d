// LZX encoder throughput and ratio on a file: bench_lzx_encode [--window=N] FILE
// Prints one line: input bytes, output bytes (data blocks plus their 8-byte headers), then MB/s
// by the wall clock and by the process's CPU time (the honest figure on a shared machine).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "block_encoder.h"

int main(int argc, char** argv) {
    unsigned windowBits = 21;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--window=", 9) == 0) {
            windowBits = static_cast<unsigned>(std::atoi(argv[i] + 9));
        } else {
            file = argv[i];
        }
    }
    if (!file) {
        // scripts/bench runs every benchmark bare; the inputs come from bench/lzx_encode.sh.
        std::printf("usage: bench_lzx_encode [--window=15..21] FILE (bench/lzx_encode.sh)\n");
        return 0;
    }
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> input(std::istreambuf_iterator<char>(in), {});

    cabinet::Allocator alloc;
    alloc.alloc = [](uint32_t size) { return std::malloc(size); };
    alloc.release = [](void* block) { std::free(block); };
    cabinet::BlockEncoder* encoder = cabinet::createLzxEncoder(alloc, windowBits);
    if (!encoder) return 1;

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
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    cabinet::destroyEncoder(alloc, encoder);
    std::printf("%zu %llu %.2f %.2f\n", input.size(), static_cast<unsigned long long>(output),
                input.size() / seconds / 1e6, input.size() / cpuSeconds / 1e6);
    return 0;
}
