// Fuzzes the Quantum decoder. Input: one byte choosing the window (10..21 bits), then blocks,
// each a little-endian 16-bit output size (taken modulo 32768, plus 1), a 16-bit input size
// and that many bytes (fewer if the input ends). Every block is copied to a buffer of exactly
// its size and decoded into one of exactly its output size, so any access outside shows. The
// blocks are decoded twice, and must come out the same both times.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "block_decoder.h"
#include "same_twice.h"

namespace {

void* heapAlloc(uint32_t size) {
    return std::malloc(size);
}
void heapRelease(void* block) {
    std::free(block);
}
const cabinet::Allocator kHeap{heapAlloc, heapRelease};

// One decoder per window size, reset for every input: large windows cost too much to allocate
// each time, and it puts reset() under test too.
cabinet::BlockDecoder* decoderFor(unsigned windowBits) {
    static cabinet::BlockDecoder* decoders[22] = {};
    if (!decoders[windowBits])
        decoders[windowBits] = cabinet::createQuantumDecoder(kHeap, windowBits);
    return decoders[windowBits];
}

// Decodes the blocks after the window byte until one is refused (the folder is lost then);
// the output of the accepted blocks goes to `out`.
void decodeBlocks(cabinet::BlockDecoder& decoder, const uint8_t* data, size_t size,
                  std::vector<uint8_t>& out) {
    decoder.reset();
    size_t at = 1;
    while (size - at >= 4) {
        uint32_t outSize = ((data[at] | data[at + 1] << 8) % cabinet::kMaxBlockOutput) + 1;
        uint32_t inSize = data[at + 2] | data[at + 3] << 8;
        at += 4;
        if (inSize > size - at) inSize = static_cast<uint32_t>(size - at);
        std::vector<uint8_t> in(data + at, data + at + inSize);
        std::vector<uint8_t> block(outSize);
        at += inSize;
        if (decoder.decode(in.data(), inSize, block.data(), outSize) != cabinet::DecodeStatus::ok)
            break;
        out.insert(out.end(), block.begin(), block.end());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    cabinet::BlockDecoder* decoder = decoderFor(10 + data[0] % 12);
    if (!decoder) return 0;
    fuzzing::requireSameTwice(
        [&](std::vector<uint8_t>& out) { decodeBlocks(*decoder, data, size, out); });
    return 0;
}
