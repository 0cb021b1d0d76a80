#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "difference_table.h"
#include "grid_point.h"
#include "offset_list.h"
#include "pixel_grid.h"
#include "pixel_status.h"
#include "random_generator.h"

namespace velmora {

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
    std::vector<GridPoint> markedPoints;
    std::vector<GridPoint> sourcePoints;
    OffsetList offsetList;
    DifferenceTable differenceTable;
    RandomGenerator random;

    // Shuffles the marked points over the whole list, then repeats them: every pixel is visited
    // twice. Needs at least one marked point.
    void BuildFillOrder();

    // Fills entry `index` of the fill order by the best-match search.
    void SynthesizePixel(std::int32_t index);

    // Compares source position `candidate` with the current neighbourhood and keeps it as the best
    // match when its sum is strictly smaller.
    void ScoreCandidate(GridPoint candidate);

    [[nodiscard]] const NeighbourSet& neighbours() const { return *neighbours_; }
    [[nodiscard]] const BestMatch& bestMatch() const { return bestMatch_; }

  private:
    void GatherNeighbours(GridPoint target);
    [[nodiscard]] bool IsUsableSource(GridPoint p) const {
        return sourceGrid.Contains(p) && *sourceMaskGrid.At(p) != 0;
    }

    std::unique_ptr<NeighbourSet> neighbours_;
    BestMatch bestMatch_;
};

}  // namespace velmora
