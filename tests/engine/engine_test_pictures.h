#pragma once

#include <cstdint>

#include "engine/fill_engine.h"
#include "engine/pixel_grid.h"

namespace velmora::testing {

// A width x height colour grid (depth 3) with pseudo-random content from `seed`.
ByteGrid NoisePicture(std::int32_t width, std::int32_t height, std::uint32_t seed);

// A width x height colour grid of one colour.
ByteGrid PlainPicture(std::int32_t width, std::int32_t height, std::uint8_t b, std::uint8_t g,
                      std::uint8_t r);

// A picture-sized mask with the rectangle set to `value` and the rest 0.
ByteGrid RectMask(std::int32_t width, std::int32_t height, const FillRect& area,
                  std::uint8_t value);

// Prepares `engine` for searches by hand: work and source grids are both `picture`, every pixel
// known and usable except `unknown`, tables built, nothing tried.
void PrepareSearch(FillEngine& engine, const ByteGrid& picture, std::int32_t offsetReach = 4);

}  // namespace velmora::testing
