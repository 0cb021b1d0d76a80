// The random phase on AVX-512 with the byte-permute (VBMI) and dot-product (VNNI) extensions.
//
// Sixteen candidates are drawn at once from the generator's jump-ahead form. A candidate's sum
// does not depend on the order of its neighbours, so they are compared in steps: the nearest
// alone first (it rules out most candidates), then in twos, pairing horizontally adjacent
// neighbours so that one 8-byte load reads both. The difference costs are
// looked up in registers: the table's 256 magnitudes as low and high bytes, four registers each.
//
// The first step runs on every candidate; the candidates it does not rule out wait in one queue
// per further step and go on sixteen at a time. The queues are first in, first out, so a
// candidate still waiting was always drawn later than every candidate that has completed: ruling
// out at "sum >= best" and replacing only at "sum < best" is then exactly the one-at-a-time rule,
// and the first candidate to complete with 0 is the one that ends the phase.

#include "vector_intrinsics.h"

#include <array>

#include "random_search_kernels.h"

#define VELMORA_AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vnni")))

namespace velmora::kernels {

namespace {

constexpr int kLanes = 16;
constexpr int kMaxSteps = ProbeSet::kCapacity;
// Records waiting for one step: after each flush fewer than 2 * kLanes, plus one batch.
constexpr int kQueueRoom = 4 * kLanes;
// A queue's first batch is compared once another batch's worth waits behind it, so that its
// records were stored a chunk or more before they are loaded again.
constexpr int kBatchAt = 2 * kLanes;

alignas(64) constexpr auto kLaneJumps = LaneJumps<kLanes>();

struct Queue {
    alignas(64) std::int32_t position[kQueueRoom];
    alignas(64) std::int32_t packed[kQueueRoom];  // partial sum << kOrderBits | number
    int size;
};

struct CostRegisters {
    __m512i low[4];
    __m512i high[4];
};

// Per lane (one packed source word each): the cost of comparing with `colour`.
VELMORA_AVX512 inline __m512i PixelCosts(const CostRegisters& costs, __m512i words, __m512i colour,
                                         __m512i uncomparable) {
    const __m512i magnitude = _mm512_and_si512(
        _mm512_sub_epi8(_mm512_max_epu8(words, colour), _mm512_min_epu8(words, colour)),
        _mm512_set1_epi32(0x00FFFFFF));
    const __mmask64 upperHalf = _mm512_movepi8_mask(magnitude);
    const __m512i low = _mm512_mask_blend_epi8(
        upperHalf, _mm512_permutex2var_epi8(costs.low[0], magnitude, costs.low[1]),
        _mm512_permutex2var_epi8(costs.low[2], magnitude, costs.low[3]));
    const __m512i high = _mm512_mask_blend_epi8(
        upperHalf, _mm512_permutex2var_epi8(costs.high[0], magnitude, costs.high[1]),
        _mm512_permutex2var_epi8(costs.high[2], magnitude, costs.high[3]));
    const __m512i ones = _mm512_set1_epi8(1);
    const __m512i highSum = _mm512_dpbusd_epi32(_mm512_setzero_si512(), high, ones);
    const __m512i sum = _mm512_dpbusd_epi32(_mm512_slli_epi32(highSum, 8), low, ones);
    const __mmask16 usable =
        _mm512_test_epi32_mask(words, _mm512_set1_epi32(static_cast<int>(kUsableWordBits)));
    return _mm512_mask_blend_epi32(usable, uncomparable, sum);
}

class Avx512Search {
  public:
    VELMORA_AVX512 Avx512Search(const RandomSearchInput& in, const RandomSearchState& state)
        : in_(in), best_(state.score), startState_(state.randomState) {
        for (int i = 0; i < 4; ++i) {
            costs_.low[i] = _mm512_loadu_si512(in.costLowBytes + 64 * i);
            costs_.high[i] = _mm512_loadu_si512(in.costHighBytes + 64 * i);
        }
        uncomparable_ = _mm512_set1_epi32(in.uncomparable);
        PlanSteps(*in.probes);
    }

    VELMORA_AVX512 void Run(RandomSearchState& state) {
        // Candidates are drawn two chunks ahead and their positions read one chunk ahead, so that
        // on a large source area the prefetched lines have arrived when a chunk is compared. The
        // indices are stored when drawn and read back a chunk later, when the store has long
        // completed.
        std::uint32_t chunkState = startState_;
        alignas(64) std::int32_t positions[2][kLanes];
        alignas(64) std::int32_t indices[2][kLanes];
        _mm512_store_si512(indices[0], DrawIndices(chunkState));
        ReadPositions(indices[0], positions[0]);
        _mm512_store_si512(indices[1], DrawIndices(Advance(chunkState)));
        PrefetchPositions(indices[1]);
        for (int drawn = 0, chunk = 0; drawn < in_.draws && !ended_; drawn += kLanes, ++chunk) {
            const int lanes = in_.draws - drawn < kLanes ? in_.draws - drawn : kLanes;
            if (drawn + kLanes < in_.draws) {
                ReadPositions(indices[(chunk + 1) & 1], positions[(chunk + 1) & 1]);
                _mm512_store_si512(indices[chunk & 1], DrawIndices(Advance(Advance(chunkState))));
                PrefetchPositions(indices[chunk & 1]);
            }
            CompareFirst(positions[chunk & 1], drawn, lanes);
            chunkState =
                lanes == kLanes ? Advance(chunkState) : kChunkJumps[2 * lanes].Apply(chunkState);
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
    // The generator state one whole chunk of draws later.
    static std::uint32_t Advance(std::uint32_t chunkState) {
        return kChunkJumps[2 * kLanes].Apply(chunkState);
    }

    // The plan PlanSearchSteps makes, with each neighbour's partner found by one comparison of
    // all offsets at once.
    VELMORA_AVX512 void PlanSteps(const ProbeSet& probes) {
        SearchStepWriter writer(probes, steps_);
        const auto inUse = static_cast<__mmask16>((1u << probes.count) - 1u);
        const __m512i deltas = _mm512_maskz_loadu_epi32(inUse, probes.delta.data());
        unsigned open = inUse;  // neighbours not in a step yet
        if (probes.count > kFirstAloneAbove) {
            writer.TakeAlone(0);
            open &= ~1u;
        }
        while (open != 0) {
            const int j = __builtin_ctz(open);
            open &= open - 1;
            const std::int32_t delta = probes.delta[static_cast<std::size_t>(j)];
            const unsigned partners =
                open & (_mm512_cmpeq_epi32_mask(deltas, _mm512_set1_epi32(delta + 1)) |
                        _mm512_cmpeq_epi32_mask(deltas, _mm512_set1_epi32(delta - 1)));
            const int partner = partners != 0 ? __builtin_ctz(partners) : -1;
            if (partner >= 0) open &= ~(1u << partner);
            writer.Take(j, partner);
        }
        stepCount_ = writer.Finish();
        for (int s = 0; s < stepCount_; ++s) queues_[s].size = 0;
    }

    // The batches waiting for step `first` or a later one, so that each queue ends below
    // kBatchAt records.
    VELMORA_AVX512 void CompareFullBatches(int first) {
        for (int s = first; s < stepCount_ && !ended_; ++s)
            while (queues_[s].size >= kBatchAt && !ended_) CompareNext(s, kLanes);
    }

    // value % count for 16 values below 2^30, through double precision and one correction.
    VELMORA_AVX512 __m512i Remainders(__m512i values) const {
        const __m512d inverse = _mm512_set1_pd(1.0 / static_cast<double>(in_.positionCount));
        const __m512i count = _mm512_set1_epi32(static_cast<int>(in_.positionCount));
        const __m256i lowQuotient = _mm512_cvttpd_epu32(
            _mm512_mul_pd(_mm512_cvtepu32_pd(_mm512_castsi512_si256(values)), inverse));
        const __m256i highQuotient = _mm512_cvttpd_epu32(
            _mm512_mul_pd(_mm512_cvtepu32_pd(_mm512_extracti64x4_epi64(values, 1)), inverse));
        const __m512i quotient =
            _mm512_inserti64x4(_mm512_castsi256_si512(lowQuotient), highQuotient, 1);
        __m512i rest = _mm512_sub_epi32(values, _mm512_mullo_epi32(quotient, count));
        rest = _mm512_mask_add_epi32(rest, _mm512_cmplt_epi32_mask(rest, _mm512_setzero_si512()),
                                     rest, count);
        return _mm512_mask_sub_epi32(rest, _mm512_cmpge_epu32_mask(rest, count), rest, count);
    }

    // The indices into the positions of the sixteen candidates drawn from `chunkState` on.
    VELMORA_AVX512 __m512i DrawIndices(std::uint32_t chunkState) const {
        const __m512i state = _mm512_set1_epi32(static_cast<int>(chunkState));
        return Remainders(
            _mm512_or_si512(_mm512_slli_epi32(DrawnValues(state, 0), 15), DrawnValues(state, 2)));
    }

    // The 15-bit values of one draw per lane: the draws whose jumps are rows `row` (multipliers)
    // and `row` + 1 (increments) of kLaneJumps.
    VELMORA_AVX512 static __m512i DrawnValues(__m512i state, int row) {
        const __m512i next =
            _mm512_add_epi32(_mm512_mullo_epi32(state, _mm512_load_si512(kLaneJumps[row].data())),
                             _mm512_load_si512(kLaneJumps[row + 1].data()));
        return _mm512_and_si512(_mm512_srli_epi32(next, 16), _mm512_set1_epi32(0x7FFF));
    }

    // The packed source words at `delta` from the positions in use.
    VELMORA_AVX512 __m512i GatherWords(__mmask16 inUse, __m512i position,
                                       std::int32_t delta) const {
        return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), inUse, position,
                                           in_.pixels + delta, 4);
    }

    // The words of one step for `lanes` candidate positions, and their costs.
    VELMORA_AVX512 __m512i StepCosts(const SearchStep& step, int lanes,
                                     const std::int32_t* position) {
        const __mmask16 inUse = static_cast<__mmask16>((1u << lanes) - 1u);
        const __m512i colour = _mm512_set1_epi32(static_cast<int>(step.colour));
        const __m512i where = _mm512_maskz_loadu_epi32(inUse, position);
        if (!step.paired)
            return PixelCosts(costs_, GatherWords(inUse, where, step.delta), colour, uncomparable_);
        __m512i first;
        __m512i second;
        if (step.adjacent) {
            const auto* base = reinterpret_cast<const long long*>(in_.pixels + step.delta);
            const __m512i a =
                _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), static_cast<__mmask8>(inUse),
                                            _mm512_castsi512_si256(where), base, 4);
            const __m512i b = _mm512_mask_i32gather_epi64(
                _mm512_setzero_si512(), static_cast<__mmask8>(inUse >> 8),
                _mm512_extracti64x4_epi64(where, 1), base, 4);
            first = _mm512_maskz_permutex2var_epi32(
                inUse, a,
                _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0), b);
            second = _mm512_maskz_permutex2var_epi32(
                inUse, a,
                _mm512_set_epi32(31, 29, 27, 25, 23, 21, 19, 17, 15, 13, 11, 9, 7, 5, 3, 1), b);
        } else {
            first = GatherWords(inUse, where, step.delta);
            second = GatherWords(inUse, where, step.secondDelta);
        }
        return _mm512_add_epi32(
            PixelCosts(costs_, first, colour, uncomparable_),
            PixelCosts(costs_, second, _mm512_set1_epi32(static_cast<int>(step.secondColour)),
                       uncomparable_));
    }

    // The positions of sixteen drawn candidates; with prefetching, the line of each one's first
    // step is asked for as well.
    VELMORA_AVX512 void ReadPositions(const std::int32_t* index, std::int32_t* position) const {
        // One load each rather than a gather: a gather completes only when all sixteen lines
        // have arrived, and holds up everything after it until then.
        for (int k = 0; k < kLanes; ++k) position[k] = in_.positions[index[k]];
        if (!in_.prefetch) return;
        for (int k = 0; k < kLanes; ++k)
            __builtin_prefetch(in_.pixels + position[k] + steps_[0].delta);
    }

    VELMORA_AVX512 void PrefetchPositions(const std::int32_t* index) const {
        if (!in_.prefetch) return;
        for (int k = 0; k < kLanes; ++k) __builtin_prefetch(in_.positions + index[k]);
    }

    // The first step for candidates `drawn` to `drawn + lanes - 1`.
    VELMORA_AVX512 void CompareFirst(const std::int32_t* position, int drawn, int lanes) {
        const __m512i costs = StepCosts(steps_[0], lanes, position);
        const __m512i order = _mm512_add_epi32(
            _mm512_set1_epi32(drawn),
            _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
        Pass(1, _mm512_load_si512(position),
             _mm512_or_si512(_mm512_slli_epi32(costs, kOrderBits), order),
             static_cast<__mmask16>((1u << lanes) - 1u));
    }

    // The next step (number `s`) for the first `lanes` records waiting for it.
    VELMORA_AVX512 void CompareNext(int s, int lanes) {
        Queue& queue = queues_[s];
        const __m512i costs = StepCosts(steps_[s], lanes, queue.position);
        const __m512i position = _mm512_load_si512(queue.position);
        const __m512i packed =
            _mm512_add_epi32(_mm512_load_si512(queue.packed), _mm512_slli_epi32(costs, kOrderBits));
        // Move the rest of the queue to its front before the pass may append to the next queue.
        const int rest = queue.size - lanes;
        for (int r = 0; r < rest; r += kLanes) {
            _mm512_store_si512(queue.position + r, _mm512_loadu_si512(queue.position + lanes + r));
            _mm512_store_si512(queue.packed + r, _mm512_loadu_si512(queue.packed + lanes + r));
        }
        queue.size = rest;
        Pass(s + 1, position, packed, static_cast<__mmask16>((1u << lanes) - 1u));
    }

    // Rules out the records whose sum has reached the best; the others wait for step `next`, or
    // complete when there is none.
    VELMORA_AVX512 void Pass(int next, __m512i position, __m512i packed, __mmask16 inUse) {
        const std::int32_t bound = best_ < kSumLimit ? best_ : kSumLimit;
        const __mmask16 alive =
            _mm512_mask_cmplt_epi32_mask(inUse, packed, _mm512_set1_epi32(bound << kOrderBits));
        if (next < stepCount_) {
            // Without a branch on the survivors: whether any survive is a coin toss.
            Queue& queue = queues_[next];
            _mm512_storeu_si512(queue.position + queue.size,
                                _mm512_maskz_compress_epi32(alive, position));
            _mm512_storeu_si512(queue.packed + queue.size,
                                _mm512_maskz_compress_epi32(alive, packed));
            queue.size += __builtin_popcount(alive);
            return;
        }
        if (alive == 0) return;
        alignas(64) std::int32_t completed[kLanes];
        _mm512_store_si512(completed, packed);
        for (unsigned bits = alive; bits != 0; bits &= bits - 1) {
            const std::int32_t record = completed[__builtin_ctz(bits)];
            const std::int32_t sum = record >> kOrderBits;
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
    CostRegisters costs_;
    __m512i uncomparable_;
    std::array<SearchStep, kMaxSteps> steps_;
    int stepCount_ = 0;
    Queue queues_[kMaxSteps];
};

}  // namespace

VELMORA_AVX512 void FullSumsAvx512(const RandomSearchInput& in, const std::int32_t* positions,
                                   int count, std::int32_t* sums) {
    // One candidate at a time, its neighbours in the lanes: the candidates its neighbours propose
    // are good matches that rarely stop early, so the whole sum costs less than stepping.
    CostRegisters costs;
    for (int i = 0; i < 4; ++i) {
        costs.low[i] = _mm512_loadu_si512(in.costLowBytes + 64 * i);
        costs.high[i] = _mm512_loadu_si512(in.costHighBytes + 64 * i);
    }
    const ProbeSet& probes = *in.probes;
    const __mmask16 inUse = static_cast<__mmask16>((1u << probes.count) - 1u);
    const __m512i colours = _mm512_maskz_loadu_epi32(inUse, probes.colour.data());
    const __m512i deltas = _mm512_maskz_loadu_epi32(inUse, probes.delta.data());
    const __m512i uncomparable = _mm512_set1_epi32(in.uncomparable);
    for (int c = 0; c < count; ++c) {
        const __m512i words = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), inUse, deltas,
                                                          in.pixels + positions[c], 4);
        const __m512i cost = PixelCosts(costs, words, colours, uncomparable);
        sums[c] = _mm512_mask_reduce_add_epi32(inUse, cost);
    }
}

VELMORA_AVX512 void RandomSearchAvx512(const RandomSearchInput& in, RandomSearchState& state) {
    if (in.probes->count == 0) {  // only the target: the first candidate matches perfectly
        state.score = 0;
        state.chosen = DrawnIndex(in, state.randomState, 0);
        state.randomState = kChunkJumps[2].Apply(state.randomState);
        return;
    }
    Avx512Search search(in, state);
    search.Run(state);
}

}  // namespace velmora::kernels
