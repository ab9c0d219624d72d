// UTF-7 (RFC 2152): the seven-bit form in which Windows keeps Unicode values of a theme
// file's ".W" sections.
#pragma once

#include <string>
#include <string_view>

// Decodes `text` (its characters are taken as ASCII) into `out` and answers whether it was
// well formed. A "+" opens a run of modified base64 holding UTF-16 code units; the run ends
// at the first character outside the base64 alphabet, and a "-" that ends it is dropped;
// "+-" stands for "+". Everything outside runs is copied as it is. Malformed input (bits left
// over that do not pad a run, a half code unit, an unpaired surrogate) still decodes as far as
// it can, with U+FFFD in place of what could not be read, and answers false.
bool decodeUtf7(std::u16string_view text, std::u16string& out);
