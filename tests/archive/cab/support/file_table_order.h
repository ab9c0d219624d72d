// Cabinets whose members are listed against the order of their data: the file table of a
// cabinet rewritten in another order, its folders and data left as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Lists the members of cabinet (bytes) in the order given: order[k] is the stored index of the
// member to list k-th. The table keeps its length, so no other offset changes.
std::vector<uint8_t> reorderFileTable(const std::vector<uint8_t>& cabinet,
                                      const std::vector<int>& order);

// n indices back to front, and zig-zag (first, last, second, second last...).
std::vector<int> reverseOrder(int n);
std::vector<int> zigZagOrder(int n);

}  // namespace testsupport
