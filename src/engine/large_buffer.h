#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace velmora {

// Memory for the arrays a job reads at random. Large ones are placed on 2 MB boundaries and
// offered to the system for huge pages: random reads over tens of megabytes of 4 KB pages miss the
// address-translation caches on nearly every access, and each miss costs a page-table walk (two
// nested ones in a virtual machine).
struct LargeBufferRelease {
    std::align_val_t alignment{alignof(std::max_align_t)};

    void operator()(void* memory) const noexcept { ::operator delete(memory, alignment); }
};

template <typename Element>
using LargeBuffer = std::unique_ptr<Element[], LargeBufferRelease>;

// The alignment a buffer of `bytes` bytes gets.
[[nodiscard]] std::align_val_t LargeBufferAlignment(std::size_t bytes);

// Offers a buffer aligned by LargeBufferAlignment to the system for huge pages.
void AdviseHugePages(void* memory, std::size_t bytes) noexcept;

// `count` default-initialised elements, as std::make_unique_for_overwrite makes them (plain
// numbers stay uninitialised). Throws std::bad_alloc, also when the size overflows.
template <typename Element>
[[nodiscard]] LargeBuffer<Element> MakeLargeBuffer(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<Element>);  // released without destructors
    if (count > static_cast<std::size_t>(-1) / sizeof(Element)) throw std::bad_alloc();
    const std::size_t bytes = count * sizeof(Element);
    const std::align_val_t alignment = LargeBufferAlignment(bytes);
    LargeBuffer<Element> buffer(static_cast<Element*>(::operator new(bytes, alignment)),
                                LargeBufferRelease{alignment});
    AdviseHugePages(buffer.get(), bytes);
    std::uninitialized_default_construct_n(buffer.get(), count);
    return buffer;
}

}  // namespace velmora
