#include "heap_meter.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace velmora::bench {

namespace {

std::atomic<std::int64_t> inUse{0};
std::atomic<std::int64_t> peak{0};

void Count(void* block) {
    if (block == nullptr) return;
    const auto size = static_cast<std::int64_t>(malloc_usable_size(block));
    const std::int64_t now = inUse.fetch_add(size, std::memory_order_relaxed) + size;
    std::int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void Uncount(void* block) {
    if (block == nullptr) return;
    inUse.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                    std::memory_order_relaxed);
}

void* Allocate(std::size_t size, std::size_t alignment) {
    void* block = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        block = std::malloc(size == 0 ? 1 : size);
    } else if (posix_memalign(&block, alignment, size == 0 ? 1 : size) != 0) {
        block = nullptr;
    }
    Count(block);
    return block;
}

void Release(void* block) {
    Uncount(block);
    std::free(block);
}

}  // namespace

void ResetHeapPeak() {
    peak.store(inUse.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

HeapReading ReadHeap() {
    return {inUse.load(std::memory_order_relaxed), peak.load(std::memory_order_relaxed)};
}

}  // namespace velmora::bench

using velmora::bench::Allocate;
using velmora::bench::Release;

void* operator new(std::size_t size) {
    if (void* block = Allocate(size, 0)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* block = Allocate(size, static_cast<std::size_t>(alignment))) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}
