#include "wiegand/formats.h"

#include <algorithm>

namespace wiegand {

namespace {

// A format with a facility or company code reads more than a bare number of the same bits.
constexpr int kSpecific = 10;
constexpr int kNumberOnly = 20;
constexpr int kReaderFrame = 50;

// Positions below are 0-based; the layouts they come from count from 1, as quoted.
BitMask Range(int first, int last) {
    BitMask mask;
    for (int i = first; i <= last; ++i) {
        mask.set(static_cast<std::size_t>(i));
    }
    return mask;
}

// Positions first..last except every third one, starting with the skipped one at `skip`.
BitMask PairsOfThree(int first, int last, int skip) {
    BitMask mask;
    for (int i = first; i <= last; ++i) {
        if ((i - skip) % 3 != 0) {
            mask.set(static_cast<std::size_t>(i));
        }
    }
    return mask;
}

ParityBit Begin(bool odd, int lastCovered) {
    return {"begin", 0, odd, Range(1, lastCovered)};
}
ParityBit End(int position, int firstCovered) {
    return {"end", position, true, Range(firstCovered, position - 1)};
}

Field Facility(int first, int width) {
    return {FieldKind::Facility, first, width};
}
Field Company(int first, int width) {
    return {FieldKind::Company, first, width};
}
Field Card(int first, int width) {
    return {FieldKind::Card, first, width};
}

// Corporate 1000: bit 1 odd parity over all the others, bit 2 even parity over the pairs of
// bits 3-4, 6-7, …, the last bit odd parity over the pairs 2-3, 5-6, …; a company code from
// bit 3, then the card number up to the last bit but one.
Format Corporate1000(int bits, int companyWidth) {
    const int last = bits - 1;
    return {"C1000-" + std::to_string(bits),
            bits,
            {Company(2, companyWidth), Card(2 + companyWidth, last - 2 - companyWidth)},
            {{"second", 1, false, PairsOfThree(2, last - 1, 4)},
             {"end", last, true, PairsOfThree(1, last - 1, 3)},
             {"begin", 0, true, Range(1, last)}},
            kSpecific};
}

std::vector<Format> BuildRows() {
    std::vector<Format> rows = {
        // H10301, 26 bits: "PFFFFFFFFBBBBBBBBBBBBBBBBP"; bit 1 even parity over bits 2-13,
        // facility code bits 2-9, card number bits 10-25, bit 26 odd parity over bits 14-25
        // (rfideas.com/support/learning_center/proximity_card_formats.php,
        // yoursix.com/resource/access-control-card-formats/).
        {"H10301", 26, {Facility(1, 8), Card(9, 16)}, {Begin(false, 12), End(25, 13)}, kSpecific},
        // H10306, 34 bits: bit 1 even parity over bits 2-17, facility code bits 2-17, card
        // number bits 18-33, bit 34 odd parity over bits 18-33 (reader manuals' "Wiegand34":
        // even parity "within the first 16 bits", odd "within the last 16 bits").
        {"H10306", 34, {Facility(1, 16), Card(17, 16)}, {Begin(false, 16), End(33, 17)}, kSpecific},
        // Corporate 1000, 35 bits: bit 2 even parity over bits 3-4, 6-7, … 33-34; bit 35 odd
        // parity over bits 2-3, 5-6, … 32-33; bit 1 odd parity over bits 2-35; company code
        // bits 3-14, card number bits 15-34 (field positions as in the 35-bit example of the
        // e3 access toolbox: company start bit 3, length 12, card start bit 15, length 20).
        Corporate1000(35, 12),
        // Corporate 1000, 48 bits: the 35-bit layout's three parity bits over a 22-bit company
        // code (bits 3-24) and a 23-bit card number (bits 25-47) ("Corporate 1000 – 48",
        // whose company codes run to 22 bits: Schneider Electric knowledge base, "Setting up a
        // Custom Wiegand HID Corporate 1000 48-bit format access card").
        Corporate1000(48, 22),
        // D10202, 33 bits: 7-bit facility code and 24-bit card number between an even parity
        // bit over bits 1-16 and an odd one over bits 17-32, counting the leading parity bit
        // as bit 0 (accessgrid.com/tools/bit-formats/hid-33bit-d10202).
        {"D10202", 33, {Facility(1, 7), Card(8, 24)}, {Begin(false, 16), End(32, 17)}, kSpecific},
        // 36 bits, Keyscan C15001: even parity bit, a 10-bit OEM code (not read here), an
        // 8-bit facility code, a 16-bit card number, odd parity bit; the fields as a public
        // decode lists them (github.com/RfidResearchGroup/proxmark3/issues/1302: "C15001 HID
        // KeyScan 36-bit FC: 129 CN: 9752 OEM: 704"), the parity bits over the two halves of
        // the 34 bits between them.
        {"C15001", 36, {Facility(11, 8), Card(19, 16)}, {Begin(false, 17), End(35, 18)}, kSpecific},
        // H10304, 37 bits: "PFFFFFFFFFFFFFFFFCCCCCCCCCCCCCCCCCCCP", even parity mask
        // "EXXXXXXXXXXXXXXXXXX" (bits 2-19), odd parity mask over bits 19-36, facility code
        // bits 2-17, card number bits 18-36 (ooaccess.com/kb/37-bit-fc/).
        {"H10304", 37, {Facility(1, 16), Card(17, 19)}, {Begin(false, 18), End(36, 18)}, kSpecific},
        // H10302, 37 bits: bit 1 even parity over bits 2-19, card number bits 2-36, bit 37 odd
        // parity over bits 19-36 (same parity layout as H10304 above).
        {"H10302", 37, {Card(1, 35)}, {Begin(false, 18), End(36, 18)}, kNumberOnly},
    };
    // The reader's own frames in their standard senses (begin even, end odd), named as the
    // window's configuration names them.
    for (int n = 24; n <= 64; n += 8) {
        rows.push_back(ReaderFrameFormat(n, true, false, true));
    }
    return rows;
}

const std::vector<Format>& Rows() {
    static const std::vector<Format> rows = BuildRows();
    return rows;
}

bool Overlaps(const Field& a, const Field& b) {
    return a.first < b.first + b.width && b.first < a.first + a.width;
}

std::string Indexed(const char* list, std::size_t i) {
    return std::string(list) + "[" + std::to_string(i) + "]";
}

std::optional<RowFault> CheckFields(const Format& format) {
    const auto& fields = format.fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (f.width < 1 || f.width > 64) {
            return RowFault{Indexed("fields", i) + ".width", "szerokość pola to 1 do 64 bitów"};
        }
        if (f.first < 0 || f.first + f.width > format.bits) {
            return RowFault{Indexed("fields", i), "pole wychodzi poza ramkę"};
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (fields[j].kind == f.kind) {
                return RowFault{Indexed("fields", i), "pole powtórzone"};
            }
            if (Overlaps(fields[j], f)) {
                return RowFault{Indexed("fields", i),
                                "pole zachodzi na pole " + std::string(FieldName(fields[j].kind))};
            }
        }
    }
    if (FindField(format, FieldKind::Card) == nullptr) {
        return RowFault{"fields", "brak pola card"};
    }
    return std::nullopt;
}

std::optional<RowFault> CheckParity(const Format& format) {
    const auto& parity = format.parity;
    for (std::size_t i = 0; i < parity.size(); ++i) {
        const ParityBit& p = parity[i];
        const std::string at = Indexed("parity", i);
        if (p.position < 0 || p.position >= format.bits) {
            return RowFault{at + ".position", "bit parzystości poza ramką"};
        }
        for (const Field& f : format.fields) {
            if (p.position >= f.first && p.position < f.first + f.width) {
                return RowFault{at + ".position",
                                "bit parzystości w polu " + std::string(FieldName(f.kind))};
            }
        }
        if (p.covers.none()) {
            return RowFault{at + ".covers", "bit parzystości nie obejmuje żadnego bitu"};
        }
        if ((p.covers >> static_cast<std::size_t>(format.bits)).any()) {
            return RowFault{at + ".covers", "obejmuje bity poza ramką"};
        }
        if (p.covers.test(static_cast<std::size_t>(p.position))) {
            return RowFault{at + ".covers", "bit parzystości obejmuje sam siebie"};
        }
        for (std::size_t j = 0; j < parity.size(); ++j) {
            if (j < i && parity[j].position == p.position) {
                return RowFault{at + ".position", "pozycja powtórzona"};
            }
            // Bits are computed in order: one that covers another must come after it.
            if (j > i && p.covers.test(static_cast<std::size_t>(parity[j].position))) {
                return RowFault{at + ".covers",
                                "obejmuje bit parzystości, który jest dalej na "
                                "liście; ten musi być przed nim"};
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::span<const Format> Formats() {
    return Rows();
}

const FormatTable& BuiltInTable() {
    // The rows live for the whole program; the table only points at them.
    static const FormatTable table = [] {
        FormatTable t;
        for (const Format& f : Rows()) {
            t.emplace_back(std::shared_ptr<const Format>(), &f);
        }
        return t;
    }();
    return table;
}

const Format* FindFormat(std::string_view name) {
    for (const Format& f : Rows()) {
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
    for (const Field& f : format.fields) {
        if (f.kind == kind) {
            return &f;
        }
    }
    return nullptr;
}

std::string_view FieldName(FieldKind kind) {
    switch (kind) {
        case FieldKind::Facility:
            return "facility";
        case FieldKind::Company:
            return "company";
        case FieldKind::Card:
            break;
    }
    return "card";
}

std::optional<FieldKind> FieldKindNamed(std::string_view name) {
    for (FieldKind kind : {FieldKind::Facility, FieldKind::Company, FieldKind::Card}) {
        if (FieldName(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

bool HasEdgeParity(const Format& format) {
    const int n = format.bits - 2;
    if (n < 1 || format.parity.size() != 2) {
        return false;
    }
    const int half = (n + 1) / 2;
    const ParityBit& begin = format.parity[0];
    const ParityBit& end = format.parity[1];
    return begin.position == 0 && begin.covers == Range(1, half) &&
           end.position == format.bits - 1 && end.covers == Range(1 + n - half, n);
}

Format ReaderFrameFormat(int dataBits, bool parityBits, bool beginOdd, bool endOdd) {
    if (!parityBits) {
        return {std::to_string(dataBits), dataBits, {Card(0, dataBits)}, {}, kReaderFrame};
    }
    const int half = dataBits / 2;
    ParityBit end = End(dataBits + 1, dataBits - half + 1);
    end.odd = endOdd;
    return {std::to_string(dataBits) + "+2",
            dataBits + 2,
            {Card(1, dataBits)},
            {Begin(beginOdd, half), end},
            kReaderFrame};
}

std::optional<RowFault> CheckRow(const Format& format) {
    if (format.bits < 1 || format.bits > kMaxFrameBits) {
        return RowFault{"bits", "ramka ma od 1 do " + std::to_string(kMaxFrameBits) + " bitów"};
    }
    if (auto fault = CheckFields(format)) {
        return fault;
    }
    return CheckParity(format);
}

FormatTable MergedTable(const FormatTable& base, const FormatTable& extra) {
    FormatTable merged = base;
    for (const auto& row : extra) {
        const auto same = std::find_if(merged.begin(), merged.end(),
                                       [&](const auto& r) { return r->name == row->name; });
        if (same != merged.end()) {
            *same = row;
        } else {
            merged.push_back(row);
        }
    }
    return merged;
}

}  // namespace wiegand
