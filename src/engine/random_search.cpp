#include "random_search.h"

#include <algorithm>

#include "random_search_kernels.h"

namespace velmora {

namespace kernels {

namespace {

// The sum of one neighbour for a candidate at `position`: the uncomparable charge when the
// neighbour's pixel is not usable, else the cost of its three channel differences.
inline std::int32_t NeighbourCost(const RandomSearchInput& in, std::int32_t position, int j) {
    const ProbeSet& probes = *in.probes;
    const std::uint32_t word = in.pixels[position + probes.delta[static_cast<std::size_t>(j)]];
    const std::uint32_t colour = probes.colour[static_cast<std::size_t>(j)];
    if ((word & kUsableWordBits) == 0) return in.uncomparable;
    return in.costs[static_cast<int>(colour & 0xFF) - static_cast<int>(word & 0xFF)] +
           in.costs[static_cast<int>((colour >> 8) & 0xFF) - static_cast<int>((word >> 8) & 0xFF)] +
           in.costs[static_cast<int>((colour >> 16) & 0xFF) -
                    static_cast<int>((word >> 16) & 0xFF)];
}

}  // namespace

void RandomSearchPortable(const RandomSearchInput& in, RandomSearchState& state) {
    const int count = in.probes->count;
    std::int32_t best = state.score;
    std::uint32_t chunkState = state.randomState;
    for (int first = 0; first < in.draws; first += kChunk) {
        const int size = std::min(kChunk, in.draws - first);
        std::array<std::uint32_t, kChunk> picked{};
        for (int k = 0; k < size; ++k) {
            const std::uint32_t high = (kChunkJumps[2 * k + 1].Apply(chunkState) >> 16) & 0x7FFFu;
            const std::uint32_t low = (kChunkJumps[2 * k + 2].Apply(chunkState) >> 16) & 0x7FFFu;
            picked[k] = FastRemainder(high * 32768u + low, in.positionCount, in.positionModulus);
        }
        // Stage one: the first neighbour of every candidate, without branches; the candidates it
        // does not rule out against the best at the chunk's start go on, in order.
        std::array<std::int32_t, kChunk> position{};
        std::array<std::int32_t, kChunk> partial{};
        std::array<std::uint8_t, kChunk> survivors{};
        int survivorCount = 0;
        for (int k = 0; k < size; ++k) {
            position[k] = in.positions[picked[k]];
            partial[k] = count == 0 ? 0 : NeighbourCost(in, position[k], 0);
            survivors[survivorCount] = static_cast<std::uint8_t>(k);
            survivorCount += partial[k] < best ? 1 : 0;
        }
        // Stage two: the rest of each survivor's neighbours, against the best as it is now.
        for (int s = 0; s < survivorCount; ++s) {
            const int k = survivors[s];
            std::int32_t sum = partial[k];
            int j = 1;
            for (; j < count && sum < best; ++j) sum += NeighbourCost(in, position[k], j);
            if (sum >= best) continue;
            best = sum;
            state.chosen = static_cast<std::int64_t>(picked[k]);
            if (best == 0) {
                state.score = 0;
                state.randomState = kChunkJumps[2 * k + 2].Apply(chunkState);
                return;
            }
        }
        chunkState = kChunkJumps[2 * size].Apply(chunkState);
    }
    state.score = best;
    state.randomState = chunkState;
}

int PlanSearchSteps(const ProbeSet& probes, std::array<SearchStep, ProbeSet::kCapacity>& steps) {
    SearchStepWriter writer(probes, steps);
    std::array<bool, ProbeSet::kCapacity> used{};
    if (probes.count > kFirstAloneAbove) {
        writer.TakeAlone(0);
        used[0] = true;
    }
    for (int j = 0; j < probes.count; ++j) {
        if (used[static_cast<std::size_t>(j)]) continue;
        used[static_cast<std::size_t>(j)] = true;
        const std::int32_t delta = probes.delta[static_cast<std::size_t>(j)];
        int partner = -1;
        for (int k = j + 1; k < probes.count && partner < 0; ++k) {
            const std::int32_t other = probes.delta[static_cast<std::size_t>(k)];
            if (!used[static_cast<std::size_t>(k)] && (other == delta + 1 || other == delta - 1))
                partner = k;
        }
        if (partner >= 0) used[static_cast<std::size_t>(partner)] = true;
        writer.Take(j, partner);
    }
    return writer.Finish();
}

}  // namespace kernels

bool KernelSupported(SearchKernel kernel) {
    switch (kernel) {
        case SearchKernel::Portable:
            return true;
        case SearchKernel::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni");
        case SearchKernel::Avx2:
#if defined(__x86_64__) || defined(__i386__)
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                   __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#else
            return false;
#endif
    }
    return false;
}

SearchKernel FastestSupportedKernel() {
    static const SearchKernel fastest = KernelSupported(SearchKernel::Avx512) ? SearchKernel::Avx512
                                        : KernelSupported(SearchKernel::Avx2)
                                            ? SearchKernel::Avx2
                                            : SearchKernel::Portable;
    return fastest;
}

void RunRandomSearch(SearchKernel kernel, const RandomSearchInput& input,
                     RandomSearchState& state) {
    if (kernel == SearchKernel::Avx512 && input.costLowBytes != nullptr) {
        kernels::RandomSearchAvx512(input, state);
        return;
    }
#if defined(__x86_64__) || defined(__i386__)
    if (kernel == SearchKernel::Avx2) {
        kernels::RandomSearchAvx2(input, state);
        return;
    }
#endif
    kernels::RandomSearchPortable(input, state);
}

bool ComputeFullSums(SearchKernel kernel, const RandomSearchInput& input,
                     const std::int32_t* positions, int count, std::int32_t* sums) {
#if defined(__x86_64__) || defined(__i386__)
    if (kernel == SearchKernel::Avx2) {
        kernels::FullSumsAvx2(input, positions, count, sums);
        return true;
    }
#endif
    if (kernel != SearchKernel::Avx512 || input.costLowBytes == nullptr) return false;
    kernels::FullSumsAvx512(input, positions, count, sums);
    return true;
}

}  // namespace velmora
