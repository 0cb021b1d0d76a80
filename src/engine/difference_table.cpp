#include "difference_table.h"

#include <cmath>

namespace velmora {

void BuildDifferenceTable(DifferenceTable& table) {
    // 0.117 is the curve's scale (its inflection point lies near 30 channel levels); the divisor
    // is 1 + (1 / 0.117)^2, the value of 1 + a^2 at d = +-256, so that entry is exactly 65536.
    constexpr double kScale = 0.117;
    constexpr double kCeilingArgument = 74.05135510263715;
    const double logCeiling = std::log(kCeilingArgument);
    for (int d = -256; d < 256; ++d) {
        const double a = d / 256.0 / kScale;
        const double cost = std::log(1.0 + a * a) / logCeiling * 65536.0;
        table.entries_[static_cast<std::size_t>(d + 256)] = static_cast<std::int32_t>(cost);
    }
}

}  // namespace velmora
