#pragma once

// The random phase of a search, one function per instruction set (internal to the engine). The
// vector versions live in their own files, compiled for their instruction set and called only
// when the processor has it; they use nothing from headers but the intrinsics and these plain
// declarations, so that no instruction of theirs leaks into code that other files share.

#include <array>
#include <cstdint>

#include "random_generator.h"
#include "random_search.h"

namespace velmora::kernels {

// Candidates are drawn ahead in chunks of this many; kChunkJumps[m] is the step of m draws.
inline constexpr int kChunk = 16;

inline constexpr std::array<RandomJump, 2 * kChunk + 1> kChunkJumps = [] {
    std::array<RandomJump, 2 * kChunk + 1> jumps{};
    for (std::uint32_t m = 0; m < jumps.size(); ++m) jumps[m] = RandomJump::Of(m);
    return jumps;
}();

// A queued record keeps its candidate's number in the low bits of its partial sum: sums stay
// below 2^22 (15 neighbours at 196608 at most), numbers below 2^9, so comparing the packed value
// with best << 9 compares the sums.
inline constexpr int kOrderBits = 9;
inline constexpr std::int32_t kSumLimit =
    (1 << (31 - kOrderBits)) - 1;  // above every sum; a larger best is clamped
static_assert(ProbeSet::kCapacity * 196608 < kSumLimit);

// One or two neighbours compared together by the vector kernels.
struct SearchStep {
    std::int32_t delta = 0;        // offset of the first neighbour's word
    std::int32_t secondDelta = 0;  // of the second's; delta + 1 when they are adjacent
    std::uint32_t colour = 0;
    std::uint32_t secondColour = 0;
    bool paired = false;
    bool adjacent = false;
};

// The steps of a vector search: the nearest neighbour alone when there are more than
// kFirstAloneAbove (most random candidates are ruled out by their first neighbour, and one
// neighbour costs half a pair), then horizontally adjacent neighbours paired (the lower offset
// first), nearest first; the rest in twos. Returns the number of steps.
inline constexpr int kFirstAloneAbove = 2;
int PlanSearchSteps(const ProbeSet& probes, std::array<SearchStep, ProbeSet::kCapacity>& steps);

// Writes the steps of a plan from the neighbours taken nearest first, each with its horizontally
// adjacent partner if it has one: a pair as it comes, the rest in twos, a last odd one alone.
class SearchStepWriter {
  public:
    SearchStepWriter(const ProbeSet& probes, std::array<SearchStep, ProbeSet::kCapacity>& steps)
        : probes_(probes), steps_(steps) {}

    // Neighbour `j` and its partner, or -1.
    void Take(int j, int partner) {
        if (partner < 0) {
            if (single_ < 0) {
                single_ = j;
                return;
            }
            Add(single_, j, false);
            single_ = -1;
            return;
        }
        const bool partnerFirst = Delta(partner) < Delta(j);
        Add(partnerFirst ? partner : j, partnerFirst ? j : partner, true);
    }

    // Neighbour `j` as a step of its own.
    void TakeAlone(int j) { Add(j, -1, false); }

    // The number of steps, the odd neighbour included.
    int Finish() {
        if (single_ >= 0) Add(single_, -1, false);
        single_ = -1;
        return count_;
    }

  private:
    [[nodiscard]] std::int32_t Delta(int j) const {
        return probes_.delta[static_cast<std::size_t>(j)];
    }

    void Add(int first, int second, bool adjacent) {
        SearchStep& step = steps_[static_cast<std::size_t>(count_++)];
        step = {};
        step.delta = Delta(first);
        step.colour = probes_.colour[static_cast<std::size_t>(first)];
        step.paired = second >= 0;
        step.adjacent = adjacent;
        if (second >= 0) {
            step.secondDelta = Delta(second);
            step.secondColour = probes_.colour[static_cast<std::size_t>(second)];
        }
    }

    const ProbeSet& probes_;
    std::array<SearchStep, ProbeSet::kCapacity>& steps_;
    int count_ = 0;
    int single_ = -1;
};

// Per lane k of a vector of `Lanes`: the multiplier and increment of draw 2k + 1 (the high half of
// candidate k's index), then of draw 2k + 2 (the low half).
template <int Lanes>
constexpr std::array<std::array<std::uint32_t, Lanes>, 4> LaneJumps() {
    std::array<std::array<std::uint32_t, Lanes>, 4> jumps{};
    for (std::size_t k = 0; k < Lanes; ++k) {
        for (std::size_t half = 0; half < 2; ++half) {
            const RandomJump jump = kChunkJumps[2 * k + 1 + half];
            jumps[2 * half][k] = jump.multiplier;
            jumps[2 * half + 1][k] = jump.increment;
        }
    }
    return jumps;
}

// The index into the positions of candidate `k` (0-based) of a phase that starts at `startState`.
inline std::uint32_t DrawnIndex(const RandomSearchInput& input, std::uint32_t startState, int k) {
    const auto draws = static_cast<std::uint32_t>(2 * k);
    const std::uint32_t high = (RandomJump::Of(draws + 1).Apply(startState) >> 16) & 0x7FFFu;
    const std::uint32_t low = (RandomJump::Of(draws + 2).Apply(startState) >> 16) & 0x7FFFu;
    return FastRemainder(high * 32768u + low, input.positionCount, input.positionModulus);
}

// Ends a vector search: the best sum and, when a candidate became the best, its index. The
// generator stands just after the draws of candidate `chosenOrder` when that one reached 0 and
// ended the search, else at `endState`, the state after the last chunk drawn.
inline void FinishSearch(const RandomSearchInput& input, std::uint32_t startState,
                         std::int32_t best, int chosenOrder, bool ended, std::uint32_t endState,
                         RandomSearchState& state) {
    state.score = best;
    if (chosenOrder >= 0) state.chosen = DrawnIndex(input, startState, chosenOrder);
    state.randomState =
        ended ? RandomJump::Of(2 * static_cast<std::uint32_t>(chosenOrder + 1)).Apply(startState)
              : endState;
}

void RandomSearchPortable(const RandomSearchInput& input, RandomSearchState& state);
void RandomSearchAvx512(const RandomSearchInput& input, RandomSearchState& state);
void RandomSearchAvx2(const RandomSearchInput& input, RandomSearchState& state);
void FullSumsAvx2(const RandomSearchInput& input, const std::int32_t* positions, int count,
                  std::int32_t* sums);
void FullSumsAvx512(const RandomSearchInput& input, const std::int32_t* positions, int count,
                    std::int32_t* sums);

}  // namespace velmora::kernels
