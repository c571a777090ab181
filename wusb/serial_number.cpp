#include <cstdint>

#include "wusb/device.h"

namespace wusb {

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

}  // namespace

std::uint32_t ParseSerialNumber(const char16_t* text, std::size_t length) {
    std::size_t at = 0;
    while (at < length && IsBlank(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < length && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    if (at + 1 < length && text[at] == u'0' && (text[at + 1] == u'x' || text[at + 1] == u'X')) {
        at += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; at < length; ++at) {
        const int digit = HexDigit(text[at]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (overflow) {
        return 0xFFFFFFFFu;
    }
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? 0u - result : result;
}

}  // namespace wusb
