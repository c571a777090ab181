#include "uwieg/config.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>

namespace uwieg {

namespace {

constexpr int kLargestSizeItem = 5;  // "64+2 bity (standard)"
constexpr std::int64_t kLedTimeMax = 255;

bool BitSet(std::uint8_t byte, int bit) {
    return ((byte >> bit) & 1) != 0;
}

// A radio group without a chosen item (-1) encodes as its first item, so it never spills
// into the neighbouring bits of the record.
std::uint8_t ItemValue(int item, int largest) {
    return static_cast<std::uint8_t>(std::clamp(item, 0, largest));
}

int DigitValue(char c, int base) {
    int value = 0;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    } else {
        return -1;
    }
    return value < base ? value : -1;
}

}  // namespace

std::uint8_t ParseLedTime(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        pos += 1;
    } else if (pos + 1 < text.size() && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos == text.size()) {
        return 0;  // no digits: not an integer
    }
    // Saturates: any magnitude above the range clamps the same way as 256 would.
    std::int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0) {
            return 0;  // trailing junk: not an integer
        }
        magnitude = std::min<std::int64_t>(magnitude * base + digit, kLedTimeMax + 1);
    }
    if (negative) {
        return 0;
    }
    return static_cast<std::uint8_t>(std::min(magnitude, kLedTimeMax));
}

bool DecodeConfig(const ReaderConfig& record, ConfigControls& controls) {
    const std::uint8_t flags = record[1];
    controls.ledChecked = BitSet(flags, 7);
    controls.buzChecked = BitSet(flags, 6);
    controls.ledStabItem = BitSet(flags, 0) ? 1 : 0;

    controls.ledTimText = std::to_string(record[2]);

    for (std::size_t i = 0; i < controls.buzSlots.size(); ++i) {
        controls.buzSlots[i] = BitSet(record[3], static_cast<int>(i));
    }

    const std::uint8_t format = record[4];
    controls.wiegSizeItem = std::min(format & 0x07, kLargestSizeItem);
    controls.wiegOrderItem = BitSet(format, 5) ? 1 : 0;
    controls.noParityChecked = BitSet(format, 3);
    controls.wiegEndBitItem = BitSet(format, 6) ? 1 : 0;
    controls.wiegBegBitItem = BitSet(format, 7) ? 1 : 0;

    controls.keybItem = BitSet(record[5], 0) ? 1 : 0;

    controls.mifareChecked = BitSet(record[6], 0);
    controls.icodeChecked = BitSet(record[6], 1);

    return record[0] == kRecordMark;
}

ReaderConfig EncodeConfig(ConfigControls& controls) {
    ReaderConfig record{};
    record[0] = kRecordMark;
    record[1] = static_cast<std::uint8_t>((controls.ledChecked ? 0x80 : 0) |
                                          (controls.buzChecked ? 0x40 : 0) |
                                          ItemValue(controls.ledStabItem, 1));

    const std::uint8_t ledTime = ParseLedTime(controls.ledTimText);
    controls.ledTimText = std::to_string(ledTime);
    record[2] = ledTime;

    std::uint8_t pattern = 0;
    for (std::size_t i = 0; i < controls.buzSlots.size(); ++i) {
        if (controls.buzSlots[i]) {
            pattern = static_cast<std::uint8_t>(pattern | (1u << i));
        }
    }
    record[3] = pattern;

    record[4] = static_cast<std::uint8_t>(
        ItemValue(controls.wiegSizeItem, kLargestSizeItem) | (controls.noParityChecked ? 8 : 0) |
        (ItemValue(controls.wiegOrderItem, 1) << 5) | (ItemValue(controls.wiegEndBitItem, 1) << 6) |
        (ItemValue(controls.wiegBegBitItem, 1) << 7));

    record[5] = ItemValue(controls.keybItem, 1);
    record[6] = static_cast<std::uint8_t>((controls.mifareChecked ? 1 : 0) |
                                          (controls.icodeChecked ? 2 : 0));
    record[7] = 0;
    return record;
}

wiegand::ReaderFrame ReaderFrameOf(const ReaderConfig& record) {
    ConfigControls controls;
    DecodeConfig(record, controls);
    constexpr int kSmallestFrame = 24;
    constexpr int kFrameStep = 8;
    wiegand::ReaderFrame frame;
    frame.dataBits = kSmallestFrame + kFrameStep * controls.wiegSizeItem;
    frame.parityBits = !controls.noParityChecked;
    frame.beginOdd = controls.wiegBegBitItem == 1;
    frame.endOdd = controls.wiegEndBitItem == 1;
    frame.loHi = controls.wiegOrderItem == 1;
    return frame;
}

}  // namespace uwieg
