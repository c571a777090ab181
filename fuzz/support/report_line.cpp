#include "fuzz/support/report_line.h"

#include <string_view>

#include "fuzz/support/check.h"

namespace fuzz {
namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// `run` reads back as the bytes from..count-1: upper-case pairs joined by single commas.
void CheckHexRun(std::string_view run, const std::uint8_t* payload, std::size_t from,
                 std::size_t count) {
    const std::size_t bytes = count > from ? count - from : 0;
    FUZZ_CHECK(run.size() == (bytes == 0 ? 0 : bytes * 3 - 1));
    for (std::size_t i = 0; i < bytes; ++i) {
        const int high = HexValue(run[i * 3]);
        const int low = HexValue(run[i * 3 + 1]);
        FUZZ_CHECK(high >= 0 && low >= 0);
        FUZZ_CHECK(high * 16 + low == payload[from + i]);
        FUZZ_CHECK(i + 1 == bytes || run[i * 3 + 2] == ',');
    }
}

}  // namespace

void CheckReportLine(const std::uint8_t* payload, std::size_t count, const std::string& line) {
    for (const char c : line) {
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);  // one printable ASCII line
    }
    const unsigned kind = payload[0] >> 6;
    const unsigned bits = (payload[0] & 0x3Fu) + 4;
    const std::string n = std::to_string(bits);
    const std::string_view text(line);

    if (kind == 0 || kind == 2) {
        const std::string tail = kind == 0 ? "   {nie rozpoznana transmisja " + n + " bit}"
                                           : "   {karta: " + n + " bit}";
        FUZZ_CHECK(EndsWith(text, tail));
        CheckHexRun(text.substr(0, text.size() - tail.size()), payload, 1, count);
        return;
    }
    if (count < 2) {
        // Kinds 1 and 3 describe byte 1; without it only the form above is required.
        FUZZ_CHECK(EndsWith(text, "}"));
        return;
    }
    const std::uint8_t b1 = payload[1];
    if (kind == 1) {
        const unsigned key = bits == 4 ? b1 >> 4 : b1 & 0x0Fu;
        const std::string tail = "   {klawisz " + std::to_string(key) + "}";
        FUZZ_CHECK(EndsWith(text, tail));
        const std::string_view digits = text.substr(0, text.size() - tail.size());
        FUZZ_CHECK(digits.size() == bits);
        for (std::size_t i = 0; i < digits.size(); ++i) {
            FUZZ_CHECK(digits[i] == '0' || digits[i] == '1');
            if (i < 8) {
                FUZZ_CHECK(digits[i] - '0' == ((b1 >> (7 - i)) & 1));
            }
        }
        return;
    }
    const std::string tail = "_" + std::to_string(b1 & 1) +
                             "   {karta: " + ((b1 & 0x20) != 0 ? "Odd" : "Even") + " parity + " +
                             n + " bit + " + ((b1 & 0x02) != 0 ? "Odd" : "Even") + " parity}";
    FUZZ_CHECK(EndsWith(text, tail));
    FUZZ_CHECK(text.size() >= tail.size() + 2);
    FUZZ_CHECK(text[0] == ((b1 & 0x10) != 0 ? '1' : '0') && text[1] == '_');
    CheckHexRun(text.substr(2, text.size() - tail.size() - 2), payload, 2, count);
}

}  // namespace fuzz
