// Runs the production engine and the straightforward reference engine side by side on the same
// jobs, checks that their pictures are identical (and equal to the known result for reference
// fills) and prints a Markdown table of times (processor time of the job's thread), time per
// fill-order entry and peak heap.
//
// usage: velmora-bench-compare [--quick] [--only TEXT] [--kernel portable|avx2|avx512]
//                              [--no-reference] [--repeat N] [--photos DIR]...

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
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

namespace velmora::bench {

namespace {

struct Options {
    bool quick = false;
    int repeat = 1;  // runs per engine and case; the fastest counts (the machine may be shared)
    bool reference = true;
    std::string only;
    std::optional<SearchKernel> kernel;
    std::vector<std::string> photoDirectories;
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
                              std::shared_ptr<const ByteGrid> picture, bool big) {
        for (const SelectionSize size : sizes) {
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
                 std::make_shared<const ByteGrid>(GeneratePhotoLike(g.width, g.height, 7)), big);
    }
    for (const std::string& directory : options.photoDirectories) {
        for (const char* file :
             {"meadow.jpg", "ladybird.jpg", "coffee.jpg", "chelsea.jpg", "rocket.jpg"}) {
            std::optional<ByteGrid> photo = LoadPicture(directory + "/" + file);
            if (!photo) continue;
            const std::string name = std::string("photo ") + file;
            if (!sceneWanted(name) && !sceneWanted("photo meadow.jpg at 9 MP")) continue;
            if (std::strcmp(file, "meadow.jpg") == 0 && !options.quick &&
                sceneWanted("photo meadow.jpg at 9 MP")) {
                // The same photograph at 9 megapixels: the scale case on a real picture.
                addScene("photo meadow.jpg at 9 MP", "photo",
                         std::make_shared<const ByteGrid>(ScaleToMegapixels(*photo, 9.0)), true);
            }
            addScene(name, "photo", std::make_shared<const ByteGrid>(std::move(*photo)), false);
        }
    }
    return cases;
}

int Main(const Options& options) {
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
    options.photoDirectories = {VELMORA_SOURCE_DIR "/assets/sample",
                                VELMORA_SOURCE_DIR "/bench/photos"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--no-reference") {
            options.reference = false;
        } else if (arg == "--repeat" && hasValue) {
            options.repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--only" && hasValue) {
            options.only = argv[++i];
        } else if (arg == "--photos" && hasValue) {
            options.photoDirectories.push_back(argv[++i]);
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
                         "portable|avx2|avx512] [--no-reference] [--repeat N] [--photos DIR]...\n");
            return 2;
        }
    }
    if (options.kernel && !velmora::KernelSupported(*options.kernel)) {
        std::fprintf(stderr, "this processor cannot run that kernel\n");
        return 2;
    }
    return velmora::bench::Main(options);
}
