// Test helpers that read a whole cabinet file into memory and take it apart with the library's
// own format parser, so decoder tests can feed real data blocks to a decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cab_format.h"

namespace cabtest {

std::vector<uint8_t> readWholeFile(const std::string& path);

struct ParsedCabinet {
    std::vector<uint8_t> bytes;  // the whole file; names below point into it
    cabinet::CabHeader header;
    std::vector<cabinet::CabFolder> folders;
    std::vector<cabinet::CabFile> files;
};

// Throws std::runtime_error when the file cannot be read or its directory does not parse.
ParsedCabinet parseCabinetFile(const std::string& path);

struct FolderBlock {
    std::vector<uint8_t> data;  // the compressed bytes, without header or reserved area
    uint32_t uncompressedSize = 0;
    uint32_t checksum = 0;
};

// Every data block of folder `folderIndex` (0-based) of the cabinet at `path`, in order.
std::vector<FolderBlock> readFolderBlocks(const std::string& path, unsigned folderIndex);

// The folder's compression field (TCOMP: type in the low nibble, window above).
uint16_t folderCompression(const std::string& path, unsigned folderIndex);

// Folder of the shared test corpus, e.g. corpusPath("cabd/mszip_lzx_qtm.cab").
std::string corpusPath(const std::string& relative);

}  // namespace cabtest
