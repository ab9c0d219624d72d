// Memory for the library comes only from the caller's alloc/free callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace cabinet {

struct Allocator {
    void* (*alloc)(uint32_t size) = nullptr;
    void (*release)(void* block) = nullptr;

    // Null when the caller's heap refuses or the size does not fit the callback's 32 bits.
    void* allocate(size_t size) const {
        if (size == 0 || size > UINT32_MAX) return nullptr;
        return alloc(static_cast<uint32_t>(size));
    }
    void deallocate(void* block) const {
        if (block) release(block);
    }

    // Constructs a T in memory from the callback; null when that memory is refused.
    template <typename T, typename... Args>
    T* make(Args&&... args) const {
        void* p = allocate(sizeof(T));
        return p ? new (p) T(std::forward<Args>(args)...) : nullptr;
    }
    template <typename T>
    void destroy(T* object) const {
        if (!object) return;
        object->~T();
        deallocate(object);
    }
};

}  // namespace cabinet
