// The archive formats that type detection tells apart.
#pragma once

#include <cstdint>

enum class TAbArchiveType : uint8_t {
    atUnknown = 0,
    atZip = 1,
    atSpannedZip = 2,
    atSelfExtZip = 3,
    atTar = 4,
    atGzip = 5,
    atGzippedTar = 6,
    atCab = 7,
    atBzip2 = 8,
    atBzippedTar = 9,
};
