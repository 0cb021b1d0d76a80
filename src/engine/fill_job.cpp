#include "fill_job.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "fill_engine.h"
#include "parallel_fill.h"
#include "usable_cores.h"

namespace velmora {

namespace {

constexpr std::int32_t kWorkMargin = 50;

// Lists the pixels to fill (row-major) and the usable source pixels; turns the source mask into
// "non-zero = usable".
void ListPixels(FillEngine& engine) {
    engine.statusGrid.SetSize(engine.workGrid.width(), engine.workGrid.height(), 1);
    engine.markedPoints.clear();
    engine.markedPoints.shrink_to_fit();
    // Room for the fill order, which visits every marked pixel twice, so that it never moves.
    const auto marked = static_cast<std::size_t>(std::count_if(
        engine.maskGrid.begin(), engine.maskGrid.end(), [](std::uint8_t b) { return b != 0; }));
    engine.markedPoints.reserve(2 * marked);
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
    // Exactly the room needed: growing by doubling would hold up to twice the list, and three
    // times while it moves.
    engine.sourcePoints.shrink_to_fit();
    engine.sourcePoints.reserve(static_cast<std::size_t>(
        std::count_if(engine.sourceMaskGrid.begin(), engine.sourceMaskGrid.end(),
                      [](std::uint8_t b) { return b != 255; })));
    for (std::int32_t y = 0; y < engine.sourceMaskGrid.height(); ++y) {
        for (std::int32_t x = 0; x < engine.sourceMaskGrid.width(); ++x) {
            std::uint8_t& usable = *engine.sourceMaskGrid.At({x, y});
            usable = static_cast<std::uint8_t>(255 - usable);
            if (usable != 0) engine.sourcePoints.push_back({x, y});
        }
    }
}

}  // namespace

bool PrepareFillJob(FillEngine& engine, FillJob& job, FillRect& workRect) {
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

    BuildOffsetList(engine.offsetList, std::min(engine.sourceGrid.width(), engine.workGrid.width()),
                    std::min(engine.sourceGrid.height(), engine.workGrid.height()));
    BuildDifferenceTable(engine.differenceTable);
    engine.BuildFillOrder();
    engine.triedGrid.SetSize(engine.sourceGrid.width(), engine.sourceGrid.height(), 1);
    engine.triedGrid.Fill(-1);
    engine.StartSearches();
    return true;
}

namespace {

void FillLoop(FillEngine& engine, FillJob& job, const FillRect& workRect) {
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

FillRect WorkRectangle(const FillRect& selectionBounds, std::int32_t pictureWidth,
                       std::int32_t pictureHeight) {
    // In 64 bits: an outline given on the command line may reach to the ends of the 32-bit range.
    const std::int64_t x = std::max<std::int64_t>(std::int64_t{selectionBounds.x} - kWorkMargin, 0);
    const std::int64_t y = std::max<std::int64_t>(std::int64_t{selectionBounds.y} - kWorkMargin, 0);
    std::int64_t width = std::int64_t{selectionBounds.width} + 2 * kWorkMargin;
    std::int64_t height = std::int64_t{selectionBounds.height} + 2 * kWorkMargin;
    if (x + width > pictureWidth) width = pictureWidth - x;
    if (y + height > pictureHeight) height = pictureHeight - y;
    // Every value now lies in the 32-bit range: x and y at most the bounds' own, the sizes at most
    // the picture's (or below zero when the selection lies wholly beyond the picture).
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
            static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

std::int64_t ProgressStep(std::int64_t length) {
    return std::max<std::int64_t>(length / 100, 1);
}

void RunFillJob(FillEngine& engine, FillJob& job) {
    job.busy->store(true, std::memory_order_release);
    job.stats = {};
    try {
        FillRect workRect;
        if (PrepareFillJob(engine, job, workRect)) {
            const int threads = job.threads > 0 ? job.threads : UsableCores();
            if (threads > 1)
                RunParallelFillLoop(engine, job, workRect, threads);
            else
                FillLoop(engine, job, workRect);
            job.image->WriteColour(workRect, engine.workGrid, WriteBack::Final);
        }
    } catch (const std::bad_alloc&) {
        // A buffer too large for memory ends the job early, with nothing more written; the
        // receiver learns of it from the stats.
        job.stats.outOfMemory = true;
    }
    // What only the searches of this job need.
    engine.FinishSearches();
    engine.offsetList.Release();
    engine.triedGrid.Release();
    job.busy->store(false, std::memory_order_release);
    job.post(ID_FILL_FINISHED);
}

void RunFillJob(FillJob& job) {
    RunFillJob(SharedFillEngine(), job);
}

int FillThreadProc(FillJob* job) {
    RunFillJob(*job);
    return 0;
}

FillEngine& SharedFillEngine() {
    static FillEngine engine;
    return engine;
}

std::uint32_t CalendarSeconds() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

}  // namespace velmora
