// The reader's 8-byte configuration record and its mapping to the configuration controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "wiegand/decode.h"

namespace uwieg {

using ReaderConfig = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t kRecordMark = 2;

// The state of the configuration controls that the record maps to: checked states, item
// indexes (-1 = none) and the LED time text. The window copies it to and from its widgets.
struct ConfigControls {
    bool ledChecked = true;                                                       // LedChkBx
    bool buzChecked = true;                                                       // BuzChkBx
    int ledStabItem = 0;                                                          // LedStabRGrp
    std::string ledTimText = "5";                                                 // LedTim
    std::array<bool, 7> buzSlots{true, true, false, false, false, false, false};  // Buz0..Buz6
    int wiegSizeItem = 0;                                                         // WiegSizeRGrp
    bool noParityChecked = false;  // WiegNoParBitChkBx
    int wiegOrderItem = 0;         // WiegOrderRGrp
    int wiegEndBitItem = 1;        // WiegEndBitRGrp
    int wiegBegBitItem = 0;        // WiegBegBitRGrp
    int keybItem = -1;             // KeybRGrp
    bool mifareChecked = true;     // MifareChkBx
    bool icodeChecked = false;     // IcodeChkBx
};

// Record to controls. Returns false when recordMark is not 2 (the caller tells the user);
// the controls are filled all the same.
bool DecodeConfig(const ReaderConfig& record, ConfigControls& controls);

// Controls to record. Normalises controls.ledTimText to the stored value.
ReaderConfig EncodeConfig(ConfigControls& controls);

// The Wiegand frame the reader sends with this record: the controls' frame size (indexes 6 and
// 7 as 5), parity bits and their senses, byte order.
wiegand::ReaderFrame ReaderFrameOf(const ReaderConfig& record);

// The LED time text as stored: an integer (leading blanks, sign, $ or 0x hex accepted),
// anything else 0, clamped to 0..255.
std::uint8_t ParseLedTime(const std::string& text);

}  // namespace uwieg
