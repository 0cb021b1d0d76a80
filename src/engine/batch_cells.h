#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "grid_point.h"

namespace velmora {

// The pixels of one batch of fill-order entries, filed by square cells of the work area, so that
// the entries near a pixel are found by looking at a few cells instead of the whole batch.
class BatchCells {
  public:
    // For a work area of this size; nothing is filed.
    BatchCells(std::int32_t width, std::int32_t height);

    // Files a new batch: entry e is at pixels[e]. The pixels must stay unchanged while the batch
    // is looked up.
    void File(std::span<const GridPoint> pixels);

    // Calls found(e) for every entry e < before whose pixel lies no farther from `centre` than
    // the square root of `reachSquare`, and returns true; returns false without calling it when
    // the distance covers so many cells that going through the batch is quicker.
    template <typename Found>
    bool FindNear(GridPoint centre, std::int64_t reachSquare, std::int32_t before,
                  Found&& found) const;

  private:
    static constexpr int kCellShift = 4;
    static constexpr std::int64_t kMostCells = 64;

    std::int32_t columns_;
    std::int32_t rows_;
    std::uint32_t batch_ = 0;
    std::span<const GridPoint> pixels_;
    std::vector<std::uint32_t> filedIn_;  // per cell: the batch its list belongs to
    std::vector<std::int32_t> latest_;    // per cell: its latest entry, -1 for none
    std::vector<std::int32_t> previous_;  // per entry: the entry before it in its cell, or -1
};

template <typename Found>
bool BatchCells::FindNear(GridPoint centre, std::int64_t reachSquare, std::int32_t before,
                          Found&& found) const {
    // A walk that went through every offset reaches everything.
    constexpr std::int64_t kFarthest = std::int64_t{1} << 60;
    if (reachSquare >= kFarthest) return false;
    // At least the reach (the cells only need to cover it).
    const auto radius = static_cast<std::int64_t>(std::sqrt(static_cast<double>(reachSquare))) + 1;
    const auto cell = [](std::int64_t v) { return v >> kCellShift; };
    const std::int64_t left = std::max<std::int64_t>(cell(centre.x - radius), 0);
    const std::int64_t right = std::min<std::int64_t>(cell(centre.x + radius), columns_ - 1);
    const std::int64_t top = std::max<std::int64_t>(cell(centre.y - radius), 0);
    const std::int64_t bottom = std::min<std::int64_t>(cell(centre.y + radius), rows_ - 1);
    if ((right - left + 1) * (bottom - top + 1) > kMostCells) return false;
    for (std::int64_t row = top; row <= bottom; ++row) {
        for (std::int64_t column = left; column <= right; ++column) {
            const auto at = static_cast<std::size_t>(row * columns_ + column);
            if (filedIn_[at] != batch_) continue;
            // Latest first: the entries at or after `before` come first.
            for (std::int32_t e = latest_[at]; e >= 0; e = previous_[static_cast<std::size_t>(e)]) {
                if (e >= before) continue;
                const GridPoint d = pixels_[static_cast<std::size_t>(e)] - centre;
                if (std::int64_t{d.x} * d.x + std::int64_t{d.y} * d.y <= reachSquare) found(e);
            }
        }
    }
    return true;
}

}  // namespace velmora
