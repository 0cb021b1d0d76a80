#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "grid_point.h"
#include "large_buffer.h"

namespace velmora {

// A rectangular array of `depth` elements per pixel, packed row after row with no gap:
// element k of pixel (x, y) is element (y * width + x) * depth + k.
template <typename Element>
class PixelGrid {
  public:
    PixelGrid() = default;

    // Gives the grid a new size. The old elements are released; the new ones are uninitialised.
    // Throws std::bad_alloc when the elements cannot be allocated (the fill job catches it).
    void SetSize(std::int32_t width, std::int32_t height, std::int32_t depth = 1) {
        data_.reset();
        width_ = height_ = depth_ = 0;
        std::size_t count = 0;
        if (width < 0 || height < 0 || depth < 0 ||
            __builtin_mul_overflow(static_cast<std::size_t>(width),
                                   static_cast<std::size_t>(height), &count) ||
            __builtin_mul_overflow(count, static_cast<std::size_t>(depth), &count))
            throw std::bad_alloc();
        data_ = MakeLargeBuffer<Element>(count);
        width_ = width;
        height_ = height;
        depth_ = depth;
    }

    void Release() {
        data_.reset();
        width_ = height_ = depth_ = 0;
    }

    void Fill(const Element& value) { std::fill(begin(), end(), value); }

    [[nodiscard]] std::int32_t width() const { return width_; }
    [[nodiscard]] std::int32_t height() const { return height_; }
    [[nodiscard]] std::int32_t depth() const { return depth_; }
    [[nodiscard]] std::size_t size() const {
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
               static_cast<std::size_t>(depth_);
    }
    [[nodiscard]] bool Contains(GridPoint p) const {
        return p.x >= 0 && p.y >= 0 && p.x < width_ && p.y < height_;
    }

    [[nodiscard]] Element* data() { return data_.get(); }
    [[nodiscard]] const Element* data() const { return data_.get(); }
    [[nodiscard]] Element* begin() { return data_.get(); }
    [[nodiscard]] Element* end() { return data_.get() + size(); }
    [[nodiscard]] const Element* begin() const { return data_.get(); }
    [[nodiscard]] const Element* end() const { return data_.get() + size(); }

    [[nodiscard]] Element* At(GridPoint p) { return data_.get() + Index(p); }
    [[nodiscard]] const Element* At(GridPoint p) const { return data_.get() + Index(p); }
    [[nodiscard]] Element* Row(std::int32_t y) { return At({0, y}); }
    [[nodiscard]] const Element* Row(std::int32_t y) const { return At({0, y}); }

  private:
    [[nodiscard]] std::size_t Index(GridPoint p) const {
        return (static_cast<std::size_t>(p.y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(p.x)) *
               static_cast<std::size_t>(depth_);
    }

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t depth_ = 0;
    LargeBuffer<Element> data_;
};

using ByteGrid = PixelGrid<std::uint8_t>;

}  // namespace velmora
