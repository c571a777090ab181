// Every interpretation of one transmission report that fits: the card formats of the table
// with their numbers and parity, and the plain UID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wiegand/formats.h"

namespace wiegand {

struct Interpretation {
    const Format* format = nullptr;
    std::optional<std::uint64_t> facility;
    std::optional<std::uint64_t> company;
    std::uint64_t card = 0;
    std::vector<std::string> wrongParity;  // names of the parity bits that do not match

    bool parityOk() const { return wrongParity.empty(); }
    // "ok", "begin", "end", "both" (begin and end), or the wrong bits' names joined by '+'.
    std::string ParityText() const;
};

struct Uid {
    std::string hex;                       // the data bytes as sent, upper-case, no separators
    std::string hexReversed;               // the same bytes in reverse order
    std::optional<std::uint64_t> decimal;  // the data bits as one number, up to 64 bits
};

struct Decoded {
    int kind = -1;           // -1 for an empty payload
    int bits = 0;            // n as the report gives it
    std::optional<int> key;  // kind 1
    std::optional<Uid> uid;  // card kinds whose payload holds all data bits
    std::vector<Interpretation> formats;

    // The first format with right parity, else the first format; nullptr without formats.
    const Interpretation* Best() const;
};

Decoded Decode(const std::uint8_t* payload, std::size_t count);

}  // namespace wiegand
