// cabtool create, end to end: whatever it writes must be read back exactly by cabextract,
// 7zz and cabtool itself, for every compression type and LZX window, single or as a set.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cab_reader.h"
#include "support/fci_harness.h"

namespace {

namespace fs = std::filesystem;
using cabtest::TempDir;

const std::string kCabtool = std::string(PELMORA_BINARY_DIR) + "/bin/cabtool";

struct InputFile {
    std::string path;  // relative to the input folder, as given on the command line
    std::vector<uint8_t> bytes;
};

std::vector<InputFile> inputFiles() {
    return {{"empty.txt", {}},
            {"tiny.txt", {'o', 'k', '\n'}},
            {"photos/noise.jpg", cabtest::randomBytes(150000, 21)},
            {"docs/text.txt", cabtest::repetitiveText(400000)},
            {"docs/caf\xC3\xA9.txt", cabtest::repetitiveText(1000)}};
}

// Runs `command` in `folder`; answers the exit status, with the output in `output`.
int runIn(const std::string& folder, const std::string& command, std::string& output) {
    return cabtest::runCommand("cd '" + folder + "' && " + command, &output);
}

std::string compareFile(const std::string& path, const std::vector<uint8_t>& expected) {
    if (!fs::exists(path)) return "missing";
    return cabtest::readWholeFile(path) == expected ? "" : "differs";
}

struct CreateCase {
    const char* name;
    const char* compression;  // the -z value
    unsigned maxKiB;          // the -s value in KiB, 0 for one cabinet
};

class CabtoolCreateTest : public ::testing::TestWithParam<CreateCase> {};

TEST_P(CabtoolCreateTest, PeersAndCabtoolExtractExactlyTheInput) {
    const auto& c = GetParam();
    TempDir dir;
    auto files = inputFiles();
    std::string args;
    for (const auto& f : files) {
        fs::create_directories(fs::path(dir.file("in/" + f.path)).parent_path());
        cabtest::writeFile(dir.file("in/" + f.path), f.bytes);
        args += " '" + f.path + "'";
    }
    std::string output;
    std::string sizeOption = c.maxKiB ? " -s " + std::to_string(c.maxKiB) + "k" : "";
    ASSERT_EQ(
        runIn(dir.file("in"),
              kCabtool + " create -z " + c.compression + sizeOption + " ../out.cab" + args, output),
        0)
        << output;

    // The set: out.cab, then out.c01, out.c02... each within the size limit.
    std::vector<std::string> cabinets = {dir.file("out.cab")};
    for (int i = 1;
         fs::exists(dir.file("out.c" + std::string(i < 10 ? "0" : "") + std::to_string(i))); ++i) {
        cabinets.push_back(dir.file("out.c" + std::string(i < 10 ? "0" : "") + std::to_string(i)));
    }
    if (c.maxKiB) {
        EXPECT_GE(cabinets.size(), 3u);
    } else {
        EXPECT_EQ(cabinets.size(), 1u);
    }
    for (size_t i = 0; i < cabinets.size(); ++i) {
        auto cab = cabtest::parseCabinetFile(cabinets[i]);
        EXPECT_EQ(cab.header.cabinetSize, cab.bytes.size());
        if (c.maxKiB) {
            EXPECT_LE(cab.bytes.size(), c.maxKiB * 1024u) << cabinets[i];
        }
        EXPECT_EQ(cab.header.cabinetIndex, i);
        if (i + 1 < cabinets.size()) {
            EXPECT_EQ(std::string(cab.header.nextCabinet),
                      fs::path(cabinets[i + 1]).filename().string());
        }
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
    }

    const std::vector<std::array<std::string, 3>> readers = {
        {"cabextract", "cabextract -t out.cab", "cabextract -q -d out-cabextract out.cab"},
        {"7zz", "7zz t out.cab", "7zz x -y -oout-7zz out.cab"},
        {"cabtool", kCabtool + " test out.cab", kCabtool + " extract -d out-cabtool out.cab"},
    };
    for (const auto& [name, test, extract] : readers) {
        EXPECT_EQ(runIn(dir.path(), test, output), 0) << name << "\n" << output;
        EXPECT_EQ(runIn(dir.path(), extract, output), 0) << name << "\n" << output;
        for (const auto& f : files) {
            EXPECT_EQ(compareFile(dir.file("out-" + name + "/" + f.path), f.bytes), "")
                << name << ": " << f.path;
        }
    }
    // The stored names: "/" written as "\", non-ASCII names flagged as UTF-8.
    auto first = cabtest::parseCabinetFile(cabinets[0]);
    bool sawFolderName = false;
    for (const auto& file : first.files) {
        std::string stored = file.name;
        EXPECT_EQ(stored.find('/'), std::string::npos) << stored;
        sawFolderName = sawFolderName || stored.find('\\') != std::string::npos;
        bool ascii = std::all_of(stored.begin(), stored.end(),
                                 [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
        EXPECT_EQ((file.attributes & CAB_ATTRIB_NAME_IS_UTF) != 0, !ascii) << stored;
    }
    EXPECT_TRUE(sawFolderName);
}

INSTANTIATE_TEST_SUITE_P(
    Types, CabtoolCreateTest,
    ::testing::Values(CreateCase{"none", "none", 0}, CreateCase{"none_set", "none", 120},
                      CreateCase{"mszip", "mszip", 0}, CreateCase{"mszip_set", "mszip", 50},
                      CreateCase{"lzx15", "lzx:15", 0}, CreateCase{"lzx15_set", "lzx:15", 40},
                      CreateCase{"lzx16", "lzx:16", 0}, CreateCase{"lzx16_set", "lzx:16", 40},
                      CreateCase{"lzx17", "lzx:17", 0}, CreateCase{"lzx17_set", "lzx:17", 40},
                      CreateCase{"lzx18", "lzx:18", 0}, CreateCase{"lzx18_set", "lzx:18", 40},
                      CreateCase{"lzx19", "lzx:19", 0}, CreateCase{"lzx19_set", "lzx:19", 40},
                      CreateCase{"lzx20", "lzx:20", 0}, CreateCase{"lzx20_set", "lzx:20", 40},
                      CreateCase{"lzx21", "lzx:21", 0}, CreateCase{"lzx21_set", "lzx:21", 40}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCreateCase {
    const char* name;
    const char* arguments;  // after "cabtool create", run in a folder holding a.txt and sub/
    const char* message;    // part of what cabtool must print
};

class CabtoolCreateErrorTest : public ::testing::TestWithParam<BadCreateCase> {};

// Bad input: a clear message, exit status 1, and the existing out.cab untouched.
TEST_P(CabtoolCreateErrorTest, FailsClearlyAndKeepsTheExistingCabinet) {
    const auto& c = GetParam();
    TempDir dir;
    cabtest::writeFile(dir.file("a.txt"), cabtest::repetitiveText(100000));
    fs::create_directories(dir.file("sub"));
    std::vector<uint8_t> previous = {'o', 'l', 'd'};
    cabtest::writeFile(dir.file("out.cab"), previous);
    std::string output;
    EXPECT_EQ(runIn(dir.path(), kCabtool + " create " + c.arguments, output), 1) << output;
    EXPECT_NE(output.find(c.message), std::string::npos) << output;
    EXPECT_EQ(cabtest::readWholeFile(dir.file("out.cab")), previous);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "a.txt" || name == "sub" || name == "out.cab") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CabtoolCreateErrorTest,
    ::testing::Values(BadCreateCase{"missing_file", "out.cab a.txt nothing.txt",
                                    "nothing.txt: no such file"},
                      BadCreateCase{"folder", "out.cab sub", "sub: not a regular file"},
                      BadCreateCase{"twice", "out.cab a.txt ./a.txt", "named twice"},
                      BadCreateCase{"no_files", "out.cab", "usage"},
                      BadCreateCase{"bad_type", "-z lzx:22 out.cab a.txt", "unknown compression"},
                      BadCreateCase{"bad_size", "-s 12q out.cab a.txt", "invalid size"},
                      BadCreateCase{"too_small", "-s 60 out.cab a.txt", "too small"},
                      BadCreateCase{"too_many_cabinets", "-z none -s 600 out.cab a.txt",
                                    "more cabinets than numbered names"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
