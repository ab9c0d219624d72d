// Folders stored without compression: each block's data is its output.
#include <cstring>

#include "block_decoder.h"

namespace cabinet {

namespace {

class StoredDecoder final : public BlockDecoder {
public:
    DecodeStatus decode(const uint8_t* in, uint32_t inSize, uint8_t* out,
                        uint32_t outSize) override {
        if (inSize != outSize) return DecodeStatus::corrupt;
        std::memcpy(out, in, outSize);
        return DecodeStatus::ok;
    }
    void reset() override {}
};

}  // namespace

BlockDecoder* createStoredDecoder(const Allocator& alloc) {
    return alloc.make<StoredDecoder>();
}

void destroyDecoder(const Allocator& alloc, BlockDecoder* decoder) {
    alloc.destroy(decoder);
}

}  // namespace cabinet
