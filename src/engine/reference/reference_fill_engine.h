#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/difference_table.h"
#include "engine/fill_job.h"
#include "engine/grid_point.h"
#include "engine/pixel_grid.h"
#include "engine/pixel_status.h"
#include "engine/random_generator.h"

// The straightforward fill engine, kept unchanged as the oracle for the production engine: the
// equivalence tests and the benchmarks run both on the same job and compare every pixel. It builds
// the whole offset list, scores one candidate at a time and checks every bound. It is not linked
// into the program.
namespace velmora::reference {

struct ReferenceNeighbours {
    static constexpr int kCapacity = 1000;
    static constexpr int kMaxCount = 16;

    std::int32_t count = 0;
    std::array<GridPoint, kCapacity> offset{};
    std::array<const PixelStatus*, kCapacity> status{};
    std::array<std::array<std::uint8_t, 8>, kCapacity> colour{};
};

class ReferenceFillEngine {
  public:
    ReferenceFillEngine();

    ByteGrid workGrid;
    ByteGrid maskGrid;
    ByteGrid sourceGrid;
    ByteGrid sourceMaskGrid;
    PixelGrid<PixelStatus> statusGrid;
    PixelGrid<std::int32_t> triedGrid;
    std::vector<GridPoint> markedPoints;
    std::vector<GridPoint> sourcePoints;
    std::vector<GridPoint> offsetList;
    DifferenceTable differenceTable;
    RandomGenerator random;

    void BuildFillOrder();
    void SynthesizePixel(std::int32_t index);
    void ScoreCandidate(GridPoint candidate);

    [[nodiscard]] std::int32_t bestScore() const { return bestScore_; }
    [[nodiscard]] GridPoint bestPosition() const { return bestPosition_; }

  private:
    void GatherNeighbours(GridPoint target);
    [[nodiscard]] bool IsUsableSource(GridPoint p) const {
        return sourceGrid.Contains(p) && *sourceMaskGrid.At(p) != 0;
    }

    std::unique_ptr<ReferenceNeighbours> neighbours_;
    std::int32_t bestScore_ = 0;
    GridPoint bestPosition_;
};

// Every displacement with |dx| < width and |dy| < height, sorted by (dx² + dy², dy, dx).
void BuildReferenceOffsetList(std::vector<GridPoint>& offsets, std::int32_t width,
                              std::int32_t height);

// The whole job, step by step as the production engine's RunFillJob: the same reads, posts,
// progress steps, stop checks and write-backs.
void RunReferenceFillJob(ReferenceFillEngine& engine, FillJob& job);

}  // namespace velmora::reference
