#include "large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmora {

namespace {

bool HugePageWorthy(std::size_t bytes) {
    return bytes >= kHugePageBytes;
}

// Offers the huge pages that lie wholly within a buffer to the system (a last part smaller than a
// page stays on small pages: rounding the buffer up would keep up to a page more resident). Only
// advice: without huge pages it works the same.
void AdviseHugePages([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(memory, bytes / kHugePageBytes * kHugePageBytes, MADV_HUGEPAGE);
#endif
}

}  // namespace

std::align_val_t LargeBufferAlignment(std::size_t bytes) {
    return std::align_val_t{HugePageWorthy(bytes) ? kHugePageBytes : alignof(std::max_align_t)};
}

void* AllocateLargeBuffer(std::size_t bytes) {
    void* memory = ::operator new(bytes, LargeBufferAlignment(bytes));
    if (HugePageWorthy(bytes)) AdviseHugePages(memory, bytes);
    return memory;
}

void ReleaseLargeBuffer(void* memory, std::size_t bytes) noexcept {
    ::operator delete(memory, LargeBufferAlignment(bytes));
}

}  // namespace velmora
