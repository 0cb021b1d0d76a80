#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "difference_table.h"
#include "grid_point.h"
#include "known_walk.h"
#include "large_buffer.h"
#include "offset_rings.h"
#include "pixel_grid.h"
#include "pixel_status.h"
#include "random_generator.h"
#include "random_search.h"
#include "source_pixels.h"

namespace velmora {

// Random candidates a search scores at most (two draws each).
inline constexpr int kRandomCandidates = 500;

// Blue, green and red in the low three bytes.
inline std::uint32_t PackColour(const std::uint8_t* colour) {
    return colour[0] | (std::uint32_t{colour[1]} << 8) | (std::uint32_t{colour[2]} << 16);
}

// The nearest known pixels around the pixel being filled; entry 0 is always the target itself.
struct NeighbourSet {
    static constexpr int kCapacity = 1000;
    static constexpr int kMaxCount = 16;

    std::int32_t count = 0;
    std::array<GridPoint, kCapacity> offset{};
    std::array<const PixelStatus*, kCapacity> status{};
    std::array<std::array<std::uint8_t, 8>, kCapacity> colour{};
};

struct BestMatch {
    static constexpr std::int32_t kUnscored = 1 << 30;

    std::int32_t score = kUnscored;
    GridPoint position;
};

// A pixel whose search is final but not yet committed: the searches read it as CommitSearch
// would leave it (its colour from `source`, filled from there).
struct PendingFill {
    GridPoint pixel;
    GridPoint source;
};

// One fill-order entry's search, worked out from the grids as they stand without changing them,
// so that several entries can be searched at once; CommitSearch applies it.
struct EntrySearch {
    std::int32_t index = 0;
    GridPoint target;
    // dx² + dy² of the farthest offset the walk examined: a pixel of the work area nearer than
    // this (or at the same distance) may have changed what the search read.
    std::int64_t reachSquare = 0;
    // Where a walk that ran out of generated offsets stopped (its neighbours so far kept), for
    // the next walk of the same entry to go on from; 0 once a walk has finished.
    std::int64_t walkedTo = 0;
    // The neighbours but the target: offsets for the bounds-checked sums, probes for the rest.
    std::array<GridPoint, ProbeSet::kCapacity> offsets{};
    ProbeSet probes;
    bool withinGuard = true;
    BestMatch best;
    std::uint32_t randomStart = 0;  // the generator before the random phase
    std::uint32_t randomEnd = 0;    // and after it
};

// A stretch of a random phase, scored on its own: candidates [first, first + count) of a phase,
// from the neighbours' best. Put together in order, stretches give the whole phase
// (FinishRandomPhase).
struct RandomStretch {
    BestMatch best;               // the first candidate below the neighbours' best with the
                                  // stretch's smallest sum, if any
    std::uint32_t randomEnd = 0;  // the generator after the stretch, or after its first sum of 0
};

// Pixel lists as long as the pictures' pixel counts.
using PointList = std::vector<GridPoint, LargeBufferAllocator<GridPoint>>;

// The engine's working state: the grids copied from the picture, the pixel lists, the tables and
// the generator. One job at a time uses it; it keeps its buffers from one job to the next.
class FillEngine {
  public:
    FillEngine();

    ByteGrid workGrid;        // the work rectangle, B,G,R; marked pixels are overwritten
    ByteGrid maskGrid;        // non-zero = pixel to fill
    ByteGrid sourceGrid;      // the source rectangle as it was at the job's start
    ByteGrid sourceMaskGrid;  // non-zero = usable source pixel (after conversion)
    PixelGrid<PixelStatus> statusGrid;
    PixelGrid<std::int32_t> triedGrid;  // fill-order index of the last search that scored it
    PointList markedPoints;             // the fill order, once built: every marked pixel twice
    PointList sourcePoints;
    OffsetRings offsetList;  // generated lazily, as far as the neighbourhood walks reach
    DifferenceTable differenceTable;
    RandomGenerator random;

    // Shuffles the marked points over the whole list, then repeats them: every pixel is visited
    // twice. Needs at least one marked point.
    void BuildFillOrder();

    // Packs the source grids for the searches of a job. Until FinishSearches the source grids,
    // the source points and the difference table must not change. A SynthesizePixel call outside
    // such a span packs them for that one call.
    void StartSearches();
    void FinishSearches();

    // Fills entry `index` of the fill order by the best-match search.
    void SynthesizePixel(std::int32_t index);

    // Collects the neighbourhood of `target` into neighbours().
    void GatherNeighbours(GridPoint target);

    // Compares source position `candidate` with the current neighbourhood and keeps it as the best
    // match when its sum is strictly smaller.
    void ScoreCandidate(GridPoint candidate);

    // The search of entry `index` up to its random phase: the neighbourhood walk and the
    // candidates the neighbours propose. It only reads the engine, so several threads may run it
    // at once while nothing else changes. False when the walk needs offsets not generated yet
    // (extend offsetList and search again: the walk goes on where it stopped).
    [[nodiscard]] bool SearchNeighbours(std::int32_t index, EntrySearch& search) const;
    // The same in steps, for a search split over threads: the walk (false as above), the
    // neighbours' colours, then the candidates they propose; `pending` pixels are read as
    // if committed (a few at most: each costs a comparison per neighbour).
    [[nodiscard]] bool WalkNeighbourhood(std::int32_t index, EntrySearch& search) const;
    void ReadNeighbours(EntrySearch& search, std::span<const PendingFill> pending = {}) const;
    void ScoreNeighbourProposals(EntrySearch& search,
                                 std::span<const PendingFill> pending = {}) const;
    // Brings a finished walk up to date after CommitSearch filled `filledSince` (and nothing else
    // changed): the neighbours equal a new walk's, found without walking again, since known
    // pixels only ever become more. ReadNeighbours comes next.
    void WalkAgain(EntrySearch& search, std::span<const GridPoint> filledSince) const;
    // Starts fetching what ReadNeighbours and ScoreNeighbourProposals will read of the search's
    // neighbours.
    void PrefetchNeighbours(const EntrySearch& search) const;

    // The random phase from generator state `state`; nothing is drawn when the neighbours already
    // gave a perfect score. Reads only, like SearchNeighbours.
    void SearchRandom(EntrySearch& search, std::uint32_t state) const;
    // The same in stretches that may run at once, on threads of their own, after
    // ScoreNeighbourProposals; FinishRandomPhase then puts them together in order.
    [[nodiscard]] RandomStretch SearchRandomStretch(const EntrySearch& search, std::uint32_t state,
                                                    int first, int count) const;
    static void FinishRandomPhase(EntrySearch& search, std::uint32_t state,
                                  std::span<const RandomStretch> stretches);
    // Applies a search: the target becomes known and filled with its best match.
    void CommitSearch(const EntrySearch& search);
    // Starts fetching what CommitSearch will read and write.
    void PrefetchCommit(const EntrySearch& search) const;
    // Starts fetching the grids around fill-order entry `index` (when there is one) that its walk
    // and its neighbours' proposals read first: the fill order jumps about the work area, so each
    // entry's neighbourhood is far from the last one's.
    void PrefetchEntry(std::int64_t index) const;

    [[nodiscard]] const NeighbourSet& neighbours() const { return *neighbours_; }
    [[nodiscard]] const BestMatch& bestMatch() const { return bestMatch_; }

    // The instruction set of the random candidate search; the fastest one the processor has unless
    // set otherwise. Every kernel gives the same results.
    void SetSearchKernel(SearchKernel kernel) { kernel_ = kernel; }
    [[nodiscard]] SearchKernel searchKernel() const { return kernel_; }

  private:
    void Synthesize(std::int32_t index);
    void PrepareProbes();
    void ScoreNeighbourCandidates(std::int32_t index);
    void ScoreRandomCandidates();
    [[nodiscard]] RandomSearchInput SearchInput() const;
    [[nodiscard]] RandomSearchInput SearchInput(const ProbeSet& probes) const;
    [[nodiscard]] std::int32_t SumWithinGuard(const ProbeSet& probes, std::int32_t position,
                                              std::int32_t best) const;
    [[nodiscard]] std::int32_t SumBounded(const GridPoint* offsets, const ProbeSet& probes,
                                          GridPoint candidate, std::int32_t best) const;
    // The random phase one candidate at a time with every bound checked, for neighbourhoods that
    // reach beyond the guard border (deep inside a large hole early in the first pass).
    void ScoreRandomCandidatesBounded(const GridPoint* offsets, const ProbeSet& probes,
                                      RandomGenerator& generator, BestMatch& best,
                                      int candidates = kRandomCandidates) const;
    // The dense known flags, as the neighbourhood walks read them.
    [[nodiscard]] KnownFlags WalkedFlags() const {
        return {known_.data(), known_.width(), known_.height()};
    }
    [[nodiscard]] bool VectorWalk() const { return kernel_ == SearchKernel::Avx512; }
    [[nodiscard]] bool IsUsableSource(GridPoint p) const {
        return sourceGrid.Contains(p) && *sourceMaskGrid.At(p) != 0;
    }

    std::unique_ptr<NeighbourSet> neighbours_;
    BestMatch bestMatch_;
    SearchKernel kernel_;
    SourcePixels source_;
    std::uint64_t sourceModulus_ = 0;
    // The difference table by magnitude as low and high bytes, when it is symmetric, below 65536
    // and 0 for equal values (as it always is); the vector kernels need both.
    std::array<std::uint8_t, 256> costLowBytes_{};
    std::array<std::uint8_t, 256> costHighBytes_{};
    bool costBytesValid_ = false;
    bool prefetch_ = false;
    ProbeSet probes_;
    ByteGrid known_;  // the known flags of statusGrid, one byte each, during searches
    bool probesWithinGuard_ = true;
};

}  // namespace velmora
