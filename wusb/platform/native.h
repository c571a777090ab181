// The platform of the machine the program runs on: WinUSB on Windows, libusb elsewhere.
#pragma once

#include <memory>

#include "wusb/clock.h"
#include "wusb/guid.h"
#include "wusb/hotplug.h"
#include "wusb/platform.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform();
// Arrivals and departures of the class on a platform MakeNativePlatform made; on another
// platform, a re-enumeration every 500 ms.
std::unique_ptr<Hotplug> MakeNativeHotplug(Platform& native, const Guid& interfaceClass,
                                           Clock& clock);

}  // namespace wusb
