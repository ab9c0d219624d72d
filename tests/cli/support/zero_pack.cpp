#include "support/zero_pack.h"

#include <zlib.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/cabinet_image.h"

namespace clitest {
namespace {

constexpr uint32_t kBlockSize = 32768;
constexpr uint16_t kMszip = 1;

// "CK" and a complete raw deflate stream of one block of zeros. It refers to nothing before
// itself, so the same bytes serve as every block of the folder.
std::vector<uint8_t> zeroBlock() {
    std::vector<uint8_t> zeros(kBlockSize, 0);
    std::vector<uint8_t> packed(1024);
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    stream.next_in = zeros.data();
    stream.avail_in = kBlockSize;
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    const int status = deflate(&stream, Z_FINISH);
    const std::size_t size = stream.total_out;
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    std::vector<uint8_t> block{'C', 'K'};
    block.insert(block.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
    return block;
}

}  // namespace

void makeZeroPack(const std::filesystem::path& pack, unsigned memberCount, unsigned blockCount) {
    cabinet::testing::DataBlock block;
    block.data = zeroBlock();
    block.uncompressedSize = kBlockSize;
    const std::vector<cabinet::testing::DataBlock> blocks(blockCount, block);
    std::vector<std::string> names;
    for (unsigned i = 0; i < memberCount; ++i)
        names.push_back("zeros" + std::to_string(i) + ".jpg");
    const std::vector<uint8_t> bytes = cabinet::testing::cabinetImage(blocks, kMszip, names);
    std::ofstream(pack, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace clitest
