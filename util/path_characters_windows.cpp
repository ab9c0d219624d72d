#include "util/path_characters.h"

bool IsInvalidPathChar(char16_t c) {
    return c < 32 || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

bool IsInvalidNameChar(char16_t c) {
    return IsInvalidPathChar(c) || c == u'*' || c == u'?';
}
