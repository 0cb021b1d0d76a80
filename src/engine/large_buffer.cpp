#include "large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmora {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this a buffer lies within the translation caches' reach anyway, and aligning it to a huge
// page would only waste memory.
constexpr std::size_t kHugePageWorthy = std::size_t{8} << 20;

}  // namespace

std::align_val_t LargeBufferAlignment(std::size_t bytes) {
    return std::align_val_t{bytes < kHugePageWorthy ? alignof(std::max_align_t) : kHugePage};
}

void AdviseHugePages([[maybe_unused]] void* memory, std::size_t bytes) noexcept {
    if (bytes < kHugePageWorthy) return;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: the whole pages inside the buffer; without huge pages it works the same.
    const std::size_t whole = bytes / kHugePage * kHugePage;
    madvise(memory, whole, MADV_HUGEPAGE);
#endif
}

}  // namespace velmora
