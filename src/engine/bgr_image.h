#pragma once

#include "fill_image.h"

namespace velmora {

// A picture held as a plain 24-bit grid: what the engine's tests and benchmarks fill.
class BgrImage final : public FillImage {
  public:
    BgrImage() = default;
    explicit BgrImage(ByteGrid pixels) : pixels_(std::move(pixels)) {}

    [[nodiscard]] std::int32_t Width() const override { return pixels_.width(); }
    [[nodiscard]] std::int32_t Height() const override { return pixels_.height(); }
    bool ReadColour(const FillRect& area, ByteGrid& out) override;
    bool WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) override;

    [[nodiscard]] ByteGrid& pixels() { return pixels_; }
    [[nodiscard]] const ByteGrid& pixels() const { return pixels_; }

  private:
    ByteGrid pixels_;
};

}  // namespace velmora
