#include "wusb/platform/native.h"
#include "wusb/platform/windows/winusb_platform.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform(const std::vector<UsbId>& /*namedDevices*/) {
    return std::make_unique<windows::WinUsbPlatform>();
}

}  // namespace wusb
