#include "util/path_delimiter.h"

bool IsPathDelimiter(char16_t c) {
    return c == u'\\' || c == u':';
}
