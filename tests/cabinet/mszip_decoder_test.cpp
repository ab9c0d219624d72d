// The MSZIP decoder on blocks made here with zlib, cut at chosen sizes, and on damaged input.
#include <gtest/gtest.h>
#include <zlib.h>

#include <numeric>
#include <vector>

#include "block_decoder.h"
#include "support/temp_folder.h"
#include "support/test_allocator.h"

namespace {

using cabinet::BlockDecoder;
using cabinet::DecodeStatus;

struct Block {
    std::vector<uint8_t> data;
    uint32_t size;
};

// Cuts `text` into blocks of the given sizes and compresses each as a cabinet writer does:
// "CK", then a deflate stream of its own, primed with the 32 KB before it.
std::vector<Block> mszipBlocks(const std::vector<uint8_t>& text,
                               const std::vector<uint32_t>& sizes) {
    std::vector<Block> blocks;
    size_t offset = 0;
    for (uint32_t size : sizes) {
        z_stream z{};
        EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        size_t history = offset < 32768 ? offset : 32768;
        if (history) deflateSetDictionary(&z, text.data() + offset - history, history);
        std::vector<uint8_t> out(2 + deflateBound(&z, size) + 16);
        out[0] = 'C', out[1] = 'K';
        z.next_in = const_cast<Bytef*>(text.data() + offset);
        z.avail_in = size;
        z.next_out = out.data() + 2;
        z.avail_out = static_cast<uInt>(out.size() - 2);
        EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        out.resize(2 + z.total_out);
        deflateEnd(&z);
        blocks.push_back({out, size});
        offset += size;
    }
    return blocks;
}

class MszipDecoderTest : public ::testing::TestWithParam<std::vector<uint32_t>> {
protected:
    void TearDown() override { cabinet::destroyDecoder(cabinet::testing::kHeap, decoder); }
    BlockDecoder* decoder = cabinet::createMszipDecoder(cabinet::testing::kHeap);
};

// Matches reach back across block boundaries, also over blocks shorter than the window.
TEST_P(MszipDecoderTest, DecodesBlocksOfAnySizeWithHistoryAcrossThem) {
    ASSERT_NE(decoder, nullptr);
    const auto& sizes = GetParam();
    auto text = cabtest::sampleText(std::accumulate(sizes.begin(), sizes.end(), size_t{0}), 7);
    std::vector<uint8_t> decoded;
    for (int folder = 0; folder < 2; ++folder) {  // a second folder after reset()
        decoder->reset();
        decoded.clear();
        for (const auto& block : mszipBlocks(text, sizes)) {
            std::vector<uint8_t> out(block.size);
            ASSERT_EQ(decoder->decode(block.data.data(), block.data.size(), out.data(), block.size),
                      DecodeStatus::ok);
            decoded.insert(decoded.end(), out.begin(), out.end());
        }
        EXPECT_EQ(decoded, text) << "folder " << folder;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BlockSizes, MszipDecoderTest,
    ::testing::Values(std::vector<uint32_t>{100}, std::vector<uint32_t>{32768, 32768, 32768, 5},
                      std::vector<uint32_t>{1000, 32768, 7, 32768, 20000},
                      std::vector<uint32_t>{300, 300, 300, 300, 300, 300, 32768},
                      std::vector<uint32_t>{32768, 1, 1, 1, 32768}));

struct DamageCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&, uint32_t&)> damage;
};

class MszipDamageTest : public ::testing::TestWithParam<DamageCase> {};

// Damaged blocks are refused without touching memory outside the buffers (ASan watches), and
// after a reset the decoder works again.
TEST_P(MszipDamageTest, RefusesAndRecovers) {
    BlockDecoder* decoder = cabinet::createMszipDecoder(cabinet::testing::kHeap);
    ASSERT_NE(decoder, nullptr);
    auto text = cabtest::sampleText(40000, 3);
    auto blocks = mszipBlocks(text, {32768, 40000 - 32768});
    std::vector<uint8_t> out(32768);
    ASSERT_EQ(decoder->decode(blocks[0].data.data(), blocks[0].data.size(), out.data(), 32768),
              DecodeStatus::ok);
    auto input = blocks[1].data;
    uint32_t size = blocks[1].size;
    GetParam().damage(input, size);
    std::vector<uint8_t> exact(input);  // exactly sized, so any over-read is caught
    std::vector<uint8_t> damagedOut(size);
    EXPECT_EQ(decoder->decode(exact.data(), exact.size(), damagedOut.data(), size),
              DecodeStatus::corrupt);
    decoder->reset();
    ASSERT_EQ(decoder->decode(blocks[0].data.data(), blocks[0].data.size(), out.data(), 32768),
              DecodeStatus::ok);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), text.begin()));
    cabinet::destroyDecoder(cabinet::testing::kHeap, decoder);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, MszipDamageTest,
    ::testing::Values(DamageCase{"NoSignature", [](auto& in, auto&) { in[0] = 'X'; }},
                      DamageCase{"OnlySignature", [](auto& in, auto&) { in.resize(2); }},
                      DamageCase{"CutShort", [](auto& in, auto&) { in.resize(in.size() / 2); }},
                      DamageCase{"LongerOutputExpected", [](auto&, auto& size) { size += 1; }},
                      DamageCase{"BadBlockType", [](auto& in, auto&) { in[2] = 0xFF; }},
                      DamageCase{"Garbage",
                                 [](auto& in, auto&) {
                                     in = cabtest::noise(500, 9), in[0] = 'C', in[1] = 'K';
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MszipFactoryTest, RefusedMemoryGivesNoDecoderAndLeaksNothing) {
    using cabinet::testing::CountingHeap;
    for (int grants = 0; grants < 4; ++grants) {
        cabinet::Allocator heap = CountingHeap::granting(grants);
        BlockDecoder* decoder = cabinet::createMszipDecoder(heap);
        if (decoder) cabinet::destroyDecoder(heap, decoder);
        EXPECT_EQ(CountingHeap::live, 0) << grants;
    }
    EXPECT_EQ(cabinet::createMszipDecoder(cabinet::testing::kRefusing), nullptr);
}

}  // namespace
