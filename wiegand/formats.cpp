#include "wiegand/formats.h"

namespace wiegand {

namespace {

// Positions below are 0-based; the layouts they come from count from 1, as quoted.
constexpr std::uint64_t Range(int first, int last) {
    std::uint64_t mask = 0;
    for (int i = first; i <= last; ++i) {
        mask |= std::uint64_t{1} << i;
    }
    return mask;
}

// Positions first..last except every third one, starting with the skipped one at `skip`.
constexpr std::uint64_t PairsOfThree(int first, int last, int skip) {
    std::uint64_t mask = 0;
    for (int i = first; i <= last; ++i) {
        if ((i - skip) % 3 != 0) {
            mask |= std::uint64_t{1} << i;
        }
    }
    return mask;
}

constexpr std::uint8_t U8(int v) {
    return static_cast<std::uint8_t>(v);
}

constexpr ParityBit Begin(int lastCovered) {
    return {"begin", 0, false, Range(1, lastCovered)};
}
constexpr ParityBit End(int position, int firstCovered) {
    return {"end", U8(position), true, Range(firstCovered, position - 1)};
}

const Format kFormats[] = {
    // H10301, 26 bits: "PFFFFFFFFBBBBBBBBBBBBBBBBP"; bit 1 even parity over bits 2-13, facility
    // code bits 2-9, card number bits 10-25, bit 26 odd parity over bits 14-25
    // (rfideas.com/support/learning_center/proximity_card_formats.php,
    // yoursix.com/resource/access-control-card-formats/).
    {"H10301",
     26,
     {{{FieldKind::Facility, 1, 8}, {FieldKind::Card, 9, 16}}},
     2,
     {{Begin(12), End(25, 13)}},
     2,
     true},
    // H10306, 34 bits: bit 1 even parity over bits 2-17, facility code bits 2-17, card number
    // bits 18-33, bit 34 odd parity over bits 18-33 (reader manuals' "Wiegand34": even parity
    // "within the first 16 bits", odd "within the last 16 bits").
    {"H10306",
     34,
     {{{FieldKind::Facility, 1, 16}, {FieldKind::Card, 17, 16}}},
     2,
     {{Begin(16), End(33, 17)}},
     2,
     true},
    // Corporate 1000, 35 bits: bit 2 even parity over bits 3-4, 6-7, … 33-34; bit 35 odd parity
    // over bits 2-3, 5-6, … 32-33; bit 1 odd parity over bits 2-35; company code bits 3-14,
    // card number bits 15-34 (field positions as in the 35-bit example of the e3 access
    // toolbox: company start bit 3, length 12, card start bit 15, length 20).
    {"C1000-35",
     35,
     {{{FieldKind::Company, 2, 12}, {FieldKind::Card, 14, 20}}},
     2,
     {{{"second", 1, false, PairsOfThree(2, 33, 4)},
       {"end", 34, true, PairsOfThree(1, 32, 3)},
       {"begin", 0, true, Range(1, 34)}}},
     3,
     false},
    // H10304, 37 bits: "PFFFFFFFFFFFFFFFFCCCCCCCCCCCCCCCCCCCP", even parity mask
    // "EXXXXXXXXXXXXXXXXXX" (bits 2-19), odd parity mask over bits 19-36, facility code bits
    // 2-17, card number bits 18-36 (ooaccess.com/kb/37-bit-fc/).
    {"H10304",
     37,
     {{{FieldKind::Facility, 1, 16}, {FieldKind::Card, 17, 19}}},
     2,
     {{Begin(18), End(36, 18)}},
     2,
     true},
    // H10302, 37 bits: bit 1 even parity over bits 2-19, card number bits 2-36, bit 37 odd
    // parity over bits 19-36 (same parity layout as H10304 above).
    {"H10302", 37, {{{FieldKind::Card, 1, 35}, {}}}, 1, {{Begin(18), End(36, 18)}}, 2, true},
};

}  // namespace

std::span<const Format> Formats() {
    return kFormats;
}

const Format* FindFormat(std::string_view name) {
    for (const Format& f : kFormats) {
        if (name == f.name) {
            return &f;
        }
    }
    return nullptr;
}

std::uint64_t FieldMaximum(const Field& field) {
    return field.width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << field.width) - 1;
}

const Field* FindField(const Format& format, FieldKind kind) {
    for (int i = 0; i < format.fieldCount; ++i) {
        if (format.fields[i].kind == kind) {
            return &format.fields[i];
        }
    }
    return nullptr;
}

}  // namespace wiegand
