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

const std::string kCorpus = PELMORA_SOURCE_DIR "/../shared/corpus/cabd/";

struct DecoderDeleter {
    void operator()(BlockDecoder* decoder) const { kHeap.destroy(decoder); }
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

}  // namespace
}  // namespace cabinet
