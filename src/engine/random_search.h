#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// The top byte of a packed source word: set when the pixel is usable.
inline constexpr std::uint32_t kUsableWordBits = 0xFF000000u;

// The neighbourhood as a candidate search compares it: every neighbour but the target itself (a
// candidate is always a usable pixel, so the target's own entry never adds to a sum), as linear
// offsets into the packed source words and packed colours (blue, green, red in the low bytes).
struct ProbeSet {
    static constexpr int kCapacity = 15;

    std::int32_t count = 0;
    std::array<std::int32_t, kCapacity> delta{};
    std::array<std::uint32_t, kCapacity> colour{};
};

// What the random phase of a search reads; all of it stays unchanged during the phase.
struct RandomSearchInput {
    const std::uint32_t* pixels = nullptr;    // packed source words (SourcePixels)
    const std::int32_t* positions = nullptr;  // position of every usable source pixel
    std::uint32_t positionCount = 0;          // at least 1
    std::uint64_t positionModulus = 0;        // FastModulus(positionCount)
    const std::int32_t* costs = nullptr;      // the difference table, indexed -255..255
    // The same costs by |d| (the table is symmetric), split into low and high bytes, for the
    // vector kernels' in-register lookups; 256 entries each.
    const std::uint8_t* costLowBytes = nullptr;
    const std::uint8_t* costHighBytes = nullptr;
    std::int32_t uncomparable = 0;     // the charge for a neighbour that is not usable
    const ProbeSet* probes = nullptr;  // every offset within the guard border
    std::int32_t draws = 0;            // number of random candidates, at most
    bool prefetch = false;             // the source area outgrows the caches
};

// The best match so far and the generator; the phase updates all three.
struct RandomSearchState {
    std::int32_t score = 0;    // best sum so far; the phase runs only while it is not 0
    std::int64_t chosen = -1;  // index into the positions of the best random candidate, if any
    std::uint32_t randomState = 0;
};

// The multiplier that FastRemainder uses for a divisor of at least 1.
[[nodiscard]] constexpr std::uint64_t FastModulus(std::uint32_t divisor) {
    return ~std::uint64_t{0} / divisor + 1;
}

// value % divisor, exact for every 32-bit value, by two multiplications.
[[nodiscard]] inline std::uint32_t FastRemainder(std::uint32_t value, std::uint32_t divisor,
                                                 std::uint64_t modulus) {
    // The high 64 bits of the 96-bit product fraction * divisor.
    const std::uint64_t fraction = modulus * value;
    const std::uint64_t low = (fraction & 0xFFFFFFFFu) * divisor;
    const std::uint64_t high = (fraction >> 32) * divisor;
    return static_cast<std::uint32_t>((high + (low >> 32)) >> 32);
}

// The instruction sets a random phase can run on; the results are identical. Avx512 needs the
// byte-permute (VBMI) and dot-product (VNNI) extensions besides the foundation; Avx2 is for the
// processors without them.
enum class SearchKernel { Portable, Avx512, Avx2 };

[[nodiscard]] bool KernelSupported(SearchKernel kernel);
[[nodiscard]] SearchKernel FastestSupportedKernel();

// Scores up to `draws` random candidates exactly as the one-at-a-time search does: candidate k
// uses draws 2k + 1 and 2k + 2 of the generator, a candidate replaces the best only with a
// strictly smaller sum, and a sum of 0 ends the phase, leaving the generator just after that
// candidate's draws.
void RunRandomSearch(SearchKernel kernel, const RandomSearchInput& input, RandomSearchState& state);

// The whole sums of `count` usable candidates (all neighbours within the guard border), when the
// kernel has a vector form for it; false leaves the sums to the caller.
bool ComputeFullSums(SearchKernel kernel, const RandomSearchInput& input,
                     const std::int32_t* positions, int count, std::int32_t* sums);

}  // namespace velmora
