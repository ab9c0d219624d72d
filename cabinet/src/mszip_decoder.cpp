// MSZIP: every data block is "CK" followed by a deflate stream (RFC 1951) that ends with the
// block; the 32 KB history carries over from one block of a folder to the next.
//
// zlib does the inflating, straight into the caller's buffer. Each block is a stream of its
// own, so zlib is reset between blocks and handed the folder's last 32 KB as a preset
// dictionary.
#include <zlib.h>

#include "block_decoder.h"

namespace cabinet {

namespace {

constexpr uint32_t kHistorySize = 32768;

class MszipDecoder final : public BlockDecoder {
public:
    explicit MszipDecoder(const Allocator& alloc) : alloc_(alloc) {}
    ~MszipDecoder() override {
        if (ready_) inflateEnd(&stream_);
    }

    // zlib takes its state and window here, once; decoding allocates nothing.
    bool init() {
        stream_.zalloc = &zlibAlloc;
        stream_.zfree = &zlibFree;
        stream_.opaque = const_cast<Allocator*>(&alloc_);
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return false;
        ready_ = true;
        const Bytef primer = 0;
        if (inflateSetDictionary(&stream_, &primer, 1) != Z_OK) return false;
        return inflateReset(&stream_) == Z_OK;
    }

    DecodeStatus decode(const uint8_t* in, uint32_t inSize, uint8_t* out,
                        uint32_t outSize) override {
        if (!usable_ || inSize < 2 || in[0] != 'C' || in[1] != 'K') return fail();
        stream_.next_in = const_cast<Bytef*>(in + 2);
        stream_.avail_in = inSize - 2;
        stream_.next_out = out;
        stream_.avail_out = outSize;
        int result = inflate(&stream_, Z_NO_FLUSH);
        if (result == Z_OK && stream_.avail_out == 0) result = finishFullBlock();
        // The block must be exactly one deflate stream, closed by its final deflate block, that
        // makes exactly the declared output: anything else means damaged data, even when the
        // bytes that did come out look plausible.
        bool exact = result == Z_STREAM_END && stream_.avail_out == 0 && stream_.avail_in == 0;
        if (!exact) return fail();
        return keepHistory(out, outSize) ? DecodeStatus::ok : fail();
    }

    void reset() override {
        usable_ = inflateReset(&stream_) == Z_OK;
        historySize_ = 0;
    }

private:
    static voidpf zlibAlloc(voidpf opaque, uInt items, uInt size) {
        uint64_t bytes = uint64_t{items} * size;
        return static_cast<Allocator*>(opaque)->allocate(bytes > UINT32_MAX ? 0 : bytes);
    }
    static void zlibFree(voidpf opaque, voidpf block) {
        static_cast<Allocator*>(opaque)->deallocate(block);
    }

    // The output is full but zlib has not seen the stream's end yet: the end-of-block code
    // may still lie ahead. Give it room for one more byte; a stream that uses that room holds
    // more than the block declares.
    int finishFullBlock() {
        Bytef spare = 0;
        stream_.next_out = &spare;
        stream_.avail_out = 1;
        int result = inflate(&stream_, Z_NO_FLUSH);
        if (stream_.avail_out == 0) return Z_DATA_ERROR;
        stream_.avail_out = 0;
        return result;
    }

    // After a failure the history is unknown; only reset() makes the decoder usable again.
    DecodeStatus fail() {
        usable_ = false;
        return DecodeStatus::corrupt;
    }

    // The last 32 KB of the folder's output so far become the next block's dictionary.
    bool keepHistory(const uint8_t* out, uint32_t outSize) {
        if (outSize >= kHistorySize) {
            historySize_ = kHistorySize;
            if (inflateReset(&stream_) != Z_OK) return false;
            return inflateSetDictionary(&stream_, out + outSize - kHistorySize, kHistorySize) ==
                   Z_OK;
        }
        // A short block: zlib's window holds the previous history followed by this block.
        uInt size = 0;
        if (inflateGetDictionary(&stream_, history_, &size) != Z_OK) return false;
        historySize_ = size;
        if (inflateReset(&stream_) != Z_OK) return false;
        return size == 0 || inflateSetDictionary(&stream_, history_, size) == Z_OK;
    }

    Allocator alloc_;
    z_stream stream_{};
    bool ready_ = false;
    bool usable_ = true;
    uint32_t historySize_ = 0;
    uint8_t history_[kHistorySize];
};

}  // namespace

BlockDecoder* createMszipDecoder(const Allocator& alloc) {
    MszipDecoder* decoder = alloc.make<MszipDecoder>(alloc);
    if (decoder && !decoder->init()) {
        alloc.destroy(decoder);
        return nullptr;
    }
    return decoder;
}

}  // namespace cabinet
