#pragma once

#include <cstdint>

namespace velmora::bench {

// Heap bytes in use, and the most in use since the last ResetHeapPeak, as counted by the
// program's own operator new and delete (heap_meter.cpp replaces them).
struct HeapReading {
    std::int64_t inUse = 0;
    std::int64_t peak = 0;
};

void ResetHeapPeak();
[[nodiscard]] HeapReading ReadHeap();

}  // namespace velmora::bench
