#include "folder_decoder.h"

#include "cab_format.h"

namespace cabinet {

namespace {

unsigned windowBits(uint16_t compression) {
    return (compression >> 8) & 0x1F;
}

}  // namespace

BlockDecoder* createFolderDecoder(const Allocator& alloc, uint16_t compression) {
    switch (compression & kCompressionMask) {
        case kCompressionNone:
            return createStoredDecoder(alloc);
        case kCompressionMszip:
            return createMszipDecoder(alloc);
        case kCompressionQuantum:
            return createQuantumDecoder(alloc, windowBits(compression));
        case kCompressionLzx:
            return createLzxDecoder(alloc, windowBits(compression));
        default:
            return nullptr;
    }
}

bool sameDecoder(uint16_t a, uint16_t b) {
    uint16_t type = a & kCompressionMask;
    if (type != (b & kCompressionMask)) return false;
    if (type == kCompressionNone || type == kCompressionMszip) return true;
    return windowBits(a) == windowBits(b);
}

}  // namespace cabinet
