// MSZIP: every data block is "CK" followed by a complete raw deflate stream for at most 32 KB
// of input. The streams of one folder share their history: a block may copy from the 32 KB
// before it. zlib keeps that history for us: each block ends with a sync flush (byte-aligned,
// history kept) followed by an empty final fixed-Huffman block, so a reader sees the end of a
// deflate stream at the end of every block, while zlib carries on as if the stream went on.
#include <zlib.h>

#include "block_decoder.h"
#include "block_encoder.h"
#include "byte_queue.h"

namespace cabinet {
namespace {

constexpr uint8_t kSignature[2] = {'C', 'K'};
// BFINAL = 1, BTYPE = 01 (fixed codes), then the 7-bit end-of-block code 0000000.
constexpr uint8_t kFinalEmptyBlock[2] = {0x03, 0x00};
// Stored deflate blocks add 5 bytes per 64 KB; the sync flush adds 5 more. Leave ample room.
constexpr uint32_t kMaxEncodedBlock = kMaxBlockOutput + 1024;

voidpf zlibAlloc(voidpf opaque, uInt items, uInt size) {
    const auto* alloc = static_cast<const Allocator*>(opaque);
    uint64_t total = static_cast<uint64_t>(items) * size;
    return total > UINT32_MAX ? Z_NULL : alloc->allocate(static_cast<size_t>(total));
}

void zlibFree(voidpf opaque, voidpf block) {
    static_cast<const Allocator*>(opaque)->deallocate(block);
}

class MszipEncoder final : public BlockEncoder {
public:
    explicit MszipEncoder(const Allocator& alloc) : alloc_(alloc), pending_(alloc_) {}
    ~MszipEncoder() override {
        if (ready_) deflateEnd(&stream_);
    }

    bool start() {
        stream_.zalloc = zlibAlloc;
        stream_.zfree = zlibFree;
        stream_.opaque = &alloc_;
        ready_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8,
                              Z_DEFAULT_STRATEGY) == Z_OK;
        return ready_;
    }

    bool write(const uint8_t* data, uint32_t size) override {
        if (broken_ || !pending_.append(data, size)) {
            broken_ = true;
            return false;
        }
        return true;
    }
    bool finish() override {
        finished_ = true;
        return !broken_;
    }
    bool nextBlock(EncodedBlock& block) override {
        size_t available = pending_.size();
        if (broken_ || available == 0 || (available < kMaxBlockOutput && !finished_)) {
            return false;
        }
        uint32_t take =
            available < kMaxBlockOutput ? static_cast<uint32_t>(available) : kMaxBlockOutput;
        uint32_t size = 0;
        if (!compress(pending_.front(), take, size)) {
            broken_ = true;
            return false;
        }
        pending_.consume(take);
        block.data = output_;
        block.compressedSize = size;
        block.uncompressedSize = take;
        return true;
    }
    void reset() override {
        deflateReset(&stream_);
        pending_.clear();
        finished_ = false;
        broken_ = false;
    }

private:
    bool compress(const uint8_t* input, uint32_t size, uint32_t& outSize) {
        output_[0] = kSignature[0];
        output_[1] = kSignature[1];
        stream_.next_in = const_cast<Bytef*>(input);
        stream_.avail_in = size;
        stream_.next_out = output_ + 2;
        stream_.avail_out = kMaxEncodedBlock - 2 - sizeof kFinalEmptyBlock;
        int status = deflate(&stream_, Z_SYNC_FLUSH);
        // With room left over, zlib has consumed all input and flushed all output.
        if (status != Z_OK || stream_.avail_in != 0 || stream_.avail_out == 0) return false;
        uint8_t* end = stream_.next_out;
        end[0] = kFinalEmptyBlock[0];
        end[1] = kFinalEmptyBlock[1];
        outSize = static_cast<uint32_t>(end + 2 - output_);
        return true;
    }

    Allocator alloc_;
    ByteQueue pending_;
    z_stream stream_{};
    bool ready_ = false;
    bool finished_ = false;
    bool broken_ = false;
    uint8_t output_[kMaxEncodedBlock];
};

}  // namespace

BlockEncoder* createMszipEncoder(const Allocator& alloc) {
    auto* encoder = alloc.make<MszipEncoder>(alloc);
    if (encoder && !encoder->start()) {
        alloc.destroy(encoder);
        return nullptr;
    }
    return encoder;
}

}  // namespace cabinet
