#include "archive/components/ab_archive_probes.h"

#include <bzlib.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <vector>

#include "archive/cab/ab_fci_fdi.h"

namespace {

using Type = TAbArchiveType;

constexpr uint8_t kEndRecordSignature[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint8_t kSpannedMarker[4] = {0x50, 0x4B, 0x07, 0x08};
constexpr int32_t kEndRecordSize = 22;
constexpr int32_t kTarBlock = 512;

// Reads until count bytes have come or the data end; the number read.
int32_t readUpTo(TStream& stream, uint8_t* buffer, int32_t count) {
    int32_t done = 0;
    while (done < count) {
        int32_t n = stream.Read(buffer + done, count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

uint16_t readLittle16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool isEndRecordSignature(const uint8_t* p) {
    return std::memcmp(p, kEndRecordSignature, 4) == 0;
}

// Runs a check with the position remembered; a short read answers atUnknown.
template <typename Check>
Type withPositionRestored(TStream& stream, Check&& check) {
    int64_t position = stream.Position();
    Type answer;
    try {
        answer = check();
    } catch (const EReadError&) {
        answer = Type::atUnknown;
    }
    stream.SetPosition(position);
    return answer;
}

// An octal text field: leading spaces skipped, then the digits 0-7 up to the first other byte.
uint64_t readOctal(const uint8_t* field, std::size_t width) {
    std::size_t i = 0;
    while (i < width && field[i] == ' ') ++i;
    uint64_t value = 0;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) {
        value = (value << 3) | static_cast<uint64_t>(field[i] - '0');
    }
    return value;
}

bool hasValidChecksum(const uint8_t* block) {
    constexpr std::size_t kChecksumAt = 148;
    constexpr std::size_t kChecksumWidth = 8;
    uint64_t sum = 0;
    for (std::size_t i = 0; i < kTarBlock; ++i) {
        bool inField = i >= kChecksumAt && i < kChecksumAt + kChecksumWidth;
        sum += inField ? 0x20 : block[i];
    }
    return readOctal(block + kChecksumAt, kChecksumWidth) == sum;
}

bool isMetadataType(uint8_t flag) {
    return flag == 'L' || flag == 'K' || flag == 'x' || flag == 'g' || flag == 'X';
}

bool isKnownEntryType(uint8_t flag) {
    static constexpr char kKnown[] = "012534 67DMSV";
    if (flag == 0) return true;
    return flag != ' ' && std::memchr(kKnown, flag, sizeof kKnown - 1) != nullptr;
}

// The decompressed start of a gzip member's data: inflates until limit bytes have come out
// or the deflate stream ends. Running out of input is a short read.
std::vector<uint8_t> inflateStart(TStream& stream, std::size_t limit) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        throw EAbDecompressionError(u"zlib: cannot start inflating");
    std::vector<uint8_t> out(limit);
    std::array<uint8_t, 4096> input{};
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(limit);
    int rc = Z_OK;
    while (z.avail_out > 0 && rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            int32_t n = stream.Read(input.data(), static_cast<int32_t>(input.size()));
            if (n <= 0) {
                inflateEnd(&z);
                throw EReadError();
            }
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&z);
            throw EAbDecompressionError(u"Damaged deflate data");
        }
    }
    out.resize(limit - z.avail_out);
    inflateEnd(&z);
    return out;
}

// Exactly the first count decompressed bytes of a bzip2 stream; fewer is a short read.
std::vector<uint8_t> bunzipStart(TStream& stream, std::size_t count) {
    bz_stream bz{};
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) {
        throw EAbDecompressionError(u"bzip2: cannot start decompressing");
    }
    std::vector<uint8_t> out(count);
    std::array<char, 4096> input{};
    bz.next_out = reinterpret_cast<char*>(out.data());
    bz.avail_out = static_cast<unsigned>(count);
    int rc = BZ_OK;
    while (bz.avail_out > 0) {
        if (rc == BZ_STREAM_END) break;
        if (bz.avail_in == 0) {
            int32_t n = stream.Read(input.data(), static_cast<int32_t>(input.size()));
            if (n <= 0) break;
            bz.next_in = input.data();
            bz.avail_in = static_cast<unsigned>(n);
        }
        rc = BZ2_bzDecompress(&bz);
        if (rc != BZ_OK && rc != BZ_STREAM_END) {
            BZ2_bzDecompressEnd(&bz);
            throw EAbDecompressionError(u"Damaged bzip2 data");
        }
    }
    bool complete = bz.avail_out == 0;
    BZ2_bzDecompressEnd(&bz);
    if (!complete) throw EReadError();
    return out;
}

// Skips the optional header fields of a gzip member that its flags announce.
void skipGzipOptionalFields(TStream& stream, uint8_t flags) {
    constexpr uint8_t kHeaderCrc = 0x02, kExtra = 0x04, kName = 0x08, kComment = 0x10;
    if (flags & kExtra) {
        uint8_t length[2];
        stream.ReadBuffer(length, 2);
        stream.Seek(readLittle16(length), TSeekOrigin::soCurrent);
    }
    for (uint8_t textFlag : {kName, kComment}) {
        if (!(flags & textFlag)) continue;
        uint8_t c;
        do {
            stream.ReadBuffer(&c, 1);
        } while (c != 0);
    }
    if (flags & kHeaderCrc) stream.Seek(2, TSeekOrigin::soCurrent);
}

}  // namespace

bool passesTarHeaderTest(TStream& stream) {
    std::array<uint8_t, kTarBlock> block{};
    bool checksumsValid = true;
    for (;;) {
        stream.ReadBuffer(block.data(), kTarBlock);
        checksumsValid = checksumsValid && hasValidChecksum(block.data());
        uint8_t flag = block[156];
        if (isMetadataType(flag)) {
            uint64_t size = readOctal(block.data() + 124, 12);
            uint64_t blocks = (size + kTarBlock - 1) / kTarBlock;
            // The metadata itself is set aside unread; a header missing behind it is a short
            // read like any other.
            stream.Seek(static_cast<int64_t>(blocks * kTarBlock), TSeekOrigin::soCurrent);
            continue;
        }
        return isKnownEntryType(flag) && checksumsValid;
    }
}

int64_t FindZipEndRecord(TStream& stream) {
    int64_t remembered = stream.Position();

    // Quick test: a record without a comment ends the file.
    int64_t quick = stream.Seek(-kEndRecordSize, TSeekOrigin::soEnd);
    if (quick >= 0) {
        uint8_t record[kEndRecordSize];
        stream.ReadBuffer(record, kEndRecordSize);
        if (isEndRecordSignature(record) && readLittle16(record + 20) == 0) {
            stream.SetPosition(quick);
            return quick;
        }
    }

    // Backward scan in growing windows that overlap by one record's length.
    constexpr int64_t kMaxWindow = 65536;
    int64_t window = 512;
    int64_t distance = 512;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(window));
    for (;;) {
        bool last = false;
        int64_t start = stream.Seek(-distance, TSeekOrigin::soEnd);
        if (start <= 0) {
            start = stream.Seek(0, TSeekOrigin::soBeginning);
            last = true;
        }
        int32_t n = readUpTo(stream, buffer.data(), static_cast<int32_t>(window));
        if (n < kEndRecordSize) return -1;
        for (int32_t i = n - kEndRecordSize; i >= 0; --i) {
            if (!isEndRecordSignature(buffer.data() + i)) continue;
            // Only the occurrence nearest the end is examined; its comment must fit in the
            // bytes that follow it.
            int64_t commentLength = readLittle16(buffer.data() + i + 20);
            if (commentLength <= distance - (i + kEndRecordSize)) {
                int64_t found = start + i;
                stream.SetPosition(found);
                return found;
            }
            break;
        }
        if (window < kMaxWindow) {
            window = std::min(window * 2, kMaxWindow);
            buffer.assign(static_cast<std::size_t>(window), 0);
        }
        distance += window - kEndRecordSize;
        if (last) break;
    }
    stream.SetPosition(remembered);
    return -1;
}

TAbArchiveType ProbeZip(TStream& stream) {
    return withPositionRestored(stream, [&] {
        uint8_t marker[4];
        stream.SetPosition(0);
        if (readUpTo(stream, marker, 4) == 4 && std::memcmp(marker, kSpannedMarker, 4) == 0) {
            return Type::atSpannedZip;
        }
        if (FindZipEndRecord(stream) == -1) return Type::atUnknown;
        uint8_t record[kEndRecordSize];
        stream.ReadBuffer(record, kEndRecordSize);
        if (!isEndRecordSignature(record)) return Type::atUnknown;
        return readLittle16(record + 4) == 0 ? Type::atZip : Type::atSpannedZip;
    });
}

TAbArchiveType ProbeSelfExtractingZip(TStream& stream) {
    int64_t position = stream.Position();
    uint8_t start[4] = {};
    stream.SetPosition(0);
    int32_t n = readUpTo(stream, start, 4);
    bool executable =
        (n >= 2 && start[0] == 'M' && start[1] == 'Z') ||
        (n == 4 && start[0] == 0x7F && start[1] == 'E' && start[2] == 'L' && start[3] == 'F');
    Type zip = ProbeZip(stream);
    stream.SetPosition(position);
    return executable && zip == Type::atZip ? Type::atSelfExtZip : Type::atUnknown;
}

TAbArchiveType ProbeTar(TStream& stream) {
    return withPositionRestored(
        stream, [&] { return passesTarHeaderTest(stream) ? Type::atTar : Type::atUnknown; });
}

TAbArchiveType ProbeGzip(TStream& stream) {
    return withPositionRestored(stream, [&] {
        uint8_t header[10] = {};  // bytes beyond a shorter file count as 0
        stream.SetPosition(0);
        readUpTo(stream, header, 10);
        if (header[0] != 0x1F || header[1] != 0x8B || header[2] != 8) return Type::atUnknown;
        skipGzipOptionalFields(stream, header[3]);
        std::vector<uint8_t> data = inflateStart(stream, kTarBlock);
        // Fewer than one block inflated cannot hold a tar header.
        if (data.size() < kTarBlock) return Type::atGzip;
        TMemoryStream start(std::move(data));
        return passesTarHeaderTest(start) ? Type::atGzippedTar : Type::atGzip;
    });
}

TAbArchiveType ProbeBzip2(TStream& stream) {
    return withPositionRestored(stream, [&] {
        static constexpr uint8_t kBlockMagic[6] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
        uint8_t header[10];
        stream.SetPosition(0);
        if (readUpTo(stream, header, 10) != 10) return Type::atUnknown;
        bool valid = header[0] == 'B' && header[1] == 'Z' && header[2] == 'h' && header[3] >= '1' &&
                     header[3] <= '9' && std::memcmp(header + 4, kBlockMagic, 6) == 0;
        if (!valid) return Type::atUnknown;
        stream.SetPosition(0);
        TMemoryStream start(bunzipStart(stream, 1024));
        return passesTarHeaderTest(start) ? Type::atBzippedTar : Type::atBzip2;
    });
}

TAbArchiveType SniffArchiveType(TStream& stream) {
    for (auto probe : {ProbeSelfExtractingZip, ProbeZip, ProbeTar, ProbeGzip, ProbeBzip2}) {
        Type answer = probe(stream);
        if (answer != Type::atUnknown) return answer;
    }
    return pelmora::VerifyCabinet(stream);
}
