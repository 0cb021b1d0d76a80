#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// The cost of a difference d (-256..255) between two channel bytes, stored at d + 256: a saturating
// curve, roughly quadratic for small differences, flattening towards 65536. The entry for -256 is
// never reached by a real difference and is the cost of a position that cannot be compared.
class DifferenceTable {
  public:
    static constexpr int kSize = 512;
    static constexpr int kUncomparable = -256;

    [[nodiscard]] std::int32_t operator[](int difference) const {
        return entries_[static_cast<std::size_t>(difference + 256)];
    }
    [[nodiscard]] const std::int32_t* Centre() const { return entries_.data() + 256; }

  private:
    friend void BuildDifferenceTable(DifferenceTable& table);
    std::array<std::int32_t, kSize> entries_{};
};

void BuildDifferenceTable(DifferenceTable& table);

}  // namespace velmora
