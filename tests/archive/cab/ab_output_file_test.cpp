#include "archive/cab/ab_output_file.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <tuple>

#include "archive/core/ab_exceptions.h"
#include "support/scratch_folder.h"
#include "util/stop_request.h"

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

// The behaviours that hold whichever kind of temporary file waits for the member.
class PendingOutputKindTest : public ::testing::TestWithParam<TemporaryKind> {};

std::string kindName(const ::testing::TestParamInfo<TemporaryKind>& info) {
    return info.param == TemporaryKind::Named ? "Named" : "PreferUnnamed";
}

TEST_P(PendingOutputKindTest, CommitReplacesTheTargetWithTheStampedFile) {
    ScratchFolder folder;
    testsupport::writeFile(folder / "img1.jpg", std::string("older picture"));
    {
        PendingOutputFile out(u16(folder / "img1.jpg"), GetParam());
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

TEST_P(PendingOutputKindTest, DiscardLeavesTheOldFileAndNoTemporaryFile) {
    ScratchFolder folder;
    testsupport::writeFile(folder / "keep.jpg", std::string("precious"));
    {
        PendingOutputFile out(u16(folder / "keep.jpg"), GetParam());
        writeAll(out, "half a pic");
    }  // destroyed without Commit, as when the library fails mid-member
    EXPECT_EQ(testsupport::readFile(folder / "keep.jpg").size(), 8u);
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST_P(PendingOutputKindTest, ReadOnlyFileOfTheSameNameIsReplaced) {
    ScratchFolder folder;
    testsupport::writeFile(folder / "img.jpg", std::string("first run"));
    fs::permissions(folder / "img.jpg",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder.path(), fs::perms::all);
    {
        // As a user, for whom the permissions hold (they do not stop root).
        testsupport::UnprivilegedScope user;
        PendingOutputFile out(u16(folder / "img.jpg"), GetParam());
        writeAll(out, "second");
        out.Commit(0x5021, 0x6000, 0x01);
    }
    EXPECT_EQ(testsupport::readFile(folder / "img.jpg"),
              (std::vector<uint8_t>{'s', 'e', 'c', 'o', 'n', 'd'}));
    EXPECT_FALSE(testsupport::isWritable(folder / "img.jpg")) << "read-only again, as stored";
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

// Names up to the file system's 255-byte limit: the temporary file's name must not depend on
// the target's length.
class LongNameTest : public ::testing::TestWithParam<std::tuple<TemporaryKind, std::size_t>> {};

TEST_P(LongNameTest, MemberNamesUpToTheLimitAreWritten) {
    const auto [kind, length] = GetParam();
    ScratchFolder folder;
    const std::string name = std::string(length - 4, 'n') + ".jpg";
    testsupport::writeFile(folder / name, std::string("old"));
    {
        PendingOutputFile out(u16(folder / name), kind);
        writeAll(out, "new");
        out.Commit(0x5021, 0x6000, 0x20);
    }
    EXPECT_EQ(testsupport::readFile(folder / name), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LongNameTest,
    ::testing::Combine(::testing::Values(TemporaryKind::Named, TemporaryKind::PreferUnnamed),
                       ::testing::Values(std::size_t{240}, std::size_t{250}, std::size_t{255})));

// A stop requested while a member is written (an interrupt signal): the member goes no
// further and is discarded, the older file stays.
TEST_P(PendingOutputKindTest, StopRequestEndsTheMemberAndLeavesTheOldFile) {
    struct Withdraw {
        ~Withdraw() { WithdrawStopRequest(); }
    } withdraw;
    ScratchFolder folder;
    testsupport::writeFile(folder / "big.jpg", std::string("older"));
    {
        PendingOutputFile out(u16(folder / "big.jpg"), GetParam());
        writeAll(out, "first block");
        RequestStop();
        EXPECT_THROW(writeAll(out, "second block"), EAbUserAbort);
    }
    EXPECT_EQ(testsupport::readFile(folder / "big.jpg").size(), 5u);
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PendingOutputKindTest,
                         ::testing::Values(TemporaryKind::Named, TemporaryKind::PreferUnnamed),
                         kindName);

// Where the system offers files without a name, nothing of an unfinished member is visible in
// the folder, so not even a process killed outright can leave a partial file behind.
TEST(PendingOutputFileTest, UnfinishedMemberHasNoNameWhereTheSystemAllows) {
    ScratchFolder folder;
    PendingOutputFile out(u16(folder / "img.jpg"));
    if (!out.Unnamed()) GTEST_SKIP() << "this file system has no files without a name";
    writeAll(out, "bytes");
    EXPECT_EQ(entriesIn(folder.path()), 0u);
    out.Commit(0x5021, 0x6000, 0x20);
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
    fs::permissions(folder.path(), fs::perms(0755));
    // As a user, for whom permissions hold.
    testsupport::UnprivilegedScope user;
    try {
        PendingOutputFile out(u16(target));
        FAIL() << "the target was accepted";
    } catch (const EFCreateError& e) {
        std::u16string expectedStart = u"Cannot create file \"" + u16(target) + u"\". ";
        EXPECT_EQ(e.Message().substr(0, expectedStart.size()), expectedStart);
        EXPECT_GT(e.Message().size(), expectedStart.size());  // the system's reason follows
    }
    // Nothing was left behind beside the target.
    const fs::path parent = target.parent_path();
    EXPECT_EQ(fs::exists(parent) ? entriesIn(parent) : 0u, fs::exists(target) ? 1u : 0u);
}

const RefusedCase kRefusedCases[] = {
    {"Folder",
     [](const fs::path& folder) {
         fs::create_directory(folder / "img.jpg");
         return folder / "img.jpg";
     }},
#ifndef _WIN32  // a Windows folder's read-only mark does not forbid making files in it
    // Neither a file without a name nor a named one can be made there.
    {"UnwritableFolder",
     [](const fs::path& folder) {
         fs::create_directory(folder / "ro");
         fs::permissions(folder / "ro", fs::perms(0555));
         return folder / "ro" / "img.jpg";
     }},
#endif
    {"MissingFolder", [](const fs::path& folder) { return folder / "no" / "img.jpg"; }},
};

INSTANTIATE_TEST_SUITE_P(Targets, RefusedTargetTest, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
