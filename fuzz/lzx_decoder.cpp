// Feeds arbitrary data blocks to the LZX decoder: the first byte picks the window, then each
// block is 2 bytes of input size, 2 bytes of output size and the input bytes. Every block sits
// in a buffer of exactly its size, so any read or write outside it is caught. The blocks are
// decoded twice, and must come out the same both times.
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

// Decodes the blocks after the window byte, starting a new folder after a refused block as a
// reader would; the output of accepted blocks, and a marker for each refused one, go to `out`.
void decodeBlocks(cabinet::BlockDecoder& decoder, const uint8_t* data, size_t size,
                  std::vector<uint8_t>& out) {
    decoder.reset();
    size_t at = 1;
    while (size - at >= 4) {
        uint32_t inSize = (data[at] | data[at + 1] << 8) % (cabinet::kMaxBlockInput + 1);
        uint32_t outSize = 1 + (data[at + 2] | data[at + 3] << 8) % cabinet::kMaxBlockOutput;
        at += 4;
        if (inSize > size - at) inSize = static_cast<uint32_t>(size - at);
        std::vector<uint8_t> in(data + at, data + at + inSize);
        std::vector<uint8_t> block(outSize);
        at += inSize;
        if (decoder.decode(in.data(), inSize, block.data(), outSize) == cabinet::DecodeStatus::ok) {
            out.insert(out.end(), block.begin(), block.end());
        } else {
            out.push_back(0xEE);  // so that "refused" differs from "accepted" in the comparison
            decoder.reset();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // One decoder per window size for the whole run, as a cabinet reader keeps one per folder
    // type; reset() must make it as good as new.
    static cabinet::BlockDecoder* decoders[7] = {};
    cabinet::BlockDecoder*& decoder = decoders[data[0] % 7];
    if (!decoder) decoder = cabinet::createLzxDecoder(kHeap, 15 + data[0] % 7);
    if (!decoder) return 0;
    fuzzing::requireSameTwice(
        [&](std::vector<uint8_t>& out) { decodeBlocks(*decoder, data, size, out); });
    return 0;
}
