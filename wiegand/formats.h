// The card formats the decoder knows, as rows of one table: where each number lies in the bit
// string and which bits each parity bit covers. One generic routine reads the rows both ways
// (decode.cpp, encode.cpp); a new format is a new row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace wiegand {

enum class FieldKind : std::uint8_t { Facility, Company, Card };

struct Field {
    FieldKind kind;
    std::uint8_t first;  // 0-based position of the most significant bit
    std::uint8_t width;
};

// Parity bits are checked and computed in table order, so a bit that covers other parity bits
// comes after them.
struct ParityBit {
    const char* name;  // "begin", "end", "second": where the bit sits in the frame
    std::uint8_t position;
    bool odd;
    std::uint64_t covers;  // bit i set: position i counts towards this parity bit
};

struct Format {
    const char* name;
    int bits;
    std::array<Field, 2> fields;
    int fieldCount;
    std::array<ParityBit, 3> parity;
    int parityCount;
    // One begin bit over the first half of the data bits and one end bit over the second half
    // (both halves take the middle bit of an odd count): the shape of the reader's "n+2" frames,
    // so a report that describes its two parity bits can carry this format.
    bool edgeParity;
};

std::span<const Format> Formats();
const Format* FindFormat(std::string_view name);
// The largest number a field of the format holds.
std::uint64_t FieldMaximum(const Field& field);
const Field* FindField(const Format& format, FieldKind kind);

}  // namespace wiegand
