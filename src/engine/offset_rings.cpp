#include "offset_rings.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {

namespace {

// Bands grow with their radius so that the number of sorts stays logarithmic in the reach.
constexpr std::int64_t kFirstBandSquare = 64;

// Offsets reserved at once: a huge page's worth, so that the list seldom moves while it grows
// and its pages are not faulted in one by one (walks across large selections reach some
// 150 000 offsets).
constexpr std::int64_t kReservedOffsets = kHugePageBytes / sizeof(GridPoint);

std::int64_t SquaredLength(GridPoint o) {
    return static_cast<std::int64_t>(o.x) * o.x + static_cast<std::int64_t>(o.y) * o.y;
}

// The largest v >= 0 with v * v <= n, for n >= 0.
std::int64_t FloorSqrt(std::int64_t n) {
    auto v = static_cast<std::int64_t>(std::sqrt(static_cast<double>(n)));
    while (v * v > n) --v;
    while ((v + 1) * (v + 1) <= n) ++v;
    return v;
}

}  // namespace

void OffsetRings::Reset(std::int32_t width, std::int32_t height) {
    width_ = width;
    height_ = height;
    reachedSquare_ = -1;
    offsets_.clear();
    offsets_.reserve(static_cast<std::size_t>(std::min(FullSize(), kReservedOffsets)));
}

void OffsetRings::Release() {
    reachedSquare_ = -1;
    offsets_ = {};
}

std::int64_t OffsetRings::FullSize() const {
    if (width_ < 1 || height_ < 1) return 0;
    return (2 * static_cast<std::int64_t>(width_) - 1) *
           (2 * static_cast<std::int64_t>(height_) - 1);
}

bool OffsetRings::Complete() const {
    const std::int64_t maxX = static_cast<std::int64_t>(width_) - 1;
    const std::int64_t maxY = static_cast<std::int64_t>(height_) - 1;
    return width_ < 1 || height_ < 1 || reachedSquare_ >= maxX * maxX + maxY * maxY;
}

bool OffsetRings::Extend() {
    if (Complete()) return false;
    const std::int64_t maxX = static_cast<std::int64_t>(width_) - 1;
    const std::int64_t maxY = static_cast<std::int64_t>(height_) - 1;
    const std::int64_t lastSquare = maxX * maxX + maxY * maxY;

    // The band holds every offset with low < dx² + dy² <= high; it adds a quarter to the area
    // reached, so that no more than that is generated beyond what a walk needs.
    const std::int64_t low = reachedSquare_;
    const std::int64_t high = std::min(lastSquare, low + std::max(kFirstBandSquare, low / 4));
    // Offsets are listed row by row, left to right, then spread stably by dx² + dy²: that is the
    // list's order (length, then dy, then dx), without a comparison sort.
    std::vector<GridPoint> band;
    const std::int64_t rowReach = std::min(maxY, FloorSqrt(high));
    for (std::int64_t dy = -rowReach; dy <= rowReach; ++dy) {
        const std::int64_t rest = high - dy * dy;
        const std::int64_t outer = std::min(maxX, FloorSqrt(rest));
        // |dx| must exceed the inner edge: dx² > low − dy².
        const std::int64_t innerRest = low - dy * dy;
        const std::int64_t inner = innerRest < 0 ? 0 : FloorSqrt(innerRest) + 1;
        const auto y = static_cast<std::int32_t>(dy);
        for (std::int64_t ax = outer; ax >= inner && ax > 0; --ax)
            band.push_back({static_cast<std::int32_t>(-ax), y});
        for (std::int64_t ax = inner; ax <= outer; ++ax)
            band.push_back({static_cast<std::int32_t>(ax), y});
    }
    // lengthStarts[s - low]: where the offsets of length s go in the band, counted first.
    std::vector<std::uint32_t> lengthStarts(static_cast<std::size_t>(high - low) + 1, 0);
    for (const GridPoint o : band) ++lengthStarts[static_cast<std::size_t>(SquaredLength(o) - low)];
    std::uint32_t position = 0;
    for (std::uint32_t& start : lengthStarts) position += std::exchange(start, position);
    const std::size_t bandStart = offsets_.size();
    offsets_.resize(bandStart + band.size());
    for (const GridPoint o : band)
        offsets_[bandStart + lengthStarts[static_cast<std::size_t>(SquaredLength(o) - low)]++] = o;
    reachedSquare_ = high;
    return true;
}

}  // namespace velmora
