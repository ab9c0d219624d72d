#include "archive/cab/ab_cab_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "archive/cab/ab_code_page.h"
#include "archive/core/ab_exceptions.h"
#include "support/cabinet_maker.h"
#include "support/scratch_folder.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Failure {
    std::u16string name;
    TAbProcessType process;
    TAbErrorClass errorClass;
    int32_t errorCode;
};

// An archive with its reports recorded. The records come first: the archive still reports
// while it is destroyed.
struct OpenCabinet {
    std::vector<int> progress;
    std::vector<Failure> failures;
    explicit OpenCabinet(const fs::path& cabinet, uint16_t mode = 0) : archive(u16(cabinet), mode) {
        archive.SetOnArchiveProgress(
            [this](TAbArchive&, uint8_t p, bool&) { progress.push_back(p); });
        archive.SetOnProcessItemFailure([this](TAbArchive&, TAbArchiveItem* item,
                                               TAbProcessType type, TAbErrorClass cls,
                                               int32_t code) {
            failures.push_back({item->FileName(), type, cls, code});
        });
    }
    TAbCabArchive archive;
};

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

class CabArchiveByMakerTest : public ::testing::TestWithParam<CabMaker> {
protected:
    ScratchFolder folder;
    fs::path pack = makeCabinet(folder.path(), "Autumn.themepack", themePackMembers(), GetParam());
};

TEST_P(CabArchiveByMakerTest, ListsMembersAndCabinetFacts) {
    ASSERT_FALSE(pack.empty());
    OpenCabinet open(pack);
    open.archive.Load();
    auto expected = themePackMembers();
    ASSERT_EQ(open.archive.Count(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        TAbCabItem* item = open.archive[i];
        SCOPED_TRACE(expected[i].storedName);
        EXPECT_EQ(item->RawFileName(), expected[i].storedName);
        EXPECT_EQ(item->FileName(), pelmora::codepage::narrowToUtf16(expected[i].storedName));
        EXPECT_EQ(item->UncompressedSize(), static_cast<int64_t>(expected[i].content.size()));
        EXPECT_FALSE(item->PartialFile());
        EXPECT_FALSE(item->IsDirectory());
        EXPECT_EQ(item->CompressedSize(), 0);
        const std::tm t = localCalendar(expected[i].modified);
        EXPECT_EQ(item->LastModFileDate(),
                  ((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
        EXPECT_EQ(item->LastModFileTime(), (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    }
    EXPECT_EQ(open.archive.CabSize(), static_cast<int32_t>(fs::file_size(pack)));
    EXPECT_EQ(open.archive.FolderCount(), 1);
    EXPECT_EQ(open.archive.CurrentCab(), 0);
    EXPECT_FALSE(open.archive.HasNext());
    EXPECT_FALSE(open.archive.HasPrev());
    EXPECT_EQ(open.progress, std::vector<int>{100});
}

TEST_P(CabArchiveByMakerTest, ExtractsAMemberToAFileWithItsTime) {
    ASSERT_FALSE(pack.empty());
    fs::path out = folder / "out";
    fs::create_directory(out);
    OpenCabinet open(pack);
    open.archive.Load();
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractAt(1, u"");
    auto expected = themePackMembers()[1];
    EXPECT_EQ(readFile(out / "img2.PNG"),
              std::vector<uint8_t>(expected.content.begin(), expected.content.end()));
    EXPECT_EQ(modifiedUnixSeconds(out / "img2.PNG"), expected.modified);
    EXPECT_TRUE(open.failures.empty());
    EXPECT_EQ(entriesIn(out), 1u);
}

TEST_P(CabArchiveByMakerTest, ExtractsIntoAStreamAtItsPosition) {
    ASSERT_FALSE(pack.empty());
    OpenCabinet open(pack);
    open.archive.Load();
    std::stringstream stream;
    stream << "head:";
    open.archive.ExtractToStream(u"Autumn.theme", stream);
    std::string theme = themePackMembers()[2].content;
    EXPECT_EQ(static_cast<std::size_t>(stream.tellp()), 5 + theme.size());
    EXPECT_EQ(stream.str(), "head:" + theme);
}

INSTANTIATE_TEST_SUITE_P(Makers, CabArchiveByMakerTest,
                         ::testing::Values(CabMaker::GcabStored, CabMaker::GcabMszip,
                                           CabMaker::CabtoolLzx),
                         [](const auto& info) { return std::string(makerName(info.param)); });

class CabArchiveTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    fs::path out = [this] {
        fs::create_directory(folder / "out");
        return folder / "out";
    }();
};

TEST_F(CabArchiveTest, NonAsciiNamesDecodeByTheUtf8Flag) {
    // gcab stores a non-ASCII name as UTF-8 and sets the flag; the same bytes without the flag
    // are read in the narrow code page.
    fs::path cabinet = makeCabinet(folder.path(), "names.cab",
                                   {{"Caf\xC3\xA9.jpg", "x", localTime(2020, 1, 1, 0, 0, 0)}},
                                   CabMaker::GcabStored);
    ASSERT_FALSE(cabinet.empty());
    std::vector<uint8_t> bytes = readFile(cabinet);
    std::size_t at = attributeOffset(bytes, "Caf\xC3\xA9.jpg");
    ASSERT_NE(at, std::string::npos);
    ASSERT_NE(bytes[at] & 0x80, 0);
    {
        OpenCabinet open(cabinet);
        open.archive.Load();
        EXPECT_EQ(open.archive[0]->FileName(), u"Caf\u00E9.jpg");
        EXPECT_EQ(open.archive[0]->RawFileName(), "Caf\xC3\xA9.jpg");
        EXPECT_EQ(open.archive[0]->ExternalFileAttributes() & 0x80, 0x80u);
    }
    bytes[at] &= static_cast<uint8_t>(~0x80);
    writeFile(cabinet, bytes);
    OpenCabinet open(cabinet);
    open.archive.Load();
    EXPECT_EQ(open.archive[0]->FileName(), u"Caf\u00C3\u00A9.jpg");
    // Extraction matches the stored bytes, however they were decoded.
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(fs::exists(out / "Caf\xC3\x83\xC2\xA9.jpg"));
    EXPECT_TRUE(open.failures.empty());
}

TEST_F(CabArchiveTest, ReadOnlyMemberYieldsAReadOnlyFileThatASecondRunReplaces) {
    fs::path cabinet =
        makeCabinet(folder.path(), "ro.cab",
                    {{"locked.jpg", "data", localTime(2020, 1, 1, 0, 0, 0)}}, CabMaker::GcabMszip);
    ASSERT_FALSE(cabinet.empty());
    std::vector<uint8_t> bytes = readFile(cabinet);
    std::size_t at = attributeOffset(bytes, "locked.jpg");
    bytes[at] |= 0x01;
    writeFile(cabinet, bytes);
    OpenCabinet open(cabinet);
    open.archive.Load();
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractFiles(u"*.jpg");
    ASSERT_TRUE(fs::exists(out / "locked.jpg"));
    EXPECT_FALSE(isWritable(out / "locked.jpg"));
    EXPECT_TRUE(open.failures.empty());

    // Files of the same name are replaced, read-only ones included.
    ::chmod((out / "locked.jpg").c_str(), 0644);
    writeFile(out / "locked.jpg", std::string("stale content"));
    ::chmod((out / "locked.jpg").c_str(), 0444);
    open.archive.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(open.failures.empty());
    EXPECT_EQ(readFile(out / "locked.jpg"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
    ASSERT_EQ(::stat((out / "locked.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(entriesIn(out), 1u);
}

TEST_F(CabArchiveTest, DamagedMemberLeavesTheOlderFileAndNoPartialOne) {
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 31 + i / 7) % 256);
    fs::path cabinet =
        makeCabinet(folder.path(), "bad.cab", {{"pic.jpg", big, localTime(2020, 1, 1, 0, 0, 0)}},
                    CabMaker::GcabMszip);
    ASSERT_FALSE(cabinet.empty());
    std::vector<uint8_t> bytes = readFile(cabinet);
    for (std::size_t i = bytes.size() - 2000; i < bytes.size() - 1000; ++i) bytes[i] ^= 0xA5;
    writeFile(cabinet, bytes);
    writeFile(out / "pic.jpg", std::string("the older picture"));

    OpenCabinet open(cabinet);
    open.archive.Load();
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractFiles(u"*.jpg");
    ASSERT_EQ(open.failures.size(), 1u);
    EXPECT_EQ(open.failures[0].errorClass, ecCabError);
    EXPECT_NE(open.failures[0].errorCode, 0);
    EXPECT_EQ(readFile(out / "pic.jpg").size(), 17u);
    EXPECT_EQ(entriesIn(out), 1u);
}

struct LoadFailureCase {
    const char* label;
    std::function<fs::path(const fs::path&)> prepare;
    std::u16string message;
    std::vector<int> progress;
};

class CabArchiveLoadFailureTest : public ::testing::TestWithParam<LoadFailureCase> {};

TEST_P(CabArchiveLoadFailureTest, RaisesAndReports) {
    ScratchFolder folder;
    const auto& c = GetParam();
    OpenCabinet open(c.prepare(folder.path()));
    try {
        open.archive.Load();
        FAIL() << "loaded";
    } catch (const EGeneralError& e) {
        EXPECT_EQ(e.Message().substr(0, c.message.size()), c.message);
    }
    EXPECT_EQ(open.progress, c.progress);
    EXPECT_EQ(open.archive.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CabArchiveLoadFailureTest,
    ::testing::Values(LoadFailureCase{"MissingFile",
                                      [](const fs::path& f) { return f / "gone.cab"; },
                                      u"Cannot open file",
                                      {}},
                      LoadFailureCase{"NotACabinet",
                                      [](const fs::path& f) {
                                          writeFile(f / "x.cab", std::string(100, 'x'));
                                          return f / "x.cab";
                                      },
                                      u"Invalid file - not a cabinet file",
                                      {0}},
                      LoadFailureCase{"EmptyFile",
                                      [](const fs::path& f) {
                                          writeFile(f / "x.cab", std::string());
                                          return f / "x.cab";
                                      },
                                      u"Invalid file - not a cabinet file",
                                      {0}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CabArchiveCreateTest, ModeSelectsReadingOrWriting) {
    EXPECT_EQ(TAbCabArchive(u"/tmp/a.cab", 0).Mode(), 0);
    EXPECT_EQ(TAbCabArchive(u"/tmp/a.cab", 1).Mode(), 1);
    EXPECT_EQ(TAbCabArchive(u"/tmp/a.cab", 2).Mode(), 0);
    EXPECT_EQ(TAbCabArchive(u"/tmp/a.cab", 0xFF00).Mode(), 1);
}

TEST(CabArchiveCreateTest, CannotBeMadeFromAStream) {
    std::stringstream stream;
    try {
        TAbCabArchive::CreateFromStream(&stream, u"x.cab");
    } catch (const EAbCabException& e) {
        EXPECT_EQ(e.Message(), u"TAbCabArchive does not support CreateFromStream");
        EXPECT_EQ(e.ErrorCode, 0);
    }
}

}  // namespace

namespace {

// A set of three cabinets written by cabtool, the big member running through all of them;
// the later cabinets renamed in other letter cases, as sets copied from Windows often are.
class CabinetSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        big.resize(300000);
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>((i * 2654435761u) >> 13);
        writeFile(folder / "a.jpg", std::string("small"));
        writeFile(folder / "big.jpg", big);
        std::string command =
            "cd '" + folder.path().string() +
            "' && '" PELMORA_BINARY_DIR
            "/bin/cabtool' create -z none -s 120k pack.cab a.jpg big.jpg >/dev/null";
        ASSERT_EQ(run(command), 0);
        fs::remove(folder / "a.jpg");
        fs::remove(folder / "big.jpg");
        fs::rename(folder / "pack.c01", folder / "PACK.C01");
        fs::rename(folder / "pack.c02", folder / "Pack.C02");
    }
    ScratchFolder folder;
    std::string big;
};

TEST_F(CabinetSetTest, NextCabinetsAreFoundWhateverTheirLetterCase) {
    OpenCabinet open(folder / "pack.cab");
    open.archive.Load();
    ASSERT_EQ(open.archive.Count(), 2);
    EXPECT_TRUE(open.archive.HasNext());
    fs::create_directory(folder / "out");
    open.archive.SetBaseDirectory(u16(folder / "out"));
    open.archive.ExtractFiles(u"big.jpg");
    EXPECT_TRUE(open.failures.empty());
    EXPECT_EQ(readFile(folder / "out" / "big.jpg"), std::vector<uint8_t>(big.begin(), big.end()));
}

TEST_F(CabinetSetTest, ALaterCabinetListsTheContinuedMemberAsPartial) {
    OpenCabinet open(folder / "PACK.C01");
    open.archive.Load();
    ASSERT_GE(open.archive.Count(), 1);
    EXPECT_TRUE(open.archive[0]->PartialFile());
    EXPECT_EQ(open.archive[0]->FileName(), u"big.jpg");
    EXPECT_EQ(open.archive.CurrentCab(), 1);
    EXPECT_TRUE(open.archive.HasPrev());
    // A partial member is never offered for copying: nothing is written, nothing fails.
    fs::create_directory(folder / "out");
    open.archive.SetBaseDirectory(u16(folder / "out"));
    open.archive.ExtractAt(0, u"");
    EXPECT_TRUE(open.failures.empty());
    EXPECT_FALSE(fs::exists(folder / "out" / "big.jpg"));
}

}  // namespace

namespace {

struct WriteCase {
    const char* label;
    TAbCabCompressionType compression;
};

class CabWriterTest : public ::testing::TestWithParam<WriteCase> {
protected:
    ScratchFolder folder;
};

// A cabinet built by the archive's writing side reads back, by the peer tool and by us.
TEST_P(CabWriterTest, BuildsACabinetThatReadsBack) {
    fs::create_directory(folder / "src");
    std::string picture(40000, '\0');
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i % 97);
    writeFile(folder / "src" / "img1.jpg", picture);
    writeFile(folder / "src" / "Caf\xC3\xA9.png", std::string("png bytes"));
    fs::path cabinet = folder / "new.cab";
    {
        OpenCabinet open(cabinet, 0xFF00);
        open.archive.SetCompressionType(GetParam().compression);
        open.archive.SetStoreOptions({soStripPath});
        open.archive.Load();
        open.archive.SetBaseDirectory(u16(folder / "src"));
        open.archive.AddFiles(u"*.*", 0);
        EXPECT_EQ(open.archive.Count(), 2);
        EXPECT_TRUE(open.failures.empty());
        // Adding a name that is already there is reported, not raised.
        open.archive.Add(open.archive.NewItem(u"img1.jpg"));
        ASSERT_EQ(open.failures.size(), 1u);
        EXPECT_EQ(open.failures[0].errorClass, ecCorvana);
        EXPECT_EQ(open.failures[0].errorCode, 7);
    }  // closing the archive finishes the cabinet
    ASSERT_TRUE(fs::exists(cabinet));
    ASSERT_EQ(run("cabextract -q -d '" + (folder / "peer").string() + "' '" + cabinet.string() +
                  "' >/dev/null"),
              0);
    EXPECT_EQ(readFile(folder / "peer" / "img1.jpg"), readFile(folder / "src" / "img1.jpg"));

    OpenCabinet back(cabinet);
    back.archive.Load();
    ASSERT_EQ(back.archive.Count(), 2);
    for (int32_t i = 0; i < 2; ++i) {
        TAbCabItem* item = back.archive[i];
        bool ascii = item->FileName() == u"img1.jpg";
        EXPECT_TRUE(ascii || item->FileName() == u"Caf\u00E9.png");
        // Only a name with a character beyond ASCII carries the UTF-8 flag.
        EXPECT_EQ((item->ExternalFileAttributes() & 0x80) != 0, !ascii);
    }
}

INSTANTIATE_TEST_SUITE_P(Compression, CabWriterTest,
                         ::testing::Values(WriteCase{"Stored", ctNone}, WriteCase{"Mszip", ctMSZIP},
                                           WriteCase{"Lzx", ctLZX}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CabWriterModeTest, AddingToAnArchiveOpenedForReadingIsReported) {
    ScratchFolder folder;
    fs::path pack = makeCabinet(folder.path(), "p.cab", themePackMembers(), CabMaker::GcabStored);
    writeFile(folder / "extra.jpg", std::string("x"));
    OpenCabinet open(pack);
    open.archive.Load();
    open.archive.Add(open.archive.NewItem(u16(folder / "extra.jpg")));
    ASSERT_EQ(open.failures.size(), 1u);
    EXPECT_EQ(open.failures[0].errorClass, ecCabError);
    EXPECT_EQ(open.archive.Count(), 3);
}

}  // namespace
