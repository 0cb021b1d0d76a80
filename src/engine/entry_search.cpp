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

// The order of the offset list: nearer first, then by row, then by column.
bool WalkOrderBefore(GridPoint a, GridPoint b) {
    const std::int64_t da = SquaredLength(a);
    const std::int64_t db = SquaredLength(b);
    if (da != db) return da < db;
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

// The last pending fill of `pixel` (a pixel may be filled twice), if any.
const PendingFill* FindPending(std::span<const PendingFill> pending, GridPoint pixel) {
    for (auto fill = pending.rbegin(); fill != pending.rend(); ++fill)
        if (fill->pixel == pixel) return &*fill;
    return nullptr;
}

}  // namespace

bool FillEngine::SearchNeighbours(std::int32_t index, EntrySearch& search) const {
    if (!WalkNeighbourhood(index, search)) return false;
    ReadNeighbours(search);
    ScoreNeighbourProposals(search);
    return true;
}

bool FillEngine::WalkNeighbourhood(std::int32_t index, EntrySearch& search) const {
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    const std::span<const GridPoint> offsets = offsetList.Generated();
    // The list starts with (0, 0): the target, which its own search makes known, comes first. A
    // walk that ran out of offsets goes on where it stopped.
    const bool resumed = search.walkedTo > 0 && search.index == index;
    std::int32_t found = resumed ? search.probes.count : 0;
    std::size_t i = resumed ? static_cast<std::size_t>(search.walkedTo) : 1;
    search.index = index;
    search.target = target;
    search.walkedTo = 0;
    i = WalkKnown(WalkedFlags(), target, offsets, i, search.offsets.data(), found,
                  ProbeSet::kCapacity, VectorWalk());
    if (found < ProbeSet::kCapacity && !offsetList.Complete()) {
        search.probes.count = found;
        search.walkedTo = static_cast<std::int64_t>(i);
        return false;
    }
    search.probes.count = found;
    search.reachSquare =
        i < offsets.size() ? SquaredLength(offsets[i]) : std::numeric_limits<std::int64_t>::max();
    return true;
}

void FillEngine::WalkAgain(EntrySearch& search, std::span<const GridPoint> filledSince) const {
    std::array<GridPoint, ProbeSet::kCapacity>& nearest = search.offsets;
    std::int32_t found = search.probes.count;
    // A walk that found all its neighbours looked no farther than the last of them; one that
    // found fewer went through every offset.
    const bool walkEnded = found == ProbeSet::kCapacity;
    const GridPoint farthest = walkEnded ? nearest.back() : GridPoint{};
    for (const GridPoint p : filledSince) {
        const GridPoint offset = p - search.target;
        if (offset == GridPoint{} || (walkEnded && WalkOrderBefore(farthest, offset))) continue;
        const auto end = nearest.begin() + found;
        const auto at = std::lower_bound(nearest.begin(), end, offset, WalkOrderBefore);
        if (at != end && *at == offset) continue;  // known before, only its colour changed
        if (at == nearest.begin() + ProbeSet::kCapacity) continue;
        std::copy_backward(at, std::min(end, nearest.end() - 1), std::min(end + 1, nearest.end()));
        *at = offset;
        found = std::min<std::int32_t>(found + 1, ProbeSet::kCapacity);
    }
    search.probes.count = found;
    search.reachSquare = found == ProbeSet::kCapacity ? SquaredLength(nearest.back())
                                                      : std::numeric_limits<std::int64_t>::max();
}

void FillEngine::ReadNeighbours(EntrySearch& search, std::span<const PendingFill> pending) const {
    ProbeSet& probes = search.probes;
    search.withinGuard = true;
    for (std::int32_t j = 0; j < probes.count; ++j) {
        const auto probe = static_cast<std::size_t>(j);
        const GridPoint offset = search.offsets[probe];
        const GridPoint pixel = search.target + offset;
        probes.delta[probe] = offset.y * source_.stride() + offset.x;
        const PendingFill* fill = FindPending(pending, pixel);
        probes.colour[probe] =
            PackColour(fill != nullptr ? sourceGrid.At(fill->source) : workGrid.At(pixel));
        if (std::abs(offset.x) > SourcePixels::kGuard || std::abs(offset.y) > SourcePixels::kGuard)
            search.withinGuard = false;
    }
}

void FillEngine::ScoreNeighbourProposals(EntrySearch& search,
                                         std::span<const PendingFill> pending) const {
    const GridPoint target = search.target;
    const ProbeSet& probes = search.probes;

    // The candidates the neighbours (the target first) propose, each usable one once, in the
    // order they are scored.
    std::array<GridPoint, NeighbourSet::kMaxCount> candidates;
    std::array<std::int32_t, NeighbourSet::kMaxCount> positions;
    int candidateCount = 0;
    for (std::int32_t j = 0; j <= probes.count; ++j) {
        const GridPoint offset =
            j == 0 ? GridPoint{} : search.offsets[static_cast<std::size_t>(j - 1)];
        const PixelStatus& status = *statusGrid.At(target + offset);
        const PendingFill* fill = FindPending(pending, target + offset);
        if (fill == nullptr && status.filled == 0) continue;
        const GridPoint candidate = (fill != nullptr ? fill->source : status.source) - offset;
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

RandomStretch FillEngine::SearchRandomStretch(const EntrySearch& search, std::uint32_t state,
                                              int first, int count) const {
    const std::uint32_t start = RandomJump::Of(2 * static_cast<std::uint32_t>(first)).Apply(state);
    RandomStretch stretch;
    stretch.best.score = search.best.score;
    if (search.withinGuard) {
        RandomSearchInput input = SearchInput(search.probes);
        input.draws = count;
        RandomSearchState phase{search.best.score, -1, start};
        RunRandomSearch(kernel_, input, phase);
        stretch.randomEnd = phase.randomState;
        if (phase.chosen >= 0)
            stretch.best = {phase.score, sourcePoints[static_cast<std::size_t>(phase.chosen)]};
        return stretch;
    }
    RandomGenerator random;
    random.Seed(start);
    ScoreRandomCandidatesBounded(search.offsets.data(), search.probes, random, stretch.best, count);
    stretch.randomEnd = random.state();
    return stretch;
}

// Every stretch started from the neighbours' best, so the whole phase's first strictly best
// candidate is the first stretch's best that beats everything before it; the first sum of 0 ends
// the phase there.
void FillEngine::FinishRandomPhase(EntrySearch& search, std::uint32_t state,
                                   std::span<const RandomStretch> stretches) {
    search.randomStart = state;
    search.randomEnd = state;
    BestMatch& best = search.best;
    if (best.score == 0) return;
    for (const RandomStretch& stretch : stretches) {
        search.randomEnd = stretch.randomEnd;
        if (stretch.best.score < best.score) best = stretch.best;
        if (best.score == 0) return;
    }
}

void FillEngine::PrefetchNeighbours(const EntrySearch& search) const {
    for (std::int32_t j = 0; j < search.probes.count; ++j) {
        const GridPoint p = search.target + search.offsets[static_cast<std::size_t>(j)];
        __builtin_prefetch(statusGrid.At(p));
        __builtin_prefetch(workGrid.At(p));
    }
}

void FillEngine::PrefetchEntry(std::int64_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= markedPoints.size()) return;
    // The nearest offsets of a walk lie within two rows and columns of the target.
    constexpr std::int32_t kReach = 2;
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    const std::int32_t left = std::max(target.x - kReach, 0);
    const std::int32_t right = std::min(target.x + kReach, statusGrid.width() - 1);
    const std::int32_t top = std::max(target.y - kReach, 0);
    const std::int32_t bottom = std::min(target.y + kReach, statusGrid.height() - 1);
    for (std::int32_t y = top; y <= bottom; ++y) {
        if (known_.width() == statusGrid.width() && known_.height() == statusGrid.height()) {
            __builtin_prefetch(known_.At({left, y}));
            __builtin_prefetch(known_.At({right, y}));
        }
        __builtin_prefetch(workGrid.At({left, y}));
        __builtin_prefetch(workGrid.At({right, y}) + 2);
        __builtin_prefetch(statusGrid.At({left, y}));
        __builtin_prefetch(statusGrid.At({target.x, y}));
        __builtin_prefetch(statusGrid.At({right, y}) + 1);
    }
}

void FillEngine::PrefetchCommit(const EntrySearch& search) const {
    __builtin_prefetch(statusGrid.At(search.target), 1);
    __builtin_prefetch(known_.At(search.target), 1);
    __builtin_prefetch(workGrid.At(search.target), 1);
    if (sourceGrid.Contains(search.best.position))
        __builtin_prefetch(sourceGrid.At(search.best.position));
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
