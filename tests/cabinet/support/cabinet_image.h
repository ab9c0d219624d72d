// Builds the bytes of a one-folder, one-file cabinet around already compressed data blocks, so
// that peer tools can decode streams made by test encoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/folder_blocks.h"

namespace cabinet::testing {

// Data blocks carry no checksum (zero), which readers accept.
std::vector<uint8_t> cabinetImage(const std::vector<DataBlock>& blocks, uint16_t compression,
                                  const std::string& fileName);
// The same with several members, each of them covering the folder's whole range, as a
// hostile cabinet's members can: the cabinet declares far more bytes than it holds.
std::vector<uint8_t> cabinetImage(const std::vector<DataBlock>& blocks, uint16_t compression,
                                  const std::vector<std::string>& fileNames);

// A cabinet of stored (uncompressed) members in one folder and one data block, names taken
// byte for byte: names no tool would write can be tried. The contents together stay under
// 32 KB.
struct StoredMember {
    std::string name;
    std::string content;
};
std::vector<uint8_t> storedCabinetImage(const std::vector<StoredMember>& members);

}  // namespace cabinet::testing
