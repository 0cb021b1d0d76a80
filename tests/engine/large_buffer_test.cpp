#include "engine/large_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "engine/pixel_grid.h"
#include "engine/pixel_status.h"

namespace velmora {
namespace {

// Grids of records start as their default, small or large, so a job's status grid needs no fill.
TEST(LargeBuffer, RecordsStartAsTheirDefaultAtEverySize) {
    for (const std::size_t count : {std::size_t{3}, std::size_t{1} << 20}) {
        SCOPED_TRACE(count);
        const LargeBuffer<PixelStatus> records = MakeLargeBuffer<PixelStatus>(count);
        for (const std::size_t i : {std::size_t{0}, count / 2, count - 1}) {
            EXPECT_EQ(records[i].known, 0);
            EXPECT_EQ(records[i].filled, 0);
            EXPECT_EQ(records[i].source, GridPoint{});
        }
    }
}

TEST(LargeBuffer, LargeBuffersStartOnHugePageBoundaries) {
    const LargeBuffer<std::uint32_t> large = MakeLargeBuffer<std::uint32_t>(std::size_t{5} << 20);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(large.get()) % (std::size_t{2} << 20), 0u);
    large[(std::size_t{5} << 20) - 1] = 7;  // the last element is there (and ASan checks it)
    EXPECT_EQ(large[(std::size_t{5} << 20) - 1], 7u);
    const LargeBuffer<std::uint8_t> empty = MakeLargeBuffer<std::uint8_t>(0);
    EXPECT_NE(empty.get(), nullptr);
}

// A list growing through the allocator keeps its elements as it moves to huge-page memory.
TEST(LargeBuffer, ListsGrowIntoLargeBuffers) {
    std::vector<std::int64_t, LargeBufferAllocator<std::int64_t>> list;
    constexpr std::int64_t kCount = 600'000;  // 4.8 MB
    for (std::int64_t i = 0; i < kCount; ++i) list.push_back(i * 3);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(list.data()) % (std::size_t{2} << 20), 0u);
    for (const std::int64_t i : {std::int64_t{0}, kCount / 3, kCount - 1})
        EXPECT_EQ(list[static_cast<std::size_t>(i)], i * 3);
    LargeBufferAllocator<std::int64_t> allocator;
    EXPECT_THROW((void)allocator.allocate(std::numeric_limits<std::size_t>::max() / 4),
                 std::bad_alloc);
}

TEST(LargeBuffer, SizesThatOverflowAreRefused) {
    EXPECT_THROW((void)MakeLargeBuffer<std::uint32_t>(std::numeric_limits<std::size_t>::max() / 2),
                 std::bad_alloc);
    PixelGrid<PixelStatus> grid;
    EXPECT_THROW(grid.SetSize(std::numeric_limits<std::int32_t>::max(),
                              std::numeric_limits<std::int32_t>::max(), 4096),
                 std::bad_alloc);
    EXPECT_EQ(grid.data(), nullptr);
}

}  // namespace
}  // namespace velmora
