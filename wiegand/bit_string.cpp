#include "wiegand/bit_string.h"

namespace wiegand {

BitString BitString::FromText(const std::string& text) {
    BitString s;
    for (char c : text) {
        s.Append(c != '0');
    }
    return s;
}

BitString BitString::FromBytes(const std::uint8_t* bytes, std::size_t count) {
    BitString s(count);
    for (std::size_t i = 0; i < count; ++i) {
        s.Set(i, ((bytes[i / 8] >> (7 - i % 8)) & 1) != 0);
    }
    return s;
}

void BitString::Append(const BitString& other) {
    bits_.insert(bits_.end(), other.bits_.begin(), other.bits_.end());
}

std::uint64_t BitString::Value(std::size_t first, std::size_t width) const {
    std::uint64_t value = 0;
    for (std::size_t i = first; i < first + width; ++i) {
        value = (value << 1) | bits_[i];
    }
    return value;
}

bool BitString::ParityOf(const std::bitset<kMaxFrameBits>& positions) const {
    bool parity = false;
    for (std::size_t i = 0; i < bits_.size() && i < positions.size(); ++i) {
        if (positions.test(i)) {
            parity ^= bits_[i] != 0;
        }
    }
    return parity;
}

void BitString::SetValue(std::size_t first, std::size_t width, std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i) {
        Set(first + width - 1 - i, ((value >> i) & 1) != 0);
    }
}

std::vector<std::uint8_t> BitString::Bytes() const {
    std::vector<std::uint8_t> bytes((bits_.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (bits_[i] << (7 - i % 8)));
    }
    return bytes;
}

std::string BitString::Text() const {
    std::string text;
    for (std::uint8_t b : bits_) {
        text += b != 0 ? '1' : '0';
    }
    return text;
}

}  // namespace wiegand
