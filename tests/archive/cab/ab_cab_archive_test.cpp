#include "archive/cab/ab_cab_archive.h"

#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "archive/cab/ab_code_page.h"
#include "archive/core/ab_exceptions.h"
#include "support/cabinet_maker.h"
#include "support/file_table_order.h"
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
    fs::permissions(out / "locked.jpg", fs::perms::owner_write, fs::perm_options::add);
    writeFile(out / "locked.jpg", std::string("stale content"));
    fs::permissions(out / "locked.jpg", fs::perms::owner_write, fs::perm_options::remove);
    open.archive.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(open.failures.empty());
    EXPECT_EQ(readFile(out / "locked.jpg"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
    EXPECT_FALSE(isWritable(out / "locked.jpg"));
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
    // A quarter of the file from its middle: well past the header and file table whatever
    // size the maker compressed to, inside the member's data.
    for (std::size_t i = bytes.size() / 2; i < bytes.size() * 3 / 4; ++i) bytes[i] ^= 0xA5;
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
#ifdef _WIN32
        const std::string command = "cd /d \"" + folder.path().string() +
                                    "\" && \"" PELMORA_BINARY_DIR
                                    "/bin/cabtool.exe\" create -z none -s 120k pack.cab a.jpg "
                                    "big.jpg >NUL";
#else
        const std::string command =
            "cd '" + folder.path().string() +
            "' && '" PELMORA_BINARY_DIR
            "/bin/cabtool' create -z none -s 120k pack.cab a.jpg big.jpg >/dev/null";
#endif
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

namespace {

// Anything but a regular file is refused at once as a cabinet: a pipe would block a reader
// for ever, a device would be read as if it were one.
struct NotRegularCase {
    const char* label;
    std::function<fs::path(const fs::path&)> prepare;
};

class NotARegularFileTest : public ::testing::TestWithParam<NotRegularCase> {};

TEST_P(NotARegularFileTest, LoadRefusesItWithoutWaiting) {
    ScratchFolder folder;
    OpenCabinet open(GetParam().prepare(folder.path()));
    try {
        open.archive.Load();
        FAIL() << "loaded";
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(e.Message().ends_with(u"It is not a regular file")) << e.what();
    }
    EXPECT_EQ(open.archive.Count(), 0);
}

// Windows has neither pipes in the file system nor /dev/null: a folder is its one case there.
const NotRegularCase kNotRegularCases[] = {
#ifndef _WIN32
    {"DevNull", [](const fs::path&) { return fs::path("/dev/null"); }},
    {"Fifo",
     [](const fs::path& f) {
         ::mkfifo((f / "pipe.cab").c_str(), 0600);
         return f / "pipe.cab";
     }},
#endif
    {"Folder",
     [](const fs::path& f) {
         fs::create_directory(f / "dir.cab");
         return f / "dir.cab";
     }},
};

INSTANTIATE_TEST_SUITE_P(Files, NotARegularFileTest, ::testing::ValuesIn(kNotRegularCases),
                         [](const auto& info) { return std::string(info.param.label); });

// A set of cabinets of one member each (stored, so each cabinet holds exactly one): every
// member after the first starts in a later cabinet.
// "m7.jpg": built by appending, since GCC 12 at -O3 misreads "m" + a temporary string as an
// overlapping copy and warns.
std::string setMemberName(int index) {
    std::string name(1, 'm');
    name += std::to_string(index);
    name += ".jpg";
    return name;
}

class WholeSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string names;
        for (int i = 1; i <= kMembers; ++i) {
            std::string content(30000, '\0');
            for (std::size_t k = 0; k < content.size(); ++k)
                content[k] = static_cast<char>((k * 2654435761u + i * 97u) >> 11);
            contents.push_back(content);
            const std::string name = setMemberName(i);
            writeFile(folder / name, content);
            names += ' ';
            names += name;
        }
        ASSERT_EQ(run("cd '" + folder.path().string() +
                      "' && '" PELMORA_BINARY_DIR "/bin/cabtool' create -z none -s 50k set.cab" +
                      names + " >/dev/null"),
                  0);
        for (int i = 1; i <= kMembers; ++i) fs::remove(folder / setMemberName(i));
        fs::create_directory(out);
    }
    static constexpr int kMembers = 4;
    ScratchFolder folder;
    fs::path out = folder / "out";
    std::vector<std::string> contents;
};

TEST_F(WholeSetTest, ExtractingTheFirstCabinetExtractsEveryMemberAsCabextractDoes) {
    ASSERT_TRUE(fs::exists(folder / "set.c03"));  // one cabinet per member
    OpenCabinet open(folder / "set.cab");
    open.archive.Load();
    ASSERT_EQ(open.archive.Count(), kMembers);
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(open.failures.empty());
    fs::path peer = folder / "peer";
    ASSERT_EQ(run("cabextract -q -d '" + peer.string() + "' '" + (folder / "set.cab").string() +
                  "' >/dev/null"),
              0);
    for (int i = 1; i <= kMembers; ++i) {
        const std::string name = setMemberName(i);
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(out / name), readFile(peer / name));
        EXPECT_EQ(readFile(out / name),
                  std::vector<uint8_t>(contents[i - 1].begin(), contents[i - 1].end()));
    }
}

// A next cabinet that cannot be used fails the whole pack at once, naming it: its members
// would otherwise be skipped without a word.
struct BrokenSetCase {
    const char* label;
    std::function<void(const fs::path&)> breakSet;
    std::u16string reason;
};

class BrokenSetTest : public WholeSetTest, public ::testing::WithParamInterface<BrokenSetCase> {};

TEST_P(BrokenSetTest, LoadFailsNamingTheNextCabinet) {
    GetParam().breakSet(folder.path());
    OpenCabinet open(folder / "set.cab");
    try {
        open.archive.Load();
        FAIL() << "loaded " << open.archive.Count() << " members";
    } catch (const EAbCabException& e) {
        EXPECT_NE(e.Message().find(u"The next cabinet \"set.c02\" cannot be used: "),
                  std::u16string::npos)
            << e.what();
        EXPECT_NE(e.Message().find(GetParam().reason), std::u16string::npos) << e.what();
    }
    EXPECT_EQ(entriesIn(out), 0u);
}

const BrokenSetCase kBrokenSetCases[] = {
    {"Missing", [](const fs::path& f) { fs::remove(f / "set.c02"); }, u"No such file or directory"},
#ifndef _WIN32  // no pipes in a Windows file system
    {"Fifo",
     [](const fs::path& f) {
         fs::remove(f / "set.c02");
         ::mkfifo((f / "set.c02").c_str(), 0600);
     },
     u"It is not a regular file"},
#endif
    {"AnotherPlaceOfTheSet",
     [](const fs::path& f) {
         fs::copy_file(f / "set.c03", f / "set.c02", fs::copy_options::overwrite_existing);
     },
     u"The next cabinet does not belong to this set"},
};

INSTANTIATE_TEST_SUITE_P(Sets, BrokenSetTest, ::testing::ValuesIn(kBrokenSetCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The pack a run opened is the pack it reads to the end: a cabinet that another file replaces
// (or that is rewritten) after listing yields no member of the newcomer.
struct ChangedCabinetCase {
    const char* label;
    const char* cabinet;  // the cabinet of the set that changes
    bool inPlace;         // rewritten in place rather than replaced by another file
    int member;           // the member read from it
};

class ChangedCabinetTest : public WholeSetTest,
                           public ::testing::WithParamInterface<ChangedCabinetCase> {};

TEST_P(ChangedCabinetTest, MembersFromItFailAndWriteNothing) {
    const auto& c = GetParam();
    OpenCabinet open(folder / "set.cab");
    open.archive.Load();
    open.archive.SetBaseDirectory(u16(out));
    // The same bytes with a newer time stand for a cabinet written again by another program.
    std::vector<uint8_t> bytes = readFile(folder / c.cabinet);
    if (c.inPlace) {
        writeFile(folder / c.cabinet, bytes);
        fs::last_write_time(folder / c.cabinet, fs::file_time_type::clock::now());
    } else {
        writeFile(folder / "newcomer", bytes);
        fs::rename(folder / "newcomer", folder / c.cabinet);
    }
    open.archive.ExtractAt(c.member, u"");
    ASSERT_EQ(open.failures.size(), 1u);
    EXPECT_EQ(open.failures[0].errorClass, ecCorvana);
    EXPECT_EQ(open.failures[0].errorCode, 302);
    EXPECT_EQ(entriesIn(out), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cabinets, ChangedCabinetTest,
    ::testing::Values(ChangedCabinetCase{"OpenedCabinetReplaced", "set.cab", false, 0},
                      ChangedCabinetCase{"OpenedCabinetRewritten", "set.cab", true, 0},
                      ChangedCabinetCase{"NextCabinetReplaced", "set.c02", false, 2}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace

namespace {

// Members listed against the order of their data in one folder come out whole, whatever the
// order the archive meets them in, to files and to streams alike.
struct OrderCase {
    const char* label;
    CabMaker maker;
    std::vector<int> (*order)(int);
};

class OutOfOrderTest : public ::testing::TestWithParam<OrderCase> {
protected:
    static constexpr int kMembers = 24;
    void SetUp() override {
        std::vector<CabMember> members;
        for (int i = 0; i < kMembers; ++i) {
            std::string content(5000 + 700 * i, '\0');
            for (std::size_t k = 0; k < content.size(); ++k)
                content[k] = static_cast<char>((k * (i + 3)) % 251 ^ (k >> 9));
            members.push_back({"pic" + std::to_string(i) + ".jpg", content,
                               localTime(2021, 1 + i % 12, 1 + i, 10, 0, 0)});
        }
        fs::path made = makeCabinet(folder.path(), "inorder.cab", members, GetParam().maker);
        ASSERT_FALSE(made.empty());
        writeFile(pack, reorderFileTable(readFile(made), GetParam().order(kMembers)));
        fs::create_directory(out);
        expected = members;
    }
    ScratchFolder folder;
    fs::path pack = folder / "shuffled.cab";
    fs::path out = folder / "out";
    std::vector<CabMember> expected;
};

TEST_P(OutOfOrderTest, EveryMemberComesOutWhole) {
    OpenCabinet open(pack);
    open.archive.Load();
    ASSERT_EQ(open.archive.Count(), kMembers);
    EXPECT_EQ(open.archive[0]->RawFileName(),
              expected[static_cast<std::size_t>(GetParam().order(kMembers)[0])].storedName);
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(open.failures.empty());
    EXPECT_EQ(entriesIn(out), static_cast<std::size_t>(kMembers));  // no temporary file left
    for (const CabMember& member : expected) {
        SCOPED_TRACE(member.storedName);
        EXPECT_EQ(readFile(out / member.storedName),
                  std::vector<uint8_t>(member.content.begin(), member.content.end()));
        EXPECT_EQ(modifiedUnixSeconds(out / member.storedName), member.modified);
    }
}

TEST_P(OutOfOrderTest, StreamsGetTheirMembersAfterOthersWereDecodedAhead) {
    OpenCabinet open(pack);
    open.archive.Load();
    open.archive.SetBaseDirectory(u16(out));
    open.archive.ExtractAt(0, u"");  // decodes what lies before it in the folder
    for (int32_t i = 1; i < kMembers; i += 5) {
        std::stringstream stream;
        open.archive.ExtractToStream(open.archive[i]->FileName(), stream);
        const CabMember& member = expected[static_cast<std::size_t>(
            GetParam().order(kMembers)[static_cast<std::size_t>(i)])];
        EXPECT_EQ(stream.str(), member.content) << member.storedName;
    }
    EXPECT_TRUE(open.failures.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Orders, OutOfOrderTest,
    ::testing::Values(OrderCase{"ReverseMszip", CabMaker::GcabMszip, reverseOrder},
                      OrderCase{"ZigZagMszip", CabMaker::GcabMszip, zigZagOrder},
                      OrderCase{"ReverseLzx", CabMaker::CabtoolLzx, reverseOrder},
                      OrderCase{"ZigZagLzx", CabMaker::CabtoolLzx, zigZagOrder},
                      OrderCase{"ZigZagStored", CabMaker::GcabStored, zigZagOrder}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace

namespace {

// Damage in the middle of a folder fails the same members, and yields the same bytes for the
// others, whether the members are listed in order or against it (then some are decoded ahead
// of their turn and kept).
TEST(OutOfOrderDamageTest, FailsTheSameMembersAsTheInOrderPack) {
    ScratchFolder folder;
    std::vector<CabMember> members;
    for (int i = 0; i < 12; ++i) {
        std::string content(20000, '\0');
        for (std::size_t k = 0; k < content.size(); ++k)
            content[k] = static_cast<char>((k * 31 + k / 7 + i) % 256);
        members.push_back(
            {"pic" + std::to_string(i) + ".jpg", content, localTime(2022, 2, 2, 2, 2, 2)});
    }
    fs::path made = makeCabinet(folder.path(), "made.cab", members, CabMaker::GcabMszip);
    ASSERT_FALSE(made.empty());
    std::vector<uint8_t> bytes = readFile(made);
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 1000; ++i) bytes[i] ^= 0xA5;
    writeFile(folder / "inorder.cab", bytes);
    writeFile(folder / "reverse.cab", reorderFileTable(bytes, reverseOrder(12)));

    auto extractAll = [&](const std::string& pack) {
        fs::path out = folder / ("out-" + pack);
        fs::create_directory(out);
        OpenCabinet open(folder / pack);
        open.archive.Load();
        open.archive.SetBaseDirectory(u16(out));
        open.archive.ExtractFiles(u"*.jpg");
        std::map<std::string, std::vector<uint8_t>> result;
        for (const auto& entry : fs::directory_iterator(out))
            result[entry.path().filename().string()] = readFile(entry.path());
        std::set<std::u16string> failed;
        for (const Failure& f : open.failures) failed.insert(f.name);
        return std::make_pair(result, failed);
    };
    auto [inOrderFiles, inOrderFailures] = extractAll("inorder.cab");
    auto [reverseFiles, reverseFailures] = extractAll("reverse.cab");
    ASSERT_FALSE(inOrderFailures.empty()) << "the damage hit no member";
    ASSERT_FALSE(inOrderFiles.empty()) << "the damage hit every member";
    EXPECT_EQ(reverseFailures, inOrderFailures);
    EXPECT_EQ(reverseFiles, inOrderFiles);  // no temporary file left either
}

}  // namespace
