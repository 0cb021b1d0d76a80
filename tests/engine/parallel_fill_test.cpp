// The fill on several threads against the one-thread fill and the reference engine: the same
// pixels, the same progress pictures and the same picture after a stop, whatever the count.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/bgr_image.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "engine/parallel_fill.h"
#include "engine/reference/reference_fill_engine.h"
#include "engine/source_pixels.h"
#include "generated_jobs.h"

namespace velmora {
namespace {

using testing::Dice;
using testing::Inputs;
using testing::JobRig;
using testing::Outcome;

constexpr int kMostThreads = 8;

Outcome RunThreads(const Inputs& in, int threads, std::optional<int> stopAfter = std::nullopt,
                   bool keepProgress = false) {
    return testing::Run(
        in,
        [threads](FillJob& job) {
            FillEngine engine;
            job.threads = threads;
            RunFillJob(engine, job);
            return testing::FillOrderOf(engine.markedPoints);
        },
        stopAfter, keepProgress);
}

Outcome RunReference(const Inputs& in) {
    return testing::Run(in, [](FillJob& job) {
        reference::ReferenceFillEngine engine;
        reference::RunReferenceFillJob(engine, job);
        return testing::FillOrderOf(engine.markedPoints);
    });
}

bool SamePixels(const ByteGrid& a, const ByteGrid& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.begin(), a.end(), b.begin());
}

void ExpectSame(const Outcome& out, const Outcome& expected) {
    EXPECT_EQ(out.stats.marked, expected.stats.marked);
    EXPECT_EQ(out.stats.sources, expected.stats.sources);
    EXPECT_EQ(out.stats.progressReports, expected.stats.progressReports);
    EXPECT_EQ(out.stats.entriesFilled, expected.stats.entriesFilled);
    EXPECT_TRUE(out.fillOrder == expected.fillOrder) << "fill order";
    EXPECT_TRUE(SamePixels(out.picture, expected.picture)) << "final picture";
}

void ExpectSameProgress(const Outcome& out, const Outcome& expected) {
    ASSERT_EQ(out.progressPictures.size(), expected.progressPictures.size());
    for (std::size_t p = 0; p < out.progressPictures.size(); ++p)
        EXPECT_TRUE(SamePixels(out.progressPictures[p], expected.progressPictures[p]))
            << "progress picture " << p;
}

// A rectangular hole of the given size with a frame of known pixels around it.
Inputs Hole(std::uint32_t seed, std::int32_t holeWidth, std::int32_t holeHeight) {
    Dice dice(seed);
    Inputs in;
    const FillRect hole{18, 15, holeWidth, holeHeight};
    const std::int32_t width = hole.width + 36;
    const std::int32_t height = hole.height + 30;
    in.picture = testing::MakePicture(dice, width, height);
    in.selectionBounds = hole;
    in.fillMask.SetSize(width, height, 1);
    in.fillMask.Fill(0);
    in.sourceMask.SetSize(width, height, 1);
    in.sourceMask.Fill(0);
    for (std::int32_t y = hole.y; y < hole.y + hole.height; ++y)
        for (std::int32_t x = hole.x; x < hole.x + hole.width; ++x)
            *in.fillMask.At({x, y}) = *in.sourceMask.At({x, y}) = 255;
    in.sourceRect = {0, 0, width, height};
    in.seed = dice.Next();
    in.description = "hole " + std::to_string(holeWidth) + "x" + std::to_string(holeHeight) +
                     " seed " + std::to_string(seed);
    return in;
}

// A hole far wider than the search's guard border: early walks deep inside it reach far, beyond
// the offsets generated so far.
Inputs DeepHole(std::uint32_t seed) {
    return Hole(seed, 2 * SourcePixels::kGuard + 8, 2 * SourcePixels::kGuard + 4);
}

struct Totals {
    std::int64_t redone = 0;
    std::int64_t redoneAfterAll = 0;
    std::int64_t redoneAlongside = 0;
    std::int64_t discarded = 0;
    std::int64_t batches = 0;

    void Add(const FillJobStats& stats) {
        redone += stats.searchesRedone;
        redoneAfterAll += stats.searchesRedoneAfterAll;
        redoneAlongside += stats.searchesRedoneAlongside;
        discarded += stats.searchesDiscarded;
        batches += stats.batches;
    }
};

// Every count of `counts` against one thread and, when `withReference`, the reference engine.
void ExpectSameAtThreadCounts(const Inputs& in, const std::vector<int>& counts, Totals& totals,
                              bool withReference = true) {
    SCOPED_TRACE(in.description);
    const Outcome one = RunThreads(in, 1, std::nullopt, true);
    if (withReference) ExpectSame(one, RunReference(in));
    for (const int threads : counts) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const Outcome out = RunThreads(in, threads, std::nullopt, true);
        ExpectSame(out, one);
        ExpectSameProgress(out, one);
        totals.Add(out.stats);
    }
}

TEST(ParallelFill, EveryThreadCountGivesTheOneThreadAndReferencePixels) {
    Totals totals;
    // Every count from 2 to 8 (beyond the processors of most machines) over the cases.
    for (std::uint32_t caseSeed = 201; caseSeed <= 215; ++caseSeed) {
        const int middle = 3 + static_cast<int>(caseSeed % 5);
        ExpectSameAtThreadCounts(testing::MakeInputs(caseSeed), {2, middle, kMostThreads}, totals);
    }
    // Each path of the commit must have been taken, or the cases prove little.
    EXPECT_GT(totals.batches, 1000);
    EXPECT_GT(totals.redone, 0) << "entries that read what an earlier entry of their batch wrote";
    EXPECT_GT(totals.discarded, 0) << "random phases that ended early on a perfect score";
}

// (The one-thread fill of such holes is checked against the reference engine elsewhere.)
TEST(ParallelFill, DeepHolesGiveTheOneThreadPixels) {
    Totals totals;
    ExpectSameAtThreadCounts(DeepHole(3), {3, kMostThreads}, totals, false);
    EXPECT_GT(totals.redone, 0);
    EXPECT_GT(totals.redoneAfterAll, 0) << "walks that could not finish or reached many entries";
}

// A traced fill, as the projection replays it: batches as large as for 8 threads on 2, the same
// picture, one random piece per entry, neighbour pieces for runs of entries, and every piece
// timed.
TEST(ParallelFill, TracedFillsRecordEveryEntryAndKeepThePixels) {
    const Inputs in = Hole(7, 60, 50);
    const Outcome one = RunThreads(in, 1);
    FillTrace trace;
    trace.batchThreads = kMostThreads;
    double wallMicros = 0;
    const Outcome traced = testing::Run(in, [&](FillJob& job) {
        FillEngine engine;
        job.threads = 2;
        job.trace = &trace;
        const auto start = std::chrono::steady_clock::now();
        RunFillJob(engine, job);
        wallMicros =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        return testing::FillOrderOf(engine.markedPoints);
    });
    ExpectSame(traced, one);
    ASSERT_EQ(static_cast<std::int64_t>(trace.batches.size()), traced.stats.batches);
    std::int64_t entries = 0;
    double micros = 0;
    double random = 0;
    for (const FillTrace::Batch& batch : trace.batches) {
        const auto size = static_cast<std::int64_t>(batch.randomMicros.size());
        entries += size;
        EXPECT_LE(size, 2 * 48 * kMostThreads) << "no batch beyond the size for 8 threads";
        EXPECT_GE(batch.neighbourMicros.size() * 4, batch.randomMicros.size());
        EXPECT_LT(batch.neighbourMicros.size(), batch.randomMicros.size() / 2 + 1);
        for (const float t : batch.neighbourMicros) micros += t;
        for (const float t : batch.randomMicros) {
            EXPECT_GE(t, 0.0f);
            random += t;
        }
    }
    EXPECT_EQ(entries, traced.stats.entriesFilled);
    EXPECT_GT(trace.batches.size(), 10u);
    EXPECT_GT(micros, 0.0) << "the neighbour searches are timed";
    EXPECT_GT(random, 0.0) << "the random phases are timed";
    // In microseconds: the two threads cannot have worked longer than the fill lasted.
    EXPECT_LT(micros + random, 2 * wallMicros);
}

// A long fill, whose progress steps hold many batches each: the batch that starts a step is then
// larger than the others (with 2 threads, 100 steps of at least 8 batches of 96 entries need
// 76,800 entries; this hole has 80,000), and the random phases search again what must be searched
// again, except in a batch whose progress write-back was not reported yet.
TEST(ParallelFill, LongFillsGiveTheOneThreadPixels) {
    Totals totals;
    const Inputs in = Hole(5, 200, 200);
    ExpectSameAtThreadCounts(in, {2, 5}, totals, false);
    EXPECT_GT(totals.redoneAlongside, 0) << "searched again during the random phases";

    // Each search done again at its commit instead, its random phase in stretches.
    const Outcome one = RunThreads(in, 1);
    for (const int threads : {2, 5}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, searched again at the commits");
        FillTrace trace;
        trace.searchAgainAtCommits = true;
        const Outcome out = testing::Run(in, [&](FillJob& job) {
            FillEngine engine;
            job.threads = threads;
            job.trace = &trace;
            RunFillJob(engine, job);
            return testing::FillOrderOf(engine.markedPoints);
        });
        ExpectSame(out, one);
        EXPECT_GT(out.stats.searchesRedone, 0);
        EXPECT_EQ(out.stats.searchesRedoneAlongside, 0);
    }
}

TEST(ParallelFill, AStopAtAProgressStepKeepsTheOneThreadPicture) {
    for (std::uint32_t caseSeed = 231; caseSeed <= 234; ++caseSeed) {
        const Inputs in = testing::MakeInputs(caseSeed);
        SCOPED_TRACE(in.description);
        for (const int stopAfter : {1, 17, 60}) {
            const Outcome one = RunThreads(in, 1, stopAfter);
            for (const int threads : {2, 3, kMostThreads}) {
                SCOPED_TRACE(std::to_string(threads) + " threads, stop after " +
                             std::to_string(stopAfter));
                ExpectSame(RunThreads(in, threads, stopAfter), one);
            }
        }
    }
}

// The picture of a one-thread fill after its first `entries` entries.
ByteGrid OneThreadPrefix(const Inputs& in, std::int64_t entries) {
    JobRig rig(in);
    BgrImage& image = rig.image;
    FillJob& job = rig.job;
    FillEngine engine;
    FillRect workRect;
    if (PrepareFillJob(engine, job, workRect)) {
        for (std::int64_t i = 0; i < entries; ++i)
            engine.SynthesizePixel(static_cast<std::int32_t>(i));
        image.WriteColour(workRect, engine.workGrid, WriteBack::Final);
        engine.FinishSearches();
    }
    return std::move(image.pixels());
}

// A job stopped from another thread at random moments (after a random number of progress reports
// and a random pause): whatever it got to, the picture is the one-thread picture after as many
// entries.
// Returns how many stops landed inside the fill; `alongside` adds up the searches done again
// alongside the random phases before the stops.
int StopAtRandomMoments(const Inputs& in, Dice& dice, int runs, std::int64_t& alongside) {
    int midway = 0;
    for (int run = 0; run < runs; ++run) {
        const int threads = 2 + run % (kMostThreads - 1);
        SCOPED_TRACE(std::to_string(threads) + " threads, run " + std::to_string(run));
        JobRig rig(in);
        BgrImage& image = rig.image;
        FillJob& job = rig.job;
        std::atomic<bool>& busy = rig.busy;
        std::atomic<bool>& stop = rig.stop;
        std::atomic<int> reports{0};
        job.post = [&reports](int command) {
            if (command == ID_FILL_PROGRESS) ++reports;
        };
        job.threads = threads;
        FillEngine engine;
        busy = true;  // as the document raises it, before the worker starts
        std::thread worker([&] { RunFillJob(engine, job); });
        const int stopAfter = dice.Between(1, 60);
        while (reports < stopAfter && busy) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(dice.Between(0, 2000)));
        stop = true;
        worker.join();
        const std::int64_t entries = job.stats.entriesFilled;
        if (entries > 0 && entries < 2 * job.stats.marked) ++midway;
        alongside += job.stats.searchesRedoneAlongside;
        EXPECT_TRUE(SamePixels(image.pixels(), OneThreadPrefix(in, entries)))
            << "after " << entries << " entries";
    }
    return midway;
}

TEST(ParallelFill, AStopAtARandomMomentKeepsTheOneThreadPrefix) {
    Dice dice(77);
    std::int64_t alongside = 0;
    EXPECT_GT(StopAtRandomMoments(Hole(5, 56, 44), dice, 8, alongside), 0)
        << "some stops must land inside the fill";
}

// A stop that comes while searches are done again alongside the random phases: the entries they
// committed early (the ones their walks read) are kept, and the batch ends after the last of them
// with every entry before it committed. The hole is large enough for a progress step to hold
// several batches (only batches without a progress write-back search again alongside).
TEST(ParallelFill, AStopAmongSearchesDoneAlongsideKeepsTheOneThreadPrefix) {
    Dice dice(91);
    std::int64_t alongside = 0;
    EXPECT_GT(StopAtRandomMoments(Hole(11, 100, 100), dice, 14, alongside), 0);
    EXPECT_GT(alongside, 0);
}

}  // namespace
}  // namespace velmora
