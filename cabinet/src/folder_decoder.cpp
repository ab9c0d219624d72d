#include "folder_decoder.h"

#include "cab_format.h"

namespace cabinet {

namespace {

unsigned windowBits(uint16_t compression) {
    return (compression >> 8) & 0x1F;
}

}  // namespace

BlockDecoder* createFolderDecoder(const Allocator& alloc, uint16_t compression) {
    switch (compression & tcompMASK_TYPE) {
        case tcompTYPE_NONE:
            return createStoredDecoder(alloc);
        case tcompTYPE_MSZIP:
            return createMszipDecoder(alloc);
        case tcompTYPE_QUANTUM:
            return createQuantumDecoder(alloc, windowBits(compression));
        case tcompTYPE_LZX:
            return createLzxDecoder(alloc, windowBits(compression));
        default:
            return nullptr;
    }
}

bool sameDecoder(uint16_t a, uint16_t b) {
    uint16_t type = a & tcompMASK_TYPE;
    if (type != (b & tcompMASK_TYPE)) return false;
    if (type == tcompTYPE_NONE || type == tcompTYPE_MSZIP) return true;
    return windowBits(a) == windowBits(b);
}

}  // namespace cabinet
