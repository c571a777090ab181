#include "wiegand/encode.h"

#include <stdexcept>

#include "wiegand/report_bits.h"

namespace wiegand {

namespace {

const Field* CodeField(const Format& format) {
    const Field* field = FindField(format, FieldKind::Facility);
    return field != nullptr ? field : FindField(format, FieldKind::Company);
}

void FlipNamed(const Format& format, BitString& frame, const char* name) {
    for (const ParityBit& p : format.parity) {
        if (p.name == name) {
            frame.Flip(static_cast<std::size_t>(p.position));
        }
    }
}

}  // namespace

bool Fits(const Format& format, std::uint64_t code, std::uint64_t card) {
    const Field* codeField = CodeField(format);
    const Field* cardField = FindField(format, FieldKind::Card);
    return (codeField == nullptr || code <= FieldMaximum(*codeField)) &&
           card <= FieldMaximum(*cardField);
}

BitString Encode(const Format& format, std::uint64_t code, std::uint64_t card,
                 ParityChoice parity) {
    if (!Fits(format, code, card)) {
        throw std::invalid_argument("number too large for the format");
    }
    BitString frame(static_cast<std::size_t>(format.bits));
    if (const Field* f = CodeField(format)) {
        frame.SetValue(static_cast<std::size_t>(f->first), static_cast<std::size_t>(f->width),
                       code);
    }
    const Field* cardField = FindField(format, FieldKind::Card);
    frame.SetValue(static_cast<std::size_t>(cardField->first),
                   static_cast<std::size_t>(cardField->width), card);
    // In table order, so a parity bit that covers others sees their final values.
    for (const ParityBit& p : format.parity) {
        frame.Set(static_cast<std::size_t>(p.position), frame.ParityOf(p.covers) != p.odd);
    }
    if (parity == ParityChoice::WrongBegin) {
        FlipNamed(format, frame, "begin");
    } else if (parity == ParityChoice::WrongEnd) {
        FlipNamed(format, frame, "end");
    }
    return frame;
}

std::vector<std::uint8_t> EncodeReport(const Format& format, std::uint64_t code, std::uint64_t card,
                                       ParityChoice parity, bool describeParity) {
    const BitString frame = Encode(format, code, card, parity);
    if (describeParity && HasEdgeParity(format)) {
        return CardReportWithParity(frame, format.parity[0].odd, format.parity[1].odd);
    }
    return CardReport(frame);
}

}  // namespace wiegand
