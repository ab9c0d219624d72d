// Test-side access to a cabinet's data blocks, folder by folder, to feed decoders directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabinet::testing {

struct DataBlock {
    std::vector<uint8_t> data;
    uint32_t uncompressedSize = 0;
};

struct FolderBlocks {
    uint16_t compression = 0;  // the folder's TCOMP value
    std::vector<DataBlock> blocks;
};

// The folders of a single cabinet file; empty when the file cannot be read as a cabinet.
// Blocks that run past the end of the file are cut short where the file ends.
std::vector<FolderBlocks> readFolderBlocks(const std::string& path);

// The Quantum window bits of a TCOMP value.
inline unsigned quantumWindowBits(uint16_t compression) {
    return (compression >> 8) & 0x1F;
}

}  // namespace cabinet::testing
