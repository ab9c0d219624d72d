#include "support/cab_reader.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cabtest {

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

ParsedCabinet parseCabinetFile(const std::string& path) {
    using cabinet::ParseStatus;
    ParsedCabinet cab;
    cab.bytes = readWholeFile(path);
    const uint8_t* data = cab.bytes.data();
    size_t size = cab.bytes.size();
    if (cabinet::parseCabHeader(data, size, cab.header) != ParseStatus::ok)
        throw std::runtime_error("bad cabinet header in " + path);
    for (unsigned i = 0; i < cab.header.folderCount; ++i) {
        cabinet::CabFolder folder;
        if (cabinet::parseCabFolder(data, size, cab.header, i, folder) != ParseStatus::ok)
            throw std::runtime_error("bad folder record in " + path);
        cab.folders.push_back(folder);
    }
    size_t offset = cab.header.filesStart();
    for (unsigned i = 0; i < cab.header.fileCount; ++i) {
        cabinet::CabFile file;
        if (cabinet::parseCabFile(data, size, offset, file, offset) != ParseStatus::ok)
            throw std::runtime_error("bad file record in " + path);
        cab.files.push_back(file);
    }
    return cab;
}

std::vector<FolderBlock> readFolderBlocks(const std::string& path, unsigned folderIndex) {
    ParsedCabinet cab = parseCabinetFile(path);
    if (folderIndex >= cab.folders.size()) throw std::runtime_error("no such folder in " + path);
    const cabinet::CabFolder& folder = cab.folders[folderIndex];
    std::vector<FolderBlock> blocks;
    size_t offset = folder.dataOffset;
    size_t headerSize = cab.header.dataHeaderSize();
    for (unsigned i = 0; i < folder.blockCount; ++i) {
        if (offset + headerSize > cab.bytes.size())
            throw std::runtime_error("data block header past the end of " + path);
        cabinet::CabDataHeader h = cabinet::parseCabDataHeader(cab.bytes.data() + offset);
        offset += headerSize;
        if (offset + h.compressedSize > cab.bytes.size())
            throw std::runtime_error("data block past the end of " + path);
        FolderBlock block;
        block.data.assign(cab.bytes.begin() + offset,
                          cab.bytes.begin() + offset + h.compressedSize);
        block.uncompressedSize = h.uncompressedSize;
        block.checksum = h.checksum;
        blocks.push_back(std::move(block));
        offset += h.compressedSize;
    }
    return blocks;
}

uint16_t folderCompression(const std::string& path, unsigned folderIndex) {
    ParsedCabinet cab = parseCabinetFile(path);
    if (folderIndex >= cab.folders.size()) throw std::runtime_error("no such folder in " + path);
    return cab.folders[folderIndex].compression;
}

// The corpus sits in a "shared" folder beside the checkout, or beside a folder above it when
// the checkout is a working tree nested deeper.
std::string corpusPath(const std::string& relative) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::path dir = PELMORA_SOURCE_DIR; dir.has_relative_path(); dir = dir.parent_path()) {
        const fs::path corpus = dir.parent_path() / "shared" / "corpus";
        if (fs::is_directory(corpus, ec)) return corpus.string() + "/" + relative;
    }
    return std::string(PELMORA_SOURCE_DIR) + "/../shared/corpus/" + relative;
}

}  // namespace cabtest
