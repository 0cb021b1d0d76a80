#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "grid_point.h"
#include "large_buffer.h"
#include "pixel_grid.h"
#include "random_search.h"

namespace velmora {

// The source area as the search reads it. Each pixel is packed with its usability into one 32-bit
// word (blue, green, red, then 0xFF when usable, 0 when not) so that one load answers both
// questions, and the area sits inside a guard border of unusable pixels so that a neighbour up to
// kGuard pixels outside it needs no bounds test. Positions are linear indices into the words.
class SourcePixels {
  public:
    static constexpr std::int32_t kGuard = 48;

    // Packs `colour` (depth 3) and `usable` (depth 1, non-zero = usable), and lists the position
    // of every point of `points`, in order.
    void Build(const ByteGrid& colour, const ByteGrid& usable, std::span<const GridPoint> points);
    void Release();

    [[nodiscard]] bool empty() const { return pixels_ == nullptr; }
    [[nodiscard]] std::int32_t width() const { return width_; }
    [[nodiscard]] std::int32_t height() const { return height_; }
    [[nodiscard]] std::int32_t stride() const { return stride_; }

    [[nodiscard]] std::int32_t Index(GridPoint p) const {
        return (p.y + kGuard) * stride_ + p.x + kGuard;
    }
    [[nodiscard]] bool Contains(GridPoint p) const {
        return p.x >= 0 && p.y >= 0 && p.x < width_ && p.y < height_;
    }
    // The packed word at a position inside the grid or its guard border.
    [[nodiscard]] std::uint32_t At(std::int32_t index) const {
        return pixels_[static_cast<std::size_t>(index)];
    }
    [[nodiscard]] const std::uint32_t* pixels() const { return pixels_.get(); }
    [[nodiscard]] const std::int32_t* positions() const { return positions_.get(); }
    [[nodiscard]] std::uint32_t positionCount() const { return positionCount_; }
    // The memory the packed words and positions take.
    [[nodiscard]] std::size_t Bytes() const {
        return (static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_ + 2 * kGuard) +
                positionCount_) *
               4;
    }

  private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t stride_ = 0;
    LargeBuffer<std::uint32_t> pixels_;
    LargeBuffer<std::int32_t> positions_;
    std::uint32_t positionCount_ = 0;
};

}  // namespace velmora
