#include "support/folder_blocks.h"

#include <fstream>
#include <iterator>

namespace cabinet::testing {
namespace {

class ByteCursor {
public:
    explicit ByteCursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool seek(size_t offset) {
        pos_ = offset;
        return pos_ <= bytes_.size();
    }
    bool skip(size_t n) { return seek(pos_ + n); }
    bool u8(uint32_t& v) { return little(1, v); }
    bool u16(uint32_t& v) { return little(2, v); }
    bool u32(uint32_t& v) { return little(4, v); }
    bool skipString() {
        while (pos_ < bytes_.size())
            if (bytes_[pos_++] == 0) return true;
        return false;
    }
    size_t pos() const { return pos_; }
    size_t left() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
    const uint8_t* here() const { return bytes_.data() + pos_; }

private:
    bool little(unsigned n, uint32_t& v) {
        if (left() < n) return false;
        v = 0;
        for (unsigned i = 0; i < n; ++i) v |= uint32_t{bytes_[pos_ + i]} << (8 * i);
        pos_ += n;
        return true;
    }
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

constexpr uint32_t kPrevCabinet = 1, kNextCabinet = 2, kReservePresent = 4;

}  // namespace

std::vector<FolderBlocks> readFolderBlocks(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    ByteCursor c(bytes);
    uint32_t signature, folders, flags, headerReserve = 0, folderReserve = 0, dataReserve = 0;
    if (!c.u32(signature) || signature != 0x4643534D || !c.seek(26) || !c.u16(folders) ||
        !c.skip(2) || !c.u16(flags) || !c.skip(4))
        return {};
    if (flags & kReservePresent) {
        if (!c.u16(headerReserve) || !c.u8(folderReserve) || !c.u8(dataReserve) ||
            !c.skip(headerReserve))
            return {};
    }
    if ((flags & kPrevCabinet) && (!c.skipString() || !c.skipString())) return {};
    if ((flags & kNextCabinet) && (!c.skipString() || !c.skipString())) return {};

    std::vector<FolderBlocks> result;
    for (uint32_t f = 0; f < folders; ++f) {
        uint32_t start, count, compression;
        if (!c.u32(start) || !c.u16(count) || !c.u16(compression) || !c.skip(folderReserve))
            return {};
        size_t next = c.pos();
        FolderBlocks folder;
        folder.compression = static_cast<uint16_t>(compression);
        if (!c.seek(start)) return {};
        for (uint32_t b = 0; b < count; ++b) {
            uint32_t checksum, packed, unpacked;
            if (!c.u32(checksum) || !c.u16(packed) || !c.u16(unpacked) || !c.skip(dataReserve))
                break;
            DataBlock block;
            block.uncompressedSize = unpacked;
            size_t available = std::min<size_t>(packed, c.left());
            block.data.assign(c.here(), c.here() + available);
            folder.blocks.push_back(std::move(block));
            c.skip(available);
        }
        result.push_back(std::move(folder));
        c.seek(next);
    }
    return result;
}

}  // namespace cabinet::testing
