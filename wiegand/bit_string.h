// A Wiegand bit string in the order the bits travel: bit 0 is the first bit sent.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wiegand {

// The longest frame a report carries: 67 bits, and a kind 3 report's 67 with its two parity
// bits around them.
inline constexpr int kMaxFrameBits = 69;

class BitString {
  public:
    BitString() = default;
    explicit BitString(std::size_t size) : bits_(size, 0) {}
    // "0110…" as printed in format descriptions; any other character reads as 1.
    static BitString FromText(const std::string& text);
    // `count` bits from `bytes`, first bit in bit 7 of the first byte. The caller guarantees
    // that the bytes hold them: (count + 7) / 8 bytes.
    static BitString FromBytes(const std::uint8_t* bytes, std::size_t count);

    std::size_t size() const { return bits_.size(); }
    bool operator[](std::size_t i) const { return bits_[i] != 0; }
    void Set(std::size_t i, bool value) { bits_[i] = value ? 1 : 0; }
    void Flip(std::size_t i) { bits_[i] ^= 1; }
    void Append(bool value) { bits_.push_back(value ? 1 : 0); }
    void Append(const BitString& other);

    // The `width` bits from `first` as an unsigned number, first bit most significant
    // (width at most 64).
    std::uint64_t Value(std::size_t first, std::size_t width) const;
    // 1 when an odd number of the bits at the positions set in `positions` are 1.
    bool ParityOf(const std::bitset<kMaxFrameBits>& positions) const;
    void SetValue(std::size_t first, std::size_t width, std::uint64_t value);
    // Left-aligned bytes: first bit in bit 7 of byte 0, the last byte padded with zeros.
    std::vector<std::uint8_t> Bytes() const;
    std::string Text() const;

    bool operator==(const BitString&) const = default;

  private:
    std::vector<std::uint8_t> bits_;
};

}  // namespace wiegand
