#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "grid_point.h"

namespace velmora {

// The dense known flags a neighbourhood walk reads: one byte per pixel of the work area, row by
// row, non-zero where the pixel is known.
struct KnownFlags {
    const std::uint8_t* flags = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The inner loop of a neighbourhood walk: goes through `offsets` from `from` on, in order, and
// appends each offset whose pixel around `target` lies inside the area and is known to `found`
// (holding `count` already, fewer than `want`), until it holds `want`. Returns the index of the
// offset that made it `want`, or offsets.size() when the offsets ran out first. `vector`: sixteen
// offsets at a time with AVX-512 (the caller checks the processor has it); the result is the same.
std::size_t WalkKnown(const KnownFlags& known, GridPoint target, std::span<const GridPoint> offsets,
                      std::size_t from, GridPoint* found, std::int32_t& count, std::int32_t want,
                      bool vector);

}  // namespace velmora
