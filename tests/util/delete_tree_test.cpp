#include <sys/stat.h>

#include <filesystem>

#include "gtest/gtest.h"
#include "support/scratch_folder.h"
#include "support/symbolic_links.h"
#include "util/common_func.h"

namespace fs = std::filesystem;

namespace {

bool entryExists(const fs::path& path) {
    return fs::exists(fs::symlink_status(path));
}

TEST(DeleteTree, RemovesFilesNestedFoldersHiddenFilesAndTheFolder) {
    ScratchFolder scratch;
    const fs::path tree = scratch.makeFolder("tree");
    scratch.writeFile("tree/a.jpg");
    scratch.writeFile("tree/.hidden");
    scratch.writeFile("tree/sub/deeper/b.png", std::string(5000, 'b'));
    scratch.makeFolder("tree/empty");
    EXPECT_TRUE(DeleteTree(toU16(tree)));
    EXPECT_FALSE(entryExists(tree));
    EXPECT_TRUE(entryExists(scratch.path()));
}

TEST(DeleteTree, TrailingSeparatorMakesNoDifference) {
    ScratchFolder scratch;
    for (const std::string spelling : {"with/", "without"}) {
        const std::string folder = spelling.substr(0, spelling.find('/'));
        scratch.writeFile(folder + "/inner/file");
        EXPECT_TRUE(DeleteTree(toU16(scratch.path() / spelling))) << spelling;
        EXPECT_FALSE(entryExists(scratch.path() / folder)) << spelling;
    }
}

TEST(DeleteTree, ReadOnlyFileStaysWithItsFolderChainAndEverythingElseGoes) {
    ScratchFolder scratch;
    const fs::path tree = scratch.makeFolder("tree");
    const fs::path locked = scratch.writeFile("tree/keep/locked.jpg");
    scratch.writeFile("tree/keep/loose.jpg");
    scratch.writeFile("tree/other/file.jpg");
    scratch.writeFile("tree/top.jpg");
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);

    EXPECT_FALSE(DeleteTree(toU16(tree)));
    EXPECT_TRUE(entryExists(locked));
    EXPECT_FALSE(entryExists(tree / "keep/loose.jpg"));
    EXPECT_FALSE(entryExists(tree / "other"));
    EXPECT_FALSE(entryExists(tree / "top.jpg"));
}

TEST(DeleteTree, LinksInsideTheTreeAreRemovedAndTheirTargetsSurvive) {
    ScratchFolder scratch;
    const fs::path outside = scratch.makeFolder("outside");
    const fs::path precious = scratch.writeFile("outside/precious.jpg");
    const fs::path preciousFile = scratch.writeFile("outside-file.jpg");
    const fs::path tree = scratch.makeFolder("tree");
    if (!testsupport::makeSymbolicLink(outside, tree / "folder-link", true))
        GTEST_SKIP() << testsupport::kNoSymbolicLinks;
    ASSERT_TRUE(testsupport::makeSymbolicLink(preciousFile, tree / "file-link", false));
    ASSERT_TRUE(
        testsupport::makeSymbolicLink(scratch.path() / "nowhere", tree / "dangling-link", false));
    scratch.makeFolder("tree/sub");
    ASSERT_TRUE(testsupport::makeSymbolicLink(outside, tree / "sub/deep-link", true));

    EXPECT_TRUE(DeleteTree(toU16(tree)));
    EXPECT_FALSE(entryExists(tree));
    EXPECT_TRUE(entryExists(precious));
    EXPECT_TRUE(entryExists(preciousFile));
}

TEST(DeleteTree, FolderNamedByALinkIsNotFollowed) {
    ScratchFolder scratch;
    const fs::path precious = scratch.writeFile("outside/precious.jpg");
    if (!testsupport::makeSymbolicLink(scratch.path() / "outside", scratch.path() / "link", true))
        GTEST_SKIP() << testsupport::kNoSymbolicLinks;
    for (const char* spelling : {"link", "link/"}) {
        EXPECT_FALSE(DeleteTree(toU16(scratch.path() / spelling))) << spelling;
        EXPECT_TRUE(entryExists(precious)) << spelling;
    }
}

TEST(DeleteTree, MissingOrEmptyFolderDeletesNothing) {
    ScratchFolder scratch;
    const fs::path bystander = scratch.writeFile("bystander.jpg");
    EXPECT_FALSE(DeleteTree(toU16(scratch.path() / "missing")));
    // An empty name must not turn into the current folder or the root.
    const fs::path before = fs::current_path();
    fs::current_path(scratch.path());
    EXPECT_FALSE(DeleteTree(u""));
    DeleteFileOrTree(u"", true);
    DeleteFileOrTree(u"", false);
    fs::current_path(before);
    EXPECT_TRUE(entryExists(bystander));
}

struct SingleDeleteCase {
    const char* what;
    bool tree;
    bool removed;
};

class DeleteFileOrTreeTest : public ::testing::TestWithParam<SingleDeleteCase> {};

// Each case names the kind of entry at the path; see makeEntry below.
TEST_P(DeleteFileOrTreeTest, RemovesWhatItShould) {
    const auto& c = GetParam();
    ScratchFolder scratch;
    const fs::path target = scratch.path() / "target";
    const fs::path linkTarget = scratch.makeFolder("link-target");
    scratch.writeFile("link-target/inside");
    const std::string what = c.what;
    if (what == "file") {
        scratch.writeFile("target");
    } else if (what == "read-only file") {
        scratch.writeFile("target");
        fs::permissions(target, fs::perms::owner_write, fs::perm_options::remove);
    } else if (what == "folder with a file") {
        scratch.writeFile("target/inside");
    } else if (what == "link to a folder") {
        if (!testsupport::makeSymbolicLink(linkTarget, target, true))
            GTEST_SKIP() << testsupport::kNoSymbolicLinks;
    }
    DeleteFileOrTree(toU16(target), c.tree);
    EXPECT_EQ(!entryExists(target), c.removed) << c.what << (c.tree ? " as a tree" : " as a file");
    EXPECT_TRUE(entryExists(linkTarget / "inside"));
}

INSTANTIATE_TEST_SUITE_P(Entries, DeleteFileOrTreeTest,
                         ::testing::Values(SingleDeleteCase{"file", false, true},
                                           SingleDeleteCase{"read-only file", false, false},
                                           SingleDeleteCase{"folder with a file", false, false},
                                           SingleDeleteCase{"folder with a file", true, true},
                                           SingleDeleteCase{"link to a folder", false, true},
                                           SingleDeleteCase{"link to a folder", true, false}));

}  // namespace
