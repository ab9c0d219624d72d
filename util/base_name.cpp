#include "util/common_func.h"
#include "util/path_delimiter.h"

std::u16string ExtractBaseName(const std::u16string& Path) {
    size_t nameStart = 0;
    for (size_t i = Path.size(); i > 0; --i) {
        if (IsPathDelimiter(Path[i - 1])) {
            nameStart = i;
            break;
        }
    }
    const std::u16string name = Path.substr(nameStart);
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}
