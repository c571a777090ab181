#include "wusb/platform/libusb/libusb_platform.h"
#include "wusb/platform/native.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform() {
    return std::make_unique<libusb::LibusbPlatform>();
}

}  // namespace wusb
