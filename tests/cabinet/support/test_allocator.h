// Allocators for tests: the plain heap, one that refuses every request, and one that counts
// the blocks it has handed out and can be told to refuse after a number of them.
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

// One test at a time: the counts are shared.
struct CountingHeap {
    static inline int live = 0;
    static inline int grantsLeft = 0;

    static void* alloc(uint32_t size) {
        if (grantsLeft <= 0) return nullptr;
        --grantsLeft;
        ++live;
        return std::malloc(size);
    }
    static void release(void* block) {
        --live;
        std::free(block);
    }
    static Allocator granting(int grants) {
        grantsLeft = grants;
        live = 0;
        return Allocator{alloc, release};
    }
};

}  // namespace cabinet::testing
