// The two steps with which every hardware action begins.
#pragma once

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

// Enumerates `list` anew and links entry 0. No device: shows the error and returns false.
bool OpenInterface(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs);

// Quiet close, 'O' mode 1, 100 ms, identify; raises UWiegErr 2 for an unknown type (channel
// left open).
void ConnectReader(UWiegDev& dev);

}  // namespace uwieg
