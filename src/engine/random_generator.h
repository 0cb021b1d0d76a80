#pragma once

#include <cstdint>

namespace velmora {

// The engine's linear congruential generator: 15-bit draws from a 32-bit state.
class RandomGenerator {
  public:
    void Seed(std::uint32_t state) { state_ = state; }
    [[nodiscard]] std::uint32_t state() const { return state_; }

    std::uint32_t Draw() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFFu;
    }

    // A value in [0, count) from two draws; count must be at least 1.
    std::uint32_t RandomIndex(std::uint32_t count) {
        const std::uint32_t high = Draw();
        const std::uint32_t low = Draw();
        return (high * 32768u + low) % count;
    }

  private:
    std::uint32_t state_ = 0;
};

}  // namespace velmora
