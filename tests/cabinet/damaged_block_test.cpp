// Data blocks that do not decode to exactly what they declare, in cabinets built here byte by
// byte: FDICopy must fail the member as a corrupt cabinet and never report it as written,
// whether the block carries no checksum (0) or one that matches its damaged bytes. Each case
// comes with its sound twin, which must still extract to the intended bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "support/block_checksums.h"
#include "support/cabinet_image.h"
#include "support/lzx_test_stream.h"
#include "support/memory_fdi.h"
#include "support/quantum_test_encoder.h"
#include "support/temp_folder.h"

namespace {

using cabinet::testing::DataBlock;
using cabinet::testing::LzxTestStream;
using cabinet::testing::LzxToken;

constexpr uint16_t kStored = 0x0000;
constexpr uint16_t kMszip = 0x0001;
constexpr uint16_t kQuantum10 = 0x0A02;
constexpr uint16_t kLzx16 = 0x1003;

struct Folder {
    uint16_t compression;
    std::vector<DataBlock> blocks;
    std::vector<uint8_t> text;  // what the sound folder decodes to
};

// Deflate bits, least significant first as RFC 1951 packs them.
class DeflateBits {
public:
    void put(uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) bit((value >> i) & 1);
    }
    // A Huffman code goes out from its most significant bit.
    void code(uint32_t value, unsigned length) {
        for (unsigned i = length; i-- > 0;) bit((value >> i) & 1);
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    void bit(uint32_t b) {
        if (used_ % 8 == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<uint8_t>(b << (used_ % 8));
        ++used_;
    }
    std::vector<uint8_t> bytes_;
    size_t used_ = 0;
};

// "CK" and one fixed-Huffman deflate block of literals, final or not, closed by its
// end-of-block code or cut just before it.
std::vector<uint8_t> fixedHuffmanBlock(const std::string& text, bool final, bool endOfBlock) {
    DeflateBits bits;
    bits.put(final ? 1 : 0, 1);
    bits.put(1, 2);  // fixed Huffman codes
    for (unsigned char c : text) {
        if (c < 144)
            bits.code(0x30 + c, 8);
        else
            bits.code(0x190 + c - 144, 9);
    }
    if (endOfBlock) bits.code(0, 7);
    std::vector<uint8_t> block{'C', 'K'};
    auto body = bits.bytes();
    block.insert(block.end(), body.begin(), body.end());
    return block;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// One MSZIP block made by zlib from `text`, as a cabinet writer makes it.
std::vector<uint8_t> zlibBlock(const std::vector<uint8_t>& text) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> out(2 + deflateBound(&z, text.size()));
    out[0] = 'C', out[1] = 'K';
    z.next_in = const_cast<Bytef*>(text.data());
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data() + 2;
    z.avail_out = static_cast<uInt>(out.size() - 2);
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(2 + z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<LzxToken> literalsOf(const std::vector<uint8_t>& text) {
    std::vector<LzxToken> tokens;
    for (uint8_t c : text) tokens.push_back(LzxToken::literal(c));
    return tokens;
}

// A two-frame LZX folder: literals, then a match into the first frame.
Folder lzxFolder() {
    std::vector<uint8_t> text = cabtest::sampleText(40000, 11);
    auto tokens = literalsOf(text);
    tokens.push_back(LzxToken::match(100, 39000));
    text.insert(text.end(), text.begin() + 1000, text.begin() + 1100);
    LzxTestStream stream(16);
    stream.compressedBlock(false, tokens);
    return {kLzx16, stream.blocks(), text};
}

Folder quantumFolder() {
    const auto text = cabtest::sampleText(50000, 12);
    return {kQuantum10, cabinet::testing::quantumEncode(text, 10), text};
}

struct DamageCase {
    const char* name;
    // The sound folder, and the same folder with the damage when `damaged`.
    std::function<Folder(bool damaged)> make;
};

const DamageCase kCases[] = {
    {"StoredDataLongerThanDeclared",
     [](bool damaged) {
         auto text = cabtest::noise(300, 1);
         DataBlock block{text, 300, 0};
         if (damaged) block.uncompressedSize = 299, text.pop_back();
         return Folder{kStored, {block}, text};
     }},
    {"MszipInflatesPastDeclaredSize",
     [](bool damaged) {
         auto text = cabtest::sampleText(5000, 2);
         DataBlock block{zlibBlock(text), 5000, 0};
         if (damaged) block.uncompressedSize = 4999, text.pop_back();
         return Folder{kMszip, {block}, text};
     }},
    {"MszipWithoutFinalDeflateBlock",
     [](bool damaged) {
         const std::string text = "wallpaper";
         return Folder{kMszip, {{fixedHuffmanBlock(text, !damaged, true), 9, 0}}, bytesOf(text)};
     }},
    {"MszipEndsBeforeEndOfBlockCode",
     [](bool damaged) {
         const std::string text = "wallpaper";
         return Folder{kMszip, {{fixedHuffmanBlock(text, true, !damaged), 9, 0}}, bytesOf(text)};
     }},
    {"MszipLeavesInputUnread",
     [](bool damaged) {
         auto text = cabtest::sampleText(5000, 3);
         DataBlock block{zlibBlock(text), 5000, 0};
         if (damaged) block.data.insert(block.data.end(), {0x12, 0x34, 0x56});
         return Folder{kMszip, {block}, text};
     }},
    {"MszipSecondBlockInflatesPastDeclaredSize",
     [](bool damaged) {
         // Both blocks on their own; the excess sits in the folder's last block.
         auto first = cabtest::sampleText(32768, 4);
         auto second = cabtest::sampleText(700, 5);
         std::vector<DataBlock> blocks{{zlibBlock(first), 32768, 0}, {zlibBlock(second), 700, 0}};
         if (damaged) blocks[1].uncompressedSize = 600, second.resize(600);
         first.insert(first.end(), second.begin(), second.end());
         return Folder{kMszip, blocks, first};
     }},
    {"LzxFrameRunsPastItsBlock",
     [](bool damaged) {
         Folder folder = lzxFolder();
         if (damaged) folder.blocks[1].data.resize(folder.blocks[1].data.size() - 4);
         return folder;
     }},
    {"LzxFrameStopsShortOfItsBlock",
     [](bool damaged) {
         Folder folder = lzxFolder();
         if (damaged) folder.blocks[0].data.insert(folder.blocks[0].data.end(), {0x5A, 0xA5});
         return folder;
     }},
    {"LzxUncompressedBlockLeavesBytes",
     [](bool damaged) {
         auto raw = cabtest::noise(1000, 6);
         LzxTestStream stream(16);
         stream.uncompressedBlock(raw);
         auto blocks = stream.blocks();
         if (damaged) blocks[0].data.insert(blocks[0].data.end(), {1, 2, 3, 4});
         return Folder{kLzx16, blocks, raw};
     }},
    {"QuantumFrameRunsPastItsBlock",
     [](bool damaged) {
         Folder folder = quantumFolder();
         if (damaged) folder.blocks[0].data.resize(folder.blocks[0].data.size() - 8);
         return folder;
     }},
    {"QuantumFrameStopsShortOfItsBlock",
     [](bool damaged) {
         Folder folder = quantumFolder();
         if (damaged) folder.blocks[0].data.insert(folder.blocks[0].data.end(), {7, 7, 7, 7});
         return folder;
     }},
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

bool closed(const std::vector<cabtest::Notification>& events) {
    for (const auto& e : events)
        if (e.type == fdintCLOSE_FILE_INFO) return true;
    return false;
}

class DamagedBlockTest : public ::testing::TestWithParam<std::tuple<DamageCase, bool>> {
protected:
    // One pass over the folder's cabinet; `checksums` stamps matching block checksums.
    bool extract(const Folder& folder, bool checksums, cabtest::FdiHarness& h) {
        auto image = cabinet::testing::cabinetImage(folder.blocks, folder.compression, "a.bin");
        if (checksums)
            cabtest::stampBlockChecksums(image.data(), image.size(), cabtest::Stamp::everyBlock);
        h.files["a.cab"] = image;
        return h.copy("a.cab");
    }
};

TEST_P(DamagedBlockTest, SoundFolderExtracts) {
    const auto& [c, checksums] = GetParam();
    cabtest::FdiHarness h;
    const Folder folder = c.make(false);
    ASSERT_TRUE(extract(folder, checksums, h)) << "error " << h.error().ErrorCode;
    EXPECT_EQ(h.outputs["a.bin"], folder.text);
}

TEST_P(DamagedBlockTest, DamagedFolderFailsTheMember) {
    const auto& [c, checksums] = GetParam();
    cabtest::FdiHarness h;
    EXPECT_FALSE(extract(c.make(true), checksums, h));
    EXPECT_EQ(h.error().ErrorCode, FDIERROR_CORRUPT_CABINET);
    EXPECT_FALSE(closed(h.events)) << "the damaged member was reported as written";
    EXPECT_EQ(h.openFiles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Blocks, DamagedBlockTest,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Checksummed" : "_NoChecksum");
                         });

}  // namespace
