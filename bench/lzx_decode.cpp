// LZX decoding speed, data block by data block as the cabinet reader feeds the decoder.
//
// bench_lzx_decode                      runs the benchmarks over the cabinets in
//                                       $LZX_BENCH_DIR (large-files.cab, incompressible.cab)
// bench_lzx_decode --stream CAB FOLDER  writes the decoded folder to standard output
// bench_lzx_decode --incompressible CAB writes a cabinet of random bytes in LZX:21
//                                       uncompressed blocks (what incompressible data becomes)
// bench/lzx_decode.sh sets all this up and times the peer tools beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/folder_blocks.h"

namespace {

using cabinet::testing::FolderBlocks;

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
    kHeap.destroy(decoder);
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

// Random bytes as one LZX stream of uncompressed blocks, 256 KB each so that every block
// header opens a frame: 3 type bits, 24 size bits, padding to the word, R0..R2, the bytes.
std::vector<uint8_t> incompressibleCabinet(uint32_t frames) {
    constexpr uint32_t kFramesPerBlock = 8;
    std::mt19937_64 random(42);
    std::vector<std::vector<uint8_t>> blocks;
    for (uint32_t f = 0; f < frames; ++f) {
        std::vector<uint8_t> block;
        if (f % kFramesPerBlock == 0) {
            const uint32_t size = kFrame * std::min(kFramesPerBlock, frames - f);
            // Bits, most significant first: E8 flag (first frame only), type 3, size.
            uint64_t bits = 0;
            unsigned count = 0;
            if (f == 0) count += 1;
            bits = (bits << 3) | 3;
            bits = (bits << 24) | size;
            count += 27;
            const unsigned padded = (count / 16 + 1) * 16;
            bits <<= padded - count;
            for (unsigned shift = padded; shift >= 16; shift -= 16) {
                const auto word = static_cast<uint16_t>(bits >> (shift - 16));
                block.push_back(static_cast<uint8_t>(word));
                block.push_back(static_cast<uint8_t>(word >> 8));
            }
            for (int r = 0; r < 3; ++r) block.insert(block.end(), {1, 0, 0, 0});
        }
        for (uint32_t i = 0; i < kFrame; i += 8) {
            uint64_t v = random();
            for (int b = 0; b < 8; ++b) block.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }
        blocks.push_back(std::move(block));
    }

    std::vector<uint8_t> cab;
    auto put = [&](uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) cab.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    const char name[] = "random.bin";
    const uint32_t headerSize = 36, folderSize = 8, fileSize = 16 + sizeof name;
    const uint32_t dataStart = headerSize + folderSize + fileSize;
    uint64_t total = dataStart;
    for (const auto& b : blocks) total += 8 + b.size();
    put(0x4643534D, 4);  // MSCF
    put(0, 4);
    put(total, 4);
    put(0, 4);
    put(headerSize + folderSize, 4);  // first file entry
    put(0, 4);
    put(0x0103, 2);  // version 1.3
    put(1, 2);       // folders
    put(1, 2);       // files
    put(0, 2);       // flags
    put(0, 2);       // set id
    put(0, 2);       // cabinet index
    put(dataStart, 4);
    put(blocks.size(), 2);
    put(3 | (21 << 8), 2);  // LZX, window 2^21
    put(uint64_t{frames} * kFrame, 4);
    put(0, 4);       // offset in folder
    put(0, 2);       // folder index
    put(0x5821, 2);  // date
    put(0, 2);       // time
    put(0x20, 2);    // attributes
    cab.insert(cab.end(), name, name + sizeof name);
    for (const auto& b : blocks) {
        put(0, 4);  // no checksum
        put(b.size(), 2);
        put(kFrame, 2);
        cab.insert(cab.end(), b.begin(), b.end());
    }
    return cab;
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

int writeIncompressible(const char* path) {
    const auto cab = incompressibleCabinet(8192);  // 256 MB
    FILE* file = std::fopen(path, "wb");
    if (!file) return 1;
    bool ok = std::fwrite(cab.data(), 1, cab.size(), file) == cab.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
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
    benchmark::RegisterBenchmark("lzx21_uncompressed_256MB", decodeBenchmark, "incompressible.cab",
                                 0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
