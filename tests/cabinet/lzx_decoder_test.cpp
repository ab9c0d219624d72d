#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/folder_blocks.h"
#include "support/process_output.h"
#include "support/test_allocator.h"

namespace cabinet {
namespace {

using testing::commandOutput;
using testing::FolderBlocks;
using testing::kHeap;
using testing::readFolderBlocks;
using testing::shellQuote;

const std::string kCorpus = PELMORA_SOURCE_DIR "/../shared/corpus/";

struct DecoderDeleter {
    void operator()(BlockDecoder* decoder) const { kHeap.destroy(decoder); }
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

}  // namespace
}  // namespace cabinet
