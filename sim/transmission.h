// A Wiegand transmission the reader sends to the interface; it becomes one 'W' report payload.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct Transmission {
    std::vector<std::uint8_t> payload;  // the report bytes as the interface sends them

    // Bit counts run from 4 to 67 and a payload holds at most 27 bytes (a 32-byte frame);
    // anything else throws std::invalid_argument.
    static Transmission Card(int bits, const std::vector<std::uint8_t>& data);
    // `bits` counts the data bits between the two parity bits.
    static Transmission CardWithParity(int bits, const std::vector<std::uint8_t>& data, bool begOdd,
                                       bool begValue, bool endOdd, bool endValue);
    // `bits` is 4 or 8; `keyBits` is the key's value (0..15 for 4-bit keys).
    static Transmission Key(int bits, std::uint8_t keyBits);
    static Transmission Unrecognised(int bits, const std::vector<std::uint8_t>& data);
};

}  // namespace sim
