// From numbers to a card's bit string and report, by the same table rows the decoder reads.
#pragma once

#include <cstdint>
#include <vector>

#include "wiegand/bit_string.h"
#include "wiegand/formats.h"

namespace wiegand {

enum class ParityChoice { Right, WrongBegin, WrongEnd };

// `code` is the facility or company code (ignored by a format without one).
bool Fits(const Format& format, std::uint64_t code, std::uint64_t card);
// Throws std::invalid_argument when a number does not fit its field.
BitString Encode(const Format& format, std::uint64_t code, std::uint64_t card, ParityChoice parity);
// The report the interface sends for this card: kind 3 with its two parity bits described when
// `describeParity` and the format has that shape, else kind 2 with the whole frame.
std::vector<std::uint8_t> EncodeReport(const Format& format, std::uint64_t code, std::uint64_t card,
                                       ParityChoice parity, bool describeParity);

}  // namespace wiegand
