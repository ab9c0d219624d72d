#include "support/archive_fixtures.h"

#include <bzlib.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace fixtures {
namespace {

void putOctal(Bytes& block, std::size_t at, std::size_t width, uint64_t value) {
    std::string text(width - 1, '0');
    for (std::size_t i = width - 1; i-- > 0; value >>= 3)
        text[i] = static_cast<char>('0' + (value & 7));
    std::memcpy(block.data() + at, text.data(), width - 1);
    block[at + width - 1] = 0;
}

Bytes padded(const std::string& content) {
    Bytes out(content.begin(), content.end());
    out.resize((out.size() + 511) / 512 * 512, 0);
    return out;
}

}  // namespace

Bytes tarHeader(const std::string& name, char typeFlag, uint64_t size, bool validChecksum) {
    Bytes block(512, 0);
    std::memcpy(block.data(), name.data(), std::min<std::size_t>(name.size(), 100));
    putOctal(block, 100, 8, 0644);
    putOctal(block, 108, 8, 0);
    putOctal(block, 116, 8, 0);
    putOctal(block, 124, 12, size);
    putOctal(block, 136, 12, 1600000000);
    block[156] = static_cast<uint8_t>(typeFlag);
    std::memcpy(block.data() + 257, "ustar  ", 8);  // GNU magic and version
    std::memset(block.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (uint8_t b : block) sum += b;
    if (!validChecksum) sum += 1;
    char text[8];
    std::snprintf(text, sizeof text, "%06o", sum);
    std::memcpy(block.data() + 148, text, 7);  // six digits, NUL, then the space kept
    return block;
}

Bytes tarWithFile(const std::string& name, const std::string& content) {
    Bytes out = tarHeader(name, '0', content.size());
    out = concat(out, padded(content));
    out.resize(out.size() + 1024, 0);
    return out;
}

Bytes gnuLongNameTar(std::size_t nameLength, bool longHeaderValid, bool fileHeaderValid) {
    std::string longName(nameLength, 'n');
    Bytes out = tarHeader("././@LongLink", 'L', nameLength + 1, longHeaderValid);
    out = concat(out, padded(longName + '\0'));
    out = concat(out, tarHeader(longName.substr(0, 100), '0', 5, fileHeaderValid));
    out = concat(out, padded("hello"));
    out.resize(out.size() + 1024, 0);
    return out;
}

Bytes emptyZip(uint16_t diskNumber, const std::string& comment) {
    Bytes record = {0x50, 0x4B, 0x05, 0x06};
    auto put16 = [&](uint16_t v) {
        record.push_back(static_cast<uint8_t>(v));
        record.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(diskNumber);
    put16(diskNumber);
    put16(0);
    put16(0);
    record.insert(record.end(), 8, 0);  // directory size and offset
    put16(static_cast<uint16_t>(comment.size()));
    record.insert(record.end(), comment.begin(), comment.end());
    return record;
}

Bytes gzipOf(const Bytes& content, bool withName) {
    z_stream z{};
    // Window bits 31: a gzip wrapper; a stored name is added through the header record.
    if (deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib");
    gz_header header{};
    std::string name = "member.bin";
    if (withName) {
        header.name = reinterpret_cast<Bytef*>(name.data());
        deflateSetHeader(&z, &header);
    }
    Bytes out(deflateBound(&z, content.size()) + 64);
    z.next_in = const_cast<Bytef*>(content.data());
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes bzip2Of(const Bytes& content) {
    Bytes out(content.size() + content.size() / 100 + 700);
    unsigned length = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &length,
                                 const_cast<char*>(reinterpret_cast<const char*>(content.data())),
                                 static_cast<unsigned>(content.size()), 9, 0, 0) != BZ_OK) {
        throw std::runtime_error("bzip2");
    }
    out.resize(length);
    return out;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes plainText(std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>('a' + i % 26);
    return out;
}

}  // namespace fixtures
