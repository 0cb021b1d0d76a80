#pragma once

#include <cstdint>

namespace velmora {

// A pixel position or a displacement between two positions, in the coordinates of one grid.
struct GridPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend constexpr bool operator==(GridPoint, GridPoint) = default;
    friend constexpr GridPoint operator+(GridPoint a, GridPoint b) {
        return {a.x + b.x, a.y + b.y};
    }
    friend constexpr GridPoint operator-(GridPoint a, GridPoint b) {
        return {a.x - b.x, a.y - b.y};
    }
};

// An axis-aligned rectangle in whole pixels.
struct FillRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    friend constexpr bool operator==(const FillRect&, const FillRect&) = default;
    [[nodiscard]] constexpr bool HasArea() const { return width > 0 && height > 0; }
    // True when the rectangle has area and lies wholly inside a picture of the given size.
    [[nodiscard]] constexpr bool LiesInside(std::int32_t pictureWidth,
                                            std::int32_t pictureHeight) const {
        return HasArea() && x >= 0 && y >= 0 &&
               static_cast<std::int64_t>(x) + width <= pictureWidth &&
               static_cast<std::int64_t>(y) + height <= pictureHeight;
    }
};

}  // namespace velmora
