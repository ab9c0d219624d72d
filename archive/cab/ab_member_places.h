// Where each member's bytes lie in its folder, read from the cabinet's file table. The library
// tells the order of the members but not their places; the archive needs the places to
// extract members listed against the order of their data without decoding the folder again
// for each of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/cab/ab_stream.h"

namespace pelmora {

struct TMemberPlace {
    uint16_t Folder = 0;  // the folder's index; 0xFFFD and above: continued across cabinets
    uint32_t Offset = 0;  // where the member starts in the folder's decoded bytes
    uint32_t Size = 0;    // its decoded size
    std::string RawName;  // the stored name, to check the table against the listing
};

// The members of the cabinet in stream, in stored order; empty when the table cannot be read
// (the caller then does without). The stream's position is not kept.
std::vector<TMemberPlace> readMemberPlaces(TStream& stream);

// Folder numbers at and above this one mark members continued from or into another cabinet.
inline constexpr uint16_t kFirstContinuedFolder = 0xFFFD;

}  // namespace pelmora
