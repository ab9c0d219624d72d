#include "util/path_delimiter.h"

bool IsPathDelimiter(char16_t c) {
    // The system takes "/" for "\" in every path it is given.
    return c == u'\\' || c == u'/' || c == u':';
}
