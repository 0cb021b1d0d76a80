#include "engine/large_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>

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
