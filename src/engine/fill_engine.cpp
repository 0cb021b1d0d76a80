#include "fill_engine.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace velmora {

namespace {

// How many entries ahead the one-at-a-time fill starts fetching an entry's neighbourhood.
constexpr std::int64_t kPrefetchDistance = 3;

}  // namespace

FillEngine::FillEngine()
    : neighbours_(std::make_unique<NeighbourSet>()), kernel_(FastestSupportedKernel()) {}

void FillEngine::BuildFillOrder() {
    const auto n = static_cast<std::uint32_t>(markedPoints.size());
    const std::uint64_t modulus = FastModulus(n);
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint32_t high = random.Draw();
        const std::uint32_t low = random.Draw();
        const std::uint32_t k = FastRemainder(high * 32768u + low, n, modulus);
        std::swap(markedPoints[j], markedPoints[k]);
    }
    markedPoints.reserve(2 * static_cast<std::size_t>(n));
    for (std::uint32_t j = 0; j < n; ++j) markedPoints.push_back(markedPoints[j]);
}

void FillEngine::StartSearches() {
    source_.Build(sourceGrid, sourceMaskGrid, sourcePoints);
    known_.SetSize(statusGrid.width(), statusGrid.height(), 1);
    std::transform(statusGrid.begin(), statusGrid.end(), known_.begin(),
                   [](const PixelStatus& status) { return status.known; });
    sourceModulus_ = FastModulus(std::max<std::uint32_t>(source_.positionCount(), 1));
    // Random reads miss the caches once the packed words and positions outgrow the second level.
    constexpr std::size_t kCachedBytes = std::size_t{1} << 20;
    prefetch_ = source_.Bytes() > kCachedBytes;
    // The vector kernels also sum the cost of the words' fourth byte, a difference of 0.
    costBytesValid_ = differenceTable[0] == 0;
    for (int d = 0; d < 256; ++d) {
        const std::int32_t cost = differenceTable[d];
        costBytesValid_ =
            costBytesValid_ && cost == differenceTable[-d] && cost >= 0 && cost < 65536;
        costLowBytes_[static_cast<std::size_t>(d)] = static_cast<std::uint8_t>(cost & 0xFF);
        costHighBytes_[static_cast<std::size_t>(d)] = static_cast<std::uint8_t>((cost >> 8) & 0xFF);
    }
}

void FillEngine::FinishSearches() {
    source_.Release();
    known_.Release();
}

void FillEngine::GatherNeighbours(GridPoint target) {
    NeighbourSet& set = *neighbours_;
    set.count = 0;
    const std::int32_t width = statusGrid.width();
    const std::int32_t height = statusGrid.height();
    // During a job the walk reads the dense copy of the known flags: a far walk touches twelve
    // times fewer cache lines than in the status records.
    if (known_.width() == width && known_.height() == height && width > 0) {
        std::int32_t found = 0;
        for (std::size_t i = 0;;) {
            i = WalkKnown(WalkedFlags(), target, offsetList.Generated(), i, set.offset.data(),
                          found, NeighbourSet::kMaxCount, VectorWalk());
            if (found == NeighbourSet::kMaxCount || !offsetList.Extend()) break;
        }
        set.count = found;
        for (std::int32_t j = 0; j < found; ++j) {
            const auto entry = static_cast<std::size_t>(j);
            const GridPoint p = target + set.offset[entry];
            const std::uint8_t* colour = workGrid.At(p);
            set.status[entry] = statusGrid.At(p);
            set.colour[entry] = {colour[0], colour[1], colour[2]};
        }
        return;
    }
    for (std::size_t i = 0;; ++i) {
        if (i == offsetList.Generated().size() && !offsetList.Extend()) return;
        const GridPoint offset = offsetList.Generated()[i];
        const GridPoint p = target + offset;
        if (!statusGrid.Contains(p) || statusGrid.At(p)->known == 0) continue;
        const std::uint8_t* colour = workGrid.At(p);
        const auto entry = static_cast<std::size_t>(set.count);
        set.offset[entry] = offset;
        set.status[entry] = statusGrid.At(p);
        set.colour[entry] = {colour[0], colour[1], colour[2]};
        if (++set.count == NeighbourSet::kMaxCount) return;
    }
}

void FillEngine::SynthesizePixel(std::int32_t index) {
    if (!source_.empty()) {
        Synthesize(index);
        return;
    }
    StartSearches();
    Synthesize(index);
    FinishSearches();
}

void FillEngine::Synthesize(std::int32_t index) {
    PrefetchEntry(std::int64_t{index} + kPrefetchDistance);
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    PixelStatus& targetStatus = *statusGrid.At(target);
    targetStatus.known = 1;
    *known_.At(target) = 1;

    GatherNeighbours(target);
    PrepareProbes();
    bestMatch_.score = BestMatch::kUnscored;
    ScoreNeighbourCandidates(index);
    if (bestMatch_.score != 0) ScoreRandomCandidates();

    // From the packed words: the search has just read the chosen pixel's neighbours there, so
    // its line is at hand, where the source grid's is not.
    const std::uint32_t chosen = source_.At(source_.Index(bestMatch_.position));
    std::uint8_t* pixel = workGrid.At(target);
    pixel[0] = static_cast<std::uint8_t>(chosen);
    pixel[1] = static_cast<std::uint8_t>(chosen >> 8);
    pixel[2] = static_cast<std::uint8_t>(chosen >> 16);
    targetStatus.filled = 1;
    targetStatus.source = bestMatch_.position;
}

void FillEngine::PrepareProbes() {
    const NeighbourSet& set = *neighbours_;
    probes_.count = std::max(set.count - 1, 0);
    probesWithinGuard_ = true;
    for (std::int32_t j = 1; j < set.count; ++j) {
        const auto entry = static_cast<std::size_t>(j);
        const GridPoint offset = set.offset[entry];
        if (std::abs(offset.x) > SourcePixels::kGuard || std::abs(offset.y) > SourcePixels::kGuard)
            probesWithinGuard_ = false;
        probes_.delta[entry - 1] = offset.y * source_.stride() + offset.x;
        probes_.colour[entry - 1] = PackColour(set.colour[entry].data());
    }
}

// Candidates suggested by the neighbours' own matches, shifted back by their offsets.
void FillEngine::ScoreNeighbourCandidates(std::int32_t index) {
    const NeighbourSet& set = *neighbours_;
    // The candidates in the order they are scored: each usable one once (a repeat would find its
    // own stamp), so that their sums can be computed together.
    std::array<GridPoint, NeighbourSet::kMaxCount> candidates;
    std::array<std::int32_t, NeighbourSet::kMaxCount> positions;
    int count = 0;
    for (std::int32_t j = 0; j < set.count; ++j) {
        const PixelStatus& status = *set.status[static_cast<std::size_t>(j)];
        if (status.filled == 0) continue;
        const GridPoint candidate = status.source - set.offset[static_cast<std::size_t>(j)];
        if (!source_.Contains(candidate) ||
            (source_.At(source_.Index(candidate)) & kUsableWordBits) == 0)
            continue;
        if (*triedGrid.At(candidate) == index ||
            std::find(candidates.begin(), candidates.begin() + count, candidate) !=
                candidates.begin() + count)
            continue;
        candidates[static_cast<std::size_t>(count)] = candidate;
        positions[static_cast<std::size_t>(count)] = source_.Index(candidate);
        ++count;
    }
    std::array<std::int32_t, NeighbourSet::kMaxCount> sums;
    const bool summed = probesWithinGuard_ && ComputeFullSums(kernel_, SearchInput(),
                                                              positions.data(), count, sums.data());
    for (int c = 0; c < count && bestMatch_.score != 0; ++c) {
        const auto entry = static_cast<std::size_t>(c);
        const std::int32_t sum =
            summed ? sums[entry]
            : probesWithinGuard_
                ? SumWithinGuard(probes_, positions[entry], bestMatch_.score)
                : SumBounded(&set.offset[1], probes_, candidates[entry], bestMatch_.score);
        if (sum < bestMatch_.score) bestMatch_ = {sum, candidates[entry]};
        *triedGrid.At(candidates[entry]) = index;
    }
}

void FillEngine::ScoreRandomCandidates() {
    if (probesWithinGuard_) {
        const RandomSearchInput input = SearchInput();
        RandomSearchState state{bestMatch_.score, -1, random.state()};
        RunRandomSearch(kernel_, input, state);
        random.Seed(state.randomState);
        if (state.chosen >= 0)
            bestMatch_ = {state.score, sourcePoints[static_cast<std::size_t>(state.chosen)]};
        return;
    }
    ScoreRandomCandidatesBounded(&neighbours_->offset[1], probes_, random, bestMatch_);
}

void FillEngine::ScoreRandomCandidatesBounded(const GridPoint* offsets, const ProbeSet& probes,
                                              RandomGenerator& generator, BestMatch& best,
                                              int candidates) const {
    const auto sourceCount = static_cast<std::uint32_t>(sourcePoints.size());
    for (int draw = 0; draw < candidates && best.score != 0; ++draw) {
        const std::uint32_t high = generator.Draw();
        const std::uint32_t low = generator.Draw();
        const GridPoint candidate =
            sourcePoints[FastRemainder(high * 32768u + low, sourceCount, sourceModulus_)];
        const std::int32_t sum = SumBounded(offsets, probes, candidate, best.score);
        if (sum < best.score) best = {sum, candidate};
    }
}

RandomSearchInput FillEngine::SearchInput() const {
    return SearchInput(probes_);
}

RandomSearchInput FillEngine::SearchInput(const ProbeSet& probes) const {
    return {source_.pixels(),
            source_.positions(),
            source_.positionCount(),
            sourceModulus_,
            differenceTable.Centre(),
            costBytesValid_ ? costLowBytes_.data() : nullptr,
            costBytesValid_ ? costHighBytes_.data() : nullptr,
            3 * differenceTable[DifferenceTable::kUncomparable],
            &probes,
            kRandomCandidates,
            prefetch_};
}

// The sum of a usable candidate whose neighbours all lie within the guard border, stopping once
// it reaches `best`.
std::int32_t FillEngine::SumWithinGuard(const ProbeSet& probes, std::int32_t position,
                                        std::int32_t best) const {
    const std::int32_t* costs = differenceTable.Centre();
    const std::int32_t uncomparable = 3 * differenceTable[DifferenceTable::kUncomparable];
    std::int32_t sum = 0;
    for (std::int32_t j = 0; j < probes.count && sum < best; ++j) {
        const auto entry = static_cast<std::size_t>(j);
        const std::uint32_t word = source_.At(position + probes.delta[entry]);
        const std::uint32_t colour = probes.colour[entry];
        if ((word & kUsableWordBits) == 0) {
            sum += uncomparable;
            continue;
        }
        for (int shift = 0; shift < 24; shift += 8)
            sum += costs[static_cast<int>((colour >> shift) & 0xFF) -
                         static_cast<int>((word >> shift) & 0xFF)];
    }
    return sum;
}

// The same for any usable candidate, testing each neighbour position against the grid's bounds;
// `offsets` are the probes' neighbour offsets.
std::int32_t FillEngine::SumBounded(const GridPoint* offsets, const ProbeSet& probes,
                                    GridPoint candidate, std::int32_t best) const {
    const std::int32_t* costs = differenceTable.Centre();
    const std::int32_t uncomparable = 3 * differenceTable[DifferenceTable::kUncomparable];
    std::int32_t sum = 0;
    for (std::int32_t j = 0; j < probes.count && sum < best; ++j) {
        const auto entry = static_cast<std::size_t>(j);
        const GridPoint s = candidate + offsets[entry];
        const std::uint32_t word = source_.Contains(s) ? source_.At(source_.Index(s)) : 0u;
        if ((word & kUsableWordBits) == 0) {
            sum += uncomparable;
            continue;
        }
        const std::uint32_t colour = probes.colour[entry];
        for (int shift = 0; shift < 24; shift += 8)
            sum += costs[static_cast<int>((colour >> shift) & 0xFF) -
                         static_cast<int>((word >> shift) & 0xFF)];
    }
    return sum;
}

void FillEngine::ScoreCandidate(GridPoint candidate) {
    const NeighbourSet& set = *neighbours_;
    const std::int32_t uncomparableCost = 3 * differenceTable[DifferenceTable::kUncomparable];
    std::int32_t sum = 0;
    for (std::int32_t j = 0; j < set.count; ++j) {
        const auto entry = static_cast<std::size_t>(j);
        const GridPoint s = candidate + set.offset[entry];
        if (!IsUsableSource(s)) {
            sum += uncomparableCost;
        } else if (j != 0) {
            const std::uint8_t* source = sourceGrid.At(s);
            const auto& colour = set.colour[entry];
            for (int k = 0; k < 3; ++k) sum += differenceTable[colour[k] - source[k]];
        }
        if (sum >= bestMatch_.score) return;
    }
    bestMatch_.score = sum;
    bestMatch_.position = candidate;
}

}  // namespace velmora
