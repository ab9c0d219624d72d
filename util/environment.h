// Reading environment variables as the program's UTF-16 text.
#pragma once

#include <string>

// The whole value of the variable, or empty text when it is unset. Names compare without
// regard to letter case, as on Windows; on POSIX an exact match wins over other spellings.
std::u16string ReadEnvironment(const std::u16string& name);
