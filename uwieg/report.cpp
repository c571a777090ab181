#include "uwieg/report.h"

#include <cstdio>

namespace uwieg {

namespace {

// Bits the key byte can hold; further digits of a longer key report print as 0.
constexpr int kKeyByteBits = 8;

void AppendFormatted(std::string& line, const char* format, int value) {
    char piece[64];
    std::snprintf(piece, sizeof piece, format, value);
    line += piece;
}

// "AB,CD,EF": every byte but the last followed by a comma; an empty range prints nothing.
void AppendHexRun(std::string& line, const std::uint8_t* payload, std::size_t first,
                  std::size_t count) {
    for (std::size_t i = first; i < count; ++i) {
        AppendFormatted(line, i + 1 < count ? "%02X," : "%02X", payload[i]);
    }
}

int Bit(std::uint8_t byte, int bit) {
    return (byte >> bit) & 1;
}

}  // namespace

ReportHead ReadReportHead(std::uint8_t head) {
    return {head >> 6, (head & 0x3F) + 4};
}

std::string FormatReport(const std::uint8_t* payload, std::size_t count) {
    std::string line;
    if (count == 0) {
        return line;
    }
    const auto [kind, bits] = ReadReportHead(payload[0]);
    // Kinds 1 and 3 describe themselves in byte 1; a report too short to carry it reads as 0.
    const std::uint8_t second = count > 1 ? payload[1] : 0;

    switch (kind) {
        case 0:
            AppendHexRun(line, payload, 1, count);
            AppendFormatted(line, "   {nie rozpoznana transmisja %d bit}", bits);
            break;
        case 1: {
            for (int i = 0; i < bits; ++i) {
                line += i < kKeyByteBits ? static_cast<char>('0' + Bit(second, 7 - i)) : '0';
            }
            const int key = bits == 4 ? second >> 4 : second & 0x0F;
            AppendFormatted(line, "   {klawisz %d}", key);
            break;
        }
        case 2:
            AppendHexRun(line, payload, 1, count);
            AppendFormatted(line, "   {karta: %d bit}", bits);
            break;
        default:
            AppendFormatted(line, "%d_", Bit(second, 4));
            AppendHexRun(line, payload, 2, count);
            AppendFormatted(line, "_%d   {karta: ", Bit(second, 0));
            line += Bit(second, 5) ? "Odd" : "Even";
            AppendFormatted(line, " parity + %d bit + ", bits);
            line += Bit(second, 1) ? "Odd" : "Even";
            line += " parity}";
            break;
    }
    return line;
}

}  // namespace uwieg
