// What the caller's callbacks see: status for every block, folder and cabinet, get-next-cabinet
// before each new cabinet of a set, a placement for every member in every cabinet that lists it,
// and the member's date, time and attributes as get-open-info gave them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>
#include <string>

#include "support/cab_reader.h"
#include "support/fci_harness.h"

namespace {

namespace fs = std::filesystem;
using cabtest::FciSession;
using cabtest::TempDir;

TEST(FciProtocol, SpannedSetReportsEveryStepThroughTheCallbacks) {
    TempDir dir;
    std::map<std::string, std::vector<uint8_t>> members = {
        {"a.txt", cabtest::repetitiveText(100000)},
        {"b.bin", cabtest::randomBytes(150000, 1)},
        {"c.txt", {'x', 'y', 'z'}}};
    FciSession fci(dir.path());
    fci.parameters.cb = 60000;
    ASSERT_TRUE(fci.create());
    size_t total = 0;
    for (const auto& [name, bytes] : members) {
        cabtest::writeFile(dir.file("src-" + name), bytes);
        ASSERT_TRUE(fci.add(dir.file("src-" + name), name, tcompTYPE_MSZIP)) << fci.error.ErrorCode;
        total += bytes.size();
    }
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());

    const auto& cabinets = fci.cabinetsOpened;
    ASSERT_GE(cabinets.size(), 3u);
    // get-next-cabinet came before every later cabinet, with iCab already counted up.
    ASSERT_GE(fci.nextCalls.size(), cabinets.size() - 1);
    for (size_t i = 0; i + 1 < cabinets.size(); ++i) {
        EXPECT_EQ(fci.nextCalls[i].iCab, static_cast<int>(i + 2));
        EXPECT_EQ(fs::path(cabinets[i + 1]).filename().string(), fci.nextCalls[i].szCab);
    }

    size_t blockBytes = 0, folders = 0, cabinetReports = 0;
    for (const auto& s : fci.statuses) {
        if (s.type == statusFile) {
            EXPECT_GT(s.cb1, 0u);
            blockBytes += s.cb2;
        } else if (s.type == statusFolder) {
            ++folders;
            EXPECT_GT(s.cb2, 0u);
        } else {
            ASSERT_EQ(s.type, static_cast<unsigned>(statusCabinet));
            ASSERT_LT(cabinetReports, cabinets.size());
            EXPECT_EQ(s.cb2, fs::file_size(cabinets[cabinetReports])) << cabinets[cabinetReports];
            ++cabinetReports;
        }
    }
    EXPECT_EQ(blockBytes, total);
    EXPECT_EQ(cabinetReports, cabinets.size());
    size_t foldersInSet = 0;
    for (const auto& path : cabinets) {
        auto cab = cabtest::parseCabinetFile(path);
        foldersInSet += cab.folders.size();
        // Each record of this cabinet was reported placed in it, continued or not.
        for (const auto& file : cab.files) {
            bool continued = file.folder == cabinet::kFolderContinuedFromPrev ||
                             file.folder == cabinet::kFolderContinuedPrevAndNext;
            size_t matches = std::count_if(fci.placed.begin(), fci.placed.end(), [&](auto& p) {
                return p.cabinet == fs::path(path).filename() && p.name == file.name &&
                       p.continuation == continued && p.size == static_cast<int32_t>(file.size);
            });
            EXPECT_EQ(matches, 1u) << file.name << " in " << path;
        }
    }
    // A folder continued into the next cabinet is one folder, reported once.
    EXPECT_GE(foldersInSet, folders);
    EXPECT_GE(folders, 1u);
    for (const auto& member : members) {
        const auto& name = member.first;  // a plain reference: clang 14 cannot capture a binding
        EXPECT_EQ(std::count_if(fci.placed.begin(), fci.placed.end(),
                                [&](auto& p) { return p.name == name && !p.continuation; }),
                  1)
            << name;
    }
}

struct RecordCase {
    const char* name;
    const char* storedName;  // bytes, stored as they are
    unsigned short attributes;
    bool execute;
    unsigned short expectedAttributes;
};

class FciRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(FciRecordTest, MemberRecordsCarryWhatGetOpenInfoReported) {
    const auto& c = GetParam();
    TempDir dir;
    cabtest::writeFile(dir.file("src"), {'1', '2', '3'});
    FciSession fci(dir.path());
    fci.attributes = c.attributes;
    fci.date = 0x5A2F;
    fci.time = 0x6B3D;
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.add(dir.file("src"), c.storedName, tcompTYPE_MSZIP, c.execute));
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());
    auto cab = cabtest::parseCabinetFile(fci.cabinetsOpened.at(0));
    ASSERT_EQ(cab.files.size(), 1u);
    EXPECT_STREQ(cab.files[0].name, c.storedName);
    EXPECT_EQ(cab.files[0].attributes, c.expectedAttributes);
    EXPECT_EQ(cab.files[0].date, 0x5A2F);
    EXPECT_EQ(cab.files[0].time, 0x6B3D);
    EXPECT_EQ(cab.files[0].size, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Records, FciRecordTest,
    ::testing::Values(
        RecordCase{"plain", "dir\\file.txt", CAB_ATTRIB_ARCHIVE, false, CAB_ATTRIB_ARCHIVE},
        RecordCase{"execute", "run.exe", CAB_ATTRIB_ARCHIVE, true,
                   CAB_ATTRIB_ARCHIVE | CAB_ATTRIB_EXECUTE},
        RecordCase{"hidden_readonly", "h.txt", CAB_ATTRIB_HIDDEN | CAB_ATTRIB_READONLY, false,
                   CAB_ATTRIB_HIDDEN | CAB_ATTRIB_READONLY},
        RecordCase{"utf8", "caf\xC3\xA9.txt", CAB_ATTRIB_NAME_IS_UTF | CAB_ATTRIB_ARCHIVE, false,
                   CAB_ATTRIB_NAME_IS_UTF | CAB_ATTRIB_ARCHIVE}),
    [](const auto& info) { return std::string(info.param.name); });

// Without members, flushing still writes a valid empty cabinet, once.
TEST(FciProtocol, FlushWithoutMembersWritesOneEmptyCabinet) {
    TempDir dir;
    FciSession fci(dir.path());
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());
    ASSERT_EQ(fci.cabinetsOpened.size(), 1u);
    auto cab = cabtest::parseCabinetFile(fci.cabinetsOpened[0]);
    EXPECT_EQ(cab.header.cabinetSize, cab.bytes.size());
    EXPECT_EQ(cab.header.fileCount, 0);
    EXPECT_EQ(cab.header.folderCount, 0);
    std::string output;
    EXPECT_EQ(cabtest::runCommand("7zz t '" + fci.cabinetsOpened[0] + "'", &output), 0) << output;
}

// Flushing a cabinet with get-next starts a new cabinet of the same set.
TEST(FciProtocol, FlushWithNextCabinetContinuesTheSet) {
    TempDir dir;
    cabtest::writeFile(dir.file("one"), cabtest::repetitiveText(5000));
    cabtest::writeFile(dir.file("two"), cabtest::randomBytes(5000, 2));
    FciSession fci(dir.path());
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.add(dir.file("one"), "one.txt", tcompTYPE_MSZIP));
    ASSERT_TRUE(fci.flushCabinet(true));
    ASSERT_TRUE(fci.add(dir.file("two"), "two.bin", tcompTYPE_NONE));
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());
    ASSERT_EQ(fci.cabinetsOpened.size(), 2u);
    auto first = cabtest::parseCabinetFile(fci.cabinetsOpened[0]);
    auto second = cabtest::parseCabinetFile(fci.cabinetsOpened[1]);
    EXPECT_TRUE(first.header.hasNext());
    EXPECT_STREQ(first.header.nextCabinet, "set2.cab");
    EXPECT_TRUE(second.header.hasPrev());
    EXPECT_EQ(second.header.cabinetIndex, 1);
    EXPECT_EQ(second.header.setID, first.header.setID);
    std::string output;
    EXPECT_EQ(cabtest::runCommand("cabextract -t '" + fci.cabinetsOpened[0] + "'", &output), 0)
        << output;
    EXPECT_NE(output.find("two.bin  OK"), std::string::npos) << output;
}

struct ReserveCase {
    unsigned header, folder, data;
};

class FciReserveTest : public ::testing::TestWithParam<ReserveCase> {};

// Reserved areas shift every record; the set must still read back with the peers.
TEST_P(FciReserveTest, PeersReadCabinetsWithReservedAreas) {
    const auto& c = GetParam();
    TempDir dir;
    auto bytes = cabtest::randomBytes(120000, 8);
    cabtest::writeFile(dir.file("src"), bytes);
    FciSession fci(dir.path());
    fci.parameters.cbReserveCFHeader = c.header;
    fci.parameters.cbReserveCFFolder = c.folder;
    fci.parameters.cbReserveCFData = c.data;
    fci.parameters.cb = 50000;
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.add(dir.file("src"), "noise.bin", tcompTYPE_MSZIP));
    ASSERT_TRUE(fci.flushCabinet());
    ASSERT_TRUE(fci.destroy());
    ASSERT_GE(fci.cabinetsOpened.size(), 3u);
    for (const auto& path : fci.cabinetsOpened) {
        auto cab = cabtest::parseCabinetFile(path);
        EXPECT_EQ(cab.header.headerReserveSize, c.header);
        EXPECT_EQ(cab.header.folderReserveSize, c.folder);
        EXPECT_EQ(cab.header.dataReserveSize, c.data);
        EXPECT_LE(cab.bytes.size(), 50000u);
    }
    std::string output;
    const std::string first = fci.cabinetsOpened[0];
    EXPECT_EQ(cabtest::runCommand("cabextract -t '" + first + "'", &output), 0) << output;
    EXPECT_EQ(cabtest::runCommand("7zz t '" + first + "'", &output), 0) << output;
    ASSERT_EQ(
        cabtest::runCommand("cabextract -q -d '" + dir.file("out") + "' '" + first + "'", &output),
        0)
        << output;
    EXPECT_EQ(cabtest::readWholeFile(dir.file("out/noise.bin")), bytes);
}

INSTANTIATE_TEST_SUITE_P(Areas, FciReserveTest,
                         ::testing::Values(ReserveCase{20, 0, 0}, ReserveCase{0, 7, 0},
                                           ReserveCase{0, 0, 3}, ReserveCase{6000, 255, 255}));

}  // namespace
