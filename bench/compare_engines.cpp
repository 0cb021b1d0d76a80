// Runs the production engine and the straightforward reference engine side by side on the same
// jobs, checks that their pictures are identical (and equal to the known result for reference
// fills) and prints a Markdown table of times (processor time of the job's thread; both engines on
// one thread), time per fill-order entry and peak heap.
//
// With --threads it compares the production engine on several thread counts instead: wall times
// side by side, peak heap and identical pictures; unless --no-reference, the straightforward
// engine takes its turn as well (on the wall clock, one thread) and its time is set against the
// last count's. --big adds the photograph at 24 and 48 megapixels.
//
// usage: velmora-bench-compare [--quick] [--only TEXT] [--kernel portable|avx2|avx512]
//                              [--no-reference] [--repeat N] [--threads N,N...] [--big]
//                              [--photos DIR]...

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench_scenes.h"
#include "engine/bgr_image.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "engine/reference/reference_fill_engine.h"
#include "heap_meter.h"
#include "processor_probe.h"

namespace velmora::bench {

namespace {

struct Options : CaseChoice {
    Options() : CaseChoice(1) {}
    bool quick = false;
    bool reference = true;
    std::optional<SearchKernel> kernel;
    std::vector<int> threads;  // when set: wall times of these thread counts side by side
    bool big = false;          // add the 24 and 48 megapixel photographs
};

struct RunResult {
    double seconds = 0;
    std::int64_t entries = 0;
    std::int64_t peakBytes = 0;
    ByteGrid picture;
};

// The calling thread's processor time: unlike the wall clock it does not count the time other
// programs on a shared machine take, and the jobs run on this thread.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename RunJob>
RunResult Run(const BenchCase& c, const CaseInputs& inputs, RunJob runJob) {
    CaseJob run(c, inputs);

    const std::int64_t before = ReadHeap().inUse;
    ResetHeapPeak();
    const double start = ThreadSeconds();
    runJob(run.job);
    const double end = ThreadSeconds();
    RunResult result;
    result.seconds = end - start;
    result.peakBytes = ReadHeap().peak - before;
    result.entries = run.job.stats.entriesFilled;
    result.picture = std::move(run.image.pixels());
    return result;
}

template <typename RunOnce>
RunResult Fastest(int repeat, RunOnce runOnce) {
    RunResult best = runOnce();
    for (int i = 1; i < repeat; ++i) {
        RunResult next = runOnce();
        if (next.seconds < best.seconds) best = std::move(next);
    }
    return best;
}

bool SamePixels(const ByteGrid& a, const ByteGrid& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.begin(), a.end(), b.begin());
}

double Megabytes(std::int64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

class Table {
  public:
    void Header(bool reference) {
        if (reference) {
            std::printf(
                "| case | picture | entries | reference s | fast s | ratio | reference µs/entry | "
                "fast µs/entry | reference peak MB | fast peak MB | identical |\n");
            std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
        } else {
            std::printf("| case | picture | entries | fast s | fast µs/entry | fast peak MB |\n");
            std::printf("|---|---|---:|---:|---:|---:|\n");
        }
        std::fflush(stdout);
    }

    void Row(const BenchCase& c, const RunResult& fast, const RunResult* reference,
             const char* verdict) {
        const std::string picture =
            std::to_string(c.picture->width()) + "x" + std::to_string(c.picture->height());
        const double fastPerEntry = fast.entries > 0 ? fast.seconds * 1e6 / fast.entries : 0;
        if (reference == nullptr) {
            std::printf("| %s | %s | %lld | %.3f | %.3f | %.1f |\n", c.name.c_str(),
                        picture.c_str(), static_cast<long long>(fast.entries), fast.seconds,
                        fastPerEntry, Megabytes(fast.peakBytes));
        } else {
            const double ratio = fast.seconds > 0 ? reference->seconds / fast.seconds : 0;
            const double referencePerEntry =
                reference->entries > 0 ? reference->seconds * 1e6 / reference->entries : 0;
            std::printf(
                "| %s | %s | %lld | %.3f | %.4f | %.1f | %.2f | %.3f | %.1f | %.1f | %s |\n",
                c.name.c_str(), picture.c_str(), static_cast<long long>(fast.entries),
                reference->seconds, fast.seconds, ratio, referencePerEntry, fastPerEntry,
                Megabytes(reference->peakBytes), Megabytes(fast.peakBytes), verdict);
            if (fast.entries > 0) minimumRatio_ = std::min(minimumRatio_, ratio);
        }
        std::fflush(stdout);
    }

    [[nodiscard]] double minimumRatio() const { return minimumRatio_; }

  private:
    double minimumRatio_ = 1e9;
};

std::vector<BenchCase> CollectCases(const Options& options) {
    std::vector<BenchCase> cases = ConformanceCases(VELMORA_CONFORMANCE_DIR);
    const auto wanted = [&options](const std::string& name) {
        return options.only.empty() || name.find(options.only) != std::string::npos;
    };
    const std::vector<SelectionSize> sizes{SelectionSize::Small, SelectionSize::Medium,
                                           SelectionSize::Third};
    // Pictures are made only for scenes with a case still wanted.
    const auto sceneWanted = [&](const std::string& name) {
        return std::any_of(sizes.begin(), sizes.end(), [&](SelectionSize size) {
            return wanted(name + " " + SelectionName(size));
        });
    };
    const auto addScene = [&](const std::string& name, const std::string& group,
                              std::shared_ptr<const ByteGrid> picture, bool big,
                              const std::vector<SelectionSize>& sceneSizes) {
        for (const SelectionSize size : sceneSizes) {
            if (options.quick && big && size == SelectionSize::Third) continue;
            BenchCase c;
            c.name = name + " " + SelectionName(size);
            if (!wanted(c.name)) continue;
            c.group = group;
            c.picture = picture;
            c.selection = CentredSelection(picture->width(), picture->height(), size);
            cases.push_back(std::move(c));
        }
    };
    const struct {
        const char* name;
        std::int32_t width;
        std::int32_t height;
    } generated[] = {{"generated 1 MP", 1152, 864},
                     {"generated 4 MP", 2304, 1728},
                     {"generated 9 MP", 3456, 2592}};
    for (const auto& g : generated) {
        const bool big = g.width > 2000;
        if ((options.quick && g.width > 3000) || !sceneWanted(g.name)) continue;
        addScene(g.name, "generated",
                 std::make_shared<const ByteGrid>(GeneratePhotoLike(g.width, g.height, 7)), big,
                 sizes);
    }
    for (const std::string& directory : options.photoDirectories) {
        for (const char* file :
             {"meadow.jpg", "ladybird.jpg", "coffee.jpg", "chelsea.jpg", "rocket.jpg"}) {
            std::optional<ByteGrid> photo = LoadPicture(directory + "/" + file);
            if (!photo) continue;
            const std::string name = std::string("photo ") + file;
            const bool bigWanted = options.big && (sceneWanted("photo meadow.jpg at 24 MP") ||
                                                   wanted("photo meadow.jpg at 24 MP tenth") ||
                                                   sceneWanted("photo meadow.jpg at 48 MP") ||
                                                   wanted("photo meadow.jpg at 48 MP tenth"));
            if (!sceneWanted(name) && !sceneWanted("photo meadow.jpg at 9 MP") && !bigWanted)
                continue;
            if (std::strcmp(file, "meadow.jpg") == 0 && !options.quick &&
                sceneWanted("photo meadow.jpg at 9 MP")) {
                // The same photograph at 9 megapixels: the scale case on a real picture.
                addScene("photo meadow.jpg at 9 MP", "photo",
                         std::make_shared<const ByteGrid>(ScaleToMegapixels(*photo, 9.0)), true,
                         sizes);
            }
            if (options.big && std::strcmp(file, "meadow.jpg") == 0) {
                // Photographs of today's cameras: a tenth of such a picture is a large object.
                for (const double megapixels : {24.0, 48.0}) {
                    const std::string big = "photo meadow.jpg at " +
                                            std::to_string(static_cast<int>(megapixels)) + " MP";
                    if (!sceneWanted(big) && !wanted(big + " tenth")) continue;
                    addScene(
                        big, "photo",
                        std::make_shared<const ByteGrid>(ScaleToMegapixels(*photo, megapixels)),
                        false, {SelectionSize::Small, SelectionSize::Medium, SelectionSize::Tenth});
                }
            }
            addScene(name, "photo", std::make_shared<const ByteGrid>(std::move(*photo)), false,
                     sizes);
        }
    }
    return cases;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The fill on each thread count of the options, side by side: wall times (the fastest of the
// repeats, the counts taking turns so that a busy moment of the machine hits them alike), peak
// heap, and the memory of the whole (picture and job) against the picture and the one-thread job.
int MainThreads(const Options& options) {
    std::printf("%s\n\n", DescribeProcessors().c_str());
    std::printf("| case | picture | entries |");
    for (const int t : options.threads) std::printf(" %d thr s |", t);
    std::printf(" %d / %d |", options.threads.front(), options.threads.back());
    if (options.reference)
        std::printf(" reference s | reference / %d thr |", options.threads.back());
    for (const int t : options.threads) std::printf(" %d thr peak MB |", t);
    std::printf(" memory ratio | identical |\n|---|---|---:|");
    const std::size_t columns = 2 * options.threads.size() + 2 + (options.reference ? 2 : 0);
    for (std::size_t i = 0; i < columns; ++i) std::printf("---:|");
    std::printf("---|\n");
    bool allIdentical = true;
    for (const BenchCase& c : CollectCases(options)) {
        if (c.picture == nullptr || c.group == "conformance") continue;
        const CaseInputs inputs = BuildInputs(c);
        std::vector<RunResult> best(options.threads.size());
        RunResult reference;  // the straightforward engine, on the wall clock as well
        for (int r = 0; r < options.repeat; ++r) {
            for (std::size_t i = 0; i < options.threads.size(); ++i) {
                double start = 0;
                RunResult next = Run(c, inputs, [&](FillJob& job) {
                    FillEngine engine;
                    job.threads = options.threads[i];
                    start = WallSeconds();
                    RunFillJob(engine, job);
                });
                next.seconds = WallSeconds() - start;
                if (r == 0 || next.seconds < best[i].seconds) best[i] = std::move(next);
            }
            if (!options.reference) continue;
            double start = 0;
            RunResult next = Run(c, inputs, [&](FillJob& job) {
                reference::ReferenceFillEngine engine;
                start = WallSeconds();
                reference::RunReferenceFillJob(engine, job);
            });
            next.seconds = WallSeconds() - start;
            if (r == 0 || next.seconds < reference.seconds) reference = std::move(next);
        }
        bool identical = true;
        for (const RunResult& r : best)
            identical = identical && SamePixels(r.picture, best.front().picture) &&
                        r.entries == best.front().entries;
        if (options.reference)
            identical = identical && SamePixels(reference.picture, best.front().picture) &&
                        reference.entries == best.front().entries;
        allIdentical = allIdentical && identical;
        const double picture = static_cast<double>(c.picture->size());
        double worst = 0;
        for (const RunResult& r : best)
            worst = std::max(worst, (picture + static_cast<double>(r.peakBytes)) /
                                        (picture + static_cast<double>(best.front().peakBytes)));
        std::printf("| %s | %dx%d | %lld |", c.name.c_str(), c.picture->width(),
                    c.picture->height(), static_cast<long long>(best.front().entries));
        for (const RunResult& r : best) std::printf(" %.3f |", r.seconds);
        std::printf(" %.2f |", best.front().seconds / best.back().seconds);
        if (options.reference)
            std::printf(" %.3f | %.2f |", reference.seconds,
                        reference.seconds / best.back().seconds);
        for (const RunResult& r : best) std::printf(" %.1f |", Megabytes(r.peakBytes));
        std::printf(" %.2f | %s |\n", worst, identical ? "yes" : "NO");
        std::fflush(stdout);
    }
    std::printf("\nevery thread count%s gave the same picture: %s\n",
                options.reference ? " and the straightforward engine" : "",
                allIdentical ? "yes" : "NO");
    return allIdentical ? 0 : 1;
}

int Main(const Options& options) {
    if (!options.threads.empty()) return MainThreads(options);
    Table table;
    table.Header(options.reference);
    bool allIdentical = true;
    for (const BenchCase& c : CollectCases(options)) {
        if (!options.only.empty() && c.name.find(options.only) == std::string::npos) continue;
        if (c.picture == nullptr) continue;
        const CaseInputs inputs = BuildInputs(c);
        RunResult fast = Fastest(options.repeat, [&] {
            return Run(c, inputs, [&options](FillJob& job) {
                FillEngine engine;
                if (options.kernel) engine.SetSearchKernel(*options.kernel);
                // One thread, as the reference engine: the processor time of the calling thread
                // would leave out the work of any other.
                job.threads = 1;
                RunFillJob(engine, job);
            });
        });
        if (!options.reference) {
            table.Row(c, fast, nullptr, "");
            continue;
        }
        RunResult reference = Fastest(options.repeat, [&] {
            return Run(c, inputs, [](FillJob& job) {
                reference::ReferenceFillEngine engine;
                reference::RunReferenceFillJob(engine, job);
            });
        });
        bool identical =
            SamePixels(fast.picture, reference.picture) && fast.entries == reference.entries;
        const char* verdict = identical ? "yes" : "NO";
        if (identical && c.expected) {
            identical = SamePixels(fast.picture, *c.expected);
            verdict = identical ? "yes, = expected" : "NO: differs from expected";
        }
        allIdentical = allIdentical && identical;
        table.Row(c, fast, &reference, verdict);
    }
    if (options.reference) {
        std::printf("\nsmallest ratio: %.1f; every picture identical: %s\n", table.minimumRatio(),
                    allIdentical ? "yes" : "NO");
    }
    return allIdentical ? 0 : 1;
}

}  // namespace

}  // namespace velmora::bench

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    velmora::bench::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (options.Read(i, argc, argv)) {
            continue;
        } else if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--no-reference") {
            options.reference = false;
        } else if (arg == "--big") {
            options.big = true;
        } else if (arg == "--threads" && hasValue) {
            const std::string list = argv[++i];
            for (std::size_t at = 0; at < list.size();) {
                const std::size_t comma = std::min(list.find(',', at), list.size());
                options.threads.push_back(
                    std::max(1, std::atoi(list.substr(at, comma - at).c_str())));
                at = comma + 1;
            }
        } else if (arg == "--kernel" && hasValue) {
            const std::string name = argv[++i];
            if (name == "portable")
                options.kernel = velmora::SearchKernel::Portable;
            else if (name == "avx512")
                options.kernel = velmora::SearchKernel::Avx512;
            else if (name == "avx2")
                options.kernel = velmora::SearchKernel::Avx2;
            else {
                std::fprintf(stderr, "unknown kernel: %s\n", name.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr,
                         "usage: velmora-bench-compare [--quick] [--only TEXT] [--kernel "
                         "portable|avx2|avx512] [--no-reference] [--repeat N] [--threads N,N...] "
                         "[--big] [--photos DIR]...\n");
            return 2;
        }
    }
    if (options.kernel && !velmora::KernelSupported(*options.kernel)) {
        std::fprintf(stderr, "this processor cannot run that kernel\n");
        return 2;
    }
    return velmora::bench::Main(options);
}
