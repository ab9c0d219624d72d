// The LZX folder compressor.
//
// Input collects in a sliding buffer that keeps one window of history. Every segment of a few
// frames is call-translated, parsed frame by frame, cut into blocks of whole frames where the
// statistics change, and each block is written as verbatim, aligned-offset or uncompressed,
// whichever is smallest. Each frame comes out as one data block; the bit stream is padded to
// 16 bits at every frame end, as the decoder expects.
#include <cstring>

#include "block_decoder.h"
#include "block_encoder.h"
#include "lzx_bit_writer.h"
#include "lzx_block_writer.h"
#include "lzx_call_translation.h"
#include "lzx_match_finder.h"
#include "lzx_parser.h"

namespace cabinet {
namespace {

using namespace lzx;

constexpr uint32_t kSegmentFrames = 8;
constexpr uint32_t kSegmentSize = kSegmentFrames * kFrameSize;
// A compressed frame that does not fit a data block is written again uncompressed; this bound
// holds whatever the parse, so frames can be written before they are measured.
constexpr uint32_t kMaxFrameOutput = 112 * 1024;

// Search effort: tree nodes visited per searched position and per position only inserted
// (inside a long match), the length the trees compare up to, and the match length taken
// without searching inside it. Measured on 24 MB of changelogs: with trees this small the
// depth costs little time (24/12 is 1% smaller than 12/6 and a few per cent slower), while
// taking matches from 32 bytes instead of 24 is 1% smaller but 15% slower.
constexpr unsigned kSearchDepth = 24;
constexpr unsigned kInsertDepth = 12;
constexpr unsigned kNiceLength = 48;
constexpr unsigned kTakenLength = 24;
// A segment is parsed only once this much input follows it (or the input has ended), so
// every search sees the same lookahead however the input was cut into writes.
constexpr uint32_t kLookahead = kNiceLength + 8;

struct FrameRecord {
    uint32_t offset;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
};

class LzxEncoder final : public BlockEncoder {
public:
    LzxEncoder(const Allocator& alloc, unsigned windowBits)
        : alloc_(alloc),
          windowSize_(1u << windowBits),
          mainSymbols_(mainTreeSymbols(windowBits)),
          bufferCapacity_(windowSize_ + kSegmentSize + kLookahead) {}
    ~LzxEncoder() override;

    bool allocate(unsigned windowBits);

    bool write(const uint8_t* data, uint32_t size) override;
    bool finish() override;
    bool nextBlock(EncodedBlock& block) override;
    void reset() override;

private:
    void recycleDeliveredOutput();
    bool encodeSegment(uint32_t size);
    uint64_t blockCost(uint32_t first, uint32_t end);
    bool emitBlock(uint32_t first, uint32_t end);
    bool writeCompressedBlock(uint32_t first, uint32_t end, uint32_t blockSize);
    bool writeUncompressedBlock(uint32_t first, uint32_t end, uint32_t blockSize);
    void writeStreamHeader(BitWriter& out);
    uint8_t* reserveFrame();
    void commitFrame(uint32_t compressedSize, uint32_t uncompressedSize);
    uint32_t frameSize(uint32_t frame) const {
        const uint32_t left = segmentSize_ - frame * kFrameSize;
        return left < kFrameSize ? left : kFrameSize;
    }

    Allocator alloc_;
    uint32_t windowSize_;
    unsigned mainSymbols_;
    uint32_t bufferCapacity_;

    // Input: buffer_[0] is stream position bufferStart_; encoded_ bytes of it are done.
    uint8_t* buffer_ = nullptr;
    uint32_t bufferStart_ = 0;
    uint32_t filled_ = 0;
    uint32_t encoded_ = 0;
    bool finished_ = false;
    bool failed_ = false;

    MatchFinder finder_;
    uint32_t* hashTables_ = nullptr;
    uint32_t* treeNodes_ = nullptr;
    Parser parser_;
    Parser::Node* nodes_ = nullptr;

    // The segment being encoded.
    const uint8_t* segment_ = nullptr;
    uint32_t segmentSize_ = 0;
    Item* items_ = nullptr;
    uint32_t frameItems_[kSegmentFrames + 1] = {};
    SymbolCounts frameCounts_[kSegmentFrames];
    SymbolCounts scratchCounts_;
    BlockPlan plan_;

    // What the decoder will know when the next block starts.
    RepeatedOffsets reps_;
    TreeLengths previousLengths_;
    bool streamStarted_ = false;

    // Finished frames waiting to be taken.
    uint8_t* output_ = nullptr;
    uint32_t outputCapacity_ = 0;
    uint32_t outputUsed_ = 0;
    FrameRecord* frames_ = nullptr;
    uint32_t frameCapacity_ = 0;
    uint32_t frameCount_ = 0;
    uint32_t framesTaken_ = 0;
};

LzxEncoder::~LzxEncoder() {
    alloc_.deallocate(buffer_);
    alloc_.deallocate(hashTables_);
    alloc_.deallocate(treeNodes_);
    alloc_.deallocate(nodes_);
    alloc_.deallocate(items_);
    alloc_.deallocate(output_);
    alloc_.deallocate(frames_);
}

bool LzxEncoder::allocate(unsigned windowBits) {
    buffer_ = static_cast<uint8_t*>(alloc_.allocate(bufferCapacity_));
    hashTables_ = static_cast<uint32_t*>(
        alloc_.allocate(sizeof(uint32_t) * MatchFinder::headEntries(windowBits)));
    treeNodes_ = static_cast<uint32_t*>(
        alloc_.allocate(sizeof(uint32_t) * MatchFinder::nodeEntries(windowBits)));
    nodes_ = static_cast<Parser::Node*>(alloc_.allocate(sizeof(Parser::Node) * (kFrameSize + 1)));
    items_ = static_cast<Item*>(alloc_.allocate(sizeof(Item) * kSegmentSize));
    outputCapacity_ = kSegmentFrames * kMaxFrameOutput;
    output_ = static_cast<uint8_t*>(alloc_.allocate(outputCapacity_));
    frameCapacity_ = 2 * kSegmentFrames;
    frames_ = static_cast<FrameRecord*>(alloc_.allocate(sizeof(FrameRecord) * frameCapacity_));
    if (!buffer_ || !hashTables_ || !treeNodes_ || !nodes_ || !items_ || !output_ || !frames_) {
        return false;
    }
    finder_.attach(hashTables_, treeNodes_, windowBits);
    parser_.takenLength = kTakenLength;
    parser_.attach(nodes_, &finder_, mainSymbols_);
    reset();
    return true;
}

void LzxEncoder::reset() {
    finder_.clear();
    finder_.setEffort(kSearchDepth, kInsertDepth, kNiceLength);
    parser_.resetCosts();
    bufferStart_ = filled_ = encoded_ = 0;
    finished_ = failed_ = false;
    reps_ = RepeatedOffsets{};
    std::memset(&previousLengths_, 0, sizeof(previousLengths_));
    streamStarted_ = false;
    outputUsed_ = frameCount_ = framesTaken_ = 0;
}

void LzxEncoder::recycleDeliveredOutput() {
    if (framesTaken_ == frameCount_) outputUsed_ = frameCount_ = framesTaken_ = 0;
}

bool LzxEncoder::write(const uint8_t* data, uint32_t size) {
    if (failed_ || finished_) return false;
    recycleDeliveredOutput();
    while (size) {
        if (filled_ == bufferCapacity_) {
            // Keep one window of history before the first byte still to encode.
            const uint32_t keep = encoded_ < windowSize_ ? encoded_ : windowSize_;
            const uint32_t drop = encoded_ - keep;
            std::memmove(buffer_, buffer_ + drop, filled_ - drop);
            bufferStart_ += drop;
            filled_ -= drop;
            encoded_ = keep;
        }
        const uint32_t room = bufferCapacity_ - filled_;
        const uint32_t take = size < room ? size : room;
        std::memcpy(buffer_ + filled_, data, take);
        filled_ += take;
        data += take;
        size -= take;
        if (filled_ - encoded_ >= kSegmentSize + kLookahead && !encodeSegment(kSegmentSize)) {
            failed_ = true;
            return false;
        }
    }
    return true;
}

bool LzxEncoder::finish() {
    if (failed_) return false;
    if (finished_) return true;
    recycleDeliveredOutput();
    while (filled_ > encoded_) {
        const uint32_t left = filled_ - encoded_;
        if (!encodeSegment(left < kSegmentSize ? left : kSegmentSize)) {
            failed_ = true;
            return false;
        }
    }
    finished_ = true;
    return true;
}

bool LzxEncoder::nextBlock(EncodedBlock& block) {
    if (framesTaken_ == frameCount_) {
        recycleDeliveredOutput();
        return false;
    }
    const FrameRecord& frame = frames_[framesTaken_++];
    block.data = output_ + frame.offset;
    block.compressedSize = frame.compressedSize;
    block.uncompressedSize = frame.uncompressedSize;
    return true;
}

bool LzxEncoder::encodeSegment(uint32_t size) {
    uint8_t* segment = buffer_ + encoded_;
    const uint32_t segmentPos = bufferStart_ + encoded_;
    const uint32_t readable = filled_ - encoded_;
    segment_ = segment;
    segmentSize_ = size;
    const uint32_t frames = (size + kFrameSize - 1) / kFrameSize;
    for (uint32_t f = 0; f < frames; ++f) {
        translateCalls(segment + f * kFrameSize, frameSize(f), segmentPos + f * kFrameSize);
    }

    RepeatedOffsets reps = reps_;
    uint32_t itemCount = 0;
    for (uint32_t f = 0; f < frames; ++f) {
        const uint32_t offset = f * kFrameSize;
        const RepeatedOffsets frameStartReps = reps;
        frameItems_[f] = itemCount;
        const uint32_t count =
            parser_.parseFrame(segment + offset, segmentPos + offset, frameSize(f),
                               readable - offset, reps, items_ + itemCount);
        RepeatedOffsets countingReps = frameStartReps;
        frameCounts_[f].clear();
        countSymbols(items_ + itemCount, count, countingReps, frameCounts_[f]);
        parser_.learnCosts(frameCounts_[f]);
        // Photographs and other packed data find next to nothing: after a frame that would
        // barely shrink, search only the newest candidate until the data compresses again.
        const bool packed = parser_.lastCost() > frameSize(f) * 8 / 32 * 31;
        finder_.setEffort(packed ? 1 : kSearchDepth, packed ? 1 : kInsertDepth, kNiceLength);
        itemCount += count;
    }
    frameItems_[frames] = itemCount;

    // Frames join the current block while coding them together is no dearer than apart.
    uint32_t first = 0;
    for (uint32_t f = 1; f < frames; ++f) {
        if (blockCost(first, f + 1) > blockCost(first, f) + blockCost(f, f + 1)) {
            if (!emitBlock(first, f)) return false;
            first = f;
        }
    }
    if (!emitBlock(first, frames)) return false;
    encoded_ += size;
    return true;
}

// Estimated bits of frames [first, end) as one block, from the parse's statistics.
uint64_t LzxEncoder::blockCost(uint32_t first, uint32_t end) {
    scratchCounts_.clear();
    uint32_t bytes = 0;
    for (uint32_t f = first; f < end; ++f) {
        scratchCounts_.add(frameCounts_[f]);
        bytes += frameSize(f);
    }
    planCompressedBlock(scratchCounts_, mainSymbols_, previousLengths_, plan_);
    const uint64_t stored = kBlockHeaderBits + 16 + 96 + uint64_t{bytes} * 8;
    return plan_.bits < stored ? plan_.bits : stored;
}

bool LzxEncoder::emitBlock(uint32_t first, uint32_t end) {
    uint32_t blockSize = 0;
    for (uint32_t f = first; f < end; ++f) blockSize += frameSize(f);

    // Count again from the repeated offsets the decoder will really have.
    scratchCounts_.clear();
    RepeatedOffsets reps = reps_;
    countSymbols(items_ + frameItems_[first], frameItems_[end] - frameItems_[first], reps,
                 scratchCounts_);
    planCompressedBlock(scratchCounts_, mainSymbols_, previousLengths_, plan_);
    const uint64_t storedBits = kBlockHeaderBits + 16 + 96 + uint64_t{blockSize} * 8;
    if (plan_.bits < storedBits) {
        const uint32_t frameMark = frameCount_, outputMark = outputUsed_;
        const RepeatedOffsets repsMark = reps_;
        const bool startedMark = streamStarted_;
        if (writeCompressedBlock(first, end, blockSize)) return true;
        if (failed_) return false;
        frameCount_ = frameMark;
        outputUsed_ = outputMark;
        reps_ = repsMark;
        streamStarted_ = startedMark;
    }
    return writeUncompressedBlock(first, end, blockSize);
}

void LzxEncoder::writeStreamHeader(BitWriter& out) {
    if (streamStarted_) return;
    streamStarted_ = true;
    out.put(1, 1);  // call translation on
    out.put(static_cast<uint32_t>(kTranslationSize >> 16), 16);
    out.put(static_cast<uint32_t>(kTranslationSize & 0xFFFF), 16);
}

bool LzxEncoder::writeCompressedBlock(uint32_t first, uint32_t end, uint32_t blockSize) {
    for (uint32_t f = first; f < end; ++f) {
        uint8_t* out = reserveFrame();
        if (!out) return false;
        BitWriter writer(out);
        writeStreamHeader(writer);
        if (f == first) writeBlockHeader(writer, plan_, blockSize, mainSymbols_, previousLengths_);
        writeItems(writer, plan_, items_ + frameItems_[f], frameItems_[f + 1] - frameItems_[f],
                   reps_);
        writer.alignToWord();
        if (writer.size() > kMaxBlockInput) return false;
        commitFrame(writer.size(), frameSize(f));
    }
    previousLengths_ = plan_.lengths;
    return true;
}

bool LzxEncoder::writeUncompressedBlock(uint32_t first, uint32_t end, uint32_t blockSize) {
    for (uint32_t f = first; f < end; ++f) {
        uint8_t* out = reserveFrame();
        if (!out) return false;
        BitWriter writer(out);
        writeStreamHeader(writer);
        if (f == first) {
            writer.put(kUncompressed, 3);
            writer.put(blockSize, 24);
            // Blocks start on frame boundaries, so the header never ends word aligned and
            // the padding is always 1..15 bits, which every decoder reads alike.
            writer.alignToWord();
            for (const uint32_t r : reps_.r) writer.putLittleEndian32(r);
        }
        writer.putBytes(segment_ + f * kFrameSize, frameSize(f));
        if (f + 1 == end && (blockSize & 1)) {
            const uint8_t pad = 0;
            writer.putBytes(&pad, 1);
        }
        commitFrame(writer.size(), frameSize(f));
    }
    return true;
}

uint8_t* LzxEncoder::reserveFrame() {
    if (frameCount_ == frameCapacity_) {
        const uint32_t capacity = frameCapacity_ * 2;
        auto* frames = static_cast<FrameRecord*>(alloc_.allocate(sizeof(FrameRecord) * capacity));
        if (!frames) return failed_ = true, nullptr;
        std::memcpy(frames, frames_, sizeof(FrameRecord) * frameCount_);
        alloc_.deallocate(frames_);
        frames_ = frames;
        frameCapacity_ = capacity;
    }
    if (outputCapacity_ - outputUsed_ < kMaxFrameOutput) {
        const uint32_t capacity = outputCapacity_ * 2;
        auto* output = static_cast<uint8_t*>(alloc_.allocate(capacity));
        if (!output) return failed_ = true, nullptr;
        std::memcpy(output, output_, outputUsed_);
        alloc_.deallocate(output_);
        output_ = output;
        outputCapacity_ = capacity;
    }
    return output_ + outputUsed_;
}

void LzxEncoder::commitFrame(uint32_t compressedSize, uint32_t uncompressedSize) {
    frames_[frameCount_++] = {outputUsed_, compressedSize, uncompressedSize};
    outputUsed_ += compressedSize;
}

}  // namespace

BlockEncoder* createLzxEncoder(const Allocator& alloc, unsigned windowBits) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits) return nullptr;
    auto* encoder = alloc.make<LzxEncoder>(alloc, windowBits);
    if (encoder && !encoder->allocate(windowBits)) {
        alloc.destroy(encoder);
        return nullptr;
    }
    return encoder;
}

}  // namespace cabinet
