#include "wiegand/describe.h"

#include <string_view>

namespace wiegand {

namespace {

constexpr std::string_view kSeparator = " · ";

std::string ParityBitPolish(std::string_view name) {
    if (name == "begin") {
        return "początkowa";
    }
    if (name == "end") {
        return "końcowa";
    }
    return "druga";
}

std::string UidPolish(const Decoded& d) {
    std::string text =
        std::to_string(d.bits) + " bit" + std::string(kSeparator) + "UID " + d.uid->hex;
    if (d.uid->hexReversed != d.uid->hex) {
        text += " (odwrotnie " + d.uid->hexReversed + ")";
    }
    if (d.uid->decimal) {
        text += std::string(kSeparator) + std::to_string(*d.uid->decimal);
    }
    return text;
}

}  // namespace

std::string ParityPolish(const Interpretation& it) {
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
    if (it.facility) {
        text += std::string(kSeparator) + "FC " + std::to_string(*it.facility);
    }
    if (it.company) {
        text += std::string(kSeparator) + "CC " + std::to_string(*it.company);
    }
    text += std::string(kSeparator) + "CN " + std::to_string(it.card);
    return text + std::string(kSeparator) + ParityPolish(it);
}

std::string SummaryPolish(const Decoded& d) {
    if (d.kind < 0) {
        return "pusty raport";
    }
    if (d.key) {
        return "klawisz " + std::to_string(*d.key);
    }
    if (const Interpretation* best = d.Best()) {
        return FormatPolish(*best);
    }
    if (d.uid) {
        return UidPolish(d);
    }
    return std::to_string(d.bits) + " bit" + std::string(kSeparator) + "niepełne dane";
}

std::string DetailsPolish(const Decoded& d) {
    if (d.key || !d.uid) {
        return SummaryPolish(d);
    }
    std::string text;
    for (const Interpretation& it : d.formats) {
        text += FormatPolish(it) + "\n";
    }
    return text + UidPolish(d);
}

}  // namespace wiegand
