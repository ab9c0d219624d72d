#include "lzx_test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "block_encoder.h"

namespace cabinet::testing {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

Allocator heapAllocator() {
    Allocator alloc;
    alloc.alloc = [](uint32_t size) { return std::malloc(size); };
    alloc.release = [](void* block) { std::free(block); };
    return alloc;
}

std::vector<Frame> lzxEncode(const std::vector<uint8_t>& input, unsigned windowBits, size_t piece) {
    const Allocator alloc = heapAllocator();
    BlockEncoder* encoder = createLzxEncoder(alloc, windowBits);
    std::vector<Frame> frames;
    if (!encoder) return frames;
    auto drain = [&] {
        EncodedBlock block;
        while (encoder->nextBlock(block)) {
            frames.push_back({std::vector<uint8_t>(block.data, block.data + block.compressedSize),
                              block.uncompressedSize});
        }
    };
    for (size_t at = 0; at < input.size(); at += piece) {
        const size_t n = std::min(piece, input.size() - at);
        if (!encoder->write(input.data() + at, static_cast<uint32_t>(n))) break;
        drain();
    }
    encoder->finish();
    drain();
    alloc.destroy(encoder);
    return frames;
}

void writeLzxCabinet(const std::filesystem::path& cab, const std::string& name,
                     const std::vector<Frame>& frames, unsigned windowBits) {
    uint32_t fileSize = 0;
    for (const Frame& f : frames) fileSize += f.uncompressedSize;
    std::vector<uint8_t> out;
    out.insert(out.end(), {'M', 'S', 'C', 'F'});
    put32(out, 0);
    put32(out, 0);  // cabinet size, set below
    put32(out, 0);
    put32(out, 0);  // first file entry, set below
    put32(out, 0);
    out.push_back(3);
    out.push_back(1);
    put16(out, 1);  // folders
    put16(out, 1);  // files
    put16(out, 0);  // flags
    put16(out, 0x1234);
    put16(out, 0);
    const size_t folderAt = out.size();
    put32(out, 0);  // first data block, set below
    put16(out, static_cast<uint32_t>(frames.size()));
    put16(out, 3 | (windowBits << 8));
    set32(out, 16, static_cast<uint32_t>(out.size()));
    put32(out, fileSize);
    put32(out, 0);
    put16(out, 0);
    put16(out, 0x5821);  // 2024-01-01
    put16(out, 0);
    put16(out, 0x20);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    set32(out, folderAt, static_cast<uint32_t>(out.size()));
    for (const Frame& f : frames) {
        put32(out, 0);  // no checksum
        put16(out, static_cast<uint32_t>(f.data.size()));
        put16(out, f.uncompressedSize);
        out.insert(out.end(), f.data.begin(), f.data.end());
    }
    set32(out, 8, static_cast<uint32_t>(out.size()));
    std::ofstream(cab, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelmora-lzx-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool toolAvailable(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out) b = static_cast<uint8_t>(rng());
    return out;
}

std::vector<uint8_t> textLike(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> words;
    for (int w = 0; w < 2000; ++w) {
        std::string word;
        const int len = 2 + static_cast<int>(rng() % 9);
        for (int c = 0; c < len; ++c) word += static_cast<char>('a' + rng() % 26);
        words.push_back(word);
    }
    std::vector<uint8_t> out;
    out.reserve(size + 16);
    std::geometric_distribution<int> pick(0.01);
    while (out.size() < size) {
        const std::string& word = words[std::min<size_t>(pick(rng), words.size() - 1)];
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(rng() % 12 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

}  // namespace cabinet::testing
