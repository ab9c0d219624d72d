// LZX decoding speed, data block by data block as the cabinet reader feeds the decoder.
//
// bench_lzx_decode                      runs the benchmarks over the cabinets in $LZX_BENCH_DIR
//                                       (large-files.cab, uncompressed.cab, literals.cab)
// bench_lzx_decode --stream CAB FOLDER  writes the decoded folder to standard output
// bench_lzx_decode --incompressible DIR writes uncompressed.cab and literals.cab there: random
//                                       bytes in LZX:21 as stored blocks, or as literals
// bench/lzx_decode.sh sets all this up and times the peer tools beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/cabinet_image.h"
#include "support/folder_blocks.h"
#include "support/lzx_test_stream.h"

namespace {

using cabinet::testing::FolderBlocks;
using cabinet::testing::LzxTestStream;
using cabinet::testing::LzxToken;

void* heapAlloc(uint32_t size) {
    return std::malloc(size);
}
void heapRelease(void* block) {
    std::free(block);
}
const cabinet::Allocator kHeap{heapAlloc, heapRelease};

constexpr uint32_t kFrame = 32768;

// Decodes a folder, handing each frame to `sink`; false when the decoder rejects a block.
template <typename Sink>
bool decodeFolder(const FolderBlocks& folder, Sink&& sink) {
    const unsigned windowBits = (folder.compression >> 8) & 0x1F;
    cabinet::BlockDecoder* decoder = cabinet::createLzxDecoder(kHeap, windowBits);
    if (!decoder) return false;
    std::vector<uint8_t> frame(kFrame);
    bool ok = true;
    for (const auto& block : folder.blocks) {
        if (decoder->decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                            frame.data(), block.uncompressedSize) != cabinet::DecodeStatus::ok) {
            ok = false;
            break;
        }
        sink(frame.data(), block.uncompressedSize);
    }
    cabinet::destroyDecoder(kHeap, decoder);
    return ok;
}

std::string benchDir() {
    const char* dir = std::getenv("LZX_BENCH_DIR");
    return dir ? dir : ".";
}

void decodeBenchmark(benchmark::State& state, const std::string& cabinet, size_t folderIndex) {
    const auto folders = cabinet::testing::readFolderBlocks(benchDir() + "/" + cabinet);
    if (folderIndex >= folders.size()) {
        state.SkipWithError(("no folder " + std::to_string(folderIndex) + " in " + cabinet +
                             " (run bench/lzx_decode.sh)")
                                .c_str());
        return;
    }
    const FolderBlocks& folder = folders[folderIndex];
    uint64_t bytes = 0;
    for (auto _ : state) {
        bool ok = decodeFolder(folder, [&](const uint8_t* data, uint32_t size) {
            benchmark::DoNotOptimize(data);
            bytes += size;
        });
        if (!ok) state.SkipWithError("the decoder rejected a block");
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// Random bytes as LZX:21, what incompressible data becomes: either uncompressed blocks of
// 256 KB, or verbatim blocks of literals only (as an encoder that never gives up on Huffman
// coding writes them), one block per frame.
std::vector<uint8_t> incompressibleCabinet(bool literals, uint32_t frames) {
    constexpr unsigned kWindowBits = 21;
    std::mt19937_64 random(42);
    LzxTestStream stream(kWindowBits);
    std::vector<uint8_t> bytes;
    std::vector<LzxToken> tokens;
    const uint32_t framesPerBlock = literals ? 1 : 8;
    for (uint32_t f = 0; f < frames; f += framesPerBlock) {
        bytes.resize(size_t{kFrame} * std::min(framesPerBlock, frames - f));
        for (auto& b : bytes) b = static_cast<uint8_t>(random() >> 56);
        if (literals) {
            tokens.clear();
            for (uint8_t b : bytes) tokens.push_back(LzxToken::literal(b));
            stream.compressedBlock(false, tokens);
        } else {
            stream.uncompressedBlock(bytes);
        }
    }
    return cabinet::testing::cabinetImage(stream.blocks(), 3 | (kWindowBits << 8), "random.bin");
}

int streamFolder(const char* cab, const char* folderText) {
    const auto folders = cabinet::testing::readFolderBlocks(cab);
    const size_t index = std::strtoul(folderText, nullptr, 10);
    if (index >= folders.size()) return 2;
    bool ok = decodeFolder(folders[index], [](const uint8_t* data, uint32_t size) {
        std::fwrite(data, 1, size, stdout);
    });
    return ok ? 0 : 1;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

int writeIncompressible(const std::string& dir) {
    const bool ok = writeFile(dir + "/uncompressed.cab", incompressibleCabinet(false, 8192)) &&
                    writeFile(dir + "/literals.cab", incompressibleCabinet(true, 2048));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--stream") == 0) return streamFolder(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "--incompressible") == 0)
        return writeIncompressible(argv[2]);

    // large-files.cab holds three 2 GB folders: MSZIP, LZX:15, LZX:21.
    benchmark::RegisterBenchmark("lzx15_text_2GB", decodeBenchmark, "large-files.cab", 1)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("lzx21_text_2GB", decodeBenchmark, "large-files.cab", 2)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("lzx21_uncompressed_256MB", decodeBenchmark, "uncompressed.cab", 0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("lzx21_literals_64MB", decodeBenchmark, "literals.cab", 0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
