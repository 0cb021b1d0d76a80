#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bgr_image.h"
#include "engine/fill_job.h"
#include "engine/grid_point.h"
#include "engine/pixel_grid.h"

namespace velmora::bench {

// What every bench that replays cases is told on its command line: how often to run each case
// (the fastest run counts), which cases (by part of their name) and where the photographs are.
struct CaseChoice {
    explicit CaseChoice(int defaultRepeat);

    int repeat;
    std::string only;
    std::vector<std::string> photoDirectories;  // the bundled photographs', then each --photos

    // Takes argv[i] and its value when it is --repeat N, --only TEXT or --photos DIR.
    bool Read(int& i, int argc, char** argv);
};

// One fill to time: a picture (B,G,R), what is selected in it and the job's seed.
struct BenchCase {
    std::string name;
    std::string group;  // "conformance", "generated" or "photo"
    std::shared_ptr<const ByteGrid> picture;
    FillRect selection;                     // a rectangle, unless `marks` is set
    std::shared_ptr<const ByteGrid> marks;  // a picture-sized mask of selected pixels
    std::optional<FillRect> sourceRect;     // derived from the selection when empty
    std::uint32_t seed = 1;
    std::shared_ptr<const ByteGrid> expected;  // the known result, for reference fills
};

// The engine's inputs for one case, as the selection tools build them.
struct CaseInputs {
    ByteGrid fillMask;
    ByteGrid sourceMask;
    FillRect selectionBounds;
    FillRect sourceRect;
};
[[nodiscard]] CaseInputs BuildInputs(const BenchCase& c);

// A job ready to run on a private copy of the case's picture, with its own flags and seed. The job
// points into the object, so it stays where it was made.
struct CaseJob {
    CaseJob(const BenchCase& c, const CaseInputs& inputs);
    CaseJob(const CaseJob&) = delete;
    CaseJob& operator=(const CaseJob&) = delete;

    BgrImage image;
    std::atomic<bool> busy{false};
    std::atomic<bool> stop{false};
    FillJob job;
};

// A width x height picture with the look of a photograph: soft light, shapes with edges, textured
// surfaces and sensor noise, the same for the same seed.
[[nodiscard]] ByteGrid GeneratePhotoLike(std::int32_t width, std::int32_t height,
                                         std::uint32_t seed);

// Reads a picture file as B,G,R; empty when it cannot be read.
[[nodiscard]] std::optional<ByteGrid> LoadPicture(const std::string& path);

// The same picture resampled smoothly to about `megapixels` million pixels, keeping its shape.
[[nodiscard]] ByteGrid ScaleToMegapixels(const ByteGrid& picture, double megapixels);

// Selections used on every picture: 40 x 40, 120 x 100 and a centred third of the area; a tenth
// for the largest pictures.
enum class SelectionSize { Small, Medium, Third, Tenth };
[[nodiscard]] FillRect CentredSelection(std::int32_t width, std::int32_t height,
                                        SelectionSize size);
[[nodiscard]] const char* SelectionName(SelectionSize size);

// The reference fills listed in `directory`/cases.tsv.
[[nodiscard]] std::vector<BenchCase> ConformanceCases(const std::string& directory);

}  // namespace velmora::bench
