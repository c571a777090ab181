// The two steps with which every hardware action begins.
#pragma once

#include <cstdint>
#include <string>

#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "wusb/device.h"
#include "wusb/guid.h"

namespace uwieg {

// The USB-Wiegand interface class.
inline constexpr wusb::Guid kInterfaceGuid{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

inline constexpr const char* kNoInterfaceText = "Nie znaleziono interface'u USB-Wiegand.";
// Shown instead when interfaces were present but none could be opened for want of permission.
inline constexpr const char* kNoAccessText =
    "Brak dostępu do interface'u USB-Wiegand (uprawnienia).";

// Which of the present interfaces to link: by its position in the device list, or by the
// serial number the link reads from it. The window always takes the first.
struct InterfaceChoice {
    bool bySerial = false;
    int index = 0;
    std::uint32_t serial = 0;

    static InterfaceChoice AtIndex(int index) { return {false, index, 0}; }
    static InterfaceChoice WithSerial(std::uint32_t serial) { return {true, 0, serial}; }
};

// The serial number as the link reads it, the way programs print it: 8 hex digits.
std::string SerialNumberText(std::uint32_t serial);

// Enumerates `list` anew and links the chosen entry. No such device: shows the error and
// returns false. By serial, every entry is linked in turn until one has that number; when none
// has it and one of them could not be linked, that link's failure is raised (it may have been
// the one).
bool OpenInterface(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                   const InterfaceChoice& choice = {});

// Quiet close, 'O' mode 1, 100 ms, identify; raises UWiegErr 2 for an unknown type (channel
// left open).
void ConnectReader(UWiegDev& dev);

}  // namespace uwieg
