#include "archive/cab/ab_member_places.h"

#include <algorithm>

namespace pelmora {
namespace {

uint16_t little16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t little32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The header fields used here: "MSCF", then the file table's offset at 16 and the number of
// members at 28.
constexpr int32_t kHeaderSize = 36;
constexpr std::size_t kFileEntrySize = 16;  // size, offset, folder, date, time, attributes
constexpr std::size_t kLongestName = 256;

bool readAt(TStream& stream, int64_t position, std::vector<uint8_t>& bytes) {
    if (stream.Seek(position, TSeekOrigin::soBeginning) != position) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        int32_t n = stream.Read(bytes.data() + done, static_cast<int32_t>(bytes.size() - done));
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

}  // namespace

std::vector<TMemberPlace> readMemberPlaces(TStream& stream) {
    std::vector<uint8_t> header(kHeaderSize);
    if (!readAt(stream, 0, header) || header.size() < kHeaderSize) return {};
    if (!std::equal(header.begin(), header.begin() + 4, "MSCF")) return {};
    uint32_t tableOffset = little32(&header[16]);
    uint16_t count = little16(&header[28]);
    std::vector<uint8_t> table(count * (kFileEntrySize + kLongestName + 1));
    if (!readAt(stream, tableOffset, table)) return {};

    std::vector<TMemberPlace> places;
    places.reserve(count);
    std::size_t at = 0;
    for (uint16_t i = 0; i < count; ++i) {
        if (table.size() - at < kFileEntrySize + 1) return {};
        TMemberPlace place;
        place.Size = little32(&table[at]);
        place.Offset = little32(&table[at + 4]);
        place.Folder = little16(&table[at + 8]);
        at += kFileEntrySize;
        auto end = std::find(table.begin() + static_cast<std::ptrdiff_t>(at), table.end(), 0);
        if (end == table.end()) return {};
        place.RawName.assign(table.begin() + static_cast<std::ptrdiff_t>(at), end);
        at = static_cast<std::size_t>(end - table.begin()) + 1;
        places.push_back(std::move(place));
    }
    return places;
}

}  // namespace pelmora
