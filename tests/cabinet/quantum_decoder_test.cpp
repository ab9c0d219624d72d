#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/cab_reader.h"
#include "support/cabinet_image.h"
#include "support/folder_blocks.h"
#include "support/process_output.h"
#include "support/quantum_test_encoder.h"
#include "support/temp_folder.h"
#include "support/test_allocator.h"

namespace cabinet {
namespace {

using testing::cabinetImage;
using testing::commandOutput;
using testing::FolderBlocks;
using testing::kHeap;
using testing::readFolderBlocks;
using testing::shellQuote;

const std::string kCorpus = cabtest::corpusPath("cabd/");

struct DecoderDeleter {
    void operator()(BlockDecoder* decoder) const { destroyDecoder(kHeap, decoder); }
};
using DecoderPtr = std::unique_ptr<BlockDecoder, DecoderDeleter>;

DecoderPtr makeDecoder(unsigned windowBits) {
    return DecoderPtr(createQuantumDecoder(kHeap, windowBits));
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

const FolderBlocks* quantumFolder(const std::vector<FolderBlocks>& folders) {
    for (const auto& folder : folders)
        if ((folder.compression & 0xF) == 2) return &folder;
    return nullptr;
}

TEST(QuantumDecoderTest, CorpusFolderMatchesCabextract) {
    const std::string cab = kCorpus + "mszip_lzx_qtm.cab";
    auto folders = readFolderBlocks(cab);
    const FolderBlocks* folder = quantumFolder(folders);
    ASSERT_NE(folder, nullptr);
    auto decoder = makeDecoder(testing::quantumWindowBits(folder->compression));
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, *folder, decoded));

    bool ok = false;
    auto expected = commandOutput("cabextract -q -p -F qtm.txt " + shellQuote(cab), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(decoded, expected);
}

// Data with something for every part of the coder: text (short and long matches, literals of
// the lower byte ranges), random bytes (all four literal models), long runs (the longest
// matches) and copies of earlier data from up to a window and a quarter back (every position
// slot, and copies too far back for the window).
std::vector<uint8_t> sampleData(size_t size, uint32_t windowSize, unsigned seed) {
    static const char* const kWords[] = {"the ",    "wallpaper ", "theme ",  "pack ",
                                         "cabinet", "Quantum ",   "window ", "\r\n",
                                         "frame ",  "of ",        "a ",      "desktop "};
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    while (data.size() < size) {
        switch (random() % 8) {
            case 0:
            case 1:
            case 2:
                for (int i = 0, n = 1 + random() % 40; i < n; ++i) {
                    const char* word = kWords[random() % std::size(kWords)];
                    data.insert(data.end(), word, word + std::char_traits<char>::length(word));
                }
                break;
            case 3:
                for (int i = 0, n = 1 + random() % 300; i < n; ++i)
                    data.push_back(static_cast<uint8_t>(random()));
                break;
            case 4:
                data.insert(data.end(), 1 + random() % 700, static_cast<uint8_t>(random()));
                break;
            default:
                if (data.size() > 16) {
                    size_t back =
                        1 + random() % std::min<size_t>(data.size(), windowSize + windowSize / 4);
                    size_t from = data.size() - back;
                    for (size_t i = 0, n = 3 + random() % 300; i < n; ++i)
                        data.push_back(data[from + i]);
                }
        }
    }
    data.resize(size);
    return data;
}

using cabtest::TempFolder;

uint16_t quantumCompression(unsigned windowBits) {
    return static_cast<uint16_t>(2 | (4 << 4) | (windowBits << 8));
}

// Streams from the test encoder, checked twice: cabextract must read them back (so the encoder
// writes real Quantum), and so must our decoder.
class QuantumRoundTripTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(QuantumRoundTripTest, DecodesWhatCabextractDecodes) {
    const unsigned windowBits = GetParam();
    const uint32_t windowSize = uint32_t{1} << windowBits;
    const size_t size = std::max<size_t>(3 * 32768 + 1234, 2 * size_t{windowSize} + 4321);
    const std::vector<uint8_t> data = sampleData(size, windowSize, windowBits);
    FolderBlocks folder;
    folder.compression = quantumCompression(windowBits);
    folder.blocks = testing::quantumEncode(data, windowBits);

    TempFolder temp;
    std::string cab =
        temp.write("round.cab", cabinetImage(folder.blocks, folder.compression, "data.bin"));
    bool ok = false;
    auto extracted = commandOutput("cabextract -q -p " + shellQuote(cab), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(extracted == data) << "cabextract does not read the test encoder's stream";

    auto decoder = makeDecoder(windowBits);
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, folder, decoded));
    EXPECT_TRUE(decoded == data);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, QuantumRoundTripTest, ::testing::Range(10u, 22u));

// Streams built token by token, at the edges of what the format allows. The sound ones must
// decode to what cabextract makes of them; the others must be refused.
struct TokenStreamCase {
    const char* name;
    unsigned windowBits;
    void (*build)(testing::QuantumTokenEncoder& encoder, std::vector<testing::DataBlock>& blocks);
    bool sound;
};

void literals(testing::QuantumTokenEncoder& encoder, uint32_t count, unsigned seed) {
    std::mt19937 random(seed);
    for (uint32_t i = 0; i < count; ++i) encoder.literal(static_cast<uint8_t>(random()));
}

const TokenStreamCase kTokenStreams[] = {
    {"MatchesAsFarBackAsTheWindow", 10,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 1024, 1);
         for (int i = 0; i < 20; ++i) encoder.match(259, 1024);
         encoder.match(3, 1024);
         encoder.match(4, 1024);
         blocks.push_back(encoder.endFrame());
     },
     true},
    {"MatchReachingTheFolderStartFromALaterFrame", 16,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 32768 - 10, 2);
         encoder.match(10, 32768 - 10);
         blocks.push_back(encoder.endFrame());
         encoder.match(200, 32768);
         encoder.match(5, 32768 + 200);
         blocks.push_back(encoder.endFrame());
     },
     true},
    {"OverlappingMatchRepeatsItsSource", 12,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 3, 3);
         encoder.match(259, 3);
         encoder.match(259, 1);
         blocks.push_back(encoder.endFrame());
     },
     true},
    {"MatchBeforeAnyOutput", 15,
     [](auto& encoder, auto& blocks) {
         encoder.match(3, 1);
         blocks.push_back(encoder.endFrame());
     },
     false},
    {"MatchOneByteBeforeTheFolderStart", 16,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 32768, 4);
         blocks.push_back(encoder.endFrame());
         encoder.match(4, 32769);
         blocks.push_back(encoder.endFrame());
     },
     false},
    {"MatchPastTheEndOfTheFrame", 15,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 100, 5);
         encoder.match(50, 100);
         blocks.push_back(encoder.endFrame());
         blocks.back().uncompressedSize -= 1;
     },
     false},
    {"FrameCutShort", 16,
     [](auto& encoder, auto& blocks) {
         literals(encoder, 4000, 6);
         blocks.push_back(encoder.endFrame());
         blocks.back().data.resize(blocks.back().data.size() / 2);
     },
     false},
};

class QuantumTokenStreamTest : public ::testing::TestWithParam<TokenStreamCase> {};

TEST_P(QuantumTokenStreamTest, DecodesSoundStreamsAndRefusesTheOthers) {
    const TokenStreamCase& c = GetParam();
    testing::QuantumTokenEncoder encoder(c.windowBits);
    FolderBlocks folder;
    folder.compression = quantumCompression(c.windowBits);
    c.build(encoder, folder.blocks);

    auto decoder = makeDecoder(c.windowBits);
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    bool ok = decodeFolder(*decoder, folder, decoded);
    ASSERT_EQ(ok, c.sound);
    if (!c.sound) return;

    TempFolder temp;
    std::string cab =
        temp.write("edge.cab", cabinetImage(folder.blocks, folder.compression, "data.bin"));
    bool extractedOk = false;
    auto extracted = commandOutput("cabextract -q -p " + shellQuote(cab), &extractedOk);
    ASSERT_TRUE(extractedOk);
    EXPECT_TRUE(decoded == extracted);
}

INSTANTIATE_TEST_SUITE_P(Edges, QuantumTokenStreamTest, ::testing::ValuesIn(kTokenStreams),
                         [](const auto& info) { return std::string(info.param.name); });

// Blocks that end in null bytes after the frame's last code bits still decode: cabinets made
// by Microsoft's compressor carry up to four of them.
TEST(QuantumDecoderTest, IgnoresBytesAfterTheFrame) {
    const std::vector<uint8_t> data = sampleData(70000, 1u << 16, 7);
    FolderBlocks folder;
    folder.blocks = testing::quantumEncode(data, 16);
    for (auto& block : folder.blocks) block.data.insert(block.data.end(), 4, 0);
    auto decoder = makeDecoder(16);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, folder, decoded));
    EXPECT_TRUE(decoded == data);
}

// Cabinets that once hung or crashed other readers.
class QuantumHostileCorpusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(QuantumHostileCorpusTest, RefusesTheFolderWithoutTouchingMemoryAroundTheOutput) {
    auto folders = readFolderBlocks(kCorpus + GetParam());
    const FolderBlocks* folder = quantumFolder(folders);
    ASSERT_NE(folder, nullptr);
    auto decoder = makeDecoder(testing::quantumWindowBits(folder->compression));
    ASSERT_TRUE(decoder);
    bool refused = false;
    for (const auto& block : folder->blocks) {
        constexpr size_t kGuard = 64;
        std::vector<uint8_t> out(block.uncompressedSize + 2 * kGuard, 0xA5);
        DecodeStatus status =
            decoder->decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                            out.data() + kGuard, block.uncompressedSize);
        for (size_t i = 0; i < kGuard; ++i) {
            ASSERT_EQ(out[i], 0xA5);
            ASSERT_EQ(out[out.size() - 1 - i], 0xA5);
        }
        if (status == DecodeStatus::corrupt) refused = true;
    }
    EXPECT_TRUE(refused);
}

INSTANTIATE_TEST_SUITE_P(Corpus, QuantumHostileCorpusTest,
                         ::testing::Values("cve-2014-9556-qtm-infinite-loop.cab",
                                           "cve-2018-18584-qtm-max-size-block.cab"));

}  // namespace
}  // namespace cabinet

namespace cabinet {
namespace {

struct FactoryCase {
    const char* name;
    unsigned windowBits;
    int grants;  // allocations the heap allows
    bool created;
};

class QuantumFactoryTest : public ::testing::TestWithParam<FactoryCase> {};

TEST_P(QuantumFactoryTest, CreatesOnlyForValidWindowsAndReturnsAllMemory) {
    const FactoryCase& c = GetParam();
    Allocator heap = testing::CountingHeap::granting(c.grants);
    BlockDecoder* decoder = createQuantumDecoder(heap, c.windowBits);
    EXPECT_EQ(decoder != nullptr, c.created);
    destroyDecoder(heap, decoder);
    EXPECT_EQ(testing::CountingHeap::live, 0);
}

INSTANTIATE_TEST_SUITE_P(Parameters, QuantumFactoryTest,
                         ::testing::Values(FactoryCase{"SmallestWindow", 10, 100, true},
                                           FactoryCase{"LargestWindow", 21, 100, true},
                                           FactoryCase{"WindowTooSmall", 9, 100, false},
                                           FactoryCase{"WindowTooLarge", 22, 100, false},
                                           FactoryCase{"NoMemory", 15, 0, false},
                                           FactoryCase{"MemoryForTheWindowOnly", 15, 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CallCase {
    const char* name;
    bool nullInput;
    uint32_t outSize;
};

class QuantumCallTest : public ::testing::TestWithParam<CallCase> {};

TEST_P(QuantumCallTest, RefusesBlocksOutsideTheInterface) {
    const CallCase& c = GetParam();
    const std::vector<uint8_t> data = sampleData(1000, 1u << 15, 9);
    auto blocks = testing::quantumEncode(data, 15);
    auto decoder = makeDecoder(15);
    std::vector<uint8_t> out(kMaxBlockOutput + 1);
    EXPECT_EQ(decoder->decode(c.nullInput ? nullptr : blocks[0].data.data(),
                              static_cast<uint32_t>(blocks[0].data.size()), out.data(), c.outSize),
              DecodeStatus::corrupt);
}

INSTANTIATE_TEST_SUITE_P(Calls, QuantumCallTest,
                         ::testing::Values(CallCase{"NoOutput", false, 0},
                                           CallCase{"MoreThanAFrame", false, kMaxBlockOutput + 1},
                                           CallCase{"InputMissing", true, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

// A refused block leaves the folder's history unusable; reset() starts clean, with fresh
// models, so the same folder decodes the same way every time.
TEST(QuantumDecoderTest, ResetStartsANewFolderAfterARefusal) {
    const std::vector<uint8_t> data = sampleData(70000, 1u << 16, 11);
    FolderBlocks folder;
    folder.blocks = testing::quantumEncode(data, 16);
    auto decoder = makeDecoder(16);

    FolderBlocks damaged = folder;
    damaged.blocks[0].data.resize(damaged.blocks[0].data.size() / 2);
    std::vector<uint8_t> decoded;
    EXPECT_FALSE(decodeFolder(*decoder, damaged, decoded));
    decoded.clear();
    EXPECT_FALSE(decodeFolder(*decoder, folder, decoded)) << "decoded on from a refused block";

    for (int pass = 0; pass < 2; ++pass) {
        decoder->reset();
        decoded.clear();
        ASSERT_TRUE(decodeFolder(*decoder, folder, decoded));
        EXPECT_TRUE(decoded == data) << "pass " << pass;
    }
}

// Damaged copies of a sound folder (bytes changed, blocks cut short or lengthened): whatever
// the decoder answers, it writes nothing outside the block's output and returns.
TEST(QuantumDecoderTest, DamagedStreamsNeverWriteOutsideTheOutput) {
    const std::vector<uint8_t> data = sampleData(3 * 32768 + 500, 1u << 15, 13);
    const auto blocks = testing::quantumEncode(data, 15);
    std::mt19937 random(17);
    auto decoder = makeDecoder(15);
    int refused = 0;
    for (int trial = 0; trial < 150; ++trial) {
        auto damaged = blocks;
        auto& victim = damaged[random() % damaged.size()].data;
        switch (trial % 3) {
            case 0:
                for (int i = 0, n = 1 + random() % 8; i < n; ++i)
                    victim[random() % victim.size()] ^= static_cast<uint8_t>(1 + random() % 255);
                break;
            case 1:
                victim.resize(random() % victim.size());
                break;
            default:
                for (int i = 0, n = 1 + random() % 64; i < n; ++i)
                    victim.push_back(static_cast<uint8_t>(random()));
        }
        decoder->reset();
        for (const auto& block : damaged) {
            constexpr size_t kGuard = 64;
            std::vector<uint8_t> out(block.uncompressedSize + 2 * kGuard, 0x5A);
            DecodeStatus status =
                decoder->decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                                out.data() + kGuard, block.uncompressedSize);
            for (size_t i = 0; i < kGuard; ++i) {
                ASSERT_EQ(out[i], 0x5A) << "trial " << trial;
                ASSERT_EQ(out[out.size() - 1 - i], 0x5A) << "trial " << trial;
            }
            if (status == DecodeStatus::corrupt) {
                ++refused;
                break;
            }
        }
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace cabinet
