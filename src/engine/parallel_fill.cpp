#include "parallel_fill.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <latch>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "fill_engine.h"
#include "fill_job.h"

namespace velmora {

namespace {

// Entries per thread in a batch: enough to hide the cost of the three meetings per batch, few
// enough that a batch's entries seldom read what each other write.
constexpr std::int64_t kBatchPerThread = 48;

constexpr RandomJump kRandomPhaseJump = RandomJump::Of(2 * kRandomCandidates);

std::int64_t SquaredLength(GridPoint o) {
    return std::int64_t{o.x} * o.x + std::int64_t{o.y} * o.y;
}

class ParallelFill {
  public:
    ParallelFill(FillEngine& engine, FillJob& job, const FillRect& workRect, int threads)
        : engine_(engine),
          job_(job),
          workRect_(workRect),
          threads_(threads),
          length_(static_cast<std::int64_t>(engine.markedPoints.size())),
          slots_(static_cast<std::size_t>(kBatchPerThread * threads)) {}

    void Run();

  private:
    struct Slot {
        EntrySearch search;
        std::uint32_t plannedStart = 0;  // the generator's state the random phase starts from
        bool walked = false;             // false: the walk needs offsets not generated yet
    };

    // The barrier's completion: every thread has arrived and waits while this runs alone.
    struct PhaseEnd {
        ParallelFill* fill;
        void operator()() const noexcept { fill->EndPhase(); }
    };

    void Help();
    void RunBatches();
    void SearchNeighboursOfBatch();
    void SearchRandomOfBatch();
    void EndPhase() noexcept;
    void PlanDraws();
    void Commit();
    void SearchAlone(Slot& slot, std::uint32_t state);
    [[nodiscard]] bool ReadsCommitted(std::int64_t k) const;

    FillEngine& engine_;
    FillJob& job_;
    const FillRect workRect_;
    const int threads_;
    const std::int64_t length_;
    std::vector<Slot> slots_;

    // The batch, set by the calling thread while the others wait.
    std::int64_t begin_ = 0;
    std::int64_t end_ = 0;
    bool finished_ = false;
    std::atomic<std::int64_t> next_{0};  // the next entry of the batch to claim in a phase

    // Set in the completions.
    int phase_ = 0;
    std::int64_t committedEnd_ = 0;
    bool stopped_ = false;
    bool outOfMemory_ = false;
    std::uint32_t randomState_ = 0;

    std::latch started_{1};
    std::optional<std::barrier<PhaseEnd>> barrier_;
};

void ParallelFill::Run() {
    randomState_ = engine_.random.state();
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<std::size_t>(threads_ - 1));
    try {
        for (int t = 1; t < threads_; ++t) helpers.emplace_back([this] { Help(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked for give the same picture, only later.
    }
    barrier_.emplace(static_cast<std::ptrdiff_t>(helpers.size()) + 1, PhaseEnd{this});
    started_.count_down();
    RunBatches();
    finished_ = true;
    barrier_->arrive_and_wait();
    helpers.clear();  // joins
    job_.stats.entriesFilled = committedEnd_;
    engine_.random.Seed(randomState_);
    if (outOfMemory_) throw std::bad_alloc();
}

void ParallelFill::Help() {
    started_.wait();
    for (;;) {
        barrier_->arrive_and_wait();
        if (finished_) return;
        SearchNeighboursOfBatch();
        barrier_->arrive_and_wait();
        SearchRandomOfBatch();
        barrier_->arrive_and_wait();
    }
}

void ParallelFill::RunBatches() {
    const std::int64_t step = ProgressStep(length_);
    const auto batchLimit = static_cast<std::int64_t>(slots_.size());
    while (committedEnd_ < length_) {
        const std::int64_t i = committedEnd_;
        if (job_.stopRequested->load(std::memory_order_acquire)) return;
        if (i % step == 0) {
            job_.image->WriteColour(workRect_, engine_.workGrid, WriteBack::Progress);
            ++job_.stats.progressReports;
            job_.post(ID_FILL_PROGRESS);
        }
        begin_ = i;
        end_ = std::min({length_, i + batchLimit, (i / step + 1) * step});
        next_.store(0, std::memory_order_relaxed);
        barrier_->arrive_and_wait();
        SearchNeighboursOfBatch();
        barrier_->arrive_and_wait();
        SearchRandomOfBatch();
        barrier_->arrive_and_wait();
        ++job_.stats.batches;
        if (stopped_ || outOfMemory_) return;
    }
}

void ParallelFill::SearchNeighboursOfBatch() {
    for (;;) {
        const std::int64_t k = next_.fetch_add(1, std::memory_order_relaxed);
        if (begin_ + k >= end_) return;
        Slot& slot = slots_[static_cast<std::size_t>(k)];
        slot.walked = engine_.SearchNeighbours(static_cast<std::int32_t>(begin_ + k), slot.search);
    }
}

void ParallelFill::SearchRandomOfBatch() {
    for (;;) {
        const std::int64_t k = next_.fetch_add(1, std::memory_order_relaxed);
        if (begin_ + k >= end_) return;
        Slot& slot = slots_[static_cast<std::size_t>(k)];
        if (slot.walked) engine_.SearchRandom(slot.search, slot.plannedStart);
    }
}

void ParallelFill::EndPhase() noexcept {
    const int phase = phase_;
    phase_ = (phase_ + 1) % 3;
    if (finished_) return;
    if (phase == 1) PlanDraws();
    if (phase == 2) {
        try {
            Commit();
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
        }
    }
}

// Every random phase draws 1000 values unless the neighbours already gave a perfect score; an
// entry whose walk could not finish is assumed to draw them as well.
void ParallelFill::PlanDraws() {
    std::uint32_t state = randomState_;
    for (std::int64_t k = 0; k < end_ - begin_; ++k) {
        Slot& slot = slots_[static_cast<std::size_t>(k)];
        slot.plannedStart = state;
        if (!slot.walked || slot.search.best.score != 0) state = kRandomPhaseJump.Apply(state);
    }
    next_.store(0, std::memory_order_relaxed);
}

void ParallelFill::Commit() {
    std::uint32_t state = randomState_;
    std::int64_t k = 0;
    for (; k < end_ - begin_; ++k) {
        if (k > 0 && job_.stopRequested->load(std::memory_order_acquire)) {
            stopped_ = true;
            break;
        }
        Slot& slot = slots_[static_cast<std::size_t>(k)];
        if (slot.plannedStart != state) {
            // An earlier random phase ended early: this entry and the rest start the next batch.
            job_.stats.searchesDiscarded += end_ - begin_ - k;
            break;
        }
        if (!slot.walked || ReadsCommitted(k)) {
            SearchAlone(slot, state);
            ++job_.stats.searchesRedone;
        }
        engine_.CommitSearch(slot.search);
        state = slot.search.randomEnd;
    }
    committedEnd_ = begin_ + k;
    job_.stats.entriesFilled = committedEnd_;
    randomState_ = state;
}

// Searches an entry again against the committed grids, generating offsets as its walk needs.
void ParallelFill::SearchAlone(Slot& slot, std::uint32_t state) {
    const auto index = static_cast<std::int32_t>(slot.search.index);
    while (!engine_.SearchNeighbours(index, slot.search)) engine_.offsetList.Extend();
    engine_.SearchRandom(slot.search, state);
}

// Whether the walk of entry k of the batch examined a pixel that an earlier entry of the batch
// filled: a pixel no farther than the walk's farthest offset.
bool ParallelFill::ReadsCommitted(std::int64_t k) const {
    const EntrySearch& search = slots_[static_cast<std::size_t>(k)].search;
    for (std::int64_t e = 0; e < k; ++e) {
        const GridPoint written = slots_[static_cast<std::size_t>(e)].search.target;
        if (SquaredLength(written - search.target) <= search.reachSquare) return true;
    }
    return false;
}

}  // namespace

void RunParallelFillLoop(FillEngine& engine, FillJob& job, const FillRect& workRect, int threads) {
    ParallelFill(engine, job, workRect, threads).Run();
}

}  // namespace velmora
