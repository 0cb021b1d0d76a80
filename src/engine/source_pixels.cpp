#include "source_pixels.h"

#include <algorithm>
#include <limits>
#include <new>

namespace velmora {

void SourcePixels::Build(const ByteGrid& colour, const ByteGrid& usable,
                         std::span<const GridPoint> points) {
    Release();
    width_ = colour.width();
    height_ = colour.height();
    stride_ = width_ + 2 * kGuard;
    const auto words =
        static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_ + 2 * kGuard);
    // Positions are 32-bit indices; an area too large for them is treated like one too large for
    // memory (the job ends without writing).
    if (words > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        Release();
        throw std::bad_alloc();
    }
    pixels_ = MakeLargeBuffer<std::uint32_t>(words);
    std::fill_n(pixels_.get(), words, 0u);  // zero: the guard border is unusable
    for (std::int32_t y = 0; y < height_; ++y) {
        const std::uint8_t* from = colour.Row(y);
        const std::uint8_t* flags = usable.Row(y);
        std::uint32_t* to = pixels_.get() + Index({0, y});
        for (std::int32_t x = 0; x < width_; ++x, from += 3) {
            to[x] = from[0] | (std::uint32_t{from[1]} << 8) | (std::uint32_t{from[2]} << 16) |
                    (flags[x] != 0 ? kUsableWordBits : 0u);
        }
    }
    positionCount_ = static_cast<std::uint32_t>(points.size());
    positions_ = MakeLargeBuffer<std::int32_t>(points.size());
    std::transform(points.begin(), points.end(), positions_.get(),
                   [this](GridPoint p) { return Index(p); });
}

void SourcePixels::Release() {
    pixels_.reset();
    positions_.reset();
    positionCount_ = 0;
    width_ = height_ = stride_ = 0;
}

}  // namespace velmora
