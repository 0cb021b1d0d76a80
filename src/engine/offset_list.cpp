#include "offset_list.h"

#include <algorithm>
#include <tuple>

namespace velmora {

void BuildOffsetList(OffsetList& offsets, std::int32_t width, std::int32_t height) {
    offsets.clear();
    offsets.reserve(static_cast<std::size_t>(2 * width - 1) *
                    static_cast<std::size_t>(2 * height - 1));
    for (std::int32_t dy = 1 - height; dy <= height - 1; ++dy) {
        for (std::int32_t dx = 1 - width; dx <= width - 1; ++dx) offsets.push_back({dx, dy});
    }
    const auto key = [](GridPoint o) {
        return std::tuple{
            static_cast<std::int64_t>(o.x) * o.x + static_cast<std::int64_t>(o.y) * o.y, o.y, o.x};
    };
    std::sort(offsets.begin(), offsets.end(),
              [&key](GridPoint a, GridPoint b) { return key(a) < key(b); });
}

}  // namespace velmora
