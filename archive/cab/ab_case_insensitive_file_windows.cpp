#include "archive/cab/ab_case_insensitive_file.h"

namespace pelmora {

std::u16string findFileIgnoringCase(const std::u16string& fileName) {
    return fileName;
}

}  // namespace pelmora
