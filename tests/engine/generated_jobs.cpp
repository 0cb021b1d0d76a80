#include "generated_jobs.h"

#include <algorithm>
#include <atomic>

#include "engine/bgr_image.h"

namespace velmora::testing {

// Pictures that exercise every path: flat areas (searches that end at a perfect score), smooth
// gradients, stripes and noise.
ByteGrid MakePicture(Dice& dice, std::int32_t width, std::int32_t height) {
    ByteGrid picture;
    picture.SetSize(width, height, 3);
    const int kind = dice.Between(0, 3);
    const std::int32_t period = dice.Between(2, 9);
    const std::uint8_t base = static_cast<std::uint8_t>(dice.Between(0, 255));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = picture.At({x, y});
            for (int k = 0; k < 3; ++k) {
                int v = base;
                if (kind == 1) v = (x * 3 + y * 2 + k * 40) % 256;
                if (kind == 2) v = ((x / period + y / period + k) % 2) * 200 + 20;
                if (kind == 3) v = static_cast<int>(dice.Next() >> 24);
                if (kind != 3 && dice.Between(0, 9) == 0)
                    v = (v + dice.Between(0, 6)) % 256;  // a little grain
                p[k] = static_cast<std::uint8_t>(v);
            }
        }
    }
    return picture;
}

// A selection (rectangle or disc), its bounds, and a source rectangle: derived, or moved by hand
// (possibly leaving the picture, which ends the job early in both engines).
Inputs MakeInputs(std::uint32_t caseSeed) {
    Dice dice(caseSeed);
    Inputs in;
    const std::int32_t width = dice.Between(20, 110);
    const std::int32_t height = dice.Between(16, 90);
    in.picture = MakePicture(dice, width, height);
    const std::int32_t w = dice.Between(1, std::min(width - 1, 44));
    const std::int32_t h = dice.Between(1, std::min(height - 1, 44));
    const std::int32_t x0 = dice.Between(0, width - w);
    const std::int32_t y0 = dice.Between(0, height - h);
    const bool disc = dice.Between(0, 2) == 0;
    in.fillMask.SetSize(width, height, 1);
    in.fillMask.Fill(0);
    for (std::int32_t y = y0; y < y0 + h; ++y)
        for (std::int32_t x = x0; x < x0 + w; ++x) {
            const double dx = (x + 0.5 - x0 - w / 2.0) / (w / 2.0);
            const double dy = (y + 0.5 - y0 - h / 2.0) / (h / 2.0);
            if (!disc || dx * dx + dy * dy <= 1.0) *in.fillMask.At({x, y}) = 255;
        }
    in.selectionBounds = {x0, y0, w, h};
    if (dice.Between(0, 3) == 0) {
        in.sourceRect = {dice.Between(-5, width - 2), dice.Between(-5, height - 2),
                         dice.Between(0, width), dice.Between(0, height)};
    } else {
        const std::int32_t margin = std::max(w / 2, 50);
        const std::int32_t sx = std::max(x0 - margin, 0);
        const std::int32_t sy = std::max(y0 - 5, 0);
        in.sourceRect = {sx, sy, std::min(width, x0 + w + margin) - sx,
                         std::min(height, y0 + h + 5) - sy};
    }
    in.sourceMask.SetSize(width, height, 1);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const bool inside = x >= in.sourceRect.x && y >= in.sourceRect.y &&
                                x < in.sourceRect.x + in.sourceRect.width &&
                                y < in.sourceRect.y + in.sourceRect.height;
            *in.sourceMask.At({x, y}) = inside && *in.fillMask.At({x, y}) == 0 ? 0 : 255;
        }
    in.seed = dice.Next();
    in.description = "case " + std::to_string(caseSeed) + ": " + std::to_string(width) + "x" +
                     std::to_string(height) + (disc ? " disc " : " rect ") + std::to_string(w) +
                     "x" + std::to_string(h) + " seed " + std::to_string(in.seed);
    return in;
}

JobRig::JobRig(const Inputs& in) {
    image.pixels().SetSize(in.picture.width(), in.picture.height(), 3);
    std::copy(in.picture.begin(), in.picture.end(), image.pixels().begin());
    job.image = &image;
    job.fillMask = &in.fillMask;
    job.sourceMask = &in.sourceMask;
    job.selectionBounds = in.selectionBounds;
    job.sourceRect = in.sourceRect;
    job.busy = &busy;
    job.stopRequested = &stop;
    job.seedClock = [seed = in.seed] { return seed; };
}

Outcome Run(const Inputs& in, const std::function<std::vector<GridPoint>(FillJob&)>& runJob,
            std::optional<int> stopAfter, bool keepProgress) {
    JobRig rig(in);
    BgrImage& image = rig.image;
    FillJob& job = rig.job;
    int reports = 0;
    Outcome outcome;
    job.post = [&](int command) {
        if (command == ID_FILL_PROGRESS && keepProgress) {
            ByteGrid copy;
            copy.SetSize(image.pixels().width(), image.pixels().height(), 3);
            std::copy(image.pixels().begin(), image.pixels().end(), copy.begin());
            outcome.progressPictures.push_back(std::move(copy));
        }
        if (command == ID_FILL_PROGRESS && stopAfter && ++reports == *stopAfter) rig.stop = true;
    };
    outcome.fillOrder = runJob(job);
    outcome.stats = job.stats;
    outcome.picture = std::move(image.pixels());
    return outcome;
}

}  // namespace velmora::testing
