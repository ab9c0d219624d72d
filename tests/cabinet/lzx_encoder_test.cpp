// The LZX encoder: its data blocks, round trips through our decoder, cabinets written through
// FCI and read back by the peer extractors, and the pieces it is built of.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "block_decoder.h"
#include "block_encoder.h"
#include "cabinet.h"
#include "lzx_huffman.h"
#include "lzx_match_finder.h"
#include "lzx_tables.h"
#include "support/cab_reader.h"
#include "support/fci_harness.h"
#include "support/lzx_test_support.h"
#include "support/test_allocator.h"

namespace cabinet {
namespace {

using testing::EncodedFrame;
using testing::kHeap;
using testing::lzxEncode;
using testing::textLike;

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    return cabtest::randomBytes(size, seed);
}

std::vector<uint8_t> repeated(size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) out[i] = "abcabcabd"[i % 9];
    return out;
}

// Calls with operands in and out of the translated range, and E8 bytes crowding frame ends.
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
// 4), so the only matches there reach the window's far end.
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

// A random block repeated so that long matches run into every frame boundary.
std::vector<uint8_t> acrossFrames() {
    const std::vector<uint8_t> unit = randomBytes(50000, 3);
    std::vector<uint8_t> out;
    for (int i = 0; i < 5; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

// Text, noise, text: blocks change type (and trees) mid-stream.
std::vector<uint8_t> mixed() {
    std::vector<uint8_t> out = textLike(100000, 1);
    const auto noise = randomBytes(70000, 2);
    out.insert(out.end(), noise.begin(), noise.end());
    const auto text = textLike(90001, 3);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

struct Input {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    unsigned windowBits;
};

std::ostream& operator<<(std::ostream& out, const Input& c) {
    return out << c.name;
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
    {"MatchesIntoFrameEnds", acrossFrames, 17},
    {"FarthestMatch15", [] { return farRepeat(15); }, 15},
    {"FarthestMatch16", [] { return farRepeat(16); }, 16},
    {"FarthestMatch17", [] { return farRepeat(17); }, 17},
    {"FarthestMatch18", [] { return farRepeat(18); }, 18},
    {"FarthestMatch19", [] { return farRepeat(19); }, 19},
    {"FarthestMatch20", [] { return farRepeat(20); }, 20},
    {"FarthestMatch21", [] { return farRepeat(21); }, 21},
    {"TextWindow15", [] { return textLike(400000, 15); }, 15},
};

class LzxEncoderRoundTrip : public ::testing::TestWithParam<Input> {};

TEST_P(LzxEncoderRoundTrip, OurDecoderRestoresEveryFrame) {
    const Input& c = GetParam();
    const auto input = c.make();
    const auto frames = lzxEncode(input, c.windowBits);
    ASSERT_EQ(frames.empty(), input.empty());

    BlockDecoder* decoder = createLzxDecoder(kHeap, c.windowBits);
    ASSERT_NE(decoder, nullptr);
    std::vector<uint8_t> output;
    for (size_t i = 0; i < frames.size(); ++i) {
        const EncodedFrame& f = frames[i];
        // One frame per data block: 32 KB each but the last, padded to 16 bits, within the
        // slack a decoder allows.
        if (i + 1 < frames.size()) {
            EXPECT_EQ(f.uncompressedSize, lzx::kFrameSize) << i;
        }
        EXPECT_GE(f.uncompressedSize, 1u);
        EXPECT_EQ(f.data.size() % 2, 0u) << "frame " << i;
        EXPECT_LE(f.data.size(), kMaxBlockInput);
        const size_t at = output.size();
        output.resize(at + f.uncompressedSize);
        ASSERT_EQ(decoder->decode(f.data.data(), static_cast<uint32_t>(f.data.size()),
                                  output.data() + at, f.uncompressedSize),
                  DecodeStatus::ok)
            << "frame " << i;
    }
    destroyDecoder(kHeap, decoder);
    EXPECT_TRUE(output == input) << "decoded output differs";
}

// Written through FCI as LZX:<window>, the cabinet must extract exactly with both peers.
TEST_P(LzxEncoderRoundTrip, PeersExtractTheCabinet) {
    const Input& c = GetParam();
    const auto input = c.make();
    cabtest::TempDir dir;
    const std::string source = dir.file("source.bin");
    cabtest::writeFile(source, input);
    std::filesystem::create_directories(dir.file("cab"));
    cabtest::FciSession fci(dir.file("cab"));
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.add(source, "data.bin", tcompTYPE_LZX | (c.windowBits << 8)))
        << fci.error.ErrorCode;
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());
    ASSERT_EQ(fci.cabinetsOpened.size(), 1u);
    const std::string cab = fci.cabinetsOpened.front();

    std::string output;
    EXPECT_EQ(cabtest::runCommand("cabextract -t '" + cab + "'", &output), 0) << output;
    ASSERT_EQ(
        cabtest::runCommand("cabextract -q -d '" + dir.file("c") + "' '" + cab + "'", &output), 0)
        << output;
    EXPECT_TRUE(cabtest::readWholeFile(dir.file("c/data.bin")) == input) << "cabextract";
    ASSERT_EQ(cabtest::runCommand("7zz x -y -o'" + dir.file("z") + "' '" + cab + "'", &output), 0)
        << output;
    EXPECT_TRUE(cabtest::readWholeFile(dir.file("z/data.bin")) == input) << "7zz";
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzxEncoderRoundTrip, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LzxEncoder, OutputDoesNotDependOnHowInputIsCut) {
    auto input = mixed();
    const auto text = textLike(1 << 20, 12);
    input.insert(input.end(), text.begin(), text.end());
    const auto whole = lzxEncode(input, 20, input.size());
    for (const size_t piece : {size_t{1}, size_t{4095}, size_t{32768}, size_t{100003}}) {
        const auto cut = lzxEncode(input, 20, piece);
        ASSERT_EQ(cut.size(), whole.size()) << piece;
        for (size_t i = 0; i < cut.size(); ++i) {
            EXPECT_TRUE(cut[i].data == whole[i].data) << "piece " << piece << " frame " << i;
        }
    }
}

TEST(LzxEncoder, ResetStartsAFreshFolder) {
    const auto first = textLike(100000, 7);
    const auto second = textLike(70000, 8);
    BlockEncoder* encoder = createLzxEncoder(kHeap, 17);
    ASSERT_NE(encoder, nullptr);
    EncodedBlock block;
    ASSERT_TRUE(encoder->write(first.data(), static_cast<uint32_t>(first.size())));
    // Some of the first folder stays unfinished and untaken when the folder is dropped.
    encoder->reset();
    ASSERT_TRUE(encoder->write(second.data(), static_cast<uint32_t>(second.size())));
    ASSERT_TRUE(encoder->finish());
    std::vector<std::vector<uint8_t>> frames;
    while (encoder->nextBlock(block))
        frames.emplace_back(block.data, block.data + block.compressedSize);
    destroyEncoder(kHeap, encoder);

    const auto fresh = lzxEncode(second, 17);
    ASSERT_EQ(frames.size(), fresh.size());
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(frames[i] == fresh[i].data) << i;
}

TEST(LzxEncoder, IncompressibleInputGrowsByLessThanHalfAPercent) {
    const auto input = randomBytes(2 << 20, 11);
    size_t total = 0;
    for (const auto& f : lzxEncode(input, 21)) total += f.data.size();
    EXPECT_LE(total, input.size() + input.size() / 200);
}

// Random data holding one copy of 5000 bytes at the window's far end: whatever the window,
// the copy is found and coded as a match rather than left as literals.
TEST(LzxEncoder, FindsACopyAtTheFarEndOfEveryWindow) {
    for (unsigned bits = lzx::kMinWindowBits; bits <= lzx::kMaxWindowBits; ++bits) {
        const auto input = farRepeat(bits);
        size_t total = 0;
        for (const auto& f : lzxEncode(input, bits)) total += f.data.size();
        EXPECT_LE(total + 4500, input.size()) << "window bits " << bits;
    }
}

TEST(LzxEncoder, RefusesWindowsOutsideTheFormat) {
    for (const unsigned bits : {0u, 14u, 22u, 32u})
        EXPECT_EQ(createLzxEncoder(kHeap, bits), nullptr);
}

// Whichever allocation is refused, creation fails cleanly and gives back what it took.
TEST(LzxEncoder, RefusedMemoryLeavesNothingBehind) {
    using testing::CountingHeap;
    int grants = 0;
    BlockEncoder* encoder = nullptr;
    Allocator heap;
    for (; grants < 64 && !encoder; ++grants) {
        heap = CountingHeap::granting(grants);
        encoder = createLzxEncoder(heap, 15);
        if (!encoder) {
            EXPECT_EQ(CountingHeap::live, 0) << grants << " grants";
        }
    }
    ASSERT_NE(encoder, nullptr);
    EXPECT_GT(grants, 1);
    const auto input = textLike(50000, 2);
    EXPECT_TRUE(encoder->write(input.data(), static_cast<uint32_t>(input.size())));
    EXPECT_TRUE(encoder->finish());
    destroyEncoder(heap, encoder);
    EXPECT_EQ(CountingHeap::live, 0);
}

struct CodeCase {
    const char* name;
    std::vector<uint32_t> freq;
    unsigned maxLength;
};

std::vector<uint32_t> fibonacci(size_t n) {
    std::vector<uint32_t> f{1, 1};
    while (f.size() < n) f.push_back(f[f.size() - 1] + f[f.size() - 2]);
    return f;
}

class HuffmanLengths : public ::testing::TestWithParam<CodeCase> {};

// Decoders accept only complete codes: the Kraft sum must be exactly one, within the limit.
TEST_P(HuffmanLengths, CompleteAndWithinTheLimit) {
    const CodeCase& c = GetParam();
    std::vector<uint8_t> lengths(c.freq.size());
    lzx::buildCodeLengths(c.freq.data(), static_cast<unsigned>(c.freq.size()), c.maxLength,
                          lengths.data());
    uint64_t kraft = 0;
    unsigned used = 0;
    for (size_t s = 0; s < lengths.size(); ++s) {
        EXPECT_LE(lengths[s], c.maxLength);
        if (c.freq[s]) {
            EXPECT_GT(lengths[s], 0) << "used symbol " << s << " has no code";
        }
        if (lengths[s]) {
            kraft += uint64_t{1} << (16 - lengths[s]);
            ++used;
        }
    }
    EXPECT_EQ(kraft, uint64_t{1} << 16);
    EXPECT_GE(used, 2u);
}

INSTANTIATE_TEST_SUITE_P(Codes, HuffmanLengths,
                         ::testing::Values(CodeCase{"Unused", std::vector<uint32_t>(20, 0), 15},
                                           CodeCase{"OneSymbol", {0, 0, 5, 0}, 15},
                                           CodeCase{"Fibonacci30At16", fibonacci(30), 16},
                                           CodeCase{"Fibonacci25At15", fibonacci(25), 15},
                                           CodeCase{"Fibonacci8At7", fibonacci(8), 7},
                                           CodeCase{"Skewed656",
                                                    [] {
                                                        std::vector<uint32_t> f(656, 1);
                                                        f[0] = 1u << 30;
                                                        return f;
                                                    }(),
                                                    16}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FinderCase {
    const char* name;
    unsigned windowBits;
    uint32_t distance;  // 0: the largest offset of the window
    uint32_t length;
    // The far table keeps one position per hash, so its copy may be found only a few bytes
    // in (the parser searches each of them); the trees find it at its first byte.
    uint32_t positionsSearched;
};

class MatchFinderTest : public ::testing::TestWithParam<FinderCase> {};

// A copy planted in random data is found at its distance and full length, the longest match
// last, whether the trees reach it or only the far table does.
TEST_P(MatchFinderTest, FindsThePlantedCopy) {
    const FinderCase& c = GetParam();
    const uint32_t distance = c.distance ? c.distance : (1u << c.windowBits) - 4;
    std::vector<uint8_t> data = randomBytes(distance + 600, 21);
    const uint32_t at = distance + 100;
    for (uint32_t i = 0; i < c.length; ++i) data[at + i] = data[at - distance + i];

    std::vector<uint32_t> head(lzx::MatchFinder::headEntries(c.windowBits)),
        nodes(lzx::MatchFinder::nodeEntries(c.windowBits));
    lzx::MatchFinder finder;
    finder.attach(head.data(), nodes.data(), c.windowBits);
    finder.clear();
    finder.setEffort(32, 32, 64);
    const uint32_t readable = static_cast<uint32_t>(data.size());
    for (uint32_t p = 0; p < at; ++p) finder.insert(data.data() + p, p, readable - p);
    lzx::Match matches[lzx::kMaxMatchesPerPosition];
    for (uint32_t p = at; p < at + c.positionsSearched; ++p) {
        const unsigned n = finder.find(data.data() + p, p, readable - p, 200, matches);
        for (unsigned m = 1; m < n; ++m) EXPECT_GT(matches[m].length, matches[m - 1].length);
        if (n == 0 || matches[n - 1].offset != distance) continue;
        EXPECT_EQ(matches[n - 1].length, std::min<uint32_t>(c.length - (p - at), 200));
        return;
    }
    ADD_FAILURE() << "no match at distance " << distance;
}

INSTANTIATE_TEST_SUITE_P(
    Copies, MatchFinderTest,
    ::testing::Values(FinderCase{"Near", 16, 1000, 20, 1}, FinderCase{"Short", 16, 777, 3, 1},
                      FinderCase{"LongerThanTheTreesCompare", 16, 30000, 150, 1},
                      FinderCase{"LongerThanReported", 16, 30000, 250, 1},
                      FinderCase{"Farthest", 16, 0, 40, 1},
                      FinderCase{"BeyondTheTrees", 21, (1u << lzx::kTreeBits) + 5000, 40, 8},
                      FinderCase{"FarthestOfTheLargestWindow", 21, 0, 40, 8}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cabinet
