// Projects the parallel fill's speed to more processors than this machine has, from real cases.
//
// For each case it measures the wall time of the fill on 1, 2 and 3 threads (interleaved, the
// fastest of --repeat runs), and the time of the job without its loop (a job stopped before its
// first entry). It then replays the fill as it runs on T threads (its batches are as large as
// for T threads, so it redoes and sets aside exactly what a T-thread fill does) on the threads
// this machine has, --repeat times, recording how long each search (each stretch of a search done
// again at a commit, each progress write-back) took and how long the calling thread worked alone.
// Scheduling those recorded pieces on P processors, each round's items going to whichever
// processor is free first as the claim word hands them out, gives the loop's time on P processors;
// the rounds' hand-over costs are not modelled. Each replay is set against a one-thread fill
// measured just before it, and the median of those speed-ups is reported. The model is checked
// against the measured 2- and 3-thread runs (scheduled on the 2 processors here).
//
// usage: velmora-bench-project [--only TEXT] [--repeat N] [--photos DIR]...

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <queue>
#include <string>
#include <vector>

#include "bench_scenes.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "engine/parallel_fill.h"
#include "processor_probe.h"

namespace velmora::bench {

namespace {

struct Options : CaseChoice {
    Options() : CaseChoice(3) {}
};

double WallSeconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Measured {
    double seconds = 0;
    double threadSeconds = 0;  // processor time of the calling thread
    FillJobStats stats;
    ByteGrid picture;
};

Measured RunOnce(const BenchCase& c, const CaseInputs& inputs, int threads, bool stopAtOnce,
                 FillTrace* trace) {
    CaseJob run(c, inputs);
    run.job.threads = threads;
    run.job.trace = trace;
    run.stop = stopAtOnce;
    Measured m;
    const double processorStart = ThreadSeconds();
    m.seconds = WallSeconds([&] {
        FillEngine engine;
        RunFillJob(engine, run.job);
    });
    m.threadSeconds = ThreadSeconds() - processorStart;
    m.stats = run.job.stats;
    m.picture = std::move(run.image.pixels());
    return m;
}

// When each processor is free next, earliest first.
using FreeTimes = std::priority_queue<double, std::vector<double>, std::greater<>>;

// The makespan of one round's items on `processors`, each item handed out in order to the
// processor free first.
double RoundMicros(const std::vector<float>& items, int processors) {
    FreeTimes free;
    for (int p = 0; p < processors; ++p) free.push(0.0);
    double end = 0;
    for (const float item : items) {
        const double itemEnd = free.top() + item;
        free.pop();
        free.push(itemEnd);
        end = std::max(end, itemEnd);
    }
    return end;
}

// A batch's rounds: a helper takes the write-back up as the batch starts while the calling thread
// files the batch's pixels; each processor claims a run, searches its neighbours and then does
// its random phases, once every earlier run's neighbour searches and the filing have ended (a
// search done again alongside also waits for every entry up to its last near one); the commits
// wait for the write-back as well.
double BatchRoundsMicros(const FillTrace::Batch& batch, int processors) {
    FreeTimes free;
    if (processors == 1) {
        free.push(batch.writeBackMicros + batch.filingMicros);
    } else {
        free.push(batch.writeBackMicros);
        free.push(batch.filingMicros);
        for (int p = 2; p < processors; ++p) free.push(0.0);
    }
    const auto entries = static_cast<std::int64_t>(batch.randomMicros.size());
    std::vector<double> endsSoFar(batch.randomMicros.size());  // [k]: the last of entries 0..k
    double searchesEnd = batch.filingMicros;                   // of every run claimed so far
    double end = batch.writeBackMicros;
    auto wait = batch.randomWaits.begin();
    for (std::size_t run = 0; run < batch.neighbourMicros.size(); ++run) {
        const double begin = free.top();
        free.pop();
        const double searched = begin + batch.neighbourMicros[run];
        double at = std::max(searched, searchesEnd);
        searchesEnd = std::max(searchesEnd, searched);
        const auto first = static_cast<std::int64_t>(run) * kNeighbourRun;
        for (std::int64_t k = first; k < std::min(first + kNeighbourRun, entries); ++k) {
            if (wait != batch.randomWaits.end() && wait->item == k) {
                at = std::max(at, endsSoFar[static_cast<std::size_t>(wait->after)]);
                ++wait;
            }
            at += batch.randomMicros[static_cast<std::size_t>(k)];
            endsSoFar[static_cast<std::size_t>(k)] =
                std::max(k > 0 ? endsSoFar[static_cast<std::size_t>(k - 1)] : 0.0, at);
        }
        free.push(at);
        end = std::max(end, at);
    }
    return end;
}

struct Projection {
    double loopSeconds = 0;
    double idleShare = 0;  // of the processors' time in the rounds, waiting for the last item
};

Projection Project(const FillTrace& trace, int processors) {
    double alone = 0;
    double roundMicros = 0;
    double againMicros = 0;  // the rounds of searches done again, of roundMicros
    double work = 0;
    std::size_t searchedAgain = 0;
    double writeBacks = 0;
    double againWork = 0;
    double roundsWithoutWriteBacks = 0;
    const bool detail = std::getenv("VELMORA_PROJECT_DETAIL") != nullptr;
    for (const FillTrace::Batch& batch : trace.batches) {
        alone += batch.aloneMicros;
        roundMicros += BatchRoundsMicros(batch, processors);
        if (detail) {
            FillTrace::Batch without = batch;
            without.writeBackMicros = 0;
            roundsWithoutWriteBacks += BatchRoundsMicros(without, processors);
        }
        work += batch.writeBackMicros + batch.filingMicros;
        writeBacks += batch.writeBackMicros;
        for (const std::vector<float>& search : batch.extraRoundMicros) {
            againMicros += RoundMicros(search, processors);
            for (const float t : search) {
                work += t;
                againWork += t;
            }
        }
        searchedAgain += batch.extraRoundMicros.size();
        for (const float t : batch.neighbourMicros) work += t;
        for (const float t : batch.randomMicros) work += t;
    }
    roundMicros += againMicros;
    if (detail) {
        std::fprintf(stderr,
                     "P=%d batches=%zu work=%.3fs alone=%.3fs rounds=%.3fs (of them %zu searches "
                     "done again %.3fs, idle %.1f%%), write-backs %.3fs, idle in the batches' "
                     "rounds %.1f%% (%.3fs without the write-backs)\n",
                     processors, trace.batches.size(), work * 1e-6, alone * 1e-6,
                     roundMicros * 1e-6, searchedAgain, againMicros * 1e-6,
                     againMicros > 0 ? 100.0 * (1 - againWork / (againMicros * processors)) : 0.0,
                     writeBacks * 1e-6,
                     100.0 * (1 - (work - againWork) / ((roundMicros - againMicros) * processors)),
                     roundsWithoutWriteBacks * 1e-6);
    }
    Projection p;
    p.loopSeconds = (alone + roundMicros) * 1e-6;
    p.idleShare = roundMicros > 0 ? 1.0 - work / (roundMicros * processors) : 0;
    return p;
}

bool SamePixels(const ByteGrid& a, const ByteGrid& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.begin(), a.end(), b.begin());
}

std::vector<BenchCase> Cases(const Options& options) {
    std::vector<BenchCase> cases;
    for (const std::string& directory : options.photoDirectories) {
        for (const char* file :
             {"ladybird.jpg", "meadow.jpg", "coffee.jpg", "chelsea.jpg", "rocket.jpg"}) {
            std::optional<ByteGrid> photo = LoadPicture(directory + "/" + file);
            if (!photo) continue;
            const auto picture = std::make_shared<const ByteGrid>(std::move(*photo));
            for (const SelectionSize size : {SelectionSize::Third, SelectionSize::Medium}) {
                BenchCase c;
                c.name = std::string("photo ") + file + " " + SelectionName(size);
                if (!options.only.empty() && c.name.find(options.only) == std::string::npos)
                    continue;
                c.group = "photo";
                c.picture = picture;
                c.selection = CentredSelection(picture->width(), picture->height(), size);
                cases.push_back(std::move(c));
            }
        }
    }
    return cases;
}

int Main(const Options& options) {
    const int here = 2;  // the processors the check schedules on
    std::printf("%s\n\n", DescribeProcessors().c_str());
    std::printf(
        "| case | entries | 1 thread s | 2 threads s | 3 threads s | measured 2 / 1 | 1 thread "
        "processor s | projected 2 on 2 | projected 3 on 2 | redone %% (2 / 8 / 16) | set aside %% "
        "(2 / 8 / 16) | idle %% at "
        "8 | projected 4 | projected 8 | projected 16 |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|---:|---:|---:|---:|\n");
    bool identical = true;
    for (const BenchCase& c : Cases(options)) {
        const CaseInputs inputs = BuildInputs(c);
        std::array<Measured, 4> best{};
        for (int r = 0; r < options.repeat; ++r) {
            for (int threads = 1; threads <= 3; ++threads) {
                Measured m = RunOnce(c, inputs, threads, false, nullptr);
                Measured& kept = best[static_cast<std::size_t>(threads)];
                if (r == 0 || m.seconds < kept.seconds) kept = std::move(m);
            }
        }
        identical = identical && SamePixels(best[1].picture, best[2].picture) &&
                    SamePixels(best[1].picture, best[3].picture);
        // In processor time, like the recorded pieces: what the job costs without its loop.
        double setup = 1e9;
        for (int r = 0; r < options.repeat; ++r)
            setup = std::min(setup, RunOnce(c, inputs, 1, true, nullptr).threadSeconds);

        // Replays of the fills for 2, 3, 4, 8 and 16 threads on the threads here. The machine's
        // speed drifts (other programs, other virtual machines on the host), so every replay is
        // compared with a one-thread fill (processor time) measured right before it, and the
        // median of the --repeat ratios counts.
        struct Replay {
            double speedUp = 0;
            double oneProcessor = 0;
            double seconds = 0;      // projected on its own thread count
            double secondsHere = 0;  // projected on the processors here
            double idleShare = 0;
        };
        std::array<Replay, 17> median{};
        std::array<double, 17> redone{};
        std::array<double, 17> aside{};
        std::vector<double> oneProcessorTimes;
        for (const int threads : {2, 3, 4, 8, 16}) {
            std::vector<Replay> replays;
            for (int r = 0; r < options.repeat; ++r) {
                const double oneProcessor = RunOnce(c, inputs, 1, false, nullptr).threadSeconds;
                oneProcessorTimes.push_back(oneProcessor);
                FillTrace trace;
                trace.batchThreads = threads;
                const Measured m = RunOnce(c, inputs, here, false, &trace);
                identical = identical && SamePixels(m.picture, best[1].picture);
                const double entries =
                    static_cast<double>(std::max<std::int64_t>(m.stats.entriesFilled, 1));
                redone[threads] = 100.0 * m.stats.searchesRedone / entries;
                aside[threads] = 100.0 * m.stats.searchesDiscarded / entries;
                const Projection p = Project(trace, threads);
                const double seconds = setup + p.loopSeconds;
                if (std::getenv("VELMORA_PROJECT_DETAIL") != nullptr)
                    std::fprintf(stderr,
                                 "  %d threads: setup %.3fs, one thread %.3fs, speed-up %.2f\n",
                                 threads, setup, oneProcessor, oneProcessor / seconds);
                replays.push_back({oneProcessor / seconds, oneProcessor, seconds,
                                   setup + Project(trace, here).loopSeconds, p.idleShare});
            }
            std::sort(replays.begin(), replays.end(),
                      [](const Replay& a, const Replay& b) { return a.speedUp < b.speedUp; });
            median[static_cast<std::size_t>(threads)] = replays[replays.size() / 2];
        }
        std::sort(oneProcessorTimes.begin(), oneProcessorTimes.end());
        const double oneProcessor = oneProcessorTimes[oneProcessorTimes.size() / 2];
        const double projected2On2 = median[2].seconds;
        const double projected3On2 = median[3].secondsHere;
        const double idleAt8 = median[8].idleShare;
        const double one = best[1].seconds;
        std::printf(
            "| %s | %lld | %.3f | %.3f | %.3f | %.2f | %.3f | %.3f | %.3f | %.2f / %.2f / %.2f | "
            "%.2f / "
            "%.2f / %.2f | %.1f | %.2f | %.2f | %.2f |\n",
            c.name.c_str(), static_cast<long long>(best[1].stats.entriesFilled), one,
            best[2].seconds, best[3].seconds, one / best[2].seconds, oneProcessor, projected2On2,
            projected3On2, redone[2], redone[8], redone[16], aside[2], aside[8], aside[16],
            100.0 * idleAt8, median[4].speedUp, median[8].speedUp, median[16].speedUp);
        std::fflush(stdout);
    }
    std::printf("\nevery thread count gave the one-thread picture: %s\n", identical ? "yes" : "NO");
    return identical ? 0 : 1;
}

}  // namespace

}  // namespace velmora::bench

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    velmora::bench::Options options;
    for (int i = 1; i < argc; ++i) {
        if (!options.Read(i, argc, argv)) {
            std::fprintf(stderr,
                         "usage: velmora-bench-project [--only TEXT] [--repeat N] [--photos "
                         "DIR]...\n");
            return 2;
        }
    }
    return velmora::bench::Main(options);
}
