#pragma once

#include <cstdint>

namespace velmora {

// A rectangle in view (client) pixels: left, top, right, bottom.
struct ViewRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend constexpr bool operator==(const ViewRect&, const ViewRect&) = default;
};

}  // namespace velmora
