#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "block_decoder.h"
#include "support/cabinet_image.h"
#include "support/folder_blocks.h"
#include "support/process_output.h"
#include "support/quantum_test_encoder.h"
#include "support/test_allocator.h"

namespace cabinet {
namespace {

using testing::cabinetImage;
using testing::commandOutput;
using testing::FolderBlocks;
using testing::kHeap;
using testing::readFolderBlocks;
using testing::shellQuote;

const std::string kCorpus = PELMORA_SOURCE_DIR "/../shared/corpus/cabd/";

struct DecoderDeleter {
    void operator()(BlockDecoder* decoder) const { kHeap.destroy(decoder); }
};
using DecoderPtr = std::unique_ptr<BlockDecoder, DecoderDeleter>;

DecoderPtr makeDecoder(unsigned windowBits) {
    return DecoderPtr(createQuantumDecoder(kHeap, windowBits));
}

// Decodes a whole folder; false at the first block the decoder rejects.
bool decodeFolder(BlockDecoder& decoder, const FolderBlocks& folder, std::vector<uint8_t>& out) {
    for (const auto& block : folder.blocks) {
        size_t at = out.size();
        out.resize(at + block.uncompressedSize);
        if (decoder.decode(block.data.data(), static_cast<uint32_t>(block.data.size()),
                           out.data() + at, block.uncompressedSize) != DecodeStatus::ok)
            return false;
    }
    return true;
}

const FolderBlocks* quantumFolder(const std::vector<FolderBlocks>& folders) {
    for (const auto& folder : folders)
        if ((folder.compression & 0xF) == 2) return &folder;
    return nullptr;
}

TEST(QuantumDecoderTest, CorpusFolderMatchesCabextract) {
    const std::string cab = kCorpus + "mszip_lzx_qtm.cab";
    auto folders = readFolderBlocks(cab);
    const FolderBlocks* folder = quantumFolder(folders);
    ASSERT_NE(folder, nullptr);
    auto decoder = makeDecoder(testing::quantumWindowBits(folder->compression));
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, *folder, decoded));

    bool ok = false;
    auto expected = commandOutput("cabextract -q -p -F qtm.txt " + shellQuote(cab), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(decoded, expected);
}

// Data with something for every part of the coder: text (short and long matches, literals of
// the lower byte ranges), random bytes (all four literal models), long runs (the longest
// matches) and copies of earlier data from up to a window and a quarter back (every position
// slot, and copies too far back for the window).
std::vector<uint8_t> sampleData(size_t size, uint32_t windowSize, unsigned seed) {
    static const char* const kWords[] = {"the ",    "wallpaper ", "theme ",  "pack ",
                                         "cabinet", "Quantum ",   "window ", "\r\n",
                                         "frame ",  "of ",        "a ",      "desktop "};
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    while (data.size() < size) {
        switch (random() % 8) {
            case 0:
            case 1:
            case 2:
                for (int i = 0, n = 1 + random() % 40; i < n; ++i) {
                    const char* word = kWords[random() % std::size(kWords)];
                    data.insert(data.end(), word, word + std::char_traits<char>::length(word));
                }
                break;
            case 3:
                for (int i = 0, n = 1 + random() % 300; i < n; ++i)
                    data.push_back(static_cast<uint8_t>(random()));
                break;
            case 4:
                data.insert(data.end(), 1 + random() % 700, static_cast<uint8_t>(random()));
                break;
            default:
                if (data.size() > 16) {
                    size_t back =
                        1 + random() % std::min<size_t>(data.size(), windowSize + windowSize / 4);
                    size_t from = data.size() - back;
                    for (size_t i = 0, n = 3 + random() % 300; i < n; ++i)
                        data.push_back(data[from + i]);
                }
        }
    }
    data.resize(size);
    return data;
}

class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("quantum_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::filesystem::path file = path_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

uint16_t quantumCompression(unsigned windowBits) {
    return static_cast<uint16_t>(2 | (4 << 4) | (windowBits << 8));
}

// Streams from the test encoder, checked twice: cabextract must read them back (so the encoder
// writes real Quantum), and so must our decoder.
class QuantumRoundTripTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(QuantumRoundTripTest, DecodesWhatCabextractDecodes) {
    const unsigned windowBits = GetParam();
    const uint32_t windowSize = uint32_t{1} << windowBits;
    const size_t size = std::max<size_t>(3 * 32768 + 1234, 2 * size_t{windowSize} + 4321);
    const std::vector<uint8_t> data = sampleData(size, windowSize, windowBits);
    FolderBlocks folder;
    folder.compression = quantumCompression(windowBits);
    folder.blocks = testing::quantumEncode(data, windowBits);

    TempFolder temp;
    std::string cab =
        temp.write("round.cab", cabinetImage(folder.blocks, folder.compression, "data.bin"));
    bool ok = false;
    auto extracted = commandOutput("cabextract -q -p " + shellQuote(cab), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(extracted == data) << "cabextract does not read the test encoder's stream";

    auto decoder = makeDecoder(windowBits);
    ASSERT_TRUE(decoder);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(decodeFolder(*decoder, folder, decoded));
    EXPECT_TRUE(decoded == data);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, QuantumRoundTripTest, ::testing::Range(10u, 22u));

}  // namespace
}  // namespace cabinet
