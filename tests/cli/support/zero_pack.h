// Theme packs built from bytes whose members are long runs of zeros: one MSZIP block of 32 KB
// of zeros, repeated, makes a pack of a few megabytes that unpacks to a gigabyte or more.
// Every member covers the folder's whole range, as a hostile pack's members can.
#pragma once

#include <cstdint>
#include <filesystem>

namespace clitest {

// Writes the pack: memberCount members named "zeros<N>.jpg", each of blockCount * 32768 zero
// bytes (blockCount at most 65535).
void makeZeroPack(const std::filesystem::path& pack, unsigned memberCount, unsigned blockCount);

}  // namespace clitest
