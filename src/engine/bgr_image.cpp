#include "bgr_image.h"

#include <algorithm>

namespace velmora {

bool BgrImage::ReadColour(const FillRect& area, ByteGrid& out) {
    if (!area.LiesInside(Width(), Height())) return false;
    out.SetSize(area.width, area.height, 3);
    for (std::int32_t row = 0; row < area.height; ++row) {
        const std::uint8_t* from = pixels_.At({area.x, area.y + row});
        std::copy(from, from + 3 * area.width, out.Row(row));
    }
    return true;
}

bool BgrImage::WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack) {
    if (!area.LiesInside(Width(), Height()) || pixels.width() != area.width ||
        pixels.height() != area.height || pixels.depth() != 3)
        return false;
    for (std::int32_t row = 0; row < area.height; ++row) {
        const std::uint8_t* from = pixels.Row(row);
        std::copy(from, from + 3 * area.width, pixels_.At({area.x, area.y + row}));
    }
    return true;
}

}  // namespace velmora
