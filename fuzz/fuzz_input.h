#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velmora::fuzzing {

// Reads fixed-size values off the front of a fuzzer's input; zeros once it runs out.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take() {
        T value{};
        const std::size_t n = sizeof(T) <= size_ ? sizeof(T) : size_;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    // A value in [low, high].
    std::int32_t Between(std::int32_t low, std::int32_t high) {
        const auto span = static_cast<std::uint32_t>(high - low) + 1u;
        return low + static_cast<std::int32_t>(span == 0 ? Take<std::uint32_t>()
                                                         : Take<std::uint32_t>() % span);
    }
    [[nodiscard]] std::size_t remaining() const { return size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace velmora::fuzzing
