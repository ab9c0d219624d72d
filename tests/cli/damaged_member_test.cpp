// pelmora-extract on a pack written here byte by byte, whose second member's data block
// inflates to more bytes than the block declares: the member fails, the run exits 1, the
// good member lands, and the existing file of the damaged one is left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/pack_fixture.h"

namespace {

namespace fs = std::filesystem;
using clitest::filesUnder;
using clitest::readFile;
using clitest::runExtract;
using clitest::ScratchFolder;
using clitest::writeFile;

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

struct PackMember {
    std::string name;
    uint16_t compression;   // of the member's own folder
    std::string block;      // the folder's one data block
    uint16_t declaredSize;  // its cbUncomp, and the member's size
};

// A cabinet with one folder of one data block per member; blocks carry no checksum.
std::string packBytes(const std::vector<PackMember>& members) {
    const uint32_t folders = static_cast<uint32_t>(members.size());
    uint32_t directory = 36 + 8 * folders;
    for (const auto& m : members) directory += 16 + static_cast<uint32_t>(m.name.size()) + 1;
    uint32_t total = directory;
    for (const auto& m : members) total += 8 + static_cast<uint32_t>(m.block.size());

    std::string out = "MSCF";
    put32(out, 0);
    put32(out, total);
    put32(out, 0);
    put32(out, 36 + 8 * folders);  // the file records
    put32(out, 0);
    out += '\x03';
    out += '\x01';
    put16(out, folders);
    put16(out, folders);  // as many files
    put16(out, 0);        // flags
    put16(out, 0x1234);   // set id
    put16(out, 0);        // index in set
    uint32_t data = directory;
    for (const auto& m : members) {
        put32(out, data);
        put16(out, 1);
        put16(out, m.compression);
        data += 8 + static_cast<uint32_t>(m.block.size());
    }
    for (size_t i = 0; i < members.size(); ++i) {
        put32(out, members[i].declaredSize);
        put32(out, 0);  // at the start of its folder
        put16(out, static_cast<uint32_t>(i));
        put16(out, 0x5A21);  // 2025-01-01
        put16(out, 0x6000);  // 12:00:00
        put16(out, 0x20);
        out += members[i].name;
        out += '\0';
    }
    for (const auto& m : members) {
        put32(out, 0);  // no checksum
        put16(out, static_cast<uint32_t>(m.block.size()));
        put16(out, m.declaredSize);
        out += m.block;
    }
    return out;
}

// "CK" and one final stored deflate block holding `text`.
std::string mszipStoredBlock(const std::string& text) {
    std::string block = "CK";
    block += '\x01';
    put16(block, static_cast<uint32_t>(text.size()));
    put16(block, static_cast<uint32_t>(~text.size() & 0xFFFF));
    return block + text;
}

TEST(PelmoraExtractDamage, AMemberThatInflatesPastItsBlockFailsAndLeavesTheOldFile) {
    ScratchFolder scratch;
    const std::string good = "the good picture";
    const std::string inflated = "a picture with a tail the block does not declare";
    const auto pack = packBytes({
        {"good.jpg", 0, good, static_cast<uint16_t>(good.size())},
        {"bad.jpg", 1, mszipStoredBlock(inflated), 20},
    });
    writeFile(scratch / "Pack.themepack", pack);
    fs::create_directories(scratch / "Pack");
    writeFile(scratch / "Pack" / "bad.jpg", "the earlier, sound copy");

    const auto result = runExtract({"Pack.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_EQ(readFile(scratch / "Pack" / "good.jpg"), good);
    EXPECT_EQ(readFile(scratch / "Pack" / "bad.jpg"), "the earlier, sound copy");
    EXPECT_EQ(filesUnder(scratch / "Pack"), (std::vector<std::string>{"bad.jpg", "good.jpg"}))
        << "no partial file left beside them";
    EXPECT_TRUE(result.err.starts_with("pelmora-extract: Pack.themepack: bad.jpg: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

}  // namespace
