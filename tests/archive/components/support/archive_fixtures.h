// Small archives of other formats made in memory for the type-detection tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<uint8_t>;

// One 512-byte tar header block with a valid checksum unless told otherwise.
Bytes tarHeader(const std::string& name, char typeFlag, uint64_t size, bool validChecksum = true);
// A one-member tar: header, data padded to 512, two zero blocks.
Bytes tarWithFile(const std::string& name, const std::string& content);
// A tar whose first entry is a GNU long name ("L") of nameLength characters: the long-name
// header, its blocks, then the regular header.
Bytes gnuLongNameTar(std::size_t nameLength, bool longHeaderValid, bool fileHeaderValid);

// A zip with no members: only the end-of-central-directory record, with a comment.
Bytes emptyZip(uint16_t diskNumber = 0, const std::string& comment = "");

Bytes gzipOf(const Bytes& content, bool withName = false);
Bytes bzip2Of(const Bytes& content);

Bytes concat(Bytes a, const Bytes& b);
Bytes bytesOf(const std::string& text);
// n bytes of text that is not a tar header (no valid checksum anywhere).
Bytes plainText(std::size_t n);

}  // namespace fixtures
