#pragma once

#include <cstdint>
#include <vector>

#include "grid_point.h"

namespace velmora {

using OffsetList = std::vector<GridPoint>;

// Every displacement (dx, dy) with |dx| < width and |dy| < height, nearest first. Offsets at equal
// distance are ordered by dy, then dx, so every build gives the same list.
void BuildOffsetList(OffsetList& offsets, std::int32_t width, std::int32_t height);

}  // namespace velmora
