// Searches that read the engine without changing it, for fills that search several entries at
// once. They give what SynthesizePixel gives: the same walk, candidates, sums and draws.
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "fill_engine.h"

namespace velmora {

namespace {

std::int64_t SquaredLength(GridPoint o) {
    return std::int64_t{o.x} * o.x + std::int64_t{o.y} * o.y;
}

}  // namespace

bool FillEngine::SearchNeighbours(std::int32_t index, EntrySearch& search) const {
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    search.index = index;
    search.target = target;
    const std::int32_t width = statusGrid.width();
    const std::int32_t height = statusGrid.height();
    const std::span<const GridPoint> offsets = offsetList.Generated();
    // The list starts with (0, 0): the target, which its own search makes known, comes first.
    std::array<const PixelStatus*, NeighbourSet::kMaxCount> statuses{};
    statuses[0] = statusGrid.At(target);
    std::int32_t count = 1;
    ProbeSet& probes = search.probes;
    search.withinGuard = true;
    std::size_t i = 1;
    for (;; ++i) {
        if (i >= offsets.size()) {
            if (!offsetList.Complete()) return false;
            break;
        }
        const GridPoint offset = offsets[i];
        const GridPoint p = target + offset;
        if (static_cast<std::uint32_t>(p.x) >= static_cast<std::uint32_t>(width) ||
            static_cast<std::uint32_t>(p.y) >= static_cast<std::uint32_t>(height) ||
            *known_.At(p) == 0)
            continue;
        const auto probe = static_cast<std::size_t>(count - 1);
        search.offsets[probe] = offset;
        probes.delta[probe] = offset.y * source_.stride() + offset.x;
        probes.colour[probe] = PackColour(workGrid.At(p));
        if (std::abs(offset.x) > SourcePixels::kGuard || std::abs(offset.y) > SourcePixels::kGuard)
            search.withinGuard = false;
        statuses[static_cast<std::size_t>(count)] = statusGrid.At(p);
        if (++count == NeighbourSet::kMaxCount) break;
    }
    probes.count = count - 1;
    search.reachSquare =
        i < offsets.size() ? SquaredLength(offsets[i]) : std::numeric_limits<std::int64_t>::max();

    // The candidates the neighbours propose, each usable one once, in the order they are scored.
    std::array<GridPoint, NeighbourSet::kMaxCount> candidates;
    std::array<std::int32_t, NeighbourSet::kMaxCount> positions;
    int candidateCount = 0;
    for (std::int32_t j = 0; j < count; ++j) {
        const PixelStatus& status = *statuses[static_cast<std::size_t>(j)];
        if (status.filled == 0) continue;
        const GridPoint offset =
            j == 0 ? GridPoint{} : search.offsets[static_cast<std::size_t>(j - 1)];
        const GridPoint candidate = status.source - offset;
        if (!source_.Contains(candidate) ||
            (source_.At(source_.Index(candidate)) & kUsableWordBits) == 0)
            continue;
        const auto end = candidates.begin() + candidateCount;
        if (std::find(candidates.begin(), end, candidate) != end) continue;
        candidates[static_cast<std::size_t>(candidateCount)] = candidate;
        positions[static_cast<std::size_t>(candidateCount)] = source_.Index(candidate);
        ++candidateCount;
    }
    BestMatch& best = search.best;
    best = {};
    std::array<std::int32_t, NeighbourSet::kMaxCount> sums;
    const bool summed =
        search.withinGuard && ComputeFullSums(kernel_, SearchInput(probes), positions.data(),
                                              candidateCount, sums.data());
    for (int c = 0; c < candidateCount && best.score != 0; ++c) {
        const auto entry = static_cast<std::size_t>(c);
        const std::int32_t sum =
            summed ? sums[entry]
            : search.withinGuard
                ? SumWithinGuard(probes, positions[entry], best.score)
                : SumBounded(search.offsets.data(), probes, candidates[entry], best.score);
        if (sum < best.score) best = {sum, candidates[entry]};
    }
    return true;
}

void FillEngine::SearchRandom(EntrySearch& search, std::uint32_t state) const {
    search.randomStart = state;
    search.randomEnd = state;
    BestMatch& best = search.best;
    if (best.score == 0) return;
    if (search.withinGuard) {
        RandomSearchState phase{best.score, -1, state};
        RunRandomSearch(kernel_, SearchInput(search.probes), phase);
        search.randomEnd = phase.randomState;
        if (phase.chosen >= 0)
            best = {phase.score, sourcePoints[static_cast<std::size_t>(phase.chosen)]};
        return;
    }
    RandomGenerator random;
    random.Seed(state);
    ScoreRandomCandidatesBounded(search.offsets.data(), search.probes, random, best);
    search.randomEnd = random.state();
}

void FillEngine::CommitSearch(const EntrySearch& search) {
    PixelStatus& status = *statusGrid.At(search.target);
    status.known = 1;
    *known_.At(search.target) = 1;
    const std::uint8_t* chosen = sourceGrid.At(search.best.position);
    std::uint8_t* pixel = workGrid.At(search.target);
    pixel[0] = chosen[0];
    pixel[1] = chosen[1];
    pixel[2] = chosen[2];
    status.filled = 1;
    status.source = search.best.position;
}

}  // namespace velmora
