#include "spotlight/picture_width.h"

#include <array>
#include <cstdint>
#include <fstream>

namespace {

class HeaderReader {
public:
    explicit HeaderReader(const std::filesystem::path& file) : in_(file, std::ios::binary) {}

    bool bytes(uint8_t* out, size_t count) {
        return static_cast<bool>(in_.read(reinterpret_cast<char*>(out), std::streamsize(count)));
    }
    int byte() {
        uint8_t b = 0;
        return bytes(&b, 1) ? b : -1;
    }
    int bigEndian16() {
        uint8_t b[2];
        return bytes(b, 2) ? (b[0] << 8 | b[1]) : -1;
    }
    bool skip(size_t count) {
        return static_cast<bool>(in_.seekg(std::streamoff(count), std::ios::cur)) &&
               in_.peek() != EOF;
    }

private:
    std::ifstream in_;
};

// PNG: the signature, then the IHDR chunk, whose data starts with the width.
int pngWidth(HeaderReader& reader) {
    // The rest of the signature, then the first chunk's length (13) and type.
    constexpr std::array<uint8_t, 14> kExpected = {'N', 'G', '\r', '\n', 0x1A, '\n', 0,
                                                   0,   0,   13,   'I',  'H',  'D',  'R'};
    std::array<uint8_t, 14> header;
    if (!reader.bytes(header.data(), header.size()) || header != kExpected) return -1;
    std::array<uint8_t, 4> width;
    if (!reader.bytes(width.data(), width.size())) return -1;
    const uint32_t value =
        uint32_t(width[0]) << 24 | uint32_t(width[1]) << 16 | uint32_t(width[2]) << 8 | width[3];
    return value == 0 || value > 0x7FFFFFFF ? -1 : static_cast<int>(value);
}

bool isStartOfFrame(int marker) {
    // C0 to CF are frame headers, except C4 (Huffman tables), C8 (reserved) and CC
    // (arithmetic conditioning).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// JPEG: walks the marker segments after the start of image up to the frame header, which
// holds precision, height and width.
int jpegWidth(HeaderReader& reader) {
    for (;;) {
        int marker = reader.byte();
        if (marker != 0xFF) return -1;
        while (marker == 0xFF) marker = reader.byte();  // fill bytes
        if (marker < 0) return -1;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        const int length = reader.bigEndian16();
        if (length < 2) return -1;
        if (isStartOfFrame(marker)) {
            if (length < 7 || reader.byte() < 0 || reader.bigEndian16() < 0) return -1;
            const int width = reader.bigEndian16();
            return width > 0 ? width : -1;
        }
        if (!reader.skip(size_t(length) - 2)) return -1;
    }
}

}  // namespace

int PictureWidth(const std::filesystem::path& file) {
    HeaderReader reader(file);
    std::array<uint8_t, 2> magic;
    if (!reader.bytes(magic.data(), magic.size())) return -1;
    if (magic[0] == 0xFF && magic[1] == 0xD8) return jpegWidth(reader);
    if (magic[0] == 0x89 && magic[1] == 'P') return pngWidth(reader);
    return -1;
}
