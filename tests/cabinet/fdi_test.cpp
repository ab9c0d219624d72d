// The FDI interface end to end, over cabinets held in memory: notification order and answers,
// failures and their codes, cabinet sets, memory refusal, and resuming inside a folder.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "cab_format.h"
#include "cabinet.h"
#include "checksum.h"
#include "support/cab_reader.h"
#include "support/memory_fdi.h"
#include "support/process_output.h"
#include "support/temp_folder.h"

namespace {

using cabinet::testing::commandOutput;
using cabinet::testing::shellQuote;
using cabtest::FdiHarness;

std::vector<uint8_t> corpusFile(const std::string& name) {
    return cabtest::readWholeFile(cabtest::corpusPath(name));
}

// What cabextract writes for one member of the cabinet at `path`.
std::vector<uint8_t> cabextractMember(const std::string& path, const std::string& member) {
    bool ok = false;
    auto bytes = commandOutput(
        "cabextract -q -p -F " + shellQuote(member) + " " + shellQuote(path) + " 2>/dev/null", &ok);
    EXPECT_TRUE(ok) << "cabextract failed on " << path;
    return bytes;
}

std::vector<FDINotificationType> typesOf(const std::vector<cabtest::Notification>& events) {
    std::vector<FDINotificationType> types;
    for (const auto& e : events) types.push_back(e.type);
    return types;
}

TEST(FdiCopyTest, OffersMembersInStoredOrderAndWritesTheirBytes) {
    FdiHarness h;
    ASSERT_TRUE(h.created());
    h.files["in/mszip_lzx_qtm.cab"] = corpusFile("cabd/mszip_lzx_qtm.cab");
    ASSERT_TRUE(h.copy("mszip_lzx_qtm.cab", "in/"));
    EXPECT_EQ(typesOf(h.events),
              (std::vector<FDINotificationType>{
                  fdintCABINET_INFO, fdintCOPY_FILE, fdintCLOSE_FILE_INFO, fdintCOPY_FILE,
                  fdintCLOSE_FILE_INFO, fdintCOPY_FILE, fdintCLOSE_FILE_INFO}));
    EXPECT_EQ(h.events[0].psz3, "in/");
    const std::string path = cabtest::corpusPath("cabd/mszip_lzx_qtm.cab");
    for (const char* member : {"mszip.txt", "lzx.txt", "qtm.txt"}) {
        EXPECT_EQ(h.outputs[member], cabextractMember(path, member)) << member;
    }
    EXPECT_EQ(h.openFiles(), 0);
}

TEST(FdiCopyTest, SkippedMembersAreNotDecoded) {
    cabtest::TempFolder temp;
    auto path = cabtest::makeGcabCabinet(
        temp.path(), "skip.cab",
        {{"first.bin", cabtest::noise(300000, 1)}, {"second.bin", cabtest::noise(300000, 2)}},
        true);
    FdiHarness h;
    h.files["skip.cab"] = cabtest::readWholeFile(path.string());
    const uint64_t fileSize = h.files["skip.cab"].size();

    h.wanted = {"nothing of that name"};
    ASSERT_TRUE(h.copy("skip.cab"));
    EXPECT_TRUE(h.outputs.empty());
    EXPECT_LT(h.bytesRead, fileSize / 10) << "the data blocks were read";

    // Damage the last data block: the first member still comes out, the second does not.
    h.files["skip.cab"][fileSize - 50] ^= 0x55;
    h.wanted = {"first.bin"};
    ASSERT_TRUE(h.copy("skip.cab"));
    EXPECT_EQ(h.outputs["first.bin"], cabtest::noise(300000, 1));
    h.wanted = {"second.bin"};
    EXPECT_FALSE(h.copy("skip.cab"));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_CORRUPT_CABINET);
    EXPECT_TRUE(h.error().ErrorPresent);
}

struct AnswerCase {
    const char* name;
    FDINotificationType type;
    CabHandle answer;
    int error;
};

class FdiAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(FdiAnswerTest, EndsThePassWithTheAnswersError) {
    const auto& c = GetParam();
    FdiHarness h;
    h.files["a.cab"] = corpusFile("cabd/normal_2files_1folder.cab");
    h.override = [&](FDINotificationType type, FDINotification&) -> std::optional<CabHandle> {
        if (type == c.type) return c.answer;
        return std::nullopt;
    };
    EXPECT_FALSE(h.copy("a.cab"));
    EXPECT_EQ(h.error().ErrorCode, c.error);
    EXPECT_EQ(h.events.back().type, c.type) << "the pass went on after the answer";
    EXPECT_EQ(h.openFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FdiAnswerTest,
    ::testing::Values(AnswerCase{"AbortAtCabinetInfo", fdintCABINET_INFO, -1, FDIERROR_USER_ABORT},
                      AnswerCase{"AbortAtCopy", fdintCOPY_FILE, -1, FDIERROR_USER_ABORT},
                      AnswerCase{"AbortAtClose", fdintCLOSE_FILE_INFO, -1, FDIERROR_USER_ABORT},
                      AnswerCase{"RefusedClose", fdintCLOSE_FILE_INFO, 0, FDIERROR_TARGET_FILE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FdiCopyTest, AFailedWriteIsATargetFileError) {
    FdiHarness h;
    h.files["a.cab"] = corpusFile("cabd/normal_2files_1folder.cab");
    h.writeLimit = 10;
    EXPECT_FALSE(h.copy("a.cab"));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_TARGET_FILE);
    EXPECT_NE(typesOf(h.events).back(), fdintCLOSE_FILE_INFO);
}

struct BrokenCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;  // applied to normal_2files_1folder.cab
    int error;
};

class FdiBrokenCabinetTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(FdiBrokenCabinetTest, FailsWithTheMatchingCode) {
    const auto& c = GetParam();
    FdiHarness h;
    auto bytes = corpusFile("cabd/normal_2files_1folder.cab");
    c.damage(bytes);
    h.files["a.cab"] = bytes;
    EXPECT_FALSE(h.copy("a.cab"));
    EXPECT_EQ(h.error().ErrorCode, c.error);
    EXPECT_EQ(h.openFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, FdiBrokenCabinetTest,
    ::testing::Values(
        BrokenCase{"NotACabinet", [](auto& b) { b[0] = 'X'; }, FDIERROR_NOT_A_CABINET},
        BrokenCase{"Empty", [](auto& b) { b.clear(); }, FDIERROR_NOT_A_CABINET},
        BrokenCase{"NewerVersion", [](auto& b) { b[25] = 2; }, FDIERROR_UNKNOWN_CABINET_VERSION},
        BrokenCase{"DirectoryCutShort", [](auto& b) { b.resize(60); }, FDIERROR_CORRUPT_CABINET},
        BrokenCase{"DataCutShort", [](auto& b) { b.resize(b.size() - 20); },
                   FDIERROR_CORRUPT_CABINET},
        BrokenCase{"ChecksumMismatch", [](auto& b) { b[b.size() - 1] ^= 1; },
                   FDIERROR_CORRUPT_CABINET},
        BrokenCase{"UnknownCompression", [](auto& b) { b[42] = 0x0F; }, FDIERROR_BAD_COMPR_TYPE},
        BrokenCase{"MemberPastTheFolder", [](auto& b) { b[44 + 16 + 8 + 1] = 0x10; },
                   FDIERROR_CORRUPT_CABINET}),
    [](const auto& info) { return std::string(info.param.name); });

// A block's reserved area is not part of its checksum: cabextract, the oracle, accepts the
// checksum taken over the data and refuses the one that takes the reserved area in.
TEST(FdiCopyTest, DataBlockChecksumsLeaveTheReservedAreaOut) {
    auto cab = cabtest::parseCabinetFile(cabtest::corpusPath("cabd/reserve_--D.cab"));
    ASSERT_GT(cab.header.dataReserveSize, 0);
    const size_t block = cab.folders[0].dataOffset;
    const uint8_t* reserve = cab.bytes.data() + block + cabinet::kCabDataHeaderSize;
    const uint16_t dataSize = cabinet::readLE16(cab.bytes.data() + block + 4);
    const uint8_t* sizes = cab.bytes.data() + block + 4;
    struct Variant {
        uint32_t checksum;
        bool valid;
    };
    const Variant variants[] = {
        {cabinet::dataBlockChecksum(reserve + cab.header.dataReserveSize, dataSize, sizes), true},
        {cabinet::dataBlockChecksum(reserve, cab.header.dataReserveSize + dataSize, sizes), false}};
    cabtest::TempFolder temp;
    for (const auto& v : variants) {
        auto bytes = cab.bytes;
        for (int i = 0; i < 4; ++i) bytes[block + i] = static_cast<uint8_t>(v.checksum >> (8 * i));
        cabtest::writeFile(temp / "checked.cab", bytes);
        int peer = cabtest::runCommand(
            "cabextract -q -t " + shellQuote((temp / "checked.cab").string()) + " >/dev/null 2>&1");
        EXPECT_EQ(peer == 0, v.valid) << "cabextract disagrees";
        FdiHarness h;
        h.files["checked.cab"] = bytes;
        EXPECT_EQ(h.copy("checked.cab"), v.valid);
        if (!v.valid) {
            EXPECT_EQ(h.error().ErrorCode, FDIERROR_CORRUPT_CABINET);
        }
    }
}

TEST(FdiCopyTest, AMissingCabinetIsNotFound) {
    FdiHarness h;
    EXPECT_FALSE(h.copy("absent.cab", "nowhere/"));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_CABINET_NOT_FOUND);
    EXPECT_TRUE(h.events.empty());
}

TEST(FdiIsCabinetTest, FillsTheCabinetFacts) {
    FdiHarness h;
    h.files["pt2"] = corpusFile("cabd/multi_basic_pt2.cab");
    h.files["reserve"] = corpusFile("cabd/reserve_HFD.cab");
    h.files["text"] = {'h', 'e', 'l', 'l', 'o'};
    FDICabInfo info{};
    ASSERT_TRUE(h.isCabinet("pt2", info));
    EXPECT_EQ(info.cbCabinet, static_cast<int32_t>(h.files["pt2"].size()));
    EXPECT_EQ(info.cFolders, 1);
    EXPECT_EQ(info.cFiles, 3);
    EXPECT_EQ(info.setID, 12345);
    EXPECT_EQ(info.iCabinet, 1);
    EXPECT_TRUE(info.hasprev);
    EXPECT_TRUE(info.hasnext);
    EXPECT_FALSE(info.fReserve);
    ASSERT_TRUE(h.isCabinet("reserve", info));
    EXPECT_TRUE(info.fReserve);
    EXPECT_FALSE(info.hasprev);
    EXPECT_FALSE(info.hasnext);
    EXPECT_FALSE(h.isCabinet("text", info));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_NOT_A_CABINET);
}

// Every allocation the library makes may be refused: it then fails with ALLOC_FAIL, never
// crashes, and returns every block and handle.
TEST(FdiMemoryTest, RefusedMemoryFailsCleanly) {
    bool succeeded = false;
    for (int grants = 0; grants < 200 && !succeeded; ++grants) {
        {
            FdiHarness h(grants);
            if (!h.created()) {
                EXPECT_EQ(h.error().ErrorCode, FDIERROR_ALLOC_FAIL) << grants;
                continue;
            }
            h.files["a.cab"] = corpusFile("cabd/mszip_lzx_qtm.cab");
            succeeded = h.copy("a.cab");
            if (!succeeded) {
                EXPECT_EQ(h.error().ErrorCode, FDIERROR_ALLOC_FAIL) << grants;
            }
            EXPECT_EQ(h.openFiles(), 0);
        }
        EXPECT_EQ(FdiHarness::liveBlocks(), 0) << "leak with " << grants << " grants";
    }
    EXPECT_TRUE(succeeded);
}

// The five-part set, under the names its cabinets give each other.
class FdiSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 5; ++i) {
            std::string n = std::to_string(i);
            h.files["set/cabd_multi_basic_pt" + n + ".cab"] =
                corpusFile("cabd/multi_basic_pt" + n + ".cab");
            cabtest::writeFile(temp / ("cabd_multi_basic_pt" + n + ".cab"),
                               corpusFile("cabd/multi_basic_pt" + n + ".cab"));
        }
    }
    std::vector<uint8_t> expected(const std::string& member) {
        return cabextractMember((temp / "cabd_multi_basic_pt1.cab").string(), member);
    }
    cabtest::TempFolder temp;
    FdiHarness h;
};

TEST_F(FdiSetTest, FollowsMembersIntoTheNextCabinets) {
    ASSERT_TRUE(h.copy("cabd_multi_basic_pt1.cab", "set/"));
    std::vector<std::pair<FDINotificationType, std::string>> seen;
    for (const auto& e : h.events) seen.emplace_back(e.type, e.psz1);
    using P = std::pair<FDINotificationType, std::string>;
    // The set's one data block is split over all five cabinets: the first member needs them all.
    EXPECT_EQ(seen, (std::vector<P>{
                        {fdintCABINET_INFO, "cabd_multi_basic_pt2.cab"},
                        {fdintCOPY_FILE, "test1.txt"},
                        {fdintNEXT_CABINET, "cabd_multi_basic_pt2.cab"},
                        {fdintCABINET_INFO, "cabd_multi_basic_pt3.cab"},
                        {fdintNEXT_CABINET, "cabd_multi_basic_pt3.cab"},
                        {fdintCABINET_INFO, "cabd_multi_basic_pt4.cab"},
                        {fdintNEXT_CABINET, "cabd_multi_basic_pt4.cab"},
                        {fdintCABINET_INFO, "cabd_multi_basic_pt5.cab"},
                        {fdintNEXT_CABINET, "cabd_multi_basic_pt5.cab"},
                        {fdintCABINET_INFO, ""},
                        {fdintCLOSE_FILE_INFO, "test1.txt"},
                        {fdintCOPY_FILE, "test2.txt"},
                        {fdintCLOSE_FILE_INFO, "test2.txt"},
                        {fdintCOPY_FILE, "test3.txt"},
                        {fdintCLOSE_FILE_INFO, "test3.txt"},
                    }));
    for (const char* member : {"test1.txt", "test2.txt", "test3.txt"})
        EXPECT_EQ(h.outputs[member], expected(member)) << member;
    EXPECT_EQ(h.events[3].iCabinet, 1);
    EXPECT_EQ(h.events[3].psz3, "set/");
    EXPECT_EQ(h.openFiles(), 0);
}

TEST_F(FdiSetTest, ALaterCabinetReportsMembersThatBeganEarlier) {
    h.wanted = {"none"};
    ASSERT_TRUE(h.copy("cabd_multi_basic_pt3.cab", "set/"));
    ASSERT_EQ(h.events.size(), 4u);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(h.events[i].type, fdintPARTIAL_FILE);
        EXPECT_EQ(h.events[i].psz2, "cabd_multi_basic_pt2.cab");  // the previous cabinet
    }
    EXPECT_EQ(h.events[1].cb, 76);
}

TEST_F(FdiSetTest, AMissingNextCabinetIsAskedForAgainAFewTimesThenFails) {
    h.files.erase("set/cabd_multi_basic_pt2.cab");
    EXPECT_FALSE(h.copy("cabd_multi_basic_pt1.cab", "set/"));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_CABINET_NOT_FOUND);
    int asked = 0;
    for (const auto& e : h.events) {
        if (e.type != fdintNEXT_CABINET) continue;
        EXPECT_EQ(e.fdie, asked == 0 ? FDIERROR_NONE : FDIERROR_CABINET_NOT_FOUND);
        ++asked;
    }
    EXPECT_GT(asked, 1);
    EXPECT_LE(asked, 10);
}

TEST_F(FdiSetTest, ACabinetOutOfSequenceIsTheWrongCabinet) {
    h.files["set/cabd_multi_basic_pt2.cab"] = h.files["set/cabd_multi_basic_pt3.cab"];
    h.override = [](FDINotificationType type, FDINotification& n) -> std::optional<CabHandle> {
        if (type == fdintNEXT_CABINET && n.fdie != FDIERROR_NONE) return -1;
        return std::nullopt;
    };
    EXPECT_FALSE(h.copy("cabd_multi_basic_pt1.cab", "set/"));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_USER_ABORT);
    EXPECT_EQ(h.events.back().type, fdintNEXT_CABINET);
    EXPECT_EQ(h.events.back().fdie, FDIERROR_WRONG_CABINET);
}

TEST_F(FdiSetTest, TheHandlerMayPointToAnotherFolder) {
    for (int i = 2; i <= 5; ++i) {
        std::string n = "cabd_multi_basic_pt" + std::to_string(i) + ".cab";
        h.files["other/" + n] = h.files["set/" + n];
        h.files.erase("set/" + n);
    }
    h.override = [](FDINotificationType type, FDINotification& n) -> std::optional<CabHandle> {
        if (type == fdintNEXT_CABINET) {
            std::strcpy(n.psz3, "other/");
            return 0;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(h.copy("cabd_multi_basic_pt1.cab", "set/"));
    EXPECT_EQ(h.outputs["test3.txt"], expected("test3.txt"));
}

// One member per pass, as the archive layer extracts: the later passes resume inside the
// folder, so the whole costs about what one pass over every member costs.
class FdiResumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kMembers; ++i)
            members.push_back({"member" + std::to_string(i) + ".bin", cabtest::noise(100000, i)});
        auto path = cabtest::makeGcabCabinet(temp.path(), "many.cab", members, true);
        h.files["many.cab"] = cabtest::readWholeFile(path.string());
    }
    static constexpr int kMembers = 24;
    cabtest::TempFolder temp;
    std::vector<cabtest::FixtureMember> members;
    FdiHarness h;
};

TEST_F(FdiResumeTest, OnePassPerMemberReadsTheFolderAboutOnce) {
    ASSERT_TRUE(h.copy("many.cab"));
    const uint64_t onePass = h.bytesRead;
    for (int i = 0; i < kMembers; ++i) {
        h.wanted = {members[i].name};
        ASSERT_TRUE(h.copy("many.cab")) << i;
        EXPECT_EQ(h.outputs[members[i].name], members[i].bytes) << i;
    }
    uint64_t perMemberPasses = h.bytesRead - onePass;
    // Decoding each folder from its start would read about twelve times as much.
    EXPECT_LT(perMemberPasses, onePass * 2) << "one pass read " << onePass;
}

TEST_F(FdiResumeTest, AnEarlierMemberOrAChangedCabinetIsDecodedAfresh) {
    h.wanted = {members[20].name};
    ASSERT_TRUE(h.copy("many.cab"));
    h.wanted = {members[3].name};
    ASSERT_TRUE(h.copy("many.cab"));
    EXPECT_EQ(h.outputs[members[3].name], members[3].bytes);

    // The same names and sizes with other contents, in place of the first cabinet.
    std::vector<cabtest::FixtureMember> other;
    for (int i = 0; i < kMembers; ++i)
        other.push_back({members[i].name, cabtest::sampleText(100000, i)});
    cabtest::TempFolder otherTemp;
    auto path = cabtest::makeGcabCabinet(otherTemp.path(), "many.cab", other, true);
    h.files["many.cab"] = cabtest::readWholeFile(path.string());
    h.wanted = {members[4].name};
    ASSERT_TRUE(h.copy("many.cab"));
    EXPECT_EQ(h.outputs[members[4].name], other[4].bytes);
}

}  // namespace
