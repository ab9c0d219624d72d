#include "lzx_test_support.h"

#include <algorithm>
#include <random>
#include <string>

#include "block_encoder.h"
#include "test_allocator.h"

namespace cabinet::testing {

std::vector<EncodedFrame> lzxEncode(const std::vector<uint8_t>& input, unsigned windowBits,
                                    size_t piece) {
    BlockEncoder* encoder = createLzxEncoder(kHeap, windowBits);
    std::vector<EncodedFrame> frames;
    if (!encoder) return frames;
    auto drain = [&] {
        EncodedBlock block;
        while (encoder->nextBlock(block)) {
            frames.push_back({std::vector<uint8_t>(block.data, block.data + block.compressedSize),
                              block.uncompressedSize});
        }
    };
    bool ok = true;
    for (size_t at = 0; ok && at < input.size(); at += piece) {
        const size_t n = std::min(piece, input.size() - at);
        ok = encoder->write(input.data() + at, static_cast<uint32_t>(n));
        drain();
    }
    ok = ok && encoder->finish();
    drain();
    destroyEncoder(kHeap, encoder);
    if (!ok) frames.clear();
    return frames;
}

std::vector<uint8_t> textLike(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> words;
    for (int w = 0; w < 2000; ++w) {
        std::string word;
        const int len = 2 + static_cast<int>(rng() % 9);
        for (int c = 0; c < len; ++c) word += static_cast<char>('a' + rng() % 26);
        words.push_back(word);
    }
    std::vector<uint8_t> out;
    out.reserve(size + 16);
    std::geometric_distribution<int> pick(0.01);
    while (out.size() < size) {
        const std::string& word = words[std::min<size_t>(pick(rng), words.size() - 1)];
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(rng() % 12 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

}  // namespace cabinet::testing
