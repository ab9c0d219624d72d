// Text from outside (member names read from an archive) made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 text with every control character (C0, DEL and C1) and every byte that is not
// part of a well-formed UTF-8 sequence written as "\xHH", one escape per byte. A name
// holding ESC or CSI thus cannot move the cursor, recolour or retitle the user's terminal,
// and what is printed still tells the bytes apart. Everything else passes unchanged.
std::string printableText(std::string_view utf8);
