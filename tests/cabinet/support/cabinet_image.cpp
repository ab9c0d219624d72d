#include "support/cabinet_image.h"

namespace cabinet::testing {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr uint32_t kHeaderSize = 36, kFolderSize = 8, kFileFixedSize = 16;

// The cabinet header of a single cabinet with one folder, whose file entries follow it.
void putHeader(std::vector<uint8_t>& out, uint32_t cabinetSize, uint32_t files) {
    put32(out, 0x4643534D);  // "MSCF"
    put32(out, 0);
    put32(out, cabinetSize);
    put32(out, 0);
    put32(out, kHeaderSize + kFolderSize);  // first file entry
    put32(out, 0);
    out.push_back(3);  // version 1.3
    out.push_back(1);
    put16(out, 1);  // folders
    put16(out, files);
    put16(out, 0);  // flags
    put16(out, 0);  // set id
    put16(out, 0);  // index in set
}

}  // namespace

std::vector<uint8_t> cabinetImage(const std::vector<DataBlock>& blocks, uint16_t compression,
                                  const std::string& fileName) {
    return cabinetImage(blocks, compression, std::vector<std::string>{fileName});
}

std::vector<uint8_t> cabinetImage(const std::vector<DataBlock>& blocks, uint16_t compression,
                                  const std::vector<std::string>& fileNames) {
    uint32_t dataStart = kHeaderSize + kFolderSize;
    for (const auto& name : fileNames)
        dataStart += kFileFixedSize + static_cast<uint32_t>(name.size()) + 1;
    uint32_t cabinetSize = dataStart, fileSize = 0;
    for (const auto& block : blocks) {
        cabinetSize += 8 + static_cast<uint32_t>(block.data.size());
        fileSize += block.uncompressedSize;
    }

    std::vector<uint8_t> out;
    putHeader(out, cabinetSize, static_cast<uint32_t>(fileNames.size()));

    put32(out, dataStart);
    put16(out, static_cast<uint32_t>(blocks.size()));
    put16(out, compression);

    for (const auto& fileName : fileNames) {
        put32(out, fileSize);
        put32(out, 0);       // offset in folder
        put16(out, 0);       // folder index
        put16(out, 0x5A21);  // 2025-01-01
        put16(out, 0x6000);  // 12:00:00
        put16(out, 0x20);    // archive attribute
        out.insert(out.end(), fileName.begin(), fileName.end());
        out.push_back(0);
    }

    for (const auto& block : blocks) {
        put32(out, 0);
        put16(out, static_cast<uint32_t>(block.data.size()));
        put16(out, block.uncompressedSize);
        out.insert(out.end(), block.data.begin(), block.data.end());
    }
    return out;
}

std::vector<uint8_t> storedCabinetImage(const std::vector<StoredMember>& members) {
    uint32_t dataStart = kHeaderSize + kFolderSize;
    std::string data;
    for (const auto& member : members) {
        dataStart += kFileFixedSize + static_cast<uint32_t>(member.name.size()) + 1;
        data += member.content;
    }
    const uint32_t cabinetSize = dataStart + 8 + static_cast<uint32_t>(data.size());

    std::vector<uint8_t> out;
    putHeader(out, cabinetSize, static_cast<uint32_t>(members.size()));

    put32(out, dataStart);
    put16(out, 1);  // one data block
    put16(out, 0);  // stored

    uint32_t offset = 0;
    for (const auto& member : members) {
        put32(out, static_cast<uint32_t>(member.content.size()));
        put32(out, offset);
        put16(out, 0);       // folder index
        put16(out, 0x5A21);  // 2025-01-01
        put16(out, 0x6000);  // 12:00:00
        put16(out, 0x20);    // archive attribute
        out.insert(out.end(), member.name.begin(), member.name.end());
        out.push_back(0);
        offset += static_cast<uint32_t>(member.content.size());
    }

    put32(out, 0);  // no checksum
    put16(out, static_cast<uint32_t>(data.size()));
    put16(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace cabinet::testing
