// Records the compressor keeps in its temporary files, and the byte layout it writes.
#pragma once

#include <cstdint>
#include <cstring>

#include "cab_format.h"

namespace cabinet {

constexpr uint8_t kCabVersionMinor = 3;
// A folder holds at most 65535 data blocks of 32 KB.
constexpr uint32_t kMaxFolderBytes = 0x7FFF8000;
constexpr uint32_t kMaxCount16 = 0xFFFF;
constexpr uint32_t kMaxHeaderReserve = 60000;
constexpr uint32_t kMaxFolderOrDataReserve = 255;

inline void storeLE16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
inline void storeLE32(uint8_t* p, uint32_t value) {
    storeLE16(p, value);
    storeLE16(p + 2, value >> 16);
}

// A member as the current folder knows it, before it is listed in a cabinet.
struct PendingFile {
    uint32_t size = 0;
    uint32_t offset = 0;  // of its first byte in the folder's uncompressed stream
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
    uint16_t nameLength = 0;  // without the terminating zero
    char name[kCabMaxName] = {};

    uint32_t end() const { return offset + size; }
    // Size of its file record in a cabinet.
    uint32_t recordSize() const { return kCabFileSize + nameLength + 1; }
};

// The file record of a cabinet; `out` needs recordSize() bytes.
inline uint32_t encodeFileRecord(const PendingFile& file, uint16_t folder, uint8_t* out) {
    storeLE32(out, file.size);
    storeLE32(out + 4, file.offset);
    storeLE16(out + 8, folder);
    storeLE16(out + 10, file.date);
    storeLE16(out + 12, file.time);
    storeLE16(out + 14, file.attributes);
    std::memcpy(out + kCabFileSize, file.name, file.nameLength + 1u);
    return file.recordSize();
}

// A folder's blocks are kept as a 4-byte size pair (compressed, uncompressed) and the data.
constexpr uint32_t kBlockRecordHeader = 4;

}  // namespace cabinet
