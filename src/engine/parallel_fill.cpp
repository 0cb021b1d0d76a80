#include "parallel_fill.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <new>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "batch_cells.h"
#include "fill_engine.h"
#include "fill_job.h"

namespace velmora {

namespace {

// Entries per thread in a batch: enough to hide the cost of the meetings per batch, few enough
// that a batch's entries seldom read what each other write. The meetings cost each thread about
// the same whatever the count, while the entries searched again and the random phases set aside
// grow with the whole batch, so the share per thread shrinks as the count grows: 48 for two
// threads, 39 for four, 32 for eight, 26 for sixteen.
std::int64_t BatchPerThread(int threads) {
    constexpr double kForTwo = 48;
    constexpr double kShrink = 0.3;  // the power of 2 / threads
    return std::llround(kForTwo * std::pow(2.0 / std::max(threads, 2), kShrink));
}

// The batch that starts a progress step is this many times as large, so that its searches last
// about as long as the progress write-back that another thread does meanwhile; only when a step
// holds at least kStepBatches batches, since a larger batch sets more random phases aside.
constexpr std::int64_t kWriteBackBatchFactor = 2;
constexpr std::int64_t kStepBatches = 8;

// Commits ahead whose pixels are fetched early.
constexpr std::int64_t kCommitLookAhead = 8;

// Entries per item when the commits are shared out: a batch for two threads gives six, so that
// the two end the round together more often than with three.
constexpr std::int64_t kCommitChunk = 16;
// How far ahead within a run the entries' neighbourhoods are fetched.
constexpr std::int64_t kNeighbourFetchAhead = 2;

constexpr RandomJump kRandomPhaseJump = RandomJump::Of(2 * kRandomCandidates);

using Clock = std::chrono::steady_clock;

float MicrosSince(Clock::time_point start) {
    return std::chrono::duration<float, std::micro>(Clock::now() - start).count();
}

// The clock that times a trace's items, the short pieces of work (a random phase takes about
// 2 µs): the processor's time-stamp counter where there is one, since reading it costs less than
// half what reading the system's steady clock does, and the items read the clock twice each;
// the steady clock's own count elsewhere. Its ticks become microseconds per batch, against the
// steady clock over the whole fill so far.
class ItemClock {
  public:
    using Ticks = std::uint64_t;

    ItemClock() : startTicks_(Now()), start_(Clock::now()) {}

    static Ticks Now() {
#if defined(__x86_64__) || defined(__i386__)
        return __builtin_ia32_rdtsc();
#else
        return static_cast<Ticks>(Clock::now().time_since_epoch().count());
#endif
    }
    static float TicksSince(Ticks start) {
        return static_cast<float>(Now() - start);
    }

    [[nodiscard]] float MicrosPerTick() const {
        const Ticks ticks = Now() - startTicks_;
        const double micros =
            std::chrono::duration<double, std::micro>(Clock::now() - start_).count();
        return ticks > 0 ? static_cast<float>(micros / static_cast<double>(ticks)) : 0.0f;
    }

  private:
    Ticks startTicks_;
    Clock::time_point start_;
};

double ThreadProcessorMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) * 1e-3;
}

// One turn of a wait for another thread: the first turns only pause the processor briefly (the
// waits between rounds are mostly a microsecond or two, shorter than a trip through the system),
// later ones give the processor up, so that more threads than processors still make progress.
// `turns` counts the turns taken so far (up to the pausing ones).
void Pause(int& turns) {
    constexpr int kPausingTurns = 64;
#if defined(__x86_64__) || defined(__i386__)
    if (turns < kPausingTurns) {
        ++turns;
        __builtin_ia32_pause();
        return;
    }
#else
    (void)turns;
#endif
    std::this_thread::yield();
}

// The set bits of a word, inline: the baseline processor has no population-count instruction, and
// std::popcount then costs a call for every random phase.
int CountBits(std::uint64_t bits) {
    bits -= (bits >> 1) & 0x5555555555555555u;
    bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((bits * 0x0101010101010101u) >> 56);
}

// The head of the chain of generator states, in one word so that it moves atomically: the first
// entry of the random round not known to have its final search, the generator's true state at
// that entry's random phase, and whether the entry started from another state (the chain then
// stays there until the commits).
struct ChainHead {
    std::int64_t entry = 0;
    std::uint32_t state = 0;
    bool stuck = false;

    [[nodiscard]] std::uint64_t Pack() const {
        return (stuck ? std::uint64_t{1} << 63 : 0) | (static_cast<std::uint64_t>(entry) << 32) |
               state;
    }
    [[nodiscard]] static ChainHead Unpack(std::uint64_t word) {
        return {static_cast<std::int64_t>((word >> 32) & 0x7FFFFFFFu),
                static_cast<std::uint32_t>(word), (word >> 63) != 0};
    }
};

std::int64_t SquaredLength(GridPoint o) {
    return std::int64_t{o.x} * o.x + std::int64_t{o.y} * o.y;
}

// The calling thread's time alone in a batch, when tracing: pieces timed on the wall clock, scaled
// to the processor time the thread had over the whole batch so that time the system gave to other
// programs does not count (reading the processor clock costs about half a microsecond, too much
// to do around every piece). Timing starts at once.
class AloneClock {
  public:
    explicit AloneClock(bool on) : on_(on) {
        if (!on_) return;
        batchStart_ = pieceStart_ = Clock::now();
        processorStart_ = ThreadProcessorMicros();
    }
    void Start() {
        if (on_) pieceStart_ = Clock::now();
    }
    void Stop() {
        if (on_) wallMicros_ += MicrosSince(pieceStart_);
    }
    // The pieces' time less `excluded` (spent in them on other work), as processor time.
    [[nodiscard]] float Micros(double excluded) const {
        const double wall = MicrosSince(batchStart_);
        const double share =
            wall > 0 ? std::min((ThreadProcessorMicros() - processorStart_) / wall, 1.0) : 1.0;
        return static_cast<float>(std::max(wallMicros_ - excluded, 0.0) * share);
    }

  private:
    bool on_;
    Clock::time_point batchStart_;
    Clock::time_point pieceStart_;
    double processorStart_ = 0;
    double wallMicros_ = 0;
};

// The work of one round (one phase of one batch) is handed out through one word: the round's
// number, its kind, its number of items and the next item to claim. Whoever claims item k of a
// round reads the round from the same word, so a thread that arrives late can never mistake an
// old round for the current one.
class Ticket {
  public:
    enum Kind : std::uint64_t {
        Neighbours = 0,  // a run's neighbour searches, then its random phases
        Random = 1,      // random phases run again
        Stretches = 2,   // of a search done again at its commit
        Commits = 3,
        Walks = 4,  // neighbour searches again, once more offsets are generated
        Finished = 5
    };

    static constexpr std::uint64_t Make(std::uint64_t round, Kind kind, std::int64_t count) {
        return (round << kRoundShift) | (std::uint64_t{kind} << kKindShift) |
               (static_cast<std::uint64_t>(count) << kCountShift);
    }
    static constexpr std::int64_t Item(std::uint64_t t) {
        return static_cast<std::int64_t>(t & kItemMask);
    }
    static constexpr std::int64_t Count(std::uint64_t t) {
        return static_cast<std::int64_t>((t >> kCountShift) & kCountMask);
    }
    static constexpr Kind KindOf(std::uint64_t t) {
        return static_cast<Kind>((t >> kKindShift) & 7u);
    }
    static constexpr bool HasWork(std::uint64_t t) { return Item(t) < Count(t); }
    // The short rounds besides a batch's two (neighbours, random phases).
    static constexpr bool IsExtra(Kind kind) { return kind != Neighbours && kind != Random; }

    // Items per round at most, and claims beyond them (one per waiting thread) still fit.
    static constexpr std::int64_t kMostItems = (std::int64_t{1} << 20) - 1;

  private:
    static constexpr int kCountShift = 24;
    static constexpr int kKindShift = 44;
    static constexpr int kRoundShift = 47;
    static constexpr std::uint64_t kItemMask = (std::uint64_t{1} << kCountShift) - 1;
    static constexpr std::uint64_t kCountMask = (std::uint64_t{1} << 20) - 1;
};

class ParallelFill {
  public:
    ParallelFill(FillEngine& engine, FillJob& job, const FillRect& workRect, int threads)
        : engine_(engine),
          job_(job),
          workRect_(workRect),
          threads_(threads),
          length_(static_cast<std::int64_t>(engine.markedPoints.size())),
          batchThreads_(job.trace != nullptr && job.trace->batchThreads > 0
                            ? job.trace->batchThreads
                            : threads),
          againAlongside_(job.trace == nullptr || !job.trace->searchAgainAtCommits),
          slots_(static_cast<std::size_t>(std::min<std::int64_t>(
              kWriteBackBatchFactor * BatchPerThread(batchThreads_) * batchThreads_,
              Ticket::kMostItems))),
          cells_(engine.statusGrid.width(), engine.statusGrid.height()),
          perfectScores_((slots_.size() + 63) / 64),
          runSearched_((slots_.size() + kNeighbourRun - 1) / kNeighbourRun) {
        again_.stretches.resize(static_cast<std::size_t>(batchThreads_));
        const std::size_t commitChunks =
            (slots_.size() + kCommitChunk - 1) / static_cast<std::size_t>(kCommitChunk);
        sharedTicks_.resize(std::max({again_.stretches.size(), commitChunks, slots_.size()}));
        unfinishedWalks_.reserve(slots_.size());
        phaseJumps_.resize(slots_.size() + 1);
        for (std::size_t n = 1; n < phaseJumps_.size(); ++n)
            phaseJumps_[n] = phaseJumps_[n - 1].Then(kRandomPhaseJump);
    }

    void Run();

  private:
    enum CommitState : std::uint8_t { Open, Committed };

    struct Slot {
        EntrySearch search;
        // The generator's state the random phase starts from (PlannedStart), kept for the commits.
        std::uint32_t plannedStart = 0;
        bool walked = false;        // false: the walk needs offsets not generated yet (FinishWalks)
        bool readsEarlier = false;  // its walk may have read an earlier entry's pixel
        // Searched again during the random phases, by the thread that claimed it (a search done
        // again alongside): its search is final if its planned state holds; the commits commit it.
        bool redoneAlongside = false;
        // Its search is final for plannedStart: a random round that plans the same state for it
        // again keeps it.
        bool searchFinal = false;
        bool kept = false;  // the last random round kept its search
        // When tracing: its random phase waited for every entry up to this one to end (-1: none).
        std::int32_t waitsFor = -1;
        // Its random phase (or its search done again alongside) has ended: set last, with release.
        std::atomic<bool> finished{false};
        std::atomic<std::uint8_t> commit{Open};
        // The earlier entries of the batch within its walk's reach, when there are only a few.
        std::int32_t nearCount = 0;
        std::array<std::int32_t, 16> near{};
        BestMatch neighbourBest;       // the best before the random phase
        std::array<float, 2> ticks{};  // of each round's work on it, when tracing (ItemClock)
    };

    // The search of the entry being committed, done again: the calling thread brings its walk up
    // to date and scores what the neighbours propose, then a round scores the random phase in
    // stretches, one per thread.
    struct SearchAgain {
        Slot* slot = nullptr;
        std::uint32_t state = 0;  // the generator's true state at the random phase
        std::vector<RandomStretch> stretches;
    };

    void Help();
    void RunBatches();
    // A progress write-back only reads the grids, as the searches before the commits do: it is
    // offered to the other threads when a batch starts, and done by the calling thread only if
    // none took it. The commits wait for its report, which the calling thread posts as soon as
    // it sees it written, between its items (a stop asked for from the report then keeps the
    // batch's commits from starting, as in the one-thread loop).
    void OfferWriteBack();
    void TakeWriteBack();
    // Calling thread only.
    void PostWriteBack();
    // Whether the batch's entries may be committed during its random round: no write-back is due
    // or its report went out, and no stop was asked for.
    [[nodiscard]] bool CommitsMayStart() const;
    // False when the write-back ran out of memory.
    [[nodiscard]] bool FinishWriteBack();
    // Hands out a round, works on it too and returns when all its items are done.
    void RunRound(Ticket::Kind kind, std::int64_t first, std::int64_t count);
    // The same in two halves, so that the calling thread can do something else first.
    void HandOut(Ticket::Kind kind, std::int64_t first, std::int64_t count);
    void FinishRound(std::int64_t count);
    // Claims and works items of the round `ticket` names while there are any; returns the word
    // as last seen. `caller`: on the calling thread.
    std::uint64_t WorkOn(std::uint64_t ticket, bool caller);
    void DoItem(Ticket::Kind kind, std::int64_t item);
    void SearchEntryNeighbours(std::int64_t k);
    // The walk and the neighbours' proposals of entry k, noting what the round's end needs.
    void WalkAndScoreNeighbours(std::int64_t k);
    void ScoreStretch(std::int64_t item);
    void CommitChunk(std::int64_t item);
    // Hands out a round besides the batch's two (walks, stretches, commits) from within a piece
    // of time alone, tracing it as a round of its own.
    void RunExtraRound(Ticket::Kind kind, std::int64_t count);
    // Generates more offsets for the walks of the batch that needed them and searches those
    // entries' neighbours again, on all threads, until every walk has finished.
    void FinishWalks(std::int64_t count);
    void PrefetchNextSearchAgain(std::int64_t k);
    // Commits what entry k's walk may have read, unless committed already: its near entries, or
    // every earlier entry.
    void CommitNearEntries(std::int64_t k);
    // Where the time of a round's item is kept when tracing.
    float& ItemTicks(Ticket::Kind kind, std::int64_t item);
    // Starts a random round from entry `from` of the batch, the generator then at randomState_.
    void StartRandomRound(std::int64_t from);
    // The random phases of a run right after its neighbour searches, once every earlier run's
    // neighbour searches have ended and the batch's pixels are filed.
    void RandomPhasesOfRun(std::int64_t run, std::int64_t first, std::int64_t end);
    // The generator's state at entry k's random phase: the true state at the chain's head, then
    // 1000 values for every entry up to k unless its neighbours already gave a perfect score (a
    // random phase that ends early, or an entry to be searched again, may turn out otherwise: the
    // chain or the commit finds out). Any thread, during the round.
    [[nodiscard]] std::uint32_t PlannedStart(std::int64_t k) const;
    // The random phase of entry k of the batch: its own, or its search done again alongside.
    void RandomPhase(std::int64_t k);
    // Searches entry k again during the random phases, from its planned generator state, once the
    // earlier entries its walk may have read have their final searches (it reads their pixels
    // from those, uncommitted); false (nothing done) when they are too many, the chain of
    // generator states breaks before them, the batch's progress report has not gone out yet or
    // a stop was asked for. The commits commit them and it, in fill order.
    // `waitTicks`: the time it waited for the earlier entries, when tracing.
    [[nodiscard]] bool SearchAgainAlongside(std::int64_t k, float& waitTicks);
    // Waits until every entry of the round before k has finished; true when each started from
    // its true state (and was searched again alongside when it had to be searched again), so that
    // each has its final search.
    [[nodiscard]] bool ChainHoldsBefore(std::int64_t k);
    // Moves the head of the chain of generator states on over the entries that have finished
    // from their true states, without waiting; returns it (-1 once stuck at an entry that did
    // not).
    std::int64_t AdvanceChain();
    // Commits entry e unless committed already: by the calling thread in its pass through the
    // batch, by any thread in the commits round that follows (never two at once).
    void CommitOnce(std::int64_t e);
    [[nodiscard]] std::int64_t Commit(std::int64_t from);
    void Record(float aloneMicros);
    // Searches entry k of the batch again against the committed grids.
    void SearchAgainNow(std::int64_t k, std::uint32_t state);
    // Adds the pixels of the batch's entries before k that its walk may have read (all committed
    // by now) to its neighbours.
    void BringWalkUpToDate(std::int64_t k);
    // Finds the earlier entries of the batch whose pixels entry k's walk may have read.
    void FindEarlierEntriesWithinReach(std::int64_t k);

    FillEngine& engine_;
    FillJob& job_;
    const FillRect workRect_;
    const int threads_;
    const std::int64_t length_;
    const int batchThreads_;  // the threads the batches are sized for
    // Whether the random phases search again alongside what must be searched again.
    const bool againAlongside_;
    std::vector<Slot> slots_;
    SearchAgain again_;
    BatchCells cells_;  // the batch's pixels, for finding the entries near a walk
    // The commits round commits the batch's entries from commitFrom_ to before commitEnd_.
    std::int64_t commitFrom_ = 0;
    std::int64_t commitEnd_ = 0;
    // When tracing: the items of the current extra round, the batch's extra rounds so far and the
    // calling thread's time in them (not time alone).
    std::vector<float> sharedTicks_;
    std::vector<std::int64_t> unfinishedWalks_;  // the entries of a round of walks
    // phaseJumps_[n]: the generator's step over n whole random phases.
    std::vector<RandomJump> phaseJumps_;
    std::vector<std::vector<float>> extraRoundsTrace_;
    double extraRoundsWallMicros_ = 0;
    ItemClock itemClock_;  // when tracing: the items' times

    // Written by the calling thread only, before the round that reads them is handed out.
    std::int64_t begin_ = 0;
    std::int64_t roundFirst_ = 0;  // the batch entry of a round's item 0
    std::int64_t end_ = 0;
    std::int64_t committedEnd_ = 0;
    bool stopped_ = false;
    std::uint32_t randomState_ = 0;

    enum WriteBackState : int { NoWriteBack, Offered, Writing, Written, Posted };
    std::atomic<int> writeBack_{NoWriteBack};
    // Written before Written is stored, read after it is seen.
    bool writeBackFailed_ = false;
    float writeBackMicros_ = 0;  // when tracing
    float filingMicros_ = 0;     // when tracing: the batch's pixels filed during its searches

    std::uint64_t round_ = 0;
    // Each on a cache line of its own: every claim writes the ticket, every finished run of
    // claims the count.
    alignas(64) std::atomic<std::uint64_t> ticket_{Ticket::Make(0, Ticket::Neighbours, 0)};
    alignas(64) std::atomic<std::int64_t> done_{0};  // items of the current round finished
    // The head of the chain of generator states (ChainHead): every entry of the random round
    // before it has its final search, and the generator's true state at its random phase.
    alignas(64) std::atomic<std::uint64_t> chain_{0};
    // Set by the neighbour searches: a bit per entry of the batch whose neighbours gave a perfect
    // score, and whether any walk needs more offsets.
    std::vector<std::atomic<std::uint64_t>> perfectScores_;
    std::atomic<bool> walksUnfinished_{false};
    // Per run of the batch: its neighbour searches have ended (set with release).
    std::vector<std::atomic<bool>> runSearched_;
    // The batch's pixels are filed (set with release by the calling thread).
    std::atomic<bool> cellsFiled_{false};
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
    bool outOfMemory = false;
    try {
        RunBatches();
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    if (!FinishWriteBack()) outOfMemory = true;
    ticket_.store(Ticket::Make(++round_, Ticket::Finished, 0), std::memory_order_release);
    ticket_.notify_all();
    helpers.clear();  // joins
    engine_.random.Seed(randomState_);
    if (outOfMemory) throw std::bad_alloc();
}

void ParallelFill::Help() {
    std::uint64_t seen = ticket_.load(std::memory_order_acquire);
    for (;;) {
        if (Ticket::KindOf(seen) == Ticket::Finished) return;
        TakeWriteBack();
        if (Ticket::HasWork(seen)) {
            seen = WorkOn(seen, false);
            continue;
        }
        // Idle: look again for a while (rounds follow each other within microseconds), then
        // sleep until the word changes.
        int turns = 0;
        for (int spin = 0; spin < 2000 && seen == ticket_.load(std::memory_order_acquire); ++spin)
            Pause(turns);
        ticket_.wait(seen, std::memory_order_acquire);
        seen = ticket_.load(std::memory_order_acquire);
    }
}

std::uint64_t ParallelFill::WorkOn(std::uint64_t ticket, bool caller) {
    // When tracing, the items' wall times are scaled to the processor time this thread had
    // meanwhile, so that time the system gave to other programs does not count as work; not for
    // the short extra rounds, where reading the processor clock would take longer than the items.
    const bool tracing = job_.trace != nullptr;
    const bool scaled = tracing && !Ticket::IsExtra(Ticket::KindOf(ticket));
    const auto wallStart = scaled ? Clock::now() : Clock::time_point{};
    const double processorStart = scaled ? ThreadProcessorMicros() : 0;
    // The items done are counted once, when the round has no more to claim: the round cannot
    // end (nor the next one start) before they are, so they all belong to this round, and the
    // count's cache line moves between the threads once per run of claims, not per item.
    std::int64_t doneCount = 0;
    std::vector<std::int64_t> done;  // when tracing: their times are scaled together
    Ticket::Kind kind = Ticket::KindOf(ticket);
    while (Ticket::HasWork(ticket)) {
        ticket = ticket_.fetch_add(1, std::memory_order_acq_rel);
        if (!Ticket::HasWork(ticket)) break;
        kind = Ticket::KindOf(ticket);
        DoItem(kind, Ticket::Item(ticket));
        if (caller) PostWriteBack();
        ++doneCount;
        if (tracing) done.push_back(Ticket::Item(ticket));
        ++ticket;
    }
    if (!done.empty()) {
        const double wall = scaled ? MicrosSince(wallStart) : 0;
        const double share =
            wall > 0 ? std::min((ThreadProcessorMicros() - processorStart) / wall, 1.0) : 1.0;
        for (const std::int64_t item : done) ItemTicks(kind, item) *= static_cast<float>(share);
    }
    if (doneCount > 0) done_.fetch_add(doneCount, std::memory_order_release);
    return ticket_.load(std::memory_order_acquire);
}

float& ParallelFill::ItemTicks(Ticket::Kind kind, std::int64_t item) {
    if (Ticket::IsExtra(kind)) return sharedTicks_[static_cast<std::size_t>(item)];
    // A run of neighbour searches is timed as one piece, kept by its first entry.
    if (kind == Ticket::Neighbours)
        return slots_[static_cast<std::size_t>(item * kNeighbourRun)].ticks[kind];
    return slots_[static_cast<std::size_t>(roundFirst_ + item)].ticks[kind];
}

void ParallelFill::SearchEntryNeighbours(std::int64_t k) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    slot.commit.store(Open, std::memory_order_relaxed);
    slot.searchFinal = false;
    slot.ticks = {};
    slot.waitsFor = -1;
    WalkAndScoreNeighbours(k);
}

void ParallelFill::WalkAndScoreNeighbours(std::int64_t k) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    slot.walked = engine_.SearchNeighbours(static_cast<std::int32_t>(begin_ + k), slot.search);
    slot.neighbourBest = slot.search.best;
    if (!slot.walked) {
        walksUnfinished_.store(true, std::memory_order_relaxed);
    } else if (slot.neighbourBest.score == 0) {
        perfectScores_[static_cast<std::size_t>(k / 64)].fetch_or(std::uint64_t{1} << (k % 64),
                                                                  std::memory_order_relaxed);
    }
}

void ParallelFill::DoItem(Ticket::Kind kind, std::int64_t item) {
    if (Ticket::IsExtra(kind)) {
        const ItemClock::Ticks start = job_.trace != nullptr ? ItemClock::Now() : 0;
        if (kind == Ticket::Stretches) {
            ScoreStretch(item);
        } else if (kind == Ticket::Commits) {
            CommitChunk(item);
        } else {
            WalkAndScoreNeighbours(unfinishedWalks_[static_cast<std::size_t>(item)]);
        }
        if (job_.trace != nullptr) ItemTicks(kind, item) = ItemClock::TicksSince(start);
        return;
    }
    if (kind == Ticket::Neighbours) {
        // A run of entries an item: their neighbourhoods are fetched two entries ahead, the
        // run's first two at once.
        const ItemClock::Ticks start = job_.trace != nullptr ? ItemClock::Now() : 0;
        const std::int64_t first = item * kNeighbourRun;
        const std::int64_t end = std::min(first + kNeighbourRun, end_ - begin_);
        for (std::int64_t k = first; k < std::min(first + kNeighbourFetchAhead, end); ++k)
            engine_.PrefetchEntry(begin_ + k);
        for (std::int64_t k = first; k < end; ++k) {
            if (k + kNeighbourFetchAhead < end)
                engine_.PrefetchEntry(begin_ + k + kNeighbourFetchAhead);
            SearchEntryNeighbours(k);
        }
        if (job_.trace != nullptr) ItemTicks(kind, item) = ItemClock::TicksSince(start);
        runSearched_[static_cast<std::size_t>(item)].store(true, std::memory_order_release);
        RandomPhasesOfRun(item, first, end);
        return;
    }
    RandomPhase(roundFirst_ + item);
}

void ParallelFill::RandomPhasesOfRun(std::int64_t run, std::int64_t first, std::int64_t end) {
    // Rarely waits: the runs are claimed in order, and each one's searches take about as long.
    for (std::int64_t earlier = run - 1; earlier >= 0; --earlier) {
        for (int turns = 0;
             !runSearched_[static_cast<std::size_t>(earlier)].load(std::memory_order_acquire);)
            Pause(turns);
    }
    for (int turns = 0; !cellsFiled_.load(std::memory_order_acquire);) Pause(turns);
    for (std::int64_t k = first; k < end; ++k)
        if (slots_[static_cast<std::size_t>(k)].walked) RandomPhase(k);
}

void ParallelFill::RandomPhase(std::int64_t k) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    const bool tracing = job_.trace != nullptr;
    const ItemClock::Ticks start = tracing ? ItemClock::Now() : 0;
    float waitTicks = 0;
    const std::uint32_t planned = PlannedStart(k);
    // A round run again after an earlier phase ended early keeps what an earlier round already
    // searched from the state now planned: the chain had moved past that phase by then.
    slot.kept = slot.searchFinal && slot.plannedStart == planned;
    if (slot.kept) {
        slot.finished.store(true, std::memory_order_release);
        return;
    }
    slot.plannedStart = planned;
    FindEarlierEntriesWithinReach(k);
    slot.redoneAlongside = false;
    if (!slot.readsEarlier) {
        slot.search.best = slot.neighbourBest;
        engine_.SearchRandom(slot.search, slot.plannedStart);
    } else if (againAlongside_) {
        // When it cannot be, it is searched again at its commit, and needs no random phase now.
        slot.redoneAlongside = SearchAgainAlongside(k, waitTicks);
    }
    slot.searchFinal = !slot.readsEarlier || slot.redoneAlongside;
    // A random phase run again adds to the first (the replay schedules them as one); the wait
    // for the earlier ones is the replay's to work out.
    if (tracing)
        slot.ticks[Ticket::Random] += std::max(ItemClock::TicksSince(start) - waitTicks, 0.0f);
    slot.finished.store(true, std::memory_order_release);
}

bool ParallelFill::SearchAgainAlongside(std::int64_t k, float& waitTicks) {
    if (!CommitsMayStart()) return false;
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    // One whose walk reached too many of the batch's entries waits for its commit.
    if (slot.nearCount > static_cast<std::int32_t>(slot.near.size())) return false;
    std::array<std::int32_t, std::tuple_size_v<decltype(slot.near)>> near{};
    const auto nearEnd = std::copy_n(slot.near.begin(), slot.nearCount, near.begin());
    std::sort(near.begin(), nearEnd);
    // The near entries must have their final searches, so the chain of generator states must
    // hold up to the last of them; whether it holds up to this entry is the commit's to find out.
    const std::int64_t lastNear = *(nearEnd - 1);
    slot.waitsFor = static_cast<std::int32_t>(lastNear);
    const ItemClock::Ticks waitStart = job_.trace != nullptr ? ItemClock::Now() : 0;
    const bool holds = ChainHoldsBefore(lastNear + 1);
    if (job_.trace != nullptr) waitTicks = ItemClock::TicksSince(waitStart);
    if (!holds || !CommitsMayStart()) return false;
    // Other threads may still be searching the batch's neighbours against the grids: the near
    // entries' pixels are read from their searches instead, in fill order, and committed with
    // this entry.
    std::array<PendingFill, std::tuple_size_v<decltype(slot.near)>> pending;
    for (auto e = near.begin(); e != nearEnd; ++e) {
        pending[static_cast<std::size_t>(e - near.begin())] = {
            engine_.markedPoints[static_cast<std::size_t>(begin_ + *e)],
            slots_[static_cast<std::size_t>(*e)].search.best.position};
    }
    const std::span<const PendingFill> filled(pending.data(),
                                              static_cast<std::size_t>(nearEnd - near.begin()));
    BringWalkUpToDate(k);
    engine_.ReadNeighbours(slot.search, filled);
    engine_.ScoreNeighbourProposals(slot.search, filled);
    engine_.SearchRandom(slot.search, slot.plannedStart);
    return true;
}

bool ParallelFill::ChainHoldsBefore(std::int64_t k) {
    for (int turns = 0;;) {
        const std::int64_t held = AdvanceChain();
        if (held < 0) return false;
        if (held >= k) return true;
        // An entry whose walk needs more offsets has no random phase before the walks round:
        // the chain cannot pass it in this round.
        if (walksUnfinished_.load(std::memory_order_relaxed)) return false;
        Pause(turns);
    }
}

std::int64_t ParallelFill::AdvanceChain() {
    const std::int64_t count = end_ - begin_;
    for (;;) {
        std::uint64_t word = chain_.load(std::memory_order_acquire);
        const ChainHead head = ChainHead::Unpack(word);
        if (head.stuck) return -1;
        if (head.entry >= count) return head.entry;
        const Slot& slot = slots_[static_cast<std::size_t>(head.entry)];
        if (!slot.finished.load(std::memory_order_acquire)) return head.entry;
        const bool final = slot.searchFinal && slot.plannedStart == head.state;
        const ChainHead next = final ? ChainHead{head.entry + 1, slot.search.randomEnd, false}
                                     : ChainHead{head.entry, head.state, true};
        // Any thread may move the head on; they all find the same.
        chain_.compare_exchange_strong(word, next.Pack(), std::memory_order_acq_rel);
    }
}

void ParallelFill::CommitOnce(std::int64_t e) {
    Slot& slot = slots_[static_cast<std::size_t>(e)];
    if (slot.commit.load(std::memory_order_relaxed) == Committed) return;
    engine_.CommitSearch(slot.search);
    slot.commit.store(Committed, std::memory_order_relaxed);
}

void ParallelFill::ScoreStretch(std::int64_t item) {
    const auto count = static_cast<std::int64_t>(again_.stretches.size());
    const std::int64_t first = item * kRandomCandidates / count;
    const std::int64_t next = (item + 1) * kRandomCandidates / count;
    again_.stretches[static_cast<std::size_t>(item)] = engine_.SearchRandomStretch(
        again_.slot->search, again_.state, static_cast<int>(first), static_cast<int>(next - first));
}

void ParallelFill::CommitChunk(std::int64_t item) {
    const std::int64_t first = commitFrom_ + item * kCommitChunk;
    const std::int64_t end = std::min(first + kCommitChunk, commitEnd_);
    for (std::int64_t k = first; k < end; ++k) {
        // What the next commits touch, on its way into the caches.
        if (k + kCommitLookAhead < end)
            engine_.PrefetchCommit(slots_[static_cast<std::size_t>(k + kCommitLookAhead)].search);
        CommitOnce(k);
    }
}

void ParallelFill::RunExtraRound(Ticket::Kind kind, std::int64_t count) {
    const bool tracing = job_.trace != nullptr;
    const auto start = tracing ? Clock::now() : Clock::time_point{};
    RunRound(kind, 0, count);
    if (tracing) {
        extraRoundsWallMicros_ += MicrosSince(start);
        extraRoundsTrace_.emplace_back(sharedTicks_.begin(), sharedTicks_.begin() + count);
    }
}

void ParallelFill::RunRound(Ticket::Kind kind, std::int64_t first, std::int64_t count) {
    HandOut(kind, first, count);
    FinishRound(count);
}

void ParallelFill::HandOut(Ticket::Kind kind, std::int64_t first, std::int64_t count) {
    roundFirst_ = first;
    done_.store(0, std::memory_order_relaxed);
    ticket_.store(Ticket::Make(++round_, kind, count), std::memory_order_release);
    ticket_.notify_all();
}

void ParallelFill::FinishRound(std::int64_t count) {
    WorkOn(ticket_.load(std::memory_order_acquire), true);
    // What is left are items that other threads claimed and are still working on.
    for (int turns = 0; done_.load(std::memory_order_acquire) != count;) {
        PostWriteBack();
        Pause(turns);
    }
}

void ParallelFill::RunBatches() {
    const std::int64_t step = ProgressStep(length_);
    const std::int64_t batchLimit =
        std::max<std::int64_t>(static_cast<std::int64_t>(slots_.size()) / kWriteBackBatchFactor, 1);
    const std::int64_t stepBatchLimit =
        step >= kStepBatches * batchLimit ? kWriteBackBatchFactor * batchLimit : batchLimit;
    while (committedEnd_ < length_) {
        const std::int64_t i = committedEnd_;
        if (job_.stopRequested->load(std::memory_order_acquire)) return;
        AloneClock alone(job_.trace != nullptr);
        begin_ = i;
        end_ = std::min(
            {length_, i + (i % step == 0 ? stepBatchLimit : batchLimit), (i / step + 1) * step});
        const std::int64_t count = end_ - begin_;
        if (i % step == 0) OfferWriteBack();
        for (std::size_t w = 0; w < static_cast<std::size_t>((count + 63) / 64); ++w)
            perfectScores_[w].store(0, std::memory_order_relaxed);
        walksUnfinished_.store(false, std::memory_order_relaxed);
        const std::int64_t runs = (count + kNeighbourRun - 1) / kNeighbourRun;
        for (std::int64_t r = 0; r < runs; ++r)
            runSearched_[static_cast<std::size_t>(r)].store(false, std::memory_order_relaxed);
        cellsFiled_.store(false, std::memory_order_relaxed);
        StartRandomRound(0);
        HandOut(Ticket::Neighbours, 0, runs);
        alone.Stop();
        // Only the random phases look the batch's pixels up: filed while the others search.
        const auto filing = job_.trace != nullptr ? Clock::now() : Clock::time_point{};
        cells_.File({engine_.markedPoints.data() + begin_, static_cast<std::size_t>(count)});
        cellsFiled_.store(true, std::memory_order_release);
        if (job_.trace != nullptr) filingMicros_ = MicrosSince(filing);
        FinishRound(runs);
        alone.Start();
        // The random phases ran with the neighbour searches, but not those of the walks that
        // needed more offsets (nor, from them on, at their true states).
        const bool walksUnfinished = walksUnfinished_.load(std::memory_order_relaxed);
        FinishWalks(count);
        alone.Stop();
        // The random phases again for the rest of the batch whenever the generator's state at
        // an entry turns out other than planned.
        for (std::int64_t from = 0;;) {
            if (from > 0 || walksUnfinished) {
                alone.Start();
                StartRandomRound(from);
                alone.Stop();
                RunRound(Ticket::Random, from, count - from);
            }
            if (from > 0) {
                job_.stats.searchesDiscarded +=
                    std::count_if(slots_.begin() + from, slots_.begin() + count,
                                  [](const Slot& slot) { return !slot.kept; });
            }
            // The write-back is traced as a piece of its own, not as time alone.
            if (!FinishWriteBack()) throw std::bad_alloc();
            alone.Start();
            from = Commit(from);
            alone.Stop();
            if (from == count || stopped_) break;
        }
        ++job_.stats.batches;
        if (job_.trace != nullptr) Record(alone.Micros(extraRoundsWallMicros_));
        if (stopped_) return;
    }
}

void ParallelFill::OfferWriteBack() {
    writeBack_.store(Offered, std::memory_order_release);
}

void ParallelFill::TakeWriteBack() {
    int offered = Offered;
    if (!writeBack_.compare_exchange_strong(offered, Writing, std::memory_order_acq_rel)) return;
    const auto start = job_.trace != nullptr ? Clock::now() : Clock::time_point{};
    try {
        job_.image->WriteColour(workRect_, engine_.workGrid, WriteBack::Progress);
    } catch (const std::bad_alloc&) {
        writeBackFailed_ = true;
    }
    if (job_.trace != nullptr) writeBackMicros_ = MicrosSince(start);
    writeBack_.store(Written, std::memory_order_release);
}

// The report is posted from the calling thread, which alone writes the job's counts; a failed
// write-back is not reported (FinishWriteBack throws).
void ParallelFill::PostWriteBack() {
    if (writeBack_.load(std::memory_order_acquire) != Written || writeBackFailed_) return;
    ++job_.stats.progressReports;
    job_.post(ID_FILL_PROGRESS);
    writeBack_.store(Posted, std::memory_order_release);
}

bool ParallelFill::CommitsMayStart() const {
    const int writeBack = writeBack_.load(std::memory_order_acquire);
    return (writeBack == NoWriteBack || writeBack == Posted) &&
           !job_.stopRequested->load(std::memory_order_acquire);
}

// Waits for an offered write-back (doing it when no other thread took it) and reports it unless
// reported already.
bool ParallelFill::FinishWriteBack() {
    int writeBack = writeBack_.load(std::memory_order_acquire);
    if (writeBack == NoWriteBack) return true;
    TakeWriteBack();
    for (int turns = 0; writeBack == Offered || writeBack == Writing;) {
        Pause(turns);
        writeBack = writeBack_.load(std::memory_order_acquire);
    }
    PostWriteBack();
    writeBack_.store(NoWriteBack, std::memory_order_relaxed);
    return !writeBackFailed_;
}

void ParallelFill::Record(float aloneMicros) {
    FillTrace::Batch& batch = job_.trace->batches.emplace_back();
    const float microsPerTick = itemClock_.MicrosPerTick();
    for (std::int64_t k = 0; k < end_ - begin_; ++k) {
        const Slot& slot = slots_[static_cast<std::size_t>(k)];
        if (k % kNeighbourRun == 0) batch.neighbourMicros.push_back(0);
        batch.neighbourMicros.back() += slot.ticks[Ticket::Neighbours] * microsPerTick;
        batch.randomMicros.push_back(slot.ticks[Ticket::Random] * microsPerTick);
        if (slot.waitsFor >= 0)
            batch.randomWaits.push_back({static_cast<std::int32_t>(k), slot.waitsFor});
    }
    batch.aloneMicros = aloneMicros;
    batch.writeBackMicros = std::exchange(writeBackMicros_, 0.0f);
    batch.filingMicros = std::exchange(filingMicros_, 0.0f);
    for (std::vector<float>& round : extraRoundsTrace_)
        for (float& item : round) item *= microsPerTick;
    batch.extraRoundMicros = std::move(extraRoundsTrace_);
    extraRoundsTrace_.clear();
    extraRoundsWallMicros_ = 0;
}

void ParallelFill::StartRandomRound(std::int64_t from) {
    chain_.store(ChainHead{from, randomState_, false}.Pack(), std::memory_order_relaxed);
    for (std::int64_t k = from; k < end_ - begin_; ++k)
        slots_[static_cast<std::size_t>(k)].finished.store(false, std::memory_order_relaxed);
}

std::uint32_t ParallelFill::PlannedStart(std::int64_t k) const {
    // The head cannot pass an entry whose phase has not ended, so it is at k or before.
    const ChainHead head = ChainHead::Unpack(chain_.load(std::memory_order_acquire));
    // The entries of [head, k) with a perfect score, word by word.
    std::int64_t perfect = 0;
    for (std::int64_t first = head.entry; first < k;) {
        const std::int64_t word = first / 64;
        const std::int64_t end = std::min(k, (word + 1) * 64);
        const auto width = static_cast<int>(end - first);
        std::uint64_t bits =
            perfectScores_[static_cast<std::size_t>(word)].load(std::memory_order_relaxed) >>
            (first % 64);
        if (width < 64) bits &= (std::uint64_t{1} << width) - 1;
        if (bits != 0) perfect += CountBits(bits);
        first = end;
    }
    return phaseJumps_[static_cast<std::size_t>(k - head.entry - perfect)].Apply(head.state);
}

// Commits from entry `from` of the batch on, in order; returns where it ended: the batch's end, a
// stop, or an entry whose random phase started from a state other than the true one.
std::int64_t ParallelFill::Commit(std::int64_t from) {
    std::uint32_t state = randomState_;
    std::int64_t k = from;
    for (; k < end_ - begin_; ++k) {
        if (k > 0 && job_.stopRequested->load(std::memory_order_acquire)) {
            stopped_ = true;
            break;
        }
        Slot& slot = slots_[static_cast<std::size_t>(k)];
        if (slot.plannedStart != state) break;  // an earlier random phase ended early
        if (slot.readsEarlier) {
            if (slot.redoneAlongside) {
                ++job_.stats.searchesRedoneAlongside;
            } else {
                PrefetchNextSearchAgain(k);
            }
            CommitNearEntries(k);
            if (!slot.redoneAlongside) SearchAgainNow(k, state);
            CommitOnce(k);
            ++job_.stats.searchesRedone;
            if (slot.nearCount > static_cast<std::int32_t>(slot.near.size()))
                ++job_.stats.searchesRedoneAfterAll;
        }
        state = slot.search.randomEnd;
    }
    // The rest read nothing another entry of the batch writes: committed on all threads, or here
    // when they are too few to hand out.
    commitFrom_ = std::min(from, k);
    commitEnd_ = k;
    const std::int64_t left = commitEnd_ - commitFrom_;
    if (left > kCommitChunk) {
        RunExtraRound(Ticket::Commits, (left + kCommitChunk - 1) / kCommitChunk);
    } else {
        for (std::int64_t e = commitFrom_; e < commitEnd_; ++e) CommitOnce(e);
    }
    committedEnd_ = begin_ + k;
    job_.stats.entriesFilled = committedEnd_;
    randomState_ = state;
    return k;
}

// What the next entry to be searched again reads and writes, fetched while this one is searched.
void ParallelFill::PrefetchNextSearchAgain(std::int64_t k) {
    for (std::int64_t next = k + 1; next < end_ - begin_; ++next) {
        const Slot& slot = slots_[static_cast<std::size_t>(next)];
        if (!slot.readsEarlier || slot.redoneAlongside) continue;
        engine_.PrefetchNeighbours(slot.search);
        engine_.PrefetchCommit(slot.search);
        const std::int32_t near =
            std::min(slot.nearCount, static_cast<std::int32_t>(slot.near.size()));
        for (std::int32_t j = 0; j < near; ++j)
            engine_.PrefetchCommit(
                slots_[static_cast<std::size_t>(slot.near[static_cast<std::size_t>(j)])].search);
        return;
    }
}

void ParallelFill::FinishWalks(std::int64_t count) {
    if (!walksUnfinished_.load(std::memory_order_relaxed)) return;
    for (;;) {
        unfinishedWalks_.clear();
        for (std::int64_t k = 0; k < count; ++k)
            if (!slots_[static_cast<std::size_t>(k)].walked) unfinishedWalks_.push_back(k);
        if (unfinishedWalks_.empty() || !engine_.offsetList.Extend()) return;
        // Walks deep inside a large hole reach far: two bands at once halve the rounds.
        engine_.offsetList.Extend();
        RunExtraRound(Ticket::Walks, static_cast<std::int64_t>(unfinishedWalks_.size()));
    }
}

void ParallelFill::CommitNearEntries(std::int64_t k) {
    const Slot& slot = slots_[static_cast<std::size_t>(k)];
    if (slot.nearCount <= static_cast<std::int32_t>(slot.near.size())) {
        for (std::int32_t j = 0; j < slot.nearCount; ++j)
            CommitOnce(slot.near[static_cast<std::size_t>(j)]);
        return;
    }
    for (std::int64_t e = 0; e < k; ++e) CommitOnce(e);
}

// The walk is brought up to date with the batch's entries committed before this one (those within
// its reach, when they are few); the random phase is shared out.
void ParallelFill::SearchAgainNow(std::int64_t k, std::uint32_t state) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    EntrySearch& search = slot.search;
    BringWalkUpToDate(k);
    engine_.ReadNeighbours(search);
    engine_.ScoreNeighbourProposals(search);
    if (search.best.score == 0) {
        FillEngine::FinishRandomPhase(search, state, {});
        return;
    }
    again_.slot = &slot;
    again_.state = state;
    RunExtraRound(Ticket::Stretches, static_cast<std::int64_t>(again_.stretches.size()));
    FillEngine::FinishRandomPhase(search, state, again_.stretches);
}

void ParallelFill::BringWalkUpToDate(std::int64_t k) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    if (slot.nearCount <= static_cast<std::int32_t>(slot.near.size())) {
        std::array<GridPoint, std::tuple_size_v<decltype(slot.near)>> filled;
        for (std::int32_t j = 0; j < slot.nearCount; ++j)
            filled[static_cast<std::size_t>(j)] = engine_.markedPoints[static_cast<std::size_t>(
                begin_ + slot.near[static_cast<std::size_t>(j)])];
        engine_.WalkAgain(slot.search, {filled.data(), static_cast<std::size_t>(slot.nearCount)});
    } else {
        const auto filled = engine_.markedPoints.begin() + begin_;
        engine_.WalkAgain(slot.search, {filled, filled + k});
    }
}

// The pixels of earlier entries no farther than the walk's farthest offset. Only the fill order
// and the walk decide it, so it is worked out with the random phase, on any thread.
void ParallelFill::FindEarlierEntriesWithinReach(std::int64_t k) {
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    const GridPoint target = slot.search.target;
    const std::int64_t reach = slot.search.reachSquare;
    std::int32_t count = 0;
    const auto found = [&](std::int32_t e) {
        if (count < static_cast<std::int32_t>(slot.near.size()))
            slot.near[static_cast<std::size_t>(count)] = e;
        ++count;
    };
    const auto before = static_cast<std::int32_t>(k);
    if (!cells_.FindNear(target, reach, before, found)) {
        const GridPoint* targets = engine_.markedPoints.data() + begin_;
        for (std::int32_t e = 0; e < before; ++e)
            if (SquaredLength(targets[e] - target) <= reach) found(e);
    }
    slot.nearCount = count;
    slot.readsEarlier = count > 0;
}

}  // namespace

void RunParallelFillLoop(FillEngine& engine, FillJob& job, const FillRect& workRect, int threads) {
    ParallelFill(engine, job, workRect, threads).Run();
}

}  // namespace velmora
