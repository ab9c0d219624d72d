// Helpers for the LZX encoder tests: running the encoder over a buffer, and test inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "allocator.h"

namespace cabinet::testing {

struct EncodedFrame {
    std::vector<uint8_t> data;
    uint32_t uncompressedSize;
};

// Encodes `input` as one LZX folder, feeding it in pieces of `piece` bytes and taking blocks
// after every piece. Empty when the encoder could not be made or refused the input.
std::vector<EncodedFrame> lzxEncode(const std::vector<uint8_t>& input, unsigned windowBits,
                                    size_t piece = 100000);

// Word-based text with a skewed vocabulary, compressible like prose.
std::vector<uint8_t> textLike(size_t size, uint32_t seed);

}  // namespace cabinet::testing
