// The bits of one transmission report payload, and the payload of a bit string.
//
// Byte 0 holds the kind (bits 7-6) and the bit count n minus 4 (bits 5-0). The data bytes hold
// the n bits left-aligned, first bit in bit 7 of the first data byte, as the key bits of a
// keypad report do: "9C 12 34 56 78" is 32 bits 0x12345678, and a 26-bit card travels in four
// bytes whose last one keeps its 6 low bits 0. Kinds 0 and 2 carry the whole frame, parity bits
// included, from byte 1; kind 3 carries the n bits between the two parity bits from byte 2 and
// describes those two bits in byte 1 (bit 5 begin odd, bit 4 its value, bit 1 end odd, bit 0
// its value).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "wiegand/bit_string.h"

namespace wiegand {

enum ReportKind : int { kUnrecognised = 0, kKey = 1, kCard = 2, kCardWithParity = 3 };

struct ParityDescription {
    bool beginOdd = false;
    bool beginValue = false;
    bool endOdd = false;
    bool endValue = false;
};

struct ReportBits {
    int kind = 0;
    int bits = 0;                    // n, 4 to 67
    std::vector<std::uint8_t> data;  // the data bytes as sent (those the n bits need, at most)
    std::optional<BitString> frame;  // the n bits, or n + 2 with kind 3's parity bits around
                                     // them; absent when the payload holds fewer bytes
    ParityDescription parity;        // kind 3
    int key = 0;                     // kind 1
};

// `count` >= 1: the payload as the poll delivers it. Bytes past those the n bits need are
// ignored; missing bytes leave `frame` empty.
ReportBits ReadReport(const std::uint8_t* payload, std::size_t count);

// A kind 2 payload carrying `frame` whole.
std::vector<std::uint8_t> CardReport(const BitString& frame);
// A kind 3 payload: the first and last bits of `frame` become the described parity bits.
std::vector<std::uint8_t> CardReportWithParity(const BitString& frame, bool beginOdd, bool endOdd);

}  // namespace wiegand
