// The platform of the machine the program runs on: WinUSB on Windows, libusb elsewhere.
#pragma once

#include <memory>
#include <vector>

#include "wusb/clock.h"
#include "wusb/guid.h"
#include "wusb/hotplug.h"
#include "wusb/platform.h"
#include "wusb/usb_ids.h"

namespace wusb {

// `namedDevices` are taken besides those NamedUsbIds gives. libusb lists devices with these
// ids without asking them for an announcement; WinUSB lists interfaces by class, which a driver
// package gives such a device there, and needs no ids.
std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& namedDevices = {});
// Arrivals and departures of the class on a platform MakeNativePlatform made; on another
// platform, a re-enumeration every 500 ms.
std::unique_ptr<Hotplug> MakeNativeHotplug(Platform& native, const Guid& interfaceClass,
                                           Clock& clock);

}  // namespace wusb
