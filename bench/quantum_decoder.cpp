// Decoding speed of the Quantum decoder, on folders written by the tests' Quantum encoder:
// text with repeats near and far, 2 MB, in the smallest, a middle and the largest window.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "block_decoder.h"
// The tests' stream builder, compiled in: no Quantum compressor exists outside the tests.
#include "../tests/cabinet/support/quantum_test_encoder.cpp"

namespace {

std::vector<uint8_t> textWithRepeats(size_t size) {
    static const char* const kWords[] = {"wallpaper ", "theme ", "pack ",  "desktop ", "the ",
                                         "of ",        "and ",   "image ", ".jpg\r\n", "a "};
    std::mt19937 random(1);
    std::vector<uint8_t> data;
    while (data.size() < size) {
        if (random() % 4 == 0 && data.size() > 1000) {
            size_t from = data.size() - 1 - random() % std::min<size_t>(data.size() - 1, 1 << 20);
            for (size_t i = 0, n = 4 + random() % 60; i < n; ++i) data.push_back(data[from + i]);
        } else {
            const char* word = kWords[random() % std::size(kWords)];
            while (*word) data.push_back(static_cast<uint8_t>(*word++));
            if (random() % 8 == 0) data.push_back(static_cast<uint8_t>(random()));
        }
    }
    data.resize(size);
    return data;
}

void* heapAlloc(uint32_t size) {
    return std::malloc(size);
}
void heapRelease(void* block) {
    std::free(block);
}

void BM_QuantumDecode(benchmark::State& state) {
    const unsigned windowBits = static_cast<unsigned>(state.range(0));
    const std::vector<uint8_t> data = textWithRepeats(2 << 20);
    const auto blocks = cabinet::testing::quantumEncode(data, windowBits);
    const cabinet::Allocator heap{heapAlloc, heapRelease};
    cabinet::BlockDecoder* decoder = cabinet::createQuantumDecoder(heap, windowBits);
    std::vector<uint8_t> out(cabinet::kMaxBlockOutput);
    size_t packed = 0;
    for (const auto& block : blocks) packed += block.data.size();
    for (auto _ : state) {
        decoder->reset();
        for (const auto& block : blocks) {
            if (decoder->decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                                out.data(), block.uncompressedSize) != cabinet::DecodeStatus::ok)
                state.SkipWithError("stream refused");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(data.size());
    cabinet::destroyDecoder(heap, decoder);
}
BENCHMARK(BM_QuantumDecode)->Arg(10)->Arg(16)->Arg(21)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
