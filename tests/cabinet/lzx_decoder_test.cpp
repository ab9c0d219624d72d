#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/cab_reader.h"
#include "support/cabinet_image.h"
#include "support/folder_blocks.h"
#include "support/lzx_test_stream.h"
#include "support/process_output.h"
#include "support/temp_folder.h"
#include "support/test_allocator.h"

namespace cabinet {
namespace {

using testing::commandOutput;
using testing::DataBlock;
using testing::FolderBlocks;
using testing::kHeap;
using testing::LzxTestStream;
using testing::LzxToken;
using Shape = LzxTestStream::TreeShape;
using testing::readFolderBlocks;
using testing::shellQuote;

const std::string kCorpus = cabtest::corpusPath("");

struct DecoderDeleter {
    void operator()(BlockDecoder* decoder) const { destroyDecoder(kHeap, decoder); }
};
using DecoderPtr = std::unique_ptr<BlockDecoder, DecoderDeleter>;

DecoderPtr makeDecoder(unsigned windowBits) {
    return DecoderPtr(createLzxDecoder(kHeap, windowBits));
}

unsigned lzxWindowBits(uint16_t compression) {
    return (compression >> 8) & 0x1F;
}

const FolderBlocks* lzxFolder(const std::vector<FolderBlocks>& folders) {
    for (const auto& folder : folders)
        if ((folder.compression & 0xF) == 3) return &folder;
    return nullptr;
}

// Decodes a whole folder; false at the first block the decoder rejects.
bool decodeFolder(BlockDecoder& decoder, const FolderBlocks& folder, std::vector<uint8_t>& out) {
    for (const auto& block : folder.blocks) {
        size_t at = out.size();
        out.resize(at + block.uncompressedSize);
        if (decoder.decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                           out.data() + at, block.uncompressedSize) != DecodeStatus::ok)
            return false;
    }
    return true;
}

TEST(LzxDecoderTest, RefusesWindowSizesOutsideTheFormat) {
    for (unsigned bits : {0u, 14u, 22u, 31u}) EXPECT_EQ(createLzxDecoder(kHeap, bits), nullptr);
    EXPECT_EQ(createLzxDecoder(testing::kRefusing, 15), nullptr);
    for (unsigned bits = 15; bits <= 21; ++bits) EXPECT_TRUE(makeDecoder(bits)) << bits;
}

// Real Microsoft streams: the LZX folder of each cabinet decodes to what cabextract extracts
// from it (the folder's files, in folder order).
struct CorpusCase {
    const char* cabinet;
    const char* files;  // cabextract -F pattern matching the folder's files
};

class LzxCorpusTest : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(LzxCorpusTest, FolderMatchesCabextract) {
    const std::string cab = kCorpus + GetParam().cabinet;
    auto folders = readFolderBlocks(cab);
    const FolderBlocks* folder = lzxFolder(folders);
    ASSERT_NE(folder, nullptr);
    auto decoder = makeDecoder(lzxWindowBits(folder->compression));
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, *folder, decoded));

    bool ok = false;
    auto expected = commandOutput(
        "cabextract -q -p -F " + shellQuote(GetParam().files) + " " + shellQuote(cab), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected);

    // reset() starts the folder afresh: a second pass gives the same bytes.
    decoder->reset();
    std::vector<uint8_t> again;
    ASSERT_TRUE(decodeFolder(*decoder, *folder, again));
    EXPECT_TRUE(again == decoded);
}

INSTANTIATE_TEST_SUITE_P(MicrosoftCabinets, LzxCorpusTest,
                         ::testing::Values(CorpusCase{"cabd/mszip_lzx_qtm.cab", "lzx.txt"},
                                           CorpusCase{"cabd/normal_2files_2folders.cab",
                                                      "lzx*.txt"},
                                           CorpusCase{"large/large-files-cab.cab", "*"}));

// Damaged streams end in a clear error at some block, never a crash or an overrun (the
// sanitizer build checks the latter).
class LzxDamagedCorpusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LzxDamagedCorpusTest, IsRejectedAsCorrupt) {
    auto folders = readFolderBlocks(kCorpus + GetParam());
    const FolderBlocks* folder = lzxFolder(folders);
    ASSERT_NE(folder, nullptr);
    auto decoder = makeDecoder(lzxWindowBits(folder->compression));
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    EXPECT_FALSE(decodeFolder(*decoder, *folder, decoded));
}

INSTANTIATE_TEST_SUITE_P(BrokenCabinets, LzxDamagedCorpusTest,
                         ::testing::Values("cabd/lzx-main-tree-no-lengths.cab",
                                           "cabd/lzx-premature-matches.cab",
                                           "cabd/cve-2015-4471-lzx-under-read.cab"));

// Decodes data blocks with a fresh decoder; false at the first block it rejects.
bool decodeBlocks(unsigned windowBits, const std::vector<DataBlock>& blocks,
                  std::vector<uint8_t>& out) {
    auto decoder = makeDecoder(windowBits);
    FolderBlocks folder;
    folder.blocks = blocks;
    return decoder && decodeFolder(*decoder, folder, out);
}

using cabtest::TempFolder;

// What cabextract extracts from a one-file LZX cabinet made of `blocks`.
std::vector<uint8_t> cabextractOutput(unsigned windowBits, const std::vector<DataBlock>& blocks) {
    TempFolder temp;
    const auto compression = static_cast<uint16_t>(3 | (windowBits << 8));
    const std::string cab =
        temp.write("stream.cab", testing::cabinetImage(blocks, compression, "data.bin"));
    bool ok = false;
    auto output = commandOutput("cabextract -q -p " + shellQuote(cab), &ok);
    EXPECT_TRUE(ok) << "cabextract rejects the test stream";
    return output;
}

// Writes tokens while keeping the bytes they stand for and the repeated offsets, the way
// a decoder sees them.
class Script {
public:
    std::vector<LzxToken> tokens;
    std::vector<uint8_t>& data;
    uint32_t r[3] = {1, 1, 1};

    explicit Script(std::vector<uint8_t>& out) : data(out) {}
    void text(const std::string& s) {
        for (char c : s) literal(static_cast<uint8_t>(c));
    }
    void literal(uint8_t byte) {
        tokens.push_back(LzxToken::literal(byte));
        data.push_back(byte);
    }
    void randomLiterals(size_t n, unsigned seed) {
        std::mt19937 random(seed);
        for (size_t i = 0; i < n; ++i) literal(static_cast<uint8_t>(random()));
    }
    void match(uint32_t length, uint32_t offset) {
        tokens.push_back(LzxToken::match(length, offset));
        r[2] = r[1];
        r[1] = r[0];
        r[0] = offset;
        copy(length, offset);
    }
    void repeat(uint32_t length, int which) {
        tokens.push_back(LzxToken::repeat(length, which));
        uint32_t offset = r[which];
        r[which] = r[0];
        r[0] = offset;
        copy(length, offset);
    }
    std::vector<LzxToken> take() { return std::exchange(tokens, {}); }

private:
    void copy(uint32_t length, uint32_t offset) {
        for (uint32_t i = 0; i < length; ++i) data.push_back(data[data.size() - offset]);
    }
};

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// Streams that each exercise a feature; the intended bytes are checked against cabextract
// (so the stream is real LZX) and against our decoder.
struct StreamCase {
    const char* name;
    unsigned windowBits;
    std::function<void(LzxTestStream&, std::vector<uint8_t>&)> build;
};

class LzxStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(LzxStreamTest, DecodesLikeCabextract) {
    const StreamCase& c = GetParam();
    LzxTestStream stream(c.windowBits);
    std::vector<uint8_t> intended;
    c.build(stream, intended);
    const auto blocks = stream.blocks();
    ASSERT_EQ(stream.outputSize(), intended.size());

    EXPECT_TRUE(cabextractOutput(c.windowBits, blocks) == intended);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeBlocks(c.windowBits, blocks, decoded));
    EXPECT_TRUE(decoded == intended);
}

// Every match length band, the three repeated offsets and offsets up to the window's reach.
void everyMatchKind(LzxTestStream& stream, std::vector<uint8_t>& data, bool aligned) {
    Script s(data);
    s.text("abcabcabcabc wallpaper theme pack ");
    s.match(2, 3);    // shortest
    s.match(8, 13);   // longest without the length tree
    s.match(9, 17);   // shortest through the length tree
    s.match(257, 1);  // longest, a run of one byte
    s.text("xyz");
    s.match(40, 5);   // overlapping, period 5
    s.repeat(30, 1);  // R1 = 1
    s.repeat(12, 2);  // R2 = 13
    s.repeat(11, 0);  // R0 again
    s.randomLiterals(40000, 1);
    s.match(100, 1000);
    s.match(200, 39999);
    s.repeat(20, 1);
    stream.compressedBlock(aligned, s.take());
    s.match(257, 28000);
    s.text("end");
    stream.compressedBlock(!aligned, s.take());
}

INSTANTIATE_TEST_SUITE_P(
    Features, LzxStreamTest,
    ::testing::Values(StreamCase{"VerbatimMatches", 16,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     everyMatchKind(stream, data, false);
                                 }},
                      StreamCase{"AlignedOffsetMatches", 16,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     everyMatchKind(stream, data, true);
                                 }},
                      StreamCase{"FarthestOffsetOfSmallestWindow", 15,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     Script s(data);
                                     s.randomLiterals(33000, 2);
                                     s.match(200, 32765);
                                     stream.compressedBlock(false, s.take());
                                 }},
                      StreamCase{"TreesChangeBetweenBlocks", 21,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     Script s(data);
                                     s.text("the same words, the same words, the same words");
                                     stream.compressedBlock(false, s.take());
                                     s.match(30, 16);
                                     s.repeat(40, 0);
                                     stream.compressedBlock(false, s.take(), Shape::shortCodesLast);
                                     s.match(100, 45);
                                     stream.compressedBlock(true, s.take(), Shape::shortCodesFirst);
                                 }},
                      StreamCase{"UncompressedOddBlockThenCompressed", 17,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     Script s(data);
                                     s.text("lead-in before the stored bytes ");
                                     stream.compressedBlock(false, s.take());
                                     auto raw = randomBytes(101, 3);
                                     stream.uncompressedBlock(raw, {7, 50, 101});
                                     data.insert(data.end(), raw.begin(), raw.end());
                                     s.r[0] = 7, s.r[1] = 50, s.r[2] = 101;
                                     s.repeat(20, 0);  // offsets taken from the uncompressed block
                                     s.repeat(20, 2);
                                     s.repeat(20, 1);
                                     stream.compressedBlock(false, s.take());
                                 }},
                      StreamCase{"UncompressedBlocksAcrossFrames", 18,
                                 [](LzxTestStream& stream, std::vector<uint8_t>& data) {
                                     Script s(data);
                                     auto raw = randomBytes(70001, 4);
                                     stream.uncompressedBlock(raw);
                                     data.insert(data.end(), raw.begin(), raw.end());
                                     auto more = randomBytes(40000, 5);
                                     stream.uncompressedBlock(more, {70001, 3, 4});
                                     data.insert(data.end(), more.begin(), more.end());
                                     s.r[0] = 70001, s.r[1] = 3, s.r[2] = 4;
                                     s.repeat(257, 0);
                                     s.text("tail");
                                     stream.compressedBlock(false, s.take());
                                 }}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return info.param.name; });

// E8 call translation: x86 call instructions across three frames, some in the last ten bytes
// of a frame (left alone), sent as stored bytes under a stream header that asks for the
// translation to be undone. cabextract is the judge of the result.
TEST(LzxDecoderTest, UndoesCallTranslationLikeCabextract) {
    constexpr unsigned kWindowBits = 16;
    std::vector<uint8_t> raw = randomBytes(3 * 32768 + 500, 6);
    auto call = [&](size_t at, uint32_t value) {
        raw[at] = 0xE8;
        for (int i = 0; i < 4; ++i) raw[at + 1 + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    for (size_t at = 16; at + 5 < raw.size(); at += 97) call(at, static_cast<uint32_t>(at * 7));
    call(100, 0xFFFFFF00);        // negative, within reach
    call(32768 - 8, 1000);        // inside the last ten bytes of the first frame
    call(2 * 32768 - 10, 12345);  // first byte of the untouched tail
    call(2 * 32768 - 11, 5000);   // last byte that is translated

    LzxTestStream stream(kWindowBits, 2000000);
    stream.uncompressedBlock(raw);
    const auto blocks = stream.blocks();
    const auto expected = cabextractOutput(kWindowBits, blocks);
    ASSERT_EQ(expected.size(), raw.size());
    ASSERT_FALSE(expected == raw) << "the stream translates nothing";

    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeBlocks(kWindowBits, blocks, decoded));
    EXPECT_TRUE(decoded == expected);
}

// Frames shorter than 32 KB in mid-folder (not what cabinets carry, but nothing forbids the
// caller) leave the ring out of step with the frames; history must survive the realignment,
// including matches that reach back nearly a whole window across it.
TEST(LzxDecoderTest, ShortFramesKeepTheWholeWindow) {
    constexpr unsigned kWindowBits = 15;
    LzxTestStream stream(kWindowBits, 0, 1000);
    std::vector<uint8_t> intended;
    Script s(intended);
    s.randomLiterals(33000, 9);
    for (unsigned round = 0; round < 8; ++round) {
        s.randomLiterals(20000, 10 + round);
        s.match(257, 32765);
        s.match(100, 31000 + round);
        s.repeat(50, 1);
        stream.compressedBlock(round % 2 == 1, s.take());
    }
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeBlocks(kWindowBits, stream.blocks(), decoded));
    EXPECT_TRUE(decoded == intended);
}

// Hostile or broken streams: each must end in DecodeStatus::corrupt.
struct CorruptCase {
    const char* name;
    unsigned windowBits;
    std::function<std::vector<DataBlock>()> build;
};

class LzxCorruptStreamTest : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(LzxCorruptStreamTest, IsRejected) {
    const CorruptCase& c = GetParam();
    std::vector<uint8_t> decoded;
    EXPECT_FALSE(decodeBlocks(c.windowBits, c.build(), decoded));
}

std::vector<DataBlock> compressed(unsigned windowBits, const std::vector<LzxToken>& tokens,
                                  Shape shape = Shape::shortCodesFirst) {
    LzxTestStream stream(windowBits);
    stream.compressedBlock(false, tokens, shape);
    return stream.blocks();
}

std::vector<DataBlock> blockOfType(unsigned type) {
    LzxTestStream stream(15);
    stream.bits(type, 3);
    stream.bits(100, 24);
    stream.bits(0, 32);
    return {stream.singleBlock(100)};
}

INSTANTIATE_TEST_SUITE_P(
    Damage, LzxCorruptStreamTest,
    ::testing::Values(
        CorruptCase{"MatchBeforeFolderStart", 15,
                    [] {
                        return compressed(15, {LzxToken::literal('a'), LzxToken::literal('b'),
                                               LzxToken::match(5, 3)});
                    }},
        CorruptCase{"RepeatedOffsetWithNoHistory", 15,
                    [] { return compressed(15, {LzxToken::repeat(4, 0)}); }},
        CorruptCase{"MatchBeyondFrameEnd", 15,
                    [] {
                        std::vector<LzxToken> tokens(100, LzxToken::literal('q'));
                        tokens.push_back(LzxToken::match(50, 1));
                        auto blocks = compressed(15, tokens);
                        blocks.back().uncompressedSize = 120;
                        return blocks;
                    }},
        CorruptCase{"OversubscribedMainTree", 21,
                    [] { return compressed(21, {LzxToken::literal('a')}, Shape::oversubscribed); }},
        CorruptCase{"BlockTypeZero", 15, [] { return blockOfType(0); }},
        CorruptCase{"BlockTypeSeven", 15, [] { return blockOfType(7); }},
        CorruptCase{"PretreeRunPastTreeEnd", 15,
                    [] {
                        LzxTestStream stream(15);
                        stream.bits(1, 3);  // verbatim
                        stream.bits(10, 24);
                        for (int i = 0; i < 20; ++i) stream.bits(5, 4);
                        for (int i = 0; i < 250; ++i) stream.bits(0, 5);
                        stream.bits(18, 5);  // 20 or more zeros: past symbol 255
                        stream.bits(0, 5);
                        stream.bits(0, 32);
                        return std::vector<DataBlock>{stream.singleBlock(10)};
                    }},
        CorruptCase{"UncompressedBlockCutShort", 15,
                    [] {
                        LzxTestStream stream(15);
                        stream.uncompressedBlock(randomBytes(100, 7));
                        auto blocks = stream.blocks();
                        blocks[0].data.resize(blocks[0].data.size() - 60);
                        return blocks;
                    }},
        CorruptCase{"RepeatedOffsetBeyondWindow", 15,
                    [] {
                        LzxTestStream stream(15);
                        stream.uncompressedBlock(randomBytes(100, 8), {1u << 20, 1, 1});
                        return stream.blocks();
                    }},
        CorruptCase{"CompressedDataCutShort", 16,
                    [] {
                        std::vector<LzxToken> tokens;
                        for (int i = 0; i < 3000; ++i)
                            tokens.push_back(LzxToken::literal(static_cast<uint8_t>(i * 7)));
                        auto blocks = compressed(16, tokens);
                        blocks[0].data.resize(blocks[0].data.size() / 2);
                        return blocks;
                    }}),
    [](const ::testing::TestParamInfo<CorruptCase>& info) { return info.param.name; });

}  // namespace
}  // namespace cabinet
