#include "wusb/platform/libusb/libusb_platform.h"
#include "wusb/platform/native.h"

#include <utility>

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& namedDevices) {
    std::vector<UsbId> ids = UsbIdsFromEnvironment();
    ids.insert(ids.end(), namedDevices.begin(), namedDevices.end());
    return std::make_unique<libusb::LibusbPlatform>(std::move(ids));
}

}  // namespace wusb
