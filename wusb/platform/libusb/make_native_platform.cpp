#include "wusb/platform/libusb/libusb_hotplug.h"
#include "wusb/platform/libusb/libusb_platform.h"
#include "wusb/platform/native.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform() {
    return std::make_unique<libusb::LibusbPlatform>();
}

std::unique_ptr<Hotplug> MakeNativeHotplug(Platform& native, const Guid& interfaceClass,
                                           Clock& clock) {
    if (auto* libusb = dynamic_cast<libusb::LibusbPlatform*>(&native)) {
        return std::make_unique<libusb::LibusbHotplug>(*libusb, interfaceClass, clock);
    }
    return std::make_unique<ListingHotplug>(native, interfaceClass, clock, kReenumerationPeriodMs);
}

}  // namespace wusb
