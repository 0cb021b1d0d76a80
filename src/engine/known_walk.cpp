#include "known_walk.h"

#if defined(__x86_64__) || defined(__i386__)
#include "vector_intrinsics.h"
#define VELMORA_HAS_AVX512_WALK 1
#endif

namespace velmora {

namespace {

// 1 when `p` lies in the area and is known, else 0, without a branch: in the first pass whether a
// pixel is known is a coin toss.
std::int32_t KnownAt(const KnownFlags& known, GridPoint p) {
    const bool inside = static_cast<std::uint32_t>(p.x) < static_cast<std::uint32_t>(known.width) &&
                        static_cast<std::uint32_t>(p.y) < static_cast<std::uint32_t>(known.height);
    const std::size_t at =
        inside ? static_cast<std::size_t>(p.y) * static_cast<std::size_t>(known.width) +
                     static_cast<std::size_t>(p.x)
               : 0;
    return static_cast<std::int32_t>(known.flags[at] != 0) & static_cast<std::int32_t>(inside);
}

std::size_t WalkKnownScalar(const KnownFlags& known, GridPoint target,
                            std::span<const GridPoint> offsets, std::size_t i, GridPoint* found,
                            std::int32_t& count, std::int32_t want) {
    for (; i < offsets.size(); ++i) {
        found[count] = offsets[i];
        count += KnownAt(known, target + offsets[i]);
        if (count == want) return i;
    }
    return offsets.size();
}

#ifdef VELMORA_HAS_AVX512_WALK

constexpr std::size_t kLanes = 16;

#define VELMORA_AVX512F __attribute__((target("avx512f")))

// The known flags of sixteen offsets at once, as a bit per offset. A flag is read as the aligned
// 32-bit word holding it, so that no read leaves the flags; the few words that would reach past
// their end are read one byte at a time.
class KnownLanes {
  public:
    VELMORA_AVX512F KnownLanes(const KnownFlags& known, GridPoint target, std::int64_t size)
        : known_(known),
          target_(target),
          targetX_(_mm512_set1_epi32(target.x)),
          targetY_(_mm512_set1_epi32(target.y)),
          width_(_mm512_set1_epi32(known.width)),
          height_(_mm512_set1_epi32(known.height)),
          wholeWords_(_mm512_set1_epi32(static_cast<std::int32_t>(size & ~3))) {}

    VELMORA_AVX512F std::uint32_t operator()(std::span<const GridPoint> offsets,
                                             std::size_t at) const {
        const auto* pairs = reinterpret_cast<const std::int32_t*>(offsets.data() + at);
        const __m512i low = _mm512_loadu_si512(pairs);
        const __m512i high = _mm512_loadu_si512(pairs + kLanes);
        const __m512i xs =
            _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
        const __m512i ys =
            _mm512_set_epi32(31, 29, 27, 25, 23, 21, 19, 17, 15, 13, 11, 9, 7, 5, 3, 1);
        const __m512i x = _mm512_add_epi32(targetX_, _mm512_permutex2var_epi32(low, xs, high));
        const __m512i y = _mm512_add_epi32(targetY_, _mm512_permutex2var_epi32(low, ys, high));
        const __mmask16 inside =
            _mm512_cmplt_epu32_mask(x, width_) & _mm512_cmplt_epu32_mask(y, height_);
        const __m512i index = _mm512_add_epi32(_mm512_mullo_epi32(y, width_), x);
        const __mmask16 whole = _mm512_mask_cmplt_epi32_mask(inside, index, wholeWords_);
        const __m512i words = _mm512_mask_i32gather_epi32(
            _mm512_setzero_si512(), whole, _mm512_andnot_si512(_mm512_set1_epi32(3), index),
            known_.flags, 1);
        const __m512i flags = _mm512_and_si512(
            _mm512_srlv_epi32(words,
                              _mm512_slli_epi32(_mm512_and_si512(index, _mm512_set1_epi32(3)), 3)),
            _mm512_set1_epi32(0xFF));
        auto lanes = static_cast<std::uint32_t>(_mm512_test_epi32_mask(flags, flags));
        for (unsigned rest = inside & ~whole; rest != 0; rest &= rest - 1) {
            const unsigned lane = static_cast<unsigned>(__builtin_ctz(rest));
            if (KnownAt(known_, target_ + offsets[at + lane])) lanes |= 1u << lane;
        }
        return lanes;
    }

  private:
    const KnownFlags& known_;
    GridPoint target_;
    __m512i targetX_;
    __m512i targetY_;
    __m512i width_;
    __m512i height_;
    __m512i wholeWords_;
};

// Most walks in a large hole go through hundreds of offsets before they find their neighbours;
// their flags are looked up sixteen at a time.
VELMORA_AVX512F std::size_t WalkKnownAvx512(const KnownFlags& known, GridPoint target,
                                            std::span<const GridPoint> offsets, std::size_t i,
                                            GridPoint* found, std::int32_t& count,
                                            std::int32_t want) {
    const std::int64_t size = std::int64_t{known.width} * known.height;
    if (size > (std::int64_t{1} << 31) - 4)  // the vector indices are 32-bit
        return WalkKnownScalar(known, target, offsets, i, found, count, want);
    const KnownLanes lanesOf(known, target, size);
    // Two vectors a turn, so that the second's reads are under way while the first's arrive.
    for (; i + 2 * kLanes <= offsets.size(); i += 2 * kLanes) {
        std::uint32_t lanes = lanesOf(offsets, i) | (lanesOf(offsets, i + kLanes) << kLanes);
        if (lanes == 0) continue;
        if (count + __builtin_popcount(lanes) < want) {
            for (; lanes != 0; lanes &= lanes - 1)
                found[count++] = offsets[i + static_cast<unsigned>(__builtin_ctz(lanes))];
            continue;
        }
        for (;; lanes &= lanes - 1) {
            const std::size_t at = i + static_cast<unsigned>(__builtin_ctz(lanes));
            found[count++] = offsets[at];
            if (count == want) return at;
        }
    }
    return WalkKnownScalar(known, target, offsets, i, found, count, want);
}

#endif

}  // namespace

std::size_t WalkKnown(const KnownFlags& known, GridPoint target, std::span<const GridPoint> offsets,
                      std::size_t from, GridPoint* found, std::int32_t& count, std::int32_t want,
                      bool vector) {
    if (known.flags == nullptr || known.width <= 0 || known.height <= 0) return offsets.size();
#ifdef VELMORA_HAS_AVX512_WALK
    if (vector) return WalkKnownAvx512(known, target, offsets, from, found, count, want);
#else
    (void)vector;
#endif
    return WalkKnownScalar(known, target, offsets, from, found, count, want);
}

}  // namespace velmora
