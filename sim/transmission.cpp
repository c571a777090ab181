#include "sim/transmission.h"

#include <stdexcept>

namespace sim {
namespace {

constexpr int kMinBits = 4;
constexpr int kMaxBits = 67;  // six bits hold the count minus 4
constexpr std::size_t kMaxPayload = 27;

enum Kind : std::uint8_t { kUnrecognised = 0, kKey = 1, kCard = 2, kCardWithParity = 3 };

Transmission Build(Kind kind, int bits, std::vector<std::uint8_t> rest) {
    if (bits < kMinBits || bits > kMaxBits) {
        throw std::invalid_argument("Wiegand bit count outside 4..67");
    }
    if (rest.size() + 1 > kMaxPayload) {
        throw std::invalid_argument("report payload longer than 27 bytes");
    }
    Transmission t;
    t.payload.reserve(rest.size() + 1);
    t.payload.push_back(static_cast<std::uint8_t>((kind << 6) | (bits - kMinBits)));
    t.payload.insert(t.payload.end(), rest.begin(), rest.end());
    return t;
}

}  // namespace

Transmission Transmission::Card(int bits, const std::vector<std::uint8_t>& data) {
    return Build(kCard, bits, data);
}

Transmission Transmission::CardWithParity(int bits, const std::vector<std::uint8_t>& data,
                                          bool begOdd, bool begValue, bool endOdd, bool endValue) {
    const auto parity =
        static_cast<std::uint8_t>((begOdd << 5) | (begValue << 4) | (endOdd << 1) | endValue);
    std::vector<std::uint8_t> rest{parity};
    rest.insert(rest.end(), data.begin(), data.end());
    return Build(kCardWithParity, bits, rest);
}

Transmission Transmission::Key(int bits, std::uint8_t keyBits) {
    if (bits == 4) {
        if (keyBits > 0x0F) {
            throw std::invalid_argument("4-bit key above 15");
        }
        // The first key bit travels in bit 7.
        return Build(kKey, bits, {static_cast<std::uint8_t>(keyBits << 4)});
    }
    if (bits == 8) {
        return Build(kKey, bits, {keyBits});
    }
    throw std::invalid_argument("keys are 4 or 8 bits wide");
}

Transmission Transmission::Unrecognised(int bits, const std::vector<std::uint8_t>& data) {
    return Build(kUnrecognised, bits, data);
}

}  // namespace sim
