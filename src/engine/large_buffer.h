#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace velmora {

// Memory for a job's large arrays. Those of a huge page or more are placed on 2 MB boundaries and
// offered to the system for huge pages: random reads over tens of megabytes of 4 KB pages miss the
// address-translation caches on nearly every access, and each miss costs a page-table walk (two
// nested ones in a virtual machine); and the first write to each 4 KB page is a fault into the
// system, about 10 µs each in some virtual machines, which made a job's set-up, done by one thread,
// as long as a tenth of a two-thread fill.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

struct LargeBufferRelease {
    std::align_val_t alignment{alignof(std::max_align_t)};

    void operator()(void* memory) const noexcept { ::operator delete(memory, alignment); }
};

template <typename Element>
using LargeBuffer = std::unique_ptr<Element[], LargeBufferRelease>;

// The alignment a buffer of `bytes` bytes gets.
[[nodiscard]] std::align_val_t LargeBufferAlignment(std::size_t bytes);

// Reserves memory for a buffer of `bytes` bytes (aligned and offered for huge pages as above);
// throws std::bad_alloc. ReleaseLargeBuffer takes the same size back.
[[nodiscard]] void* AllocateLargeBuffer(std::size_t bytes);
void ReleaseLargeBuffer(void* memory, std::size_t bytes) noexcept;

// The bytes of `count` elements; throws std::bad_alloc when the size overflows.
template <typename Element>
[[nodiscard]] std::size_t LargeBufferBytes(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(Element)) throw std::bad_alloc();
    return count * sizeof(Element);
}

// `count` default-initialised elements, as std::make_unique_for_overwrite makes them (plain
// numbers stay uninitialised). Throws std::bad_alloc, also when the size overflows.
template <typename Element>
[[nodiscard]] LargeBuffer<Element> MakeLargeBuffer(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<Element>);  // released without destructors
    const std::size_t bytes = LargeBufferBytes<Element>(count);
    LargeBuffer<Element> buffer(static_cast<Element*>(AllocateLargeBuffer(bytes)),
                                LargeBufferRelease{LargeBufferAlignment(bytes)});
    std::uninitialized_default_construct_n(buffer.get(), count);
    return buffer;
}

// The same memory for the lists a job builds, such as the fill order.
template <typename Element>
struct LargeBufferAllocator {
    using value_type = Element;

    LargeBufferAllocator() = default;
    template <typename Other>
    explicit LargeBufferAllocator(const LargeBufferAllocator<Other>& /*other*/) {}

    [[nodiscard]] Element* allocate(std::size_t count) {
        return static_cast<Element*>(AllocateLargeBuffer(LargeBufferBytes<Element>(count)));
    }
    void deallocate(Element* memory, std::size_t count) noexcept {
        ReleaseLargeBuffer(memory, count * sizeof(Element));
    }

    template <typename Other>
    bool operator==(const LargeBufferAllocator<Other>& /*other*/) const {
        return true;
    }
};

}  // namespace velmora
