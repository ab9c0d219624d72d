// The MSZIP and stored encoders: every block must stand alone as a complete deflate stream
// (or a plain copy) while MSZIP blocks still draw on the previous block's history.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "block_decoder.h"
#include "block_encoder.h"
#include "support/fci_harness.h"
#include "support/test_allocator.h"

namespace {

using cabinet::BlockEncoder;
using cabinet::EncodedBlock;
using cabinet::kMaxBlockOutput;
using cabinet::testing::kHeap;

struct Block {
    std::vector<uint8_t> data;
    uint32_t uncompressedSize;
};

// Feeds `input` in pieces of the given sizes (cycled) and collects every block.
std::vector<Block> encode(BlockEncoder& encoder, const std::vector<uint8_t>& input,
                          const std::vector<size_t>& pieces) {
    std::vector<Block> blocks;
    auto take = [&] {
        EncodedBlock b;
        while (encoder.nextBlock(b)) {
            blocks.push_back(
                {std::vector<uint8_t>(b.data, b.data + b.compressedSize), b.uncompressedSize});
        }
    };
    size_t at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        size_t n = std::min(pieces[i % pieces.size()], input.size() - at);
        EXPECT_TRUE(encoder.write(input.data() + at, static_cast<uint32_t>(n)));
        at += n;
        take();
    }
    EXPECT_TRUE(encoder.finish());
    take();
    return blocks;
}

// Inflates one MSZIP block on its own, with only the last 32 KB of earlier output as history.
// Fails the test unless the block is "CK" plus one complete deflate stream that yields exactly
// the block's size and ends exactly at the block's end.
std::vector<uint8_t> inflateBlock(const Block& block, const std::vector<uint8_t>& history) {
    std::vector<uint8_t> out(block.uncompressedSize);
    EXPECT_GE(block.data.size(), 2u);
    EXPECT_EQ(block.data[0], 'C');
    EXPECT_EQ(block.data[1], 'K');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    if (!history.empty()) {
        size_t keep = std::min<size_t>(history.size(), 32768);
        EXPECT_EQ(inflateSetDictionary(&z, history.data() + history.size() - keep,
                                       static_cast<uInt>(keep)),
                  Z_OK);
    }
    z.next_in = const_cast<Bytef*>(block.data.data() + 2);
    z.avail_in = static_cast<uInt>(block.data.size() - 2);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the deflate stream";
    EXPECT_EQ(z.avail_out, 0u) << "the block yields less than its size";
    inflateEnd(&z);
    return out;
}

struct MszipCase {
    const char* name;
    std::vector<uint8_t> (*make)();
    std::vector<size_t> pieces;
};

std::vector<uint8_t> mixedInput() {
    auto text = cabtest::repetitiveText(150000);
    auto noise = cabtest::randomBytes(70000, 11);
    text.insert(text.begin() + 40000, noise.begin(), noise.end());
    return text;
}
std::vector<uint8_t> exactBlocks() {
    return cabtest::randomBytes(3 * kMaxBlockOutput, 4);
}
std::vector<uint8_t> oneByte() {
    return {42};
}

class MszipEncoderTest : public ::testing::TestWithParam<MszipCase> {};

TEST_P(MszipEncoderTest, EveryBlockIsACompleteDeflateStreamOverTheSharedHistory) {
    const auto& c = GetParam();
    auto input = c.make();
    BlockEncoder* encoder = cabinet::createMszipEncoder(kHeap);
    ASSERT_NE(encoder, nullptr);
    auto blocks = encode(*encoder, input, c.pieces);
    std::vector<uint8_t> output;
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (i + 1 < blocks.size()) {
            EXPECT_EQ(blocks[i].uncompressedSize, kMaxBlockOutput);
        }
        auto part = inflateBlock(blocks[i], output);
        output.insert(output.end(), part.begin(), part.end());
    }
    EXPECT_EQ(output, input);
    cabinet::destroyEncoder(kHeap, encoder);
}

INSTANTIATE_TEST_SUITE_P(Inputs, MszipEncoderTest,
                         ::testing::Values(MszipCase{"mixed_small_pieces", mixedInput, {1000, 7}},
                                           MszipCase{"mixed_large_pieces", mixedInput, {100000}},
                                           MszipCase{"exact_blocks", exactBlocks, {32768}},
                                           MszipCase{"one_byte", oneByte, {1}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Noise repeated every 24 KB: the second block holds nothing but copies of earlier bytes,
// most of them in the first block, so it must shrink to a few back-references.
TEST(MszipEncoder, BlocksReferToThePreviousBlock) {
    auto noise = cabtest::randomBytes(24576, 9);
    std::vector<uint8_t> input;
    for (int i = 0; i < 3; ++i) input.insert(input.end(), noise.begin(), noise.end());
    BlockEncoder* encoder = cabinet::createMszipEncoder(kHeap);
    ASSERT_NE(encoder, nullptr);
    auto blocks = encode(*encoder, input, {65536});
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_LT(blocks[1].data.size(), 1000u);
    cabinet::destroyEncoder(kHeap, encoder);
}

// After reset() a new folder starts: its first block must not depend on the old one.
TEST(MszipEncoder, ResetForgetsTheHistory) {
    auto data = cabtest::randomBytes(20000, 5);
    BlockEncoder* encoder = cabinet::createMszipEncoder(kHeap);
    ASSERT_NE(encoder, nullptr);
    encode(*encoder, data, {20000});
    encoder->reset();
    auto again = encode(*encoder, data, {20000});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(inflateBlock(again[0], {}), data);
    cabinet::destroyEncoder(kHeap, encoder);
}

TEST(MszipEncoder, HoldsAPartialBlockUntilFinished) {
    auto data = cabtest::randomBytes(kMaxBlockOutput - 1, 2);
    BlockEncoder* encoder = cabinet::createMszipEncoder(kHeap);
    ASSERT_NE(encoder, nullptr);
    ASSERT_TRUE(encoder->write(data.data(), static_cast<uint32_t>(data.size())));
    EncodedBlock block;
    EXPECT_FALSE(encoder->nextBlock(block));
    ASSERT_TRUE(encoder->finish());
    ASSERT_TRUE(encoder->nextBlock(block));
    EXPECT_EQ(block.uncompressedSize, data.size());
    EXPECT_FALSE(encoder->nextBlock(block));
    cabinet::destroyEncoder(kHeap, encoder);
}

TEST(StoredEncoder, BlocksAreThe32KSlicesOfTheInput) {
    auto input = cabtest::randomBytes(2 * kMaxBlockOutput + 100, 3);
    BlockEncoder* encoder = cabinet::createStoredEncoder(kHeap);
    ASSERT_NE(encoder, nullptr);
    auto blocks = encode(*encoder, input, {5000});
    ASSERT_EQ(blocks.size(), 3u);
    size_t at = 0;
    for (const auto& b : blocks) {
        EXPECT_EQ(b.data.size(), b.uncompressedSize);
        EXPECT_TRUE(std::equal(b.data.begin(), b.data.end(), input.begin() + at));
        at += b.uncompressedSize;
    }
    EXPECT_EQ(at, input.size());
    cabinet::destroyEncoder(kHeap, encoder);
}

TEST(BlockEncoders, RefusedMemoryGivesNoEncoder) {
    EXPECT_EQ(cabinet::createMszipEncoder(cabinet::testing::kRefusing), nullptr);
    EXPECT_EQ(cabinet::createStoredEncoder(cabinet::testing::kRefusing), nullptr);
    // zlib's own state is refused after the encoder itself was granted.
    for (int grants = 1; grants < 4; ++grants) {
        auto alloc = cabinet::testing::CountingHeap::granting(grants);
        BlockEncoder* encoder = cabinet::createMszipEncoder(alloc);
        if (encoder) cabinet::destroyEncoder(alloc, encoder);
        EXPECT_EQ(cabinet::testing::CountingHeap::live, 0) << grants << " grants";
    }
}

}  // namespace
