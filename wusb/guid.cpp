#include "wusb/guid.h"

#include <cstddef>

namespace wusb {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// The textual layout: 8-4-4-4-12 hex digits in braces, 38 characters in all.
constexpr std::size_t kTextLength = 38;
constexpr std::size_t kDashPositions[] = {9, 14, 19, 24};

void AppendHex(std::string& out, std::uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHexDigits[(value >> shift) & 0xFu];
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsDashPosition(std::size_t i) {
    for (std::size_t dash : kDashPositions) {
        if (i == dash)
            return true;
    }
    return false;
}

}  // namespace

std::string Guid::ToString() const {
    std::string out;
    out.reserve(kTextLength);
    out += '{';
    AppendHex(out, data1, 8);
    out += '-';
    AppendHex(out, data2, 4);
    out += '-';
    AppendHex(out, data3, 4);
    out += '-';
    AppendHex(out, data4[0], 2);
    AppendHex(out, data4[1], 2);
    out += '-';
    for (std::size_t i = 2; i < data4.size(); ++i) {
        AppendHex(out, data4[i], 2);
    }
    out += '}';
    return out;
}

std::optional<Guid> Guid::Parse(std::string_view text) {
    if (text.size() != kTextLength || text.front() != '{' || text.back() != '}') {
        return std::nullopt;
    }
    // The 32 digits in order, read as 16 bytes; the fields are then cut from them.
    std::array<std::uint8_t, 16> bytes{};
    std::size_t nibble = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (IsDashPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            continue;
        }
        const int value = HexValue(text[i]);
        if (value < 0)
            return std::nullopt;
        bytes[nibble / 2] = static_cast<std::uint8_t>((bytes[nibble / 2] << 4) | value);
        ++nibble;
    }
    Guid guid;
    guid.data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
                 static_cast<std::uint32_t>(bytes[1]) << 16 |
                 static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    guid.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    guid.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (std::size_t i = 0; i < guid.data4.size(); ++i) {
        guid.data4[i] = bytes[8 + i];
    }
    return guid;
}

}  // namespace wusb
