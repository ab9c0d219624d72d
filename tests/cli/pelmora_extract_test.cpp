// pelmora-extract end to end: packs written by cabtool, the program run as a process, and
// the files, messages and exit status it leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/pack_fixture.h"

namespace {

namespace fs = std::filesystem;
using clitest::filesUnder;
using clitest::makePack;
using clitest::Member;
using clitest::readFile;
using clitest::runExtract;
using clitest::ScratchFolder;
using clitest::writeFile;

// A theme pack as Windows writes them, with an odd member or two.
const std::vector<Member> kAutumn = {
    {"Autumn.theme", "[Theme]\nDisplayName=Autumn\n"},
    {"DesktopBackground/img1.jpg", "first picture"},
    {"DesktopBackground/img2.PNG", "second picture"},
    {"DesktopBackground/deeper/IMG3.JPG", "third picture"},
};

struct ExtractCase {
    const char* title;
    std::vector<std::string> options;
    std::string folder;                 // where the files land, relative to the pack's folder
    std::vector<std::string> expected;  // files under it
};

class ExtractAutumn : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractAutumn, WritesTheSelectedMembers) {
    const ExtractCase& c = GetParam();
    ScratchFolder scratch;
    makePack(scratch / "Autumn.themepack", kAutumn);
    std::vector<std::string> args = c.options;
    args.push_back("Autumn.themepack");

    const auto result = runExtract(args, scratch.path());

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "") << "no bar without a terminal, and no failure";
    EXPECT_EQ(filesUnder(scratch / c.folder), c.expected);
    if (c.expected.empty()) return;
    const std::string last = c.expected.back();
    EXPECT_FALSE(readFile(scratch / c.folder / last).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Options, ExtractAutumn,
    ::testing::Values(
        // Pictures of any letter case from any folder, by their bare names.
        ExtractCase{"Default", {}, "Autumn", {"IMG3.JPG", "img1.jpg", "img2.PNG"}},
        ExtractCase{
            "Every", {"-a"}, "Autumn", {"Autumn.theme", "IMG3.JPG", "img1.jpg", "img2.PNG"}},
        ExtractCase{"StoredFolders",
                    {"-p"},
                    "Autumn",
                    {"DesktopBackground/deeper/IMG3.JPG", "DesktopBackground/img1.jpg",
                     "DesktopBackground/img2.PNG"}},
        ExtractCase{"Mask", {"-m", "*.theme;*.png"}, "Autumn", {"Autumn.theme", "img2.PNG"}},
        ExtractCase{"TargetFolder",
                    {"-q", "-d", "out/new"},
                    "out/new",
                    {"Autumn/IMG3.JPG", "Autumn/img1.jpg", "Autumn/img2.PNG"}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(PelmoraExtract, ContentIsExactAndTheLaterOfTwoSameNamesWins) {
    ScratchFolder scratch;
    makePack(scratch / "a.b.deskthemepack",
             {{"one/same.jpg", "from the first folder"}, {"two/same.jpg", "from the second"}});
    const auto result = runExtract({"a.b.deskthemepack"}, scratch.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(filesUnder(scratch / "a.b"), std::vector<std::string>{"same.jpg"});
    EXPECT_EQ(readFile(scratch / "a.b" / "same.jpg"), "from the second");
    EXPECT_EQ(result.out, "a.b.deskthemepack: 2 members extracted into a.b\n");
}

TEST(PelmoraExtract, ExtractingAgainReplacesEarlierCopies) {
    ScratchFolder scratch;
    makePack(scratch / "Autumn.themepack", kAutumn);
    ASSERT_EQ(runExtract({"-q", "Autumn.themepack"}, scratch.path()).status, 0);
    writeFile(scratch / "Autumn" / "img1.jpg", "edited by the user");

    const auto again = runExtract({"-q", "Autumn.themepack"}, scratch.path());

    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(readFile(scratch / "Autumn" / "img1.jpg"), "first picture");
}

TEST(PelmoraExtract, EveryPackIsTriedAndEachFailureGetsOneLine) {
    ScratchFolder scratch;
    makePack(scratch / "Good1.themepack", {{"g1.jpg", "good one"}});
    writeFile(scratch / "Broken.themepack", "this is not a cabinet, just text");
    makePack(scratch / "Good2.themepack", {{"g2.png", "good two"}});

    const auto result =
        runExtract({"Good1.themepack", "Broken.themepack", "Missing.themepack", "Good2.themepack"},
                   scratch.path());

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readFile(scratch / "Good1" / "g1.jpg"), "good one");
    EXPECT_EQ(readFile(scratch / "Good2" / "g2.png"), "good two");
    EXPECT_EQ(result.err,
              "pelmora-extract: Broken.themepack: Invalid file - not a cabinet file\n"
              "pelmora-extract: Missing.themepack: File not found\n");
    EXPECT_FALSE(fs::exists(scratch / "Broken")) << "no folder for a pack that is not one";
    EXPECT_FALSE(fs::exists(scratch / "Missing"));
}

TEST(PelmoraExtract, AMemberThatCannotBeWrittenIsNamedAndTheRestExtracted) {
    ScratchFolder scratch;
    makePack(scratch / "Pack.themepack",
             {{"DesktopBackground/blocked.jpg", "cannot land"}, {"ok.png", "lands"}});
    // A folder where the member's file should go.
    fs::create_directories(scratch / "Pack" / "blocked.jpg" / "inside");

    const auto result = runExtract({"Pack.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readFile(scratch / "Pack" / "ok.png"), "lands");
    EXPECT_TRUE(fs::is_directory(scratch / "Pack" / "blocked.jpg" / "inside"));
    EXPECT_TRUE(
        result.err.starts_with("pelmora-extract: Pack.themepack: DesktopBackground\\blocked.jpg: "))
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(result.out, "Pack.themepack: 1 member extracted into Pack, 1 failed\n");
}

TEST(PelmoraExtract, ADamagedPackLeavesEarlierCopiesIntact) {
    ScratchFolder scratch;
    std::string picture;
    for (int i = 0; i < 20000; ++i) picture += "picture line " + std::to_string(i * 7919) + "\n";
    makePack(scratch / "Pack.themepack", {{"big.jpg", picture}});
    ASSERT_EQ(runExtract({"-q", "Pack.themepack"}, scratch.path()).status, 0);
    ASSERT_EQ(readFile(scratch / "Pack" / "big.jpg"), picture);
    // Cut the pack in the middle of its compressed data.
    const std::string whole = readFile(scratch / "Pack.themepack");
    writeFile(scratch / "Pack.themepack", whole.substr(0, whole.size() / 2));

    const auto result = runExtract({"-q", "Pack.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Pack.themepack"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(scratch / "Pack" / "big.jpg"), picture);
    EXPECT_EQ(filesUnder(scratch / "Pack"), std::vector<std::string>{"big.jpg"})
        << "no partial file left beside it";
}

TEST(PelmoraExtract, ListsMembersWithoutWritingAnything) {
    ScratchFolder scratch;
    makePack(scratch / "Autumn.themepack", kAutumn);
    const auto result = runExtract({"-l", "Autumn.themepack"}, scratch.path());
    EXPECT_EQ(result.status, 0) << result.err;
    for (const Member& member : kAutumn) {
        std::string stored = member.storedName;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        const std::string size = std::to_string(member.content.size());
        EXPECT_NE(result.out.find(size + "  "), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("  " + stored + "\n"), std::string::npos) << result.out;
    }
    // The theme's name, then one line per member.
    EXPECT_TRUE(result.out.starts_with("Autumn.themepack: Autumn\n")) << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 5);
    EXPECT_FALSE(fs::exists(scratch / "Autumn"));
}

// A member whose name this platform cannot store fails alone, named with its control
// characters escaped, and the other members land.
TEST(PelmoraExtract, AMemberWithInvalidCharactersFailsAloneAndIsNamedSafely) {
    ScratchFolder scratch;
    makePack(scratch / "Pack.themepack", {{"bad\x1b[31m.jpg", "refused"}, {"ok.png", "lands"}});

    const auto result = runExtract({"Pack.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "pelmora-extract: Pack.themepack: bad\\x1b[31m.jpg: Invalid characters in path\n");
    EXPECT_EQ(result.out, "Pack.themepack: 1 member extracted into Pack, 1 failed\n");
    EXPECT_EQ(filesUnder(scratch / "Pack"), std::vector<std::string>{"ok.png"});
    EXPECT_EQ(readFile(scratch / "Pack" / "ok.png"), "lands");
}

TEST(PelmoraExtract, ListingEscapesControlCharactersInNames) {
    ScratchFolder scratch;
    makePack(scratch / "Pack.themepack", {{"t\x1b]0;owned\x07.jpg", "x"}, {"plain.jpg", "y"}});
    const auto result = runExtract({"-l", "Pack.themepack"}, scratch.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("  t\\x1b]0;owned\\x07.jpg\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("  plain.jpg\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(result.out.find('\x07'), std::string::npos);
}

// "|", "<", ">" and the double quote are ordinary characters in POSIX names: a pack, its
// folder and a target folder may hold them.
TEST(PelmoraExtract, WindowsOnlyCharactersAreOrdinaryOnPosix) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows cannot store these characters";
#endif
    ScratchFolder scratch;
    makePack(scratch / "a|b.themepack", {{"p|q.jpg", "first"}, {"x/\"r<s>\".png", "second"}});

    const auto beside = runExtract({"-q", "a|b.themepack"}, scratch.path());
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(filesUnder(scratch / "a|b"), (std::vector<std::string>{"\"r<s>\".png", "p|q.jpg"}));

    const auto target = runExtract({"-q", "-d", "out<\">", "a|b.themepack"}, scratch.path());
    EXPECT_EQ(target.status, 0) << target.err;
    EXPECT_EQ(readFile(scratch / "out<\">" / "a|b" / "p|q.jpg"), "first");
}

// A stored folder that is a symbolic link inside the target leads wherever the link points:
// its members are refused, and nothing is written there.
TEST(PelmoraExtract, StoredFoldersAreNotFollowedThroughLinks) {
    ScratchFolder scratch;
    makePack(scratch / "Autumn.themepack", kAutumn);
    fs::create_directories(scratch / "Autumn");
    fs::create_directories(scratch / "elsewhere");
    fs::create_directory_symlink(scratch / "elsewhere", scratch / "Autumn" / "DesktopBackground");

    const auto result = runExtract({"-a", "-p", "Autumn.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 1);
    for (const char* member : {"DesktopBackground\\img1.jpg", "DesktopBackground\\img2.PNG",
                               "DesktopBackground\\deeper\\IMG3.JPG"}) {
        EXPECT_NE(result.err.find(std::string("Autumn.themepack: ") + member +
                                  ": Stored name passes through a symbolic link\n"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_TRUE(fs::is_empty(scratch / "elsewhere"));
    EXPECT_EQ(readFile(scratch / "Autumn" / "Autumn.theme"), kAutumn[0].content);
}

TEST(PelmoraExtract, UsageHelpAndVersion) {
    ScratchFolder scratch;
    const auto misuse = runExtract({"-x", "A.themepack"}, scratch.path());
    EXPECT_EQ(misuse.status, 2);
    EXPECT_EQ(misuse.err,
              "pelmora-extract: unknown option -x\n"
              "usage: pelmora-extract [-d DIR] [-m MASK] [-a] [-p] [-l | -b] [-q] PACK...\n"
              "       pelmora-extract --spotlight [-q]\n");
    EXPECT_EQ(runExtract({}, scratch.path()).status, 2);

    const auto help = runExtract({"--help"}, scratch.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: pelmora-extract")) << help.out;

    const auto version = runExtract({"--version"}, scratch.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "pelmora-extract " PELMORA_TEST_VERSION "\n");
}

}  // namespace
