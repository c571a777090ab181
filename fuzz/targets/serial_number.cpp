// Serial-number parsing, straight and through the Link's string-descriptor read. Input: the
// string descriptor as the device returns it (code units little-endian from byte 2 on).
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/scripted_platform.h"
#include "wusb/device.h"
#include "wusb/guid.h"

namespace {

using Units = std::vector<char16_t>;

bool IsBlank(char16_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexDigit(char16_t c) {
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

// The expected value, or none when the text starts with a character that a platform may or
// may not class as white space (other control characters, anything beyond ASCII).
std::optional<std::uint32_t> Expected(const Units& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] < 0x20 || text[i] >= 0x80) && text[i] != 0) {
        return std::nullopt;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(text[i]));
        if (value > 0xFFFFFFFFu) {
            return 0xFFFFFFFFu;
        }
    }
    const auto low = static_cast<std::uint32_t>(value);
    return negative ? 0u - low : low;
}

std::uint32_t Parse(const Units& text) {
    // Exactly sized, so that a read past the given length is caught.
    auto copy = std::make_unique<char16_t[]>(text.size());
    std::copy(text.begin(), text.end(), copy.get());
    return wusb::ParseSerialNumber(copy.get(), text.size());
}

Units UnitsOf(const std::uint8_t* bytes, std::size_t count) {
    Units units(count);
    for (std::size_t i = 0; i < count; ++i) {
        units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return units;
}

void CheckParse(const Units& text) {
    const std::uint32_t value = Parse(text);
    if (const auto expected = Expected(text)) {
        FUZZ_CHECK(value == *expected);
    }
}

// The Link reads at most 254 bytes; its text runs from byte 2 to the end of the transfer. An odd
// transfer leaves half a code unit, whose high byte the terminating zero supplies.
void CheckLink(const std::uint8_t* data, std::size_t size) {
    fuzz::ScriptedPlatform platform;
    platform.serialDescriptor.assign(data, data + size);
    wusb::WUsbDevTab table(platform, wusb::kLinkLayerGuid);
    wusb::WUsbDev dev;
    fuzz::LinkScripted(platform, table, dev);

    const std::size_t transferred = std::min<std::size_t>(size, 254);
    const std::size_t whole = transferred >= 2 ? (transferred - 2) / 2 : 0;
    Units text = UnitsOf(data + 2, whole);
    const std::uint32_t withoutHalf = Parse(text);
    if (transferred >= 2 && transferred % 2 == 1) {
        text.push_back(data[transferred - 1]);
        FUZZ_CHECK(dev.serialNumber == withoutHalf || dev.serialNumber == Parse(text));
    } else {
        FUZZ_CHECK(dev.serialNumber == withoutHalf);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckParse(UnitsOf(data, size / 2));
    if (size >= 2) {
        CheckParse(UnitsOf(data + 2, (size - 2) / 2));
    }
    CheckLink(data, size);
    return 0;
}
