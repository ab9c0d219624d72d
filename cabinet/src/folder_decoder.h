// Picks the block decoder for a folder's compression field.
#pragma once

#include <cstdint>

#include "block_decoder.h"

namespace cabinet {

// The decoder for `compression` (TCOMP), or null when memory is refused. The compression must
// have passed isKnownCompression().
BlockDecoder* createFolderDecoder(const Allocator& alloc, uint16_t compression);

// Whether a decoder made for one compression field serves another as well (after a reset).
bool sameDecoder(uint16_t a, uint16_t b);

}  // namespace cabinet
