#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // Whether any entry e < before lies within `radius` of `centre` in both directions: a test
    // over the batch in one vectorised pass that rules out most searches (few walks reach an
    // earlier entry of their batch) before the cells are looked at.
    [[nodiscard]] bool AnyInSquare(GridPoint centre, std::int32_t radius,
                                   std::int32_t before) const;

    static constexpr int kCellShift = 4;
    // Radii up to this keep the square's arithmetic within 32 bits.
    static constexpr std::int64_t kLargestSquareRadius = std::int64_t{1} << 24;
    static constexpr std::int64_t kMostCells = 64;

    std::int32_t columns_;
    std::int32_t rows_;
    std::uint32_t batch_ = 0;
    std::span<const GridPoint> pixels_;
    std::vector<std::uint32_t> filedIn_;  // per cell: the batch its list belongs to
    std::vector<std::int32_t> latest_;    // per cell: its latest entry, -1 for none
    std::vector<std::int32_t> previous_;  // per entry: the entry before it in its cell, or -1
    std::vector<std::int32_t> columnOf_;  // per entry: its pixel's column
    std::vector<std::int32_t> rowOf_;     // and row
};

inline bool BatchCells::AnyInSquare(GridPoint centre, std::int32_t radius,
                                    std::int32_t before) const {
    // Unsigned differences: one comparison tests both sides.
    const auto side = static_cast<std::uint32_t>(2 * radius);
    const auto left = static_cast<std::uint32_t>(centre.x - radius);
    const auto top = static_cast<std::uint32_t>(centre.y - radius);
    std::int32_t e = 0;
#if defined(__SSE2__)
    // Four entries a step (the build's baseline has SSE2 and no unsigned comparison: both sides
    // are flipped by the sign bit and compared signed).
    const __m128i sign = _mm_set1_epi32(std::numeric_limits<std::int32_t>::min());
    const __m128i sideFlipped =
        _mm_xor_si128(_mm_set1_epi32(static_cast<std::int32_t>(side)), sign);
    const __m128i leftEdge = _mm_set1_epi32(static_cast<std::int32_t>(left));
    const __m128i topEdge = _mm_set1_epi32(static_cast<std::int32_t>(top));
    __m128i outside = _mm_set1_epi32(-1);
    for (; e + 4 <= before; e += 4) {
        const auto at = static_cast<std::size_t>(e);
        const __m128i dx = _mm_sub_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(columnOf_.data() + at)), leftEdge);
        const __m128i dy = _mm_sub_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowOf_.data() + at)), topEdge);
        outside = _mm_and_si128(
            outside, _mm_or_si128(_mm_cmpgt_epi32(_mm_xor_si128(dx, sign), sideFlipped),
                                  _mm_cmpgt_epi32(_mm_xor_si128(dy, sign), sideFlipped)));
    }
    if (_mm_movemask_epi8(outside) != 0xFFFF) return true;
#endif
    for (; e < before; ++e) {
        const auto at = static_cast<std::size_t>(e);
        if (static_cast<std::uint32_t>(columnOf_[at]) - left <= side &&
            static_cast<std::uint32_t>(rowOf_[at]) - top <= side)
            return true;
    }
    return false;
}

template <typename Found>
bool BatchCells::FindNear(GridPoint centre, std::int64_t reachSquare, std::int32_t before,
                          Found&& found) const {
    // A walk that went through every offset reaches everything.
    constexpr std::int64_t kFarthest = std::int64_t{1} << 60;
    if (reachSquare >= kFarthest) return false;
    // At least the reach (the cells only need to cover it).
    const auto radius = static_cast<std::int64_t>(std::sqrt(static_cast<double>(reachSquare))) + 1;
    if (radius <= kLargestSquareRadius &&
        !AnyInSquare(centre, static_cast<std::int32_t>(radius), before))
        return true;
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
