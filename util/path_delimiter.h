// The characters that end a folder or drive name in a path on this platform.
#pragma once

// True for the characters after which a file name starts: "\", "/" and ":" on Windows, "/" on
// POSIX systems.
bool IsPathDelimiter(char16_t c);
