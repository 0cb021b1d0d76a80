#pragma once

#include <cstdint>

#include "grid_point.h"

namespace velmora {

// Per-pixel bookkeeping of the work area.
struct PixelStatus {
    std::uint8_t known = 0;   // the pixel's colour may serve as a neighbour colour
    std::uint8_t filled = 0;  // synthesised at least once in this job; `source` is valid
    GridPoint source;         // in source-grid coordinates: where the colour was last copied from
};

}  // namespace velmora
