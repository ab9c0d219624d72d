// Runs a decoding twice over the same input and stops the fuzzer when the two outputs differ:
// a decoder whose result depends on state left from before its reset accepts damage in one
// run that it refuses in another, or makes other bytes of it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fuzzing {

template <typename Decode>
void requireSameTwice(Decode decode) {
    std::vector<uint8_t> first;
    decode(first);
    std::vector<uint8_t> second;
    decode(second);
    if (first != second) std::abort();
}

}  // namespace fuzzing
