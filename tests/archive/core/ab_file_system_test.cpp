#include "archive/core/ab_file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_utils.h"
#include "support/temp_folder.h"
#include "util/errors.h"

namespace fs = std::filesystem;

namespace {

TEST(CreateDirectoryChainTest, MakesEveryMissingFolder) {
    TempFolder temp;
    fs::create_directory(temp.path() / "a");
    const std::u16string target = temp.u16(u"a/b/c");
    CreateDirectoryChain(target);
    EXPECT_TRUE(DirectoryExists(temp.u16(u"a/b")));
    EXPECT_TRUE(DirectoryExists(target));
    CreateDirectoryChain(target);  // an existing chain is left alone
    EXPECT_TRUE(DirectoryExists(target));
}

TEST(CreateDirectoryChainTest, AFileInTheWayRaisesTheSystemError) {
    TempFolder temp;
    temp.writeFile(u"a", "x");
    try {
        CreateDirectoryChain(temp.u16(u"a/b"));
        FAIL() << "nothing raised";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.ErrorCode, 0);
    }
    EXPECT_EQ(temp.readFile(u"a"), "x");
}

TEST(CreateDirectoryChainTest, FolderThatCannotBeCreatedKeepsTheErrorNumber) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no folder permission bits that refuse the owner a new entry";
#else
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
#endif
    TempFolder temp;
    fs::create_directory(temp.path() / "locked");
    fs::permissions(temp.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    try {
        CreateDirectoryChain(temp.u16(u"locked/x/y"));
        FAIL() << "nothing raised";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, EACCES);
    }
}

TEST(QueryFileAttributesTest, FoundAndMissing) {
    TempFolder temp;
    temp.writeFile(u"f.bin", "12345");
    TFileAttributeInfo info;
    ASSERT_TRUE(QueryFileAttributes(temp.u16(u"f.bin"), info));
    EXPECT_EQ(info.Size, 5);
    EXPECT_EQ(info.Attr & faDirectory, 0);
    EXPECT_EQ(info.Mode, 0644);
    EXPECT_EQ(info.Time.Second % 2, 0);
    EXPECT_GE(info.Time.Year, 2020);
    EXPECT_EQ(QueryFileSize(temp.u16(u"f.bin")), 5);

    ASSERT_TRUE(QueryFileAttributes(temp.u16(), info));
    EXPECT_NE(info.Attr & faDirectory, 0);
    EXPECT_EQ(info.Mode, 040755);

    EXPECT_FALSE(QueryFileAttributes(temp.u16(u"missing"), info));
    EXPECT_EQ(info.Size, -1);
    EXPECT_EQ(info.Attr, -1);
    EXPECT_EQ(info.Mode, 0);
    EXPECT_EQ(info.Time, TAbDateTime{});
    EXPECT_EQ(QueryFileSize(temp.u16(u"missing")), -1);
}

TEST(DosAttributesToUnixModeTest, ReadOnlyAndFolderBits) {
    EXPECT_EQ(DosAttributesToUnixMode(0), 0644);
    EXPECT_EQ(DosAttributesToUnixMode(faReadOnly), 0444);
    EXPECT_EQ(DosAttributesToUnixMode(faDirectory), 040755);
    EXPECT_EQ(DosAttributesToUnixMode(faDirectory | faReadOnly), 040555);
}

class FindMatchingFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp.writeFile(u"a.txt", "a");
        temp.writeFile(u"b.TXT", "b");
        temp.writeFile(u"c.jpg", "c");
        temp.writeFile(u"sub/d.txt", "d");
        temp.writeFile(u"sub/deeper/e.txt", "e");
    }
    std::vector<std::u16string> find(std::u16string_view mask, int32_t attr, bool recurse,
                                     std::u16string_view root = {}) {
        std::vector<std::u16string> list;
        FindMatchingFilesList(mask, attr, list, recurse, root);
        std::sort(list.begin(), list.end());
        return list;
    }
    TempFolder temp;
};

TEST_F(FindMatchingFilesTest, RelativeMaskUnderTheSearchRoot) {
    EXPECT_EQ(find(u"*.txt", 0, false, temp.u16()),
              (std::vector<std::u16string>{u"a.txt", u"b.TXT"}));
    EXPECT_EQ(find(u"*.txt", 0, true, temp.u16()),
              (std::vector<std::u16string>{u"a.txt", u"b.TXT", nativeSeparators(u"sub/d.txt"),
                                           nativeSeparators(u"sub/deeper/e.txt")}));
    EXPECT_EQ(find(nativeSeparators(u"sub/*.txt"), 0, false, temp.u16()),
              (std::vector<std::u16string>{nativeSeparators(u"sub/d.txt")}));
}

TEST_F(FindMatchingFilesTest, FullMaskListAndFolders) {
    const std::u16string base = temp.u16() + nativeSeparators(u"/");
    EXPECT_EQ(find(base + u"*.jpg; " + base + u"a.*", 0, false),
              (std::vector<std::u16string>{base + u"a.txt", base + u"c.jpg"}));
    EXPECT_EQ(find(base + u"s*", 0, false), std::vector<std::u16string>{});
    EXPECT_EQ(find(base + u"s*", faDirectory, false),
              (std::vector<std::u16string>{base + nativeSeparators(u"sub/")}));
}

TEST(ShortFormPathTest, ExistingPathAndMissingParts) {
    TempFolder temp;
    temp.writeFile(u"x/f.txt", "f");
    // Windows gives long names (the temporary folder's) their 8.3 short names; 8.3 names
    // stay, and the short path names the same file.
    const std::u16string shortForm = ShortFormPath(temp.u16(u"x/f.txt"));
    EXPECT_TRUE(fs::equivalent(fs::path(shortForm), temp.path() / "x" / "f.txt"));
#ifdef _WIN32
    EXPECT_TRUE(shortForm.ends_with(u"\\x\\f.txt")) << fs::path(shortForm).string();
    EXPECT_LT(shortForm.size(), temp.u16(u"x/f.txt").size());
#else
    EXPECT_EQ(shortForm, temp.u16(u"x/f.txt"));
#endif
    EXPECT_THROW(ShortFormPath(temp.u16(u"x/missing.txt")), EAbFileNotFound);
    try {
        ShortFormPath(temp.u16(u"nofolder/f.txt"));
        FAIL() << "nothing raised";
    } catch (const EAbFileNotFound&) {
        FAIL() << "a missing folder is not a missing file";
    } catch (const EAbException& e) {
        EXPECT_EQ(e.Message(), u"Path not found");
        EXPECT_EQ(e.ErrorCode, 0);
    }
}

TEST(ProgramFilePathTest, NamesTheRunningTestProgram) {
    const std::u16string path = platform::programFilePath();
    EXPECT_TRUE(FileExists(path));
#ifdef _WIN32
    EXPECT_EQ(NamePart(path, NativePathStyle), u"archive_core_tests.exe");
#else
    EXPECT_EQ(NamePart(path, NativePathStyle), u"archive_core_tests");
#endif
}

}  // namespace
