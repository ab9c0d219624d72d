// The characters this platform's file system cannot store in a path or a file name.
#pragma once

// A character that may not stand anywhere in a path: on Windows the control characters,
// the double quote, "<", ">" and "|"; on POSIX systems the control characters (NUL cannot
// be stored, and the others are refused because a name holding them can drive a terminal
// or fool a reader).
bool IsInvalidPathChar(char16_t c);

// A character that may not stand in a file name: the characters above, and on Windows also
// the wildcards "*" and "?".
bool IsInvalidNameChar(char16_t c);
