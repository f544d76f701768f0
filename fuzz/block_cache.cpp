// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps freed large blocks for reuse by the next request of the same size.
//
// Every reader and writer of the core holds a 1 MiB buffer. Under AddressSanitizer each such
// block is a fresh mapping whose 256 pages fault in when the buffer is zeroed, which held the
// fuzzers to about a thousand inputs a second. A cached block stays mapped; it is poisoned
// while it waits, so a use after free is still reported.

#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kLarge = 128 * 1024;
constexpr std::size_t kKeep = 16;

struct Cache {
    std::mutex mutex;
    std::size_t count = 0;
    void* blocks[kKeep] = {};
    std::size_t sizes[kKeep] = {};
};

Cache& cache() {
    static Cache* c = new (std::malloc(sizeof(Cache))) Cache;  // never destroyed
    return *c;
}

void* take(std::size_t size) {
    if (size < kLarge) return nullptr;
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    for (std::size_t i = c.count; i-- > 0;) {
        if (c.sizes[i] != size) continue;
        void* block = c.blocks[i];
        c.blocks[i] = c.blocks[c.count - 1];
        c.sizes[i] = c.sizes[c.count - 1];
        --c.count;
        ASAN_UNPOISON_MEMORY_REGION(block, size);
        return block;
    }
    return nullptr;
}

void give(void* block) {
    if (!block) return;
    const std::size_t size = __sanitizer_get_allocated_size(block);
    if (size >= kLarge) {
        Cache& c = cache();
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.count == kKeep) {  // the oldest goes back to the system
            std::free(c.blocks[0]);
            for (std::size_t i = 1; i < kKeep; ++i) {
                c.blocks[i - 1] = c.blocks[i];
                c.sizes[i - 1] = c.sizes[i];
            }
            --c.count;
        }
        ASAN_POISON_MEMORY_REGION(block, size);
        c.blocks[c.count] = block;
        c.sizes[c.count] = size;
        ++c.count;
        return;
    }
    std::free(block);
}

void* get(std::size_t size) {
    if (void* block = take(size)) return block;
    return std::malloc(size ? size : 1);
}

void* getOrThrow(std::size_t size) {
    if (void* block = get(size)) return block;
    throw std::bad_alloc();
}

void* getAligned(std::size_t size, std::align_val_t align) {
    void* block = nullptr;
    const std::size_t a = static_cast<std::size_t>(align);
    return posix_memalign(&block, a < sizeof(void*) ? sizeof(void*) : a, size ? size : 1) == 0
               ? block
               : nullptr;
}

void* getAlignedOrThrow(std::size_t size, std::align_val_t align) {
    if (void* block = getAligned(size, align)) return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return getOrThrow(size);
}
void* operator new[](std::size_t size) {
    return getOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return get(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return get(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return getAlignedOrThrow(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return getAlignedOrThrow(size, a);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return getAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return getAligned(size, a);
}

void operator delete(void* p) noexcept {
    give(p);
}
void operator delete[](void* p) noexcept {
    give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    give(p);
}
void operator delete(void* p, std::size_t) noexcept {
    give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    give(p);
}
// Aligned blocks are never cached: a cached block is handed out by size alone.
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
