#include "wiegand/decode.h"

#include <algorithm>
#include <cstdio>

#include "wiegand/report_bits.h"

namespace wiegand {

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        char piece[3];
        std::snprintf(piece, sizeof piece, "%02X", b);
        text += piece;
    }
    return text;
}

std::string Reversed(const std::string& hex) {
    std::string text;
    for (std::size_t i = hex.size(); i >= 2; i -= 2) {
        text += hex.substr(i - 2, 2);
    }
    return text;
}

// The bits of `frame` at the positions not in `skip`, in order.
BitString Without(const BitString& frame, const BitMask& skip) {
    BitString kept;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i >= skip.size() || !skip.test(i)) {
            kept.Append(frame[i]);
        }
    }
    return kept;
}

// The bits as one number, right-aligned in whole bytes: hex and decimal say the same.
Uid NumberOf(const BitString& bits) {
    BitString padded((8 - bits.size() % 8) % 8);
    padded.Append(bits);
    Uid uid;
    uid.hex = Hex(padded.Bytes());
    uid.hexReversed = Reversed(uid.hex);
    if (bits.size() <= 64) {
        uid.decimal = bits.size() == 0 ? 0 : bits.Value(0, bits.size());
    }
    return uid;
}

// Each parity bit is judged against the value the format gives it for the frame's data bits,
// the parity bits it covers taken as the format computes them: a flipped parity bit is named
// alone rather than with every bit that covers it.
std::vector<std::string> WrongParity(const Format& format, const BitString& frame) {
    BitString expected = frame;
    for (const ParityBit& p : format.parity) {
        expected.Set(static_cast<std::size_t>(p.position), expected.ParityOf(p.covers) != p.odd);
    }
    std::vector<const ParityBit*> wrong;
    for (const ParityBit& p : format.parity) {
        const auto at = static_cast<std::size_t>(p.position);
        if (expected[at] != frame[at]) {
            wrong.push_back(&p);
        }
    }
    std::sort(wrong.begin(), wrong.end(),
              [](const ParityBit* a, const ParityBit* b) { return a->position < b->position; });
    std::vector<std::string> names;
    for (const ParityBit* p : wrong) {
        names.push_back(p->name);
    }
    return names;
}

// The row's fields and its own parity checks over a frame of exactly the row's length.
Interpretation Read(std::shared_ptr<const Format> format, const BitString& frame) {
    Interpretation it;
    for (const Field& field : format->fields) {
        const std::uint64_t value = frame.Value(static_cast<std::size_t>(field.first),
                                                static_cast<std::size_t>(field.width));
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
    if (format->fields.size() == 1 && format->fields[0].width % 8 == 0) {
        const Field& card = format->fields[0];
        BitString bits;
        for (int i = card.first; i < card.first + card.width; ++i) {
            bits.Append(frame[static_cast<std::size_t>(i)]);
        }
        it.cardHex = Hex(bits.Bytes());
        it.cardHexReversed = Reversed(*it.cardHex);
    }
    it.wrongParity = WrongParity(*format, frame);
    it.format = std::move(format);
    return it;
}

// The reader sends the card number's bytes least significant first: the number is theirs
// reversed.
void ReadLoHi(Interpretation& it) {
    if (it.cardHexReversed) {
        it.card = std::stoull(*it.cardHexReversed, nullptr, 16);
    }
}

// Kind 3 declares each parity bit's sense; where the format's bit at that end has the other
// sense, the reader and the format disagree.
void NoteDeclaredSenses(Interpretation& it, const ParityDescription& declared) {
    for (const ParityBit& p : it.format->parity) {
        if (p.position == 0 && p.odd != declared.beginOdd) {
            it.declaredOtherwise.emplace_back("begin");
        }
    }
    for (const ParityBit& p : it.format->parity) {
        if (p.position == it.format->bits - 1 && p.odd != declared.endOdd) {
            it.declaredOtherwise.emplace_back("end");
        }
    }
}

std::vector<Interpretation> Readings(const BitString& frame, const DecodeSettings& settings,
                                     Decoded& d) {
    std::vector<Interpretation> readings;
    std::string configured;
    if (settings.reader) {
        const ReaderFrame& r = *settings.reader;
        auto own = std::make_shared<const Format>(
            ReaderFrameFormat(r.dataBits, r.parityBits, r.beginOdd, r.endOdd));
        d.matchesReader = false;
        if (static_cast<std::size_t>(own->bits) == frame.size()) {
            configured = own->name;
            Interpretation it = Read(own, frame);
            it.readerFrame = true;
            if (r.loHi) {
                ReadLoHi(it);
            }
            d.matchesReader = it.parityOk();
            readings.push_back(std::move(it));
        }
    }
    for (const auto& format : settings.formats) {
        // The configured reading stands for the table's row of the same name.
        if (static_cast<std::size_t>(format->bits) == frame.size() && format->name != configured) {
            readings.push_back(Read(format, frame));
        }
    }
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Interpretation& a, const Interpretation& b) {
                         if (a.readerFrame != b.readerFrame) {
                             return a.readerFrame;
                         }
                         if (a.parityOk() != b.parityOk()) {
                             return a.parityOk();
                         }
                         return a.format->preference < b.format->preference;
                     });
    return readings;
}

}  // namespace

std::string Interpretation::ParityText() const {
    if (wrongParity.empty()) {
        return "ok";
    }
    if (wrongParity == std::vector<std::string>{"begin", "end"}) {
        return "both";
    }
    std::string text;
    for (const std::string& name : wrongParity) {
        text += (text.empty() ? "" : "+") + name;
    }
    return text;
}

std::string ReaderFrame::Name() const {
    return std::to_string(dataBits) + (parityBits ? "+2" : "");
}

const Interpretation* Decoded::Best() const {
    return formats.empty() ? nullptr : &formats.front();
}

int Decoded::MoreThatFit() const {
    if (formats.empty()) {
        return 0;
    }
    return static_cast<int>(std::count_if(formats.begin() + 1, formats.end(),
                                          [](const Interpretation& i) { return i.parityOk(); }));
}

Decoded Decode(const std::uint8_t* payload, std::size_t count, const DecodeSettings& settings) {
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
    d.reader = settings.reader;
    if (!r.frame) {
        return d;
    }
    // A kind 3 frame is whole again (its parity bits around the data): every format reads it
    // as it reads a kind 2 frame of that length, by its own parity definition.
    const BitString& frame = *r.frame;
    d.formats = Readings(frame, settings, d);
    if (r.kind == kCardWithParity) {
        for (Interpretation& it : d.formats) {
            NoteDeclaredSenses(it, r.parity);
        }
    }
    BitMask parity;
    if (const Interpretation* best = d.Best()) {
        for (const ParityBit& p : best->format->parity) {
            parity.set(static_cast<std::size_t>(p.position));
        }
    }
    d.uid = NumberOf(Without(frame, parity));
    return d;
}

}  // namespace wiegand
