#include "support/folder_blocks.h"

#include <stdexcept>

namespace cabinet::testing {

std::vector<FolderBlocks> readFolderBlocks(const std::string& path) {
    std::vector<FolderBlocks> folders;
    try {
        const cabtest::ParsedCabinet cab = cabtest::parseCabinetFile(path);
        for (unsigned i = 0; i < cab.folders.size(); ++i)
            folders.push_back({cab.folders[i].compression, cabtest::readFolderBlocks(path, i)});
    } catch (const std::runtime_error&) {
        return {};
    }
    return folders;
}

}  // namespace cabinet::testing
