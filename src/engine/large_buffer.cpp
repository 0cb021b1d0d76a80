#include "large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmora {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool HugePageWorthy(std::size_t bytes) {
    return bytes >= kHugePage;
}

// Offers a buffer's whole huge pages to the system: only advice, without them it works the same.
void AdviseHugePages([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(memory, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
#endif
}

}  // namespace

std::align_val_t LargeBufferAlignment(std::size_t bytes) {
    return std::align_val_t{HugePageWorthy(bytes) ? kHugePage : alignof(std::max_align_t)};
}

std::size_t LargeBufferBytes(std::size_t bytes) {
    if (!HugePageWorthy(bytes)) return bytes;
    const std::size_t rounded = (bytes - 1) / kHugePage * kHugePage + kHugePage;
    return rounded - bytes <= bytes / 2 ? rounded : bytes;
}

void* AllocateLargeBuffer(std::size_t bytes) {
    const std::size_t reserved = LargeBufferBytes(bytes);
    void* memory = ::operator new(reserved, LargeBufferAlignment(bytes));
    if (HugePageWorthy(bytes)) AdviseHugePages(memory, reserved);
    return memory;
}

void ReleaseLargeBuffer(void* memory, std::size_t bytes) noexcept {
    ::operator delete(memory, LargeBufferAlignment(bytes));
}

}  // namespace velmora
