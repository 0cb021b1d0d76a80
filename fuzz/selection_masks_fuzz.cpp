// The outline rasteriser: outlines of up to 8000 points, self-intersecting, far outside the
// picture, with tracker rectangles of any size. The masks must keep their size and only ever hold 0
// or 255, and every selected pixel must be unusable as a source.
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "view/selection_masks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::fuzzing::FuzzInput input(data, size);
    const std::int32_t width = input.Between(1, 96);
    const std::int32_t height = input.Between(1, 96);
    const bool fromTracker = (input.Take<std::uint8_t>() & 1) != 0;
    const float zooms[] = {0.125f, 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 4.0f, 8.0f, 16.0f};
    const velmora::ViewMapping mapping{zooms[input.Take<std::uint8_t>() % 10],
                                       input.Between(0, 4000), input.Between(0, 4000)};
    velmora::SelectionMasks masks;
    masks.fillMask.SetSize(width, height, 1);
    masks.sourceMask.SetSize(width, height, 1);
    masks.trackerRect = {input.Take<std::int32_t>(), input.Take<std::int32_t>(),
                         input.Take<std::int32_t>(), input.Take<std::int32_t>()};
    std::vector<velmora::GridPoint> outline;
    const bool wide = (input.Take<std::uint8_t>() & 1) != 0;
    while (input.remaining() >= 4 && outline.size() < 7999) {
        outline.push_back(
            wide ? velmora::GridPoint{input.Take<std::int32_t>(), input.Take<std::int32_t>()}
                 : velmora::GridPoint{input.Between(-20, 120), input.Between(-20, 120)});
    }
    if (!outline.empty()) outline.push_back(outline.front());
    if (!velmora::BuildSelectionMasks(outline, mapping, fromTracker, masks)) return 0;
    if (masks.fillMask.width() != width || masks.sourceMask.height() != height) std::abort();
    for (std::size_t i = 0; i < masks.fillMask.size(); ++i) {
        const std::uint8_t fill = masks.fillMask.data()[i];
        const std::uint8_t source = masks.sourceMask.data()[i];
        if ((fill != 0 && fill != 255) || (source != 0 && source != 255)) std::abort();
        if (fill == 255 && source != 255) std::abort();
    }
    return 0;
}
