#include "cab_format.h"

#include <cstring>

namespace cabinet {

namespace {

// The format caps the header's reserved area at 60,000 bytes.
constexpr uint16_t kMaxHeaderReserve = 60000;

// A zero-terminated name of at most kCabMaxName bytes (terminator included) at `offset`.
ParseStatus readName(const uint8_t* data, size_t size, size_t offset, const char*& name,
                     size_t& end) {
    if (offset > size) return ParseStatus::truncated;
    size_t available = size - offset;
    size_t limit = available < kCabMaxName ? available : kCabMaxName;
    const void* zero = std::memchr(data + offset, 0, limit);
    if (!zero) return available < kCabMaxName ? ParseStatus::truncated : ParseStatus::corrupt;
    name = reinterpret_cast<const char*>(data + offset);
    end = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) + 1;
    return ParseStatus::ok;
}

}  // namespace

ParseStatus parseCabFixedHeader(const uint8_t* data, size_t size, CabHeader& header) {
    if (size < 4) return ParseStatus::truncated;
    if (readLE32(data) != kCabSignature) return ParseStatus::notCabinet;
    if (size < kCabHeaderSize) return ParseStatus::truncated;

    CabHeader h;
    h.cabinetSize = readLE32(data + 8);
    h.filesOffset = readLE32(data + 16);
    h.versionMinor = data[24];
    h.versionMajor = data[25];
    h.folderCount = readLE16(data + 26);
    h.fileCount = readLE16(data + 28);
    h.flags = readLE16(data + 30);
    h.setID = readLE16(data + 32);
    h.cabinetIndex = readLE16(data + 34);
    if (h.versionMajor != kCabVersionMajor) return ParseStatus::badVersion;
    header = h;
    return ParseStatus::ok;
}

ParseStatus parseCabHeader(const uint8_t* data, size_t size, CabHeader& header) {
    CabHeader h;
    if (auto s = parseCabFixedHeader(data, size, h); s != ParseStatus::ok) return s;

    size_t offset = kCabHeaderSize;
    if (h.hasReserve()) {
        if (size < offset + kCabReserveFieldsSize) return ParseStatus::truncated;
        h.headerReserveSize = readLE16(data + offset);
        h.folderReserveSize = data[offset + 2];
        h.dataReserveSize = data[offset + 3];
        if (h.headerReserveSize > kMaxHeaderReserve) return ParseStatus::corrupt;
        offset += kCabReserveFieldsSize;
        h.headerReserveOffset = static_cast<uint32_t>(offset);
        offset += h.headerReserveSize;
    }

    static const char kEmpty[] = "";
    h.prevCabinet = h.prevDisk = h.nextCabinet = h.nextDisk = kEmpty;
    if (h.hasPrev()) {
        if (auto s = readName(data, size, offset, h.prevCabinet, offset); s != ParseStatus::ok)
            return s;
        if (auto s = readName(data, size, offset, h.prevDisk, offset); s != ParseStatus::ok)
            return s;
    }
    if (h.hasNext()) {
        if (auto s = readName(data, size, offset, h.nextCabinet, offset); s != ParseStatus::ok)
            return s;
        if (auto s = readName(data, size, offset, h.nextDisk, offset); s != ParseStatus::ok)
            return s;
    }
    h.foldersOffset = static_cast<uint32_t>(offset);
    header = h;
    return ParseStatus::ok;
}

ParseStatus parseCabFolder(const uint8_t* data, size_t size, const CabHeader& header,
                           unsigned index, CabFolder& folder) {
    if (index >= header.folderCount) return ParseStatus::corrupt;
    size_t offset = header.foldersOffset + size_t{index} * header.folderRecordSize();
    if (offset + kCabFolderSize > size) return ParseStatus::truncated;
    folder.dataOffset = readLE32(data + offset);
    folder.blockCount = readLE16(data + offset + 4);
    folder.compression = readLE16(data + offset + 6);
    return ParseStatus::ok;
}

ParseStatus parseCabFile(const uint8_t* data, size_t size, size_t offset, CabFile& file,
                         size_t& next) {
    if (offset > size || size - offset < kCabFileSize) return ParseStatus::truncated;
    CabFile f;
    f.size = readLE32(data + offset);
    f.folderOffset = readLE32(data + offset + 4);
    f.folder = readLE16(data + offset + 8);
    f.date = readLE16(data + offset + 10);
    f.time = readLE16(data + offset + 12);
    f.attributes = readLE16(data + offset + 14);
    if (auto s = readName(data, size, offset + kCabFileSize, f.name, next); s != ParseStatus::ok)
        return s;
    file = f;
    return ParseStatus::ok;
}

CabDataHeader parseCabDataHeader(const uint8_t* data) {
    CabDataHeader h;
    h.checksum = readLE32(data);
    h.compressedSize = readLE16(data + 4);
    h.uncompressedSize = readLE16(data + 6);
    return h;
}

ParseStatus measureCabDirectory(const uint8_t* data, size_t size, size_t& directoryEnd) {
    CabHeader header;
    if (auto s = parseCabHeader(data, size, header); s != ParseStatus::ok) return s;
    size_t offset = header.filesStart();
    if (offset > size) return ParseStatus::truncated;
    for (unsigned i = 0; i < header.fileCount; ++i) {
        CabFile file;
        if (auto s = parseCabFile(data, size, offset, file, offset); s != ParseStatus::ok) return s;
    }
    directoryEnd = offset;
    return ParseStatus::ok;
}

bool isKnownCompression(uint16_t compression) {
    switch (compression & tcompMASK_TYPE) {
        case tcompTYPE_NONE:
        case tcompTYPE_MSZIP:
            return true;
        case tcompTYPE_QUANTUM: {
            unsigned windowBits = (compression >> 8) & 0x1F;
            return windowBits >= 10 && windowBits <= 21;
        }
        case tcompTYPE_LZX: {
            unsigned windowBits = (compression >> 8) & 0x1F;
            return windowBits >= 15 && windowBits <= 21;
        }
        default:
            return false;
    }
}

}  // namespace cabinet
