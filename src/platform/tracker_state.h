#pragma once

#include <cstdint>

#include "platform/view_rect.h"

namespace velmora {

// Style bits of a rectangle tracker: how its border is drawn and where its resize handles sit.
inline constexpr std::uint32_t kTrackerSolidLine = 1;
inline constexpr std::uint32_t kTrackerDottedLine = 2;
inline constexpr std::uint32_t kTrackerHatchedBorder = 4;
inline constexpr std::uint32_t kTrackerResizeInside = 8;
inline constexpr std::uint32_t kTrackerResizeOutside = 16;
inline constexpr std::uint32_t kTrackerHatchInside = 32;

// What a rectangle tracker shows and edits: a rectangle in view coordinates with its style, the
// smallest size a resize may leave and the size of its handles. The tracker widget code works on
// it.
struct TrackerState {
    ViewRect rect;
    std::uint32_t style = kTrackerDottedLine | kTrackerResizeInside;
    std::int32_t minWidth = 50;
    std::int32_t minHeight = 50;
    std::int32_t handleSize = 8;
};

}  // namespace velmora
