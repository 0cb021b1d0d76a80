#include "engine/reference/reference_fill_engine.h"

#include <algorithm>
#include <new>
#include <tuple>
#include <utility>

namespace velmora::reference {

namespace {

constexpr int kRandomCandidates = 500;
constexpr std::int32_t kUnscored = 1 << 30;

void ListPixels(ReferenceFillEngine& engine) {
    engine.statusGrid.SetSize(engine.workGrid.width(), engine.workGrid.height(), 1);
    engine.markedPoints.clear();
    for (std::int32_t y = 0; y < engine.maskGrid.height(); ++y) {
        for (std::int32_t x = 0; x < engine.maskGrid.width(); ++x) {
            const bool marked = *engine.maskGrid.At({x, y}) != 0;
            PixelStatus& status = *engine.statusGrid.At({x, y});
            status.filled = 0;
            status.known = marked ? 0 : 1;
            if (marked) engine.markedPoints.push_back({x, y});
        }
    }
    engine.sourcePoints.clear();
    for (std::int32_t y = 0; y < engine.sourceMaskGrid.height(); ++y) {
        for (std::int32_t x = 0; x < engine.sourceMaskGrid.width(); ++x) {
            std::uint8_t& usable = *engine.sourceMaskGrid.At({x, y});
            usable = static_cast<std::uint8_t>(255 - usable);
            if (usable != 0) engine.sourcePoints.push_back({x, y});
        }
    }
}

bool PrepareJob(ReferenceFillEngine& engine, FillJob& job, FillRect& workRect) {
    if (job.image == nullptr || job.fillMask == nullptr || job.sourceMask == nullptr) return false;
    workRect = WorkRectangle(job.selectionBounds, job.image->Width(), job.image->Height());
    if (!job.image->ReadColour(workRect, engine.workGrid)) return false;
    if (!ReadMaskArea(*job.fillMask, workRect, engine.maskGrid)) return false;
    if (!job.image->ReadColour(job.sourceRect, engine.sourceGrid)) return false;
    if (!ReadMaskArea(*job.sourceMask, job.sourceRect, engine.sourceMaskGrid)) return false;

    engine.random.Seed(job.seedClock ? job.seedClock() : CalendarSeconds());
    ListPixels(engine);
    job.stats.marked = static_cast<std::int64_t>(engine.markedPoints.size());
    job.stats.sources = static_cast<std::int64_t>(engine.sourcePoints.size());
    if (engine.markedPoints.empty() || engine.sourcePoints.empty()) return false;

    BuildReferenceOffsetList(engine.offsetList,
                             std::min(engine.sourceGrid.width(), engine.workGrid.width()),
                             std::min(engine.sourceGrid.height(), engine.workGrid.height()));
    BuildDifferenceTable(engine.differenceTable);
    engine.BuildFillOrder();
    engine.triedGrid.SetSize(engine.sourceGrid.width(), engine.sourceGrid.height(), 1);
    engine.triedGrid.Fill(-1);
    return true;
}

void FillLoop(ReferenceFillEngine& engine, FillJob& job, const FillRect& workRect) {
    const auto length = static_cast<std::int64_t>(engine.markedPoints.size());
    const std::int64_t step = ProgressStep(length);
    for (std::int64_t i = 0; i < length; ++i) {
        if (job.stopRequested->load(std::memory_order_acquire)) break;
        if (i % step == 0) {
            job.image->WriteColour(workRect, engine.workGrid, WriteBack::Progress);
            ++job.stats.progressReports;
            job.post(ID_FILL_PROGRESS);
        }
        engine.SynthesizePixel(static_cast<std::int32_t>(i));
        ++job.stats.entriesFilled;
    }
}

}  // namespace

void BuildReferenceOffsetList(std::vector<GridPoint>& offsets, std::int32_t width,
                              std::int32_t height) {
    offsets.clear();
    for (std::int32_t dy = 1 - height; dy <= height - 1; ++dy) {
        for (std::int32_t dx = 1 - width; dx <= width - 1; ++dx) offsets.push_back({dx, dy});
    }
    const auto key = [](GridPoint o) {
        return std::tuple{
            static_cast<std::int64_t>(o.x) * o.x + static_cast<std::int64_t>(o.y) * o.y, o.y, o.x};
    };
    std::sort(offsets.begin(), offsets.end(),
              [&key](GridPoint a, GridPoint b) { return key(a) < key(b); });
}

ReferenceFillEngine::ReferenceFillEngine() : neighbours_(std::make_unique<ReferenceNeighbours>()) {}

void ReferenceFillEngine::BuildFillOrder() {
    const auto n = static_cast<std::uint32_t>(markedPoints.size());
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint32_t k = random.RandomIndex(n);
        std::swap(markedPoints[j], markedPoints[k]);
    }
    markedPoints.reserve(2 * static_cast<std::size_t>(n));
    for (std::uint32_t j = 0; j < n; ++j) markedPoints.push_back(markedPoints[j]);
}

void ReferenceFillEngine::GatherNeighbours(GridPoint target) {
    ReferenceNeighbours& set = *neighbours_;
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
        if (++set.count == ReferenceNeighbours::kMaxCount) return;
    }
}

void ReferenceFillEngine::SynthesizePixel(std::int32_t index) {
    const GridPoint target = markedPoints[static_cast<std::size_t>(index)];
    PixelStatus& targetStatus = *statusGrid.At(target);
    targetStatus.known = 1;

    GatherNeighbours(target);
    const ReferenceNeighbours& set = *neighbours_;
    bestScore_ = kUnscored;

    for (std::int32_t j = 0; j < set.count && bestScore_ != 0; ++j) {
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
    for (int draw = 0; draw < kRandomCandidates && bestScore_ != 0; ++draw)
        ScoreCandidate(sourcePoints[random.RandomIndex(sourceCount)]);

    const std::uint8_t* chosen = sourceGrid.At(bestPosition_);
    std::uint8_t* pixel = workGrid.At(target);
    pixel[0] = chosen[0];
    pixel[1] = chosen[1];
    pixel[2] = chosen[2];
    targetStatus.filled = 1;
    targetStatus.source = bestPosition_;
}

void ReferenceFillEngine::ScoreCandidate(GridPoint candidate) {
    const ReferenceNeighbours& set = *neighbours_;
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
        if (sum >= bestScore_) return;
    }
    bestScore_ = sum;
    bestPosition_ = candidate;
}

void RunReferenceFillJob(ReferenceFillEngine& engine, FillJob& job) {
    job.busy->store(true, std::memory_order_release);
    job.stats = {};
    try {
        FillRect workRect;
        if (PrepareJob(engine, job, workRect)) {
            FillLoop(engine, job, workRect);
            job.image->WriteColour(workRect, engine.workGrid, WriteBack::Final);
        }
    } catch (const std::bad_alloc&) {
        job.stats.outOfMemory = true;
    }
    engine.triedGrid.Release();
    engine.offsetList = {};
    job.busy->store(false, std::memory_order_release);
    job.post(ID_FILL_FINISHED);
}

}  // namespace velmora::reference
