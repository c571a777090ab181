// The USB-Wiegand interface class: what the interface announces, on Windows to bind WinUSB and
// everywhere to be found. Apart from the rest of the protocol, for the udev probe.
#pragma once

#include "wusb/guid.h"

namespace uwieg {

inline constexpr wusb::Guid kInterfaceGuid{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

}  // namespace uwieg
