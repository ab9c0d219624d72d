#include "archive/components/ab_archive_probes.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/archive_fixtures.h"

using namespace fixtures;
using Type = TAbArchiveType;

namespace {

struct ProbeCase {
    const char* label;
    std::function<Bytes()> make;
    TAbArchiveType (*probe)(TStream&);
    TAbArchiveType expected;
};

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, RecognisesItsFormatAndRestoresThePosition) {
    const auto& c = GetParam();
    TMemoryStream stream(c.make());
    int64_t start = stream.Size() > 3 ? 3 : 0;
    stream.SetPosition(start);
    EXPECT_EQ(c.probe(stream), c.expected);
    EXPECT_EQ(stream.Position(), start);
}

Bytes zipWithComment(std::size_t commentLength) {
    return concat(plainText(3000), emptyZip(0, std::string(commentLength, 'c')));
}

Bytes tarOf(std::size_t contentSize) {
    return tarWithFile("a.txt", std::string(contentSize, 'x'));
}

// The tar test reads from the current position; these cases start at offset 3, so the tar
// fixtures used with ProbeTar are checked separately below.
INSTANTIATE_TEST_SUITE_P(
    Formats, ProbeTest,
    ::testing::Values(
        ProbeCase{"ZipWithoutComment", [] { return concat(plainText(100), emptyZip()); }, ProbeZip,
                  Type::atZip},
        ProbeCase{"ZipWithCommentFoundByBackwardScan", [] { return zipWithComment(100); }, ProbeZip,
                  Type::atZip},
        ProbeCase{"ZipEndRecordFarFromTheEnd", [] { return zipWithComment(60000); }, ProbeZip,
                  Type::atZip},
        ProbeCase{"SpannedMarker",
                  [] {
                      return concat({0x50, 0x4B, 0x07, 0x08}, plainText(50));
                  },
                  ProbeZip, Type::atSpannedZip},
        ProbeCase{"EndRecordOnDiskOne", [] { return emptyZip(1); }, ProbeZip, Type::atSpannedZip},
        ProbeCase{"NoEndRecord", [] { return plainText(5000); }, ProbeZip, Type::atUnknown},
        ProbeCase{"TooShortForAnEndRecord", [] { return plainText(10); }, ProbeZip,
                  Type::atUnknown},
        ProbeCase{"CommentLongerThanTheFileAllows",
                  [] {
                      Bytes zip = emptyZip(0, "abc");
                      zip[20] = zip[21] = 0xFF;  // the comment would run far past the end
                      return concat(plainText(600), zip);
                  },
                  ProbeZip, Type::atUnknown},
        ProbeCase{"WindowsExecutableWithZip", [] { return concat(bytesOf("MZ\x90"), emptyZip()); },
                  ProbeSelfExtractingZip, Type::atSelfExtZip},
        ProbeCase{"ElfExecutableWithZip",
                  [] {
                      return concat(bytesOf("\x7F"
                                            "ELF...."),
                                    emptyZip());
                  },
                  ProbeSelfExtractingZip, Type::atSelfExtZip},
        ProbeCase{"ExecutableWithSpannedZip", [] { return concat(bytesOf("MZ"), emptyZip(2)); },
                  ProbeSelfExtractingZip, Type::atUnknown},
        ProbeCase{"PlainZipIsNotSelfExtracting", [] { return emptyZip(); }, ProbeSelfExtractingZip,
                  Type::atUnknown},
        ProbeCase{"GzipOfText", [] { return gzipOf(plainText(2000)); }, ProbeGzip, Type::atGzip},
        ProbeCase{"GzipOfShortText", [] { return gzipOf(plainText(40)); }, ProbeGzip, Type::atGzip},
        ProbeCase{"GzippedTar", [] { return gzipOf(tarOf(100)); }, ProbeGzip, Type::atGzippedTar},
        ProbeCase{"GzippedTarWithStoredName", [] { return gzipOf(tarOf(100), true); }, ProbeGzip,
                  Type::atGzippedTar},
        ProbeCase{"GzipHeaderCutShort",
                  [] {
                      return Bytes{0x1F, 0x8B, 0x08};
                  },
                  ProbeGzip, Type::atUnknown},
        ProbeCase{"GzipDataCutShort",
                  [] {
                      Bytes gz = gzipOf(plainText(5000));
                      gz.resize(gz.size() / 2);
                      return gz;
                  },
                  ProbeGzip, Type::atUnknown},
        ProbeCase{"NotGzip", [] { return plainText(100); }, ProbeGzip, Type::atUnknown},
        ProbeCase{"Bzip2UnderOneKilobyte", [] { return bzip2Of(plainText(1000)); }, ProbeBzip2,
                  Type::atUnknown},
        ProbeCase{"Bzip2OverOneKilobyte", [] { return bzip2Of(plainText(2000)); }, ProbeBzip2,
                  Type::atBzip2},
        ProbeCase{"BzippedTar", [] { return bzip2Of(tarOf(3000)); }, ProbeBzip2,
                  Type::atBzippedTar},
        ProbeCase{"Bzip2BadBlockSize",
                  [] {
                      Bytes bz = bzip2Of(plainText(2000));
                      bz[3] = '0';
                      return bz;
                  },
                  ProbeBzip2, Type::atUnknown},
        ProbeCase{"NotBzip2", [] { return bytesOf("BZh9 not really"); }, ProbeBzip2,
                  Type::atUnknown}),
    [](const auto& info) { return std::string(info.param.label); });

// A gzip member with a ".GZ" header and damaged data: the inflater's error reaches the caller.
TEST(ProbeGzipTest, DamagedDeflateDataRaises) {
    Bytes gz = gzipOf(plainText(4000));
    for (std::size_t i = 10; i < 20; ++i) gz[i] = 0xFF;
    TMemoryStream stream(gz);
    EXPECT_THROW(ProbeGzip(stream), EAbDecompressionError);
}

TEST(ProbeBzip2Test, DamagedDataRaises) {
    Bytes bz = bzip2Of(plainText(4000));
    for (std::size_t i = 12; i < 40; ++i) bz[i] ^= 0x5A;
    TMemoryStream stream(bz);
    EXPECT_THROW(ProbeBzip2(stream), EAbDecompressionError);
}

struct TarCase {
    const char* label;
    std::function<Bytes()> make;
    bool passes;
};

class TarTest : public ::testing::TestWithParam<TarCase> {};

TEST_P(TarTest, ChecksTheHeaderAtTheCurrentPosition) {
    const auto& c = GetParam();
    // Seven bytes of something else before the archive: the test starts where the stream is.
    TMemoryStream stream(concat(bytesOf("garbage"), c.make()));
    stream.SetPosition(7);
    EXPECT_EQ(ProbeTar(stream), c.passes ? Type::atTar : Type::atUnknown);
    EXPECT_EQ(stream.Position(), 7);
}

Bytes withType(char flag) {
    return concat(tarHeader("entry", flag, 0), Bytes(1024, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, TarTest,
    ::testing::Values(TarCase{"RegularFile", [] { return tarOf(10); }, true},
                      TarCase{"BadChecksum",
                              [] { return concat(tarHeader("a", '0', 0, false), Bytes(512)); },
                              false},
                      TarCase{"GnuLongName", [] { return gnuLongNameTar(600, true, true); }, true},
                      TarCase{"GnuLongNameWithBadLongHeader",
                              [] { return gnuLongNameTar(600, false, true); }, false},
                      TarCase{"GnuLongNameWithBadFileHeader",
                              [] { return gnuLongNameTar(600, true, false); }, false},
                      TarCase{"PaxExtendedHeader",
                              [] {
                                  return concat(concat(tarHeader("PaxHeaders/a", 'x', 30),
                                                       fixtures::Bytes(512, '\n')),
                                                tarOf(3));
                              },
                              true},
                      TarCase{"MetadataWithNothingBehindIt",
                              [] { return tarHeader("././@LongLink", 'K', 700); }, false},
                      TarCase{"Directory", [] { return withType('5'); }, true},
                      TarCase{"OldStyleRegularFile", [] { return withType('\0'); }, true},
                      TarCase{"GnuSparse", [] { return withType('S'); }, true},
                      TarCase{"UnknownTypeQ", [] { return withType('Q'); }, false},
                      TarCase{"EndMarkerBlock", [] { return Bytes(1024, 0); }, false},
                      TarCase{"ShortBlock",
                              [] {
                                  Bytes tar = tarOf(10);
                                  tar.resize(300);
                                  return tar;
                              },
                              false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FindZipEndRecordTest, LeavesTheStreamAtTheRecordItFinds) {
    Bytes zip = zipWithComment(100);
    TMemoryStream stream(zip);
    int64_t at = FindZipEndRecord(stream);
    EXPECT_EQ(at, static_cast<int64_t>(zip.size() - 122));
    EXPECT_EQ(stream.Position(), at);
}

TEST(SniffArchiveTypeTest, RunsTheChecksInOrder) {
    // A self-extracting zip is also a zip: the executable check comes first.
    TMemoryStream sfx(concat(bytesOf("MZ"), emptyZip()));
    EXPECT_EQ(SniffArchiveType(sfx), Type::atSelfExtZip);
    TMemoryStream tar(tarOf(10));
    EXPECT_EQ(SniffArchiveType(tar), Type::atTar);
    TMemoryStream bz(bzip2Of(tarOf(3000)));
    EXPECT_EQ(SniffArchiveType(bz), Type::atBzippedTar);
}

}  // namespace
