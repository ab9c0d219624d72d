// A folder's compressor: takes the folder's bytes in any pieces and gives back data blocks,
// each the compressed form of at most 32 KB of input, ready to be framed as a cabinet data
// block. Blocks come out in order; an encoder may hold some input back (to see further ahead)
// until finish().
#pragma once

#include <cstdint>

#include "allocator.h"

namespace cabinet {

struct EncodedBlock {
    const uint8_t* data = nullptr;  // valid until the next call on the encoder
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;  // 1..32768; only the last block of a folder may be short
};

class BlockEncoder {
public:
    virtual ~BlockEncoder() = default;

    // Adds input. False when memory ran out (the encoder is then unusable).
    virtual bool write(const uint8_t* data, uint32_t size) = 0;
    // Declares the end of the folder: every byte written will come out of nextBlock().
    virtual bool finish() = 0;
    // Takes the next completed block; false when none is ready yet.
    virtual bool nextBlock(EncodedBlock& block) = 0;
    // Starts a new folder: no history, nothing pending.
    virtual void reset() = 0;
};

// Factories: null when `alloc` refuses the memory or the parameters are out of range.
BlockEncoder* createStoredEncoder(const Allocator& alloc);
BlockEncoder* createMszipEncoder(const Allocator& alloc);
BlockEncoder* createLzxEncoder(const Allocator& alloc, unsigned windowBits);  // 15..21
void destroyEncoder(const Allocator& alloc, BlockEncoder* encoder);

}  // namespace cabinet
