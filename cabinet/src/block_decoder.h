// A folder's decompressor, fed one data block at a time.
//
// A folder is a single compressed stream cut into data blocks of at most 32 KB of output each;
// the decoder keeps its history (window, trees, repeated offsets) from one block to the next
// until reset() starts a new folder. Decoders take all their memory from the Allocator at
// creation and allocate nothing while decoding.
#pragma once

#include <cstdint>

#include "allocator.h"

namespace cabinet {

// The largest output of one data block, and the slack a compressed block may need beyond it.
constexpr uint32_t kMaxBlockOutput = 32768;
constexpr uint32_t kMaxBlockInput = kMaxBlockOutput + 6144;

enum class DecodeStatus {
    ok,
    corrupt,  // the input is not a valid stream for this output size
};

class BlockDecoder {
public:
    virtual ~BlockDecoder() = default;

    // Decodes one data block: exactly outSize bytes (1..kMaxBlockOutput) from inSize bytes.
    // `in` may be read up to inSize bytes only; the decoder must never read or write outside
    // the given ranges, whatever the input.
    virtual DecodeStatus decode(const uint8_t* in, uint32_t inSize, uint8_t* out,
                                uint32_t outSize) = 0;

    // Forgets all history: the next block starts a new folder.
    virtual void reset() = 0;
};

// Factories: null when `alloc` refuses the memory or the parameters are out of range.
// Destroy the result with destroyDecoder().
// `compression` is the folder's TCOMP value (type in the low nibble, parameters above).
BlockDecoder* createStoredDecoder(const Allocator& alloc);
BlockDecoder* createMszipDecoder(const Allocator& alloc);
BlockDecoder* createLzxDecoder(const Allocator& alloc, unsigned windowBits);      // 15..21
BlockDecoder* createQuantumDecoder(const Allocator& alloc, unsigned windowBits);  // 10..21
void destroyDecoder(const Allocator& alloc, BlockDecoder* decoder);

}  // namespace cabinet
