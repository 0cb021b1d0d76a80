#include "fill_engine.h"

#include <utility>

namespace velmora {

namespace {
constexpr int kRandomCandidates = 500;
}

FillEngine::FillEngine() : neighbours_(std::make_unique<NeighbourSet>()) {}

void FillEngine::BuildFillOrder() {
    const auto n = static_cast<std::uint32_t>(markedPoints.size());
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint32_t k = random.RandomIndex(n);
        std::swap(markedPoints[j], markedPoints[k]);
    }
    markedPoints.reserve(2 * static_cast<std::size_t>(n));
    for (std::uint32_t j = 0; j < n; ++j) markedPoints.push_back(markedPoints[j]);
}

void FillEngine::GatherNeighbours(GridPoint target) {
    NeighbourSet& set = *neighbours_;
    set.count = 0;
    for (const GridPoint offset : offsetList) {
        const GridPoint p = target + offset;
        if (!statusGrid.Contains(p)) continue;
        const PixelStatus& status = *statusGrid.At(p);
        if (status.known == 0) continue;
        const std::uint8_t* colour = workGrid.At(p);
        const auto entry = static_cast<std::size_t>(set.count);
        set.offset[entry] = offset;
        set.status[entry] = &status;
        set.colour[entry] = {colour[0], colour[1], colour[2]};
        if (++set.count == NeighbourSet::kMaxCount) return;
    }
}

void FillEngine::SynthesizePixel(std::int32_t index) {
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    PixelStatus& targetStatus = *statusGrid.At(target);
    targetStatus.known = 1;

    GatherNeighbours(target);
    const NeighbourSet& set = *neighbours_;
    bestMatch_.score = BestMatch::kUnscored;

    // Candidates suggested by the neighbours' own matches, shifted back by their offsets.
    for (std::int32_t j = 0; j < set.count && bestMatch_.score != 0; ++j) {
        const PixelStatus& status = *set.status[static_cast<std::size_t>(j)];
        if (status.filled == 0) continue;
        const GridPoint candidate = status.source - set.offset[static_cast<std::size_t>(j)];
        if (!IsUsableSource(candidate)) continue;
        std::int32_t& tried = *triedGrid.At(candidate);
        if (tried == index) continue;
        ScoreCandidate(candidate);
        tried = index;
    }

    const auto sourceCount = static_cast<std::uint32_t>(sourcePoints.size());
    for (int draw = 0; draw < kRandomCandidates && bestMatch_.score != 0; ++draw)
        ScoreCandidate(sourcePoints[random.RandomIndex(sourceCount)]);

    const std::uint8_t* chosen = sourceGrid.At(bestMatch_.position);
    std::uint8_t* pixel = workGrid.At(target);
    pixel[0] = chosen[0];
    pixel[1] = chosen[1];
    pixel[2] = chosen[2];
    targetStatus.filled = 1;
    targetStatus.source = bestMatch_.position;
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
