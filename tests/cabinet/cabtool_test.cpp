// cabtool as its users run it: listing, extraction into folders, refusal of names that leave
// the output folder, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <sstream>

#include "../util/support/stored_name_cases.h"
#include "support/cab_reader.h"
#include "support/cabinet_image.h"
#include "support/process_output.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace {

using cabinet::testing::shellQuote;
using cabtest::runTool;
using cabtest::TempFolder;

std::string cabtool(const std::string& arguments) {
    return shellQuote(cabtest::cabtoolPath()) + " " + arguments;
}

std::string quoted(const std::filesystem::path& p) {
    return shellQuote(p.string());
}

// Replaces a stored name in a cabinet by another of the same length.
void renameMember(std::vector<uint8_t>& cab, const std::string& from, const std::string& to) {
    ASSERT_EQ(from.size(), to.size());
    auto it = std::search(cab.begin(), cab.end(), from.begin(), from.end());
    ASSERT_NE(it, cab.end()) << from;
    std::copy(to.begin(), to.end(), it);
}

TEST(CabtoolTest, ListsSizeDateTimeAttributesAndName) {
    TempFolder temp;
    auto cab = cabtest::makeGcabCabinet(
        temp.path(), "t.cab",
        {{"a.txt", {'h', 'e', 'l', 'l', 'o'}}, {"sub/b.txt", cabtest::sampleText(70000, 1)}}, true);
    auto run = runTool(cabtool("list " + quoted(cab)));
    ASSERT_EQ(run.status, 0) << run.err;
    // size, YYYY-MM-DD, HH:MM:SS, seven attribute letters or '-', stored name
    auto wellFormed = [](const std::string& date, const std::string& time,
                         const std::string& attributes) {
        return date.size() == 10 && date[4] == '-' && date[7] == '-' && time.size() == 8 &&
               time[2] == ':' && time[5] == ':' && attributes.size() == 7 &&
               attributes.find_first_not_of("-rhsaxuc") == std::string::npos;
    };
    std::vector<std::pair<std::string, std::string>> members;
    std::istringstream lines(run.out);
    for (std::string l; std::getline(lines, l);) {
        std::istringstream fields(l);
        std::string size, date, time, attributes, name;
        fields >> size >> date >> time >> attributes >> name;
        EXPECT_TRUE(wellFormed(date, time, attributes)) << l;
        members.emplace_back(size, name);
    }
    EXPECT_EQ(members, (std::vector<std::pair<std::string, std::string>>{{"5", "a.txt"},
                                                                         {"70000", "sub\\b.txt"}}));
}

TEST(CabtoolTest, ExtractRecreatesStoredFoldersAndStampsTheTime) {
    TempFolder temp;
    auto text = cabtest::sampleText(70000, 1);
    auto cab = cabtest::makeGcabCabinet(temp.path(), "t.cab",
                                        {{"a.txt", {'h', 'i'}}, {"sub/deeper/b.txt", text}}, true);
    auto source = temp.path() / "t.cab.members" / "sub/deeper/b.txt";
    auto run = runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(cab)));
    ASSERT_EQ(run.status, 0) << run.err;
    auto tree = cabtest::readTree(temp / "out");
    EXPECT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree["sub/deeper/b.txt"], text);
    EXPECT_EQ(tree["a.txt"], (std::vector<uint8_t>{'h', 'i'}));
    auto stamped = std::filesystem::last_write_time(temp / "out/sub/deeper/b.txt");
    auto original = std::filesystem::last_write_time(source);
    EXPECT_LE(std::chrono::abs(stamped - original), std::chrono::seconds(2));
}

TEST(CabtoolTest, ExtractToStandardOutputWritesTheNamedMember) {
    TempFolder temp;
    auto text = cabtest::sampleText(50000, 4);
    auto cab =
        cabtest::makeGcabCabinet(temp.path(), "t.cab", {{"a.txt", {'x'}}, {"b.txt", text}}, true);
    auto run = runTool(cabtool("extract -p " + quoted(cab) + " b.txt"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::vector<uint8_t>(run.out.begin(), run.out.end()), text);
}

TEST(CabtoolTest, RefusesNamesThatLeaveTheOutputFolder) {
    TempFolder temp;
    auto made = cabtest::makeGcabCabinet(temp.path(), "made.cab",
                                         {{"x1234567.txt", {'1'}},
                                          {"y1234567.txt", {'2'}},
                                          {"z1234567.txt", {'3'}},
                                          {"w1234567.txt", {'4'}},
                                          {"good.txt", {'5'}}},
                                         false);
    auto bytes = cabtest::readWholeFile(made.string());
    renameMember(bytes, "x1234567.txt", "..\\..\\e1.txt");
    renameMember(bytes, "y1234567.txt", "C:\\e2345.txt");
    renameMember(bytes, "z1234567.txt", "/tmp/zz1.txt");
    renameMember(bytes, "w1234567.txt", "sub/../../e4");
    cabtest::writeFile(temp / "box/evil.cab", bytes);

    auto out = temp / "box/out";
    auto run = runTool(cabtool("extract -d " + quoted(out) + " " + quoted(temp / "box/evil.cab")));
    EXPECT_EQ(run.status, 1);
    for (const char* refused :
         {"..\\..\\e1.txt", "C:\\e2345.txt", "/tmp/zz1.txt", "sub/../../e4"}) {
        EXPECT_NE(run.err.find(std::string(refused) + ": refused"), std::string::npos)
            << refused << "\n"
            << run.err;
    }
    EXPECT_NE(run.err.find("FDIERROR_TARGET_FILE"), std::string::npos);
    auto tree = cabtest::readTree(out);
    EXPECT_EQ(tree.size(), 1u);
    EXPECT_TRUE(tree.count("good.txt"));
    // Nothing appeared beside the output folder or above it.
    auto box = cabtest::readTree(temp / "box");
    EXPECT_EQ(box.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "e1.txt"));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "e4"));
}

TEST(CabtoolTest, DoesNotFollowALinkedFolderOutOfTheOutputFolder) {
    TempFolder temp;
    auto cab = cabtest::makeGcabCabinet(temp.path(), "t.cab", {{"sub/x.txt", {'x'}}}, false);
    std::filesystem::create_directories(temp / "out");
    std::filesystem::create_directories(temp / "elsewhere");
    std::filesystem::create_directory_symlink(temp / "elsewhere", temp / "out/sub");
    auto run = runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(cab)));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("sub\\x.txt: refused"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(temp / "elsewhere"));
}

// A linked folder is refused even where it points back inside the output folder.
TEST(CabtoolTest, DoesNotFollowALinkedFolderThatStaysInside) {
    TempFolder temp;
    auto cab = cabtest::makeGcabCabinet(temp.path(), "t.cab", {{"sub/x.txt", {'x'}}}, false);
    std::filesystem::create_directories(temp / "out/real");
    std::filesystem::create_directory_symlink(temp / "out/real", temp / "out/sub");
    auto run = runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(cab)));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("sub\\x.txt: refused: a folder on the way is a symbolic link"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(temp / "out/real"));
}

// Every stored name of the shared table with its folders kept, as cabtool extracts it beside
// a good member: the same rule as the archive's extraction.
class CabtoolStoredNameTest : public ::testing::TestWithParam<size_t> {};

TEST_P(CabtoolStoredNameTest, FollowsTheMemberPathRule) {
    const storednames::Case& c = storednames::cases()[GetParam()];
    const std::string expected = storednames::onThisPlatform(c);
    TempFolder temp;
    cabtest::writeFile(temp / "box/t.cab", cabinet::testing::storedCabinetImage(
                                               {{c.stored, "payload"}, {"good.txt", "good"}}));
    auto run = runTool(
        cabtool("extract -d " + quoted(temp / "box/out") + " " + quoted(temp / "box/t.cab")));
    auto tree = cabtest::readTree(temp / "box/out");
    EXPECT_EQ(tree["good.txt"], (std::vector<uint8_t>{'g', 'o', 'o', 'd'}));
    if (expected == storednames::kLeavesFolder || expected == storednames::kBadCharacters) {
        EXPECT_EQ(run.status, 1);
        const char* reason = expected == storednames::kLeavesFolder
                                 ? ": refused: the name leads outside the output folder"
                                 : ": refused: invalid characters in the name";
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_EQ(tree.size(), 1u);
    } else {
        EXPECT_EQ(run.status, 0) << run.err;
        std::string relative = expected;
        for (char& ch : relative)
            if (ch == '\\') ch = '/';
        EXPECT_EQ(tree[relative], (std::vector<uint8_t>{'p', 'a', 'y', 'l', 'o', 'a', 'd'}));
        EXPECT_EQ(tree.size(), 2u);
    }
    // Nothing beside the output folder or above it.
    EXPECT_EQ(cabtest::readTree(temp / "box").size(), tree.size() + 1);
    EXPECT_EQ(cabtest::readTree(temp.path()).size(), tree.size() + 1);
}

// The cases with stored folders kept: cabtool always keeps them.
std::vector<size_t> casesKeepingFolders() {
    std::vector<size_t> indexes;
    for (size_t i = 0; i < storednames::cases().size(); ++i)
        if (storednames::cases()[i].keepFolders) indexes.push_back(i);
    return indexes;
}

INSTANTIATE_TEST_SUITE_P(Names, CabtoolStoredNameTest, ::testing::ValuesIn(casesKeepingFolders()),
                         [](const auto& info) { return storednames::caseTitle(info.param); });

// A stored name holding terminal controls reaches neither the listing nor an error line
// as such: the controls are escaped.
TEST(CabtoolTest, ControlCharactersInNamesAreEscapedWhenPrinted) {
    TempFolder temp;
    const std::string hostile = "a\x1b]0;owned\x07\x1b[2J.txt";
    cabtest::writeFile(temp / "t.cab",
                       cabinet::testing::storedCabinetImage({{hostile, "x"}, {"b.txt", "y"}}));
    auto list = runTool(cabtool("list " + quoted(temp / "t.cab")));
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find(" a\\x1b]0;owned\\x07\\x1b[2J.txt\n"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos);

    auto run =
        runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(temp / "t.cab")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": a\\x1b]0;owned\\x07\\x1b[2J.txt: refused"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.err.find('\x07'), std::string::npos);
}

// A member that fails keeps the file it would have replaced and leaves no partial file; the
// members before it come out.
TEST(CabtoolTest, AFailedMemberLeavesTheExistingFileAlone) {
    TempFolder temp;
    auto first = cabtest::noise(100000, 1);
    auto made = cabtest::makeGcabCabinet(
        temp.path(), "t.cab", {{"first.bin", first}, {"second.bin", cabtest::noise(40000, 2)}},
        false);
    auto bytes = cabtest::readWholeFile(made.string());
    bytes[bytes.size() - 10] ^= 0xFF;  // in the last block: its checksum no longer matches
    cabtest::writeFile(temp / "bad.cab", bytes);
    cabtest::writeFile(temp / "out/second.bin", {'g', 'o', 'o', 'd'});

    auto run =
        runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(temp / "bad.cab")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "cabtool: " + (temp / "bad.cab").string() +
                           ": second.bin: corrupt cabinet (FDIERROR_CORRUPT_CABINET)\n");
    auto tree = cabtest::readTree(temp / "out");
    EXPECT_EQ(tree.size(), 2u) << "a partial file was left behind";
    EXPECT_EQ(tree["second.bin"], (std::vector<uint8_t>{'g', 'o', 'o', 'd'}));
    EXPECT_EQ(tree["first.bin"], first);
}

// A damaged folder costs only its own members: the pass is run again past the failed one.
TEST(CabtoolTest, MembersOfOtherFoldersSurviveADamagedFolder) {
    TempFolder temp;
    const std::string original = cabtest::corpusPath("cabd/mszip_lzx_qtm.cab");
    auto cab = cabtest::parseCabinetFile(original);
    auto bytes = cab.bytes;
    bytes[cab.folders[0].dataOffset + cabinet::kCabDataHeaderSize + 4] ^= 0xFF;
    cabtest::writeFile(temp / "damaged.cab", bytes);
    auto run =
        runTool(cabtool("extract -d " + quoted(temp / "out") + " " + quoted(temp / "damaged.cab")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("mszip.txt: corrupt cabinet"), std::string::npos) << run.err;
    auto peer = runTool("cabextract -q -d " + quoted(temp / "peer") + " " + shellQuote(original));
    ASSERT_EQ(peer.status, 0);
    auto expected = cabtest::readTree(temp / "peer");
    expected.erase("mszip.txt");
    EXPECT_EQ(cabtest::readTree(temp / "out"), expected);
}

struct FailureCase {
    const char* name;
    std::vector<uint8_t> content;  // empty: no file at all
    const char* code;
};

class CabtoolFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CabtoolFailureTest, ExitsWithOneLineNamingFileAndCode) {
    const auto& c = GetParam();
    TempFolder temp;
    auto file = temp / "input.cab";
    if (!c.content.empty()) cabtest::writeFile(file, c.content);
    for (const char* command : {"list", "test", "extract -d out"}) {
        auto run =
            runTool("cd " + quoted(temp.path()) + " && " + cabtool(command) + " " + quoted(file));
        EXPECT_EQ(run.status, 1) << command;
        std::string expected = "cabtool: " + file.string() + ": ";
        EXPECT_EQ(run.err.rfind(expected, 0), 0u) << command << ": " << run.err;
        EXPECT_NE(run.err.find(c.code), std::string::npos) << command << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CabtoolFailureTest,
    ::testing::Values(
        FailureCase{"Missing", {}, "FDIERROR_CABINET_NOT_FOUND"},
        FailureCase{"NotACabinet", {'t', 'e', 'x', 't', '\n'}, "FDIERROR_NOT_A_CABINET"},
        FailureCase{"CutShort",
                    cabtest::readWholeFile(cabtest::corpusPath("cabd/partial_shortfile1.cab")),
                    "FDIERROR_CORRUPT_CABINET"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
