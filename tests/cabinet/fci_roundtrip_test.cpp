// Cabinets written through FCI must be read back exactly by the peer tools (cabextract, 7zz),
// single or spanned over a set, for every compression type and kind of content.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cab_format.h"
#include "support/cab_reader.h"
#include "support/fci_harness.h"

namespace {

namespace fs = std::filesystem;
using cabtest::FciSession;
using cabtest::TempDir;

struct Member {
    std::string storedName;  // as in the cabinet; "\" separates folders
    std::vector<uint8_t> bytes;
};

std::vector<Member> contentSet(const std::string& kind) {
    if (kind == "empty") return {{"empty.txt", {}}};
    if (kind == "tiny") return {{"a.txt", {'h', 'i', '\n'}}, {"b.bin", {0}}};
    if (kind == "incompressible") return {{"noise.jpg", cabtest::randomBytes(200000, 7)}};
    if (kind == "repetitive") return {{"text.txt", cabtest::repetitiveText(700000)}};
    // A mix: members of every kind, some in sub-folders, some crossing block boundaries.
    return {{"empty.txt", {}},
            {"docs\\readme.txt", cabtest::repetitiveText(40000)},
            {"docs\\nested\\zero.dat", {}},
            {"noise.bin", cabtest::randomBytes(90000, 3)},
            {"exact32k.bin", cabtest::randomBytes(32768, 5)},
            {"text.txt", cabtest::repetitiveText(150000)},
            {"last-empty.txt", {}}};
}

struct RoundTripCase {
    const char* name;
    TCOMP compression;
    const char* content;
    uint32_t maxCabinet;       // 0 = one cabinet
    uint32_t folderThreshold;  // 0 = one folder
};

std::ostream& operator<<(std::ostream& out, const RoundTripCase& c) {
    return out << c.name;
}

std::string onDisk(const std::string& storedName) {
    std::string path = storedName;
    for (auto& ch : path) {
        if (ch == '\\') ch = '/';
    }
    return path;
}

// Empty when the file has the expected bytes, else what differs.
std::string compareFile(const std::string& path, const std::vector<uint8_t>& expected) {
    if (!fs::exists(path)) return "missing";
    auto actual = cabtest::readWholeFile(path);
    if (actual == expected) return "";
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return "size " + std::to_string(actual.size()) + " (expected " +
           std::to_string(expected.size()) + "), first difference at " + std::to_string(at);
}

class FciRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(FciRoundTripTest, PeersExtractExactlyTheInput) {
    const auto& c = GetParam();
    TempDir dir;
    auto members = contentSet(c.content);
    fs::create_directories(dir.file("in"));
    fs::create_directories(dir.file("cab"));

    FciSession fci(dir.file("cab"));
    fci.parameters.cb = c.maxCabinet;
    fci.parameters.cbFolderThresh = c.folderThreshold;
    ASSERT_TRUE(fci.create()) << fci.error.ErrorCode;
    for (size_t i = 0; i < members.size(); ++i) {
        std::string source = dir.file("in/" + std::to_string(i));
        cabtest::writeFile(source, members[i].bytes);
        ASSERT_TRUE(fci.add(source, members[i].storedName, c.compression))
            << members[i].storedName << ": error " << fci.error.ErrorCode;
    }
    ASSERT_TRUE(fci.flushCabinet()) << fci.error.ErrorCode;
    ASSERT_TRUE(fci.destroy());
    EXPECT_EQ(fci.liveAllocations, 0);
    EXPECT_EQ(fci.openHandles, 0);
    EXPECT_TRUE(fci.tempFilesLeft().empty());

    // The set's headers: exact sizes, numbering, links, and the size limit kept.
    const auto& cabinets = fci.cabinetsOpened;
    ASSERT_FALSE(cabinets.empty());
    if (c.maxCabinet) {
        EXPECT_GE(cabinets.size(), 3u) << "the case should span at least three cabinets";
    }
    for (size_t i = 0; i < cabinets.size(); ++i) {
        auto cab = cabtest::parseCabinetFile(cabinets[i]);
        EXPECT_EQ(cab.header.cabinetSize, cab.bytes.size()) << cabinets[i];
        if (c.maxCabinet) {
            EXPECT_LE(cab.bytes.size(), c.maxCabinet) << cabinets[i];
        }
        EXPECT_EQ(cab.header.cabinetIndex, i);
        EXPECT_EQ(cab.header.setID, 1234);
        EXPECT_EQ(cab.header.hasPrev(), i > 0);
        EXPECT_EQ(cab.header.hasNext(), i + 1 < cabinets.size());
        if (i + 1 < cabinets.size()) {
            EXPECT_EQ(std::string(cab.header.nextCabinet), fs::path(cabinets[i + 1]).filename());
        }
        if (i > 0) {
            EXPECT_EQ(std::string(cab.header.prevCabinet), fs::path(cabinets[i - 1]).filename());
        }
    }

    // Each reader tests the set, then extracts it from its first cabinet into a folder of its
    // own: {name, test command, extract command}; "%C" is the first cabinet, "%D" the folder.
    const std::string cabtool = std::string(PELMORA_BINARY_DIR) + "/bin/cabtool";
    const std::vector<std::array<std::string, 3>> readers = {
        {"cabextract", "cabextract -t '%C'", "cabextract -q -d '%D' '%C'"},
        {"7zz", "7zz t '%C'", "7zz x -y -o'%D' '%C'"},
        {"cabtool", cabtool + " test '%C'", cabtool + " extract -d '%D' '%C'"},
    };
    auto expand = [&](std::string command, const std::string& folder) {
        for (auto [key, value] : {std::pair{"%C", cabinets.front()}, std::pair{"%D", folder}}) {
            for (size_t at; (at = command.find(key)) != std::string::npos;) {
                command.replace(at, 2, value);
            }
        }
        return command;
    };
    for (const auto& [name, test, extract] : readers) {
        std::string folder = dir.file("out-" + name), output;
        EXPECT_EQ(cabtest::runCommand(expand(test, folder), &output), 0) << name << "\n" << output;
        EXPECT_EQ(cabtest::runCommand(expand(extract, folder), &output), 0) << name << "\n"
                                                                            << output;
        for (const auto& m : members) {
            std::string relative = onDisk(m.storedName);
            EXPECT_EQ(compareFile(folder + "/" + relative, m.bytes), "")
                << name << ": " << relative;
        }
    }
}

constexpr TCOMP kStored = tcompTYPE_NONE;
constexpr TCOMP kMszip = tcompTYPE_MSZIP;
constexpr TCOMP lzx(unsigned windowBits) {
    return static_cast<TCOMP>(tcompTYPE_LZX | windowBits << tcompSHIFT_LZX_WINDOW);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, FciRoundTripTest,
    ::testing::Values(RoundTripCase{"stored_empty", kStored, "empty", 0, 0},
                      RoundTripCase{"stored_tiny", kStored, "tiny", 0, 0},
                      RoundTripCase{"stored_mixed", kStored, "mixed", 0, 0},
                      RoundTripCase{"stored_mixed_folders", kStored, "mixed", 0, 50000},
                      RoundTripCase{"stored_mixed_spanned", kStored, "mixed", 60000, 0},
                      RoundTripCase{"stored_noise_spanned", kStored, "incompressible", 50000, 0},
                      RoundTripCase{"mszip_empty", kMszip, "empty", 0, 0},
                      RoundTripCase{"mszip_tiny", kMszip, "tiny", 0, 0},
                      RoundTripCase{"mszip_noise", kMszip, "incompressible", 0, 0},
                      RoundTripCase{"mszip_repetitive", kMszip, "repetitive", 0, 0},
                      RoundTripCase{"mszip_mixed", kMszip, "mixed", 0, 0},
                      RoundTripCase{"mszip_mixed_folders", kMszip, "mixed", 0, 30000},
                      RoundTripCase{"mszip_mixed_spanned", kMszip, "mixed", 40000, 0},
                      RoundTripCase{"mszip_noise_spanned", kMszip, "incompressible", 50000, 0},
                      // Cabinets smaller than a block: blocks split over several cabinets.
                      RoundTripCase{"mszip_noise_small_cabinets", kMszip, "incompressible", 6000,
                                    0},
                      RoundTripCase{"stored_tiny_small_cabinets", kStored, "mixed", 300, 0},
                      RoundTripCase{"mszip_mixed_spanned_folders", kMszip, "mixed", 40000, 20000},
                      RoundTripCase{"lzx15_empty", lzx(15), "empty", 0, 0},
                      RoundTripCase{"lzx15_tiny", lzx(15), "tiny", 0, 0},
                      RoundTripCase{"lzx15_mixed", lzx(15), "mixed", 0, 0},
                      RoundTripCase{"lzx16_mixed_spanned", lzx(16), "mixed", 40000, 0},
                      RoundTripCase{"lzx17_repetitive", lzx(17), "repetitive", 0, 0},
                      RoundTripCase{"lzx18_mixed_folders", lzx(18), "mixed", 0, 30000},
                      RoundTripCase{"lzx19_noise_spanned", lzx(19), "incompressible", 50000, 0},
                      RoundTripCase{"lzx20_noise", lzx(20), "incompressible", 0, 0},
                      RoundTripCase{"lzx21_mixed", lzx(21), "mixed", 0, 0},
                      RoundTripCase{"lzx21_mixed_spanned", lzx(21), "mixed", 40000, 0},
                      RoundTripCase{"lzx21_mixed_spanned_folders", lzx(21), "mixed", 40000, 20000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
