// The data-block checksum of the cabinet format.
//
// The checksum XORs the data as little-endian 32-bit words; the 1 to 3 bytes left over at the
// end form one more word with the first of them as its highest byte. A data block's checksum
// covers its data, then continues over the block's two size fields; the block's reserved area
// is left out (as cabinets made by other tools and the peer readers have it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace cabinet {

uint32_t cabChecksum(const uint8_t* data, size_t size, uint32_t seed);

// The checksum a data block must carry: `data` is its compressed data, `sizes` the 4 bytes of
// its compressed and uncompressed size fields as stored.
uint32_t dataBlockChecksum(const uint8_t* data, size_t dataSize, const uint8_t* sizes);

}  // namespace cabinet
