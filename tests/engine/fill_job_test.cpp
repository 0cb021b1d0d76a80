#include "engine/fill_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

#include "engine/bgr_image.h"
#include "engine/fill_engine.h"
#include "engine_test_pictures.h"

namespace velmora {
namespace {

using testing::NoisePicture;
using testing::RectMask;

// A fill job on an in-memory picture, run on the calling thread, recording what it posts.
struct JobRun {
    BgrImage image;
    ByteGrid original;
    ByteGrid fillMask;
    ByteGrid sourceMask;
    std::atomic<bool> busy{false};
    std::atomic<bool> stopRequested{false};
    std::vector<int> posted;
    std::vector<bool> busyWhenPosted;
    FillEngine engine;
    FillJob job;

    JobRun(std::int32_t width, std::int32_t height, const FillRect& selection,
           std::uint32_t seed = 1)
        : image(NoisePicture(width, height, 11)) {
        original = NoisePicture(width, height, 11);
        fillMask = RectMask(width, height, selection, 255);
        sourceMask = RectMask(width, height, {0, 0, width, height}, 0);
        for (std::size_t i = 0; i < sourceMask.size(); ++i)
            if (fillMask.data()[i] != 0) sourceMask.data()[i] = 255;
        job.image = &image;
        job.fillMask = &fillMask;
        job.sourceMask = &sourceMask;
        job.selectionBounds = selection;
        job.sourceRect = {0, 0, width, height};
        job.busy = &busy;
        job.stopRequested = &stopRequested;
        job.seedClock = [seed] { return seed; };
        job.post = [this](int command) {
            posted.push_back(command);
            busyWhenPosted.push_back(busy.load());
        };
    }

    void Run() { RunFillJob(engine, job); }

    [[nodiscard]] long Count(int command) const {
        return std::count(posted.begin(), posted.end(), command);
    }
    [[nodiscard]] bool Unchanged(GridPoint p) const {
        return std::equal(original.At(p), original.At(p) + 3, image.pixels().At(p));
    }
    [[nodiscard]] bool PictureUnchanged() const {
        return std::equal(original.begin(), original.end(), image.pixels().begin());
    }
    void ExpectFinishedOnceAndLast() const {
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(Count(ID_FILL_FINISHED), 1);
        EXPECT_EQ(posted.back(), ID_FILL_FINISHED);
        EXPECT_FALSE(busyWhenPosted.back()) << "busy is cleared before the finish is posted";
        EXPECT_FALSE(busy.load());
    }
};

TEST(WorkRectangle, WidensByFiftyKeepingWidthAtTheLeftAndClippingAtTheRight) {
    EXPECT_EQ(WorkRectangle({100, 80, 60, 40}, 400, 300), (FillRect{50, 30, 160, 140}));
    EXPECT_EQ(WorkRectangle({10, 20, 40, 40}, 400, 300), (FillRect{0, 0, 140, 140}));
    EXPECT_EQ(WorkRectangle({350, 250, 50, 50}, 400, 300), (FillRect{300, 200, 100, 100}));
}

TEST(ProgressStep, IsAHundredthOrOneForShortOrders) {
    EXPECT_EQ(ProgressStep(10000), 100);
    EXPECT_EQ(ProgressStep(199), 1);
    EXPECT_EQ(ProgressStep(42), 1);
    EXPECT_EQ(ProgressStep(0), 1);
}

TEST(FillJob, CompleteJobFillsOnlyMarkedPixelsVisitingEachTwice) {
    const FillRect selection{20, 15, 12, 10};
    JobRun run(64, 48, selection);
    run.Run();
    run.ExpectFinishedOnceAndLast();
    EXPECT_EQ(run.job.stats.marked, 120);
    EXPECT_EQ(run.job.stats.entriesFilled, 240);
    EXPECT_EQ(run.Count(ID_FILL_PROGRESS), 120) << "240 entries, a report every second one";
    int changed = 0;
    for (std::int32_t y = 0; y < 48; ++y)
        for (std::int32_t x = 0; x < 64; ++x) {
            const bool marked = *run.fillMask.At({x, y}) != 0;
            if (marked) {
                changed += run.Unchanged({x, y}) ? 0 : 1;
            } else {
                EXPECT_TRUE(run.Unchanged({x, y})) << x << "," << y;
            }
        }
    EXPECT_GT(changed, 100) << "noise cannot be rebuilt unchanged";
    // Every marked pixel ends with the colour of its last match.
    const FillRect work = WorkRectangle(selection, 64, 48);
    for (const GridPoint p : run.engine.markedPoints) {
        const PixelStatus& status = *run.engine.statusGrid.At(p);
        EXPECT_EQ(status.filled, 1);
        EXPECT_TRUE(std::equal(run.engine.sourceGrid.At(status.source),
                               run.engine.sourceGrid.At(status.source) + 3,
                               run.image.pixels().At({p.x + work.x, p.y + work.y})));
    }
}

TEST(FillJob, ProgressStepsCoverLongOrders) {
    JobRun run(200, 150, {60, 40, 80, 70});  // 5600 marked, 11200 entries, a report every 112
    run.Run();
    run.ExpectFinishedOnceAndLast();
    EXPECT_EQ(run.Count(ID_FILL_PROGRESS), 100);
}

TEST(FillJob, EarlyFinishesWriteNothing) {
    struct Case {
        const char* name;
        void (*arrange)(JobRun&);
    };
    const Case cases[] = {
        {"no marked pixel", [](JobRun& r) { r.fillMask.Fill(0); }},
        {"no usable source", [](JobRun& r) { r.sourceMask.Fill(255); }},
        {"source rectangle leaves the picture",
         [](JobRun& r) {
             r.job.sourceRect = {-10, 20, 80, 40};
         }},
        {"source rectangle without area",
         [](JobRun& r) {
             r.job.sourceRect = {5, 5, 0, 10};
         }},
        {"no picture", [](JobRun& r) { r.job.image = nullptr; }},
        {"no mask", [](JobRun& r) { r.job.fillMask = nullptr; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JobRun run(96, 72, {40, 30, 12, 12});
        c.arrange(run);
        run.Run();
        run.ExpectFinishedOnceAndLast();
        EXPECT_EQ(run.Count(ID_FILL_PROGRESS), 0);
        EXPECT_TRUE(run.PictureUnchanged());
    }
}

TEST(FillJob, StopBeforeTheFirstEntryPostsNoProgress) {
    JobRun run(96, 72, {40, 30, 12, 12});
    run.stopRequested = true;
    run.Run();
    run.ExpectFinishedOnceAndLast();
    EXPECT_EQ(run.Count(ID_FILL_PROGRESS), 0);
    EXPECT_EQ(run.job.stats.entriesFilled, 0);
    EXPECT_TRUE(run.PictureUnchanged());
}

TEST(FillJob, StopMidwayKeepsWhatWasFilledAndLeavesTheRest) {
    JobRun run(200, 150, {60, 40, 80, 70});
    int reports = 0;
    std::vector<bool> writtenAtReport;
    run.job.post = [&](int command) {
        run.posted.push_back(command);
        run.busyWhenPosted.push_back(run.busy.load());
        // The progress write-back reaches the picture before each report.
        if (command == ID_FILL_PROGRESS && ++reports == 20) run.stopRequested = true;
    };
    run.Run();
    run.ExpectFinishedOnceAndLast();
    const std::int64_t done = run.job.stats.entriesFilled;
    EXPECT_EQ(done, 19 * 112 + 1) << "the stop is noticed before the next entry";
    const FillRect work = WorkRectangle({60, 40, 80, 70}, 200, 150);
    for (std::int64_t i = 0; i < 5600; ++i) {
        const GridPoint p = run.engine.markedPoints[static_cast<std::size_t>(i)];
        const GridPoint inPicture{p.x + work.x, p.y + work.y};
        const PixelStatus& status = *run.engine.statusGrid.At(p);
        if (i < done) {
            ASSERT_EQ(status.filled, 1);
            EXPECT_TRUE(std::equal(run.engine.sourceGrid.At(status.source),
                                   run.engine.sourceGrid.At(status.source) + 3,
                                   run.image.pixels().At(inPicture)));
        } else {
            EXPECT_TRUE(run.Unchanged(inPicture)) << "entry " << i << " was not reached";
        }
    }
}

TEST(FillJob, SameSeedSamePixelsOtherSeedOtherPixels) {
    JobRun first(80, 60, {30, 20, 15, 15}, 7);
    JobRun second(80, 60, {30, 20, 15, 15}, 7);
    JobRun other(80, 60, {30, 20, 15, 15}, 8);
    first.Run();
    second.Run();
    other.Run();
    const auto& a = first.image.pixels();
    EXPECT_TRUE(std::equal(a.begin(), a.end(), second.image.pixels().begin()));
    EXPECT_FALSE(std::equal(a.begin(), a.end(), other.image.pixels().begin()));
}

// A picture whose buffers cannot be allocated.
class ExhaustedImage final : public FillImage {
  public:
    std::int32_t Width() const override { return 100; }
    std::int32_t Height() const override { return 100; }
    bool ReadColour(const FillRect&, ByteGrid&) override { throw std::bad_alloc(); }
    bool WriteColour(const FillRect&, const ByteGrid&, WriteBack) override {
        ++writes;
        return true;
    }
    int writes = 0;
};

TEST(FillJob, AllocationFailureEndsTheJobLikeAnEarlyFinish) {
    JobRun run(100, 100, {40, 40, 10, 10});
    ExhaustedImage exhausted;
    run.job.image = &exhausted;
    run.Run();
    run.ExpectFinishedOnceAndLast();
    EXPECT_EQ(exhausted.writes, 0);
    EXPECT_TRUE(run.job.stats.outOfMemory);
}

TEST(FillJob, CompleteJobIsNotReportedOutOfMemory) {
    JobRun run(80, 60, {30, 20, 15, 15});
    run.Run();
    EXPECT_GT(run.job.stats.marked, 0);
    EXPECT_FALSE(run.job.stats.outOfMemory);
}

}  // namespace
}  // namespace velmora
