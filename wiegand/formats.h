// The card formats the decoder knows, as rows of one table: where each number lies in the bit
// string and which bits each parity bit covers. One generic routine reads the rows both ways
// (decode.cpp, encode.cpp); a new format is a new row, built in or from the user's own file.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "wiegand/bit_string.h"

namespace wiegand {

// Bit i set: frame position i (0-based, in the order the bits travel).
using BitMask = std::bitset<kMaxFrameBits>;

enum class FieldKind : std::uint8_t { Facility, Company, Card };

struct Field {
    FieldKind kind;
    int first;  // 0-based position of the most significant bit
    int width;  // 1 to 64
};

// Parity bits are checked and computed in table order, so a bit that covers other parity bits
// comes after them.
struct ParityBit {
    std::string name;  // "begin", "end", "second": where the bit sits in the frame
    int position;
    bool odd;
    BitMask covers;
};

struct Format {
    std::string name;
    int bits = 0;
    std::vector<Field> fields;
    std::vector<ParityBit> parity;
    // Among readings that fit, the lower comes first: the more specific format before the
    // general one that reads the same bits.
    int preference = 0;
};

// The rows a decode consults, in table order.
using FormatTable = std::vector<std::shared_ptr<const Format>>;

// The built-in rows.
std::span<const Format> Formats();
const FormatTable& BuiltInTable();
const Format* FindFormat(std::string_view name);
// The largest number a field of the format holds.
std::uint64_t FieldMaximum(const Field& field);
const Field* FindField(const Format& format, FieldKind kind);
// "facility", "company", "card": the field's name in format files and JSON.
std::string_view FieldName(FieldKind kind);
std::optional<FieldKind> FieldKindNamed(std::string_view name);

// One begin bit over the first half of the data bits and one end bit over the second half
// (both halves take the middle bit of an odd count): the shape of the reader's "n+2" frames,
// whose reports can describe both parity bits.
bool HasEdgeParity(const Format& format);
// The reader's own frame of `dataBits` card bits: "32+2" with a begin and an end bit of the
// given senses over the halves, or "32" without parity bits.
Format ReaderFrameFormat(int dataBits, bool parityBits, bool beginOdd, bool endOdd);

// What makes a row unusable, for a format file to point at: `where` is the offending part of
// the row ("fields[1]", "parity[0].covers"), empty for the row as a whole.
struct RowFault {
    std::string where;
    std::string message;  // Polish, for the user
};
// Fields that overlap one another or a parity bit, run past the frame or hold no card number;
// parity bits outside the frame, covering themselves or a parity bit after them.
std::optional<RowFault> CheckRow(const Format& format);

// `base` with the rows of `extra`: a row of the same name replaces the base's, in its place;
// the others are added at the end.
FormatTable MergedTable(const FormatTable& base, const FormatTable& extra);

}  // namespace wiegand
