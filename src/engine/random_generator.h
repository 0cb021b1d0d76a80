#pragma once

#include <cstdint>

namespace velmora {

// Several draws of the generator folded into one affine step of its state: after the draws the
// state is multiplier * state + increment (modulo 2^32). It lets a search compute the state at any
// later draw directly, so that candidates can be drawn ahead and the state rewound exactly.
struct RandomJump {
    std::uint32_t multiplier = 1;
    std::uint32_t increment = 0;

    // The step that `draws` consecutive draws make.
    [[nodiscard]] static constexpr RandomJump Of(std::uint32_t draws);

    [[nodiscard]] constexpr std::uint32_t Apply(std::uint32_t state) const {
        return multiplier * state + increment;
    }
    // This step followed by `next`.
    [[nodiscard]] constexpr RandomJump Then(RandomJump next) const {
        return {next.multiplier * multiplier, next.multiplier * increment + next.increment};
    }
};

// The engine's linear congruential generator: 15-bit draws from a 32-bit state.
class RandomGenerator {
  public:
    static constexpr RandomJump kOneDraw{214013u, 2531011u};

    void Seed(std::uint32_t state) { state_ = state; }
    [[nodiscard]] std::uint32_t state() const { return state_; }

    std::uint32_t Draw() {
        state_ = kOneDraw.Apply(state_);
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

constexpr RandomJump RandomJump::Of(std::uint32_t draws) {
    RandomJump result;
    RandomJump power = RandomGenerator::kOneDraw;
    for (; draws != 0; draws >>= 1, power = power.Then(power))
        if ((draws & 1u) != 0) result = result.Then(power);
    return result;
}

}  // namespace velmora
