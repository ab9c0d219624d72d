// A cabinet's data blocks gathered folder by folder, to feed decoders directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cab_reader.h"

namespace cabinet::testing {

using DataBlock = cabtest::FolderBlock;

struct FolderBlocks {
    uint16_t compression = 0;  // the folder's TCOMP value
    std::vector<DataBlock> blocks;
};

// The folders of a single cabinet file; empty when the file does not parse as a cabinet or a
// block runs past its end.
std::vector<FolderBlocks> readFolderBlocks(const std::string& path);

// The Quantum window bits of a TCOMP value.
inline unsigned quantumWindowBits(uint16_t compression) {
    return (compression >> 8) & 0x1F;
}

}  // namespace cabinet::testing
