#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "grid_point.h"
#include "large_buffer.h"

namespace velmora {

// The neighbourhood offsets of a fill job, in the order of the full offset list (dx² + dy², then
// dy, then dx, over |dx| < width and |dy| < height), produced lazily, ring by ring, only as far as
// a walk asks. The full list has (2W − 1)(2H − 1) entries; a job usually needs a few hundred.
class OffsetRings {
  public:
    // Starts over for a new reach; nothing is generated yet.
    void Reset(std::int32_t width, std::int32_t height);

    // The offsets generated so far: a prefix of the full list.
    [[nodiscard]] std::span<const GridPoint> Generated() const { return offsets_; }

    // Appends the next band of rings. False when the whole list has been generated already.
    bool Extend();

    [[nodiscard]] std::int32_t width() const { return width_; }
    [[nodiscard]] std::int32_t height() const { return height_; }
    // True when the whole list has been generated.
    [[nodiscard]] bool Complete() const;
    // The length of the full list.
    [[nodiscard]] std::int64_t FullSize() const;

    // Releases the generated offsets.
    void Release();

  private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int64_t reachedSquare_ = -1;  // every offset with dx² + dy² up to this is generated
    std::vector<GridPoint, LargeBufferAllocator<GridPoint>> offsets_;
};

// Sets the reach of the lazy offsets: the same list BuildOffsetList makes, generated on demand.
inline void BuildOffsetList(OffsetRings& offsets, std::int32_t width, std::int32_t height) {
    offsets.Reset(width, height);
}

}  // namespace velmora
