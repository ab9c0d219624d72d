#include "checksum.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/cab_reader.h"

namespace {

using cabinet::cabChecksum;

struct ChecksumCase {
    std::vector<uint8_t> data;
    uint32_t expected;
};

class ChecksumTest : public ::testing::TestWithParam<ChecksumCase> {};

// Whole words are little-endian; a short tail is read with its first byte highest.
TEST_P(ChecksumTest, FoldsWordsAndTail) {
    const auto& c = GetParam();
    EXPECT_EQ(cabChecksum(c.data.data(), c.data.size(), 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ChecksumTest,
    ::testing::Values(ChecksumCase{{}, 0}, ChecksumCase{{0x01}, 0x01},
                      ChecksumCase{{0x01, 0x02}, 0x0102},
                      ChecksumCase{{0x01, 0x02, 0x03}, 0x010203},
                      ChecksumCase{{0x01, 0x02, 0x03, 0x04}, 0x04030201},
                      ChecksumCase{{0x01, 0x02, 0x03, 0x04, 0x05}, 0x04030201 ^ 0x05},
                      ChecksumCase{{1, 2, 3, 4, 1, 2, 3, 4}, 0},
                      ChecksumCase{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
                                   0x04030201u ^ 0x08070605u ^ 0x0C0B0A09u ^ 0x0D0E}));

TEST(ChecksumTest, SeedIsFoldedIn) {
    const uint8_t data[] = {0x10, 0x20, 0x30, 0x40};
    EXPECT_EQ(cabChecksum(data, 4, 0xFFFFFFFF), 0x40302010u ^ 0xFFFFFFFFu);
}

class CorpusChecksumTest : public ::testing::TestWithParam<const char*> {};

// Blocks written by other cabinet makers carry checksums this code must reproduce.
TEST_P(CorpusChecksumTest, MatchesStoredBlockChecksums) {
    std::string path = cabtest::corpusPath(GetParam());
    auto cab = cabtest::parseCabinetFile(path);
    int checked = 0;
    for (unsigned f = 0; f < cab.folders.size(); ++f) {
        for (const auto& block : cabtest::readFolderBlocks(path, f)) {
            if (block.checksum == 0) continue;
            uint8_t sizes[4] = {static_cast<uint8_t>(block.data.size()),
                                static_cast<uint8_t>(block.data.size() >> 8),
                                static_cast<uint8_t>(block.uncompressedSize),
                                static_cast<uint8_t>(block.uncompressedSize >> 8)};
            EXPECT_EQ(cabinet::dataBlockChecksum(block.data.data(), block.data.size(), sizes),
                      block.checksum)
                << GetParam() << " folder " << f;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0) << "no checksummed block in " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusChecksumTest,
                         ::testing::Values("cabd/mszip_lzx_qtm.cab",
                                           "cabd/normal_2files_1folder.cab",
                                           "cabd/normal_2files_2folders.cab",
                                           "large/large-files-cab.cab"));

}  // namespace
