#include "util/member_output_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scratch_folder.h"
#include "support/stored_name_cases.h"
#include "util/utf16_text.h"

namespace {

namespace fs = std::filesystem;
using storednames::kBadCharacters;
using storednames::kLeavesFolder;

std::string toPosixSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

class StoredNameRuleTest : public ::testing::TestWithParam<size_t> {
protected:
    const storednames::Case& c() const { return storednames::cases()[GetParam()]; }
};

// The lexical half answers alike for both path styles on any host; characters are the
// platform's business and are not judged here.
TEST_P(StoredNameRuleTest, LexicalHalfInBothStyles) {
    for (const PathStyle style : {PathStyle::Windows, PathStyle::Posix}) {
        const std::string& expected = style == PathStyle::Windows ? c().onWindows : c().onPosix;
        const auto member = memberRelativePath(utf8ToUtf16(c().stored), c().keepFolders, style);
        SCOPED_TRACE(style == PathStyle::Windows ? "Windows" : "Posix");
        if (expected == kLeavesFolder) {
            EXPECT_EQ(member.verdict, MemberPathVerdict::leavesFolder);
            EXPECT_TRUE(member.relative.empty());
        } else {
            EXPECT_EQ(member.verdict, MemberPathVerdict::safe);
            if (expected != kBadCharacters) {
                EXPECT_EQ(utf16ToUtf8(member.relative), expected);
            }
        }
    }
}

// The whole rule on this platform, for a name in UTF-16 and for the raw bytes of the same
// name: both answer the same.
TEST_P(StoredNameRuleTest, WholeRuleOnThisPlatform) {
    ScratchFolder scratch;
    const std::string expected = storednames::onThisPlatform(c());
    const auto wide = memberOutputPath(scratch.path(), std::u16string_view(utf8ToUtf16(c().stored)),
                                       c().keepFolders);
    const auto bytes =
        memberOutputPath(scratch.path(), std::string_view(c().stored), c().keepFolders);
    const MemberPathVerdict verdict = expected == kLeavesFolder ? MemberPathVerdict::leavesFolder
                                      : expected == kBadCharacters
                                          ? MemberPathVerdict::invalidCharacters
                                          : MemberPathVerdict::safe;
    EXPECT_EQ(wide.verdict, verdict);
    EXPECT_EQ(bytes.verdict, verdict);
    if (verdict == MemberPathVerdict::safe) {
        EXPECT_EQ(utf16ToUtf8(wide.relative), expected);
        EXPECT_EQ(bytes.relative, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, StoredNameRuleTest,
                         ::testing::Range<size_t>(0, storednames::cases().size()),
                         [](const auto& info) { return storednames::caseTitle(info.param); });

// Folders on the way that are symbolic links, and where a link does no harm.
struct LinkCase {
    const char* title;
    const char* linkAt;      // below "out"
    const char* linkTarget;  // below the scratch folder
    const char* stored;
    bool keepFolders;
    bool refused;
};

class LinkOnTheWayTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkOnTheWayTest, RefusesEveryLinkedFolderBelowTheOutputFolder) {
    const LinkCase& c = GetParam();
    ScratchFolder scratch;
    scratch.makeFolder("out/inner");
    scratch.makeFolder("elsewhere");
    scratch.writeFile("elsewhere-file", "precious");
    fs::create_directories((scratch.path() / "out" / c.linkAt).parent_path());
    fs::create_symlink(scratch.path() / c.linkTarget, scratch.path() / "out" / c.linkAt);

    const auto member =
        memberOutputPath(scratch.path() / "out", std::string_view(c.stored), c.keepFolders);
    EXPECT_EQ(member.verdict, c.refused ? MemberPathVerdict::throughLink : MemberPathVerdict::safe);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LinkOnTheWayTest,
    ::testing::Values(
        LinkCase{"LeadsOut", "sub", "elsewhere", "sub\\x.jpg", true, true},
        LinkCase{"StaysInside", "sub", "out/inner", "sub\\x.jpg", true, true},
        LinkCase{"Deeper", "inner/sub", "elsewhere", "inner\\sub\\deeper\\x.jpg", true, true},
        LinkCase{"Dangling", "sub", "nowhere", "sub\\x.jpg", true, true},
        // The file itself: the member replaces the link, not what it points to.
        LinkCase{"TheFileItself", "x.jpg", "elsewhere-file", "x.jpg", true, false},
        LinkCase{"FileInRealFolder", "inner/x.jpg", "elsewhere-file", "inner\\x.jpg", true, false},
        // Without stored folders the member goes straight into the output folder.
        LinkCase{"BareName", "sub", "elsewhere", "sub\\x.jpg", false, false},
        LinkCase{"OtherFolder", "sub", "elsewhere", "other\\x.jpg", true, false}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(LinkOnTheWay, TheOutputFolderItselfMayBeALink) {
    ScratchFolder scratch;
    scratch.makeFolder("real/sub");
    fs::create_directory_symlink(scratch.path() / "real", scratch.path() / "out");
    const auto member =
        memberOutputPath(scratch.path() / "out", std::string_view("sub\\x.jpg"), true);
    EXPECT_EQ(member.verdict, MemberPathVerdict::safe);
    EXPECT_EQ(toPosixSeparators(member.relative), "sub/x.jpg");
}

}  // namespace
