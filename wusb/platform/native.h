// The platform of the machine the program runs on: WinUSB on Windows, libusb elsewhere.
#pragma once

#include <memory>
#include <vector>

#include "wusb/platform.h"
#include "wusb/usb_ids.h"

namespace wusb {

// `namedDevices` are taken besides those TRELVO_USB_IDS names. libusb lists devices with these
// ids without asking them for an announcement; WinUSB lists interfaces by class, which a driver
// package gives such a device there, and needs no ids.
std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& namedDevices = {});

}  // namespace wusb
