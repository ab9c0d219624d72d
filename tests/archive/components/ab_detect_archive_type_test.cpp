#include <gtest/gtest.h>

#include <functional>

#include "archive/cab/ab_fci_fdi.h"
#include "archive/components/ab_browse.h"
#include "archive/core/ab_exceptions.h"
#include "support/archive_fixtures.h"
#include "support/scratch_folder.h"

using namespace fixtures;
using Type = TAbArchiveType;
using testsupport::ScratchFolder;
using testsupport::u16;

namespace {

// These tests are about which check runs; the cabinet check's verdict comes from a stand-in
// library that accepts what starts with "MSCF".
class DetectTest : public ::testing::Test {
protected:
    void SetUp() override { pelmora::SetCabinetLibraryNameForTesting(PELMORA_FAKE_CABINET); }
    void TearDown() override { pelmora::SetCabinetLibraryNameForTesting(""); }
    ScratchFolder folder;
};

Bytes cabinetBytes() {
    return concat(bytesOf("MSCF"), plainText(200));
}
Bytes tarOf(std::size_t n) {
    return tarWithFile("a.txt", std::string(n, 'x'));
}

struct DetectCase {
    const char* label;
    const char* fileName;
    std::function<Bytes()> content;  // empty function: no file at all
    TAbArchiveType asserted;
    TAbArchiveType expected;
};

class DetectArchiveTypeTest : public DetectTest,
                              public ::testing::WithParamInterface<DetectCase> {};

TEST_P(DetectArchiveTypeTest, JoinsTheHintWithTheContentCheck) {
    const auto& c = GetParam();
    auto path = folder / c.fileName;
    if (c.content) testsupport::writeFile(path, c.content());
    EXPECT_EQ(DetectArchiveType(u16(path), c.asserted), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DetectArchiveTypeTest,
    ::testing::Values(
        DetectCase{"ThemePackThatIsACabinet", "pack.themepack", cabinetBytes, Type::atCab,
                   Type::atCab},
        DetectCase{"ThemePackThatIsNot", "pack.themepack", [] { return plainText(300); },
                   Type::atCab, Type::atUnknown},
        DetectCase{"EmptyFileKeepsTheHint", "pack.themepack", [] { return Bytes{}; }, Type::atCab,
                   Type::atCab},
        DetectCase{"MissingFileKeepsTheHint", "gone.themepack", nullptr, Type::atCab, Type::atCab},
        DetectCase{"MissingFileKeepsTheExtensionsHint", "gone.TGZ", nullptr, Type::atUnknown,
                   Type::atGzippedTar},
        DetectCase{"GzippedTarByExtension", "data.tar.gz", [] { return gzipOf(tarOf(100)); },
                   Type::atUnknown, Type::atGzippedTar},
        DetectCase{"PlainGzipByExtension", "data.tar.gz", [] { return gzipOf(plainText(900)); },
                   Type::atUnknown, Type::atGzip},
        DetectCase{"CabinetNamedZipIsNotAZip", "x.zip", cabinetBytes, Type::atUnknown,
                   Type::atUnknown},
        DetectCase{"CabinetWithoutAHint", "x.dat", cabinetBytes, Type::atUnknown, Type::atCab},
        DetectCase{"SelfExtractingByExtension", "setup.exe",
                   [] { return concat(bytesOf("MZ"), emptyZip()); }, Type::atUnknown,
                   Type::atSelfExtZip},
        DetectCase{"SelfExtractingWithoutAHint", "setup.bin",
                   [] { return concat(bytesOf("MZ"), emptyZip()); }, Type::atUnknown,
                   Type::atSelfExtZip},
        DetectCase{"SelfExtractingAssertedAsZip", "setup.exe",
                   [] { return concat(bytesOf("MZ"), emptyZip()); }, Type::atZip, Type::atZip},
        DetectCase{"SpannedAssertedIsNotChecked", "any.bin", [] { return plainText(10); },
                   Type::atSpannedZip, Type::atSpannedZip},
        DetectCase{"TarInCapitals", "ARCHIVE.TAR", [] { return tarOf(10); }, Type::atUnknown,
                   Type::atTar},
        DetectCase{"GnuLongNameTar", "long.tar", [] { return gnuLongNameTar(600, true, true); },
                   Type::atUnknown, Type::atTar},
        DetectCase{"SmallBzip2", "small.bz2", [] { return bzip2Of(plainText(1000)); },
                   Type::atUnknown, Type::atUnknown},
        DetectCase{"LargerBzip2", "large.bz2", [] { return bzip2Of(plainText(2000)); },
                   Type::atUnknown, Type::atBzip2},
        DetectCase{"BzippedTar", "x.tbz", [] { return bzip2Of(tarOf(3000)); }, Type::atUnknown,
                   Type::atBzippedTar},
        DetectCase{"ZipWithoutAHint", "x", [] { return concat(plainText(40), emptyZip()); },
                   Type::atUnknown, Type::atZip},
        DetectCase{"NothingKnown", "notes.txt", [] { return plainText(3000); }, Type::atUnknown,
                   Type::atUnknown}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DetectTest, UnreadableFileRaisesTheOpenError) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no permission bit that forbids reading";
#endif
    auto path = folder / "locked.themepack";
    testsupport::writeFile(path, cabinetBytes());
    testsupport::makeUnreadable(path, folder.path());
    testsupport::UnprivilegedScope asUser;
    try {
        DetectArchiveType(u16(path), Type::atCab);
        FAIL() << "an unreadable file was checked";
    } catch (const EFOpenError& e) {
        std::u16string start = u"Cannot open file \"" + u16(path) + u"\". ";
        EXPECT_EQ(e.Message().substr(0, start.size()), start);
    }
}

TEST_F(DetectTest, CabinetCheckWithoutTheLibraryRaises) {
    pelmora::SetCabinetLibraryNameForTesting("libno-such-cabinet.so");
    auto path = folder / "pack.themepack";
    testsupport::writeFile(path, cabinetBytes());
    EXPECT_THROW(DetectArchiveType(u16(path), Type::atCab), EAbNoCabinetDll);
    // The other checks do not need it.
    EXPECT_EQ(DetectArchiveType(u16(path), Type::atTar), Type::atUnknown);
}

TEST(ArchiveTypeOfExtensionTest, ReadsOnlyTheLastExtensionOfTheNamePart) {
    EXPECT_EQ(ArchiveTypeOfExtension(u"/data/x.cab/pack"), Type::atUnknown);
    EXPECT_EQ(ArchiveTypeOfExtension(u"/data/pack.Jar"), Type::atZip);
    EXPECT_EQ(ArchiveTypeOfExtension(u"/data/pack.cab.bak"), Type::atUnknown);
    EXPECT_EQ(ArchiveTypeOfExtension(u"/data/.gz"), Type::atGzip);
}

}  // namespace
