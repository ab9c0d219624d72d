// The shared corpus through cabtool, beside cabextract as the oracle: every file ends cleanly
// within 5 seconds, and every well-formed cabinet extracts to exactly cabextract's tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/cab_reader.h"
#include "support/process_output.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace {

using cabinet::testing::shellQuote;
namespace fs = std::filesystem;

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"cabd", "large"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(cabtest::corpusPath(folder), ec)) {
            if (entry.path().extension() == ".cab")
                files.push_back(std::string(folder) + "/" + entry.path().filename().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Cabinets that only a searching reader finds: they sit behind other bytes, so a reader that
// takes a cabinet from its first byte (as this library and the platform's do) rightly refuses
// the file, while cabextract scans for them.
bool isEmbeddedCabinet(const std::string& file) {
    return file.find("/search_") != std::string::npos;
}

// The parts of the five-part set name each other by other file names: they are compared as a
// set below.
bool isSetPart(const std::string& file) {
    return file.find("/multi_basic_pt") != std::string::npos;
}

// Well-formed is what cabextract accepts.
std::vector<std::string> wellFormedCorpus() {
    std::vector<std::string> files;
    for (const auto& file : corpusFiles()) {
        if (isEmbeddedCabinet(file) || isSetPart(file)) continue;
        std::string command =
            "cabextract -q -t " + shellQuote(cabtest::corpusPath(file)) + " >/dev/null 2>&1";
        if (cabtest::runCommand(command) == 0) files.push_back(file);
    }
    return files;
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::string cabtool(const std::string& arguments) {
    return shellQuote(cabtest::cabtoolPath()) + " " + arguments;
}

class CorpusRobustnessTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusRobustnessTest, TestEndsCleanlyWithinFiveSeconds) {
    const std::string path = cabtest::corpusPath(GetParam());
    auto run = cabtest::runTool(cabtool("test " + shellQuote(path)), 5);
    ASSERT_TRUE(run.status == 0 || run.status == 1)
        << "status " << run.status << " (124: timed out; 86 or -1: sanitizer or crash)\n"
        << run.err;
    if (run.status == 1) {
        EXPECT_NE(run.err.find("FDIERROR_"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("cabtool: ", 0), 0u) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusRobustnessTest, ::testing::ValuesIn(corpusFiles()),
                         testName);

class CorpusDifferentialTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusDifferentialTest, ExtractsWhatCabextractExtracts) {
    const std::string path = cabtest::corpusPath(GetParam());
    cabtest::TempFolder temp;
    auto peer = cabtest::runTool("cabextract -q -d " + shellQuote((temp / "peer").string()) + " " +
                                 shellQuote(path));
    ASSERT_EQ(peer.status, 0) << peer.err;
    auto ours = cabtest::runTool(
        cabtool("extract -d " + shellQuote((temp / "ours").string()) + " " + shellQuote(path)));
    ASSERT_EQ(ours.status, 0) << ours.err;
    auto expected = cabtest::readTree(temp / "peer");
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(cabtest::readTree(temp / "ours"), expected);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusDifferentialTest, ::testing::ValuesIn(wellFormedCorpus()),
                         testName);

// The five-part set under the names its parts give each other, one of them in other letter
// case as a set copied from Windows may be.
TEST(CorpusSetTest, ExtractsTheWholeSetFromItsFirstCabinet) {
    cabtest::TempFolder temp;
    for (int i = 1; i <= 5; ++i) {
        std::string n = std::to_string(i);
        std::string name = "cabd_multi_basic_pt" + n + ".cab";
        cabtest::writeFile(
            temp / "set" / name,
            cabtest::readWholeFile(cabtest::corpusPath("cabd/multi_basic_pt" + n + ".cab")));
    }
    auto first = (temp / "set/cabd_multi_basic_pt1.cab").string();
    auto peer = cabtest::runTool("cabextract -q -d " + shellQuote((temp / "peer").string()) + " " +
                                 shellQuote(first));
    ASSERT_EQ(peer.status, 0) << peer.err;
    fs::rename(temp / "set/cabd_multi_basic_pt3.cab", temp / "set/CABD_Multi_Basic_PT3.CAB");
    auto ours = cabtest::runTool(
        cabtool("extract -d " + shellQuote((temp / "ours").string()) + " " + shellQuote(first)));
    ASSERT_EQ(ours.status, 0) << ours.err;
    auto expected = cabtest::readTree(temp / "peer");
    EXPECT_EQ(expected.size(), 3u);
    EXPECT_EQ(cabtest::readTree(temp / "ours"), expected);

    // Without its third part the set fails, naming the cabinet that is missing.
    fs::remove(temp / "set/CABD_Multi_Basic_PT3.CAB");
    auto broken = cabtest::runTool(cabtool("test " + shellQuote(first)));
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("FDIERROR_CABINET_NOT_FOUND"), std::string::npos) << broken.err;
}

}  // namespace
