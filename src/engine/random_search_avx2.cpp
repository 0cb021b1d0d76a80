// The random phase on AVX2, for processors without the AVX-512 byte permutes.
//
// The plan of the AVX-512 kernel with eight lanes: candidates drawn sixteen at a time from the
// generator's jump-ahead form, neighbours compared in steps of two (horizontally adjacent ones
// read by one 8-byte load), the first step on every candidate and the survivors waiting in one
// first-in-first-out queue per further step. The queues keep the drawing order, so a candidate
// that completes was drawn after every one that completed before it.
//
// AVX2 has no 256-entry byte permute, and a table load per lane is slow; so the steps add lower
// bounds of the costs, read from two 16-entry tables by byte shuffles. Ruling a candidate out
// when a bound of its partial sum reaches the best is as exact as ruling it out on the sum, and
// whether it replaces the best depends only on its whole sum: that is looked up, one cost at a
// time, for the few candidates that pass every step. Without the byte tables (a table that is
// not symmetric or exceeds 16 bits) every step looks its costs up instead.

#include "random_search_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <array>

#define VELMORA_AVX2 __attribute__((target("avx2,fma,bmi,bmi2")))

namespace velmora::kernels {

namespace {

constexpr int kLanes = 8;
// Candidates drawn at once: two vectors, so that prefetched lines have time to arrive.
constexpr int kChunkLanes = 2 * kLanes;
static_assert(kChunkLanes <= kChunk);
constexpr int kMaxSteps = ProbeSet::kCapacity;
// Records waiting for one step: fewer than kLanes after each flush, then up to two batches
// added before the next flush, and one more vector that a compressed store writes past the end.
constexpr int kQueueRoom = 5 * kLanes;

alignas(32) constexpr auto kLaneJumps = LaneJumps<kLanes>();

// For every 8-bit lane mask, the lane numbers of its set bits in order, one per byte: the
// permutation that packs the surviving lanes to the front.
alignas(32) constexpr auto kCompress = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint64_t lanes = 0;
        int out = 0;
        for (unsigned k = 0; k < 8; ++k)
            if ((mask >> k) & 1u) lanes |= std::uint64_t{k} << (8 * out++);
        table[mask] = lanes;
    }
    return table;
}();

struct Queue {
    alignas(32) std::int32_t position[kQueueRoom];
    alignas(32) std::int32_t packed[kQueueRoom];  // partial sum << kOrderBits | number
    int size;
};

// A colour's three channels as pointers into the cost table, so that a channel's cost is one
// load at minus the source byte.
struct ColourCosts {
    const std::int32_t* blue;
    const std::int32_t* green;
    const std::int32_t* red;
};

inline ColourCosts ColourCostsOf(const std::int32_t* costs, std::uint32_t colour) {
    return {costs + (colour & 0xFF), costs + ((colour >> 8) & 0xFF),
            costs + ((colour >> 16) & 0xFF)};
}

inline std::int32_t WordCost(const ColourCosts& c, std::uint32_t word, std::int32_t uncomparable) {
    const std::int32_t sum = c.blue[-static_cast<std::int32_t>(word & 0xFF)] +
                             c.green[-static_cast<std::int32_t>((word >> 8) & 0xFF)] +
                             c.red[-static_cast<std::int32_t>((word >> 16) & 0xFF)];
    return (word & kUsableWordBits) != 0 ? sum : uncomparable;
}

// Lower bounds of the costs by magnitude, in two 16-entry tables that a byte shuffle reads: the
// least cost of each pair of magnitudes below 32, and of each sixteen from 32 on. Both halves of
// every register hold the same table, as the shuffle reads within 128-bit halves.
struct CostFloors {
    __m256i smallLow;
    __m256i smallHigh;
    __m256i largeLow;
    __m256i largeHigh;
};

// Sixteen 16-bit values as a table of their low bytes and one of their high bytes, each in both
// 128-bit halves.
VELMORA_AVX2 inline void SplitBytes(__m256i values, __m256i& low, __m256i& high) {
    // Per half: the low bytes of its eight values, then their high bytes.
    const __m256i packed = _mm256_packus_epi16(_mm256_and_si256(values, _mm256_set1_epi16(0xFF)),
                                               _mm256_srli_epi16(values, 8));
    low = _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(2, 0, 2, 0));
    high = _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 3, 1));
}

VELMORA_AVX2 inline CostFloors BuildCostFloors(const std::uint8_t* lowBytes,
                                               const std::uint8_t* highBytes) {
    CostFloors floors;
    // Magnitudes 0 to 31: each 16-bit lane of the byte tables holds an even and an odd one.
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lowBytes));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(highBytes));
    const __m256i byte = _mm256_set1_epi16(0xFF);
    const __m256i even = _mm256_or_si256(_mm256_and_si256(low, byte), _mm256_slli_epi16(high, 8));
    const __m256i odd = _mm256_or_si256(_mm256_srli_epi16(low, 8), _mm256_andnot_si256(byte, high));
    SplitBytes(_mm256_min_epu16(even, odd), floors.smallLow, floors.smallHigh);
    // From 32 on, sixteen magnitudes per 128-bit half of the byte tables.
    alignas(32) std::uint16_t large[16] = {};  // below 32 the small table answers
    for (int m = 32; m < 256; m += 32) {
        const __m256i lows = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lowBytes + m));
        const __m256i highs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(highBytes + m));
        __m256i least =
            _mm256_min_epu16(_mm256_unpacklo_epi8(lows, highs), _mm256_unpackhi_epi8(lows, highs));
        least = _mm256_min_epu16(least, _mm256_shuffle_epi32(least, _MM_SHUFFLE(1, 0, 3, 2)));
        least = _mm256_min_epu16(least, _mm256_shuffle_epi32(least, _MM_SHUFFLE(2, 3, 0, 1)));
        least = _mm256_min_epu16(least, _mm256_srli_epi32(least, 16));
        large[m / 16] = static_cast<std::uint16_t>(_mm256_extract_epi16(least, 0));
        large[m / 16 + 1] = static_cast<std::uint16_t>(_mm256_extract_epi16(least, 8));
    }
    SplitBytes(_mm256_load_si256(reinterpret_cast<const __m256i*>(large)), floors.largeLow,
               floors.largeHigh);
    return floors;
}

// Per lane (one packed source word each): a lower bound of the cost of comparing with `colour`,
// exact for an unusable pixel.
VELMORA_AVX2 inline __m256i PixelCostFloors(const CostFloors& floors, __m256i words, __m256i colour,
                                            __m256i uncomparable) {
    const __m256i magnitude =
        _mm256_sub_epi8(_mm256_max_epu8(words, colour), _mm256_min_epu8(words, colour));
    // Bit 7 set makes the shuffle give 0: the small index has it from 32 on.
    const __m256i smallIndex =
        _mm256_adds_epu8(_mm256_and_si256(_mm256_srli_epi16(magnitude, 1), _mm256_set1_epi8(0x7F)),
                         _mm256_set1_epi8(0x70));
    const __m256i largeIndex =
        _mm256_and_si256(_mm256_srli_epi16(magnitude, 4), _mm256_set1_epi8(0x0F));
    const __m256i low = _mm256_or_si256(_mm256_shuffle_epi8(floors.smallLow, smallIndex),
                                        _mm256_shuffle_epi8(floors.largeLow, largeIndex));
    const __m256i high = _mm256_or_si256(_mm256_shuffle_epi8(floors.smallHigh, smallIndex),
                                         _mm256_shuffle_epi8(floors.largeHigh, largeIndex));
    // The three channel bytes of each word summed (the usability byte weighs 0).
    const __m256i channels = _mm256_set1_epi32(0x00010101);
    const __m256i sum = _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_maddubs_epi16(low, channels), _mm256_set1_epi16(1)),
        _mm256_madd_epi16(_mm256_maddubs_epi16(high, channels), _mm256_set1_epi16(256)));
    const __m256i unusable = _mm256_cmpeq_epi32(
        _mm256_and_si256(words, _mm256_set1_epi32(static_cast<int>(kUsableWordBits))),
        _mm256_setzero_si256());
    return _mm256_blendv_epi8(sum, uncomparable, unusable);
}

class Avx2Search {
  public:
    VELMORA_AVX2 Avx2Search(const RandomSearchInput& in, const RandomSearchState& state)
        : in_(in), best_(state.score), startState_(state.randomState) {
        uncomparable_ = _mm256_set1_epi32(in.uncomparable);
        bounded_ = in.costLowBytes != nullptr && in.costHighBytes != nullptr;
        if (bounded_) floors_ = BuildCostFloors(in.costLowBytes, in.costHighBytes);
        PlanSteps(*in.probes);
    }

    VELMORA_AVX2 void Run(RandomSearchState& state) {
        // Candidates are drawn two chunks ahead and their positions read one chunk ahead, so that
        // on a large source area the prefetched lines have arrived when a chunk is compared.
        std::uint32_t chunkState = startState_;
        alignas(32) std::int32_t index[kChunkLanes];
        alignas(32) std::int32_t positions[2][kChunkLanes];
        const RandomJump chunk = kChunkJumps[2 * kChunkLanes];
        const RandomJump twoChunks = chunk.Then(chunk);
        DrawIndices(chunkState, index);
        ReadPositions(index, positions[0]);
        DrawIndices(chunk.Apply(chunkState), index);
        PrefetchPositions(index);
        for (int drawn = 0, c = 0; drawn < in_.draws && !ended_; drawn += kChunkLanes, ++c) {
            const int lanes = in_.draws - drawn < kChunkLanes ? in_.draws - drawn : kChunkLanes;
            if (drawn + kChunkLanes < in_.draws) {
                ReadPositions(index, positions[(c + 1) & 1]);
                DrawIndices(twoChunks.Apply(chunkState), index);
                PrefetchPositions(index);
            }
            CompareFirst(positions[c & 1], drawn, lanes < kLanes ? lanes : kLanes);
            if (lanes > kLanes)
                CompareFirst(positions[c & 1] + kLanes, drawn + kLanes, lanes - kLanes);
            chunkState = lanes == kChunkLanes ? chunk.Apply(chunkState)
                                              : kChunkJumps[2 * lanes].Apply(chunkState);
            CompareFullBatches(1);
        }
        // The last records, shallowest queue first; deeper queues are kept below two batches.
        for (int s = 1; s < stepCount_ && !ended_; ++s) {
            while (queues_[s].size > 0 && !ended_) {
                CompareNext(s, queues_[s].size < kLanes ? queues_[s].size : kLanes);
                CompareFullBatches(s + 1);
            }
        }
        FinishSearch(in_, startState_, best_, chosenOrder_, ended_, chunkState, state);
    }

  private:
    void PlanSteps(const ProbeSet& probes) {
        stepCount_ = PlanSearchSteps(probes, steps_);
        for (int s = 0; s < stepCount_; ++s) queues_[s].size = 0;
    }

    VELMORA_AVX2 void CompareFullBatches(int first) {
        for (int s = first; s < stepCount_ && !ended_; ++s) {
            // Only a queue that was flushed fed the next one; the deeper ones are as they were.
            if (queues_[s].size < kLanes) return;
            while (queues_[s].size >= kLanes && !ended_) CompareNext(s, kLanes);
        }
    }

    // value % count for 8 values below 2^30, through double precision and one correction.
    VELMORA_AVX2 __m256i Remainders(__m256i values) const {
        const __m256d inverse = _mm256_set1_pd(1.0 / static_cast<double>(in_.positionCount));
        const __m256i count = _mm256_set1_epi32(static_cast<int>(in_.positionCount));
        // Below 2^30 the values and quotients fit the signed conversions.
        const __m128i lowQuotient = _mm256_cvttpd_epi32(
            _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(values)), inverse));
        const __m128i highQuotient = _mm256_cvttpd_epi32(
            _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(values, 1)), inverse));
        const __m256i quotient =
            _mm256_inserti128_si256(_mm256_castsi128_si256(lowQuotient), highQuotient, 1);
        __m256i rest = _mm256_sub_epi32(values, _mm256_mullo_epi32(quotient, count));
        rest = _mm256_add_epi32(
            rest, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), rest), count));
        const __m256i tooLarge = _mm256_cmpeq_epi32(_mm256_max_epu32(rest, count), rest);
        return _mm256_sub_epi32(rest, _mm256_and_si256(tooLarge, count));
    }

    // The indices into the positions of the eight candidates drawn from `chunkState` on.
    VELMORA_AVX2 __m256i EightIndices(std::uint32_t chunkState) const {
        const __m256i state = _mm256_set1_epi32(static_cast<int>(chunkState));
        const __m256i fifteenBits = _mm256_set1_epi32(0x7FFF);
        __m256i jumps[4];
        for (int row = 0; row < 4; ++row)
            jumps[row] =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(kLaneJumps[row].data()));
        const __m256i high = _mm256_and_si256(
            _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(state, jumps[0]), jumps[1]), 16),
            fifteenBits);
        const __m256i low = _mm256_and_si256(
            _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(state, jumps[2]), jumps[3]), 16),
            fifteenBits);
        return Remainders(_mm256_or_si256(_mm256_slli_epi32(high, 15), low));
    }

    // The indices of a chunk's candidates, drawn from `chunkState` on.
    VELMORA_AVX2 void DrawIndices(std::uint32_t chunkState, std::int32_t* index) const {
        _mm256_store_si256(reinterpret_cast<__m256i*>(index), EightIndices(chunkState));
        _mm256_store_si256(reinterpret_cast<__m256i*>(index + kLanes),
                           EightIndices(kChunkJumps[2 * kLanes].Apply(chunkState)));
    }

    // `packed` with one step's sums added for eight candidate positions: with the byte tables,
    // lower bounds of the costs (candidates that reach the best on them would on the costs too;
    // the whole sum is looked up when a candidate completes), else the costs of the lanes in
    // `inUse`, looked up one by one.
    VELMORA_AVX2 __attribute__((always_inline)) __m256i StepSums(const SearchStep& step,
                                                                 const std::int32_t* position,
                                                                 __m256i packed,
                                                                 unsigned inUse) const {
        __m256i first;
        __m256i second = _mm256_setzero_si256();
        if (step.adjacent) {
            WordPairs(position, step.delta, first, second);
        } else {
            first = Words(position, step.delta);
            if (step.paired) second = Words(position, step.secondDelta);
        }
        if (bounded_) {
            __m256i floors = PixelCostFloors(
                floors_, first, _mm256_set1_epi32(static_cast<int>(step.colour)), uncomparable_);
            if (step.paired)
                floors = _mm256_add_epi32(
                    floors, PixelCostFloors(floors_, second,
                                            _mm256_set1_epi32(static_cast<int>(step.secondColour)),
                                            uncomparable_));
            return _mm256_add_epi32(packed, _mm256_slli_epi32(floors, kOrderBits));
        }
        alignas(32) std::uint32_t words[2][kLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words[0]), first);
        _mm256_store_si256(reinterpret_cast<__m256i*>(words[1]), second);
        const ColourCosts firstCosts = ColourCostsOf(in_.costs, step.colour);
        const ColourCosts secondCosts = ColourCostsOf(in_.costs, step.secondColour);
        const std::int32_t uncomparable = in_.uncomparable;
        std::int32_t costs[kLanes] = {};
        for (unsigned bits = inUse; bits != 0; bits &= bits - 1) {
            const int k = __builtin_ctz(bits);
            costs[k] = WordCost(firstCosts, words[0][k], uncomparable) +
                       (step.paired ? WordCost(secondCosts, words[1][k], uncomparable) : 0);
        }
        // Built from registers: a load right after scalar stores to the same place would stall.
        const __m256i sums = _mm256_setr_epi32(costs[0], costs[1], costs[2], costs[3], costs[4],
                                               costs[5], costs[6], costs[7]);
        return _mm256_add_epi32(packed, _mm256_slli_epi32(sums, kOrderBits));
    }

    // The whole sum of the candidate at `position`, or any value at or above the best once it
    // reaches it.
    std::int32_t FullSum(std::int32_t position) const {
        const ProbeSet& probes = *in_.probes;
        std::int32_t sum = 0;
        for (int j = 0; j < probes.count && sum < best_; ++j) {
            const auto entry = static_cast<std::size_t>(j);
            sum += WordCost(ColourCostsOf(in_.costs, probes.colour[entry]),
                            in_.pixels[position + probes.delta[entry]], in_.uncomparable);
        }
        return sum;
    }

    // The best so far, shifted like the packed records.
    VELMORA_AVX2 __m256i BestBound() const {
        return _mm256_set1_epi32((best_ < kSumLimit ? best_ : kSumLimit) << kOrderBits);
    }

    // The words at `delta` from eight positions.
    VELMORA_AVX2 __m256i Words(const std::int32_t* position, std::int32_t delta) const {
        const auto word = [this, position, delta](int k) {
            return static_cast<int>(in_.pixels[position[k] + delta]);
        };
        return _mm256_setr_epi32(word(0), word(1), word(2), word(3), word(4), word(5), word(6),
                                 word(7));
    }

    // The words at `delta` and `delta + 1` from eight positions, by one 8-byte load each.
    VELMORA_AVX2 void WordPairs(const std::int32_t* position, std::int32_t delta, __m256i& first,
                                __m256i& second) const {
        long long pairs[kLanes];
        for (int k = 0; k < kLanes; ++k)
            __builtin_memcpy(&pairs[k], in_.pixels + (position[k] + delta), 8);
        const __m256 a =
            _mm256_castsi256_ps(_mm256_setr_epi64x(pairs[0], pairs[1], pairs[2], pairs[3]));
        const __m256 b =
            _mm256_castsi256_ps(_mm256_setr_epi64x(pairs[4], pairs[5], pairs[6], pairs[7]));
        // Even and odd words, in 128-bit halves; the 64-bit permute puts them in lane order.
        first = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
            _MM_SHUFFLE(3, 1, 2, 0));
        second = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))),
            _MM_SHUFFLE(3, 1, 2, 0));
    }

    void ReadPositions(const std::int32_t* index, std::int32_t* position) const {
        for (int k = 0; k < kChunkLanes; ++k) position[k] = in_.positions[index[k]];
        if (!in_.prefetch) return;
        for (int k = 0; k < kChunkLanes; ++k)
            __builtin_prefetch(in_.pixels + position[k] + steps_[0].delta);
    }

    void PrefetchPositions(const std::int32_t* index) const {
        if (!in_.prefetch) return;
        for (int k = 0; k < kChunkLanes; ++k) __builtin_prefetch(in_.positions + index[k]);
    }

    VELMORA_AVX2 static __m256i InUse(int lanes) {
        return _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes),
                                  _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    }

    // The first step for candidates `drawn` to `drawn + lanes - 1`.
    VELMORA_AVX2 void CompareFirst(const std::int32_t* position, int drawn, int lanes) {
        const __m256i order =
            _mm256_add_epi32(_mm256_set1_epi32(drawn), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const unsigned inUse = (1u << lanes) - 1u;
        Pass(1, _mm256_load_si256(reinterpret_cast<const __m256i*>(position)),
             StepSums(steps_[0], position, order, inUse), inUse);
    }

    // The next step (number `s`) for the first `lanes` records waiting for it.
    VELMORA_AVX2 void CompareNext(int s, int lanes) {
        Queue& queue = queues_[s];
        __m256i position = _mm256_load_si256(reinterpret_cast<const __m256i*>(queue.position));
        const std::int32_t* positions = queue.position;
        alignas(32) std::int32_t filled[kLanes];
        if (lanes < kLanes) {  // the lanes beyond the queue's end repeat its first position
            position =
                _mm256_blendv_epi8(_mm256_set1_epi32(queue.position[0]), position, InUse(lanes));
            _mm256_store_si256(reinterpret_cast<__m256i*>(filled), position);
            positions = filled;
        }
        const unsigned inUse = (1u << lanes) - 1u;
        const __m256i packed =
            StepSums(steps_[s], positions,
                     _mm256_load_si256(reinterpret_cast<const __m256i*>(queue.packed)), inUse);
        // Move the rest of the queue to its front before the pass may append to the next queue.
        const int rest = queue.size - lanes;
        for (int r = 0; r < rest; r += kLanes) {
            _mm256_store_si256(
                reinterpret_cast<__m256i*>(queue.position + r),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(queue.position + lanes + r)));
            _mm256_store_si256(
                reinterpret_cast<__m256i*>(queue.packed + r),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(queue.packed + lanes + r)));
        }
        queue.size = rest;
        Pass(s + 1, position, packed, inUse);
    }

    // Rules out the records (of the lanes in `inUse`) whose sum has reached the best; the others
    // wait for step `next`, or complete when there is none.
    VELMORA_AVX2 void Pass(int next, __m256i position, __m256i packed, unsigned inUse) {
        const unsigned alive = inUse & static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(
                                           _mm256_cmpgt_epi32(BestBound(), packed))));
        if (next < stepCount_) {  // no test for an empty pass: it would be mispredicted often
            Queue& queue = queues_[next];
            const __m256i pack = _mm256_cvtepu8_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kCompress[alive])));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(queue.position + queue.size),
                                _mm256_permutevar8x32_epi32(position, pack));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(queue.packed + queue.size),
                                _mm256_permutevar8x32_epi32(packed, pack));
            const int added = __builtin_popcount(alive);
            if (in_.prefetch) {
                for (int k = queue.size; k < queue.size + added; ++k)
                    __builtin_prefetch(in_.pixels + queue.position[k] + steps_[next].delta);
            }
            queue.size += added;
            return;
        }
        if (alive == 0) return;
        alignas(32) std::int32_t completed[kLanes];
        alignas(32) std::int32_t positions[kLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(completed), packed);
        _mm256_store_si256(reinterpret_cast<__m256i*>(positions), position);
        for (unsigned bits = alive; bits != 0; bits &= bits - 1) {
            const int k = __builtin_ctz(bits);
            const std::int32_t record = completed[k];
            const std::int32_t sum = bounded_ ? FullSum(positions[k]) : record >> kOrderBits;
            if (sum >= best_) continue;
            best_ = sum;
            chosenOrder_ = record & ((1 << kOrderBits) - 1);
            if (best_ == 0) {
                ended_ = true;
                return;
            }
        }
    }

    const RandomSearchInput& in_;
    std::int32_t best_;
    const std::uint32_t startState_;
    std::int32_t chosenOrder_ = -1;
    bool ended_ = false;
    __m256i uncomparable_;
    bool bounded_ = false;
    CostFloors floors_;
    std::array<SearchStep, kMaxSteps> steps_;
    int stepCount_ = 0;
    Queue queues_[kMaxSteps];
};

}  // namespace

VELMORA_AVX2 void FullSumsAvx2(const RandomSearchInput& in, const std::int32_t* positions,
                               int count, std::int32_t* sums) {
    // One candidate at a time, its neighbours in two vectors; the costs are gathered from the
    // table by signed difference. Lanes beyond the neighbours read the candidate's own word and
    // add nothing.
    const ProbeSet& probes = *in.probes;
    alignas(32) std::int32_t delta[2 * kLanes] = {};
    alignas(32) std::int32_t colour[2 * kLanes] = {};
    for (int j = 0; j < probes.count; ++j) {
        delta[j] = probes.delta[static_cast<std::size_t>(j)];
        colour[j] = static_cast<std::int32_t>(probes.colour[static_cast<std::size_t>(j)]);
    }
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i usableBits = _mm256_set1_epi32(static_cast<int>(kUsableWordBits));
    const __m256i uncomparable = _mm256_set1_epi32(in.uncomparable);
    __m256i channel[2][3];
    __m256i inUse[2];
    for (int v = 0; v < 2; ++v) {
        const __m256i packed = _mm256_load_si256(reinterpret_cast<const __m256i*>(colour + 8 * v));
        for (int c = 0; c < 3; ++c)
            channel[v][c] = _mm256_and_si256(_mm256_srli_epi32(packed, 8 * c), byte);
        inUse[v] = _mm256_cmpgt_epi32(_mm256_set1_epi32(probes.count - 8 * v),
                                      _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    }
    for (int candidate = 0; candidate < count; ++candidate) {
        const std::uint32_t* at = in.pixels + positions[candidate];
        __m256i total = _mm256_setzero_si256();
        for (int v = 0; v < 2; ++v) {
            const std::int32_t* d = delta + 8 * v;
            const __m256i words = _mm256_setr_epi32(
                static_cast<int>(at[d[0]]), static_cast<int>(at[d[1]]), static_cast<int>(at[d[2]]),
                static_cast<int>(at[d[3]]), static_cast<int>(at[d[4]]), static_cast<int>(at[d[5]]),
                static_cast<int>(at[d[6]]), static_cast<int>(at[d[7]]));
            __m256i cost = _mm256_setzero_si256();
            for (int c = 0; c < 3; ++c) {
                const __m256i difference = _mm256_sub_epi32(
                    channel[v][c], _mm256_and_si256(_mm256_srli_epi32(words, 8 * c), byte));
                cost = _mm256_add_epi32(cost, _mm256_i32gather_epi32(in.costs, difference, 4));
            }
            const __m256i unusable =
                _mm256_cmpeq_epi32(_mm256_and_si256(words, usableBits), _mm256_setzero_si256());
            cost = _mm256_blendv_epi8(cost, uncomparable, unusable);
            total = _mm256_add_epi32(total, _mm256_and_si256(cost, inUse[v]));
        }
        __m128i sum =
            _mm_add_epi32(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
        sums[candidate] = _mm_cvtsi128_si32(sum);
    }
}

VELMORA_AVX2 void RandomSearchAvx2(const RandomSearchInput& in, RandomSearchState& state) {
    if (in.probes->count == 0) {  // only the target: the first candidate matches perfectly
        state.score = 0;
        state.chosen = DrawnIndex(in, state.randomState, 0);
        state.randomState = kChunkJumps[2].Apply(state.randomState);
        return;
    }
    Avx2Search search(in, state);
    search.Run(state);
}

}  // namespace velmora::kernels

#endif
