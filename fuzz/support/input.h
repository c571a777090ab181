// Reads a fuzz input front to back; reads past the end give zeros or fewer bytes, never fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t remaining() const { return size_ - pos_; }

    std::uint8_t U8() { return remaining() > 0 ? data_[pos_++] : 0; }

    std::uint16_t U16() {
        const std::uint8_t low = U8();
        return static_cast<std::uint16_t>(low | (U8() << 8));
    }

    // Up to `count` bytes, fewer when the input ends first.
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        const std::size_t n = std::min(count, remaining());
        std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }

    std::vector<std::uint8_t> Rest() { return Bytes(remaining()); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace fuzz
