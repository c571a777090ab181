#include "wusb/platform/libusb/libusb_hotplug.h"
#include "wusb/platform/libusb/libusb_platform.h"
#include "wusb/platform/native.h"

#include <utility>

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& namedDevices) {
    std::vector<UsbId> ids = NamedUsbIds();
    ids.insert(ids.end(), namedDevices.begin(), namedDevices.end());
    return std::make_unique<libusb::LibusbPlatform>(std::move(ids));
}

std::unique_ptr<Hotplug> MakeNativeHotplug(Platform& native, const Guid& interfaceClass,
                                           Clock& clock) {
    if (auto* libusb = dynamic_cast<libusb::LibusbPlatform*>(&native)) {
        return std::make_unique<libusb::LibusbHotplug>(*libusb, interfaceClass, clock);
    }
    return std::make_unique<ListingHotplug>(native, interfaceClass, clock, kReenumerationPeriodMs);
}

}  // namespace wusb
