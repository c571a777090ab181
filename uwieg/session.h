// The two steps with which every hardware action begins.
#pragma once

#include <cstdint>
#include <string>

#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/interface_class.h"
#include "wusb/device.h"

namespace uwieg {

inline constexpr const char* kNoInterfaceText = "Nie znaleziono interface'u USB-Wiegand.";
// Second lines under it, when a device that may be the interface could not be opened.
inline constexpr const char* kPermissionHint =
    "Wskazówka: urządzenie USB, które może nim być, jest niedostępne z braku uprawnień; "
    "potrzebna jest reguła udev 70-trelvo.rules (zob. README), a po jej instalacji ponowne "
    "podłączenie urządzenia.";
inline constexpr const char* kInUseHint =
    "Wskazówka: interface USB-Wiegand jest zajęty przez inny program; zamknij go i spróbuj "
    "ponownie.";

// The hint for why a device that may be the interface could not be opened; empty when none.
std::string RefusalHint(wusb::OpenRefusal refusal);

// The "no interface" message, with the hint for why the last enumeration skipped one.
std::string NoInterfaceMessage(wusb::OpenRefusal refusal);

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
