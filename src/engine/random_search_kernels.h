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

// The index into the positions of candidate `k` (0-based) of a phase that starts at `startState`.
inline std::uint32_t DrawnIndex(const RandomSearchInput& input, std::uint32_t startState, int k) {
    const auto draws = static_cast<std::uint32_t>(2 * k);
    const std::uint32_t high = (RandomJump::Of(draws + 1).Apply(startState) >> 16) & 0x7FFFu;
    const std::uint32_t low = (RandomJump::Of(draws + 2).Apply(startState) >> 16) & 0x7FFFu;
    return FastRemainder(high * 32768u + low, input.positionCount, input.positionModulus);
}

void RandomSearchPortable(const RandomSearchInput& input, RandomSearchState& state);
void RandomSearchAvx512(const RandomSearchInput& input, RandomSearchState& state);
void RandomSearchAvx2(const RandomSearchInput& input, RandomSearchState& state);
void FullSumsAvx2(const RandomSearchInput& input, const std::int32_t* positions, int count,
                  std::int32_t* sums);
void FullSumsAvx512(const RandomSearchInput& input, const std::int32_t* positions, int count,
                    std::int32_t* sums);

}  // namespace velmora::kernels
