#include "cab_format.h"

#include <gtest/gtest.h>

#include <string>

#include "support/cab_reader.h"

namespace {

using cabinet::ParseStatus;

struct ReserveCase {
    const char* file;
    bool header, folder, data;  // which reserved areas the cabinet's name announces
};

class ReserveTest : public ::testing::TestWithParam<ReserveCase> {};

// Reserved areas shift every record after them; the members must still come out right.
TEST_P(ReserveTest, SkipsReservedAreas) {
    const auto& c = GetParam();
    auto cab = cabtest::parseCabinetFile(cabtest::corpusPath(std::string("cabd/") + c.file));
    EXPECT_EQ(cab.header.headerReserveSize != 0, c.header);
    EXPECT_EQ(cab.header.folderReserveSize != 0, c.folder);
    EXPECT_EQ(cab.header.dataReserveSize != 0, c.data);
    ASSERT_EQ(cab.files.size(), 2u);
    EXPECT_STREQ(cab.files[0].name, "test1.txt");
    EXPECT_STREQ(cab.files[1].name, "test2.txt");
    ASSERT_EQ(cab.folders.size(), 1u);
    EXPECT_EQ(cab.folders[0].compression, tcompTYPE_NONE);
    auto blocks = cabtest::readFolderBlocks(cabtest::corpusPath(std::string("cabd/") + c.file), 0);
    uint32_t total = 0;
    for (const auto& b : blocks) total += b.uncompressedSize;
    EXPECT_EQ(total, cab.files[0].size + cab.files[1].size);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReserveTest,
                         ::testing::Values(ReserveCase{"reserve_---.cab", false, false, false},
                                           ReserveCase{"reserve_--D.cab", false, false, true},
                                           ReserveCase{"reserve_-F-.cab", false, true, false},
                                           ReserveCase{"reserve_-FD.cab", false, true, true},
                                           ReserveCase{"reserve_H--.cab", true, false, false},
                                           ReserveCase{"reserve_H-D.cab", true, false, true},
                                           ReserveCase{"reserve_HF-.cab", true, true, false},
                                           ReserveCase{"reserve_HFD.cab", true, true, true}));

TEST(CabFormatTest, ReadsSetNamesAndContinuedFolders) {
    auto cab = cabtest::parseCabinetFile(cabtest::corpusPath("cabd/multi_basic_pt2.cab"));
    EXPECT_TRUE(cab.header.hasPrev());
    EXPECT_TRUE(cab.header.hasNext());
    EXPECT_STREQ(cab.header.prevCabinet, "cabd_multi_basic_pt1.cab");
    EXPECT_STREQ(cab.header.nextCabinet, "cabd_multi_basic_pt3.cab");
    EXPECT_EQ(cab.header.cabinetIndex, 1);
    ASSERT_EQ(cab.files.size(), 3u);
    for (const auto& f : cab.files) EXPECT_EQ(f.folder, cabinet::kFolderContinuedPrevAndNext);
}

// Every proper prefix of a good cabinet's directory is reported as truncated, never as good
// and never read past its end.
TEST(CabFormatTest, PrefixesOfADirectoryAreTruncated) {
    auto bytes = cabtest::readWholeFile(cabtest::corpusPath("cabd/reserve_HFD.cab"));
    size_t end = 0;
    ASSERT_EQ(cabinet::measureCabDirectory(bytes.data(), bytes.size(), end), ParseStatus::ok);
    for (size_t n = 4; n < end; ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);  // exact size for ASan
        size_t ignored = 0;
        EXPECT_EQ(cabinet::measureCabDirectory(prefix.data(), prefix.size(), ignored),
                  ParseStatus::truncated)
            << "prefix of " << n << " bytes";
    }
}

struct StatusCase {
    std::vector<uint8_t> bytes;
    ParseStatus expected;
};

class HeaderStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(HeaderStatusTest, ClassifiesHeaders) {
    const auto& c = GetParam();
    cabinet::CabHeader header;
    EXPECT_EQ(cabinet::parseCabHeader(c.bytes.data(), c.bytes.size(), header), c.expected);
}

std::vector<uint8_t> headerWith(uint8_t versionMajor, uint16_t flags, size_t tail = 0) {
    std::vector<uint8_t> h(36 + tail, 0);
    h[0] = 'M', h[1] = 'S', h[2] = 'C', h[3] = 'F';
    h[24] = 3, h[25] = versionMajor;
    h[30] = static_cast<uint8_t>(flags), h[31] = static_cast<uint8_t>(flags >> 8);
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HeaderStatusTest,
    ::testing::Values(StatusCase{{'M', 'S', 'C'}, ParseStatus::truncated},
                      StatusCase{{'M', 'S', 'C', 'G', 0, 0}, ParseStatus::notCabinet},
                      StatusCase{headerWith(1, 0), ParseStatus::ok},
                      StatusCase{headerWith(2, 0), ParseStatus::badVersion},
                      StatusCase{headerWith(1, cabinet::kCabFlagReservePresent),
                                 ParseStatus::truncated},
                      // a next-cabinet name with no terminator within 256 bytes
                      StatusCase{[] {
                                     auto h = headerWith(1, cabinet::kCabFlagNextCabinet, 300);
                                     for (size_t i = 36; i < h.size(); ++i) h[i] = 'a';
                                     return h;
                                 }(),
                                 ParseStatus::corrupt}));

}  // namespace
