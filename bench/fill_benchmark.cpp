// Google Benchmark: processor time per filled pixel of a complete fill job, for square holes of a
// few sizes in a generated 1024 x 768 picture, with the production engine and the reference engine.
//
//   build-fast/bench/velmora-bench-fill --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

#include "bench_scenes.h"
#include "engine/bgr_image.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "engine/reference/reference_fill_engine.h"

namespace velmora::bench {
namespace {

const ByteGrid& Picture() {
    static const ByteGrid picture = GeneratePhotoLike(1024, 768, 11);
    return picture;
}

template <typename RunJob>
void FillBenchmark(benchmark::State& state, RunJob runJob) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    BenchCase c;
    c.picture = std::shared_ptr<const ByteGrid>(&Picture(), [](const ByteGrid*) {});
    c.selection = {(1024 - side) / 2, (768 - side) / 2, side, side};
    c.seed = 5;
    const CaseInputs inputs = BuildInputs(c);
    std::int64_t filled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CaseJob run(c, inputs);
        state.ResumeTiming();
        runJob(run.job);
        filled += run.job.stats.marked;
    }
    state.counters["per_filled_pixel"] = benchmark::Counter(
        static_cast<double>(filled), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FastEngine(benchmark::State& state) {
    FillBenchmark(state, [](FillJob& job) {
        FillEngine engine;
        RunFillJob(engine, job);
    });
}

void BM_ReferenceEngine(benchmark::State& state) {
    FillBenchmark(state, [](FillJob& job) {
        reference::ReferenceFillEngine engine;
        reference::RunReferenceFillJob(engine, job);
    });
}

BENCHMARK(BM_FastEngine)->Arg(16)->Arg(40)->Arg(100)->Arg(250)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceEngine)->Arg(16)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::bench

BENCHMARK_MAIN();
