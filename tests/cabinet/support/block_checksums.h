// Gives every data block of a damaged or mutated cabinet the checksum its bytes call for, so
// that the damage reaches the decoder instead of stopping at the checksum test. Whatever the
// bytes, nothing outside them is read or written: the fuzz targets use it on arbitrary input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cab_format.h"
#include "checksum.h"

namespace cabtest {

enum class Stamp {
    everyBlock,
    blocksWithChecksum,  // a checksum field of 0 ("no checksum") stays 0
};

inline void stampBlockChecksums(uint8_t* data, size_t size, Stamp which) {
    using namespace cabinet;
    CabHeader header;
    if (parseCabHeader(data, size, header) != ParseStatus::ok) return;
    for (unsigned i = 0; i < header.folderCount; ++i) {
        CabFolder folder;
        if (parseCabFolder(data, size, header, i, folder) != ParseStatus::ok) return;
        size_t offset = folder.dataOffset;
        for (unsigned b = 0; b < folder.blockCount; ++b) {
            if (offset > size || size - offset < header.dataHeaderSize()) break;
            const CabDataHeader block = parseCabDataHeader(data + offset);
            const size_t payload = offset + header.dataHeaderSize();
            if (size - payload < block.compressedSize) break;
            if (block.checksum != 0 || which == Stamp::everyBlock) {
                const uint32_t sum =
                    dataBlockChecksum(data + payload, block.compressedSize, data + offset + 4);
                for (int k = 0; k < 4; ++k) data[offset + k] = static_cast<uint8_t>(sum >> 8 * k);
            }
            offset = payload + block.compressedSize;
        }
    }
}

}  // namespace cabtest
