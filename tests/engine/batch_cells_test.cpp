#include "engine/batch_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace velmora {
namespace {

std::int64_t SquaredDistance(GridPoint a, GridPoint b) {
    const std::int64_t dx = a.x - b.x;
    const std::int64_t dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// What FindNear reports, sorted; every entry when it declines (the caller then scans the batch).
std::vector<std::int32_t> Near(const BatchCells& cells, const std::vector<GridPoint>& pixels,
                               GridPoint centre, std::int64_t reach, std::int32_t before) {
    std::vector<std::int32_t> found;
    if (!cells.FindNear(centre, reach, before, [&](std::int32_t e) { found.push_back(e); })) {
        for (std::int32_t e = 0; e < before; ++e)
            if (SquaredDistance(pixels[static_cast<std::size_t>(e)], centre) <= reach)
                found.push_back(e);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::int32_t> Expected(const std::vector<GridPoint>& pixels, GridPoint centre,
                                   std::int64_t reach, std::int32_t before) {
    std::vector<std::int32_t> near;
    for (std::int32_t e = 0; e < before; ++e)
        if (SquaredDistance(pixels[static_cast<std::size_t>(e)], centre) <= reach)
            near.push_back(e);
    return near;
}

// Random batches in a work area, looked up around random pixels at every reach from touching to
// covering the area, with batches of every length modulo the vector width: each lookup finds
// exactly the earlier entries at or within the reach.
TEST(BatchCells, FindsExactlyTheEarlierEntriesWithinReach) {
    constexpr std::int32_t kWidth = 203;
    constexpr std::int32_t kHeight = 77;
    BatchCells cells(kWidth, kHeight);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> column(0, kWidth - 1);
    std::uniform_int_distribution<std::int32_t> row(0, kHeight - 1);
    for (const std::size_t size : {1u, 3u, 4u, 7u, 33u, 96u, 250u}) {
        std::vector<GridPoint> pixels(size);
        for (GridPoint& p : pixels) p = {column(random), row(random)};
        cells.File(pixels);
        for (int lookup = 0; lookup < 200; ++lookup) {
            const auto before = static_cast<std::int32_t>(random() % (size + 1));
            // Often exactly on an entry's distance, so that the boundary is tested.
            const GridPoint centre = {column(random), row(random)};
            const std::int64_t reach =
                lookup % 2 == 0 && before > 0
                    ? SquaredDistance(pixels[random() % static_cast<std::size_t>(before)], centre)
                    : static_cast<std::int64_t>(random() % 3000);
            SCOPED_TRACE(::testing::Message()
                         << "size " << size << " before " << before << " reach " << reach);
            EXPECT_EQ(Near(cells, pixels, centre, reach, before),
                      Expected(pixels, centre, reach, before));
        }
    }
}

// Pixels right at the work area's edges and reaches far beyond it: nothing is lost to the
// arithmetic of the squares around the centre.
TEST(BatchCells, EdgesAndReachesBeyondTheAreaLoseNothing) {
    constexpr std::int32_t kSide = 40;
    BatchCells cells(kSide, kSide);
    const std::vector<GridPoint> pixels = {
        {0, 0}, {kSide - 1, 0}, {0, kSide - 1}, {kSide - 1, kSide - 1}, {20, 20}, {1, 38}};
    cells.File(pixels);
    const auto before = static_cast<std::int32_t>(pixels.size());
    for (const GridPoint centre : {GridPoint{0, 0}, GridPoint{39, 39}, GridPoint{20, 0}}) {
        for (const std::int64_t reach : {std::int64_t{0}, std::int64_t{1}, std::int64_t{400},
                                         std::int64_t{1} << 40, std::int64_t{1} << 60}) {
            SCOPED_TRACE(::testing::Message() << "reach " << reach);
            EXPECT_EQ(Near(cells, pixels, centre, reach, before),
                      Expected(pixels, centre, reach, before));
        }
    }
}

}  // namespace
}  // namespace velmora
