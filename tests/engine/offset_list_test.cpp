#include "engine/offset_list.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace velmora {
namespace {

std::int64_t SquaredLength(GridPoint o) {
    return static_cast<std::int64_t>(o.x) * o.x + static_cast<std::int64_t>(o.y) * o.y;
}

TEST(OffsetList, SinglePixelHoldsOnlyTheOrigin) {
    OffsetList offsets{{5, 5}};
    BuildOffsetList(offsets, 1, 1);
    ASSERT_EQ(offsets.size(), 1u);
    EXPECT_EQ(offsets[0], (GridPoint{0, 0}));
}

TEST(OffsetList, OneRowIsOrderedOutwardLeftBeforeRight) {
    OffsetList offsets;
    BuildOffsetList(offsets, 3, 1);
    const OffsetList expected{{0, 0}, {-1, 0}, {1, 0}, {-2, 0}, {2, 0}};
    EXPECT_EQ(offsets, expected);
}

TEST(OffsetList, HoldsEveryOffsetOnceSortedByDistanceThenRowThenColumn) {
    for (const auto& [width, height] : {std::pair{4, 7}, std::pair{9, 2}, std::pair{6, 6}}) {
        OffsetList offsets;
        BuildOffsetList(offsets, width, height);
        ASSERT_EQ(offsets.size(), static_cast<std::size_t>((2 * width - 1) * (2 * height - 1)));
        std::set<std::pair<int, int>> seen;
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            const GridPoint o = offsets[i];
            EXPECT_LT(std::abs(o.x), width);
            EXPECT_LT(std::abs(o.y), height);
            EXPECT_TRUE(seen.emplace(o.x, o.y).second) << "duplicate offset";
            if (i == 0) continue;
            const GridPoint previous = offsets[i - 1];
            const auto before = std::tuple{SquaredLength(previous), previous.y, previous.x};
            const auto after = std::tuple{SquaredLength(o), o.y, o.x};
            EXPECT_LT(before, after) << "at " << i;
        }
    }
}

TEST(OffsetList, NearestRingsComeFirst) {
    OffsetList offsets;
    BuildOffsetList(offsets, 5, 5);
    const OffsetList expected{{0, 0},   {0, -1}, {-1, 0}, {1, 0}, {0, 1},
                              {-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {0, -2}};
    EXPECT_EQ(OffsetList(offsets.begin(), offsets.begin() + 10), expected);
}

}  // namespace
}  // namespace velmora
