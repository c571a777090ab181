#include "uwieg/profile_fields.h"

namespace uwieg::profile_internal {

namespace {

template <std::size_t N>
Field Choice(std::string_view path, const std::array<std::string_view, N>& choices) {
    return Field{path, Kind::kChoice, true, choices.data(), N};
}

Field Integer(std::string_view path, int min, int max, bool required = true) {
    return Field{path, Kind::kInteger, required, nullptr, 0, min, max};
}

}  // namespace

const std::vector<Field>& Fields() {
    static const std::vector<Field> fields{
        Choice("format", kFormats),
        Integer("version", 0, 0),  // any integer; an unknown version has its own message
        Choice("wiegand.frame", kFrames),
        Choice("wiegand.byte_order", kByteOrders),
        {"wiegand.parity_bits", Kind::kBool},
        Choice("wiegand.begin_parity", kParities),
        Choice("wiegand.end_parity", kParities),
        Integer("keypad.key_bits", 4, 8),  // 4 or 8, checked on its own
        {"led.read_signal", Kind::kBool},
        Integer("led.time_100ms", 0, 255),
        Choice("led.steady_colour", kColours),
        {"buzzer.active", Kind::kBool},
        {"buzzer.slots", Kind::kSlots},
        {"cards.mifare", Kind::kBool},
        {"cards.icode", Kind::kBool},
        Integer("reserved.record_mark", 0, 255, false),
        Integer("reserved.frame_index", kLargestShownFrame + 1, 7, false),
        {"reserved.bits", Kind::kBits, false},
    };
    return fields;
}

const Field* FindField(std::string_view path) {
    for (const Field& field : Fields()) {
        if (field.path == path) {
            return &field;
        }
    }
    return nullptr;
}

std::string_view ParentOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : path.substr(0, dot);
}

std::string_view LastNameOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "”";
}

std::string Describe(const Json& value) {
    if (value.is_object()) {
        return "obiekt { … }";
    }
    if (value.is_array()) {
        return "tablica [ … ]";
    }
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    constexpr std::size_t kLongest = 40;
    if (text.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;  // not inside a UTF-8 sequence
        }
        text = text.substr(0, cut) + "…";
    }
    return text;
}

std::string ChoiceList(const Field& field) {
    std::string list;
    for (std::size_t i = 0; i < field.choiceCount; ++i) {
        list += (i == 0 ? "" : ", ") + Quoted(field.choices[i]);
    }
    return list;
}

std::string HexByte(std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace uwieg::profile_internal
