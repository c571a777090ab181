// The Wiegand decoder on any report payload. Input: the payload itself (its first byte is the
// kind and bit count).
//   - nothing is read outside the payload (it sits in a buffer of exactly its size);
//   - kind and bit count are those of the report line for the same payload;
//   - every reading has the bit length its kind allows and numbers that fit their fields;
//   - a reading with right parity encodes back to its frame (the bits its fields read).
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz/support/check.h"
#include "uwieg/report.h"
#include "wiegand/decode.h"
#include "wiegand/encode.h"
#include "wiegand/report_bits.h"

namespace {

std::string Printed(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool Contains(const std::string& line, const std::string& piece) {
    return line.find(piece) != std::string::npos;
}

void CheckAgainstLine(const wiegand::Decoded& d, const std::string& line) {
    switch (d.kind) {
        case wiegand::kUnrecognised:
            FUZZ_CHECK(Contains(line, Printed("   {nie rozpoznana transmisja %d bit}", d.bits)));
            break;
        case wiegand::kKey:
            FUZZ_CHECK(d.key.has_value());
            FUZZ_CHECK(Contains(line, Printed("   {klawisz %d}", *d.key)));
            break;
        case wiegand::kCard:
            FUZZ_CHECK(Contains(line, Printed("   {karta: %d bit}", d.bits)));
            break;
        default:
            FUZZ_CHECK(d.kind == wiegand::kCardWithParity);
            FUZZ_CHECK(Contains(line, Printed(" parity + %d bit + ", d.bits)));
            break;
    }
}

void CheckReading(const wiegand::Decoded& d, const wiegand::Interpretation& it,
                  const wiegand::ReportBits& report) {
    const int frameBits = d.kind == wiegand::kCardWithParity ? d.bits + 2 : d.bits;
    FUZZ_CHECK(it.format != nullptr && it.format->bits == frameBits);
    const std::uint64_t code = it.facility.value_or(0) + it.company.value_or(0);
    FUZZ_CHECK(wiegand::Fits(*it.format, code, it.card));
    FUZZ_CHECK(it.wrongParity.size() <= it.format->parity.size());
    // Kind 3 frames are whole again: every right reading encodes back to the frame. Bits that no
    // field reads (C15001's OEM code, gaps in a user's row) are not part of the reading, so the
    // frame must match where a field or a parity bit sits, and whole where they cover it all.
    if (it.parityOk()) {
        const auto again = wiegand::Encode(*it.format, code, it.card, wiegand::ParityChoice::Right);
        FUZZ_CHECK(report.frame.has_value() && again.size() == report.frame->size());
        int covered = static_cast<int>(it.format->parity.size());
        for (const wiegand::Field& field : it.format->fields) {
            FUZZ_CHECK(again.Value(field.first, field.width) ==
                       report.frame->Value(field.first, field.width));
            covered += field.width;
        }
        if (covered == frameBits) {
            FUZZ_CHECK(again == *report.frame);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // A copy of exactly the payload's size, so a read past its end is caught.
    const auto payload = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, payload.get());

    const wiegand::Decoded d = wiegand::Decode(payload.get(), size);
    CheckAgainstLine(d, uwieg::FormatReport(payload.get(), size));
    const wiegand::ReportBits report = wiegand::ReadReport(payload.get(), size);
    if (d.uid) {
        // The frame's bits without the first reading's parity bits, hex and decimal alike.
        const std::size_t frameBits = d.kind == wiegand::kCardWithParity ? d.bits + 2 : d.bits;
        const std::size_t bits = frameBits - (d.Best() ? d.Best()->format->parity.size() : 0);
        FUZZ_CHECK(d.uid->hex.size() == (bits + 7) / 8 * 2);
        FUZZ_CHECK(d.uid->hexReversed.size() == d.uid->hex.size());
        FUZZ_CHECK(d.uid->decimal.has_value() == (bits <= 64));
        if (d.uid->decimal && !d.uid->hex.empty()) {
            FUZZ_CHECK(std::stoull(d.uid->hex, nullptr, 16) == *d.uid->decimal);
        }
    }
    FUZZ_CHECK(d.formats.empty() || d.uid.has_value());
    for (const wiegand::Interpretation& it : d.formats) {
        CheckReading(d, it, report);
    }
    return 0;
}
