#include "fill_image.h"

#include <algorithm>

namespace velmora {

bool ReadMaskArea(const ByteGrid& mask, const FillRect& area, ByteGrid& out) {
    if (mask.depth() != 1 || !area.LiesInside(mask.width(), mask.height())) return false;
    out.SetSize(area.width, area.height, 1);
    for (std::int32_t row = 0; row < area.height; ++row) {
        const std::uint8_t* from = mask.At({area.x, area.y + row});
        std::copy(from, from + area.width, out.Row(row));
    }
    return true;
}

}  // namespace velmora
