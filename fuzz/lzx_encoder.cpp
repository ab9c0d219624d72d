// Round trip through the LZX encoder and our decoder: whatever the input, every frame decodes
// to exactly what went in. The input is a small program that builds the data to compress, so
// that short inputs still make long, repetitive data with copies from far back:
//   byte 0: window bits (15..21); byte 1: how the data is cut into writes;
//   then commands: c < 0x80 appends the next c + 1 bytes as they are; c >= 0x80 appends a copy
//   of 3 + (c & 0x3F) + 256 * next byte bytes from a distance given by the two bytes after
//   (scaled by 32 when bit 6 of c is set, to reach across the largest window).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "block_decoder.h"
#include "block_encoder.h"

namespace {

void* heapAlloc(uint32_t size) {
    return std::malloc(size);
}
void heapRelease(void* block) {
    std::free(block);
}
const cabinet::Allocator kHeap{heapAlloc, heapRelease};

constexpr size_t kMaxData = 6u << 20;

std::vector<uint8_t> buildData(const uint8_t* program, size_t size) {
    std::vector<uint8_t> data;
    size_t at = 0;
    while (at < size && data.size() < kMaxData) {
        const uint8_t c = program[at++];
        if (c < 0x80) {
            const size_t n = std::min<size_t>(c + 1u, size - at);
            data.insert(data.end(), program + at, program + at + n);
            at += n;
            continue;
        }
        if (size - at < 3 || data.empty()) break;
        const size_t length = 3 + (c & 0x3F) + 256u * program[at];
        size_t distance = 1 + (program[at + 1] | program[at + 2] << 8);
        if (c & 0x40) distance *= 32;
        at += 3;
        distance = std::min(distance, data.size());
        for (size_t i = 0; i < length && data.size() < kMaxData; ++i) {
            data.push_back(data[data.size() - distance]);
        }
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 2) return 0;
    const unsigned windowBits = 15 + input[0] % 7;
    static const size_t kPieces[] = {1, 7, 4096, 32768, 100003, kMaxData};
    const size_t piece = kPieces[input[1] % 6];
    const std::vector<uint8_t> data = buildData(input + 2, size - 2);

    cabinet::BlockEncoder* encoder = cabinet::createLzxEncoder(kHeap, windowBits);
    cabinet::BlockDecoder* decoder = cabinet::createLzxDecoder(kHeap, windowBits);
    if (!encoder || !decoder) std::abort();
    std::vector<uint8_t> decoded;
    auto drain = [&] {
        cabinet::EncodedBlock block;
        while (encoder->nextBlock(block)) {
            if (block.compressedSize > cabinet::kMaxBlockInput ||
                block.uncompressedSize > cabinet::kMaxBlockOutput) {
                std::abort();
            }
            // Each block on its own, in a buffer of exactly its size.
            const std::vector<uint8_t> in(block.data, block.data + block.compressedSize);
            const size_t at = decoded.size();
            decoded.resize(at + block.uncompressedSize);
            if (decoder->decode(in.data(), block.compressedSize, decoded.data() + at,
                                block.uncompressedSize) != cabinet::DecodeStatus::ok) {
                std::fprintf(stderr, "frame at %zu does not decode\n", at);
                std::abort();
            }
        }
    };
    for (size_t at = 0; at < data.size(); at += piece) {
        const size_t n = std::min(piece, data.size() - at);
        if (!encoder->write(data.data() + at, static_cast<uint32_t>(n))) std::abort();
        drain();
    }
    if (!encoder->finish()) std::abort();
    drain();
    if (decoded != data) {
        std::fprintf(stderr, "round trip differs (%zu bytes in, %zu out)\n", data.size(),
                     decoded.size());
        std::abort();
    }
    cabinet::destroyEncoder(kHeap, encoder);
    cabinet::destroyDecoder(kHeap, decoder);
    return 0;
}
