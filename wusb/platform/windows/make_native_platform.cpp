#include "wusb/platform/native.h"
#include "wusb/platform/windows/winusb_platform.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& /*namedDevices*/) {
    return std::make_unique<windows::WinUsbPlatform>();
}

// Device-interface arrival notifications need a window or a service handle; a re-enumeration
// every 500 ms needs neither and serves the console program and the window alike.
std::unique_ptr<Hotplug> MakeNativeHotplug(Platform& native, const Guid& interfaceClass,
                                           Clock& clock) {
    return std::make_unique<ListingHotplug>(native, interfaceClass, clock, kReenumerationPeriodMs);
}

}  // namespace wusb
