// The LED time text and the configuration record. Input: the first 8 bytes are also a record
// read from a reader; the whole input is also the text typed into the LED time field.
#include <algorithm>
#include <optional>
#include <string>

#include "fuzz/support/check.h"
#include "uwieg/config.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c)) {
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

std::uint8_t Clamp(long long value) {
    return static_cast<std::uint8_t>(std::clamp<long long>(value, 0, 255));
}

// The value of texts whose reading is beyond doubt: leading blanks, then a signed decimal or a
// $/0x hexadecimal number small enough for any integer reading, and nothing after it. Other
// texts (overflowing numbers, trailing characters) have no expected value here.
std::optional<std::uint8_t> Expected(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) {
        return 0;  // empty or blank: not an integer
    }
    const std::string_view rest = std::string_view(text).substr(i);
    std::size_t digits = 0;
    long long value = 0;
    if (rest.starts_with('$') || rest.starts_with("0x") || rest.starts_with("0X")) {
        const std::size_t start = rest[0] == '$' ? 1 : 2;
        for (std::size_t k = start; k < rest.size() && HexDigit(rest[k]) >= 0 && digits < 8;
             ++k, ++digits) {
            value = value * 16 + HexDigit(rest[k]);
        }
        if (digits == 0 || digits > 7 || start + digits != rest.size()) {
            return std::nullopt;
        }
        return Clamp(value);
    }
    const bool negative = rest[0] == '-';
    const std::size_t start = (rest[0] == '-' || rest[0] == '+') ? 1 : 0;
    for (std::size_t k = start; k < rest.size() && IsDigit(rest[k]) && digits < 10; ++k, ++digits) {
        value = value * 10 + (rest[k] - '0');
    }
    if (digits == 0 || digits > 9 || start + digits != rest.size()) {
        return std::nullopt;
    }
    return Clamp(negative ? -value : value);
}

// What decoding and encoding again must give: the bits the controls hold, mark 2, frame size
// indexes 6 and 7 shown as 5.
uwieg::ReaderConfig Normalised(const uwieg::ReaderConfig& r) {
    const std::uint8_t size = std::min<std::uint8_t>(r[4] & 0x07, 5);
    return {uwieg::kRecordMark,
            static_cast<std::uint8_t>(r[1] & 0xC1),
            r[2],
            static_cast<std::uint8_t>(r[3] & 0x7F),
            static_cast<std::uint8_t>((r[4] & 0xE8) | size),
            static_cast<std::uint8_t>(r[5] & 0x01),
            static_cast<std::uint8_t>(r[6] & 0x03),
            0};
}

void CheckText(const std::string& text) {
    const std::uint8_t parsed = uwieg::ParseLedTime(text);
    if (const auto expected = Expected(text)) {
        FUZZ_CHECK(parsed == *expected);
    }
    uwieg::ConfigControls controls;
    controls.keybItem = 0;
    controls.ledTimText = text;
    const uwieg::ReaderConfig record = uwieg::EncodeConfig(controls);
    FUZZ_CHECK(record[2] == parsed);
    // The field shows what is stored, and reading it again changes nothing.
    FUZZ_CHECK(controls.ledTimText == std::to_string(parsed));
    FUZZ_CHECK(uwieg::ParseLedTime(controls.ledTimText) == parsed);
}

void CheckRoundTrip(const uwieg::ReaderConfig& record) {
    uwieg::ConfigControls controls;
    const bool marked = uwieg::DecodeConfig(record, controls);
    FUZZ_CHECK(marked == (record[0] == uwieg::kRecordMark));
    FUZZ_CHECK(controls.ledTimText == std::to_string(record[2]));
    FUZZ_CHECK(uwieg::EncodeConfig(controls) == Normalised(record));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckText(std::string(reinterpret_cast<const char*>(data), size));
    uwieg::ReaderConfig record{};
    std::copy_n(data, std::min(size, record.size()), record.begin());
    CheckRoundTrip(record);
    return 0;
}
