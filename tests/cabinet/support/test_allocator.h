// Allocators for tests: the plain heap, and one that refuses every request.
#pragma once

#include <cstdlib>

#include "allocator.h"

namespace cabinet::testing {

inline void* heapAlloc(uint32_t size) {
    return std::malloc(size);
}
inline void heapRelease(void* block) {
    std::free(block);
}
inline void* refuseAlloc(uint32_t) {
    return nullptr;
}

inline const Allocator kHeap{heapAlloc, heapRelease};
inline const Allocator kRefusing{refuseAlloc, heapRelease};

}  // namespace cabinet::testing
