#include "wiegand/describe.h"

#include <string_view>

namespace wiegand {

namespace {

constexpr std::string_view kSeparator = " · ";

std::string Sep() {
    return std::string(kSeparator);
}

std::string ParityBitPolish(std::string_view name) {
    if (name == "begin") {
        return "początkowa";
    }
    if (name == "end") {
        return "końcowa";
    }
    if (name == "second") {
        return "druga";
    }
    return std::string(name);
}

std::string SensePolish(bool odd) {
    return odd ? "nieparzysta" : "parzysta";
}

// "raport deklaruje początkową nieparzystą": kind 3 declares the other sense than the
// format's bit at that end.
std::string DeclaredPolish(const Interpretation& it) {
    std::string text;
    for (const std::string& name : it.declaredOtherwise) {
        const bool begin = name == "begin";
        const int position = begin ? 0 : it.format->bits - 1;
        for (const ParityBit& p : it.format->parity) {
            if (p.position == position) {
                text += std::string(text.empty() ? "" : ", ") +
                        (begin ? "początkową " : "końcową ") + (p.odd ? "parzystą" : "nieparzystą");
            }
        }
    }
    return text.empty() ? text : Sep() + "raport deklaruje " + text;
}

std::string FramePolish(const ReaderFrame& r) {
    return r.Name() + " bity" + (r.parityBits ? "" : " bez bitów parzystości");
}

std::string ReaderPolish(const Decoded& d) {
    if (!d.matchesReader) {
        return "";
    }
    return Sep() + (*d.matchesReader
                        ? "zgodna z konfiguracją czytnika"
                        : "niezgodna z konfiguracją czytnika (" + FramePolish(*d.reader) + ")");
}

// "jeszcze 1 odczyt", "jeszcze 2 odczyty", "jeszcze 5 odczytów".
std::string MorePolish(int more) {
    if (more <= 0) {
        return "";
    }
    const int tens = more % 100 / 10;
    const int units = more % 10;
    const char* noun = more == 1                                 ? "odczyt"
                       : (tens != 1 && units >= 2 && units <= 4) ? "odczyty"
                                                                 : "odczytów";
    return Sep() + "jeszcze " + std::to_string(more) + " " + noun;
}

std::string UidPolish(const Decoded& d) {
    std::string text = std::to_string(d.bits) + " bit" + Sep() + "UID " + d.uid->hex;
    if (d.uid->hexReversed != d.uid->hex) {
        text += " (odwrotnie " + d.uid->hexReversed + ")";
    }
    if (d.uid->decimal) {
        text += Sep() + std::to_string(*d.uid->decimal);
    }
    return text;
}

}  // namespace

std::string ParityPolish(const Interpretation& it) {
    if (it.format->parity.empty()) {
        return "bez bitów parzystości";
    }
    if (it.parityOk()) {
        return "parzystość OK";
    }
    if (it.ParityText() == "both") {
        return "parzystość błędna (obie)";
    }
    std::string bits;
    for (const std::string& name : it.wrongParity) {
        bits += (bits.empty() ? "" : ", ") + ParityBitPolish(name);
    }
    return "parzystość błędna (" + bits + ")";
}

std::string FormatPolish(const Interpretation& it) {
    std::string text = std::to_string(it.format->bits) + " bit " + it.format->name;
    if (it.readerFrame) {
        text += " (konfiguracja czytnika)";
    }
    if (it.facility) {
        text += Sep() + "FC " + std::to_string(*it.facility);
    }
    if (it.company) {
        text += Sep() + "CC " + std::to_string(*it.company);
    }
    text += Sep() + "CN " + std::to_string(it.card);
    if (it.cardHex) {
        text += Sep() + "hex " + *it.cardHex;
        if (*it.cardHexReversed != *it.cardHex) {
            text += " (odwrotnie " + *it.cardHexReversed + ")";
        }
    }
    return text + Sep() + ParityPolish(it) + DeclaredPolish(it);
}

std::string SummaryPolish(const Decoded& d) {
    if (d.kind < 0) {
        return "pusty raport";
    }
    if (d.key) {
        return "klawisz " + std::to_string(*d.key);
    }
    if (const Interpretation* best = d.Best()) {
        return FormatPolish(*best) + MorePolish(d.MoreThatFit()) + ReaderPolish(d);
    }
    if (d.uid) {
        return UidPolish(d) + ReaderPolish(d);
    }
    return std::to_string(d.bits) + " bit" + Sep() + "niepełne dane";
}

std::string DetailsPolish(const Decoded& d) {
    if (d.key || !d.uid) {
        return SummaryPolish(d);
    }
    std::string text;
    for (const Interpretation& it : d.formats) {
        text += FormatPolish(it) + "\n";
    }
    text += UidPolish(d);
    if (d.reader) {
        const ReaderFrame& r = *d.reader;
        text +=
            "\nKonfiguracja czytnika: " + FramePolish(r) + ", " + (r.loHi ? "Lo...Hi" : "Hi...Lo");
        if (r.parityBits) {
            text +=
                ", początkowa " + SensePolish(r.beginOdd) + ", końcowa " + SensePolish(r.endOdd);
        }
        text += ReaderPolish(d);
    }
    return text;
}

}  // namespace wiegand
