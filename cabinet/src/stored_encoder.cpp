// The "stored" method: each data block holds up to 32 KB of the folder's bytes unchanged.
#include "block_decoder.h"
#include "block_encoder.h"
#include "byte_queue.h"

namespace cabinet {
namespace {

class StoredEncoder final : public BlockEncoder {
public:
    explicit StoredEncoder(const Allocator& alloc) : pending_(alloc) {}

    bool write(const uint8_t* data, uint32_t size) override { return pending_.append(data, size); }
    bool finish() override {
        finished_ = true;
        return true;
    }
    bool nextBlock(EncodedBlock& block) override {
        size_t available = pending_.size();
        if (available == 0 || (available < kMaxBlockOutput && !finished_)) return false;
        uint32_t take =
            available < kMaxBlockOutput ? static_cast<uint32_t>(available) : kMaxBlockOutput;
        block.data = pending_.front();
        block.compressedSize = take;
        block.uncompressedSize = take;
        pending_.consume(take);
        return true;
    }
    void reset() override {
        pending_.clear();
        finished_ = false;
    }

private:
    ByteQueue pending_;
    bool finished_ = false;
};

}  // namespace

BlockEncoder* createStoredEncoder(const Allocator& alloc) {
    return alloc.make<StoredEncoder>(alloc);
}

}  // namespace cabinet
