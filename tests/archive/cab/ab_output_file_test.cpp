#include "archive/cab/ab_output_file.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "support/scratch_folder.h"

using namespace pelmora;
using testsupport::ScratchFolder;
using testsupport::u16;
namespace fs = std::filesystem;

namespace {

std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
    return std::mktime(&t);
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

void writeAll(PendingOutputFile& out, const std::string& text) {
    out.Stream().WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

TEST(PendingOutputFileTest, CommitReplacesTheTargetWithTheStampedFile) {
    ScratchFolder folder;
    testsupport::writeFile(folder / "img1.jpg", std::string("older picture"));
    {
        PendingOutputFile out(u16(folder / "img1.jpg"));
        writeAll(out, "new");
        // Until the member is complete the old file stays whole.
        EXPECT_EQ(testsupport::readFile(folder / "img1.jpg").size(), 13u);
        out.Commit(0x5021, 0x6000, 0x20);  // 1 January 2020 12:00:00, archive bit
    }
    EXPECT_EQ(testsupport::readFile(folder / "img1.jpg"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(testsupport::modifiedUnixSeconds(folder / "img1.jpg"),
              localTime(2020, 1, 1, 12, 0, 0));
    EXPECT_TRUE(testsupport::isWritable(folder / "img1.jpg"));  // the archive bit changes nothing
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(PendingOutputFileTest, ReadOnlyBitClearsEveryWritePermission) {
    ScratchFolder folder;
    PendingOutputFile out(u16(folder / "locked.png"));
    out.Commit(0x5021, 0x6000, 0x01 | 0x02 | 0x04);
    EXPECT_FALSE(testsupport::isWritable(folder / "locked.png"));
}

TEST(PendingOutputFileTest, ImpossibleStampKeepsTheTimeOfWriting) {
    ScratchFolder folder;
    std::time_t before = std::time(nullptr);
    PendingOutputFile out(u16(folder / "a.jpg"));
    out.Commit(0x0000, 0x0000, 0);  // month 0 is no date
    EXPECT_GE(testsupport::modifiedUnixSeconds(folder / "a.jpg"), before - 1);
}

TEST(PendingOutputFileTest, DiscardLeavesTheOldFileAndNoTemporaryFile) {
    ScratchFolder folder;
    testsupport::writeFile(folder / "keep.jpg", std::string("precious"));
    {
        PendingOutputFile out(u16(folder / "keep.jpg"));
        writeAll(out, "half a pic");
    }  // destroyed without Commit, as when the library fails mid-member
    EXPECT_EQ(testsupport::readFile(folder / "keep.jpg").size(), 8u);
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

struct RefusedCase {
    const char* label;
    // Prepares the scene in the folder and answers the target to write.
    fs::path (*prepare)(const fs::path& folder);
};

class RefusedTargetTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTargetTest, RaisesTheCreateErrorNamingTheTarget) {
    ScratchFolder folder;
    fs::path target = GetParam().prepare(folder.path());
    try {
        PendingOutputFile out(u16(target));
        FAIL() << "the target was accepted";
    } catch (const EFCreateError& e) {
        std::u16string expectedStart = u"Cannot create file \"" + u16(target) + u"\". ";
        EXPECT_EQ(e.Message().substr(0, expectedStart.size()), expectedStart);
        EXPECT_GT(e.Message().size(), expectedStart.size());  // the system's reason follows
    }
    // Nothing was left behind beside the target.
    EXPECT_EQ(entriesIn(folder.path()), fs::exists(target) ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, RefusedTargetTest,
                         ::testing::Values(RefusedCase{"ReadOnlyFile",
                                                       [](const fs::path& folder) {
                                                           fs::path t = folder / "img.jpg";
                                                           testsupport::writeFile(
                                                               t, std::string("old"));
                                                           fs::permissions(
                                                               t, fs::perms::owner_read |
                                                                      fs::perms::group_read |
                                                                      fs::perms::others_read);
                                                           return t;
                                                       }},
                                           RefusedCase{"Folder",
                                                       [](const fs::path& folder) {
                                                           fs::create_directory(folder / "img.jpg");
                                                           return folder / "img.jpg";
                                                       }},
                                           RefusedCase{"MissingFolder",
                                                       [](const fs::path& folder) {
                                                           return folder / "no" / "img.jpg";
                                                       }}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
