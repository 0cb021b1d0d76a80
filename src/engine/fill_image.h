#pragma once

#include <cstdint>

#include "grid_point.h"
#include "pixel_grid.h"

namespace velmora {

// How a write-back may be treated while the picture is busy elsewhere (being painted).
enum class WriteBack {
    Progress,  // may be refused; the next write-back repeats the whole area
    Final,     // must reach the picture: wait for it to be free
};

// The picture a fill job reads from and writes into, seen as 24-bit colour (blue, green, red).
class FillImage {
  public:
    virtual ~FillImage() = default;

    [[nodiscard]] virtual std::int32_t Width() const = 0;
    [[nodiscard]] virtual std::int32_t Height() const = 0;

    // Copies `area` into `out` (width x height, depth 3). Fails when the area has no area or leaves
    // the picture.
    virtual bool ReadColour(const FillRect& area, ByteGrid& out) = 0;

    // Copies `pixels` (depth 3, the area's size) into `area` of the picture. Fails like ReadColour,
    // and a progress write-back may also be refused while the picture is in use.
    virtual bool WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) = 0;
};

// Copies `area` of a one-byte-per-pixel mask into `out`; fails when the area has no area or leaves
// the mask.
bool ReadMaskArea(const ByteGrid& mask, const FillRect& area, ByteGrid& out);

}  // namespace velmora
