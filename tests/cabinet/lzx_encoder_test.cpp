// The LZX encoder: its blocks, and round trips of its cabinets through the peer extractors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "block_decoder.h"
#include "block_encoder.h"
#include "lzx_tables.h"
#include "support/lzx_test_support.h"

namespace cabinet {
namespace {

using namespace testing;

struct Input {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    unsigned windowBits;
};

std::vector<uint8_t> repeated(size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) out[i] = "abcabcabd"[i % 9];
    return out;
}

// Calls with operands in and out of the translated range, and E8 bytes near frame ends.
std::vector<uint8_t> callHeavy(size_t size) {
    std::vector<uint8_t> out = randomBytes(size, 5);
    for (size_t i = 0; i + 5 <= size; i += 7) {
        out[i] = 0xE8;
        const uint32_t operand = static_cast<uint32_t>(i * 2654435761u) % 40000000 - 20000000;
        for (int b = 0; b < 4; ++b) out[i + 1 + b] = static_cast<uint8_t>(operand >> (8 * b));
    }
    for (size_t f = lzx::kFrameSize; f < size; f += lzx::kFrameSize) {
        for (size_t i = f - 12; i < f + 2 && i < size; ++i) out[i] = 0xE8;
    }
    return out;
}

// Random data whose start repeats at the largest offset the encoder uses (the window size less
// 4), so the only matches there are at the window's far end.
std::vector<uint8_t> farRepeat(unsigned windowBits) {
    const size_t distance = (size_t{1} << windowBits) - 4;
    std::vector<uint8_t> out = randomBytes(distance + 5000, windowBits);
    std::copy(out.begin(), out.begin() + 5000, out.begin() + distance);
    return out;
}

// Random pieces followed by copies of every length from 2 to 257 at varied distances.
std::vector<uint8_t> everyLength() {
    std::vector<uint8_t> out = randomBytes(4096, 9);
    for (size_t len = 2; len <= 257; ++len) {
        const size_t from = (len * 37) % 3000;
        for (size_t i = 0; i < len; ++i) out.push_back(out[from + i]);
        const auto noise = randomBytes(3, static_cast<uint32_t>(len));
        out.insert(out.end(), noise.begin(), noise.end());
    }
    return out;
}

// A random block repeated so that long matches run across every frame boundary.
std::vector<uint8_t> acrossFrames() {
    const std::vector<uint8_t> unit = randomBytes(50000, 3);
    std::vector<uint8_t> out;
    for (int i = 0; i < 5; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

std::vector<uint8_t> mixed() {
    std::vector<uint8_t> out = textLike(100000, 1);
    const auto noise = randomBytes(70000, 2);
    out.insert(out.end(), noise.begin(), noise.end());
    const auto text = textLike(90001, 3);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

const Input kInputs[] = {
    {"Empty", [] { return std::vector<uint8_t>{}; }, 21},
    {"OneByte", [] { return std::vector<uint8_t>{'x'}; }, 21},
    {"OneFrame", [] { return textLike(32768, 1); }, 21},
    {"OneFramePlusOne", [] { return textLike(32769, 2); }, 21},
    {"SeveralMegabytes", [] { return textLike(3 << 20, 3); }, 21},
    {"Repetitive", [] { return repeated(1 << 20); }, 18},
    {"Zeros", [] { return std::vector<uint8_t>(300000); }, 16},
    {"Random", [] { return randomBytes(300001, 4); }, 21},
    {"CallHeavy", [] { return callHeavy(200000); }, 17},
    {"TextThenNoiseThenText", mixed, 19},
    {"EveryMatchLength", everyLength, 15},
    {"MatchesAcrossFrames", acrossFrames, 17},
    {"Window15", [] { return farRepeat(15); }, 15},
    {"Window16", [] { return farRepeat(16); }, 16},
    {"Window17", [] { return farRepeat(17); }, 17},
    {"Window18", [] { return farRepeat(18); }, 18},
    {"Window19", [] { return farRepeat(19); }, 19},
    {"Window20", [] { return farRepeat(20); }, 20},
    {"Window21", [] { return farRepeat(21); }, 21},
    {"TextWindow15", [] { return textLike(400000, 15); }, 15},
};

class LzxEncoderRoundTrip : public ::testing::TestWithParam<Input> {};

TEST_P(LzxEncoderRoundTrip, FramesAreWellFormed) {
    const Input& c = GetParam();
    const auto input = c.make();
    const auto frames = lzxEncode(input, c.windowBits);
    size_t total = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        if (i + 1 < frames.size()) {
            EXPECT_EQ(f.uncompressedSize, lzx::kFrameSize) << i;
        }
        EXPECT_GE(f.uncompressedSize, 1u);
        EXPECT_EQ(f.data.size() % 2, 0u) << "frame " << i << " not padded to 16 bits";
        EXPECT_LE(f.data.size(), kMaxBlockInput);
        total += f.uncompressedSize;
    }
    EXPECT_EQ(total, input.size());
}

TEST_P(LzxEncoderRoundTrip, CabextractRestoresTheInput) {
    if (!toolAvailable("cabextract")) GTEST_SKIP() << "cabextract not installed";
    const Input& c = GetParam();
    const auto input = c.make();
    TempFolder dir;
    writeLzxCabinet(dir.path() / "t.cab", "data.bin", lzxEncode(input, c.windowBits), c.windowBits);
    const std::string cmd = "cabextract -q -d '" + (dir.path() / "out").string() + "' '" +
                            (dir.path() / "t.cab").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(readFile(dir.path() / "out" / "data.bin") == input);
}

TEST_P(LzxEncoderRoundTrip, SevenZipRestoresTheInput) {
    if (!toolAvailable("7zz")) GTEST_SKIP() << "7zz not installed";
    const Input& c = GetParam();
    const auto input = c.make();
    TempFolder dir;
    writeLzxCabinet(dir.path() / "t.cab", "data.bin", lzxEncode(input, c.windowBits), c.windowBits);
    const std::string cmd = "7zz x -y -o'" + (dir.path() / "out").string() + "' '" +
                            (dir.path() / "t.cab").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(readFile(dir.path() / "out" / "data.bin") == input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzxEncoderRoundTrip, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cabinet
