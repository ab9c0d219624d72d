// Helpers for the LZX encoder tests: running the encoder over a buffer, framing its blocks as
// a one-folder cabinet, and test inputs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "allocator.h"

namespace cabinet::testing {

// An allocator backed by malloc/free.
Allocator heapAllocator();

struct Frame {
    std::vector<uint8_t> data;
    uint32_t uncompressedSize;
};

// Encodes `input` with LZX of the given window, feeding it in pieces of `piece` bytes.
std::vector<Frame> lzxEncode(const std::vector<uint8_t>& input, unsigned windowBits,
                             size_t piece = 100000);

// Writes a cabinet holding one LZX folder with one file, `name`, made of `frames`.
void writeLzxCabinet(const std::filesystem::path& cab, const std::string& name,
                     const std::vector<Frame>& frames, unsigned windowBits);

// A fresh temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFile(const std::filesystem::path& file);
bool toolAvailable(const char* tool);

// Inputs.
std::vector<uint8_t> randomBytes(size_t size, uint32_t seed);
// Word-based text with a skewed vocabulary, compressible like prose.
std::vector<uint8_t> textLike(size_t size, uint32_t seed);

}  // namespace cabinet::testing
