#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/grid_point.h"

namespace velmora {

// The active tool of the canvas.
enum ToolMode : std::int32_t {
    TOOL_POLYGON = 0,
    TOOL_RECTANGLE = 1,
    TOOL_SELECT = 2,
    TOOL_MOVE = 3,  // also in force while a fill job runs
};

// The selection outline in image pixels. The rectangle tool stores a rectangle as a closed outline
// of five points.
struct SelectionPolygon {
    static constexpr std::int32_t kCapacity = 8000;

    std::array<GridPoint, kCapacity> points{};
    std::int32_t pointCount = 0;

    [[nodiscard]] std::span<const GridPoint> Points() const {
        return {points.data(), static_cast<std::size_t>(pointCount)};
    }
};

// Closed when it has more than one point and its last point equals its first.
[[nodiscard]] inline bool IsSelectionClosed(const SelectionPolygon& selection) {
    return selection.pointCount > 1 &&
           selection.points[static_cast<std::size_t>(selection.pointCount - 1)] ==
               selection.points[0];
}

}  // namespace velmora
