// Text at the cabinet library boundary. Names cross into and out of the library as narrow
// strings in the system's ANSI code page; a member whose stored name carries the UTF-8 flag
// is decoded as UTF-8 instead. Where the platform has no ANSI code page (POSIX), Windows-1252
// stands in for it, which is what theme packs made on western Windows systems hold.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::codepage {

// Narrow (ANSI code page) to UTF-16. Every byte maps to a character.
std::u16string narrowToUtf16(std::string_view narrow);

// UTF-16 to narrow. A character the code page cannot represent becomes '?', so such a name
// does not survive the round trip (the file cannot be found under it).
std::string utf16ToNarrow(std::u16string_view text);

// Windows-1252 to UTF-16 on every platform, for text known to be in the western code page
// whatever the system's own is. Every byte maps to a character; the five bytes the code page
// leaves undefined map to the C1 control of the same value, as the Windows conversion does.
std::u16string windows1252ToUtf16(std::string_view bytes);
// The Windows-1252 byte of c, or -1 when the code page has no such character.
int utf16ToWindows1252Byte(char16_t c);

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace pelmora::codepage
