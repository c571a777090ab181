#include "wiegand/decode.h"

#include <algorithm>
#include <cstdio>

#include "wiegand/report_bits.h"

namespace wiegand {

namespace {

// The row's fields and its own parity checks over a frame of exactly the row's length.
Interpretation Read(const Format& format, const BitString& frame) {
    Interpretation it;
    it.format = &format;
    for (int i = 0; i < format.fieldCount; ++i) {
        const Field& field = format.fields[i];
        const std::uint64_t value = frame.Value(field.first, field.width);
        switch (field.kind) {
            case FieldKind::Facility:
                it.facility = value;
                break;
            case FieldKind::Company:
                it.company = value;
                break;
            case FieldKind::Card:
                it.card = value;
                break;
        }
    }
    for (int i = 0; i < format.parityCount; ++i) {
        const ParityBit& p = format.parity[i];
        if (frame[p.position] != (frame.ParityOf(p.covers) != p.odd)) {
            it.wrongParity.emplace_back(p.name);
        }
    }
    return it;
}

// Kind 3: the begin bit covers the first half of the n data bits, the end bit the second half
// (both take the middle bit when n is odd), each of the kind the report describes.
std::vector<std::string> DescribedParity(const BitString& frame, const ParityDescription& d) {
    const std::size_t n = frame.size() - 2;
    const std::size_t half = (n + 1) / 2;
    bool begin = d.beginOdd;
    bool end = d.endOdd;
    for (std::size_t i = 0; i < half; ++i) {
        begin ^= frame[1 + i];
        end ^= frame[1 + n - half + i];
    }
    std::vector<std::string> wrong;
    if (begin != d.beginValue) {
        wrong.emplace_back("begin");
    }
    if (end != d.endValue) {
        wrong.emplace_back("end");
    }
    return wrong;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        char piece[3];
        std::snprintf(piece, sizeof piece, "%02X", b);
        text += piece;
    }
    return text;
}

Uid UidOf(const ReportBits& r) {
    Uid uid;
    uid.hex = Hex(r.data);
    uid.hexReversed = Hex(std::vector<std::uint8_t>(r.data.rbegin(), r.data.rend()));
    if (r.bits <= 64) {
        const std::size_t first = r.kind == kCardWithParity ? 1 : 0;
        uid.decimal = r.frame->Value(first, static_cast<std::size_t>(r.bits));
    }
    return uid;
}

}  // namespace

std::string Interpretation::ParityText() const {
    if (wrongParity.empty()) {
        return "ok";
    }
    if (wrongParity.size() == 2 && format != nullptr && format->parityCount == 2) {
        return "both";
    }
    std::string text;
    for (const std::string& name : wrongParity) {
        text += (text.empty() ? "" : "+") + name;
    }
    return text;
}

const Interpretation* Decoded::Best() const {
    const auto ok = std::find_if(formats.begin(), formats.end(),
                                 [](const Interpretation& i) { return i.parityOk(); });
    if (ok != formats.end()) {
        return &*ok;
    }
    return formats.empty() ? nullptr : &formats.front();
}

Decoded Decode(const std::uint8_t* payload, std::size_t count) {
    Decoded d;
    if (count == 0) {
        return d;
    }
    const ReportBits r = ReadReport(payload, count);
    d.kind = r.kind;
    d.bits = r.bits;
    if (r.kind == kKey) {
        d.key = r.key;
        return d;
    }
    if (!r.frame) {
        return d;
    }
    d.uid = UidOf(r);
    const BitString& frame = *r.frame;
    for (const Format& format : Formats()) {
        if (static_cast<std::size_t>(format.bits) != frame.size()) {
            continue;
        }
        if (r.kind != kCardWithParity) {
            d.formats.push_back(Read(format, frame));
        } else if (format.edgeParity) {
            Interpretation it = Read(format, frame);
            it.wrongParity = DescribedParity(frame, r.parity);
            d.formats.push_back(it);
        }
    }
    return d;
}

}  // namespace wiegand
