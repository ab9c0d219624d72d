// Picture widths from the headers alone, for the forms the Spotlight cache holds and for
// damaged or foreign files, which must answer -1 rather than a width read from noise.
#include "spotlight/picture_width.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/scratch_folder.h"

namespace {

std::string bigEndian16(int value) {
    return {char(value >> 8), char(value & 0xFF)};
}

// A JPEG start: start of image, an application segment, then a frame header.
std::string jpegHeader(int width, int height, char frameMarker = '\xC0') {
    return std::string("\xFF\xD8", 2) + "\xFF\xE0" + bigEndian16(16) + "JFIF" +
           std::string(10, '\0') + "\xFF\xFF" + frameMarker + bigEndian16(17) + '\x08' +
           bigEndian16(height) + bigEndian16(width) + std::string(10, '\x01');
}

std::string pngHeader(uint32_t width) {
    std::string bytes("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((width >> shift) & 0xFF);
    return bytes + std::string("\0\0\x04\x38\x08\x02\0\0\0", 9);
}

struct WidthCase {
    const char* title;
    std::string bytes;
    int width;
};

class PictureWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(PictureWidthTest, ReadsTheHeader) {
    ScratchFolder scratch;
    const auto file = scratch.writeFile("picture", GetParam().bytes);
    EXPECT_EQ(PictureWidth(file), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureWidthTest,
    ::testing::Values(
        WidthCase{"JpegBaseline", jpegHeader(1920, 1080), 1920},
        WidthCase{"JpegProgressive", jpegHeader(1080, 1920, '\xC2'), 1080},
        // Huffman tables (C4) come before the frame and are no frame themselves.
        WidthCase{"JpegTablesFirst",
                  std::string("\xFF\xD8\xFF\xC4", 4) + bigEndian16(6) + "abcd" +
                      jpegHeader(1366, 768).substr(2),
                  1366},
        WidthCase{"Png", pngHeader(1920), 1920}, WidthCase{"PngHuge", pngHeader(0x80000000u), -1},
        WidthCase{"JpegCutInTheSegment", jpegHeader(1920, 1080).substr(0, 12), -1},
        WidthCase{"JpegCutInTheFrame", jpegHeader(1920, 1080).substr(0, 27), -1},
        WidthCase{"JpegScanBeforeFrame",
                  std::string("\xFF\xD8\xFF\xDA", 4) + bigEndian16(8) + std::string(200, 'x'), -1},
        WidthCase{"JpegBadSegmentLength", std::string("\xFF\xD8\xFF\xE0\x00\x01", 6), -1},
        WidthCase{"JpegNoMarker", std::string("\xFF\xD8garbage", 9), -1},
        WidthCase{"PngWrongChunk",
                  std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIDAT", 16) + std::string(8, '\x07'), -1},
        WidthCase{"Text", std::string(150000, 'x'), -1}, WidthCase{"Empty", "", -1}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(PictureWidth, AMissingFileIsNoPicture) {
    ScratchFolder scratch;
    EXPECT_EQ(PictureWidth(scratch.path() / "missing"), -1);
}

}  // namespace
