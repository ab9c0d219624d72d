// A pack whose members declare more than the target's disk can take fails at once with the
// reason, and writes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/pack_fixture.h"
#include "support/zero_pack.h"

namespace {

namespace fs = std::filesystem;
using clitest::ScratchFolder;

TEST(PelmoraExtractFreeSpace, PackLargerThanTheDiskFailsBeforeWriting) {
    ScratchFolder scratch;
    // 10,000 members sharing a folder of 2 GB: 20 TB declared by a pack of 4 MB.
    clitest::makeZeroPack(scratch / "Huge.themepack", 10000, 65535);
    const clitest::RunResult run = clitest::runExtract({"Huge.themepack"}, scratch.path());
    EXPECT_EQ(run.status, 1);
    // 10,000 x 65,535 x 32,768 bytes, in MB of 2^20 bytes, rounded up.
    const std::string reason =
        "pelmora-extract: Huge.themepack: not enough free space: needs 20479688 MB, ";
    EXPECT_EQ(run.err.substr(0, reason.size()), reason) << run.err;
    EXPECT_NE(run.err.find(" MB free\n"), std::string::npos) << run.err;
    EXPECT_EQ(clitest::filesUnder(scratch / "Huge"), std::vector<std::string>{});
}

}  // namespace
