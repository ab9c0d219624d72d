#include "util/path_characters.h"

bool IsInvalidPathChar(char16_t c) {
    return c < 32;
}

bool IsInvalidNameChar(char16_t c) {
    return IsInvalidPathChar(c);
}
