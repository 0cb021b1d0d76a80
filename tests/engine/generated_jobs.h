#pragma once

// Generated fill jobs for the engine's equivalence tests: pictures, selections, source rectangles
// and seeds drawn from a case number, and one way to run a job on them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/bgr_image.h"
#include "engine/fill_job.h"
#include "engine/grid_point.h"
#include "engine/pixel_grid.h"

namespace velmora::testing {

// A small generator for the test's own choices (the engine's generator is under test).
class Dice {
  public:
    explicit Dice(std::uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::int32_t Between(std::int32_t low, std::int32_t high) {  // inclusive
        return low + static_cast<std::int32_t>(Next() % static_cast<std::uint32_t>(high - low + 1));
    }

  private:
    std::uint32_t state_;
};

// Pictures that exercise every path: flat areas (searches that end at a perfect score), smooth
// gradients, stripes and noise.
ByteGrid MakePicture(Dice& dice, std::int32_t width, std::int32_t height);

struct Inputs {
    ByteGrid picture;
    ByteGrid fillMask;
    ByteGrid sourceMask;
    FillRect selectionBounds;
    FillRect sourceRect;
    std::uint32_t seed = 0;
    std::string description;
};

// A selection (rectangle or disc), its bounds, and a source rectangle: derived, or moved by hand
// (possibly leaving the picture, which ends the job early in both engines).
Inputs MakeInputs(std::uint32_t caseSeed);

struct Outcome {
    ByteGrid picture;
    FillJobStats stats;
    std::vector<GridPoint> fillOrder;
    // The picture at every progress write-back, when asked for.
    std::vector<ByteGrid> progressPictures;
};

// A job over a copy of the inputs' picture, with its flags, ready to run but for `post`.
struct JobRig {
    explicit JobRig(const Inputs& in);
    JobRig(const JobRig&) = delete;
    JobRig& operator=(const JobRig&) = delete;

    BgrImage image;
    std::atomic<bool> busy{false};
    std::atomic<bool> stop{false};
    FillJob job;
};

// An engine's fill order as a plain list.
template <typename Points>
std::vector<GridPoint> FillOrderOf(const Points& points) {
    return {points.begin(), points.end()};
}

// Runs one job through `runJob`, which returns the fill order; `stopAfter` progress reports, if
// given, asks it to stop there; `keepProgress` copies the picture
// at every progress report.
Outcome Run(const Inputs& in, const std::function<std::vector<GridPoint>(FillJob&)>& runJob,
            std::optional<int> stopAfter = std::nullopt, bool keepProgress = false);

}  // namespace velmora::testing
