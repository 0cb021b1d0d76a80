#include "view/selection_masks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velmora {
namespace {

std::vector<GridPoint> Rectangle(GridPoint a, GridPoint b) {
    return {a, {b.x, a.y}, b, {a.x, b.y}, a};
}

SelectionMasks EmptyMasks(std::int32_t width, std::int32_t height) {
    SelectionMasks masks;
    masks.fillMask.SetSize(width, height, 1);
    masks.sourceMask.SetSize(width, height, 1);
    masks.fillMask.Fill(0);
    masks.sourceMask.Fill(0);
    return masks;
}

long CountSet(const ByteGrid& mask) {
    return std::count(mask.begin(), mask.end(), kMaskSet);
}

TEST(SelectionMasks, RectangleExampleAtZoomOne) {
    SelectionMasks masks = EmptyMasks(400, 300);
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({100, 80}, {160, 120}), {}, false, masks));
    EXPECT_EQ(masks.selectionBounds, (FillRect{100, 80, 60, 40}));
    EXPECT_EQ(masks.sourceRect, (FillRect{50, 75, 160, 50}));
    EXPECT_EQ(masks.trackerRect, (ViewRect{50, 75, 210, 125}));
    EXPECT_EQ(CountSet(masks.fillMask), 60 * 40);
    for (std::int32_t y = 0; y < 300; ++y)
        for (std::int32_t x = 0; x < 400; ++x) {
            const bool selected = x >= 100 && x < 160 && y >= 80 && y < 120;
            const bool inSource = x >= 50 && x < 210 && y >= 75 && y < 125;
            ASSERT_EQ(*masks.fillMask.At({x, y}), selected ? 255 : 0) << x << "," << y;
            ASSERT_EQ(*masks.sourceMask.At({x, y}), inSource && !selected ? 0 : 255)
                << x << "," << y;
        }
}

TEST(SelectionMasks, SourceRectangleWideningNearEdgesAndForWideSelections) {
    struct Case {
        FillRect bounds;
        FillRect expected;
    };
    const Case cases[] = {
        {{10, 20, 40, 40}, {0, 15, 140, 50}},      // crosses the left edge: width kept
        {{350, 100, 40, 40}, {300, 95, 100, 50}},  // clipped at the right edge
        {{50, 100, 300, 20}, {0, 95, 400, 30}},    // wide: 150 to each side, clipped
        {{120, 2, 300, 20}, {0, 0, 400, 30}},      // near the top: height kept, then clipped
    };
    for (const Case& c : cases) EXPECT_EQ(DeriveSourceRect(c.bounds, 400, 300), c.expected);
    EXPECT_EQ(DeriveSourceRect({100, 100, 300, 20}, 1000, 300), (FillRect{0, 95, 600, 30}));
}

TEST(SelectionMasks, FromTrackerIsKeptOnThePicture) {
    SelectionMasks masks = EmptyMasks(400, 300);
    masks.trackerRect = {10, 20, 210, 120};
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({40, 20}, {60, 40}), {2.0f, 30, 0}, true, masks));
    EXPECT_EQ(masks.sourceRect, (FillRect{20, 10, 100, 50}));
    EXPECT_EQ(masks.trackerRect, (ViewRect{10, 20, 210, 120}))
        << "a tracker on the picture is left alone";

    // Off the top left corner: the source is the part on the picture, and the tracker says so.
    masks.trackerRect = {-100, -40, 300, 60};
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({40, 20}, {60, 40}), {1.0f, 0, 0}, true, masks));
    EXPECT_EQ(masks.sourceRect, (FillRect{0, 0, 300, 60}));
    EXPECT_EQ(masks.trackerRect, (ViewRect{0, 0, 300, 60}));
    EXPECT_EQ(*masks.sourceMask.At({0, 0}), 0);
    EXPECT_EQ(*masks.sourceMask.At({300, 0}), 255);

    // Off the bottom right, zoomed and scrolled.
    masks.trackerRect = {700, 500, 900, 700};
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({40, 20}, {60, 40}), {2.0f, 30, 20}, true, masks));
    EXPECT_EQ(masks.sourceRect, (FillRect{365, 260, 35, 40}));
    EXPECT_EQ(masks.trackerRect, (ViewRect{700, 500, 770, 580}));

    // Off the picture altogether: the source stays where it was.
    masks.trackerRect = {-500, -500, -300, -300};
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({40, 20}, {60, 40}), {1.0f, 0, 0}, true, masks));
    EXPECT_EQ(masks.sourceRect, (FillRect{365, 260, 35, 40}));
    EXPECT_EQ(masks.trackerRect, (ViewRect{365, 260, 400, 300}));
}

TEST(SelectionMasks, TrackerFollowsZoomAndScroll) {
    SelectionMasks masks = EmptyMasks(400, 300);
    ASSERT_TRUE(
        BuildSelectionMasks(Rectangle({100, 80}, {160, 120}), {1.5f, 20, 10}, false, masks));
    EXPECT_EQ(masks.trackerRect, (ViewRect{55, 102, 295, 177}));
}

TEST(SelectionMasks, StarLeavesItsCentreEmptyByTheEvenOddRule) {
    // A five-pointed star drawn as one self-intersecting outline around (100, 100).
    std::vector<GridPoint> star;
    for (int k = 0; k <= 5; ++k) {
        const double angle = -M_PI / 2 + (k % 5) * 4 * M_PI / 5;
        star.push_back({static_cast<std::int32_t>(std::lround(100 + 90 * std::cos(angle))),
                        static_cast<std::int32_t>(std::lround(100 + 90 * std::sin(angle)))});
    }
    SelectionMasks masks = EmptyMasks(200, 200);
    ASSERT_TRUE(BuildSelectionMasks(star, {}, false, masks));
    EXPECT_EQ(*masks.fillMask.At({100, 100}), 0) << "the central pentagon is outside";
    EXPECT_EQ(*masks.fillMask.At({100, 25}), 255) << "the top point is inside";
    EXPECT_EQ(*masks.sourceMask.At({100, 100}), 0) << "and may serve as a source";
    for (std::size_t i = 0; i < masks.fillMask.size(); ++i) {
        if (masks.fillMask.data()[i] == 255) {
            ASSERT_EQ(masks.sourceMask.data()[i], 255) << "a selected pixel is never a source";
        }
    }
}

TEST(SelectionMasks, TooFewPointsOrMissingMasksChangeNothing) {
    SelectionMasks masks = EmptyMasks(50, 50);
    masks.fillMask.Fill(7);
    masks.selectionBounds = {1, 2, 3, 4};
    EXPECT_FALSE(BuildSelectionMasks(std::vector<GridPoint>{{5, 5}, {5, 5}}, {}, false, masks));
    EXPECT_EQ(*masks.fillMask.At({0, 0}), 7);
    EXPECT_EQ(masks.selectionBounds, (FillRect{1, 2, 3, 4}));

    SelectionMasks mismatched = EmptyMasks(50, 50);
    mismatched.sourceMask.SetSize(40, 50, 1);
    EXPECT_FALSE(BuildSelectionMasks(Rectangle({1, 1}, {9, 9}), {}, false, mismatched));
}

TEST(SelectionMasks, ZeroWidthRectangleSelectsNothing) {
    SelectionMasks masks = EmptyMasks(100, 100);
    ASSERT_TRUE(BuildSelectionMasks(Rectangle({30, 10}, {30, 60}), {}, false, masks));
    EXPECT_EQ(CountSet(masks.fillMask), 0);
    EXPECT_EQ(masks.selectionBounds.width, 0);
}

TEST(SelectionMasks, OutlinesFarOutsideThePictureAreClipped) {
    SelectionMasks masks = EmptyMasks(64, 48);
    const std::vector<GridPoint> huge{{-2000000000, -2000000000},
                                      {2000000000, -2000000000},
                                      {2000000000, 2000000000},
                                      {-2000000000, 2000000000},
                                      {-2000000000, -2000000000}};
    ASSERT_TRUE(BuildSelectionMasks(huge, {}, false, masks));
    EXPECT_EQ(CountSet(masks.fillMask), 64 * 48);
    EXPECT_EQ(masks.sourceRect, (FillRect{0, 0, 64, 48}));

    const std::vector<GridPoint> away{{500, 500}, {600, 500}, {550, 700}, {500, 500}};
    ASSERT_TRUE(BuildSelectionMasks(away, {}, false, masks));
    EXPECT_EQ(CountSet(masks.fillMask), 0);
}

TEST(SelectionMasks, SlantedEdgesTakePixelsWhoseCentresAreInside) {
    SelectionMasks masks = EmptyMasks(20, 20);
    // Right triangle with legs along x = 0 and y = 10 and hypotenuse x = y.
    ASSERT_TRUE(BuildSelectionMasks(std::vector<GridPoint>{{0, 0}, {10, 10}, {0, 10}, {0, 0}}, {},
                                    false, masks));
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t x = 0; x < 20; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const bool inside = cy < 10 && cx < cy;  // the centre never lies on the hypotenuse
            ASSERT_EQ(*masks.fillMask.At({x, y}), inside ? 255 : 0) << x << "," << y;
        }
}

TEST(SelectionMasks, MarksFromAMaskPicture) {
    ByteGrid marks;
    marks.SetSize(120, 90, 1);
    marks.Fill(0);
    *marks.At({30, 40}) = 255;
    *marks.At({33, 47}) = 255;
    SelectionMasks masks;
    BuildMasksFromMarks(marks, masks);
    EXPECT_EQ(masks.selectionBounds, (FillRect{30, 40, 4, 8}));
    EXPECT_EQ(masks.sourceRect, (FillRect{0, 35, 104, 18}));
    EXPECT_EQ(*masks.sourceMask.At({30, 40}), 255);
    EXPECT_EQ(*masks.sourceMask.At({31, 40}), 0);
}

}  // namespace
}  // namespace velmora
