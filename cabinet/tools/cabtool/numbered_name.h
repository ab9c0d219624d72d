// Names of the later cabinets of a set: the first cabinet's extension with its digits counted
// up ("disk.cab", "disk.c01", "disk.c02"...).
#pragma once

#include <string>

namespace cabtool {

// `name` with its extension replaced by the number (number + 1) mod 100 in two digits, after
// the first letter of the old extension when it has one.
std::string incrementNumberedExtension(const std::string& name, unsigned number);

}  // namespace cabtool
